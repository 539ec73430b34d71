// The RMCP handler and the PET listener against velquor-sim run as its own
// process over loopback UDP: every request of the send list, the tracking
// texts for each fault the simulator can put into its answers, and the
// listener's analysis of its heartbeats and alerts. Then OpenIPMI's
// ipmi_sim as a managed client nobody here wrote. Everything waits on what
// the log shows, with generous limits for a loaded machine.

#include "core/asflogger.h"
#include "core/logclock.h"
#include "core/packetlogmodel.h"
#include "core/trace.h"
#include "pet/asfpethandler.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpconnection.h"

#include <QProcess>
#include <QScopeGuard>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

using namespace velquor;
using Handler = ASF_RMCP_Handler;

namespace {

constexpr int Patience = 20000; // ms for anything to arrive

// velquor-sim on a free port; QProcess kills it at the end.
struct Sim
{
    QProcess process;
    quint16 port = 0;

    explicit Sim(const QStringList &arguments)
    {
        process.start(QStringLiteral(VELQUOR_SIM_BINARY), arguments + QStringList{"--port", "0"});
        while (!process.canReadLine() && process.waitForReadyRead(Patience)) {
        }
        const QString line = QString::fromLocal8Bit(process.readLine());
        if (line.startsWith(QLatin1String("velquor-sim: RMCP/ASF on ")))
            port = quint16(line.section(QLatin1Char(' '), -1).trimmed().toUInt());
    }
    ~Sim()
    {
        process.terminate();
        process.waitForFinished(Patience);
    }
};

// A log's rows as "direction status info", times and numbers made "T" so
// runs compare.
QStringList rows(const PacketLogModel *log, int from = 0)
{
    static const QRegularExpression times(QStringLiteral("\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d|(?<=at )\\d+"));
    QStringList out;
    for (int row = from; row < log->size(); ++row) {
        const LogRowTexts t = log->rowTexts(row);
        const int s = log->rowStatus(row);
        out << QStringLiteral("%1 %2 %3").arg(t.direction, s == ASF_PACKET_OK ? "ok" : s == ASF_PACKET_WARNING ? "warn" : "ERR",
                                              QString(t.info).replace(times, QStringLiteral("T")));
    }
    return out;
}

// An RMCP page connected to 127.0.0.1:port.
struct Page
{
    SystemLogClock clock;
    Handler handler{&clock};

    Page(quint16 port, bool retransmission = false, int responseMs = 2000, int repeats = 3)
    {
        rmcp::RmcpSettings s;
        s.address = QStringLiteral("127.0.0.1");
        s.retransmissionOn = retransmission;
        s.responseTime = QString::number(responseMs);
        s.repeats = QString::number(repeats);
        handler.connection()->setPlainPort(port);
        handler.setConfig(s);
        handler.connection()->connectToClient();
    }
    PacketLogModel *log() const { return handler.logger()->model(); }
    // A request with automatic numbers unless given (255: none wanted).
    void send(quint8 type, int seq = -1, int tag = -1, const QString &data = {})
    {
        handler.sendPacketRsp(6, 0, seq >= 0, quint8(seq), 6, 4542, type, tag >= 0, quint8(tag), 0,
                              quint8(data.size() / 2), data, Handler::RSP_NONE);
    }
    // Waits until the tracking has ended and the log holds at least count rows.
    bool settled(int count)
    {
        return QTest::qWaitFor([&] { return !handler.tracker().tracking() && log()->size() >= count; }, Patience);
    }
};

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setTraceEnabled(false); }

    // The send list in order against a correct client; the system state it
    // reports follows the control requests.
    void everyRequestType()
    {
        Sim sim({});
        QVERIFY(sim.port);
        Page page(sim.port);
        struct Step
        {
            quint8 type;
            int tag; // 255 for the control requests, which get no response
            QString answer;
            int state; // the System State Response's state byte, -1 for others
        };
        const QList<Step> steps{
            {0x80, -1, "Presence Pong", -1},           {0x81, -1, "Capabilities Response", -1},
            {0x82, -1, "System State Response", 0},    {0x10, 255, {}, -1}, // Reset
            {0x12, 255, {}, -1},                       {0x82, -1, "System State Response", 5}, // Power-Down: S5
            {0x11, 255, {}, -1},                       {0x82, -1, "System State Response", 0}, // Power-Up
            {0x13, 255, {}, -1},                       {0x82, -1, "System State Response", 0}, // Power Cycle
        };
        for (const Step &step : steps) {
            const int before = page.log()->size();
            page.send(step.type, -1, step.tag);
            // Request, acknowledge, response and the console's acknowledge of it.
            const int count = step.answer.isEmpty() ? 2 : 4;
            QVERIFY(page.settled(before + count));
            QTest::qWait(50); // nothing more may follow
            const QStringList got = rows(page.log(), before);
            QCOMPARE(got.size(), count);
            QVERIFY2(got[1] == "received ok Acknowledge\t -Ack for packet sent at T", qPrintable(got.join('\n')));
            if (!step.answer.isEmpty()) {
                QCOMPARE(got[2], "received ok " + step.answer + "\t -Response for packet sent at T");
                QCOMPARE(got[3].left(11), QStringLiteral("sent ok Ack"));
            }
            if (step.state >= 0) {
                const auto *response = qobject_cast<ASF_RMCP_Packet *>(page.log()->packetAt(before + 2));
                QCOMPARE(int(quint8(response->data().at(12))), step.state);
            }
        }
        for (int row = 0; row < page.log()->size(); ++row)
            QCOMPARE(page.log()->rowStatus(row), ASF_PACKET_OK);
    }

    // Faults in the client's answers: what the page logs for one or two
    // requests (the next sent when the previous one is done).
    void faults_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("seq"); // -1: automatic
        QTest::addColumn<int>("requests");
        QTest::addColumn<bool>("retransmission");
        QTest::addColumn<int>("responseMs");
        QTest::addColumn<QStringList>("log");
        const QString ping = "sent ok Presence Ping\t", ack = "received ok Acknowledge\t -Ack for packet sent at T",
                      pong = "received ok Presence Pong\t -Response for packet sent at T", acked = "sent ok Acknowledge\t";
        const auto again = [](int n, const char *what) {
            return QStringLiteral("sent warn Retransmission %1 for packet sent at T; waiting for %2").arg(n).arg(what);
        };
        QTest::newRow("no ack wanted") << QStringList{"--no-ack"} << 255 << 1 << false << 2000 << QStringList{ping, pong, acked};
        QTest::newRow("no ack given")
            << QStringList{"--no-ack"} << -1 << 1 << false << 1000
            << QStringList{ping, "received ERR Presence Pong\t -Out of state packet, expecting acknowledge", acked,
                           "sent ERR Packet sent at T FAILED (after 0 retransmissions), while waiting for acknowledge"};
        QTest::newRow("drop 2") << QStringList{"--drop", "2"} << -1 << 1 << true << 700
                                << QStringList{ping, again(1, "acknowledge"), again(2, "acknowledge"), ack, pong, acked};
        QTest::newRow("never answers")
            << QStringList{"--drop", "100"} << -1 << 1 << true << 500
            << QStringList{ping, again(1, "acknowledge"), again(2, "acknowledge"), again(3, "acknowledge"),
                           "sent ERR Packet sent at T FAILED (after 3 retransmissions), while waiting for acknowledge"};
        QTest::newRow("wrong tag")
            << QStringList{"--wrong-tag"} << -1 << 1 << false << 1000
            << QStringList{ping, ack, "received ERR Presence Pong\t -Received Response but wrong message tag", acked,
                           "sent ERR Packet sent at T FAILED (after 0 retransmissions), while waiting for response"};
        QTest::newRow("skipped number")
            << QStringList{"--skip-seq"} << -1 << 2 << false << 2000
            << QStringList{ping, ack, pong, acked, ping, ack, "received warn Presence Pong\t -warning: wrong sequence # -Response for packet sent at T", acked};
        QTest::newRow("repeated number")
            << QStringList{"--repeat-seq"} << -1 << 2 << false << 2000
            << QStringList{ping, ack, pong, acked, ping, ack, "received warn Presence Pong\t -warning: wrong sequence # -Response for packet sent at T", acked};
        QTest::newRow("twice")
            << QStringList{"--twice"} << -1 << 1 << false << 2000
            << QStringList{ping, ack, "received ERR Acknowledge\t -Out of state packet, expecting Response", pong, acked,
                           "received ERR Presence Pong\t -warning: wrong sequence # -Out of state packet, not expecting anything", acked};
        QTest::newRow("late response")
            << QStringList{"--late", "3000"} << -1 << 1 << false << 1000
            << QStringList{ping, ack, "sent ERR Packet sent at T FAILED (after 0 retransmissions), while waiting for response",
                           "received ERR Presence Pong\t -Out of state packet, not expecting anything", acked};
    }
    void faults()
    {
        QFETCH(QStringList, options);
        QFETCH(int, seq);
        QFETCH(int, requests);
        QFETCH(bool, retransmission);
        QFETCH(int, responseMs);
        QFETCH(QStringList, log);
        Sim sim(options);
        QVERIFY(sim.port);
        Page page(sim.port, retransmission, responseMs);
        for (int i = 0; i < requests; ++i) {
            page.send(0x80, seq);
            QVERIFY(page.settled(0));
        }
        QTRY_VERIFY_WITH_TIMEOUT(page.log()->size() >= log.size(), Patience);
        QTest::qWait(300); // nothing more may follow
        const QStringList got = rows(page.log());
        QVERIFY2(got == log, qPrintable(got.join('\n')));
    }

    // The PET listener: the simulator's traps and the analysis lines they
    // give. Heartbeat checking (2 s, 0.6 s tolerance) starts on the first
    // heartbeat, so the simulator's start-up time does not count.
    void traps_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("heartbeatCheck");
        QTest::addColumn<QStringList>("log");
        const QString again = "received ok retransmission (%1) for packet received at T";
        QTest::newRow("alert") << QStringList{"--alerts", "1"} << false
                               << QStringList{"received ok  ", again.arg(1), again.arg(2)};
        QTest::newRow("changed retransmission")
            << QStringList{"--alerts", "1", "--alert-retransmissions", "1", "--changed-retransmissions"} << false
            << QStringList{"received ok  ", "received ERR error: same sequence nr. but different contents within 1 min."};
        QTest::newRow("malformed") << QStringList{"--alerts", "1", "--alert-retransmissions", "0", "--malformed-traps"} << false
                                   << QStringList{"received ERR   -error: PDU Type not TRAP-V1 (4), got a7"};
        QTest::newRow("missed heartbeat")
            << QStringList{"--heartbeat-interval", "2000", "--miss-heartbeats", "2"} << true
            << QStringList{"received ok Heartbeat", " ERR error: heartbeat missing, expected at T", "received ok Heartbeat"};
    }
    void traps()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, heartbeatCheck);
        QFETCH(QStringList, log);
        SystemLogClock clock;
        ASF_PET_Handler pet(&clock);
        QCOMPARE(pet.listen({QHostAddress::LocalHost, 0}), pet::ListenerState::Listening);
        Sim sim(QStringList{"--traps", "--trap-port", QString::number(pet.socket()->localPort()), "--alert-spacing", "200"} + options);
        QVERIFY(sim.port);
        PacketLogModel *got = pet.logger()->model();
        if (heartbeatCheck) {
            QTRY_COMPARE_WITH_TIMEOUT(got->size(), 1, Patience);
            pet.applyHeartbeatSettings({QHostAddress::LocalHost, 0, true, 2000, 0.01f});
        }
        QTRY_VERIFY_WITH_TIMEOUT(got->size() >= log.size(), Patience);
        QTest::qWait(300);
        QStringList shown = rows(got);
        for (QString &row : shown)
            row = row.section(QLatin1Char('\n'), 0, 0); // the first line of each info
        QVERIFY2(shown == log, qPrintable(shown.join('\n')));
    }

    // OpenIPMI's BMC simulator answers a Presence Ping on its LAN port but
    // never acknowledges, numbers its pong 255 and asks for no acknowledge.
    // A ping that wants no acknowledge gets a clean response; one that
    // wants one is reported as unacknowledged.
    void ipmiSimPong_data()
    {
        QTest::addColumn<int>("seq");
        QTest::addColumn<QStringList>("log");
        const QString pong = "received warn Presence Pong\t -Sequence Nr. is 255, no Acknowledge";
        QTest::newRow("no acknowledge wanted") << 255 << QStringList{"sent ok Presence Ping\t", pong + " -Response for packet sent at T"};
        QTest::newRow("acknowledge wanted")
            << -1
            << QStringList{"sent ok Presence Ping\t", "received ERR Presence Pong\t -Sequence Nr. is 255, no Acknowledge -Out of state packet, expecting acknowledge",
                           "sent ERR Packet sent at T FAILED (after 0 retransmissions), while waiting for acknowledge"};
    }
    void ipmiSimPong()
    {
        QFETCH(int, seq);
        QFETCH(QStringList, log);
        const QString program = QStandardPaths::findExecutable(QStringLiteral("ipmi_sim"));
        if (program.isEmpty())
            QSKIP("ipmi_sim (Debian package openipmi) is not installed");
        QTemporaryDir dir;
        QVERIFY(dir.isValid() && QDir(dir.path()).mkdir(QStringLiteral("state")));
        QUdpSocket probe; // a free port for it, given back just before it starts
        QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
        const quint16 port = probe.localPort();
        probe.close();
        const auto write = [&](const char *name, const QString &text) {
            QFile f(dir.filePath(QLatin1String(name)));
            return f.open(QIODevice::WriteOnly) && f.write(text.toLatin1()) == text.size();
        };
        // A BMC with one LAN channel and no users: enough for RMCP pings.
        QVERIFY(write("lan.conf", QStringLiteral("name \"velquor\"\nset_working_mc 0x20\n  startlan 1\n    addr 127.0.0.1 %1\n"
                                                 "    priv_limit admin\n    guid a123456789abcdefa123456789abcdef\n  endlan\n")
                                      .arg(port)));
        QVERIFY(write("bmc.emu", QStringLiteral("mc_setbmc 0x20\nmc_add 0x20 0 no-device-sdrs 0x23 9 8 0x9f 0x1291 0xf02\nmc_enable 0x20\n")));
        QProcess sim;
        sim.setWorkingDirectory(dir.path());
        sim.start(program, {"-c", "lan.conf", "-f", "bmc.emu", "-s", dir.filePath(QStringLiteral("state")), "-n"});
        if (!sim.waitForStarted(Patience))
            QSKIP(qPrintable("ipmi_sim did not start: " + sim.errorString()));
        const auto end = qScopeGuard([&] {
            sim.terminate();
            sim.waitForFinished(Patience);
        });
        // Ready when it answers a ping of its own.
        probe.bind(QHostAddress::LocalHost, 0);
        bool ready = false;
        for (int i = 0; i < 20 && !ready && sim.state() == QProcess::Running; ++i) {
            probe.writeDatagram(QByteArray::fromHex("0600ff06000011be80fe0000"), QHostAddress::LocalHost, port);
            ready = probe.waitForReadyRead(500);
        }
        if (!ready)
            QSKIP(qPrintable(QStringLiteral("ipmi_sim did not answer a ping on 127.0.0.1 port %1 (exit %2): %3")
                                 .arg(port)
                                 .arg(sim.exitCode())
                                 .arg(QString::fromLocal8Bit(sim.readAllStandardError() + sim.readAllStandardOutput()).trimmed())));
        Page page(port, false, 1000);
        page.send(0x80, seq);
        QVERIFY(page.settled(log.size()));
        QTest::qWait(300);
        const QStringList got = rows(page.log());
        for (const QString &row : got)
            qInfo("%s", qPrintable(row));
        const auto *pong = qobject_cast<ASF_RMCP_Packet *>(page.log()->packetAt(1));
        qInfo("pong: %s", pong->data().toHex(' ').constData());
        QVERIFY2(got == log, qPrintable(got.join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
