// velquor-sim's secure port as a program over loopback UDP, driven by the
// console's session library: sessions with and without acknowledges,
// secured requests and retransmission, what the simulator falsifies found
// by the console, a refused creation, and the time-outs when the simulator
// is gone. (What the console falsifies is dropped: sim_rsp.cpp.)

#include "core/trace.h"
#include "tools/simrsp.h"

#include <QProcess>
#include <QtTest>
#include <csignal>

using namespace velquor;
using simrsp::Console;

namespace {

// The program with RSP on free ports, the keys the console uses, verbose;
// its first lines name the ports.
struct Sim
{
    QProcess process;
    quint16 rspPort = 0;
    QString output;

    explicit Sim(const QStringList &extra = {})
    {
        process.start(QStringLiteral(VELQUOR_SIM_BINARY),
                      QStringList{"--port", "0", "--rsp", "--rsp-port", "0", "--verbose", "--operator-key",
                                  simrsp::operatorKey.toHex(), "--administrator-key", simrsp::administratorKey.toHex(),
                                  "--generator-key", simrsp::generatorKey.toHex()}
                          + extra);
        for (int lines = 0; lines < 2;) {
            if (!process.canReadLine() && !process.waitForReadyRead(10000))
                return;
            const QString line = QString::fromLocal8Bit(process.readLine());
            output += line;
            ++lines;
            if (line.startsWith(QLatin1String("velquor-sim: RSP on ")))
                rspPort = quint16(line.section(QLatin1Char(' '), -1).trimmed().toUInt());
        }
    }
    int end(int signal)
    {
        ::kill(pid_t(process.processId()), signal);
        const bool ended = process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit;
        output += QString::fromLocal8Bit(process.readAllStandardOutput());
        return ended ? process.exitCode() : -1;
    }
};

QStringList kinds(const QStringList &messages)
{
    QStringList out;
    for (const QString &hex : messages) {
        const QByteArray m = QByteArray::fromHex(hex.toLatin1());
        out << (m.size() >= 4 && (quint8(m[3]) & 0x80) ? QStringLiteral("ack %1").arg(quint8(m[2]))
                                                        : QStringLiteral("%1").arg(quint8(m.size() > 8 ? m[8] : 0), 2, 16, QLatin1Char('0')));
    }
    return out;
}

} // namespace

class TestSimRspProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setTraceEnabled(false); }

    // A whole session, seen from both ends.
    void session_data()
    {
        QTest::addColumn<bool>("noAck");
        QTest::newRow("acknowledged") << false;
        QTest::newRow("no acknowledges") << true;
    }
    void session()
    {
        QFETCH(bool, noAck);
        Sim sim;
        QVERIFY2(sim.rspPort, qPrintable(sim.output));
        Console console(sim.rspPort);
        QCOMPARE(console.open(noAck), 0);
        const quint8 seq = noAck ? 255 : 9;
        ASF_RMCP_Packet *ping = console.send(0x80, 1, seq);
        QVERIFY(ping && console.send(0x81, 2, seq) && console.send(0x82, 3, seq));
        QVERIFY(console.rsp->sendMsg(ping, console.session()));
        const QStringList answered = noAck ? QStringList{"40", "41", "42", "40"}
                                           : QStringList{"ack 9", "40", "ack 9", "41", "ack 9", "42", "ack 9", "40"};
        QCOMPARE(kinds(console.messages(0, answered.size())), answered);

        QCOMPARE(console.close(), 2);
        QVERIFY2(console.errors().isEmpty(), qPrintable(console.errors().join('|')));
        QCOMPARE(sim.end(SIGINT), 0);
        QVERIFY2(sim.output.contains(QLatin1String("Close Session Request")) && sim.output.contains(QLatin1String("(session closed)")),
                 qPrintable(sim.output));
    }

    // Faults of the simulator, found by the console.
    void faults_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("created");
        QTest::addColumn<QStringList>("findings");
        QTest::newRow("status 11") << QStringList{"--rsp-status", "11"} << 1 << QStringList{"error: Status Code"};
        QTest::newRow("replayed") << QStringList{"--rsp-replay"} << 0
                                  << QStringList(2, "error: reused Sequence Number");
        QTest::newRow("stale") << QStringList{"--rsp-stale"} << 0
                               << QStringList{"error: Sequence number outside of window 70 - 101"};
        QTest::newRow("bad integrity") << QStringList{"--rsp-bad-integrity"} << 0
                                       << QStringList(2, "error: Integrity data mismatch");
    }
    void faults()
    {
        QFETCH(QStringList, options);
        QFETCH(int, created);
        QFETCH(QStringList, findings);
        Sim sim(options);
        QVERIFY2(sim.rspPort, qPrintable(sim.output));
        Console console(sim.rspPort);
        QCOMPARE(console.open(), created);
        if (created == 0) {
            QVERIFY(console.send(0x80, 1, 4));
            QVERIFY(Console::waitFor([&] { return console.errors().size() >= findings.size(); }));
            Console::idle(200);
        }
        QStringList found;
        for (const QString &info : console.errors())
            found << info.mid(info.lastIndexOf(QLatin1String(" -error: ")) + 2);
        QCOMPARE(found, findings);
        QCOMPARE(sim.end(SIGTERM), 0);
    }

    // The simulator killed: secured requests go unanswered, the close and a
    // new creation end by the time-out.
    void killed()
    {
        Sim sim;
        QVERIFY2(sim.rspPort, qPrintable(sim.output));
        Console console(sim.rspPort);
        console.period = 500;
        QCOMPARE(console.open(), 0);
        sim.process.kill();
        QVERIFY(sim.process.waitForFinished(10000));
        QVERIFY(console.send(0x80, 1, 2));
        Console::idle(300);
        QCOMPARE(console.received.size(), size_t(0));
        QCOMPARE(console.close(), 3);
        QCOMPARE(console.session()->getInfo(), QStringLiteral("error: no answer within 500 ms"));
        QCOMPARE(console.open(), 1);
        QCOMPARE(console.session()->getInfo(), QStringLiteral("error: no answer within 500 ms"));
    }
};

QTEST_GUILESS_MAIN(TestSimRspProcess)
#include "sim_rsp_process.moc"
