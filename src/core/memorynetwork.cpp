#include "core/memorynetwork.h"

#include <QMetaObject>
#include <algorithm>

namespace velquor {

namespace {

bool isAny(const QHostAddress &address)
{
    return address == QHostAddress(QHostAddress::AnyIPv4) || address == QHostAddress(QHostAddress::Any)
           || address == QHostAddress(QHostAddress::AnyIPv6);
}

} // namespace

MemoryNetwork::~MemoryNetwork()
{
    for (MemoryDatagramSocket *socket : m_bound)
        socket->m_network = nullptr;
}

MemoryDatagramSocket *MemoryNetwork::boundAt(const QHostAddress &address, quint16 port) const
{
    for (MemoryDatagramSocket *socket : m_bound) {
        if (socket->m_port == port && (socket->m_address == address || isAny(socket->m_address)))
            return socket;
    }
    return nullptr;
}

bool MemoryNetwork::portTaken(const QHostAddress &address, quint16 port) const
{
    return std::any_of(m_bound.begin(), m_bound.end(), [&](const MemoryDatagramSocket *socket) {
        return socket->m_port == port
               && (socket->m_address == address || isAny(socket->m_address) || isAny(address));
    });
}

int MemoryNetwork::bind(MemoryDatagramSocket *socket, const QHostAddress &address, quint16 port)
{
    if (port == 0) {
        // A free port from the ephemeral range, as the system picks one.
        for (int tries = 0; tries < 16384 && portTaken(address, m_nextEphemeral); ++tries)
            m_nextEphemeral = m_nextEphemeral == 65535 ? 49152 : quint16(m_nextEphemeral + 1);
        port = m_nextEphemeral;
        m_nextEphemeral = m_nextEphemeral == 65535 ? 49152 : quint16(m_nextEphemeral + 1);
    }
    if (portTaken(address, port))
        return SocketAlreadyBound;
    socket->m_address = address;
    socket->m_port = port;
    m_bound.push_back(socket);
    return SocketNoError;
}

void MemoryNetwork::unbind(MemoryDatagramSocket *socket)
{
    m_bound.erase(std::remove(m_bound.begin(), m_bound.end(), socket), m_bound.end());
}

qint64 MemoryNetwork::send(MemoryDatagramSocket *from, const QByteArray &data, const QHostAddress &to, quint16 port)
{
    MemoryDatagramSocket *target = boundAt(to, port);
    if (!target) {
        // Only a connected socket hears of the ICMP port unreachable.
        if (from->m_connected)
            from->unreachable();
        return data.size();
    }
    // A connected socket takes datagrams from its peer only.
    const QHostAddress sender = isAny(from->m_address) ? to : from->m_address;
    if (target->m_connected && (target->m_peerPort != from->m_port || target->m_peerAddress != sender))
        return data.size();
    target->arrive({data, sender, from->m_port});
    return data.size();
}

MemoryDatagramSocket::MemoryDatagramSocket(MemoryNetwork *network, QObject *parent)
    : DatagramSocket(parent), m_network(network)
{
}

MemoryDatagramSocket::~MemoryDatagramSocket()
{
    if (m_network)
        m_network->unbind(this);
}

int MemoryDatagramSocket::bind(const QHostAddress &address, quint16 port)
{
    if (m_bindResult != SocketNoError)
        return m_bindResult;
    if (m_bound || !m_network)
        return SocketImpossible;
    const int code = m_network->bind(this, address, port);
    m_bound = code == SocketNoError;
    return code;
}

int MemoryDatagramSocket::connectToHost(const QHostAddress &address, quint16 port)
{
    if (!m_bound) {
        const int code = bind(QHostAddress(QHostAddress::AnyIPv4), 0);
        if (code != SocketNoError)
            return code;
    }
    m_connected = true;
    m_peerAddress = address;
    m_peerPort = port;
    return SocketNoError;
}

int MemoryDatagramSocket::readPending(std::vector<ReceivedDatagram> &out)
{
    m_announced = false;
    m_unreachable = false;
    const int taken = int(m_pending.size());
    for (auto &datagram : m_pending)
        out.push_back(std::move(datagram));
    m_pending.clear();
    return taken;
}

qint64 MemoryDatagramSocket::writeDatagram(const QByteArray &data, const QHostAddress &to, quint16 port)
{
    if (m_writeError != SocketNoError) {
        m_lastError = m_writeError;
        return -1;
    }
    if (!m_network)
        return -1;
    if (!m_bound && bind(QHostAddress(QHostAddress::AnyIPv4), 0) != SocketNoError)
        return -1;
    return m_network->send(this, data, to, port);
}

qint64 MemoryDatagramSocket::write(const QByteArray &data)
{
    if (m_writeError != SocketNoError) {
        m_lastError = m_writeError;
        return -1;
    }
    if (!m_connected || !m_network)
        return -1;
    return m_network->send(this, data, m_peerAddress, m_peerPort);
}

void MemoryDatagramSocket::arrive(ReceivedDatagram datagram)
{
    m_pending.push_back(std::move(datagram));
    announce();
}

void MemoryDatagramSocket::unreachable()
{
    m_unreachable = true;
    announce();
}

void MemoryDatagramSocket::announce()
{
    // One readyRead() until the reader answers it, as Qt's sockets do.
    if (m_announced)
        return;
    m_announced = true;
    QMetaObject::invokeMethod(this, [this] { notify(); }, Qt::QueuedConnection);
}

void MemoryDatagramSocket::notify()
{
    // A reader that took everything before the event loop came round hears
    // nothing, as from a socket that is no longer readable.
    if (m_pending.empty() && !m_unreachable) {
        m_announced = false;
        return;
    }
    emit readyRead();
}

} // namespace velquor
