#include "sim/trapschedule.h"

#include "pet/petcompose.h"

namespace velquor::sim {

using namespace velquor::pet;

namespace {

// The last bytes of a trap, cut to truncate it: the end of its PET data.
constexpr int TruncatedBytes = 8;
// SNMPv2 Trap PDU: an SNMPv1 listener must refuse it.
constexpr quint8 WrongPduType = 0xA7;

} // namespace

TrapSchedule::TrapSchedule(const TrapConfig &config, quint32 start)
    : m_config(config), m_start(start), m_lastNow(start), m_nextHeartbeat(quint64(start) + config.heartbeatIntervalMs),
      m_nextAlert(start)
{
}

quint64 TrapSchedule::extend(quint32 now)
{
    // The clock's 32 bits wrap after 49 days; the schedule runs on.
    if (now < m_lastNow)
        m_epoch += quint64(1) << 32;
    m_lastNow = now;
    return m_epoch + now;
}

quint16 TrapSchedule::takeSequenceNumber()
{
    const quint16 n = m_sequence;
    m_sequence = m_sequence == 0xFFFF ? 1 : quint16(m_sequence + 1);
    return n;
}

void TrapSchedule::queue(quint64 at, bool heartbeat, quint16 sequence, quint64 stampedAt, int retransmission)
{
    TrapValues values = heartbeat ? heartbeatTrap(sequence) : alertTrap(sequence);
    values.set(Element::TimeStamp, quint32((stampedAt - m_start) / 10)); // time ticks since start
    if (m_config.malformed)
        values.set(Element::PduType, WrongPduType);
    QByteArray bytes = composePetTrap(values);
    if (m_config.truncated)
        bytes.chop(TruncatedBytes);
    QString description = QStringLiteral("%1, seq %2").arg(QLatin1String(heartbeat ? "heartbeat" : "alert")).arg(sequence);
    if (retransmission > 0)
        description += QStringLiteral(", retransmission %1").arg(retransmission);
    m_pending.emplace(at, TrapSend{bytes, description});
}

void TrapSchedule::startAlert(quint64 at)
{
    const quint16 sequence = takeSequenceNumber();
    for (int k = 0; k <= m_config.alertRetransmissions; ++k) {
        const quint64 sendAt = at + quint64(k) * m_config.alertSpacingMs;
        // A correct client sends the very bytes again; a faulty one stamps
        // each copy with its own time.
        queue(sendAt, false, sequence, m_config.changedRetransmissions ? sendAt : at, k);
    }
}

void TrapSchedule::addAlert(quint32 now)
{
    if (m_pending.size() < MaxPending) // a burst of requests adds no more
        startAlert(extend(now));
}

std::vector<TrapSend> TrapSchedule::due(quint32 now)
{
    const quint64 t = extend(now);
    // Numbers are given out in time order, alerts before a heartbeat due at
    // the same moment. Sends waiting are bounded: with MaxPending of them
    // (many alerts started faster than their copies leave) the next trap
    // waits for room, so no setting piles traps up in memory.
    while (m_pending.size() < MaxPending) {
        const bool alert = m_alertsStarted < m_config.alerts && m_nextAlert <= t;
        const bool heartbeat = m_config.heartbeatIntervalMs > 0 && m_nextHeartbeat <= t;
        if (alert && (!heartbeat || m_nextAlert <= m_nextHeartbeat)) {
            startAlert(m_nextAlert);
            ++m_alertsStarted;
            m_nextAlert += m_config.alertPeriodMs;
        } else if (heartbeat) {
            ++m_heartbeatSlots;
            if (m_config.missHeartbeats == 0 || m_heartbeatSlots % m_config.missHeartbeats != 0)
                queue(m_nextHeartbeat, true, takeSequenceNumber(), m_nextHeartbeat, 0);
            m_nextHeartbeat += m_config.heartbeatIntervalMs;
        } else {
            break;
        }
    }
    std::vector<TrapSend> out;
    while (!m_pending.empty() && m_pending.begin()->first <= t && out.size() < MaxBatch) {
        out.push_back(std::move(m_pending.begin()->second));
        m_pending.erase(m_pending.begin());
    }
    return out;
}

std::optional<quint32> TrapSchedule::msUntilNext(quint32 now)
{
    const quint64 t = extend(now);
    std::optional<quint64> next;
    const auto consider = [&](quint64 at) { next = next ? qMin(*next, at) : at; };
    if (!m_pending.empty())
        consider(m_pending.begin()->first);
    if (m_pending.size() < MaxPending) {
        if (m_alertsStarted < m_config.alerts)
            consider(m_nextAlert);
        if (m_config.heartbeatIntervalMs > 0)
            consider(m_nextHeartbeat);
    }
    if (!next)
        return std::nullopt;
    return quint32(qMin<quint64>(*next > t ? *next - t : 0, 0x7FFFFFFF));
}

} // namespace velquor::sim
