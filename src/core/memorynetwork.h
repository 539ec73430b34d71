#pragma once

#include "core/datagramsocket.h"

#include <QPointer>
#include <deque>
#include <vector>

namespace velquor {

class MemoryDatagramSocket;

// Datagram sockets of one process connected in memory, for tests: handlers
// talk to in-memory peers as they would over UDP. A datagram written to a
// bound address and port waits in that socket at once and is announced by
// readyRead() from the event loop, never inside the write. A connected
// socket that writes to a port nobody has bound hears readyRead() with
// nothing to read, as a UDP socket does after an ICMP port unreachable.
class MemoryNetwork
{
public:
    MemoryNetwork() = default;
    MemoryNetwork(const MemoryNetwork &) = delete;
    MemoryNetwork &operator=(const MemoryNetwork &) = delete;
    ~MemoryNetwork();

    // The socket bound to port on address (or on any address), or null.
    MemoryDatagramSocket *boundAt(const QHostAddress &address, quint16 port) const;

private:
    friend class MemoryDatagramSocket;

    int bind(MemoryDatagramSocket *socket, const QHostAddress &address, quint16 port);
    void unbind(MemoryDatagramSocket *socket);
    bool portTaken(const QHostAddress &address, quint16 port) const;
    qint64 send(MemoryDatagramSocket *from, const QByteArray &data, const QHostAddress &to, quint16 port);

    std::vector<MemoryDatagramSocket *> m_bound;
    quint16 m_nextEphemeral = 49152;
};

class MemoryDatagramSocket final : public DatagramSocket
{
    Q_OBJECT

public:
    explicit MemoryDatagramSocket(MemoryNetwork *network, QObject *parent = nullptr);
    ~MemoryDatagramSocket() override;

    // The next bind() fails with this code (0: binds normally).
    void setBindResult(int code) { m_bindResult = code; }
    // Writes fail (-1) with this code until it is set back to 0.
    void setWriteError(int code) { m_writeError = code; }

    int bind(const QHostAddress &address, quint16 port) override;
    int connectToHost(const QHostAddress &address, quint16 port) override;
    bool isBound() const override { return m_bound; }
    bool isConnected() const override { return m_connected; }
    QHostAddress localAddress() const override { return m_address; }
    quint16 localPort() const override { return m_port; }
    bool hasPendingDatagrams() const override { return !m_pending.empty(); }
    int readPending(std::vector<ReceivedDatagram> &out) override;
    qint64 writeDatagram(const QByteArray &data, const QHostAddress &to, quint16 port) override;
    qint64 write(const QByteArray &data) override;
    int lastError() const override { return m_lastError; }

private:
    friend class MemoryNetwork;

    void arrive(ReceivedDatagram datagram);
    void unreachable();
    void announce();
    void notify();

    MemoryNetwork *m_network;
    int m_bindResult = SocketNoError;
    int m_writeError = SocketNoError;
    int m_lastError = SocketNoError;
    bool m_bound = false;
    bool m_connected = false;
    bool m_announced = false;   // a readyRead() is queued or not yet answered by readPending()
    bool m_unreachable = false; // an ICMP port unreachable waits to be heard
    QHostAddress m_address;
    quint16 m_port = 0;
    QHostAddress m_peerAddress;
    quint16 m_peerPort = 0;
    std::deque<ReceivedDatagram> m_pending;
};

} // namespace velquor
