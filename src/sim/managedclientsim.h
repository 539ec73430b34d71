#pragma once

#include "core/datagramsocket.h"
#include "core/logclock.h"
#include "sim/rmcpresponder.h"
#include "sim/rspresponder.h"
#include "sim/simconfig.h"
#include "sim/trapschedule.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace velquor::sim {

// The simulated managed client: answers RMCP/ASF requests on its socket and
// sends its traps when they are due, by the clock it is given. Sockets come
// from a factory, UDP unless replaced (tests use the in-memory network).
// The clock must run on without restarts while the simulator runs.
class ManagedClientSim : public QObject
{
    Q_OBJECT

public:
    using SocketFactory = std::function<std::unique_ptr<DatagramSocket>()>;

    ManagedClientSim(const SimConfig &config, LogClock *clock, QObject *parent = nullptr);
    ~ManagedClientSim() override;

    void setSocketFactory(SocketFactory factory) { m_socketFactory = std::move(factory); }

    // Binds the RMCP socket (and the RSP one, when enabled) and starts the
    // traps; 0, or the socket error code (1..9) when a bind failed.
    int start();
    // When start() failed: whether the RSP socket was the one.
    bool rspBindFailed() const { return m_rspBindFailed; }
    // Closes the sockets and forgets answers and traps not yet sent.
    void stop();

    QHostAddress localAddress() const;
    quint16 localPort() const;
    quint16 rspLocalPort() const;
    const RmcpResponder &responder() const { return m_responder; }
    const RspResponder &rspResponder() const { return m_rspResponder; }
    quint64 datagramsReceived() const { return m_received; }
    quint64 datagramsSent() const { return m_sent; }

    // Late answers waiting at most; beyond, answers are dropped.
    static constexpr int MaxLateAnswers = 100000;

public slots:
    // Sends the traps due by the clock, then waits for the next one.
    void pollTraps();
    // One more alert, sent at once (with traps on).
    void sendAlert();

signals:
    // One line per datagram received or sent: time, direction, peer, what
    // it is, and its bytes as hex.
    void datagramLine(const QString &line);

private:
    void readRmcp();
    void readRsp();
    void sendAnswers(DatagramSocket *socket, const char *protocol, const std::vector<Outgoing> &answers,
                     const QHostAddress &to, quint16 port);
    void send(DatagramSocket *socket, const QByteArray &bytes, const QHostAddress &to, quint16 port,
              const char *protocol, const QString &description);
    void line(const char *direction, const QHostAddress &peer, quint16 port, const char *protocol,
              const QString &description, const QByteArray &bytes);

    SimConfig m_config;
    LogClock *m_clock;
    RmcpResponder m_responder;
    RspResponder m_rspResponder; // shares the system state with m_responder
    std::optional<TrapSchedule> m_traps;
    SocketFactory m_socketFactory;
    std::unique_ptr<DatagramSocket> m_rmcpSocket;
    std::unique_ptr<DatagramSocket> m_rspSocket;
    std::unique_ptr<DatagramSocket> m_trapSocket;
    bool m_rspBindFailed = false;
    QTimer *m_trapTimer;
    std::vector<ReceivedDatagram> m_batch;
    quint64 m_received = 0;
    quint64 m_sent = 0;
    int m_lateWaiting = 0;
};

} // namespace velquor::sim
