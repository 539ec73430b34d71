#include "rmcp/rmcpcompose.h"

#include "rmcp/rmcptables.h"

#include <QtEndian>

namespace velquor::rmcp {

namespace {

void appendBe32(QByteArray &out, quint32 value)
{
    char b[4];
    qToBigEndian(value, b);
    out.append(b, 4);
}

void appendBe16(QByteArray &out, quint16 value)
{
    char b[2];
    qToBigEndian(value, b);
    out.append(b, 2);
}

const SendListEntry sendListEntries[] = {
    {SendListRequest::Reset, "Reset", TypeReset, true},
    {SendListRequest::PowerUp, "Power-Up", TypePowerUp, true},
    {SendListRequest::UnconditionalPowerDown, "Unconditional Power-Down", TypeUnconditionalPowerDown, true},
    {SendListRequest::PowerCycleReset, "Power Cycle Reset", TypePowerCycleReset, true},
    {SendListRequest::PresencePing, "Presence Ping", TypePresencePing, false},
    {SendListRequest::CapabilitiesRequest, "Capabilities Request", TypeCapabilitiesRequest, false},
    {SendListRequest::SystemStateRequest, "System State Request", TypeSystemStateRequest, false},
};

} // namespace

QByteArray composeMessage(const MessageFields &m)
{
    QByteArray out;
    out.reserve(MessageHeaderSize + m.data.size());
    out.append(char(m.version));
    out.append(char(m.reserved1));
    out.append(char(m.sequenceNr));
    out.append(char(m.messageClass));
    appendBe32(out, m.ianaEnterpriseNr);
    out.append(char(m.messageType));
    out.append(char(m.messageTag));
    out.append(char(m.reserved2));
    out.append(char(m.dataLength));
    out.append(m.data);
    return out;
}

std::span<const SendListEntry> sendList() { return sendListEntries; }

std::optional<SendListEntry> sendListEntry(const QString &label)
{
    for (const SendListEntry &entry : sendListEntries) {
        if (label == QLatin1String(entry.label))
            return entry;
    }
    return std::nullopt;
}

QByteArray composeRequest(SendListRequest request, quint8 sequenceNr, quint8 messageTag)
{
    const auto index = size_t(request);
    if (index >= std::size(sendListEntries))
        return QByteArray();
    MessageFields m;
    m.sequenceNr = sequenceNr;
    m.messageTag = messageTag;
    m.messageType = sendListEntries[index].messageType;
    return composeMessage(m);
}

QByteArray controlOptionsData(const ControlOptions &o)
{
    QByteArray out;
    appendBe32(out, o.ianaEnterpriseNr);
    out.append(char(o.specialCommand));
    appendBe16(out, o.specialCommandParameters);
    appendBe16(out, o.bootOptions);
    appendBe16(out, o.oemParameters);
    return out;
}

QByteArray composeAcknowledge(quint8 sequenceNr, quint8 messageClass, quint8 version, quint8 reserved1)
{
    QByteArray out;
    out.append(char(version));
    out.append(char(reserved1));
    out.append(char(sequenceNr));
    out.append(char(messageClass | AcknowledgeBit));
    return out;
}

QByteArray acknowledgeFor(QByteArrayView datagram, int protocolType)
{
    const int o = messageOffset(protocolType);
    if (datagram.size() < o + RmcpHeaderSize)
        return QByteArray();
    const auto at = [&](int i) { return quint8(datagram[o + i]); };
    return composeAcknowledge(at(2), at(3), at(0), at(1));
}

QByteArray composeRspMessage(QByteArrayView message, const RspWrap &wrap)
{
    QByteArray out;
    appendBe32(out, wrap.sessionId);
    appendBe32(out, wrap.sequenceNumber);
    out.append(message);
    if (!wrap.trailer)
        return out;
    const int pad = rspPadLength(int(message.size()));
    out.append(wrap.pad.value_or(QByteArray(pad, '\0')));
    out.append(char(wrap.padLength.value_or(quint8(pad))));
    out.append(char(wrap.nextHeader));
    QByteArray integrity = wrap.integrityData.left(IntegrityDataSize);
    integrity.append(QByteArray(IntegrityDataSize - integrity.size(), '\0'));
    out.append(integrity);
    return out;
}

QByteArrayView integrityCoverage(QByteArrayView datagram)
{
    if (datagram.size() < IntegrityDataSize)
        return QByteArrayView();
    return datagram.first(datagram.size() - IntegrityDataSize);
}

bool setIntegrityData(QByteArray &datagram, QByteArrayView integrity)
{
    if (datagram.size() < IntegrityDataSize || integrity.size() < IntegrityDataSize)
        return false;
    datagram.replace(datagram.size() - IntegrityDataSize, IntegrityDataSize, integrity.first(IntegrityDataSize));
    return true;
}

QByteArray falseIntegrityData()
{
    static const char pattern[IntegrityDataSize] = {0x0D, 0x0E, 0x0A, 0x0D, 0x0B, 0x0E,
                                                    0x0E, 0x0F, 0x0D, 0x0E, 0x0A, 0x0D};
    return QByteArray(pattern, IntegrityDataSize);
}

} // namespace velquor::rmcp
