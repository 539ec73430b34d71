#include "rmcp/rmcpcheck.h"

#include "rmcp/rmcplayout.h"
#include "rmcp/rmcptables.h"

#include <QtEndian>

namespace velquor::rmcp {

namespace {

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
    quint32 be32(qsizetype pos) const
    {
        return holds(pos, 4) ? qFromBigEndian<quint32>(m_bytes.data() + pos) : 0;
    }
    QByteArray bytes(qsizetype pos, qsizetype len) const
    {
        return holds(pos, len) ? m_bytes.sliced(pos, len).toByteArray() : QByteArray();
    }

private:
    QByteArrayView m_bytes;
};

class Checker
{
public:
    Checker(RmcpFields &fields, PacketFindings &findings) : f(fields), r(findings) {}

    void fieldError(FieldId id, const QString &fieldText, const QString &infoText)
    {
        f.setFieldStatus(id, ASF_PACKET_ERROR, fieldText);
        r.appendInfo(infoText);
        r.setError();
    }
    // Most findings read the same on the field and in the record's info.
    void fieldError(FieldId id, const QString &text) { fieldError(id, text, text); }

    // The trailer is read from the end, with the pad the message should have;
    // the Pad Length byte on the wire never moves a position.
    void readTrailer(const Reader &in, int pad)
    {
        const qsizetype n = in.size();
        f.rspIntegrityData = in.bytes(n - IntegrityDataSize, IntegrityDataSize);
        f.rspNextHeader = in.u8(n - 13);
        f.rspPadLength = qint8(in.u8(n - 14));
        f.rspPad = in.bytes(n - 14 - pad, pad);
    }

    void checkTrailer(int pad)
    {
        if (f.rspNextHeader != RmcpVersion1)
            fieldError(FieldId::RspNextHeader, QStringLiteral("should be set to 0x06; ASF RMCP Version 1"),
                       QStringLiteral("error: RSP Next Header"));
        if (f.rspPadLength != pad)
            fieldError(FieldId::RspPadLength,
                       QString::asprintf("Length %d not equal calculated length %d", f.rspPadLength, pad),
                       QStringLiteral("error: RSP Pad Length"));
        if (f.rspPad.count('\0') < pad)
            fieldError(FieldId::RspPad, QStringLiteral("Padding not all zero"), QStringLiteral("error: RSP Pad"));
    }

    RmcpFields &f;
    PacketFindings &r;
};

void checkDataLengthForType(Checker &c)
{
    const DataLengthRule rule = dataLengthRule(c.f.messageType);
    if (!rule.known || rule.allows(c.f.dataLength))
        return;
    if (rule.warningOnly) {
        c.f.setFieldStatus(FieldId::DataLength, ASF_PACKET_WARNING,
                           QStringLiteral("Warning: Check data size for type of message"));
        c.r.appendInfo(QStringLiteral("Warning: Check  data size for type of message"));
        c.r.setWarning();
    } else {
        c.fieldError(FieldId::DataLength, QStringLiteral("error: Wrong data size for type of message"));
    }
}

void checkAcknowledge(Checker &c, const Reader &in, int protocolType, int o)
{
    RmcpFields &f = c.f;
    const qsizetype n = in.size();
    if (protocolType != ProtocolRmcpRsp) {
        // Reported for the record's reader only: an ack with extra bytes is still an ack.
        if (n > RmcpHeaderSize)
            c.r.appendInfo(QStringLiteral("error: wrong size of Ack Packet"));
        return;
    }
    const int pad = rspPadLength(RmcpHeaderSize);
    const qsizetype expected = o + RmcpHeaderSize + (f.haveRspTail ? pad + RspTrailerFixedSize : 0);
    if (f.haveRspTail && n < expected) {
        // No room for a trailer behind the RMCP header: reading one from the
        // end would take header bytes (or bytes before the start) as trailer.
        c.r.appendInfo(QStringLiteral("error: wrong size of Ack Packet"));
        c.r.setError();
        f.haveRspTail = false;
        return;
    }
    if (n > expected)
        c.r.appendInfo(QStringLiteral("error: wrong size of Ack Packet"));
    if (f.haveRspTail) {
        c.readTrailer(in, pad);
        c.checkTrailer(pad);
    }
}

} // namespace

bool checkMessage(QByteArrayView bytes, int protocolType, RmcpFields &f, PacketFindings &findings)
{
    const Reader in(bytes);
    const qsizetype n = in.size();
    Checker c(f, findings);

    f.clearValues();
    f.setFieldStatus(FieldId::DataLength, ASF_PACKET_OK, QString());

    const int o = messageOffset(protocolType);
    if (protocolType == ProtocolRmcpRsp) {
        f.rspSequenceNumber = in.be32(4);
        f.rspSessionId = in.be32(0);
        f.haveRspTail = f.rspSessionId != 0;
    }

    f.messageClass = in.u8(o + 3);
    if (f.messageClass & AcknowledgeBit) {
        f.isAcknowledge = true;
        f.messageTypeName = acknowledgeName();
    } else {
        f.messageType = in.u8(o + 8);
        f.messageTypeName = messageTypeName(f.messageType);
        f.isResponse = isResponseType(f.messageType);
    }
    findings.setInfo(f.messageTypeName + QLatin1Char('\t'));

    f.version = in.u8(o);
    f.reserved1 = in.u8(o + 1);
    f.sequenceNr = in.u8(o + 2);

    if (!f.isAcknowledge) {
        if (isReservedMessageType(f.messageType))
            c.fieldError(FieldId::MessageType, QStringLiteral("error: Using reserved message type"));
        if (f.messageTypeName == unknownMessageTypeName())
            c.fieldError(FieldId::MessageType, QStringLiteral("error: Unkown message type"));
    }
    if (f.version != RmcpVersion1)
        c.fieldError(FieldId::Version, QStringLiteral("should be set to 0x06; ASF RMCP Version 1"),
                     QStringLiteral("error: Version"));
    if (f.reserved1 != 0)
        c.fieldError(FieldId::Reserved1, QStringLiteral("error: Reserved field (1) not zero"));
    // The sequence number is judged by the handler against what it expects.

    if (f.isAcknowledge) {
        checkAcknowledge(c, in, protocolType, o);
        return findings.status() == ASF_PACKET_OK;
    }

    f.ianaEnterpriseNr = in.be32(o + 4);
    f.messageTag = in.u8(o + 9);
    f.reserved2 = in.u8(o + 10);
    f.dataLength = in.u8(o + 11);

    if (f.messageClass & 0x70) {
        const auto bit = [&](int b, const char *text) { return (f.messageClass & (1 << b)) ? text : ""; };
        c.fieldError(FieldId::MessageClass,
                     QString::asprintf("error: Reserved bits %s%s%s set in class of message", bit(4, "4 "),
                                       bit(5, "5 "), bit(6, "6 ")),
                     QStringLiteral("error: class of message field"));
    }
    if (f.ianaEnterpriseNr != AsfIanaEnterpriseNr)
        c.fieldError(FieldId::IanaEnterpriseNr, QStringLiteral("error: IANA Enterprise Number not set to 0x000011BE"));
    if (f.reserved2 != 0)
        c.fieldError(FieldId::Reserved2, QStringLiteral("error: Reserved field (2) not zero"));

    const int pad = rspPadLength(MessageHeaderSize + f.dataLength);
    const int expected = f.haveRspTail ? o + f.dataLength + pad + 26 : o + f.dataLength + MessageHeaderSize;
    if (n == expected) {
        checkDataLengthForType(c);
        if (f.haveRspTail) {
            c.readTrailer(in, pad);
            c.checkTrailer(pad);
        }
    } else {
        f.setFieldStatus(FieldId::DataLength, ASF_PACKET_ERROR,
                         QStringLiteral("error: Wrong packet size or length of data wrong"));
        if (f.haveRspTail) {
            findings.appendInfo("error: Wrong packet size, length of data wrong or wrong rsp trailer size; "
                                "got %d expected %d",
                                int(n), expected);
            f.haveRspTail = false;
        } else {
            findings.appendInfo("error: Wrong packet size or length of data wrong; got %d expected %d", int(n),
                                expected);
        }
        findings.setError();
    }

    if (n >= o + MessageHeaderSize) {
        // Without a valid trailer everything after the header counts as data.
        const qsizetype count = f.haveRspTail ? n - o - 26 - pad : n - o - MessageHeaderSize;
        if (count > 0)
            f.rmcpData = in.bytes(o + MessageHeaderSize, count);
        if (count != 0 && count != f.dataLength)
            f.setFieldStatus(FieldId::DataLength, ASF_PACKET_ERROR,
                             QStringLiteral("error: Wrong packet size or length of data wrong"));
    }
    return findings.status() == ASF_PACKET_OK;
}

} // namespace velquor::rmcp
