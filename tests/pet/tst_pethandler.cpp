// The PET listener and its dialog: binding and its error texts, reading every
// datagram, the trace, the lamps, the heartbeat settings, restart and the
// timer, with in-memory sockets and a manual clock; real loopback UDP where
// the socket itself is the subject.

#include "asflogger.h"
#include "asfpethandler.h"
#include "asfpetpacket.h"
#include "packetlogmodel.h"
#include "petconfig.h"
#include "pettestutil.h"

#include <QLabel>
#include <QLayout>
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
    PetPageWidgets widgets()
    {
        return {&logFrame, &packetFrame, &status, &receive, &heartbeat, &address, &port};
    }
};

ASF_Packet *row(ASF_Logger *logger, int i)
{
    return logger->model()->packetAt(i);
}

} // namespace

class TestPetHandler : public QObject
{
    Q_OBJECT

private:
    ManualLogClock clock;
    std::unique_ptr<Page> page;
    std::unique_ptr<ASF_PET_Handler> handler;
    QPointer<MemoryDatagramSocket> lastSocket;
    int nextBindResult = SocketNoError;

    void useMemorySockets()
    {
        handler->setSocketFactory([this] {
            auto socket = std::make_unique<MemoryDatagramSocket>();
            socket->setBindResult(nextBindResult);
            lastSocket = socket.get();
            return socket;
        });
    }

    void connectMemory()
    {
        useMemorySockets();
        handler->dialog()->PETIPAdr->setText(QStringLiteral("127.0.0.1"));
        handler->dialog()->PETConnect();
        QVERIFY(lastSocket);
        QCOMPARE(handler->socket(), lastSocket.data());
    }

private slots:
    void init()
    {
        clock = ManualLogClock();
        clock.setElapsed(5000); // the handler restarts it
        page = std::make_unique<Page>();
        handler = std::make_unique<ASF_PET_Handler>(page->widgets(), &clock);
        nextBindResult = SocketNoError;
    }
    void cleanup()
    {
        handler.reset();
        page.reset();
    }

    void construction()
    {
        QCOMPARE(clock.elapsed(), 0u);
        QCOMPARE(handler->objectName(), QStringLiteral("PET"));
        QCOMPARE(handler->logger()->objectName(), QStringLiteral("PET"));
        QCOMPARE(page->logFrame.layout()->objectName(), QStringLiteral("PET_LogShow_FrameLayout"));
        QCOMPARE(page->packetFrame.layout()->objectName(), QStringLiteral("PET_PacketShow_FrameLayout"));
        QVERIFY(handler->logger()->listView());
        QCOMPARE(handler->localAddress(), QHostAddress(QStringLiteral("0.0.0.0")));
        QCOMPARE(handler->port(), quint16(162));
        QVERIFY(!handler->heartbeatCheck());
        QCOMPARE(handler->heartbeatInterval(), 600000u);
        QCOMPARE(handler->heartbeatTolerance(), 0.5f);
        QVERIFY(handler->timerActive());
        QCOMPARE(handler->timerInterval(), 29999);
        QVERIFY(!handler->isListening());
        QVERIFY(!handler->existingDialog());
    }

    void dialogWidgets()
    {
        PETConfig *d = handler->dialog();
        QCOMPARE(d->windowTitle(), QStringLiteral("Configure PET"));
        const QList<QPair<QString, QString>> texts = {
            {QStringLiteral("PETIPAdr_lb"), QStringLiteral("local &IP Address:")},
            {QStringLiteral("PETIPPort_lb"), QStringLiteral("&Port:")},
            {QStringLiteral("textLabel1"), QStringLiteral("Status:")},
            {QStringLiteral("status_textLabel"), QStringLiteral("not listening")},
            {QStringLiteral("interval_text"), QStringLiteral("&Interval")},
            {QStringLiteral("intvalMin_text"), QStringLiteral("min")},
            {QStringLiteral("intvalMin_text_2"), QStringLiteral("min. tolerance")},
        };
        for (const auto &[name, text] : texts) {
            auto *label = d->findChild<QLabel *>(name);
            QVERIFY2(label, qPrintable(name));
            QCOMPARE(label->text(), text);
        }
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("PETIPAdr"))->text(), QString());
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("PETIPPort"))->text(), QStringLiteral("162"));
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("PETHeartbeatInterval"))->text(), QStringLiteral("10"));
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("PETHeartbeatInterval_2"))->text(), QStringLiteral("0.5"));
        QCOMPARE(d->findChild<QPushButton *>(QStringLiteral("PETConfigConnect_Button"))->text(), QStringLiteral("Connect"));
        QCOMPARE(d->findChild<QPushButton *>(QStringLiteral("buttonOk"))->text(), QStringLiteral("&OK"));
        QCOMPARE(d->findChild<QPushButton *>(QStringLiteral("buttonCancel"))->text(), QStringLiteral("&Cancel"));
        auto *heartbeat = d->findChild<QRadioButton *>(QStringLiteral("PETHeartbeat"));
        QCOMPARE(heartbeat->text(), QStringLiteral("&Heartbeat"));
        QCOMPARE(heartbeat->shortcut(), QKeySequence(QStringLiteral("Alt+H")));
        // It switches on and off, and enables the interval with it.
        heartbeat->click();
        QVERIFY(heartbeat->isChecked());
        QVERIFY(d->PETHeartbeatInterval->isEnabled());
        heartbeat->click();
        QVERIFY(!heartbeat->isChecked());
        QVERIFY(!d->PETHeartbeatInterval->isEnabled());
        QCOMPARE(handler->dialog(), d); // kept
    }

    void configureFillsTheDialog()
    {
        handler->dialog()->PETHeartbeat->setChecked(true);
        handler->dialog()->PETHeartbeatInterval->setText(QStringLiteral("3"));
        handler->applyHeartbeatSettings();
        handler->dialog()->PETHeartbeat->setChecked(false);
        handler->dialog()->PETHeartbeatInterval->setText(QStringLiteral("99"));
        handler->configure();
        QVERIFY(handler->dialog()->PETHeartbeat->isChecked());
        QCOMPARE(handler->dialog()->PETHeartbeatInterval->text(), QStringLiteral("3"));
        QVERIFY(handler->dialog()->PETHeartbeatInterval->isEnabled());
        QVERIFY(!handler->dialog()->isVisible()); // raised, not shown
    }

    void badAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("empty") << QString();
        QTest::newRow("text") << QStringLiteral("not an address");
        QTest::newRow("too big") << QStringLiteral("256.1.1.1");
    }
    void badAddress()
    {
        QFETCH(QString, address);
        useMemorySockets();
        page->address.setText(QStringLiteral("10.0.0.1"));
        handler->dialog()->PETIPAdr->setText(address);
        handler->dialog()->PETConnect();
        QCOMPARE(handler->dialog()->status_textLabel->text(), QStringLiteral("error: bad IP address"));
        QCOMPARE(handler->statusLampImage(), QStringLiteral("ledred.png"));
        QCOMPARE(page->address.text(), QStringLiteral("0.0.0.0"));
        QVERIFY(!lastSocket);
        QVERIFY(!handler->isListening());
    }

    void bindErrorTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1 << "error: device is already bound";
        QTest::newRow("2") << 2 << "error: operating system or firewall prohibited the action";
        QTest::newRow("3") << 3 << "error: system ran out of a resource";
        QTest::newRow("4") << 4 << "error: internal error occurred";
        QTest::newRow("5") << 5 << "error: impossible to perform action";
        QTest::newRow("6") << 6 << "error: no further open/bind allowed";
        QTest::newRow("7") << 7 << "error: attempt was rejected by the peer";
        QTest::newRow("8") << 8 << "error: network failure";
        QTest::newRow("9") << 9 << "error: unexpected system reaction";
    }
    void bindErrorTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(socketErrorText(0), QStringLiteral("error: unkown"));
        nextBindResult = code;
        useMemorySockets();
        handler->dialog()->PETIPAdr->setText(QStringLiteral("127.0.0.1"));
        handler->dialog()->PETConfigConnect_Button->setText(QStringLiteral("Reconnect"));
        handler->dialog()->PETConnect();
        QCOMPARE(handler->dialog()->status_textLabel->text(), text);
        QCOMPARE(handler->dialog()->PETConfigConnect_Button->text(), QStringLiteral("Connect"));
        QCOMPARE(handler->statusLampImage(), QStringLiteral("ledred.png"));
        QVERIFY(!handler->isListening());
        QVERIFY(!lastSocket); // a failed socket is not kept
    }

    void connectAndReconnect()
    {
        connectMemory();
        PETConfig *d = handler->dialog();
        QCOMPARE(d->status_textLabel->text(), QStringLiteral("Connected"));
        QCOMPARE(d->PETConfigConnect_Button->text(), QStringLiteral("Reconnect"));
        QCOMPARE(handler->statusLampImage(), QStringLiteral("ledgreen.png"));
        QCOMPARE(page->address.text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(handler->localAddress(), QHostAddress(QStringLiteral("127.0.0.1")));
        QCOMPARE(handler->port(), quint16(162));
        QPointer<MemoryDatagramSocket> first = lastSocket;
        // A port that is no number binds port 0; the old socket goes first.
        d->PETIPPort->setText(QStringLiteral("abc"));
        d->PETConnect();
        QVERIFY(!first);
        QVERIFY(lastSocket);
        QCOMPARE(lastSocket->localPort(), quint16(0));
        QCOMPARE(handler->port(), quint16(0));
        // Low 16 bits of the number.
        d->PETIPPort->setText(QStringLiteral("65698"));
        d->PETConnect();
        QCOMPARE(handler->port(), quint16(162));
    }

    void readsEveryPendingDatagram()
    {
        connectMemory();
        lastSocket->enqueue(trapWithSequence(1));
        lastSocket->enqueue(trapWithSequence(2));
        lastSocket->enqueue(QByteArray());
        lastSocket->deliver(trapWithSequence(3)); // one signal for four datagrams
        ASF_Logger *logger = handler->logger();
        QCOMPARE(logger->model()->size(), 4);
        QCOMPARE(lastSocket->pendingCount(), 0);
        auto *zero = qobject_cast<ASF_PET_Packet *>(row(logger, 2));
        QVERIFY(zero);
        QCOMPARE(zero->status(), ASF_PACKET_ERROR);
        QCOMPARE(zero->info(), QStringLiteral("  -error: trap ends after 0 bytes, message tag missing"));
        QCOMPARE(zero->direction(), int(ASF_Packet::Received));
        QCOMPARE(logger->model()->rowTexts(3).info, QStringLiteral(" "));
        QCOMPARE(logger->model()->rowTexts(3).direction, QStringLiteral("received"));
    }

    void traceAndLamps()
    {
        connectMemory();
        clock.setElapsed(3723004);
        TraceCollector collector;
        const QByteArray twenty = hex("000102030405060708090a0b0c0d0e0f10111213");
        lastSocket->deliver(twenty);
        QVERIFY(collector.text().startsWith(QStringLiteral(
            "\n--------------------------------------\n"
            "PET  - Incomming data (20 bytes) time: 01:02:03:004 -\n"
            "\n0 - 15:       00 01 02 03  04 05 06 07  08 09 0a 0b  0c 0d 0e 0f  "
            "\n16 - 31:      10 11 12 13  \n")));
        QCOMPARE(handler->logger()->model()->rowTexts(0).time, QStringLiteral("01:02:03:004"));
        // The receive lamp is green until 150 ms after the datagram.
        QCOMPARE(handler->receiveLampImage(), QStringLiteral("ledgreen.png"));
        QVERIFY(handler->receiveLampTimer()->isActive());
        QCOMPARE(handler->receiveLampTimer()->interval(), 150);
        QTRY_COMPARE_WITH_TIMEOUT(handler->receiveLampImage(), QStringLiteral("ledoff.png"), 2000);
    }

    void heartbeatSettingsFromTheDialog()
    {
        PETConfig *d = handler->dialog();
        clock.setElapsed(7000);
        d->PETHeartbeat->setChecked(true);
        d->PETHeartbeatInterval->setText(QStringLiteral("2"));
        d->PETHeartbeatInterval_2->setText(QStringLiteral("0.25"));
        d->buttonOk->click(); // doOK
        QVERIFY(handler->heartbeatCheck());
        QCOMPARE(handler->heartbeatInterval(), 120000u);
        QCOMPARE(handler->heartbeatTolerance(), 0.25f);
        QCOMPARE(handler->timerInterval(), 14999);
        QCOMPARE(handler->heartbeatLampImage(), QStringLiteral("ledgreen.png"));
        QCOMPARE(handler->analysis().lastHeartbeat(), 7000u);

        d->PETHeartbeat->setChecked(false);
        handler->applyHeartbeatSettings();
        QCOMPARE(handler->heartbeatLampImage(), QStringLiteral("ledoff.png"));
        QCOMPARE(handler->timerInterval(), 60000);

        // A tolerance too small for a period: the floor.
        d->PETHeartbeat->setChecked(true);
        d->PETHeartbeatInterval_2->setText(QStringLiteral("0"));
        handler->applyHeartbeatSettings();
        QCOMPARE(handler->timerInterval(), 1000);
        d->PETHeartbeatInterval_2->setText(QStringLiteral("nan"));
        handler->applyHeartbeatSettings();
        QCOMPARE(handler->timerInterval(), 1000);
    }

    void heartbeatsAndTimer()
    {
        connectMemory();
        handler->dialog()->PETHeartbeat->setChecked(true);
        handler->applyHeartbeatSettings(); // 10 min, 0.5 min, from clock 0
        clock.setElapsed(600000);
        lastSocket->deliver(heartbeatTrap(1));
        ASF_Logger *logger = handler->logger();
        QCOMPARE(logger->model()->rowTexts(0).info, QStringLiteral("Heartbeat"));
        QCOMPARE(handler->heartbeatLampImage(), QStringLiteral("ledred.png")); // flash
        QVERIFY(handler->heartbeatLampTimer()->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(handler->heartbeatLampImage(), QStringLiteral("ledgreen.png"), 2000);

        // No heartbeat for the next interval and its tolerance: an error line.
        clock.setElapsed(600000 + 631000);
        handler->doTimer();
        QCOMPARE(logger->model()->size(), 2);
        QCOMPARE(logger->model()->rowTexts(1).info, QStringLiteral("error: heartbeat missing, expected at 1200000"));
        QCOMPARE(logger->model()->rowStatus(1), ASF_PACKET_ERROR);
        QCOMPARE(handler->heartbeatLampImage(), QStringLiteral("ledred.png"));

        // A trap never retransmitted is reported two minutes on.
        lastSocket->deliver(trapWithSequence(44));
        clock.setElapsed(600000 + 631000 + 121000);
        handler->doTimer();
        QCOMPARE(logger->model()->rowTexts(3).info, QStringLiteral("warning: insufficient nr. of retransmissions (0)\n"
                                                                   "for packet received at 1231000"));
        QCOMPARE(logger->model()->rowStatus(3), ASF_PACKET_WARNING);
    }

    void retransmissionOnTheRecord()
    {
        connectMemory();
        lastSocket->deliver(trapWithSequence(5));
        clock.setElapsed(10000);
        lastSocket->deliver(trapWithSequence(5));
        auto *second = qobject_cast<ASF_PET_Packet *>(row(handler->logger(), 1));
        QCOMPARE(second->retransmissionCount(), 1);
        QCOMPARE(second->info(), QStringLiteral("retransmission (1) for packet received at 0"));
        QVERIFY(second->textForm().contains(QLatin1String("\t\tretransmission # 1\n")));
    }

    void restartClearsEverything()
    {
        connectMemory();
        lastSocket->deliver(trapWithSequence(5));
        handler->dialog()->PETHeartbeat->setChecked(true);
        handler->applyHeartbeatSettings();
        clock.setElapsed(700000);
        handler->doTimer();
        QVERIFY(handler->heartbeatMissing());
        handler->restart();
        QCOMPARE(clock.elapsed(), 0u);
        QCOMPARE(handler->logger()->model()->size(), 0);
        QVERIFY(handler->analysis().records().empty());
        QVERIFY(!handler->heartbeatMissing());
        QCOMPARE(handler->analysis().lastHeartbeat(), 0u);
        QCOMPARE(handler->timerInterval(), 29999);
        QVERIFY(handler->logger()->getLastAsfPacket()); // the last record outlives the clear
    }

    // --- real loopback UDP ---------------------------------------------

    void realSocketReadsABurst()
    {
        handler->dialog()->PETIPAdr->setText(QStringLiteral("127.0.0.1"));
        handler->dialog()->PETIPPort->setText(QStringLiteral("0"));
        handler->dialog()->PETConnect();
        QCOMPARE(handler->dialog()->status_textLabel->text(), QStringLiteral("Connected"));
        const quint16 port = handler->socket()->localPort();
        QVERIFY(port != 0);
        QCOMPARE(page->port.text(), QString::number(port));
        QUdpSocket sender;
        const int count = 200;
        for (int i = 0; i < count; ++i)
            QCOMPARE(sender.writeDatagram(trapWithSequence(quint16(i + 1)), QHostAddress::LocalHost, port),
                     qint64(112));
        QCOMPARE(sender.writeDatagram(QByteArray(), QHostAddress::LocalHost, port), qint64(0));
        QTRY_COMPARE_WITH_TIMEOUT(handler->logger()->model()->size(), count + 1, 10000);
        QCOMPARE(handler->logger()->model()->rowTexts(count).info,
                 QStringLiteral("  -error: trap ends after 0 bytes, message tag missing"));
    }

    void realBindFailures()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::LocalHost, 0));
        PETConfig *d = handler->dialog();
        d->PETIPAdr->setText(QStringLiteral("127.0.0.1"));
        d->PETIPPort->setText(QString::number(holder.localPort()));
        d->PETConnect();
        QCOMPARE(d->status_textLabel->text(), QStringLiteral("error: device is already bound"));
        QVERIFY(!handler->isListening());

        // An address this host does not have.
        d->PETIPAdr->setText(QStringLiteral("192.0.2.1"));
        d->PETIPPort->setText(QStringLiteral("0"));
        d->PETConnect();
        QCOMPARE(d->status_textLabel->text(), QStringLiteral("error: impossible to perform action"));
        QCOMPARE(handler->statusLampImage(), QStringLiteral("ledred.png"));
    }

    void errorCodeMapping()
    {
        QCOMPARE(socketErrorCode(QAbstractSocket::AddressInUseError), 1);
        QCOMPARE(socketErrorCode(QAbstractSocket::SocketAccessError), 2);
        QCOMPARE(socketErrorCode(QAbstractSocket::SocketResourceError), 3);
        QCOMPARE(socketErrorCode(QAbstractSocket::SocketAddressNotAvailableError), 5);
        QCOMPARE(socketErrorCode(QAbstractSocket::ConnectionRefusedError), 7);
        QCOMPARE(socketErrorCode(QAbstractSocket::NetworkError), 8);
        QCOMPARE(socketErrorCode(QAbstractSocket::UnknownSocketError), 9);
        QCOMPARE(socketErrorText(42), QStringLiteral("error: unexpected system reaction"));
    }
};

QTEST_MAIN(TestPetHandler)
#include "tst_pethandler.moc"
