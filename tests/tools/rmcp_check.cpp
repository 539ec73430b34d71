// velquor-check --rmcp / --rsp run as a program: output, exit status, and
// the choice of datagrams in a capture file.

#include "pcapwriter.h"
#include "rmcpcompose.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace velquor::rmcp;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run check(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(VELQUOR_CHECK_BINARY), arguments);
    Run r;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = process.exitCode();
    r.out = QString::fromLatin1(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

const QString dashes = QString(84, QLatin1Char('-'));

} // namespace

class TestVelquorCheckRmcp : public QObject
{
    Q_OBJECT

private slots:
    void knownMessage();
    void exitStatus_data();
    void exitStatus();
    void captureMixesPorts();
};

void TestVelquorCheckRmcp::knownMessage()
{
    const Run r = check({"--rmcp", "--hex", "06 00 05 06 00 00 11 be 80 07 00 00"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, dashes + "\n"
                    "|     1 - RMCP - 00:00:00:000 - received\n"
                    "|     status/info: Presence Ping\t\n"
                    "\n"
                    "\tVersion:\t\t\t0x06\t\n"
                    "\tReserved1 :\t\t0x00\t\n"
                    "\tSequence Number :\t0x05\t\n"
                    "\tMessage Class :\t\t0x06\t\n"
                    "\tIANA Enterprise # :\t00 00 11 BE\t\n"
                    "\tMessage Type :\t\t0x80\tPresence Ping\n"
                    "\tMessage Tag :\t\t0x07\t\n"
                    "\tReserved2 :\t\t0x00\t\n"
                    "\tData Length :\t\t0x00\t\n"
                    "\tData:\t\n"
                    "\t----\n"
                    " Packet Hex Dump (size 12):\n"
                    " ----\n"
                    "    0 - 15:    06 00 05 06  00 00 11 BE  80 07 00 00\n"
                    " ----\n"
                    "\n"
                    "|\n"
                        + dashes + "\n");

    // The same bytes behind an RSP header, read with --rsp.
    const Run rsp = check({"--rsp", "--hex", "00000000 00000001 060005060000 11be 8007 0000"});
    QCOMPARE(rsp.exitCode, 0);
    QVERIFY(rsp.out.contains("|     1 - RMCP/RSP - 00:00:00:000 - received\n|     status/info: Presence Ping\t\n"));
    QVERIFY(rsp.out.contains("\tRSP Sequence Number :\t00 00 00 01\t\n"));
}

void TestVelquorCheckRmcp::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("info");
    QTest::newRow("ok") << QStringList{"--rmcp", "--hex", "06 00 05 86"} << 0 << "Acknowledge\t";
    QTest::newRow("warning") << QStringList{"--rmcp", "--hex", "060005060000 11be 8307 0018" + QString(48, '0')} << 1
                             << "Open Session Request\t -Warning: Check  data size for type of message";
    QTest::newRow("error") << QStringList{"--rmcp", "--hex", "05 00 05 86"} << 2 << "Acknowledge\t -error: Version";
    QTest::newRow("one byte") << QStringList{"--rmcp", "--hex", "06"} << 2
                              << "Unkown message type\t -error: Unkown message type"
                                 " -error: IANA Enterprise Number not set to 0x000011BE"
                                 " -error: Wrong packet size or length of data wrong; got 1 expected 12";
    QTest::newRow("rsp trailer cut")
        << QStringList{"--rsp", "--hex", "00000001 00000001 060005060000 11be 8007 0000 0000 02"} << 2
        << "Presence Ping\t -error: Wrong packet size, length of data wrong or wrong rsp trailer size;"
           " got 23 expected 36";
    QTest::newRow("odd hex") << QStringList{"--rmcp", "--hex", "060"} << 3 << QString();
    QTest::newRow("no such file") << QStringList{"--rsp", "/nonexistent/capture.pcap"} << 3 << QString();
}

void TestVelquorCheckRmcp::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, info);
    const Run r = check(arguments);
    QCOMPARE(r.exitCode, exitCode);
    if (exitCode == 3) {
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.startsWith(QLatin1String("velquor-check: ")));
    } else {
        QVERIFY2(r.out.contains("|     status/info: " + info + "\n"), qPrintable(r.out));
    }
}

void TestVelquorCheckRmcp::captureMixesPorts()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("mixed.pcap"));
    RspWrap wrap;
    wrap.sessionId = 0x01020304;
    wrap.sequenceNumber = 2;
    const QByteArray ping = composeRequest(SendListRequest::PresencePing, 5, 7);
    const std::vector<CapturedUdp> datagrams{
        {40000, 623, ping, 1000000},
        {53, 40000, QByteArray("not ours"), 1100000},
        {623, 40000, composeAcknowledge(5), 1250000},
        {40001, 664, composeRspMessage(ping, wrap), 2000000},
        {664, 40001, QByteArray(), 3500000}, // empty datagram: still a record with findings
        {40002, 161, composeAcknowledge(1), 4000000},
    };
    QString error;
    QVERIFY2(writeUdpCapture(file, datagrams, &error), qPrintable(error));

    // --rmcp and --rsp read a capture the same way: the ports decide.
    for (const char *option : {"--rmcp", "--rsp"}) {
        const Run r = check({option, file});
        QCOMPARE(r.exitCode, 2);
        QStringList heads;
        for (const QString &line : r.out.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("|     ")) && !line.startsWith(QLatin1String("|     status")))
                heads << line;
        }
        QCOMPARE(heads, QStringList({"|     1 - RMCP - 00:00:00:000 - received",
                                     "|     2 - RMCP - 00:00:00:250 - received",
                                     "|     3 - RMCP/RSP - 00:00:01:000 - received",
                                     "|     4 - RMCP/RSP - 00:00:02:500 - received"}));
        QVERIFY(r.out.contains("|     status/info: Acknowledge\t\n"));
        QVERIFY(r.out.contains("\tRSP Session ID :\t01 02 03 04\t\n"));
        QVERIFY(r.out.contains(" Packet Hex Dump (size 0):\n"));
        QVERIFY(!r.out.contains("not ours"));
    }
}

QTEST_GUILESS_MAIN(TestVelquorCheckRmcp)
#include "rmcp_check.moc"
