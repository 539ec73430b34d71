// The seams handlers are tested through: the random source, and datagram
// sockets in memory and over loopback UDP, which must behave alike.

#include "core/memorynetwork.h"
#include "core/randomsource.h"

#include <QSignalSpy>
#include <QtTest>

using namespace velquor;

namespace {

const QHostAddress Local(QHostAddress::LocalHost);

std::vector<ReceivedDatagram> take(DatagramSocket &s)
{
    std::vector<ReceivedDatagram> out;
    s.readPending(out);
    return out;
}

// A port that was bound a moment ago and is free now: nobody listens there.
quint16 closedPort(DatagramSocket &probe)
{
    probe.bind(Local, 0);
    return probe.localPort();
}

} // namespace

class TestSeams : public QObject
{
    Q_OBJECT

private slots:
    void seededRandomIsRepeatable();
    void systemRandomVaries();

    void datagramsArriveFromTheEventLoop_data() { implementations(); }
    void datagramsArriveFromTheEventLoop();
    void connectedPairTalksOnlyToEachOther_data() { implementations(); }
    void connectedPairTalksOnlyToEachOther();
    void unreachablePeerIsToldFromAnEmptyDatagram_data() { implementations(); }
    void unreachablePeerIsToldFromAnEmptyDatagram();
    void portsAreBoundOnce_data() { implementations(); }
    void portsAreBoundOnce();

private:
    static void implementations()
    {
        QTest::addColumn<bool>("memory");
        QTest::newRow("in memory") << true;
        QTest::newRow("loopback UDP") << false;
    }
    std::unique_ptr<DatagramSocket> socket()
    {
        QFETCH(bool, memory);
        if (!memory)
            return std::make_unique<UdpDatagramSocket>();
        if (!m_network)
            m_network = std::make_unique<MemoryNetwork>();
        return std::make_unique<MemoryDatagramSocket>(m_network.get());
    }

    std::unique_ptr<MemoryNetwork> m_network;
};

void TestSeams::seededRandomIsRepeatable()
{
    SeededRandomSource a(7), b(7), other(8);
    QList<quint32> wordsA, wordsB, wordsOther;
    for (int i = 0; i < 8; ++i) {
        wordsA << a.next32();
        wordsB << b.next32();
        wordsOther << other.next32();
    }
    QCOMPARE(wordsA, wordsB);
    QVERIFY(wordsA != wordsOther);

    // Bytes come from the next words, low byte first; a partial word is used up.
    SeededRandomSource words(99), bytes(99);
    QByteArray expected;
    for (int w = 0; w < 2; ++w) {
        const quint32 word = words.next32();
        for (int shift = 0; shift < 32; shift += 8)
            expected.append(char(word >> shift));
    }
    QCOMPARE(bytes.bytes(6), expected.left(6));
    QCOMPARE(bytes.next32(), words.next32());
    QCOMPARE(bytes.bytes(0), QByteArray());
}

void TestSeams::systemRandomVaries()
{
    SystemRandomSource random;
    const QByteArray first = random.bytes(16), second = random.bytes(16);
    QCOMPARE(first.size(), 16);
    QVERIFY(first != second);
    QVERIFY(first != QByteArray(16, '\0'));
}

void TestSeams::datagramsArriveFromTheEventLoop()
{
    auto receiver = socket(), sender = socket();
    QCOMPARE(receiver->bind(Local, 0), 0);
    QVERIFY(receiver->isBound() && receiver->localPort() != 0);
    QSignalSpy ready(receiver.get(), &DatagramSocket::readyRead);
    const QByteArray payloads[] = {"first", QByteArray(), QByteArray(1400, 'x')};
    for (const QByteArray &p : payloads)
        QCOMPARE(sender->writeDatagram(p, Local, receiver->localPort()), p.size());
    QCOMPARE(ready.count(), 0); // never inside the write

    // One readyRead() for what waits; the reader takes it all.
    QVERIFY(ready.wait(2000));
    std::vector<ReceivedDatagram> got;
    QTRY_VERIFY((receiver->readPending(got), got.size() == 3));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(got[size_t(i)].data, payloads[i]);
        // Logs keep every datagram's bytes: no room beyond them.
        QVERIFY(got[size_t(i)].data.capacity() <= qMax<qsizetype>(payloads[i].size(), 1));
    }
    QCOMPARE(got[0].sender, Local);
    QCOMPARE(got[0].senderPort, sender->localPort()); // an unbound sender was bound on its first write
    QVERIFY(!receiver->hasPendingDatagrams());
    QVERIFY(!receiver->isConnected());
    QCOMPARE(receiver->write("not connected"), -1);
}

void TestSeams::connectedPairTalksOnlyToEachOther()
{
    auto a = socket(), b = socket(), stranger = socket();
    QCOMPARE(a->bind(Local, 0), 0);
    QCOMPARE(b->connectToHost(Local, a->localPort()), 0); // binds b on the way
    QCOMPARE(a->connectToHost(Local, b->localPort()), 0);
    QVERIFY(a->isConnected() && b->isBound());

    QSignalSpy readyA(a.get(), &DatagramSocket::readyRead);
    QCOMPARE(stranger->writeDatagram("stranger", Local, a->localPort()), 8);
    QCOMPARE(b->write("from b"), 6);
    QVERIFY(readyA.wait(2000));
    QTest::qWait(20); // the stranger's datagram would be here by now
    const auto got = take(*a);
    QCOMPARE(got.size(), size_t(1));
    QCOMPARE(got[0].data, QByteArray("from b"));

    QSignalSpy readyB(b.get(), &DatagramSocket::readyRead);
    QCOMPARE(a->write("reply"), 5);
    QVERIFY(readyB.wait(2000));
    QCOMPARE(take(*b).at(0).data, QByteArray("reply"));
}

void TestSeams::unreachablePeerIsToldFromAnEmptyDatagram()
{
    auto client = socket();
    quint16 port;
    {
        auto probe = socket();
        port = closedPort(*probe);
    }
    QCOMPARE(client->connectToHost(Local, port), 0);
    QSignalSpy ready(client.get(), &DatagramSocket::readyRead);
    // Every write to the closed port is answered, not only the first.
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(client->write("anyone?"), 7);
        QVERIFY(ready.wait(2000));
        QVERIFY(!client->hasPendingDatagrams());
        QVERIFY(take(*client).empty());
        ready.clear();
    }

    // A 0-byte datagram from a peer is a datagram.
    auto peer = socket();
    QCOMPARE(peer->bind(Local, port), 0);
    QCOMPARE(peer->writeDatagram(QByteArray(), Local, client->localPort()), 0);
    QVERIFY(ready.wait(2000));
    QVERIFY(client->hasPendingDatagrams());
    const auto got = take(*client);
    QCOMPARE(got.size(), size_t(1));
    QVERIFY(got[0].data.isEmpty());
}

void TestSeams::portsAreBoundOnce()
{
    auto first = socket(), second = socket(), third = socket();
    QCOMPARE(first->bind(Local, 0), 0);
    const quint16 port = first->localPort();
    QCOMPARE(second->bind(Local, port), int(SocketAlreadyBound));
    QVERIFY(!second->isBound());
    // Any address covers the loopback one.
    QCOMPARE(third->bind(QHostAddress(QHostAddress::AnyIPv4), port), int(SocketAlreadyBound));
    first.reset(); // closing frees the port
    QCOMPARE(third->bind(Local, port), 0);
}

QTEST_GUILESS_MAIN(TestSeams)
#include "tst_seams.moc"
