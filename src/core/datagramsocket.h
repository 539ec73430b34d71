#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <vector>

class QUdpSocket;

namespace velquor {

// The ten socket error codes that status texts and error descriptions use.
enum SocketErrorCode {
    SocketNoError = 0,
    SocketAlreadyBound = 1,
    SocketInaccessible = 2,
    SocketNoResources = 3,
    SocketInternalError = 4,
    SocketImpossible = 5,
    SocketNoFiles = 6,
    SocketConnectionRefused = 7,
    SocketNetworkFailure = 8,
    SocketUnknownError = 9,
};

// The one mapping from Qt's socket errors to those codes:
//   AddressInUseError                                   -> 1 already bound
//   SocketAccessError                                   -> 2 inaccessible
//   SocketResourceError, TemporaryError                 -> 3 no resources
//   SslInternalError                                    -> 4 internal error
//   SocketAddressNotAvailableError, UnsupportedSocketOperationError,
//   UnfinishedSocketOperationError, OperationError,
//   DatagramTooLargeError                               -> 5 impossible
//   ConnectionRefusedError                              -> 7 connection refused
//   NetworkError, RemoteHostClosedError, HostNotFoundError,
//   SocketTimeoutError                                  -> 8 network failure
//   everything else (proxy, SSL, UnknownSocketError)    -> 9 unknown error
// Code 6 (no files) has no Qt counterpart: Qt folds "too many open files"
// into SocketResourceError. Code 0 is never the result of a failure.
int socketErrorCode(QAbstractSocket::SocketError error);

// "error: ..." text of a code, as the configuration dialogs show it; codes
// outside 0..9 read as code 9.
QString socketErrorText(int code);

struct ReceivedDatagram
{
    QByteArray data;
    QHostAddress sender;
    quint16 senderPort = 0;
};

// A UDP endpoint, bound to a local address and port, optionally connected to
// one peer. readyRead() fires from the event loop when something waits; a
// reader must then call readPending(), which takes every waiting datagram:
// the signal does not repeat for datagrams left behind.
//
// On a connected socket, a readyRead() after which readPending() takes
// nothing means the peer's port was unreachable (the system got an ICMP port
// unreachable for an earlier write). A 0-byte datagram is different: it is
// taken, with empty data.
class DatagramSocket : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~DatagramSocket() override = default;

    // 0 on success, otherwise one of the codes 1..9.
    virtual int bind(const QHostAddress &address, quint16 port) = 0;
    // Sends to and receives from this peer only; binds an unbound socket to
    // any address and a free port first. 0 or a code 1..9.
    virtual int connectToHost(const QHostAddress &address, quint16 port) = 0;
    virtual bool isBound() const = 0;
    virtual bool isConnected() const = 0;
    virtual QHostAddress localAddress() const = 0;
    virtual quint16 localPort() const = 0;
    virtual bool hasPendingDatagrams() const = 0;
    // Appends every datagram waiting now to out; returns how many were taken.
    virtual int readPending(std::vector<ReceivedDatagram> &out) = 0;
    // Bytes sent, or -1.
    virtual qint64 writeDatagram(const QByteArray &data, const QHostAddress &to, quint16 port) = 0;
    // To the connected peer. Bytes sent, or -1 when not connected.
    virtual qint64 write(const QByteArray &data) = 0;
    // The code (0..9) of the last failed operation, for the error
    // descriptions a failed write prints; 0 while nothing failed.
    virtual int lastError() const { return SocketNoError; }

signals:
    void readyRead();
};

// Over QUdpSocket. Binds without sharing the port: a second listener on the
// same port would silently take datagrams away from this one.
class UdpDatagramSocket final : public DatagramSocket
{
    Q_OBJECT

public:
    explicit UdpDatagramSocket(QObject *parent = nullptr);
    ~UdpDatagramSocket() override;

    int bind(const QHostAddress &address, quint16 port) override;
    int connectToHost(const QHostAddress &address, quint16 port) override;
    bool isBound() const override;
    bool isConnected() const override;
    QHostAddress localAddress() const override;
    quint16 localPort() const override;
    bool hasPendingDatagrams() const override;
    int readPending(std::vector<ReceivedDatagram> &out) override;
    qint64 writeDatagram(const QByteArray &data, const QHostAddress &to, quint16 port) override;
    qint64 write(const QByteArray &data) override;
    int lastError() const override;

    // Asks the system for a larger receive queue (bytes) so bursts wait in
    // the kernel instead of being dropped; applied now if bound, else at bind.
    void setReceiveBufferSize(int bytes);
    int receiveBufferSize() const;

private:
    static constexpr qint64 MaxDatagram = 65536;
    bool readOne(qint64 capacity, std::vector<ReceivedDatagram> &out);

    QUdpSocket *m_socket;
    int m_receiveBuffer = 0;
    QByteArray m_scratch; // where datagrams are read before their exact-size copy
};

} // namespace velquor
