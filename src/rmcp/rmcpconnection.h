#pragma once

#include "rmcp/rmcpsettings.h"
#include "rmcp/rsplink.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class ASF_RMCP_Handler;

namespace velquor {
class DatagramSocket;
}

namespace velquor::rmcp {

enum class Lamp { Off, Green, Red };

// What an RMCP page shows of its connection: the dialog's status line and
// buttons, the panel's client status, lamps and buttons, and the page's
// mirror of them. One value, so every view shows the same.
struct ConnectionState
{
    QString status = QStringLiteral("not listening");
    bool connected = false;
    // Connect buttons of dialog and panel: "Connect" or "Disconnect".
    QString connectText = QStringLiteral("Connect");
    bool connectEnabled = true;
    // The dialog's Kill and the panel's Abort.
    bool killEnabled = false;
    Lamp statusLamp = Lamp::Red;
    Lamp rspLamp = Lamp::Off;
    // The panel's managed client status.
    QString shownAddress = QStringLiteral("0.0.0.0");
    QString shownPort = QStringLiteral("623");
    QString roleText, nameText;
    bool roleFrameEnabled = false;
    // The panel's "RSP" send mode: on and usable while a session is up.
    bool rspSendOn = false;
    bool rspSendEnabled = false;
    // Which key texts read as keys, once a connect has read them.
    std::optional<std::array<bool, 3>> keyValid;
};

// Opens and closes one RMCP page's connection to its managed client, from
// the handler's configuration: a connected datagram socket to port 623, or
// an RSP manager with a session on port 664. It owns both and hands them to
// the handler; what the page shows of it is its state. Dropped sockets and
// managers are deleted later, never under code that may still use them.
class RmcpConnection : public QObject
{
    Q_OBJECT

public:
    using SocketFactory = std::function<std::unique_ptr<DatagramSocket>()>;

    explicit RmcpConnection(ASF_RMCP_Handler *handler);
    ~RmcpConnection() override;

    const ConnectionState &state() const { return m_state; }

    // Sockets to connect; UDP unless replaced.
    void setSocketFactory(SocketFactory factory) { m_socketFactory = std::move(factory); }
    // RSP managers; the default factory unless replaced.
    void setRspManagerFactory(RspManagerFactory factory) { m_rspFactory = std::move(factory); }
    // Whether a connect with RSP on can create a manager.
    bool rspAvailable() const;
    // The UDP port that stands for "623" in the configuration; tests and a
    // managed client simulated on an unprivileged port change it.
    void setPlainPort(quint16 port) { m_plainPort = port; }
    quint16 plainPort() const { return m_plainPort; }

    DatagramSocket *rawSocket() const { return m_socket; }
    RspManager *rspManager() const { return m_rsp; }
    QRssp *rspSession() const { return m_rssp; }

    // The dialog's operations: Connect toggles, Disconnect closes (a
    // session's close ends in its status), Kill drops everything at once.
    void toggle();
    void connectToClient();
    void disconnectFromClient();
    void kill();
    // The manager's signals.
    void rspSessionStatus(QRssp *session);
    void rspReceive(QRssp *session);
    // The client status shows the configured address and port while no
    // session is up, and the handler takes the port.
    void showConfiguredClient();

signals:
    void stateChanged();

private:
    void setState(const ConnectionState &state);
    void dropSocket();
    void dropManager();
    void closeConnection(bool atOnce);
    bool fromCurrentManager(QRssp *session) const;
    static void showNotConnected(ConnectionState &state);
    const RspManagerFactory &rspFactory() const;

    ASF_RMCP_Handler *m_handler;
    ConnectionState m_state;
    SocketFactory m_socketFactory;
    RspManagerFactory m_rspFactory;
    quint16 m_plainPort = PlainRmcpPort;
    QPointer<DatagramSocket> m_socket;
    QPointer<RspManager> m_rsp;
    QRssp *m_rssp = nullptr;
};

} // namespace velquor::rmcp
