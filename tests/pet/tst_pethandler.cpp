// The PET listener without widgets: its settings from field texts, binding
// and its error texts, reading every datagram, the trace, the lamps, the
// heartbeat settings, restart and the timer, over the in-memory network with
// a manual clock; real UDP where the system's bind errors are the subject.

#include "core/asflogger.h"
#include "core/memorynetwork.h"
#include "core/packetlogmodel.h"
#include "core/tracelog.h"
#include "pet/asfpethandler.h"
#include "pet/asfpetpacket.h"
#include "pet/pettrace.h"
#include "support/capture.h"
#include "support/pettrapbuilder.h"

#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

using namespace velquor;
using namespace pettest;
using velquor::pet::Lamp;
using velquor::pet::ListenerState;
using velquor::pet::PetSettings;

namespace {

PetSettings at(const QString &address, const QString &port = QStringLiteral("162"))
{
    return PetSettings::fromTexts(address, port, false, QStringLiteral("10"), QStringLiteral("0.5"));
}

PetSettings heartbeat(bool on, const char *minutes = "10", const char *tolerance = "0.5")
{
    return PetSettings::fromTexts(QString(), QString(), on, QLatin1String(minutes), QLatin1String(tolerance));
}

} // namespace

class TestPetHandler : public QObject
{
    Q_OBJECT

private:
    ManualLogClock clock;
    std::unique_ptr<ASF_PET_Handler> handler;
    MemoryNetwork network;
    MemoryDatagramSocket peer{&network}; // the managed client that sends the traps
    QPointer<MemoryDatagramSocket> lastSocket;
    int nextBindResult = SocketNoError;

    void useMemorySockets()
    {
        handler->setSocketFactory([this] {
            auto socket = std::make_unique<MemoryDatagramSocket>(&network);
            socket->setBindResult(nextBindResult);
            lastSocket = socket.get();
            return socket;
        });
    }
    void listenInMemory()
    {
        useMemorySockets();
        QCOMPARE(handler->listen(at(QStringLiteral("127.0.0.1"))), ListenerState::Listening);
        QCOMPARE(handler->socket(), lastSocket.data());
    }
    PacketLogModel *log() { return handler->logger()->model(); }
    // Sends the traps in one go; returns once the listener has read them.
    void send(std::initializer_list<QByteArray> traps)
    {
        const quint64 before = handler->datagramsRead();
        for (const QByteArray &trap : traps)
            peer.writeDatagram(trap, QHostAddress::LocalHost, 162);
        QTRY_COMPARE(handler->datagramsRead(), before + traps.size());
    }

private slots:
    void init()
    {
        clock = ManualLogClock();
        clock.setElapsed(5000); // the handler restarts it
        handler = std::make_unique<ASF_PET_Handler>(&clock);
        QCOMPARE(clock.elapsed(), 0u);
        nextBindResult = SocketNoError;
    }
    void cleanup() { handler.reset(); }

    void settingsFromFieldTexts()
    {
        const auto fields = [](const PetSettings &s) {
            return QVariantList{s.addressValid(), s.port, s.heartbeatInterval, s.heartbeatTolerance};
        };
        // The port keeps its low 16 bits; what is no number reads as 0.
        QCOMPARE(fields(PetSettings::fromTexts("10.1.2.3", "65698", true, "2", "0.25")),
                 (QVariantList{true, quint16(162), 120000u, 0.25f}));
        QCOMPARE(fields(PetSettings::fromTexts("256.1.1.1", "abc", false, "x", "y")),
                 (QVariantList{false, quint16(0), 0u, 0.0f}));
        QVERIFY(!at(QString()).addressValid());
    }

    // A bad address, or a bind that fails with an error code: the state
    // says why and no socket is kept.
    void listenFails_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const QString local = QStringLiteral("127.0.0.1");
        QTest::newRow("no address") << QString() << 0 << "error: bad IP address";
        QTest::newRow("text") << QStringLiteral("not an address") << 0 << "error: bad IP address";
        QTest::newRow("1") << local << 1 << "error: device is already bound";
        QTest::newRow("2") << local << 2 << "error: operating system or firewall prohibited the action";
        QTest::newRow("3") << local << 3 << "error: system ran out of a resource";
        QTest::newRow("4") << local << 4 << "error: internal error occurred";
        QTest::newRow("5") << local << 5 << "error: impossible to perform action";
        QTest::newRow("6") << local << 6 << "error: no further open/bind allowed";
        QTest::newRow("7") << local << 7 << "error: attempt was rejected by the peer";
        QTest::newRow("8") << local << 8 << "error: network failure";
        QTest::newRow("9") << local << 9 << "error: unexpected system reaction";
        QTest::newRow("42") << local << 42 << "error: unexpected system reaction";
    }
    void listenFails()
    {
        QFETCH(QString, address);
        QFETCH(int, code);
        listenInMemory();
        QPointer<MemoryDatagramSocket> listening = lastSocket;
        nextBindResult = code;
        QSignalSpy changed(handler.get(), &ASF_PET_Handler::listenerStateChanged);
        const auto outcome = handler->listen(at(address));
        QCOMPARE(outcome, code ? ListenerState::BindFailed : ListenerState::BadAddress);
        QTEST(handler->listenerState().statusText(), "text");
        QCOMPARE(changed.count(), 1);
        QVERIFY(!handler->isListening());
        QVERIFY(!handler->socket());
        QVERIFY(!listening); // the old socket was closed first
        QCOMPARE(handler->localAddress(), QHostAddress(QStringLiteral("127.0.0.1"))); // kept from the last bind
    }

    void listenAndRebind()
    {
        QCOMPARE(handler->listenerState().statusText(), QStringLiteral("not listening"));
        listenInMemory();
        QCOMPARE(handler->listenerState().statusText(), QStringLiteral("Connected"));
        QCOMPARE(handler->listenerState().port, quint16(162));
        QCOMPARE(handler->settings().address, QHostAddress(QStringLiteral("127.0.0.1")));
        QPointer<MemoryDatagramSocket> first = lastSocket;
        // A port that is no number binds port 0 (the network picks one).
        QCOMPARE(handler->listen(at(QStringLiteral("127.0.0.1"), QStringLiteral("abc"))), ListenerState::Listening);
        QVERIFY(!first);
        QCOMPARE(handler->port(), quint16(0));
        QCOMPARE(handler->listenerState().port, lastSocket->localPort());
    }

    // One wake-up for several datagrams: all are read, each traced and logged.
    void readsEveryPendingDatagram()
    {
        listenInMemory();
        clock.setElapsed(3723004);
        velquor::test::TraceCapture trace;
        QSignalSpy receiveLamp(handler.get(), &ASF_PET_Handler::receiveLampChanged);
        send({hex("000102030405060708090a0b0c0d0e0f10111213"), QByteArray(), trapWithSequence(3)});
        QCOMPARE(log()->size(), 3);
        QVERIFY(!lastSocket->hasPendingDatagrams());
        QVERIFY2(trace.text().startsWith(QStringLiteral("\n--------------------------------------\n"
                                                        "PET  - Incomming data (20 bytes) time: 01:02:03:004 -\n"
                                                        "\n0 - 15:       00 01 02 03  04 05 06 07  08 09 0a 0b  0c 0d 0e 0f  "
                                                        "\n16 - 31:      10 11 12 13  \n")),
                 qPrintable(trace.text()));
        QCOMPARE(log()->rowTexts(0).time, QStringLiteral("01:02:03:004"));
        QCOMPARE(log()->rowTexts(1).info, QStringLiteral("  -error: trap ends after 0 bytes, message tag missing"));
        QCOMPARE(log()->rowStatus(1), ASF_PACKET_ERROR);
        // The log keeps every record's info: no spare room from the appends.
        for (int row = 0; row < 2; ++row)
            QCOMPARE(log()->packetAt(row)->info().capacity(), log()->packetAt(row)->info().size());
        QCOMPARE(log()->rowTexts(2).info, QStringLiteral(" "));
        QCOMPARE(log()->rowTexts(2).direction, QStringLiteral("received"));
        // The receive lamp turned green once for the burst, and goes off
        // 150 ms after the last datagram.
        QCOMPARE(receiveLamp.count(), 1);
        QCOMPARE(handler->receiveLamp(), Lamp::Green);
        QCOMPARE(handler->receiveLampTimer()->interval(), 150);
        QTRY_COMPARE_WITH_TIMEOUT(handler->receiveLamp(), Lamp::Off, 2000);
        QCOMPARE(receiveLamp.count(), 2);
    }

    // A sender reusing one sequence number: each trap lists at most 16
    // earlier ones of the last two minutes, then says the rest were left out.
    void reuseWarningsBounded()
    {
        listenInMemory();
        for (quint32 i = 0; i < 20; ++i) {
            send({trapWithSequence(9, i)});
            clock.advance(10);
        }
        clock.advance(70000);
        send({trapWithSequence(9, 100)});
        const QString info = log()->rowTexts(20).info;
        QCOMPARE(info.count(QStringLiteral("warning: reuse of sequence nr.")), 16);
        QVERIFY2(info.endsWith(QStringLiteral("\nwarning: further reuses of sequence nr. within 2 min. not listed")),
                 qPrintable(info));
    }

    // Older rows are kept compact and read as they were logged: texts, text
    // forms, sorting, and records built again on request (without tracing
    // again), which their rows then keep. A handed-out last record is never
    // made compact under its taker.
    void compactRowsReadAsLogged()
    {
        listenInMemory();
        const QByteArray trap = trapWithSequence(9, 1);
        const QList<QByteArray> traffic{hex("000102030405"), trap, trapWithSequence(9, 2), trap, trap.left(40),
                                        trapWithSequence(9, 3), hex("30")};
        QList<QStringList> texts;
        QStringList forms;
        for (int i = 0; i < traffic.size(); ++i) {
            if (i == 5)
                clock.advance(70000); // a reuse warning after the check's own findings
            send({traffic[i]});
            const int newest = log()->size() - 1;
            const LogRowTexts t = log()->rowTexts(newest);
            texts << QStringList{t.number, t.protocol, t.time, t.direction, t.info};
            forms << log()->textForm(newest);
        }
        QVERIFY2(texts[2][4].startsWith(QStringLiteral("error: same sequence nr.")), qPrintable(texts[2][4]));
        QVERIFY2(texts[3][4].startsWith(QStringLiteral("retransmission (1)")), qPrintable(texts[3][4]));
        QVERIFY2(texts[5][4].contains(QStringLiteral("\nwarning: reuse of sequence nr.")), qPrintable(texts[5][4]));
        QVERIFY(texts[5][4].size() > CompactRecord::DeflateFrom); // kept deflated
        QCOMPARE(log()->compactRows(), int(traffic.size()) - 1);

        velquor::test::TraceCapture trace;
        const auto textsAt = [&](int row) {
            const LogRowTexts t = log()->rowTexts(row);
            return QStringList{t.number, t.protocol, t.time, t.direction, t.info};
        };
        for (int row = 0; row < traffic.size(); ++row) {
            QCOMPARE(textsAt(row), texts[row]);
            QCOMPARE(log()->textForm(row), forms[row]);
        }
        log()->sort(PacketLogModel::InfoColumn, Qt::DescendingOrder);
        for (int row = 1; row < traffic.size(); ++row)
            QVERIFY(textsAt(row - 1)[4] >= textsAt(row)[4]);
        log()->sort(PacketLogModel::NumberColumn, Qt::AscendingOrder);

        auto *again = qobject_cast<ASF_PET_Packet *>(log()->packetAt(3));
        QVERIFY(again);
        QCOMPARE(again->data(), trap);
        QCOMPARE(again->info(), texts[3][4]);
        QCOMPARE(again->retransmissionCount(), 1);
        QCOMPARE(again->sequenceNumber(), 9u);
        QCOMPARE(log()->packetAt(5)->info(), texts[5][4]);
        QCOMPARE(log()->packetAt(3), again);
        QCOMPARE(log()->compactRows(), int(traffic.size()) - 3);
        QCOMPARE(trace.text(), QString());

        ASF_Packet *last = handler->logger()->getLastAsfPacket();
        send({trap.left(50)});
        QCOMPARE(log()->compactRows(), int(traffic.size()) - 3);
        QCOMPARE(last->data(), traffic.last());
    }

    // The trace of a datagram is sized before it is built; the size must be
    // the built text's, whatever the length and the time.
    void incomingTraceSizeIsExact()
    {
        QByteArray bytes(100050, '\x5a');
        for (quint32 t : {0u, 3723004u, 359999999u, 360000000u, 4294967295u}) {
            for (int n : {0, 1, 3, 4, 15, 16, 17, 31, 32, 33, 112, 160, 1600, 10000, 99985, 99999, 100016, 100050})
                QCOMPARE(ASF_PET_Handler::incomingTraceSize(n, t), pet::incomingTraceText(bytes, n, t).size());
        }
    }

    // The Trace Log page reads what the handler traced, message by message,
    // though most of a burst is never built: the same traffic once traced at
    // once into a plain buffer, once into an installed trace log.
    void burstTraceReadsAsTraced()
    {
        QList<QByteArray> traffic;
        for (int i = 0; i < 1500; ++i)
            traffic << (i % 7 ? trapWithSequence(quint16(i)) : hex("3082").repeated(i % 50));
        const auto receiveAll = [&] {
            clock.setElapsed(0);
            ASF_PET_Handler pet(&clock);
            for (const QByteArray &bytes : traffic) {
                clock.advance(997);
                pet.receiveDatagram(bytes);
            }
        };
        static TraceBuffer *reference;
        static qsizetype total;
        TraceBuffer traced;
        reference = &traced;
        total = 0;
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &m) {
            reference->append(m);
            total += m.size();
        });
        receiveAll();
        qInstallMessageHandler(previous);
        QVERIFY(total > 10 * TraceBuffer::TrimAt); // trimmed many times over
        TraceLog traceLog;
        traceLog.install();
        receiveAll();
        QCOMPARE(traceLog.text(), traced.text());
    }

    void heartbeatSettings()
    {
        clock.setElapsed(7000);
        handler->applyHeartbeatSettings(heartbeat(true, "2", "0.25"));
        QVERIFY(handler->heartbeatCheck());
        QCOMPARE(handler->heartbeatInterval(), 120000u);
        QCOMPARE(handler->timerInterval(), 14999);
        QCOMPARE(handler->heartbeatLamp(), Lamp::Green);
        QCOMPARE(handler->analysis().lastHeartbeat(), 7000u);
        QCOMPARE(handler->settings().heartbeatTolerance, 0.25f);

        // configure() asks the dialog to show them.
        QSignalSpy configure(handler.get(), &ASF_PET_Handler::configureRequested);
        handler->configure();
        QCOMPARE(configure.count(), 1);

        handler->applyHeartbeatSettings(heartbeat(false));
        QCOMPARE(handler->heartbeatLamp(), Lamp::Off);
        QCOMPARE(handler->timerInterval(), 60000);
        // A tolerance too small for a period: the floor.
        handler->applyHeartbeatSettings(heartbeat(true, "10", "nan"));
        QCOMPARE(handler->timerInterval(), 1000);
    }

    void heartbeatsTimerAndRestart()
    {
        listenInMemory();
        handler->applyHeartbeatSettings(heartbeat(true)); // 10 min, 0.5 min, from clock 0
        clock.setElapsed(600000);
        send({heartbeatTrap(1)});
        QCOMPARE(log()->rowTexts(0).info, QStringLiteral("Heartbeat"));
        QCOMPARE(handler->heartbeatLamp(), Lamp::Red); // flash
        QTRY_COMPARE_WITH_TIMEOUT(handler->heartbeatLamp(), Lamp::Green, 2000);

        // No heartbeat for the next interval and its tolerance: an error line.
        clock.setElapsed(600000 + 631000);
        handler->doTimer();
        QCOMPARE(log()->size(), 2);
        QCOMPARE(log()->rowTexts(1).info, QStringLiteral("error: heartbeat missing, expected at 1200000"));
        QCOMPARE(log()->rowStatus(1), ASF_PACKET_ERROR);
        QCOMPARE(handler->heartbeatLamp(), Lamp::Red);

        // Restart forgets the log, the records and the missing heartbeat, and
        // starts the clock anew.
        QVERIFY(handler->heartbeatMissing());
        send({trapWithSequence(6)});
        QVERIFY(!handler->analysis().records().empty());
        handler->restart();
        QCOMPARE(clock.elapsed(), 0u);
        QCOMPARE(log()->size(), 0);
        QVERIFY(handler->analysis().records().empty());
        QVERIFY(!handler->heartbeatMissing());
        QCOMPARE(handler->analysis().lastHeartbeat(), 0u);
        QVERIFY(handler->logger()->getLastAsfPacket()); // the last record outlives the clear
    }

    // --- real loopback UDP ---------------------------------------------

    void realBindFailures()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::LocalHost, 0));
        handler->listen(at(QStringLiteral("127.0.0.1"), QString::number(holder.localPort())));
        QCOMPARE(handler->listenerState().statusText(), QStringLiteral("error: device is already bound"));
        // An address this host does not have.
        handler->listen(at(QStringLiteral("192.0.2.1"), QStringLiteral("0")));
        QCOMPARE(handler->listenerState().statusText(), QStringLiteral("error: impossible to perform action"));
        QVERIFY(!handler->isListening());
    }
};

QTEST_GUILESS_MAIN(TestPetHandler)
#include "tst_pethandler.moc"
