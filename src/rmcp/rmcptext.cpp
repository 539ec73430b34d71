#include "rmcp/rmcptext.h"

#include "rmcp/rmcplayout.h"
#include "rmcp/rmcptables.h"
#include "core/textformat.h"

#include <QtEndian>

namespace velquor::rmcp {

namespace {

QString hexRun(QByteArrayView bytes, const char *format)
{
    QString out;
    for (char b : bytes)
        out += QString::asprintf(format, unsigned(quint8(b)));
    return out;
}

// A label and its bytes as one line: "spaced" puts a blank between the
// bytes ("01 02 03"), "packed" runs them together ("010203").
QString spacedLine(const char *label, QByteArrayView bytes)
{
    QString run = hexRun(bytes, "%02X ");
    run.chop(1);
    return QLatin1String(label) + run + QLatin1Char('\n');
}

QString packedLine(const char *label, QByteArrayView bytes)
{
    return QLatin1String(label) + hexRun(bytes, "%02X") + QLatin1Char('\n');
}

// Hands out the data section piece by piece and stops for good at the first
// piece that is not all there.
class Cursor
{
public:
    explicit Cursor(QByteArrayView data) : m_data(data) {}

    bool take(qsizetype count, QByteArrayView *piece)
    {
        if (m_stopped || count > m_data.size() - m_pos) {
            m_stopped = true;
            return false;
        }
        *piece = m_data.sliced(m_pos, count);
        m_pos += count;
        return true;
    }
    qsizetype consumed() const { return m_pos; }
    qsizetype remaining() const { return m_data.size() - m_pos; }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    bool m_stopped = false;
};

quint8 u8(QByteArrayView p, int i) { return quint8(p[i]); }

// Takes count bytes and appends them as one line; false (nothing appended)
// once the data section ends.
bool spaced(Cursor &c, QString &out, qsizetype count, const char *label)
{
    QByteArrayView p;
    if (!c.take(count, &p))
        return false;
    out += spacedLine(label, p);
    return true;
}

bool packed(Cursor &c, QString &out, qsizetype count, const char *label)
{
    QByteArrayView p;
    if (!c.take(count, &p))
        return false;
    out += packedLine(label, p);
    return true;
}

// Rows of eight bytes after indent, the first row opened by prefix; the first
// four bytes always in capitals, the others in format.
QString byteRows(QByteArrayView p, const char *indent, const char *prefix, const char *format)
{
    QString out = QLatin1String(indent) + QLatin1String(prefix) + hexRun(p.first(4), "%02X");
    for (qsizetype i = 4; i < p.size(); ++i) {
        if (i % 8 == 0)
            out += QLatin1Char('\n') + QLatin1String(indent);
        out += QString::asprintf(format, unsigned(quint8(p[i])));
    }
    return out + QLatin1Char('\n');
}

void bitLines(QString &out, unsigned value, int bits, std::span<const CodeText> table, const char *lineFormat)
{
    for (int bit = 0; bit < bits; ++bit) {
        const unsigned mask = 1u << bit;
        if (value & mask)
            out += QString::asprintf(lineFormat, qPrintable(lookup(table, int(mask), QString())));
    }
}

// The IANA number and OEM field that open the presence pong and the
// capabilities response.
bool ianaAndOem(Cursor &c, QString &out)
{
    return packed(c, out, 4, "\tIANA Enterprise Number: ") && packed(c, out, 4, "\tOEM: ");
}

// Status Code and three reserved bytes; wide puts three tabs after the labels.
bool statusAndReserved(Cursor &c, QString &out, bool wide)
{
    QByteArrayView p;
    if (!c.take(1, &p))
        return false;
    out += QString::asprintf("\tStatus Code:%s%s\n", wide ? "\t\t\t" : "\t", qPrintable(rspStatusText(u8(p, 0))));
    return packed(c, out, 3, wide ? "\tReserved:\t\t\t0x" : "\tReserved:\t0x");
}

void decodeControl(Cursor &c, QString &out)
{
    QByteArrayView p;
    if (!packed(c, out, 4, "IANA Enterprise Number: ") || !c.take(1, &p))
        return;
    out += QString::asprintf("Special Command:\n\t- %s\n", qPrintable(specialCommandText(u8(p, 0))));
    if (!spaced(c, out, 2, "Special Commands Parameters: ") || !c.take(2, &p))
        return;
    out += spacedLine("Boot Options Bit Mask: ", p);
    bitLines(out, u8(p, 0), 8, bootOptionsFirstByteTable(), "\t- %s\n");
    // Bits 5 and 6 of the second byte are one two-bit verbosity setting.
    bitLines(out, u8(p, 1) & 0x9F, 8, bootOptionsSecondByteTable(), "\t- %s\n");
    static const char *const verbosity[] = {"System default", "Quit", "Verbose", "Screen blank"};
    out += QString::asprintf("\t- Firmware Verbosity: %s\n", verbosity[(u8(p, 1) >> 5) & 3]);
    spaced(c, out, 2, "OEM Parameters: ");
}

void decodePresencePong(Cursor &c, QString &out)
{
    QByteArrayView p;
    if (!ianaAndOem(c, out) || !c.take(1, &p))
        return;
    const quint8 entities = u8(p, 0);
    out += QString::asprintf("\tSupported Entities (%02X)\n", entities);
    out += QString::asprintf("\tIPMI is %ssupported (%02X)\n", (entities & 0x80) ? "" : "not ", entities & 0x80);
    out += QString::asprintf("\tASF 1.0 is %ssupported (%02X)\n", (entities & 0x0F) == 1 ? "" : "not ",
                             entities & 0x0F);
    if (!c.take(1, &p))
        return;
    out += QString::asprintf("\tRMCP security extensions are %ssupported (%02X)\n", u8(p, 0) ? "" : "not ",
                             u8(p, 0));
    if (!c.take(6, &p))
        return;
    out += QLatin1String("\tReserved: ") + hexRun(p.first(4), "%02X") + QLatin1Char(' ') + packedLine("", p.sliced(4));
}

void decodeCapabilitiesResponse(Cursor &c, QString &out)
{
    QByteArrayView p;
    if (!ianaAndOem(c, out) || !c.take(2, &p))
        return;
    out += spacedLine("\tSpecial Commands Supported: ", p);
    const unsigned special = qFromBigEndian<quint16>(p.data());
    for (int bit = 0; bit < 16; ++bit) {
        if (special & (1u << bit))
            out += QString::asprintf("\t\t- %s\n", qPrintable(specialCommandText(int(1u << bit))));
    }
    if (!c.take(1, &p))
        return;
    out += spacedLine("\tSystem Capabilities Supported: ", p);
    bitLines(out, u8(p, 0), 8, systemCapabilitiesTable(), "\t\t- %s\n");
    if (!c.take(4, &p))
        return;
    out += packedLine("\tSystem Firmware Capabilities Supported:\t0x", p);
    // The low two bytes mirror the two bytes of the boot options bit mask.
    bitLines(out, u8(p, 2), 8, bootOptionsFirstByteTable(), "\t\t- %s\n");
    bitLines(out, u8(p, 3), 8, bootOptionsSecondByteTable(), "\t\t- %s\n");
    packed(c, out, 1, "\tReserved: ");
}

void decodeSystemStateResponse(Cursor &c, QString &out)
{
    QByteArrayView p;
    if (!c.take(1, &p))
        return;
    out += packedLine("\tSystem State: 0x", p);
    out += QString::asprintf("\t\t- %s\n", qPrintable(systemStateText(u8(p, 0))));
    if (!c.take(1, &p))
        return;
    out += QString::asprintf("\tWatchdog Timer is %sexpired (%02X)\n", (u8(p, 0) & 1) ? "" : "not ", u8(p, 0));
    packed(c, out, 2, "\tReserved: ");
}

void decodeOpenSessionResponse(Cursor &c, QString &out)
{
    if (statusAndReserved(c, out, true) && spaced(c, out, 4, "\tMgt Console Session ID: ")
        && spaced(c, out, 4, "\tMgt Client Session ID: ") && spaced(c, out, 8, "\tAuthentication Payload: "))
        spaced(c, out, 8, "\tIntegrity Payload: ");
}

void decodeCloseSessionResponse(Cursor &c, QString &out)
{
    QByteArrayView p;
    if (c.take(1, &p))
        out += QString::asprintf("\tStatus Code: %s\n", qPrintable(rspStatusText(u8(p, 0))));
}

void decodeOpenSessionRequest(Cursor &c, QString &out)
{
    QByteArrayView p;
    if (!spaced(c, out, 4, "\tMgt Console Session ID: ") || !c.take(8, &p))
        return;
    out += QLatin1String("\tAuthentication Payload(s):\n") + spacedLine("\t\t-\t", p);
    // Every further payload counts as an integrity payload.
    if (!c.take(8, &p))
        return;
    out += QLatin1String("\tIntegrity Payload(s):\n") + spacedLine("\t\t-\t", p);
    while (spaced(c, out, 8, "\t\t-\t")) {
    }
}

// A name from the wire is shown as printable text; other bytes as \xHH so a
// hostile name cannot break the lines of a log.
QString printableName(QByteArrayView name)
{
    QString out;
    for (char ch : name) {
        const auto b = quint8(ch);
        if (b >= 0x20 && b < 0x7F && b != '\\')
            out += QLatin1Char(char(b));
        else
            out += QString::asprintf("\\x%02X", b);
    }
    return out;
}

void decodeRakpMessage1(Cursor &c, QString &out)
{
    QByteArrayView p;
    if (!spaced(c, out, 4, "\tManaged Client Session ID: ") || !c.take(16, &p))
        return;
    out += QLatin1String("\tMgt Console Random Number:\n") + byteRows(p, "\t\t", "0x", "%02X");
    if (!c.take(1, &p))
        return;
    out += QString::asprintf("\tMgt Console User Role:\t\t\t%s\n", qPrintable(roleText(u8(p, 0))));
    if (!packed(c, out, 2, "\tReserved:\t\t\t") || !c.take(1, &p))
        return;
    const int length = u8(p, 0);
    out += QString::asprintf("\tMgt Console User Name Length:\t%d\n", length);
    if (length > 16) {
        // The name bytes stay undecoded and show as unknown data.
        out += QString::asprintf("!\t\tMgt Console User Name too long (%d)\n", length);
        return;
    }
    const qsizetype present = qMin<qsizetype>(length, c.remaining());
    if (length > 0 && present == 0)
        return;
    if (length == 0 || !c.take(present, &p) || u8(p, 0) == 0) {
        out += QLatin1String("Mgt Console User Name: \"\"\n");
        return;
    }
    out += QLatin1String("\tMgt Console User Name:\t") + printableName(p) + QLatin1Char('\n');
}

void decodeRakpMessage2(Cursor &c, QString &out)
{
    QByteArrayView p;
    if (!statusAndReserved(c, out, false) || !spaced(c, out, 4, "\tMgt Console Session ID: ") || !c.take(16, &p))
        return;
    out += QLatin1String("\tManaged Client Random Number:\n") + byteRows(p, "\t\t", "0x", "%02x");
    if (!c.take(16, &p))
        return;
    out += QLatin1String("\tManaged Client GUID:\n") + byteRows(p, "\t\t", "0x", "%02x");
    if (c.take(20, &p))
        out += QLatin1String("\tIntegrity Check Value:\n") + byteRows(p, "\t\t", "0X", "%02X");
}

void decodeRakpMessage3(Cursor &c, QString &out)
{
    QByteArrayView p;
    if (statusAndReserved(c, out, true) && spaced(c, out, 4, "\tManaged Client Session ID: ") && c.take(20, &p))
        out += QLatin1String("Integrity Check Value:\n") + byteRows(p, "\t\t\t\t", "0x", "%02x");
}

using Decoder = void (*)(Cursor &, QString &);
struct TypeDecoder
{
    int type;
    Decoder decode;
};
const TypeDecoder decoders[] = {
    {TypeReset, decodeControl},
    {TypePowerUp, decodeControl},
    {TypePowerCycleReset, decodeControl},
    {TypePresencePong, decodePresencePong},
    {TypeCapabilitiesResponse, decodeCapabilitiesResponse},
    {TypeSystemStateResponse, decodeSystemStateResponse},
    {TypeOpenSessionResponse, decodeOpenSessionResponse},
    {TypeCloseSessionResponse, decodeCloseSessionResponse},
    {TypeOpenSessionRequest, decodeOpenSessionRequest},
    {TypeRakpMessage1, decodeRakpMessage1},
    {TypeRakpMessage2, decodeRakpMessage2},
    {TypeRakpMessage3, decodeRakpMessage3},
};

QString fieldLine(const RmcpFields &f, FieldId id, const char *label, const QString &value,
                  const QString &trailing)
{
    return statusMarker(f.status(id).status) + QLatin1String(label) + QLatin1Char('\t') + value + trailing
           + QLatin1Char('\n');
}

QString fieldLine(const RmcpFields &f, FieldId id, const char *label, const QString &value)
{
    return fieldLine(f, id, label, value, f.status(id).text);
}

} // namespace

QString statusMarker(int status)
{
    switch (status) {
    case ASF_PACKET_ERROR:
        return QStringLiteral("!!\t");
    case ASF_PACKET_WARNING:
        return QStringLiteral("!\t");
    default:
        return QStringLiteral("\t");
    }
}

QString value8Text(quint8 value) { return QString::asprintf("0x%02X\t", value); }

QString value32Text(quint32 value)
{
    char b[4];
    qToBigEndian(value, b);
    return bytesText(QByteArrayView(b, 4));
}

QString bytesText(QByteArrayView bytes)
{
    QString out = hexRun(bytes, "%02X ");
    out.chop(bytes.isEmpty() ? 0 : 1);
    return out + QLatin1Char('\t');
}

QString decodeDataSection(int messageType, QByteArrayView data, qsizetype *consumed)
{
    Cursor c(data);
    QString out;
    for (const TypeDecoder &d : decoders) {
        if (d.type == messageType)
            d.decode(c, out);
    }
    if (!out.isEmpty() && !out.endsWith(QLatin1Char('\n')))
        out += QLatin1Char('\n');
    if (consumed)
        *consumed = c.consumed();
    return out;
}

QString unknownDataText(QByteArrayView rest, qsizetype first)
{
    QString out = QStringLiteral("Unkown data:");
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (i % 10 == 0) {
            const long long start = first + i;
            out += padded(QString::asprintf("\n\t %lld - %lld:", start, start + 9), 15);
        }
        out += QString::asprintf(" %02X", unsigned(quint8(rest[i])));
    }
    return out + QStringLiteral("\n\t----\n");
}

QString packetHexDumpText(QByteArrayView bytes)
{
    QString out = QString::asprintf(" Packet Hex Dump (size %lld):\n ----", static_cast<long long>(bytes.size()));
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const qsizetype column = i % 16;
        if (column == 0)
            out += padded(QString::asprintf("\n    %lld - %lld:", static_cast<long long>(i),
                                            static_cast<long long>(i + 15)),
                          15);
        else if (column % 4 == 0)
            out += QLatin1Char(' ');
        out += QString::asprintf(" %02X", unsigned(quint8(bytes[i])));
    }
    return out + QStringLiteral("\n ----\n");
}

QString textForm(const RmcpFields &f, QByteArrayView bytes, int protocolType)
{
    QString out;
    if (protocolType == ProtocolRmcpRsp) {
        out += fieldLine(f, FieldId::RspSessionId, "RSP Session ID :", value32Text(f.rspSessionId));
        out += fieldLine(f, FieldId::RspSequenceNumber, "RSP Sequence Number :", value32Text(f.rspSequenceNumber));
        if (f.rspSessionId != 0) {
            if (!f.haveRspTail) {
                out += QStringLiteral("!!\tERROR missing or wrong packet size\n");
            } else {
                out += fieldLine(f, FieldId::RspPad, "RSP Pad :\t", bytesText(f.rspPad));
                out += fieldLine(f, FieldId::RspPadLength, "RSP Pad Length :", value8Text(quint8(f.rspPadLength)));
                out += fieldLine(f, FieldId::RspNextHeader, "RSP Next Header :", value8Text(f.rspNextHeader));
                out += fieldLine(f, FieldId::RspIntegrityData, "RSP Integrity Data :", bytesText(f.rspIntegrityData));
            }
        }
    }
    out += fieldLine(f, FieldId::Version, "Version:\t\t", value8Text(f.version));
    out += fieldLine(f, FieldId::Reserved1, "Reserved1 :\t", value8Text(f.reserved1));
    out += fieldLine(f, FieldId::SequenceNr, "Sequence Number :", value8Text(f.sequenceNr));
    out += fieldLine(f, FieldId::MessageClass, "Message Class :\t", value8Text(f.messageClass));
    if (!f.isAcknowledge) {
        out += fieldLine(f, FieldId::IanaEnterpriseNr, "IANA Enterprise # :", value32Text(f.ianaEnterpriseNr));
        const FieldStatus &type = f.status(FieldId::MessageType);
        out += fieldLine(f, FieldId::MessageType, "Message Type :\t", value8Text(f.messageType),
                         type.status == ASF_PACKET_OK ? f.messageTypeName : type.text);
        out += fieldLine(f, FieldId::MessageTag, "Message Tag :\t", value8Text(f.messageTag));
        out += fieldLine(f, FieldId::Reserved2, "Reserved2 :\t", value8Text(f.reserved2));
        out += fieldLine(f, FieldId::DataLength, "Data Length :\t", value8Text(f.dataLength));
        out += fieldLine(f, FieldId::RmcpData, "Data:", QString()) + QStringLiteral("\t----\n");
        qsizetype consumed = 0;
        out += decodeDataSection(f.messageType, f.rmcpData, &consumed);
        if (consumed < f.rmcpData.size())
            out += unknownDataText(QByteArrayView(f.rmcpData).sliced(consumed), consumed);
    }
    out += packetHexDumpText(bytes);
    return out;
}

} // namespace velquor::rmcp
