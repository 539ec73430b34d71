#pragma once

#include "rmcp/rsplink.h"
#include "rsp/rsphmac.h"
#include "rsp/rspsession.h"

#include <QByteArray>
#include <QPointer>
#include <memory>
#include <optional>
#include <vector>

class ASF_Logger;
class ASF_RMCP_Packet;

namespace velquor {
class LogClock;
class RandomSource;
} // namespace velquor

namespace velquor::rsp {

// What the machine needs from around it: sessions to keep, a connected
// socket, one time-out timer per session, a deferred "written" step, and
// the two signals.
class MachineHost
{
public:
    virtual ~MachineHost() = default;
    virtual std::unique_ptr<Session> createSession(const SessionSettings &settings) = 0;
    // Bytes written, or -1.
    virtual qint64 write(const QByteArray &datagram) = 0;
    // Starts (or restarts) the session's timer with its period.
    virtual void startSessionTimer(Session &session) = 0;
    virtual void stopSessionTimer(Session &session) = 0;
    // Calls writeEvent() once the event loop comes round: an acknowledge
    // counts as written only after the step that wrote it has returned.
    virtual void queueWriteEvent() = 0;
    // The session's status changed: sessionStatus().
    virtual void statusChanged(Session &session) = 0;
    // A message waits to be fetched: msgReceived().
    virtual void messageWaiting(Session &session) = 0;
};

// The fields of the RSP header and trailer a negative test may set, as the
// RMCP page gives them; an unset field is computed as for a plain secured
// send.
using RspOverrides = rmcp::RspOverrides;

// The RSP session manager's logic over one connected socket: routes each
// datagram to its session, runs the phase readers and writers, wraps and
// checks secured messages. Everything happens inside the calls; the host
// carries out timers, writes and signals.
class RspMachine
{
public:
    RspMachine(MachineHost &host, LogClock &clock, RandomSource &random, Hmac &hmac);
    ~RspMachine();

    // Error lines and packet records go here; without one they are dropped.
    void setOwnerLog(ASF_Logger *log);
    ASF_Logger *ownerLog() const;

    // 0 when the new session's Presence Ping went out, -1 while another
    // session is being created.
    int initSession(const SessionSettings &settings);
    void reinitSession();
    bool termSession(Session *session);
    bool sendMsg(ASF_RMCP_Packet *packet, Session *session);
    bool sendMsg(ASF_RMCP_Packet *packet, Session *session, const RspOverrides &overrides);
    // The oldest waiting message of the session, whole; none when there is
    // none or the session is unknown or not established.
    std::optional<QByteArray> recvMsg(Session *session);

    // One datagram from the socket.
    void readDatagram(const QByteArray &datagram);
    // The socket was readable with nothing to read.
    void socketEmpty();
    void writeEvent();
    void timerExpired(Session &session);

    int messageState() const { return m_messageState; }
    Session *sessionInCreation() const { return m_inCreation; }
    const std::vector<std::unique_ptr<Session>> &sessions() const { return m_sessions; }
    bool contains(const Session *session) const;
    bool writeNotifierEnabled() const { return m_writeNotifier; }
    // Incremented before each request; its low byte is the request's tag.
    quint32 messageTagCounter() const { return m_tagCounter; }
    void setMessageTagCounter(quint32 value) { m_tagCounter = value; }
    // Deletes every session (each traces its end).
    void deleteSessions();

private:
    struct Steps;
    friend struct Steps;

    MachineHost &m_host;
    LogClock &m_clock;
    RandomSource &m_random;
    Hmac &m_hmac;
    QPointer<ASF_Logger> m_log;
    int m_messageState = MsIdle;
    quint32 m_tagCounter = 0;
    Session *m_inCreation = nullptr;
    std::vector<std::unique_ptr<Session>> m_sessions;
    bool m_writeNotifier = false;
};

// A message wrapped for a session: RSP header, message, pad of 1 to 4 zero
// bytes, Pad Length, Next Header 6, 12 bytes of integrity data keyed with
// sik. Empty value and the failure when the hash fails.
struct Wrapped
{
    QByteArray datagram;
    HashResult::Outcome outcome = HashResult::Ok;
};
Wrapped wrapSecured(QByteArrayView message, quint32 sessionId, quint32 sequenceNumber, QByteArrayView sik,
                    Hmac &hmac);

// The trace's hex dump of a datagram (groups of four bytes, sixteen a line).
QString traceHexDump(QByteArrayView bytes);

} // namespace velquor::rsp
