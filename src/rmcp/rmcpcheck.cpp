#include "rmcp/rmcpcheck.h"

#include "rmcp/rmcplayout.h"
#include "rmcp/rmcptables.h"

#include <QtEndian>

namespace velquor::rmcp {

namespace {

constexpr char ReservedTypeText[] = "error: Using reserved message type";
constexpr char UnknownTypeText[] = "error: Unkown message type";
constexpr char WrongAckSizeText[] = "error: wrong size of Ack Packet";
constexpr char WrongSizeText[] = "error: Wrong packet size or length of data wrong";

// Reads of a datagram that give 0 (or nothing) for bytes it does not hold.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    qsizetype size() const { return m_bytes.size(); }
    bool holds(qsizetype pos, qsizetype len) const
    {
        return pos >= 0 && len >= 0 && len <= m_bytes.size() && pos <= m_bytes.size() - len;
    }
    quint8 u8(qsizetype pos) const { return holds(pos, 1) ? quint8(m_bytes[pos]) : 0; }
    QByteArray bytes(qsizetype pos, qsizetype len) const
    {
        return holds(pos, len) ? m_bytes.sliced(pos, len).toByteArray() : QByteArray();
    }
    // A Byte or Word field.
    quint32 number(qsizetype pos, int size) const
    {
        if (size == 4)
            return holds(pos, 4) ? qFromBigEndian<quint32>(m_bytes.data() + pos) : 0;
        return u8(pos);
    }

private:
    QByteArrayView m_bytes;
};

class Checker
{
public:
    Checker(QByteArrayView bytes, int protocolType, RmcpFields &fields, PacketFindings &findings)
        : in(bytes), n(bytes.size()), type(protocolType), o(messageOffset(protocolType)), f(fields), r(findings)
    {
    }

    bool run();

private:
    void fieldError(FieldId id, const QString &fieldText, const QString &infoText)
    {
        f.setFieldStatus(id, ASF_PACKET_ERROR, fieldText);
        r.appendInfo(infoText);
        r.setError();
    }
    void fieldError(const FieldDescriptor &s, const QString &fieldText)
    {
        fieldError(s.id, fieldText, s.infoText ? QString::fromLatin1(s.infoText) : fieldText);
    }

    void readPart(Part part, qsizetype start, int upTo);
    void readTrailer(int pad);
    void checkMessageType();
    void checkRule(const FieldDescriptor &s, int pad);
    void checkTrailer(int pad);
    void checkAcknowledge();
    void checkDataLengthForType();
    void checkSize();

    const Reader in;
    const qsizetype n;
    const int type;
    const int o;
    RmcpFields &f;
    PacketFindings &r;
};

// The fixed fields of a part that start before upTo.
void Checker::readPart(Part part, qsizetype start, int upTo)
{
    for (const FieldDescriptor &s : fieldDescriptors()) {
        if (s.part == part && s.offset < upTo)
            f.setNumber(s.id, in.number(start + s.offset, s.size));
    }
}

void Checker::readTrailer(int pad)
{
    for (const FieldDescriptor &s : fieldDescriptors()) {
        if (s.part != Part::RspTrailer)
            continue;
        const int size = s.size ? s.size : pad;
        const qsizetype start = n - s.offset - size;
        if (s.kind == ValueKind::Bytes)
            f.setBytes(s.id, in.bytes(start, size));
        else
            f.setNumber(s.id, in.u8(start));
    }
}

void Checker::checkMessageType()
{
    if (isReservedMessageType(f.messageType))
        fieldError(FieldId::MessageType, QLatin1String(ReservedTypeText), QLatin1String(ReservedTypeText));
    if (f.messageTypeName == unknownMessageTypeName())
        fieldError(FieldId::MessageType, QLatin1String(UnknownTypeText), QLatin1String(UnknownTypeText));
}

void Checker::checkRule(const FieldDescriptor &s, int pad)
{
    const quint32 v = f.number(s.id);
    switch (s.rule) {
    case FieldRule::Equals:
        if (v != s.expected)
            fieldError(s, QLatin1String(s.statusText));
        break;
    case FieldRule::ReservedBits:
        if (v & s.expected) {
            // "4 ", "5 ", "6 " for each reserved bit set, empty for one clear.
            const char *bits[3] = {"", "", ""};
            static const char *const numbers[] = {"0 ", "1 ", "2 ", "3 ", "4 ", "5 ", "6 ", "7 "};
            int k = 0;
            for (int bit = 0; bit < 8 && k < 3; ++bit) {
                if (s.expected & (1u << bit))
                    bits[k++] = (v & (1u << bit)) ? numbers[bit] : "";
            }
            fieldError(s, QString::asprintf(s.statusText, bits[0], bits[1], bits[2]));
        }
        break;
    case FieldRule::PadLength:
        if (f.rspPadLength != pad)
            fieldError(s, QString::asprintf(s.statusText, f.rspPadLength, pad));
        break;
    case FieldRule::ZeroPad:
        if (f.rspPad.count('\0') < pad)
            fieldError(s, QLatin1String(s.statusText));
        break;
    default:
        break;
    }
}

// From the end of the datagram backwards, as the trailer is read.
void Checker::checkTrailer(int pad)
{
    const auto descriptors = fieldDescriptors();
    for (auto it = descriptors.rbegin(); it != descriptors.rend(); ++it) {
        if (it->part == Part::RspTrailer)
            checkRule(*it, pad);
    }
}

void Checker::checkAcknowledge()
{
    if (type != ProtocolRmcpRsp) {
        // Reported for the record's reader only: an ack with extra bytes is still an ack.
        if (n > RmcpHeaderSize)
            r.appendInfo(QLatin1String(WrongAckSizeText));
        return;
    }
    const int pad = rspPadLength(RmcpHeaderSize);
    const qsizetype expected = o + RmcpHeaderSize + (f.haveRspTail ? pad + RspTrailerFixedSize : 0);
    if (f.haveRspTail && n < expected) {
        // No room for a trailer behind the RMCP header: reading one from the
        // end would take header bytes (or bytes before the start) as trailer.
        r.appendInfo(QLatin1String(WrongAckSizeText));
        r.setError();
        f.haveRspTail = false;
        return;
    }
    if (n > expected)
        r.appendInfo(QLatin1String(WrongAckSizeText));
    if (f.haveRspTail) {
        readTrailer(pad);
        checkTrailer(pad);
    }
}

void Checker::checkDataLengthForType()
{
    const DataLengthRule rule = dataLengthRule(f.messageType);
    if (!rule.known || rule.allows(f.dataLength))
        return;
    if (rule.warningOnly) {
        f.setFieldStatus(FieldId::DataLength, ASF_PACKET_WARNING,
                         QStringLiteral("Warning: Check data size for type of message"));
        r.appendInfo(QStringLiteral("Warning: Check  data size for type of message"));
        r.setWarning();
    } else {
        fieldError(FieldId::DataLength, QStringLiteral("error: Wrong data size for type of message"),
                   QStringLiteral("error: Wrong data size for type of message"));
    }
}

void Checker::checkSize()
{
    const int pad = rspPadLength(MessageHeaderSize + f.dataLength);
    const int expected = f.haveRspTail ? o + f.dataLength + pad + 26 : o + f.dataLength + MessageHeaderSize;
    if (n == expected) {
        checkDataLengthForType();
        if (f.haveRspTail) {
            readTrailer(pad);
            checkTrailer(pad);
        }
    } else {
        f.setFieldStatus(FieldId::DataLength, ASF_PACKET_ERROR, QLatin1String(WrongSizeText));
        if (f.haveRspTail) {
            r.appendInfo("error: Wrong packet size, length of data wrong or wrong rsp trailer size; "
                         "got %d expected %d",
                         int(n), expected);
            f.haveRspTail = false;
        } else {
            r.appendInfo("error: Wrong packet size or length of data wrong; got %d expected %d", int(n), expected);
        }
        r.setError();
    }

    if (n >= o + MessageHeaderSize) {
        // Without a valid trailer everything after the header counts as data.
        const qsizetype count = f.haveRspTail ? n - o - 26 - pad : n - o - MessageHeaderSize;
        if (count > 0)
            f.rmcpData = in.bytes(o + MessageHeaderSize, count);
        if (count != 0 && count != f.dataLength)
            f.setFieldStatus(FieldId::DataLength, ASF_PACKET_ERROR, QLatin1String(WrongSizeText));
    }
}

bool Checker::run()
{
    f.clearValues();
    f.setFieldStatus(FieldId::DataLength, ASF_PACKET_OK, QString());

    if (type == ProtocolRmcpRsp) {
        readPart(Part::RspHeader, 0, RspHeaderSize);
        f.haveRspTail = f.rspSessionId != 0;
    }
    // An acknowledge is the RMCP header alone.
    f.isAcknowledge = in.u8(o + fieldDescriptor(FieldId::MessageClass).offset) & AcknowledgeBit;
    readPart(Part::Message, o, f.isAcknowledge ? RmcpHeaderSize : MessageHeaderSize);
    if (f.isAcknowledge) {
        f.messageTypeName = acknowledgeName();
    } else {
        f.messageTypeName = messageTypeName(f.messageType);
        f.isResponse = isResponseType(f.messageType);
    }
    r.setInfo(f.messageTypeName + QLatin1Char('\t'));

    // The type first: its name heads the info. Then the header fields in
    // their order; an acknowledge has its RMCP header checked, then its size
    // and trailer.
    if (!f.isAcknowledge)
        checkMessageType();
    for (const FieldDescriptor &s : fieldDescriptors()) {
        if (s.part == Part::Message && (s.inAcknowledge || !f.isAcknowledge))
            checkRule(s, 0);
    }
    if (f.isAcknowledge)
        checkAcknowledge();
    else
        checkSize();
    return r.status() == ASF_PACKET_OK;
}

} // namespace

bool checkMessage(QByteArrayView bytes, int protocolType, RmcpFields &f, PacketFindings &findings)
{
    return Checker(bytes, protocolType, f, findings).run();
}

} // namespace velquor::rmcp
