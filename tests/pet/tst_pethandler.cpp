// The PET listener and its dialog: binding and its error texts, reading every
// datagram, the trace, the lamps, the heartbeat settings, restart and the
// timer, with in-memory sockets and a manual clock; real loopback UDP where
// the socket itself is the subject.

#include "core/asflogger.h"
#include "pet/asfpethandler.h"
#include "pet/asfpetpacket.h"
#include "support/capture.h"
#include "core/packetlogmodel.h"
#include "pet/petconfig.h"
#include "support/pettrapbuilder.h"
#include "core/memorynetwork.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUdpSocket>
#include <QtTest>

using namespace velquor;
using namespace pettest;

namespace {

struct Page
{
    QWidget logFrame, packetFrame;
    QLabel status, receive, heartbeat, address, port;
    PetPageWidgets widgets() { return {&logFrame, &packetFrame, &status, &receive, &heartbeat, &address, &port}; }
};

} // namespace

class TestPetHandler : public QObject
{
    Q_OBJECT

private:
    ManualLogClock clock;
    std::unique_ptr<Page> page;
    std::unique_ptr<ASF_PET_Handler> handler;
    PETConfig *dialog = nullptr;
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
    void connectTo(const QString &address, const QString &port = QStringLiteral("162"))
    {
        dialog->PETIPAdr->setText(address);
        dialog->PETIPPort->setText(port);
        dialog->PETConnect();
    }
    void connectMemory()
    {
        useMemorySockets();
        connectTo(QStringLiteral("127.0.0.1"));
        QVERIFY(lastSocket);
        QCOMPARE(handler->socket(), lastSocket.data());
    }
    PacketLogModel *log() { return handler->logger()->model(); }
    // Sends the traps to the listener in one go; returns once it has read them.
    void send(std::initializer_list<QByteArray> traps)
    {
        const quint64 before = handler->datagramsRead();
        for (const QByteArray &trap : traps)
            peer.writeDatagram(trap, QHostAddress::LocalHost, 162);
        QTRY_COMPARE(handler->datagramsRead(), before + traps.size());
    }
    void setHeartbeat(bool on, const char *minutes = "10", const char *tolerance = "0.5")
    {
        dialog->PETHeartbeat->setChecked(on);
        dialog->PETHeartbeatInterval->setText(QLatin1String(minutes));
        dialog->PETHeartbeatInterval_2->setText(QLatin1String(tolerance));
        handler->applyHeartbeatSettings();
    }

private slots:
    void init()
    {
        clock = ManualLogClock();
        clock.setElapsed(5000); // the handler restarts it
        page = std::make_unique<Page>();
        handler = std::make_unique<ASF_PET_Handler>(page->widgets(), &clock);
        QCOMPARE(clock.elapsed(), 0u);
        dialog = handler->dialog();
        nextBindResult = SocketNoError;
    }
    void cleanup()
    {
        handler.reset();
        page.reset();
    }

    // A bad address, or a bind that fails with an error code: the dialog
    // says why, the lamp is red and no socket is kept.
    void connectFails_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const QString local = QStringLiteral("127.0.0.1");
        QTest::newRow("no address") << QString() << 0 << "error: bad IP address";
        QTest::newRow("text") << QStringLiteral("not an address") << 0 << "error: bad IP address";
        QTest::newRow("too big") << QStringLiteral("256.1.1.1") << 0 << "error: bad IP address";
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
    void connectFails()
    {
        QFETCH(QString, address);
        QFETCH(int, code);
        nextBindResult = code;
        useMemorySockets();
        page->address.setText(QStringLiteral("10.0.0.1"));
        dialog->PETConfigConnect_Button->setText(QStringLiteral("Reconnect"));
        connectTo(address);
        QTEST(dialog->status_textLabel->text(), "text");
        QCOMPARE(handler->statusLampImage(), QStringLiteral("ledred.png"));
        QVERIFY(!handler->isListening());
        QVERIFY(!lastSocket);
        if (code) // the bind failed
            QCOMPARE(dialog->PETConfigConnect_Button->text(), QStringLiteral("Connect"));
        else // the address was not understood
            QCOMPARE(page->address.text(), QStringLiteral("0.0.0.0"));
        QCOMPARE(socketErrorText(0), QStringLiteral("error: unkown"));
    }

    void connectAndReconnect()
    {
        connectMemory();
        QCOMPARE(dialog->status_textLabel->text(), QStringLiteral("Connected"));
        QCOMPARE(dialog->PETConfigConnect_Button->text(), QStringLiteral("Reconnect"));
        QCOMPARE(handler->statusLampImage(), QStringLiteral("ledgreen.png"));
        QCOMPARE(page->address.text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(handler->localAddress(), QHostAddress(QStringLiteral("127.0.0.1")));
        QPointer<MemoryDatagramSocket> first = lastSocket;
        // A port that is no number binds port 0; the old socket goes first.
        connectTo(QStringLiteral("127.0.0.1"), QStringLiteral("abc"));
        QVERIFY(!first);
        QVERIFY(lastSocket);
        QCOMPARE(handler->port(), quint16(0));
        // Low 16 bits of the number.
        connectTo(QStringLiteral("127.0.0.1"), QStringLiteral("65698"));
        QCOMPARE(handler->port(), quint16(162));
    }

    // One signal for several datagrams: all are read, each traced and logged.
    void readsEveryPendingDatagram()
    {
        connectMemory();
        clock.setElapsed(3723004);
        velquor::test::TraceCapture trace;
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
        QCOMPARE(log()->rowTexts(2).info, QStringLiteral(" "));
        QCOMPARE(log()->rowTexts(2).direction, QStringLiteral("received"));
        // The receive lamp is green until 150 ms after the datagram.
        QCOMPARE(handler->receiveLampImage(), QStringLiteral("ledgreen.png"));
        QCOMPARE(handler->receiveLampTimer()->interval(), 150);
        QTRY_COMPARE_WITH_TIMEOUT(handler->receiveLampImage(), QStringLiteral("ledoff.png"), 2000);
    }

    void heartbeatSettingsFromTheDialog()
    {
        // The radio button enables the interval with it.
        dialog->PETHeartbeat->click();
        QVERIFY(dialog->PETHeartbeatInterval->isEnabled());
        dialog->PETHeartbeat->click();
        QVERIFY(!dialog->PETHeartbeatInterval->isEnabled());

        clock.setElapsed(7000);
        dialog->PETHeartbeat->setChecked(true);
        dialog->PETHeartbeatInterval->setText(QStringLiteral("2"));
        dialog->PETHeartbeatInterval_2->setText(QStringLiteral("0.25"));
        dialog->buttonOk->click();
        QVERIFY(handler->heartbeatCheck());
        QCOMPARE(handler->heartbeatInterval(), 120000u);
        QCOMPARE(handler->heartbeatTolerance(), 0.25f);
        QCOMPARE(handler->timerInterval(), 14999);
        QCOMPARE(handler->heartbeatLampImage(), QStringLiteral("ledgreen.png"));
        QCOMPARE(handler->analysis().lastHeartbeat(), 7000u);

        // configure() fills the dialog from the settings in force.
        dialog->PETHeartbeat->setChecked(false);
        dialog->PETHeartbeatInterval->setText(QStringLiteral("99"));
        handler->configure();
        QVERIFY(dialog->PETHeartbeat->isChecked());
        QCOMPARE(dialog->PETHeartbeatInterval->text(), QStringLiteral("2"));

        setHeartbeat(false);
        QCOMPARE(handler->heartbeatLampImage(), QStringLiteral("ledoff.png"));
        QCOMPARE(handler->timerInterval(), 60000);
        // A tolerance too small for a period: the floor.
        setHeartbeat(true, "10", "nan");
        QCOMPARE(handler->timerInterval(), 1000);
    }

    void heartbeatsTimerAndRestart()
    {
        connectMemory();
        setHeartbeat(true); // 10 min, 0.5 min, from clock 0
        clock.setElapsed(600000);
        send({heartbeatTrap(1)});
        QCOMPARE(log()->rowTexts(0).info, QStringLiteral("Heartbeat"));
        QCOMPARE(handler->heartbeatLampImage(), QStringLiteral("ledred.png")); // flash
        QTRY_COMPARE_WITH_TIMEOUT(handler->heartbeatLampImage(), QStringLiteral("ledgreen.png"), 2000);

        // No heartbeat for the next interval and its tolerance: an error line.
        clock.setElapsed(600000 + 631000);
        handler->doTimer();
        QCOMPARE(log()->size(), 2);
        QCOMPARE(log()->rowTexts(1).info, QStringLiteral("error: heartbeat missing, expected at 1200000"));
        QCOMPARE(log()->rowStatus(1), ASF_PACKET_ERROR);
        QCOMPARE(handler->heartbeatLampImage(), QStringLiteral("ledred.png"));

        // A retransmission is counted on its record; a trap never
        // retransmitted is reported two minutes on.
        send({trapWithSequence(44)});
        clock.setElapsed(1241000);
        send({trapWithSequence(5)});
        clock.setElapsed(1251000);
        send({trapWithSequence(5)});
        auto *again = qobject_cast<ASF_PET_Packet *>(log()->packetAt(4));
        QCOMPARE(again->info(), QStringLiteral("retransmission (1) for packet received at 1241000"));
        QVERIFY(again->textForm().contains(QLatin1String("\t\tretransmission # 1\n")));
        clock.setElapsed(600000 + 631000 + 121000);
        handler->doTimer();
        QCOMPARE(log()->rowTexts(5).info, QStringLiteral("warning: insufficient nr. of retransmissions (0)\n"
                                                         "for packet received at 1231000"));
        QCOMPARE(log()->rowStatus(5), ASF_PACKET_WARNING);

        // Restart forgets the log, the records and the missing heartbeat, and
        // starts the clock anew.
        clock.setElapsed(3000000);
        handler->doTimer();
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

    void realSocketReadsABurst()
    {
        connectTo(QStringLiteral("127.0.0.1"), QStringLiteral("0"));
        QCOMPARE(dialog->status_textLabel->text(), QStringLiteral("Connected"));
        const quint16 port = handler->socket()->localPort();
        QVERIFY(port != 0);
        QCOMPARE(page->port.text(), QString::number(port));
        QUdpSocket sender;
        const int count = 200;
        for (int i = 0; i < count; ++i)
            QCOMPARE(sender.writeDatagram(trapWithSequence(quint16(i + 1)), QHostAddress::LocalHost, port), qint64(112));
        QCOMPARE(sender.writeDatagram(QByteArray(), QHostAddress::LocalHost, port), qint64(0));
        QTRY_COMPARE_WITH_TIMEOUT(log()->size(), count + 1, 10000);
        QCOMPARE(log()->rowTexts(count).info, QStringLiteral("  -error: trap ends after 0 bytes, message tag missing"));
    }

    void realBindFailures()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::LocalHost, 0));
        connectTo(QStringLiteral("127.0.0.1"), QString::number(holder.localPort()));
        QCOMPARE(dialog->status_textLabel->text(), QStringLiteral("error: device is already bound"));
        QVERIFY(!handler->isListening());
        // An address this host does not have.
        connectTo(QStringLiteral("192.0.2.1"), QStringLiteral("0"));
        QCOMPARE(dialog->status_textLabel->text(), QStringLiteral("error: impossible to perform action"));
        QCOMPARE(handler->statusLampImage(), QStringLiteral("ledred.png"));
    }
};

QTEST_MAIN(TestPetHandler)
#include "tst_pethandler.moc"
