// RMCP messages over any datagram, as plain RMCP (protocol type 3) and
// behind an RSP header (type 4): the check with the record's text form and
// display model, and every data-section decoder. Properties:
// - nothing is read outside the datagram: it and each cut of it are copies
//   of exactly their size (a read past them is a heap overflow the sanitizer
//   reports), and a check over the first k bytes of the whole datagram reads
//   as the check of the cut of k bytes (for a few k each input);
// - the text form and the display model show the same fields, each with the
//   same value, status and status text (or name); the same decoded data
//   lines; the undecoded data bytes, each in its layout; and both hex dumps
//   hold exactly the datagram;
// - a datagram whose size the check found right is an error at every cut;
// - every data-section decoder, given any bytes, decodes at most them, and
//   decodes the same from exactly the bytes it took.

#include "core/packetstatus.h"
#include "core/textformat.h"
#include "fuzzcheck.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpcheck.h"
#include "rmcp/rmcpdisplaymodel.h"
#include "rmcp/rmcplayout.h"
#include "rmcp/rmcptables.h"
#include "rmcp/rmcptext.h"

#include <QStringList>
#include <QtGlobal>
#include <cstring>
#include <memory>

using namespace velquor;
using namespace velquor::rmcp;

namespace {

// A copy of bytes in an allocation of exactly their size, as a QByteArray
// that does not copy it: QByteArray's own allocations hold a terminating
// zero and often more, where a read one past the end would pass unseen.
class Exact
{
public:
    Exact(const void *bytes, size_t size) : m_bytes(new char[size]), m_size(size)
    {
        if (size)
            std::memcpy(m_bytes.get(), bytes, size);
    }
    QByteArray array() const { return QByteArray::fromRawData(m_bytes.get(), qsizetype(m_size)); }

private:
    std::unique_ptr<char[]> m_bytes;
    size_t m_size;
};

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

// Everything a check read and found.
QString describe(const RmcpFields &f, const PacketFindings &r)
{
    QString out = QStringLiteral("ack %1 response %2 tail %3 name %4 status %5 info %6\n")
                      .arg(f.isAcknowledge)
                      .arg(f.isResponse)
                      .arg(f.haveRspTail)
                      .arg(f.messageTypeName)
                      .arg(r.status())
                      .arg(r.info());
    for (const FieldDescriptor &s : fieldDescriptors())
        out += QStringLiteral("%1 %2 %3 %4 %5\n")
                   .arg(QLatin1String(s.name))
                   .arg(f.number(s.id))
                   .arg(hex(f.bytes(s.id)))
                   .arg(f.status(s.id).status)
                   .arg(f.status(s.id).text);
    return out;
}

bool sameReading(const RmcpFields &f, const PacketFindings &r, const RmcpFields &g, const PacketFindings &s)
{
    if (f.isAcknowledge != g.isAcknowledge || f.isResponse != g.isResponse || f.haveRspTail != g.haveRspTail
        || f.messageTypeName != g.messageTypeName || r.status() != s.status() || r.info() != s.info())
        return false;
    for (const FieldDescriptor &field : fieldDescriptors()) {
        if (f.number(field.id) != g.number(field.id) || f.bytes(field.id) != g.bytes(field.id)
            || f.status(field.id).status != g.status(field.id).status || f.status(field.id).text != g.status(field.id).text)
            return false;
    }
    return true;
}

// Rows of bytes under labels, built here on their own: rowBytes a row, each
// row's label from labelFormat with its first offset and that plus span,
// padded to 15 characters; each byte a blank and two digits; with group, one
// more blank before every group-th byte of a row but the first.
QString rows(const QByteArray &bytes, int first, int rowBytes, int span, const QString &labelFormat, bool upper,
             int group, const QString &separator)
{
    QString out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i % rowBytes == 0) {
            if (i)
                out += separator;
            out += labelFormat.arg(first + i).arg(first + i + span).leftJustified(15);
        } else if (group && i % group == 0) {
            out += QLatin1Char(' ');
        }
        const QString digits = QString::fromLatin1(bytes.mid(i, 1).toHex());
        out += QLatin1Char(' ') + (upper ? digits.toUpper() : digits);
    }
    return out;
}

QString packetDump(const QByteArray &bytes)
{
    return QStringLiteral(" Packet Hex Dump (size %1):\n ----").arg(bytes.size())
           + rows(bytes, 0, 16, 15, QStringLiteral("\n    %1 - %2:"), true, 4, QString()) + QStringLiteral("\n ----\n");
}

// Which fields the record shows, by what the check found.
bool shown(const FieldDescriptor &s, const RmcpFields &f, int type)
{
    switch (s.part) {
    case Part::RspHeader:
        return type == ProtocolRmcpRsp;
    case Part::RspTrailer:
        return type == ProtocolRmcpRsp && f.haveRspTail;
    case Part::Message:
        return s.offset < RmcpHeaderSize || !f.isAcknowledge;
    case Part::Data:
        return !f.isAcknowledge;
    }
    return false;
}

QStringList withoutLeadingTabs(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        qsizetype tabs = 0;
        while (tabs < line.size() && line[tabs] == QLatin1Char('\t'))
            ++tabs;
        line.remove(0, tabs);
    }
    return lines;
}

// The text form, piece by piece, against the display model.
void compareForms(const ASF_RMCP_Packet &packet, int type, const QByteArray &bytes)
{
    const RmcpFields &f = packet.fields();
    const QString text = packet.textForm();
    TextBuffer written;
    packet.writeTextForm(written);
    FUZZ_CHECK(written.toString() == text);
    const DisplayModel m = displayModel(f, bytes, type, packet.protocol(), packet.direction());
    FUZZ_CHECK(m.showRsp == (type == ProtocolRmcpRsp));
    FUZZ_CHECK(m.kind == (f.isAcknowledge ? DisplayModel::Ack : f.isResponse ? DisplayModel::Response
                                                                              : DisplayModel::Request));
    FUZZ_CHECK(m.hexText == rows(bytes, 0, 16, 15, QStringLiteral("%1 - %2:"), false, 4, QStringLiteral("\n")),
               m.hexText);

    qsizetype at = 0;
    const auto expect = [&](const QString &piece) {
        FUZZ_CHECK(text.mid(at, piece.size()) == piece,
                   QStringLiteral("at %1 expected\n%2\nin\n%3").arg(at).arg(piece, text));
        at += piece.size();
    };
    const QString missing = QStringLiteral("missing or wrong packet size");
    for (const FieldDescriptor &s : fieldDescriptors()) {
        const DisplayBox &box = m.box(s.id);
        if (!shown(s, f, type)) {
            FUZZ_CHECK(box.value.isEmpty(), QLatin1String(s.name));
            if (s.part == Part::RspTrailer && type == ProtocolRmcpRsp && f.rspSessionId != 0) {
                FUZZ_CHECK(box.status == ASF_PACKET_ERROR && box.toolTip == missing);
                if (s.id == FieldId::RspPad)
                    expect(QStringLiteral("!!\tERROR ") + missing + QLatin1Char('\n'));
            }
            continue;
        }
        FUZZ_CHECK(box.status == f.status(s.id).status, QLatin1String(s.name));
        // Both show the value the check read: a byte in two digits, a word
        // and a byte array as blank-separated pairs in capitals.
        QString value;
        switch (s.kind) {
        case ValueKind::Byte:
            FUZZ_CHECK(box.value == QString::asprintf("%02x", f.number(s.id)), box.value);
            value = QStringLiteral("0x") + box.value.toUpper() + QLatin1Char('\t');
            break;
        case ValueKind::Word:
            FUZZ_CHECK(box.value == QString::asprintf("%02X %02X %02X %02X", f.number(s.id) >> 24, (f.number(s.id) >> 16) & 0xFF,
                                                      (f.number(s.id) >> 8) & 0xFF, f.number(s.id) & 0xFF),
                       box.value);
            value = box.value + QLatin1Char('\t');
            break;
        case ValueKind::Bytes:
            if (s.part != Part::Data) {
                FUZZ_CHECK(box.value == QString::fromLatin1(f.bytes(s.id).toHex(' ').toUpper()), box.value);
                value = box.value + QLatin1Char('\t');
            }
            break;
        }
        const char *marker = box.status == ASF_PACKET_ERROR ? "!!\t" : box.status == ASF_PACKET_WARNING ? "!\t" : "\t";
        expect(QLatin1String(marker) + QLatin1String(s.label) + QLatin1Char('\t') + value + box.toolTip
               + QLatin1Char('\n'));
        if (s.part != Part::Data)
            continue;

        // The decoded data section: the view's lines are the text form's
        // without their leading tabs. Then the bytes it left undecoded.
        expect(QStringLiteral("\t----\n"));
        qsizetype consumed = 0;
        const QString decoded = decodeDataSection(f.messageType, f.rmcpData, &consumed);
        FUZZ_CHECK(consumed >= 0 && consumed <= f.rmcpData.size());
        expect(decoded);
        const QByteArray rest = f.rmcpData.mid(consumed);
        QString shownData = withoutLeadingTabs(decoded).join(QLatin1Char('\n'));
        if (shownData.endsWith(QLatin1Char('\n')))
            shownData.chop(1);
        if (!rest.isEmpty()) {
            expect(QStringLiteral("Unkown data:")
                   + rows(rest, int(consumed), 10, 9, QStringLiteral("\n\t %1 - %2:"), true, 0, QString())
                   + QStringLiteral("\n\t----\n"));
            if (!shownData.isEmpty())
                shownData += QLatin1Char('\n');
            shownData += QStringLiteral("Unkown data:\n")
                         + rows(rest, int(consumed), 10, 9, QStringLiteral("%1 - %2:"), true, 0, QStringLiteral("\n"));
        }
        FUZZ_CHECK(box.value == shownData, QStringLiteral("view:\n%1\ntext:\n%2").arg(box.value, shownData));
    }
    expect(packetDump(bytes));
    FUZZ_CHECK(at == text.size(), text.mid(at));
}

// The check of the first k bytes: an error when the whole had the right
// size; with compare, the same as the check of the first k bytes of the
// whole array.
void checkCut(const QByteArray &whole, int k, int type, bool sizeRight, bool compare)
{
    const Exact cut(whole.constData(), size_t(k));
    RmcpFields f;
    PacketFindings r;
    checkMessage(cut.array(), type, f, r);
    if (sizeRight)
        FUZZ_CHECK(r.status() == ASF_PACKET_ERROR,
                   QStringLiteral("cut at %1 of %2: %3").arg(k).arg(hex(whole), describe(f, r)));
    if (compare) {
        RmcpFields g;
        PacketFindings s;
        checkMessage(QByteArrayView(whole).first(k), type, g, s);
        FUZZ_CHECK(sameReading(f, r, g, s), describe(f, r) + QStringLiteral("----\n") + describe(g, s));
    }
}

void checkDecoders(const QByteArray &data)
{
    for (const MessageType &type : messageTypes()) {
        qsizetype consumed = -1;
        const QString text = decodeDataSection(type.code, data, &consumed);
        FUZZ_CHECK(consumed >= 0 && consumed <= data.size());
        FUZZ_CHECK(text.isEmpty() || text.endsWith(QLatin1Char('\n')));
        const Exact taken(data.constData(), size_t(consumed));
        qsizetype again = -1;
        FUZZ_CHECK(decodeDataSection(type.code, taken.array(), &again) == text && again == consumed,
                   QStringLiteral("type %1 on %2").arg(type.code).arg(hex(data)));
    }
}

void discard(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(discard);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1500) // a datagram on an Ethernet; larger inputs only cost time
        return 0;
    const Exact exact(data, size);
    const QByteArray bytes = exact.array();

    for (const int type : {ProtocolRmcp, ProtocolRmcpRsp}) {
        ASF_RMCP_Packet packet(0);
        packet.setProtocolType(type);
        packet.setProtocol(type == ProtocolRmcpRsp ? QStringLiteral("RMCP/RSP") : QStringLiteral("RMCP"));
        packet.setDirection(ASF_Packet::Received);
        packet.setData(bytes);
        compareForms(packet, type, bytes);
        {
            const std::unique_ptr<ASF_Packet> copy = packet.clone();
            FUZZ_CHECK(copy->info() == packet.info() && copy->status() == packet.status()
                       && copy->textForm() == packet.textForm());
        }
        const bool sizeRight = !packet.info().contains(QLatin1String("Wrong packet size"))
                               && !packet.info().contains(QLatin1String("wrong size of Ack Packet"));
        // Every cut; a few (which, the input decides) also against the whole.
        const int h = size ? int(qHash(QByteArrayView(bytes)) % size) : 0;
        for (int k = 0; k < int(size); ++k)
            checkCut(bytes, k, type, sizeRight, k == int(size) - 1 || k == h || k == h / 2);
    }
    checkDecoders(bytes);
    return 0;
}
