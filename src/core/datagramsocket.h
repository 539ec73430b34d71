#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <deque>
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

// A bound UDP endpoint. readyRead() fires when datagrams wait; a reader must
// then take all of them with readPending(), since the signal does not repeat
// for datagrams left behind.
class DatagramSocket : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~DatagramSocket() override = default;

    // 0 on success, otherwise one of the codes 1..9.
    virtual int bind(const QHostAddress &address, quint16 port) = 0;
    virtual bool isBound() const = 0;
    virtual QHostAddress localAddress() const = 0;
    virtual quint16 localPort() const = 0;
    // Appends every datagram waiting now to out; returns how many were taken.
    virtual int readPending(std::vector<ReceivedDatagram> &out) = 0;
    // Bytes sent, or -1.
    virtual qint64 writeDatagram(const QByteArray &data, const QHostAddress &to, quint16 port) = 0;

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
    bool isBound() const override;
    QHostAddress localAddress() const override;
    quint16 localPort() const override;
    int readPending(std::vector<ReceivedDatagram> &out) override;
    qint64 writeDatagram(const QByteArray &data, const QHostAddress &to, quint16 port) override;

    // Asks the system for a larger receive queue (bytes) so bursts wait in
    // the kernel instead of being dropped; applied now if bound, else at bind.
    void setReceiveBufferSize(int bytes);
    int receiveBufferSize() const;

private:
    QUdpSocket *m_socket;
    int m_receiveBuffer = 0;
};

// In-memory endpoint for tests: datagrams are queued by the test and handed
// out by readPending(); writes are recorded.
class MemoryDatagramSocket final : public DatagramSocket
{
    Q_OBJECT

public:
    explicit MemoryDatagramSocket(QObject *parent = nullptr) : DatagramSocket(parent) {}

    // What the next bind() returns.
    void setBindResult(int code) { m_bindResult = code; }
    int bind(const QHostAddress &address, quint16 port) override;
    bool isBound() const override { return m_bound; }
    QHostAddress localAddress() const override { return m_address; }
    quint16 localPort() const override { return m_port; }
    int readPending(std::vector<ReceivedDatagram> &out) override;
    qint64 writeDatagram(const QByteArray &data, const QHostAddress &to, quint16 port) override;

    // Queues a datagram without signalling.
    void enqueue(const QByteArray &data, const QHostAddress &sender = QHostAddress::LocalHost,
                 quint16 senderPort = 0);
    // Queues a datagram and emits readyRead().
    void deliver(const QByteArray &data);
    qsizetype pendingCount() const { return qsizetype(m_pending.size()); }
    const std::vector<ReceivedDatagram> &written() const { return m_written; }

private:
    int m_bindResult = SocketNoError;
    bool m_bound = false;
    QHostAddress m_address;
    quint16 m_port = 0;
    std::deque<ReceivedDatagram> m_pending;
    std::vector<ReceivedDatagram> m_written;
};

} // namespace velquor
