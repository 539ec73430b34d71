// velquor-sim run as a program over loopback UDP: answers and their faults,
// option errors, the end on a signal, its traps read by the PET listener,
// and FreeIPMI's rmcpping as a console nobody here wrote.

#include "core/asflogger.h"
#include "core/packetlogmodel.h"
#include "core/trace.h"
#include "pet/asfpethandler.h"
#include "tools/simtest.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUdpSocket>
#include <QtTest>
#include <csignal>

using namespace velquor;

namespace {

// The program on a free port (unless the arguments name one), ended with
// SIGTERM when the test has not ended it.
struct Sim
{
    QProcess process;
    quint16 port = 0;
    QString output;

    explicit Sim(const QStringList &arguments)
    {
        const bool portGiven = arguments.contains(QStringLiteral("--port"));
        process.start(QStringLiteral(VELQUOR_SIM_BINARY), portGiven ? arguments : arguments + QStringList{"--port", "0"});
        static const QRegularExpression started(QStringLiteral("^velquor-sim: RMCP/ASF on \\S+ port (\\d+)$"));
        while (process.waitForReadyRead(10000) || process.canReadLine()) {
            if (!process.canReadLine())
                continue;
            const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
            output += line + '\n';
            if (const auto m = started.match(line); m.hasMatch()) {
                port = quint16(m.captured(1).toUInt());
                return;
            }
        }
    }
    ~Sim()
    {
        if (process.state() != QProcess::NotRunning)
            end(SIGTERM);
    }
    // The exit status after the signal; -1 when it did not end normally.
    int end(int signal)
    {
        ::kill(pid_t(process.processId()), signal);
        const bool ended = process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit;
        output += QString::fromLocal8Bit(process.readAllStandardOutput());
        return ended ? process.exitCode() : -1;
    }
};

// Sends a request from the console's socket and takes every answer that
// comes before the line stays quiet for quietMs.
QStringList exchange(QUdpSocket &console, quint16 port, const char *hexRequest, int quietMs = 300)
{
    console.writeDatagram(QByteArray::fromHex(hexRequest), QHostAddress::LocalHost, port);
    QList<QByteArray> answers;
    while (console.waitForReadyRead(quietMs)) {
        while (console.hasPendingDatagrams()) {
            QByteArray d(int(console.pendingDatagramSize()), 0);
            console.readDatagram(d.data(), d.size());
            answers << d;
        }
    }
    return simtest::judged(answers, [](const QByteArray &b) { return b; });
}

// A Presence Pong as hex, the fields that faults change given.
QString pong(const char *seq, const char *tag, const char *iana = "000011be", const char *length = "10",
             const char *extra = "")
{
    return QStringLiteral("0600%1 06 %3 40 %2 00 %4 000011be 00000000 01 00 000000000000%5")
        .arg(QLatin1String(seq), QLatin1String(tag), QLatin1String(iana), QLatin1String(length), QLatin1String(extra))
        .remove(QLatin1Char(' '));
}

const char ping5[] = "06000506000011be80070000"; // sequence number 5, tag 7
const char ping6[] = "06000606000011be80070000";

} // namespace

class TestVelquorSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setTraceEnabled(false); }

    void answersOverLoopback()
    {
        Sim sim({"--verbose"});
        QVERIFY2(sim.port, qPrintable(sim.output));
        QUdpSocket console;
        QVERIFY(console.bind(QHostAddress::LocalHost, 0));
        QCOMPARE(exchange(console, sim.port, "06000706000011be80090000"), QStringList({"06000786", pong("00", "09")}));
        QCOMPARE(exchange(console, sim.port, "06000086"), QStringList()); // the console's acknowledge
        QCOMPARE(exchange(console, sim.port, "0600ff06000011be12ff0000"), QStringList()); // power-down, nothing wanted
        QCOMPARE(exchange(console, sim.port, "06000806000011be82020000"),
                 QStringList({"06000886", "06000106000011be4202000405000000"}));
        QCOMPARE(sim.end(SIGINT), 0);
        const QString peer = QStringLiteral("127.0.0.1:%1 RMCP ").arg(console.localPort());
        for (const QString &line : {" received " + peer + "Presence Ping, seq 7, tag 9: 06000706000011be80090000",
                                    " sent " + peer + "Acknowledge, seq 7: 06000786",
                                    " received " + peer + "Acknowledge, seq 0: 06000086",
                                    " sent " + peer + "System State Response, seq 1, tag 2: 06000106000011be4202000405000000"})
            QVERIFY2(sim.output.contains(line), qPrintable(sim.output));
        QVERIFY(sim.output.endsWith(QStringLiteral("velquor-sim: stopped after 4 datagrams received and 4 sent\n")));
    }

    // Each fault option in the answers to two pings (numbered 5 and 6, tag 7).
    void faultOptions_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("answers");
        const QString ack5 = "06000586", ack6 = "06000686";
        QTest::newRow("correct") << QStringList() << QStringList{ack5, pong("00", "07"), ack6, pong("01", "07")};
        QTest::newRow("no-ack") << QStringList{"--no-ack"} << QStringList{pong("00", "07"), pong("01", "07")};
        QTest::newRow("wrong-tag") << QStringList{"--wrong-tag"} << QStringList{ack5, pong("00", "08"), ack6, pong("01", "08")};
        QTest::newRow("skip-seq") << QStringList{"--skip-seq"} << QStringList{ack5, pong("00", "07"), ack6, pong("02", "07")};
        QTest::newRow("repeat-seq") << QStringList{"--repeat-seq"} << QStringList{ack5, pong("00", "07"), ack6, pong("00", "07")};
        QTest::newRow("drop") << QStringList{"--drop", "1"} << QStringList{ack6, pong("00", "07")};
        QTest::newRow("twice") << QStringList{"--twice"}
                               << QStringList{ack5, ack5, pong("00", "07"), pong("00", "07"), ack6, ack6, pong("01", "07"), pong("01", "07")};
        QTest::newRow("response-first") << QStringList{"--response-first"} << QStringList{pong("00", "07"), ack5, pong("01", "07"), ack6};
        const QString iana = " Presence Pong\t -error: IANA Enterprise Number not set to 0x000011BE";
        QTest::newRow("iana") << QStringList{"--iana=4543"}
                              << QStringList{ack5, pong("00", "07", "000011bf") + iana, ack6, pong("01", "07", "000011bf") + iana};
        const QString size = " Presence Pong\t -error: Wrong packet size or length of data wrong; got 28 expected 29";
        QTest::newRow("length size") << QStringList{"--wrong-length", "size"}
                                     << QStringList{ack5, pong("00", "07", "000011be", "11") + size, ack6, pong("01", "07", "000011be", "11") + size};
        const QString type = " Presence Pong\t -error: Wrong data size for type of message";
        QTest::newRow("length type") << QStringList{"--wrong-length", "type"}
                                     << QStringList{ack5, pong("00", "07", "000011be", "11", "00") + type, ack6,
                                                    pong("01", "07", "000011be", "11", "00") + type};
    }
    void faultOptions()
    {
        QFETCH(QStringList, options);
        Sim sim(options);
        QVERIFY2(sim.port, qPrintable(sim.output));
        QUdpSocket console;
        QVERIFY(console.bind(QHostAddress::LocalHost, 0));
        QStringList answers = exchange(console, sim.port, ping5);
        answers += exchange(console, sim.port, ping6);
        QTEST(answers, "answers");
    }

    void lateAnswers()
    {
        Sim sim({"--late-ack", "300", "--late", "600"});
        QUdpSocket console;
        QVERIFY(console.bind(QHostAddress::LocalHost, 0));
        QElapsedTimer clock;
        clock.start();
        console.writeDatagram(QByteArray::fromHex(ping5), QHostAddress::LocalHost, sim.port);
        QList<qint64> arrivals;
        while (arrivals.size() < 2 && console.waitForReadyRead(3000)) {
            arrivals << clock.elapsed();
            QByteArray d(int(console.pendingDatagramSize()), 0);
            console.readDatagram(d.data(), d.size());
            QCOMPARE(d.size(), arrivals.size() == 1 ? 4 : 28); // the acknowledge first
        }
        QCOMPARE(arrivals.size(), 2);
        QVERIFY2(arrivals[0] >= 300 && arrivals[0] < 600 && arrivals[1] >= 600,
                 qPrintable(QStringLiteral("%1 %2").arg(arrivals[0]).arg(arrivals[1])));
    }

    void badOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown") << QStringList{"--fast"} << "Unknown option 'fast'.";
        QTest::newRow("no value") << QStringList{"--late"} << "Missing value after '--late'.";
        QTest::newRow("port") << QStringList{"--port", "65536"} << "--port wants a whole number from 0 to 65535, not '65536'";
        QTest::newRow("negative") << QStringList{"--drop=-1"} << "--drop wants a whole number from 0 to 1000000000, not '-1'";
        QTest::newRow("address") << QStringList{"--address", "localhost"} << "--address wants an IP address, not 'localhost'";
        QTest::newRow("kind") << QStringList{"--wrong-length", "long"} << "--wrong-length wants 'size' or 'type', not 'long'";
        QTest::newRow("both") << QStringList{"--skip-seq", "--repeat-seq"} << "choose one of --skip-seq and --repeat-seq";
        QTest::newRow("twice") << QStringList{"-p", "1", "--port", "2"} << "--port given more than once";
        QTest::newRow("no traps") << QStringList{"--alerts", "3"} << "--alerts needs --traps";
        QTest::newRow("argument") << QStringList{"623"} << "unexpected argument '623'";
    }
    void badOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QProcess p;
        p.start(QStringLiteral(VELQUOR_SIM_BINARY), arguments);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardError()),
                 QStringLiteral("velquor-sim: %1\nTry 'velquor-sim --help'.\n").arg(message));
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
    }

    void portTaken()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));
        QProcess p;
        p.start(QStringLiteral(VELQUOR_SIM_BINARY), {"--port", QString::number(holder.localPort())});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardError()),
                 QStringLiteral("velquor-sim: cannot bind 127.0.0.1 port %1 (error: device is already bound)\n")
                     .arg(holder.localPort()));
    }

    // SIGTERM ends it as SIGINT does (answersOverLoopback): status 0 after
    // its last line.
    void sigtermEndsCleanly()
    {
        Sim sim({});
        QVERIFY(sim.port);
        QCOMPARE(sim.end(SIGTERM), 0);
        QVERIFY2(sim.output.endsWith(QStringLiteral("velquor-sim: stopped after 0 datagrams received and 0 sent\n")),
                 qPrintable(sim.output));
    }

    // The PET listener over loopback: an alert asked for with SIGUSR1 and its
    // two retransmissions, then heartbeats on time; nothing but what a
    // correct client gets.
    void trapsToThePetListener()
    {
        SystemLogClock clock;
        ASF_PET_Handler pet(&clock);
        pet::PetSettings settings;
        settings.address = QHostAddress::LocalHost;
        settings.port = 0;
        QCOMPARE(pet.listen(settings), pet::ListenerState::Listening);
        Sim sim({"--traps", "--trap-port", QString::number(pet.socket()->localPort()), "--heartbeat-interval", "1500",
                 "--alert-spacing", "200"});
        QVERIFY(sim.port);
        settings.heartbeatCheck = true; // from now on, as the simulator's interval runs
        settings.heartbeatInterval = 1500;
        settings.heartbeatTolerance = 0.01f; // 600 ms
        pet.applyHeartbeatSettings(settings);
        ::kill(pid_t(sim.process.processId()), SIGUSR1);
        PacketLogModel *log = pet.logger()->model();
        QTRY_COMPARE_WITH_TIMEOUT(log->size(), 5, 10000);
        QStringList infos;
        for (int row = 0; row < log->size(); ++row) {
            QCOMPARE(log->rowStatus(row), ASF_PACKET_OK);
            infos << log->rowTexts(row).info.replace(QRegularExpression("\\d+$"), "T");
        }
        QCOMPARE(infos, QStringList({" ", "retransmission (1) for packet received at T",
                                     "retransmission (2) for packet received at T", "Heartbeat", "Heartbeat"}));
    }

    // FreeIPMI's rmcpping has no port option: the simulator takes port 623.
    void rmcppingGetsPongs()
    {
        const QString rmcpping = QStandardPaths::findExecutable(QStringLiteral("rmcpping"), {"/usr/sbin", "/usr/bin", "/sbin"});
        if (rmcpping.isEmpty())
            QSKIP("rmcpping (Debian package freeipmi-tools) is not installed");
        Sim sim({"--port", "623", "--verbose"});
        if (!sim.port) {
            sim.process.waitForFinished(10000);
            QSKIP(qPrintable("velquor-sim could not bind 127.0.0.1 port 623 (needs root or the port is in use): "
                             + QString::fromLocal8Bit(sim.process.readAllStandardError()).trimmed()));
        }
        QProcess ping;
        ping.start(rmcpping, {"-c", "2", "127.0.0.1"});
        QVERIFY(ping.waitForFinished(30000));
        const QString out = QString::fromLocal8Bit(ping.readAllStandardOutput());
        QVERIFY2(ping.exitCode() == 0 && out.contains("2 pings transmitted, 2 pongs received in time"), qPrintable(out));
        // Its pings want no acknowledge, and it acknowledges none of the pongs.
        QCOMPARE(sim.end(SIGINT), 0);
        QCOMPARE(sim.output.count(QRegularExpression(" received \\S+ RMCP Presence Ping, seq 255, tag \\d+: ")), 2);
        QVERIFY2(sim.output.endsWith("velquor-sim: stopped after 2 datagrams received and 2 sent\n"), qPrintable(sim.output));
    }
};

QTEST_GUILESS_MAIN(TestVelquorSim)
#include "sim_process.moc"
