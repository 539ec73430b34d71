// velquor-check --rmcp / --rsp run as a program: output, exit status, and
// the choice of datagrams in a capture file.

#include "core/logfileformat.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpcompose.h"
#include "support/pcapwriter.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "support/toolrun.h"

using namespace velquor::rmcp;

namespace {

using Run = velquor::test::ToolRun;
const auto check = velquor::test::runCheckTool;

const QString dashes = QString(84, QLatin1Char('-'));

} // namespace

class TestVelquorCheckRmcp : public QObject
{
    Q_OBJECT

private slots:
    void knownMessage();
    void blockAsTheLogSavesIt();
    void exitStatus_data();
    void exitStatus();
    void captureMixesPorts();
};

void TestVelquorCheckRmcp::knownMessage()
{
    // An acknowledge behind an RSP header outside a session: no trailer lines, no ASF header lines.
    const Run r = check({"--rsp", "--hex", "00000000 00000009 06000586"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, dashes + "\n"
                    "|     1 - RMCP/RSP - 00:00:00:000 - received\n"
                    "|     status/info: Acknowledge\t\n"
                    "\n"
                    "\tRSP Session ID :\t00 00 00 00\t\n"
                    "\tRSP Sequence Number :\t00 00 00 09\t\n"
                    "\tVersion:\t\t\t0x06\t\n"
                    "\tReserved1 :\t\t0x00\t\n"
                    "\tSequence Number :\t0x05\t\n"
                    "\tMessage Class :\t\t0x86\t\n"
                    " Packet Hex Dump (size 12):\n"
                    " ----\n"
                    "    0 - 15:    00 00 00 00  00 00 00 09  06 00 05 86\n"
                    " ----\n"
                    "\n"
                    "|\n"
                        + dashes + "\n");
}

// The block a saved log holds for the record, for messages with every part:
// trailer findings, decoded and undecoded data.
void TestVelquorCheckRmcp::blockAsTheLogSavesIt()
{
    RspWrap wrap;
    wrap.sessionId = 7;
    wrap.padLength = 3;
    const QByteArray state = composeMessage({.messageType = 0x42, .dataLength = 6, .data = QByteArray::fromHex("03fe1234aabb")});
    for (const QByteArray &bytes : {composeRspMessage(state, wrap), composeRequest(SendListRequest::Reset, 1, 2) + "x"}) {
        const bool rsp = bytes.startsWith(QByteArray(3, '\0'));
        const Run r = check({rsp ? "--rsp" : "--rmcp", "--hex", QString::fromLatin1(bytes.toHex())});
        QCOMPARE(r.exitCode, 2);
        ASF_RMCP_Packet packet;
        packet.setProtocolType(rsp ? 4 : 3);
        packet.setData(bytes);
        const auto row = velquor::logRowTexts(1, rsp ? "RMCP/RSP" : "RMCP", 0, 0, packet.info());
        QCOMPARE(r.out, velquor::logfile::block(row, packet.textForm()));
    }
}

void TestVelquorCheckRmcp::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("info");
    QTest::newRow("ok") << QStringList{"--rmcp", "--hex", "06 00 05 06 00 00 11 be 80 07 00 00"} << 0
                        << "Presence Ping\t";
    QTest::newRow("warning") << QStringList{"--rmcp", "--hex", "060005060000 11be 8307 0018" + QString(48, '0')} << 1
                             << "Open Session Request\t -Warning: Check  data size for type of message";
    QTest::newRow("error") << QStringList{"--rmcp", "--hex", "05 00 05 86"} << 2 << "Acknowledge\t -error: Version";
}

void TestVelquorCheckRmcp::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, info);
    const Run r = check(arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.out.contains("|     status/info: " + info + "\n"), qPrintable(r.out));
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
        const QStringList heads = r.out.split(QLatin1Char('\n')).filter(QRegularExpression("^\\|     \\S"));
        QCOMPARE(heads, QStringList({"|     1 - RMCP - 00:00:00:000 - received",
                                     "|     status/info: Presence Ping\t",
                                     "|     2 - RMCP - 00:00:00:250 - received",
                                     "|     status/info: Acknowledge\t",
                                     "|     3 - RMCP/RSP - 00:00:01:000 - received",
                                     "|     status/info: Presence Ping\t",
                                     "|     4 - RMCP/RSP - 00:00:02:500 - received",
                                     "|     status/info: Unkown message type\t -error: Unkown message type"
                                     " -error: Version -error: IANA Enterprise Number not set to 0x000011BE"
                                     " -error: Wrong packet size or length of data wrong; got 0 expected 20"}));
    }
}

QTEST_GUILESS_MAIN(TestVelquorCheckRmcp)
#include "rmcp_check.moc"
