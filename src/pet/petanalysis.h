#pragma once

#include "core/logclock.h"
#include "core/logsink.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace velquor {
class PacketFindings;
}

namespace velquor::pet {

// One remembered trap, kept until two minutes after its first occurrence.
struct RetransmissionRecord
{
    quint32 sequenceNumber = 0;
    quint32 time = 0; // arrival of the first occurrence
    QByteArray bytes;
    int count = 0; // retransmissions seen so far
};

// Limits of the repeating timer that checks heartbeats and expires records.
// Its period follows the tolerance (one tick per tolerance), but never runs
// below MinTimerPeriod: a shorter period would only load the event loop,
// heartbeats being minutes apart, and a tolerance under 2 ms gives no
// period at all. Zero, negative and non-numeric tolerances get the floor.
inline constexpr int MinTimerPeriod = 1000;
inline constexpr int MaxTimerPeriod = 60000;
int heartbeatTimerPeriod(float toleranceMinutes);

inline constexpr quint32 OneMinute = 60000;
inline constexpr quint32 TwoMinutes = 120000;

enum class Lamp { Unchanged, Off, Green, Red };

// What a received trap is, for the analysis.
struct TrapFacts
{
    quint32 timestamp = 0;
    QByteArray bytes;
    quint32 sequenceNumber = 0;
    bool isHeartbeat = false;
};

// Heartbeat supervision and the retransmission analysis of received traps.
// Time comes from the clock; findings without a record go to the sink as
// log lines (short form, '-', long form).
class PetAnalysis
{
public:
    PetAnalysis(LogClock *clock, LogSink *sink);
    ~PetAnalysis();
    PetAnalysis(const PetAnalysis &) = delete;
    PetAnalysis &operator=(const PetAnalysis &) = delete;

    void setSink(LogSink *sink) { m_sink = sink; }
    // At most this many reuse warnings per trap, then one line saying more
    // were left out; below 0 every one is listed. A sender repeating one
    // sequence number would otherwise grow each trap's info with every
    // earlier trap of the last two minutes.
    void setReuseWarningLimit(int limit) { m_reuseWarningLimit = limit; }

    // --- settings -------------------------------------------------------
    struct SettingsEffect
    {
        Lamp heartbeatLamp = Lamp::Unchanged;
        int timerPeriod = -1; // -1: leave the timer as it is
    };
    SettingsEffect applyHeartbeatSettings(bool check, quint32 intervalMs, float toleranceMinutes);
    // Sets the tolerance alone (scripts do, before applying the settings).
    void setTolerance(float toleranceMinutes);

    bool heartbeatCheck() const { return m_check; }
    quint32 interval() const { return m_interval; }
    float tolerance() const { return m_tolerance; }
    quint32 lastHeartbeat() const { return m_last; }
    quint32 previousHeartbeat() const { return m_previous; }
    bool heartbeatMissing() const { return m_missing; }
    int timerPeriod() const { return heartbeatTimerPeriod(m_tolerance); }

    // --- received traps -------------------------------------------------
    struct HeartbeatEffect
    {
        bool flashRed = false;           // heartbeat lamp red at once ...
        Lamp lampAfter = Lamp::Unchanged; // ... and this colour 150 ms later
    };
    // The listener's analysis after check(): heartbeats go through the
    // heartbeat rule, other traps through the sequence analysis.
    HeartbeatEffect analyseReceived(PacketFindings &packet, const TrapFacts &trap, int &retransmissionCount);
    void analyseSequence(PacketFindings &packet, const TrapFacts &trap, int &retransmissionCount);
    HeartbeatEffect receiveHeartbeat(PacketFindings &packet, quint32 timestamp);

    // --- timer ------------------------------------------------------------
    // False when it reported a missing heartbeat (the lamp then goes red).
    bool checkHeartbeatDue();
    void expireRetransmissionRecords();

    // Forgets all records and starts heartbeat supervision at the clock's now.
    void restart();

    // A copy of the records, newest first.
    std::vector<RetransmissionRecord> records() const;
    std::size_t recordCount() const;

private:
    struct Index;
    quint32 now() const { return m_clock ? m_clock->elapsed() : 0; }
    void restartClockState();
    void log(int status, const QString &text);

    LogClock *m_clock;
    LogSink *m_sink;
    bool m_check = false;
    int m_reuseWarningLimit = -1;
    quint32 m_interval = 600000;
    float m_tolerance = 0.5f;
    quint32 m_last = 0;
    quint32 m_previous = 0;
    bool m_missing = false;

    // The records in arrival order, also by sequence number and by number
    // and contents, so a trap's analysis finds the records it concerns
    // without walking the others.
    std::unique_ptr<Index> m_index;
};

} // namespace velquor::pet
