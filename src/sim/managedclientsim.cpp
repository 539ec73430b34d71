#include "sim/managedclientsim.h"

#include "core/textformat.h"

#include <QMetaMethod>
#include <QTimer>
#include <map>

namespace velquor::sim {

ManagedClientSim::ManagedClientSim(const SimConfig &config, LogClock *clock, QObject *parent)
    : QObject(parent), m_config(config), m_clock(clock), m_responder(config.responder),
      m_rspResponder(config.rsp, &m_responder),
      m_socketFactory([] { return std::make_unique<UdpDatagramSocket>(); }), m_trapTimer(new QTimer(this))
{
    m_trapTimer->setSingleShot(true);
    m_trapTimer->setTimerType(Qt::PreciseTimer); // heartbeats keep their interval
    connect(m_trapTimer, &QTimer::timeout, this, &ManagedClientSim::pollTraps);
}

ManagedClientSim::~ManagedClientSim() = default;

int ManagedClientSim::start()
{
    stop();
    auto socket = m_socketFactory();
    if (const int code = socket->bind(m_config.address, m_config.port); code != SocketNoError)
        return code;
    m_rmcpSocket = std::move(socket);
    connect(m_rmcpSocket.get(), &DatagramSocket::readyRead, this, &ManagedClientSim::readRmcp);
    m_rspBindFailed = false;
    if (m_config.rsp.enabled) {
        auto rsp = m_socketFactory();
        if (const int code = rsp->bind(m_config.address, m_config.rsp.port); code != SocketNoError) {
            m_rspBindFailed = true;
            m_rmcpSocket.reset();
            return code;
        }
        m_rspSocket = std::move(rsp);
        connect(m_rspSocket.get(), &DatagramSocket::readyRead, this, &ManagedClientSim::readRsp);
    }
    if (m_config.traps.enabled) {
        m_trapSocket = m_socketFactory();
        m_traps.emplace(m_config.traps, m_clock->elapsed());
        m_trapTimer->start(0); // what is due now leaves once the event loop runs
    }
    return SocketNoError;
}

void ManagedClientSim::stop()
{
    m_trapTimer->stop();
    m_traps.reset();
    m_rmcpSocket.reset(); // and with it the late answers waiting
    m_rspSocket.reset();
    m_lateWaiting = 0;
    m_trapSocket.reset();
}

QHostAddress ManagedClientSim::localAddress() const
{
    return m_rmcpSocket ? m_rmcpSocket->localAddress() : QHostAddress();
}

quint16 ManagedClientSim::localPort() const
{
    return m_rmcpSocket ? m_rmcpSocket->localPort() : 0;
}

quint16 ManagedClientSim::rspLocalPort() const
{
    return m_rspSocket ? m_rspSocket->localPort() : 0;
}

void ManagedClientSim::line(const char *direction, const QHostAddress &peer, quint16 port, const char *protocol,
                            const QString &description, const QByteArray &bytes)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(&ManagedClientSim::datagramLine)))
        return;
    emit datagramLine(QStringLiteral("%1 %2 %3:%4 %5 %6: %7")
                          .arg(timestampText(m_clock->elapsed()), QLatin1String(direction), peer.toString())
                          .arg(port)
                          .arg(QLatin1String(protocol), description, QString::fromLatin1(bytes.toHex())));
}

void ManagedClientSim::readRmcp()
{
    if (!m_rmcpSocket)
        return;
    m_batch.clear();
    m_rmcpSocket->readPending(m_batch);
    for (const ReceivedDatagram &d : m_batch) {
        ++m_received;
        const std::vector<Outgoing> answers = m_responder.receive(d.data);
        line("received", d.sender, d.senderPort, "RMCP", m_responder.lastDescription(), d.data);
        sendAnswers(m_rmcpSocket.get(), "RMCP", answers, d.sender, d.senderPort);
    }
}

void ManagedClientSim::readRsp()
{
    if (!m_rspSocket)
        return;
    m_batch.clear();
    m_rspSocket->readPending(m_batch);
    for (const ReceivedDatagram &d : m_batch) {
        ++m_received;
        const std::vector<Outgoing> answers = m_rspResponder.receive(d.data);
        line("received", d.sender, d.senderPort, "RSP", m_rspResponder.lastDescription(), d.data);
        sendAnswers(m_rspSocket.get(), "RSP", answers, d.sender, d.senderPort);
    }
}

void ManagedClientSim::sendAnswers(DatagramSocket *socket, const char *protocol, const std::vector<Outgoing> &answers,
                                   const QHostAddress &to, quint16 port)
{
    // Answers of one delay leave together, in their order.
    std::map<int, std::vector<Outgoing>> byDelay;
    for (const Outgoing &o : answers)
        byDelay[o.delayMs].push_back(o);
    for (const auto &entry : byDelay) {
        const int delay = entry.first;
        const std::vector<Outgoing> &group = entry.second;
        if (delay == 0) {
            for (const Outgoing &o : group)
                send(socket, o.bytes, to, port, protocol, o.description);
            continue;
        }
        // A flood of requests must not pile up late answers without bound.
        if (m_lateWaiting >= MaxLateAnswers) {
            for (const Outgoing &o : group)
                line("not sent (too many late answers waiting)", to, port, protocol, o.description, o.bytes);
            continue;
        }
        ++m_lateWaiting;
        // Late answers leave by the socket they came for; a stop drops them.
        QTimer::singleShot(delay, Qt::PreciseTimer, socket, [this, socket, protocol, group, to, port] {
            --m_lateWaiting;
            for (const Outgoing &o : group)
                send(socket, o.bytes, to, port, protocol, o.description);
        });
    }
}

void ManagedClientSim::send(DatagramSocket *socket, const QByteArray &bytes, const QHostAddress &to, quint16 port,
                            const char *protocol, const QString &description)
{
    const bool sent = socket->writeDatagram(bytes, to, port) == bytes.size();
    if (sent)
        ++m_sent;
    line(sent ? "sent" : "not sent", to, port, protocol, description, bytes);
}

void ManagedClientSim::pollTraps()
{
    if (!m_traps || !m_trapSocket)
        return;
    const quint32 now = m_clock->elapsed();
    for (const TrapSend &trap : m_traps->due(now))
        send(m_trapSocket.get(), trap.bytes, m_config.traps.address, m_config.traps.port, "PET", trap.description);
    if (const std::optional<quint32> wait = m_traps->msUntilNext(now))
        m_trapTimer->start(int(*wait));
    else
        m_trapTimer->stop();
}

void ManagedClientSim::sendAlert()
{
    if (!m_traps)
        return;
    m_traps->addAlert(m_clock->elapsed());
    pollTraps();
}

} // namespace velquor::sim
