// velquor-sim run as a program over loopback UDP: answers and their faults,
// option errors, the end on a signal, its traps read by the PET listener,
// and FreeIPMI's rmcpping as a console nobody here wrote.

#include "core/asflogger.h"
#include "core/packetlogmodel.h"
#include "core/trace.h"
#include "pet/asfpethandler.h"
#include "tools/simtest.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUdpSocket>
#include <QtTest>
#include <csignal>

using namespace velquor;

namespace {

// The program on a free port (unless the arguments name one); its first
// line names the port. QProcess kills it if the test has not ended it.
struct Sim
{
    QProcess process;
    quint16 port = 0;
    QString output;

    explicit Sim(const QStringList &arguments)
    {
        process.start(QStringLiteral(VELQUOR_SIM_BINARY), arguments.contains("--port") ? arguments : arguments + QStringList{"--port", "0"});
        while (!process.canReadLine() && process.waitForReadyRead(10000)) {
        }
        output = QString::fromLocal8Bit(process.readLine());
        if (output.startsWith(QLatin1String("velquor-sim: RMCP/ASF on ")))
            port = quint16(output.section(QLatin1Char(' '), -1).trimmed().toUInt());
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
    return simtest::judged(answers);
}

// A Presence Pong as hex, the fields that faults change given.
QString pong(const char *seq, const char *tag, const char *iana = "000011be", const char *length = "10", const char *extra = "")
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
    QUdpSocket holder; // a port taken

private slots:
    void initTestCase()
    {
        setTraceEnabled(false);
        QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));
    }

    // Every request of the send list, the console's acknowledge, the system
    // state after control requests (one with its 11 option bytes); the
    // verbose lines; SIGINT ends it.
    void answersOverLoopback()
    {
        Sim sim({"--verbose"});
        QUdpSocket console;
        QVERIFY(sim.port && console.bind(QHostAddress::LocalHost, 0));
        QCOMPARE(exchange(console, sim.port, "06000706000011be80090000"), QStringList({"06000786", pong("00", "09")}));
        QCOMPARE(exchange(console, sim.port, "06000086"), QStringList()); // the console's acknowledge
        QCOMPARE(exchange(console, sim.port, "06000806000011be81090000"),
                 QStringList({"06000886", "06000106000011be41090010000011be00000000001ff00000000000"}));
        const auto state = [&](const char *control) {
            exchange(console, sim.port, control);
            return exchange(console, sim.port, "0600ff06000011be82020000").value(0).mid(24, 2);
        };
        QCOMPARE(exchange(console, sim.port, "06000006000011be10ff0000"), QStringList{"06000086"}); // Reset
        QCOMPARE(state("0600ff06000011be12ff0000"), "05"); // Unconditional Power-Down: S5 / G2 soft-off
        QCOMPARE(state("0600ff06000011be10ff0000"), "05"); // a Reset does not switch it on
        QCOMPARE(state("0600ff06000011be11ff0000"), "00"); // Power-Up
        QCOMPARE(state("0600ff06000011be12ff0000"), "05");
        QCOMPARE(state("0600ff06000011be13ff000b000011be00000000000000"), "00"); // Power Cycle Reset with options
        QCOMPARE(sim.end(SIGINT), 0);
        const QString peer = QStringLiteral(" 127.0.0.1:%1 RMCP ").arg(console.localPort());
        QVERIFY2(sim.output.contains(" received" + peer + "Presence Ping, seq 7, tag 9: 06000706000011be80090000\n")
                     && sim.output.contains(" sent" + peer + "Acknowledge, seq 7: 06000786\n")
                     && sim.output.endsWith("velquor-sim: stopped after 14 datagrams received and 10 sent\n"),
                 qPrintable(sim.output));
    }

    // Each fault option in the answers to two pings (numbered 5 and 6, tag 7).
    void faultOptions_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("answers");
        const QString a5 = "06000586", a6 = "06000686", p0 = pong("00", "07"), p1 = pong("01", "07");
        QTest::newRow("no-ack") << QStringList{"--no-ack"} << QStringList{p0, p1};
        QTest::newRow("wrong-tag") << QStringList{"--wrong-tag"} << QStringList{a5, pong("00", "08"), a6, pong("01", "08")};
        QTest::newRow("skip-seq") << QStringList{"--skip-seq"} << QStringList{a5, p0, a6, pong("02", "07")};
        QTest::newRow("repeat-seq") << QStringList{"--repeat-seq"} << QStringList{a5, p0, a6, p0};
        QTest::newRow("drop") << QStringList{"--drop", "1"} << QStringList{a6, p0};
        QTest::newRow("twice") << QStringList{"--twice"} << QStringList{a5, a5, p0, p0, a6, a6, p1, p1};
        QTest::newRow("response-first") << QStringList{"--response-first"} << QStringList{p0, a5, p1, a6};
        // Faults the check finds in the pong itself.
        const auto checked = [&](const char *iana, const char *length, const char *extra, const char *finding) {
            const QString f = QStringLiteral(" Presence Pong\t -error: ") + finding;
            return QStringList{a5, pong("00", "07", iana, length, extra) + f, a6, pong("01", "07", iana, length, extra) + f};
        };
        QTest::newRow("iana") << QStringList{"--iana=4543"}
                              << checked("000011bf", "10", "", "IANA Enterprise Number not set to 0x000011BE");
        QTest::newRow("length size") << QStringList{"--wrong-length", "size"}
                                     << checked("000011be", "11", "", "Wrong packet size or length of data wrong; got 28 expected 29");
        QTest::newRow("length type") << QStringList{"--wrong-length", "type"}
                                     << checked("000011be", "11", "00", "Wrong data size for type of message");
    }
    void faultOptions()
    {
        QFETCH(QStringList, options);
        Sim sim(options);
        QUdpSocket console;
        QVERIFY(sim.port && console.bind(QHostAddress::LocalHost, 0));
        QStringList answers = exchange(console, sim.port, ping5);
        answers += exchange(console, sim.port, ping6);
        QTEST(answers, "answers");
    }

    // The times of the verbose lines: the ping, its acknowledge, its response.
    void lateAnswers()
    {
        Sim sim({"--late-ack", "300", "--late", "600", "--verbose"});
        QUdpSocket console;
        QVERIFY(sim.port && console.bind(QHostAddress::LocalHost, 0));
        QCOMPARE(exchange(console, sim.port, ping5, 800), QStringList({"06000586", pong("00", "07")}));
        QCOMPARE(sim.end(SIGINT), 0);
        QList<int> ms;
        for (const QString &line : sim.output.split('\n').filter(QRegularExpression("^\\d\\d:")))
            ms << QTime::fromString(line.left(12), QStringLiteral("hh:mm:ss:zzz")).msecsSinceStartOfDay();
        QCOMPARE(ms.size(), 3);
        QVERIFY2(ms[1] - ms[0] >= 300 && ms[1] - ms[0] < 600 && ms[2] - ms[0] >= 600, qPrintable(sim.output));
    }

    // Bad options: status 2 and a message; a port taken: status 1.
    void refused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown") << QStringList{"--fast"} << 2 << "Unknown option 'fast'.";
        QTest::newRow("no value") << QStringList{"--late"} << 2 << "Missing value after '--late'.";
        QTest::newRow("port") << QStringList{"--port", "65536"} << 2 << "--port wants a whole number from 0 to 65535, not '65536'";
        QTest::newRow("address") << QStringList{"--address", "localhost"} << 2 << "--address wants an IP address, not 'localhost'";
        QTest::newRow("kind") << QStringList{"--wrong-length", "long"} << 2 << "--wrong-length wants 'size' or 'type', not 'long'";
        QTest::newRow("both") << QStringList{"--skip-seq", "--repeat-seq"} << 2 << "choose one of --skip-seq and --repeat-seq";
        QTest::newRow("twice") << QStringList{"-p", "1", "--port", "2"} << 2 << "--port given more than once";
        QTest::newRow("no traps") << QStringList{"--alerts", "3"} << 2 << "--alerts needs --traps";
        QTest::newRow("no rsp") << QStringList{"--rsp-wrong-hash"} << 2 << "--rsp-wrong-hash needs --rsp";
        QTest::newRow("key not hex") << QStringList{"--rsp", "--operator-key", "0g"} << 2
                                     << "--operator-key wants up to 20 bytes as hex digits, not '0g'";
        QTest::newRow("key odd") << QStringList{"--rsp", "--generator-key", "123"} << 2
                                 << "--generator-key wants up to 20 bytes as hex digits, not '123'";
        QTest::newRow("key 21 bytes") << QStringList{"--rsp", "--administrator-key", QString(42, '1')} << 2
                                      << "--administrator-key wants up to 20 bytes as hex digits, not '" + QString(42, '1') + "'";
        QTest::newRow("guid 15 bytes") << QStringList{"--rsp", "--guid", QString(30, 'a')} << 2
                                       << "--guid wants 16 bytes as hex digits, not '" + QString(30, 'a') + "'";
        QTest::newRow("status") << QStringList{"--rsp", "--rsp-status", "256"} << 2
                                << "--rsp-status wants a whole number from 0 to 255, not '256'";
        QTest::newRow("user") << QStringList{"--rsp", "--rsp-users", "a,abcdefghijklmnopq"} << 2
                              << "--rsp-users wants names of up to 16 Latin-1 characters, not 'abcdefghijklmnopq'";
        QTest::newRow("rsp port taken") << QStringList{"--port", "0", "--rsp", "--rsp-port", QString::number(holder.localPort())} << 1
                                        << QStringLiteral("cannot bind 127.0.0.1 port %1 (error: device is already bound)").arg(holder.localPort());
        QTest::newRow("taken") << QStringList{"--port", QString::number(holder.localPort())} << 1
                               << QStringLiteral("cannot bind 127.0.0.1 port %1 (error: device is already bound)").arg(holder.localPort());
    }
    void refused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QProcess p;
        p.start(QStringLiteral(VELQUOR_SIM_BINARY), arguments);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), status);
        QFETCH(QString, message);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardError()),
                 "velquor-sim: " + message + (status == 2 ? "\nTry 'velquor-sim --help'.\n" : "\n"));
        QVERIFY(p.readAllStandardOutput().isEmpty());
    }

    // The PET listener over loopback: an alert asked for with SIGUSR1 and its
    // two retransmissions, then heartbeats on time; nothing but what a
    // correct client gets. SIGTERM ends it as SIGINT does.
    void trapsToThePetListener()
    {
        SystemLogClock clock;
        ASF_PET_Handler pet(&clock);
        QCOMPARE(pet.listen({QHostAddress::LocalHost, 0}), pet::ListenerState::Listening);
        Sim sim({"--traps", "--trap-port", QString::number(pet.socket()->localPort()), "--heartbeat-interval", "1500",
                 "--alert-spacing", "200"});
        QVERIFY(sim.port);
        pet.applyHeartbeatSettings({QHostAddress::LocalHost, 0, true, 1500, 0.01f}); // as its interval runs; 600 ms tolerance
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
        QCOMPARE(sim.end(SIGTERM), 0);
        QVERIFY(sim.output.contains(QRegularExpression("velquor-sim: stopped after 0 datagrams received and \\d+ sent\n$")));
    }

    // FreeIPMI's rmcpping has no port option: the simulator takes port 623.
    void rmcppingGetsPongs()
    {
        const QString rmcpping = QStandardPaths::findExecutable(QStringLiteral("rmcpping"), {"/usr/sbin", "/usr/bin", "/sbin"});
        if (rmcpping.isEmpty())
            QSKIP("rmcpping (Debian package freeipmi-tools) is not installed");
        Sim sim({"--port", "623", "--verbose"});
        if (!sim.port && sim.process.waitForFinished(10000))
            QSKIP(qPrintable("velquor-sim could not bind 127.0.0.1 port 623 (needs root or the port is in use): "
                             + QString::fromLocal8Bit(sim.process.readAllStandardError()).trimmed()));
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
