#include "pet/petanalysis.h"

#include "core/packetstatus.h"
#include "core/textformat.h"

#include <algorithm>
#include <cmath>

namespace velquor::pet {

namespace {

constexpr int LogLineLimit = 1000;

// Current time for record comparisons, raised so that now - 2 min never wraps.
quint32 raised(quint32 t)
{
    return qMax(t, TwoMinutes);
}

float finiteOrZero(float v)
{
    return std::isfinite(v) ? v : 0.0f;
}

} // namespace

int heartbeatTimerPeriod(float toleranceMinutes)
{
    const double p = std::trunc(double(toleranceMinutes) * 60000.0) - 1.0;
    if (!(p >= MinTimerPeriod)) // also catches NaN
        return MinTimerPeriod;
    if (p >= MaxTimerPeriod)
        return MaxTimerPeriod;
    return int(p);
}

void PetAnalysis::restartClockState()
{
    m_last = m_previous = now();
    m_missing = false;
}

void PetAnalysis::restart()
{
    m_records.clear();
    m_bySequence.clear();
    restartClockState();
}

void PetAnalysis::log(int status, const QString &text)
{
    if (m_sink)
        m_sink->logLevel(status, text);
}

PetAnalysis::SettingsEffect PetAnalysis::applyHeartbeatSettings(bool check, quint32 intervalMs, float tolerance)
{
    const bool wasOn = m_check;
    const float oldTolerance = m_tolerance;
    m_check = check;
    m_interval = intervalMs;
    m_tolerance = finiteOrZero(tolerance);

    SettingsEffect effect;
    if (wasOn && !check) {
        effect.heartbeatLamp = Lamp::Off;
        effect.timerPeriod = MaxTimerPeriod;
    } else if (check && (m_tolerance != oldTolerance || !wasOn)) {
        // Also when checking is switched back on: the 60 s period of the off
        // state would report a missing heartbeat up to a minute late.
        effect.timerPeriod = timerPeriod();
    }
    if (!wasOn && check) {
        m_last = m_previous = now();
        effect.heartbeatLamp = Lamp::Green;
    }
    return effect;
}

void PetAnalysis::setTolerance(float toleranceMinutes)
{
    m_tolerance = finiteOrZero(toleranceMinutes);
}

PetAnalysis::HeartbeatEffect PetAnalysis::analyseReceived(PacketFindings &packet, const TrapFacts &trap,
                                                           int &retransmissionCount)
{
    if (trap.isHeartbeat)
        return receiveHeartbeat(packet, trap.timestamp);
    analyseSequence(packet, trap, retransmissionCount);
    return {};
}

void PetAnalysis::analyseSequence(PacketFindings &p, const TrapFacts &trap, int &retransmissionCount)
{
    const quint32 t = raised(now());
    if (trap.sequenceNumber == 0)
        return;
    bool isNew = true;
    const auto found = m_bySequence.find(trap.sequenceNumber);
    if (found != m_bySequence.end()) {
        const auto &same = found->second;
        for (auto it = same.rbegin(); it != same.rend(); ++it) { // newest first
            RetransmissionRecord &r = **it;
            // An expired record is left to the expiry scan, which reports it
            // if it was not retransmitted often enough.
            if (r.time < t - TwoMinutes)
                continue;
            if (quint64(trap.timestamp) < quint64(r.time) + OneMinute) {
                if (trap.bytes != r.bytes) {
                    p.setInfo("error: same sequence nr. but different contents within 1 min.\nfirst occurrence at %d",
                              int(r.time));
                    p.setError();
                } else {
                    r.count += 1;
                    retransmissionCount = r.count;
                    isNew = false;
                    if (r.count > 2) {
                        p.setInfo("error: nr. of retransmissions %d larger than 2\nfirst occurrence at %d", r.count,
                                  int(r.time));
                        p.setError();
                    } else {
                        p.setOk();
                        p.setInfo("retransmission (%d) for packet received at %d", r.count, int(r.time));
                    }
                }
            } else if (isNew) {
                if (trap.bytes != r.bytes) {
                    p.appendInfo("\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence at %d "
                                 "(different contents)",
                                 int(r.time));
                } else if (r.count < 2) {
                    p.appendInfo("\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence at %d "
                                 "missing with %d retransmission (same contents)\n",
                                 int(r.time), 2 - r.count);
                } else {
                    r.count += 1;
                    retransmissionCount = r.count;
                    p.appendInfo("\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence at %d with "
                                 "%d retransmissions",
                                 int(r.time), r.count);
                }
                p.setWarning();
            }
        }
    }
    if (isNew) {
        m_records.push_front({trap.sequenceNumber, trap.timestamp, trap.bytes, 0});
        m_bySequence[trap.sequenceNumber].push_back(m_records.begin());
    }
}

PetAnalysis::HeartbeatEffect PetAnalysis::receiveHeartbeat(PacketFindings &p, quint32 timestamp)
{
    // What check() found stays: its findings follow the heartbeat text and
    // the status is left as it set it, so a malformed heartbeat is not
    // passed off as a good one.
    QString findings = p.info(); // "  -finding -finding" after the initial blank
    if (findings.startsWith(QLatin1Char(' ')))
        findings.remove(0, 1);
    else if (!findings.isEmpty())
        findings.prepend(QStringLiteral(" -"));
    auto setHeartbeatInfo = [&](const QString &text) { p.setInfo(text + findings); };

    if (!m_check) {
        setHeartbeatInfo(QStringLiteral("Heartbeat"));
        return {};
    }
    const quint32 expected = m_last + m_interval;
    if (double(now()) < double(expected) - double(m_tolerance) * 60000.0)
        setHeartbeatInfo(boundedFormat(PacketFindings::InfoLimit, "Heartbeat (early expected at %d)", int(expected)));
    else
        setHeartbeatInfo(QStringLiteral("Heartbeat"));
    m_previous = m_last;
    m_last = timestamp;
    HeartbeatEffect effect;
    effect.flashRed = true;
    effect.lampAfter = m_missing ? Lamp::Red : Lamp::Green;
    return effect;
}

bool PetAnalysis::checkHeartbeatDue()
{
    if (!m_check)
        return true;
    const quint32 t = now();
    const quint32 expected = m_last + m_interval;
    const double deadline = double(expected) + double(m_tolerance) * 60000.0;
    if (double(t) <= deadline) {
        m_missing = false;
        return true;
    }
    log(-1, boundedFormat(LogLineLimit,
                          "error: heartbeat missing, expected at %d-heartbeat missing outside tolerance %f min.\n"
                          "Interval:\t\t%d\nlast heartbeat:\t\t%d\nnow:\t\t%d",
                          int(expected), double(m_tolerance), int(m_interval), int(m_last), int(t)));
    m_missing = true;
    m_last = expected;
    return false;
}

void PetAnalysis::removeRecord(RecordList::iterator it)
{
    const auto found = m_bySequence.find(it->sequenceNumber);
    if (found != m_bySequence.end()) {
        auto &same = found->second;
        same.erase(std::remove(same.begin(), same.end(), it), same.end());
        if (same.empty())
            m_bySequence.erase(found);
    }
    m_records.erase(it);
}

void PetAnalysis::expireRetransmissionRecords()
{
    const quint32 t = raised(now());
    for (auto it = m_records.begin(); it != m_records.end();) {
        if (!(it->time < t - TwoMinutes)) {
            ++it;
            continue;
        }
        if (it->count == 0) {
            log(0, boundedFormat(LogLineLimit,
                                 "warning: insufficient nr. of retransmissions (%d)\nfor packet received at %d-The "
                                 "Alert Standard Format Specification describes in\nchapter 5.1.5.2 messages "
                                 "without retransmission. These\ncan not be identified here.",
                                 it->count, int(it->time)));
        } else if (it->count == 1) {
            log(-1, boundedFormat(LogLineLimit,
                                  "warning: insufficient nr. of retransmissions (%d)\nfor packet received at %d-The "
                                  "Alert Standard Format Specification describes in\nchapter 5.1.5.2 messages "
                                  "without retransmission.\nSince %d retransmissions were received, this does not\n"
                                  "apply here",
                                  it->count, int(it->time), it->count));
        }
        auto expired = it++;
        removeRecord(expired);
    }
}

} // namespace velquor::pet
