#pragma once

#include "core/datagramsocket.h"
#include "rsp/rspmachine.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <QObject>
#include <functional>
#include <memory>

class ASF_Logger;
class ASF_RMCP_Packet;
class QRssp;

namespace velquor {
class LogClock;
class RandomSource;
} // namespace velquor

namespace velquor::rsp {

using SocketFactory = std::function<std::unique_ptr<DatagramSocket>()>;

// What a manager runs on. Unset members take the workbench's own: a clock
// of the manager's, the system's cryptographic generator, HMAC-SHA1 from
// Qt, UDP sockets, port 664.
struct Environment
{
    LogClock *clock = nullptr;
    RandomSource *random = nullptr;
    Hmac *hmac = nullptr;
    SocketFactory socketFactory;
    quint16 port = 664;
};

} // namespace velquor::rsp

// The RSP endpoint towards one managed client: the connected socket to its
// secure port, the sessions with it and the steps that create, use and
// close them (velquor::rsp::RspMachine). Reports through sessionStatus()
// and msgReceived(); error lines and packet records go to the owner's log.
//
// Replacing a manager: call retire() first, then deleteLater(). retire()
// disconnects everything from the manager's signals, stops its timers and
// stops reading, so nothing of the old manager reaches its owner any more;
// slots that may still see a signal queued before can tell the sender by
// QRssp::manager().
class QRsp : public QObject, private velquor::rsp::MachineHost
{
    Q_OBJECT

public:
    using SocketFactory = velquor::rsp::SocketFactory;
    using Environment = velquor::rsp::Environment;
    enum ConnectionState { ConnectionInitial, ConnectionLookup, ConnectionFailed, ConnectionUp };

    QRsp(const QHostAddress &peer, QObject *parent = nullptr, const char *name = nullptr, Environment env = {});
    // A dotted IPv4 address is taken as it is; any other text is looked up
    // (IPv4 only) and the connection follows the look-up.
    QRsp(const QString &host, QObject *parent = nullptr, const char *name = nullptr, Environment env = {});
    ~QRsp() override;

    void setOwnerLog(ASF_Logger *log) { m_machine.setOwnerLog(log); }
    ASF_Logger *ownerLog() const { return m_machine.ownerLog(); }
    // ConnectionFailed: the socket could not be connected; nothing can be
    // sent ("Error initiating RSP" for the page).
    int connectionState() const { return m_connection; }
    QHostAddress peerAddress() const { return m_peer; }
    quint16 port() const { return m_port; }
    velquor::DatagramSocket *socket() const { return m_socket.get(); }

    // Arguments in the order of the configuration: role (0 Operator, 1
    // Administrator), the three keys (up to 20 bytes each), the response
    // time-out (ms), no-acknowledge, the user name (up to 16 characters).
    int initSession(int role, const QByteArray &operatorKey, const QByteArray &administratorKey,
                    const QByteArray &generatorKey, int timerPeriod, bool noAcknowledge, const QString &userName);
    void reinitSession();
    bool termSession(QRssp *session);
    bool sendMsg(ASF_RMCP_Packet *packet, QRssp *session);
    bool sendMsg(ASF_RMCP_Packet *packet, QRssp *session, const velquor::rmcp::RspOverrides &overrides);
    // The oldest waiting message (RSP header and trailer included), or an
    // empty array.
    QByteArray recvMsg(QRssp *session);

    QList<QRssp *> sessions() const;
    QRssp *sessionInCreation() const;
    int messageState() const { return m_machine.messageState(); }
    velquor::rsp::RspMachine &machine() { return m_machine; }

    // Silences the manager before it is handed to deleteLater().
    void retire();
    bool isRetired() const { return m_retired; }

public slots:
    void hostFound();

signals:
    void sessionStatus(QRssp *session);
    void msgReceived(QRssp *session);
    void connectionStateChanged(int state);

private slots:
    void socketReadyRead();
    void socketBytesWritten();

private:
    friend class QRssp;

    QRsp(QObject *parent, const char *name, Environment env);
    void lookedUp(const QHostInfo &info);
    void setConnection(int state);

    std::unique_ptr<velquor::rsp::Session> createSession(const velquor::rsp::SessionSettings &settings) override;
    qint64 write(const QByteArray &datagram) override;
    void startSessionTimer(velquor::rsp::Session &session) override;
    void stopSessionTimer(velquor::rsp::Session &session) override;
    void queueWriteEvent() override;
    void statusChanged(velquor::rsp::Session &session) override;
    void messageWaiting(velquor::rsp::Session &session) override;

    Environment m_env;
    std::unique_ptr<velquor::LogClock> m_ownClock;
    std::unique_ptr<velquor::RandomSource> m_ownRandom;
    std::unique_ptr<velquor::rsp::Hmac> m_ownHmac;
    velquor::rsp::RspMachine m_machine;
    QHostAddress m_peer;
    quint16 m_port;
    int m_connection = ConnectionInitial;
    int m_lookupId = -1; // a look-up runs or has ended and is not yet taken
    bool m_lookupDone = false;
    QList<QHostAddress> m_lookupAddresses;
    bool m_retired = false;
    std::unique_ptr<velquor::DatagramSocket> m_socket;
};
