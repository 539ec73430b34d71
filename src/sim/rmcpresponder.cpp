#include "sim/rmcpresponder.h"

#include "rmcp/rmcpcompose.h"
#include "rmcp/rmcptables.h"

#include <QtEndian>

namespace velquor::sim {

using namespace velquor::rmcp;

namespace {

constexpr quint8 StateWorking = 0;
constexpr quint8 StateSoftOff = 5;

quint8 nextSequenceNr(quint8 n)
{
    return n >= 254 ? 0 : quint8(n + 1);
}

QString describe(quint8 type, quint8 sequenceNr, quint8 tag)
{
    return QStringLiteral("%1, seq %2, tag %3").arg(messageTypeName(type)).arg(sequenceNr).arg(tag);
}

} // namespace

RmcpResponder::RmcpResponder(const ResponderConfig &config) : m_config(config), m_state(config.systemState) {}

bool RmcpResponder::isOff(quint8 state)
{
    // Soft-off, mechanical off, off by override, legacy off.
    return state == 5 || state == 6 || state == 7 || state == 10 || state == 12;
}

quint8 RmcpResponder::takeSequenceNr()
{
    ++m_responses;
    quint8 n = 0;
    if (m_responses > 1) {
        const bool second = m_responses % 2 == 0;
        using F = ResponderConfig::SequenceFault;
        if (second && m_config.sequenceFault == F::Repeat)
            n = m_lastSequenceNr;
        else if (second && m_config.sequenceFault == F::Skip)
            n = nextSequenceNr(nextSequenceNr(m_lastSequenceNr));
        else
            n = nextSequenceNr(m_lastSequenceNr);
    }
    m_lastSequenceNr = n;
    return n;
}

Outgoing RmcpResponder::response(quint8 type, quint8 tag, QByteArray data)
{
    MessageFields m;
    m.sequenceNr = takeSequenceNr();
    m.messageType = type;
    // Another tag, never the "no response" tag 255.
    m.messageTag = m_config.wrongTag ? (tag == 254 ? 0 : quint8(tag + 1)) : tag;
    m.ianaEnterpriseNr = m_config.ianaEnterpriseNr;
    if (m_config.lengthFault == ResponderConfig::LengthFault::Type)
        data.append('\0');
    m.dataLength = quint8(data.size());
    if (m_config.lengthFault == ResponderConfig::LengthFault::Size)
        m.dataLength = quint8(data.size() + 1);
    m.data = data;
    return {composeMessage(m), m_config.responseDelayMs, describe(type, m.sequenceNr, m.messageTag)};
}

std::vector<Outgoing> RmcpResponder::receive(QByteArrayView d)
{
    std::vector<Outgoing> out;
    const qsizetype n = d.size();
    if (n < RmcpHeaderSize) {
        m_description = QStringLiteral("ignored: %1 bytes, too short for an RMCP header").arg(n);
        return out;
    }
    const quint8 version = quint8(d[0]);
    const quint8 sequenceNr = quint8(d[2]);
    const quint8 messageClass = quint8(d[3]);
    if (version != RmcpVersion1) {
        m_description = QStringLiteral("ignored: RMCP version 0x%1").arg(version, 2, 16, QLatin1Char('0'));
        return out;
    }
    if (messageClass & AcknowledgeBit) {
        // The console's acknowledge of a response: never answered.
        m_description = QStringLiteral("Acknowledge, seq %1").arg(sequenceNr);
        return out;
    }
    if ((messageClass & 0x0F) != AsfMessageClass) {
        m_description = QStringLiteral("ignored: message class %1 is not ASF").arg(messageClass & 0x0F);
        return out;
    }
    const bool asfHeader = n >= MessageHeaderSize;
    const quint8 type = asfHeader ? quint8(d[8]) : 0;
    const quint8 tag = asfHeader ? quint8(d[9]) : 0;
    const quint8 dataLength = asfHeader ? quint8(d[11]) : 0;
    m_description = asfHeader ? describe(type, sequenceNr, tag)
                              : QStringLiteral("RMCP header only, seq %1").arg(sequenceNr);
    if (++m_requests <= m_config.dropFirst) {
        m_description += QStringLiteral(" (dropped)");
        return out;
    }

    std::vector<Outgoing> responses;
    QString passedOver;
    if (!asfHeader) {
        passedOver = QStringLiteral("no ASF header");
    } else if (qFromBigEndian<quint32>(d.data() + 4) != AsfIanaEnterpriseNr) {
        passedOver = QStringLiteral("IANA Enterprise Number not 4542");
    } else if (n != MessageHeaderSize + dataLength) {
        passedOver = QStringLiteral("Data Length %1 but %2 data bytes").arg(dataLength).arg(n - MessageHeaderSize);
    } else if (const DataLengthRule rule = dataLengthRule(type); rule.known && !rule.allows(dataLength)) {
        passedOver = QStringLiteral("Data Length %1 wrong for the message type").arg(dataLength);
    } else {
        const bool wanted = tag != NoResponseMessageTag;
        switch (type) {
        case TypePresencePing:
            if (wanted)
                responses.push_back(response(TypePresencePong, tag,
                                             composeData(TypePresencePong, {{"Supported Entities", 0x01}})));
            break;
        case TypeCapabilitiesRequest:
            if (wanted)
                responses.push_back(response(TypeCapabilitiesResponse, tag,
                                             composeData(TypeCapabilitiesResponse,
                                                         {{"Special Commands Supported", 0x001F},
                                                          {"System Capabilities Supported", 0xF0}})));
            break;
        case TypeSystemStateRequest:
            if (wanted)
                responses.push_back(response(TypeSystemStateResponse, tag,
                                             composeData(TypeSystemStateResponse, {{"System State", m_state}})));
            break;
        case TypeReset:
            if (!isOff(m_state))
                m_state = StateWorking;
            break;
        case TypePowerUp:
        case TypePowerCycleReset:
            m_state = StateWorking;
            break;
        case TypeUnconditionalPowerDown:
            m_state = StateSoftOff;
            break;
        default:
            passedOver = QStringLiteral("not a request this client answers");
            break;
        }
    }
    if (!passedOver.isEmpty())
        m_description += QStringLiteral(" (passed over: %1)").arg(passedOver);

    if (m_config.acknowledge && sequenceNr != NoAcknowledgeSequenceNr) {
        out.push_back({composeAcknowledge(sequenceNr), m_config.ackDelayMs,
                       QStringLiteral("Acknowledge, seq %1").arg(sequenceNr)});
    }
    out.insert(m_config.responseFirst ? out.begin() : out.end(), responses.begin(), responses.end());
    if (m_config.twice) {
        std::vector<Outgoing> doubled;
        for (const Outgoing &o : out) {
            doubled.push_back(o);
            doubled.push_back(o);
        }
        out.swap(doubled);
    }
    return out;
}

} // namespace velquor::sim
