#include "core/datagramsocket.h"

#include <QUdpSocket>
#include <QVariant>

namespace velquor {

int socketErrorCode(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::AddressInUseError:
        return SocketAlreadyBound;
    case QAbstractSocket::SocketAccessError:
        return SocketInaccessible;
    case QAbstractSocket::SocketResourceError:
    case QAbstractSocket::TemporaryError:
        return SocketNoResources;
    case QAbstractSocket::SslInternalError:
        return SocketInternalError;
    case QAbstractSocket::SocketAddressNotAvailableError:
    case QAbstractSocket::UnsupportedSocketOperationError:
    case QAbstractSocket::UnfinishedSocketOperationError:
    case QAbstractSocket::OperationError:
    case QAbstractSocket::DatagramTooLargeError:
        return SocketImpossible;
    case QAbstractSocket::ConnectionRefusedError:
        return SocketConnectionRefused;
    case QAbstractSocket::NetworkError:
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::SocketTimeoutError:
        return SocketNetworkFailure;
    default:
        return SocketUnknownError;
    }
}

QString socketErrorText(int code)
{
    static const char *const texts[] = {
        "error: unkown",
        "error: device is already bound",
        "error: operating system or firewall prohibited the action",
        "error: system ran out of a resource",
        "error: internal error occurred",
        "error: impossible to perform action",
        "error: no further open/bind allowed",
        "error: attempt was rejected by the peer",
        "error: network failure",
        "error: unexpected system reaction",
    };
    if (code < 0 || code > SocketUnknownError)
        code = SocketUnknownError;
    return QString::fromLatin1(texts[code]);
}

UdpDatagramSocket::UdpDatagramSocket(QObject *parent) : DatagramSocket(parent), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &DatagramSocket::readyRead);
}

UdpDatagramSocket::~UdpDatagramSocket() = default;

int UdpDatagramSocket::bind(const QHostAddress &address, quint16 port)
{
    if (!m_socket->bind(address, port, QAbstractSocket::DontShareAddress)) {
        const int code = socketErrorCode(m_socket->error());
        return code == SocketNoError ? SocketUnknownError : code;
    }
    if (m_receiveBuffer > 0)
        m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, m_receiveBuffer);
    return SocketNoError;
}

int UdpDatagramSocket::connectToHost(const QHostAddress &address, quint16 port)
{
    // With an address (no name to look up) a UDP socket connects at once.
    m_socket->connectToHost(address, port);
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        const int code = socketErrorCode(m_socket->error());
        return code == SocketNoError ? SocketUnknownError : code;
    }
    if (m_receiveBuffer > 0)
        m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, m_receiveBuffer);
    return SocketNoError;
}

bool UdpDatagramSocket::isBound() const
{
    return m_socket->state() == QAbstractSocket::BoundState || isConnected();
}

bool UdpDatagramSocket::isConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

QHostAddress UdpDatagramSocket::localAddress() const
{
    return m_socket->localAddress();
}

quint16 UdpDatagramSocket::localPort() const
{
    return m_socket->localPort();
}

bool UdpDatagramSocket::hasPendingDatagrams() const
{
    return m_socket->hasPendingDatagrams();
}

int UdpDatagramSocket::readPending(std::vector<ReceivedDatagram> &out)
{
    int taken = 0;
    while (m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->pendingDatagramSize();
        if (!readOne(qMax<qint64>(size, 0), out))
            break;
        ++taken;
    }
    // Nothing was waiting: an ICMP error woke the socket (and the look for a
    // datagram consumed it). Qt signals readyRead() again only after a read,
    // so read once; a datagram that came in just now is taken like any other.
    if (taken == 0 && readOne(MaxDatagram, out))
        taken = 1 + readPending(out);
    return taken;
}

bool UdpDatagramSocket::readOne(qint64 capacity, std::vector<ReceivedDatagram> &out)
{
    // Read into the scratch buffer and hand out an exact-size copy: logs
    // keep every datagram's bytes, and an array resized for the read keeps
    // the capacity it was given (rounded up to a power of two, or 64 KB for
    // the read after an empty wake-up) for as long as the log lives.
    if (m_scratch.size() < capacity)
        m_scratch.resize(capacity);
    ReceivedDatagram datagram;
    const qint64 read = m_socket->readDatagram(m_scratch.data(), capacity, &datagram.sender, &datagram.senderPort);
    if (read < 0)
        return false;
    datagram.data = QByteArray(m_scratch.constData(), read);
    out.push_back(std::move(datagram));
    return true;
}

qint64 UdpDatagramSocket::writeDatagram(const QByteArray &data, const QHostAddress &to, quint16 port)
{
    return m_socket->writeDatagram(data, to, port);
}

qint64 UdpDatagramSocket::write(const QByteArray &data)
{
    return isConnected() ? m_socket->write(data) : -1;
}

int UdpDatagramSocket::lastError() const
{
    // Qt reports "unknown" until something fails.
    const QAbstractSocket::SocketError error = m_socket->error();
    return error == QAbstractSocket::UnknownSocketError ? SocketNoError : socketErrorCode(error);
}

void UdpDatagramSocket::setReceiveBufferSize(int bytes)
{
    m_receiveBuffer = bytes;
    if (isBound() && bytes > 0)
        m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, bytes);
}

int UdpDatagramSocket::receiveBufferSize() const
{
    return m_socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
}

} // namespace velquor
