#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

namespace velquor {

// The one time base of all packet time stamps. Handlers and loggers share a
// single instance, so every page's records sit on one time axis; tests swap in
// ManualLogClock to drive minutes of timing logic without waiting.
class LogClock
{
public:
    virtual ~LogClock() = default;
    // Milliseconds since the last restart.
    virtual quint32 elapsed() const = 0;
    virtual void restart() = 0;
};

class SystemLogClock final : public LogClock
{
public:
    SystemLogClock() { m_timer.start(); }
    quint32 elapsed() const override { return quint32(m_timer.elapsed()); }
    void restart() override { m_timer.restart(); }

private:
    QElapsedTimer m_timer;
};

class ManualLogClock final : public LogClock
{
public:
    quint32 elapsed() const override { return m_now - m_start; }
    void restart() override { m_start = m_now; }

    void advance(quint32 ms) { m_now += ms; }
    // Sets the elapsed time since the last restart.
    void setElapsed(quint32 ms) { m_now = m_start + ms; }

private:
    quint32 m_now = 0;
    quint32 m_start = 0;
};

} // namespace velquor
