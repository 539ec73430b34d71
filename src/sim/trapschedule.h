#pragma once

#include "sim/simconfig.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>
#include <vector>

namespace velquor::sim {

struct TrapSend
{
    QByteArray bytes;
    QString description; // "alert, seq 4, retransmission 1"
};

// When which trap goes out, without sockets or timers: the caller asks for
// what is due at a time on its clock and how long until the next one.
//
// Every trap has a sequence number of its own, counted from 1 and never 0
// (0 means unspecified); the sends of one alert share it and its bytes. The
// defaults are what the workbench's analysis takes as correct: an alert and
// its two retransmissions one second apart, well inside the minute in which
// copies count as retransmissions, and numbers never reused within the two
// minutes it remembers them.
class TrapSchedule
{
public:
    TrapSchedule(const TrapConfig &config, quint32 start);

    // The traps due at or before now (the clock's milliseconds), in order,
    // at most MaxBatch of them; msUntilNext() is then 0 while more are due.
    std::vector<TrapSend> due(quint32 now);
    // Milliseconds from now until the next trap is due; none when no trap
    // will be.
    std::optional<quint32> msUntilNext(quint32 now);
    // One more alert, its first send at now.
    void addAlert(quint32 now);

    static constexpr size_t MaxBatch = 1024;
    static constexpr size_t MaxPending = 4096;

private:
    quint64 extend(quint32 now);
    quint16 takeSequenceNumber();
    void startAlert(quint64 at);
    void queue(quint64 at, bool heartbeat, quint16 sequence, quint64 stampedAt, int retransmission);

    TrapConfig m_config;
    quint64 m_start;
    quint32 m_lastNow;
    quint64 m_epoch = 0; // milliseconds before the clock last wrapped
    std::multimap<quint64, TrapSend> m_pending;
    quint64 m_nextHeartbeat;
    int m_heartbeatSlots = 0;
    int m_alertsStarted = 0;
    quint64 m_nextAlert;
    quint16 m_sequence = 1;
};

} // namespace velquor::sim
