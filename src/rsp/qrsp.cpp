#include "rsp/qrsp.h"

#include "core/logclock.h"
#include "core/randomsource.h"
#include "core/trace.h"
#include "rsp/qrssp.h"

#include <QMetaObject>
#include <QRegularExpression>

using namespace velquor;

QRsp::QRsp(QObject *parent, const char *name, Environment env)
    : QObject(parent), m_env(std::move(env)),
      m_ownClock(m_env.clock ? nullptr : std::make_unique<SystemLogClock>()),
      m_ownRandom(m_env.random ? nullptr : std::make_unique<SystemRandomSource>()),
      m_ownHmac(m_env.hmac ? nullptr : std::make_unique<rsp::QtHmac>()),
      m_machine(*this, m_env.clock ? *m_env.clock : *m_ownClock, m_env.random ? *m_env.random : *m_ownRandom,
                m_env.hmac ? *m_env.hmac : *m_ownHmac),
      m_port(m_env.port)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    // Owners may queue the signals' argument.
    qRegisterMetaType<QRssp *>("QRssp*");
    trace(QStringLiteral("QRsp::QRsp()\n"));
}

QRsp::QRsp(const QHostAddress &peer, QObject *parent, const char *name, Environment env)
    : QRsp(parent, name, std::move(env))
{
    m_peer = peer;
    hostFound();
}

QRsp::QRsp(const QString &host, QObject *parent, const char *name, Environment env)
    : QRsp(parent, name, std::move(env))
{
    // Four decimal numbers and dots only: anything else is a name to look up.
    static const QRegularExpression dotted(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}$"));
    QHostAddress address;
    if (dotted.match(host).hasMatch() && address.setAddress(host)) {
        trace(QStringLiteral("QRsp::QRsp(), Host address in dot notation\n"));
        m_peer = address;
        hostFound();
        return;
    }
    m_lookupId = QHostInfo::lookupHost(host, this, &QRsp::lookedUp);
    setConnection(ConnectionLookup);
    trace(QStringLiteral("QRsp::QRsp(), Host address needs DNS lookup\n"));
}

QRsp::~QRsp()
{
    trace(QStringLiteral("QRsp::~QRsp\n"));
    if (m_lookupId >= 0 && !m_lookupDone)
        QHostInfo::abortHostLookup(m_lookupId);
    m_machine.deleteSessions();
    trace(QStringLiteral("QRsp::~QRsp done\n"));
    m_socket.reset();
}

void QRsp::lookedUp(const QHostInfo &info)
{
    m_lookupDone = true;
    m_lookupAddresses = info.error() == QHostInfo::NoError ? info.addresses() : QList<QHostAddress>();
    hostFound();
}

void QRsp::setConnection(int state)
{
    m_connection = state;
    emit connectionStateChanged(state);
}

void QRsp::hostFound()
{
    trace(QStringLiteral("QRsp::hostFound()\n"));
    if (m_lookupId >= 0) {
        if (!m_lookupDone)
            return; // called again with the result
        trace(QStringLiteral("QRsp::hostFound(), DNS lookup done\n"));
        for (const QHostAddress &a : std::as_const(m_lookupAddresses)) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                traceF("QRsp::hostFound(), %s [%x]\n", qPrintable(a.toString()), a.toIPv4Address());
                m_peer = a;
                break;
            }
        }
        m_lookupId = -1;
        m_lookupAddresses.clear();
    }

    m_socket = m_env.socketFactory ? m_env.socketFactory() : std::make_unique<UdpDatagramSocket>();
    int code = SocketUnknownError;
    if (m_socket) {
        connect(m_socket.get(), &DatagramSocket::readyRead, this, &QRsp::socketReadyRead);
        // A look-up that found no IPv4 address leaves nothing to connect to.
        code = m_peer.isNull() ? SocketNetworkFailure : m_socket->connectToHost(m_peer, m_port);
    }
    if (code == SocketNoError) {
        setConnection(ConnectionUp);
        trace(QStringLiteral("QRsp::hostFound(), socket connection success\n"));
    } else {
        setConnection(ConnectionFailed);
        trace(QStringLiteral("QRsp::hostFound(), socket connection fails\n"));
    }
    traceF("QRsp::hostFound(), [port:%d],[peer port:%d]\n", m_socket ? int(m_socket->localPort()) : 0,
           code == SocketNoError ? int(m_port) : 0);
}

int QRsp::initSession(int role, const QByteArray &operatorKey, const QByteArray &administratorKey,
                      const QByteArray &generatorKey, int timerPeriod, bool noAcknowledge, const QString &userName)
{
    rsp::SessionSettings settings;
    settings.role = role;
    settings.operatorKey = operatorKey;
    settings.administratorKey = administratorKey;
    settings.generatorKey = generatorKey;
    settings.timerPeriod = timerPeriod;
    settings.noAcknowledge = noAcknowledge;
    settings.userName = userName;
    return m_machine.initSession(settings);
}

void QRsp::reinitSession()
{
    m_machine.reinitSession();
}

bool QRsp::termSession(QRssp *session)
{
    return m_machine.termSession(session);
}

bool QRsp::sendMsg(ASF_RMCP_Packet *packet, QRssp *session)
{
    return m_machine.sendMsg(packet, session);
}

bool QRsp::sendMsg(ASF_RMCP_Packet *packet, QRssp *session, const rmcp::RspOverrides &overrides)
{
    return m_machine.sendMsg(packet, session, overrides);
}

QByteArray QRsp::recvMsg(QRssp *session)
{
    return m_machine.recvMsg(session).value_or(QByteArray());
}

QList<QRssp *> QRsp::sessions() const
{
    QList<QRssp *> out;
    for (const auto &s : m_machine.sessions())
        out.append(static_cast<QRssp *>(s.get()));
    return out;
}

QRssp *QRsp::sessionInCreation() const
{
    return static_cast<QRssp *>(m_machine.sessionInCreation());
}

void QRsp::retire()
{
    m_retired = true;
    disconnect(this, nullptr, nullptr, nullptr);
    for (QRssp *s : sessions())
        s->stopTimeout();
    if (m_socket)
        disconnect(m_socket.get(), nullptr, this, nullptr);
}

void QRsp::socketReadyRead()
{
    if (m_retired || !m_socket)
        return;
    // A receiver of the signals may run a nested event loop: a batch of its own.
    std::vector<ReceivedDatagram> batch;
    if (m_socket->readPending(batch) == 0)
        return m_machine.socketEmpty();
    for (const ReceivedDatagram &d : batch) {
        if (m_retired)
            return;
        m_machine.readDatagram(d.data);
    }
}

void QRsp::socketBytesWritten()
{
    if (!m_retired)
        m_machine.writeEvent();
}

std::unique_ptr<rsp::Session> QRsp::createSession(const rsp::SessionSettings &settings)
{
    return std::make_unique<QRssp>(settings, this);
}

qint64 QRsp::write(const QByteArray &datagram)
{
    return m_socket && m_connection == ConnectionUp ? m_socket->write(datagram) : -1;
}

void QRsp::startSessionTimer(rsp::Session &session)
{
    static_cast<QRssp &>(session).startTimeout();
}

void QRsp::stopSessionTimer(rsp::Session &session)
{
    static_cast<QRssp &>(session).stopTimeout();
}

void QRsp::queueWriteEvent()
{
    // The old write notifier fired once the socket had taken the datagram;
    // Qt reports a UDP write inside write() itself, so go round the loop.
    QMetaObject::invokeMethod(this, &QRsp::socketBytesWritten, Qt::QueuedConnection);
}

void QRsp::statusChanged(rsp::Session &session)
{
    if (!m_retired)
        emit sessionStatus(static_cast<QRssp *>(&session));
}

void QRsp::messageWaiting(rsp::Session &session)
{
    if (!m_retired)
        emit msgReceived(static_cast<QRssp *>(&session));
}
