#include "rmcp/rmcpconnection.h"

#include "core/asflogger.h"
#include "core/datagramsocket.h"
#include "core/packetstatus.h"
#include "core/trace.h"
#include "rmcp/asfrmcphandler.h"

namespace velquor::rmcp {

namespace {

RspManagerFactory &defaultFactory()
{
    static RspManagerFactory factory;
    return factory;
}

} // namespace

void setDefaultRspManagerFactory(RspManagerFactory factory)
{
    defaultFactory() = std::move(factory);
}

const RspManagerFactory &defaultRspManagerFactory()
{
    return defaultFactory();
}

RmcpConnection::RmcpConnection(ASF_RMCP_Handler *handler) : QObject(handler), m_handler(handler)
{
    setObjectName(QStringLiteral("RMCPConnection"));
}

// Sockets and the manager are children: they go with this, directly.
RmcpConnection::~RmcpConnection() = default;

const RspManagerFactory &RmcpConnection::rspFactory() const
{
    return m_rspFactory ? m_rspFactory : defaultRspManagerFactory();
}

bool RmcpConnection::rspAvailable() const
{
    return bool(rspFactory());
}

void RmcpConnection::setState(const ConnectionState &state)
{
    m_state = state;
    emit stateChanged();
}

void RmcpConnection::showNotConnected(ConnectionState &s)
{
    s.connected = false;
    s.connectText = QStringLiteral("Connect");
    s.connectEnabled = true;
    s.killEnabled = false;
    s.statusLamp = Lamp::Red;
}

void RmcpConnection::dropSocket()
{
    if (!m_socket)
        return;
    // Its reader may be running further up the stack.
    disconnect(m_socket, nullptr, this, nullptr);
    m_socket->deleteLater();
    m_socket = nullptr;
}

void RmcpConnection::dropManager()
{
    if (!m_rsp)
        return;
    // Whatever it still has under way (a session in creation, a close)
    // must not reach the page, nor anyone else, before it is gone.
    m_rsp->retire();
    m_rsp->deleteLater();
    m_rsp = nullptr;
}

void RmcpConnection::toggle()
{
    if (m_handler->isConnected())
        disconnectFromClient();
    else
        connectToClient();
}

void RmcpConnection::connectToClient()
{
    const RmcpSettings &config = m_handler->config();
    ASF_Logger *log = m_handler->logger();
    ConnectionState s = m_state;
    s.keyValid.reset();

    // Whatever an earlier connect left behind goes first.
    if (m_socket) {
        trace(QStringLiteral("error: raw RMCP Socket reused\n"));
        log->logLevel(ASF_PACKET_ERROR, QStringLiteral("error: raw RMCP Socket reused"));
        m_handler->setRawSocket(nullptr);
        dropSocket();
    }
    if (m_rsp) {
        log->logLevel(ASF_PACKET_ERROR, QStringLiteral("error: RSP RMCP Socket reused"));
        trace(QStringLiteral("error RSP RMCP Socket reused\n"));
        log->logLevel(ASF_PACKET_ERROR, QStringLiteral("error: RSP RMCP Socket reused-RSP RMCP Socket reused"));
        QPointer<RspManager> manager = m_rsp;
        QRssp *session = m_rssp;
        disconnect(manager, nullptr, this, nullptr);
        m_rssp = nullptr;
        m_handler->setRsp(nullptr, nullptr);
        if (session) {
            manager->setSessionClientSequenceNumber(session, m_handler->expectedClientSequenceNumber());
            manager->termSession(session);
        }
        dropManager();
        s.rspSendOn = false;
        s.rspSendEnabled = false;
        s.roleText.clear();
        s.nameText.clear();
        s.roleFrameEnabled = false;
    }
    m_handler->setExpectedClientSequenceNumber(0xFF);
    s.rspLamp = config.rspOn ? Lamp::Red : Lamp::Off;
    // From here every failure leaves the page not connected.
    showNotConnected(s);

    const std::optional<QHostAddress> address = config.clientAddress();
    if (!address) {
        s.status = QStringLiteral("error: bad IP address");
        setState(s);
        log->logLevel(ASF_PACKET_ERROR,
                      QStringLiteral("error: bad IP address used-bad or no address configured \"%1\"").arg(config.address));
        return;
    }
    const quint16 port = config.portIndex == 0 ? m_plainPort : SecureRmcpPort;

    if (!config.rspOn) {
        std::unique_ptr<DatagramSocket> socket =
            m_socketFactory ? m_socketFactory() : std::make_unique<UdpDatagramSocket>();
        const int code = socket->connectToHost(*address, port);
        if (code != SocketNoError) {
            s.status = socketErrorText(code);
            setState(s);
            return;
        }
        m_socket = socket.release();
        m_socket->setParent(this);
        connect(m_socket, &DatagramSocket::readyRead, this, [this] { m_handler->readDatagram(m_socket); });
        s.shownAddress = address->toString();
        s.shownPort = QString::number(port);
        s.statusLamp = Lamp::Green;
        s.status = QStringLiteral("Connected");
        s.connected = true;
        s.connectText = QStringLiteral("Disconnect");
        s.killEnabled = true;
        setState(s);
        m_handler->setClient(*address, port);
        m_handler->applyConfig();
        m_handler->setRawSocket(m_socket);
        return;
    }

    RspManager *manager = rspFactory() ? rspFactory()(*address, m_handler, this) : nullptr;
    if (!manager) {
        s.status = QStringLiteral("Error initiating RSP");
        setState(s);
        return;
    }
    manager->setObjectName(QStringLiteral("QRSP_Instance"));
    m_rsp = manager;
    const KeyTranslation keys = config.translateKeys();
    s.keyValid = keys.valid;
    if (!keys.ok) {
        // The manager stays until the next connect drops it.
        s.status = QStringLiteral("error: RSP while translating keys");
        setState(s);
        return;
    }
    s.shownAddress = address->toString();
    s.shownPort = QString::number(port);
    s.statusLamp = Lamp::Green;
    s.nameText = config.name;
    s.roleText = config.role == OperatorRole ? QStringLiteral("Operator") : QStringLiteral("Administrator");
    s.status = QStringLiteral("Waiting for RSP data phase");
    connect(manager, &RspManager::sessionStatus, this, &RmcpConnection::rspSessionStatus);
    // Shown before the session starts: its outcome may come at once.
    setState(s);
    m_handler->setClient(*address, port);
    m_handler->applyConfig();
    RspSessionParameters p;
    p.role = config.role == OperatorRole ? OperatorRole : AdministratorRole;
    p.operatorKey = keys.keys[OperatorKey];
    p.administratorKey = keys.keys[AdministratorKey];
    p.generatorKey = keys.keys[GeneratorKey];
    p.timerPeriod = config.responseTimeMs();
    p.noAcknowledge = false;
    p.userName = config.name;
    if (m_rsp == manager)
        manager->initSession(p);
}

void RmcpConnection::disconnectFromClient()
{
    closeConnection(false);
}

void RmcpConnection::kill()
{
    closeConnection(true);
}

void RmcpConnection::closeConnection(bool atOnce)
{
    // A session still in creation has nothing to close: it is abandoned as
    // on Kill, or its late outcome would show the page connected again.
    if (m_rsp && !m_rssp)
        atOnce = true;
    ConnectionState s = m_state;
    if (m_socket) {
        m_handler->setRawSocket(nullptr);
        dropSocket();
    }
    QPointer<RspManager> manager = m_rsp;
    QRssp *session = m_rssp;
    if (manager) {
        s.rspSendOn = false;
        s.rspSendEnabled = false;
        s.roleText.clear();
        s.nameText.clear();
        s.roleFrameEnabled = false;
    }
    if (atOnce && manager) {
        // Nothing of the close is shown: the manager and its session are
        // forgotten now.
        disconnect(manager, nullptr, this, nullptr);
        m_rsp = nullptr;
        m_rssp = nullptr;
        m_handler->setRsp(nullptr, nullptr);
    }
    s.rspLamp = m_handler->config().rspOn ? Lamp::Red : Lamp::Off;
    showNotConnected(s);
    s.status = QStringLiteral("not connected");
    setState(s);
    if (manager && session) {
        manager->setSessionClientSequenceNumber(session, m_handler->expectedClientSequenceNumber());
        manager->termSession(session);
    }
    if (atOnce && manager) {
        manager->retire();
        manager->deleteLater();
    }
}

// Only the current manager's own sessions count: a late report of a
// manager the page dropped must not end or replace the current session.
bool RmcpConnection::fromCurrentManager(QRssp *session) const
{
    const QObject *from = sender();
    return m_rsp && (!from || from == m_rsp) && m_rsp->hasSession(session);
}

void RmcpConnection::rspSessionStatus(QRssp *session)
{
    if (!fromCurrentManager(session))
        return;
    const int code = m_rsp->sessionStatusCode(session);
    const QString info = m_rsp->sessionInfo(session);
    ConnectionState s = m_state;
    int level = ASF_PACKET_OK;
    QString line;
    switch (code) {
    case 0:
        m_rssp = session;
        m_handler->setRsp(m_rsp, session);
        connect(m_rsp, &RspManager::msgReceived, this, &RmcpConnection::rspReceive, Qt::UniqueConnection);
        m_handler->setExpectedClientSequenceNumber(m_rsp->sessionClientSequenceNumber(session));
        s.connected = true;
        s.connectText = QStringLiteral("Disconnect");
        s.killEnabled = true;
        s.rspSendOn = true;
        s.rspSendEnabled = true;
        s.roleFrameEnabled = true;
        s.statusLamp = Lamp::Green;
        s.status = QStringLiteral("Connected (RSP)");
        s.rspLamp = Lamp::Green;
        line = QStringLiteral("RSP Session created-") + info;
        break;
    case 1:
    case 2:
        showNotConnected(s);
        s.rspSendOn = false;
        s.rspSendEnabled = false;
        s.roleFrameEnabled = false;
        m_rssp = nullptr;
        m_handler->setRsp(nullptr, nullptr);
        dropManager();
        s.rspLamp = Lamp::Red;
        if (code == 1) {
            s.status = QStringLiteral("Error: RSP Session Creation failed");
            level = ASF_PACKET_ERROR;
            line = QStringLiteral("Error: RSP Session Creation failed-") + info;
        } else {
            s.status = QStringLiteral("Connection closed");
            line = QStringLiteral("RSP Session closed-<b>RSP session closed</b>");
        }
        break;
    case 3:
        s.connected = true;
        s.rspSendEnabled = true;
        s.roleFrameEnabled = true;
        s.connectText = QStringLiteral("Disconnect");
        s.killEnabled = true;
        s.status = QStringLiteral("Error: RSP Session closing failed");
        s.rspLamp = Lamp::Green;
        level = ASF_PACKET_ERROR;
        line = QStringLiteral("Error: RSP Session closing failed-RSP session close <b>failed</b>");
        break;
    default:
        level = ASF_PACKET_ERROR;
        line = QStringLiteral("error: unkown connection state (use kill)-unkown connection state (use kill)");
        break;
    }
    s.connectEnabled = true;
    setState(s);
    m_handler->logger()->logLevel(level, line);
}

void RmcpConnection::rspReceive(QRssp *session)
{
    if (!fromCurrentManager(session))
        return;
    // Every waiting message; the handler's receivers may drop the manager.
    QPointer<RspManager> manager = m_rsp;
    while (manager && manager == m_rsp) {
        const QByteArray bytes = manager->recvMsg(session);
        if (bytes.isNull())
            break;
        m_handler->receiveRspMessage(bytes);
    }
}

void RmcpConnection::showConfiguredClient()
{
    if (m_state.roleFrameEnabled)
        return;
    const RmcpSettings &config = m_handler->config();
    ConnectionState s = m_state;
    const quint16 port = config.portIndex == 0 ? m_plainPort : SecureRmcpPort;
    s.shownAddress = config.address;
    s.shownPort = QString::number(port);
    m_handler->setPort(port);
    setState(s);
}

} // namespace velquor::rmcp
