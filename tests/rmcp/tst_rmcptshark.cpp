// Composed messages read back by an independent decoder (tshark): what we
// put on the wire is what others see, and what our own checks accept.

#include "support/pcapwriter.h"
#include "support/testdata.h"
#include "rmcp/rmcpcheck.h"
#include "rmcp/rmcpcompose.h"
#include "rmcp/rmcptables.h"
#include "core/logclock.h"
#include "core/randomsource.h"
#include "core/trace.h"
#include "rmcp/asfrmcppacket.h"
#include "rsp/rspmachine.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace velquor;
using namespace velquor::rmcp;

namespace {

using velquor::test::hex;

struct Sample
{
    const char *name;
    CapturedUdp datagram;
    int protocolType;
    // As composed: sequence number, class, ack bit, message type, tag, data
    // length, RSP session ID and sequence number, in tshark's notation.
    const char *fields;
};

QByteArray message(quint8 type, quint8 sequenceNr, quint8 tag, const QByteArray &data)
{
    return composeMessage({.sequenceNr = sequenceNr, .messageType = type, .messageTag = tag,
                           .dataLength = quint8(data.size()), .data = data});
}

QByteArray wrapped(quint32 session, quint32 sequence, const QByteArray &msg)
{
    RspWrap wrap;
    wrap.sessionId = session;
    wrap.sequenceNumber = sequence;
    wrap.trailer = session != 0;
    wrap.integrityData = falseIntegrityData();
    return composeRspMessage(msg, wrap);
}

// What the session library writes: a Presence Ping outside any session,
// then, in a session it is made to believe established, a message it wraps
// and its Close Session Request.
std::vector<QByteArray> sessionDatagrams()
{
    struct Host : rsp::MachineHost
    {
        std::vector<QByteArray> written;
        std::unique_ptr<rsp::Session> createSession(const rsp::SessionSettings &s) override
        {
            return std::make_unique<rsp::Session>(s);
        }
        qint64 write(const QByteArray &d) override
        {
            written.push_back(d);
            return d.size();
        }
        void startSessionTimer(rsp::Session &) override {}
        void stopSessionTimer(rsp::Session &) override {}
        void queueWriteEvent() override {}
        void statusChanged(rsp::Session &) override {}
        void messageWaiting(rsp::Session &) override {}
    } host;
    setTraceEnabled(false);
    ManualLogClock clock;
    SeededRandomSource random(1);
    rsp::QtHmac hmac;
    rsp::RspMachine machine(host, clock, random, hmac);
    machine.initSession({});
    rsp::Session &s = *machine.sessions().front();
    s.phase = rsp::PhaseMsgTransfer;
    s.kx.sidm = hex("a1b2c3d4");
    s.sik = QByteArray(20, '\x5d');
    ASF_RMCP_Packet packet;
    packet.setData(composeRequest(SendListRequest::SystemStateRequest, 7, 9));
    machine.sendMsg(&packet, &s);
    machine.termSession(&s);
    setTraceEnabled(true);
    return host.written;
}

std::vector<Sample> samples()
{
    const std::vector<QByteArray> session = sessionDatagrams();
    ControlOptions options{.specialCommand = 1, .bootOptions = 0x0460};
    const QByteArray openRequest = hex("11 22 33 44 01 00 00 08 01 00 00 00 02 00 00 08 01 00 00 00");
    return {
        {"plain presence ping", {40000, 623, composeRequest(SendListRequest::PresencePing, 5, 7), 0}, 3,
         "0x05|0x06|0x00|0x80|0x07|0||"},
        {"plain reset with options",
         {40000, 623, message(TypeReset, 0xff, 0xff, controlOptionsData(options)), 1000}, 3,
         "0xff|0x06|0x00|0x10|0xff|11||"},
        {"plain acknowledge", {623, 40000, composeAcknowledge(0x2a), 2000}, 3, "0x2a|0x06|0x01|||||"},
        {"rsp open session request, no session",
         {40001, 664, wrapped(0, 0, message(TypeOpenSessionRequest, 0, 1, openRequest)), 3000}, 4,
         "0x00|0x06|0x00|0x83|0x01|20|0x00000000|0x00000000"},
        {"rsp close session response with trailer (pad 1)",
         {664, 40001, wrapped(0xfedcba98, 0x11223344, message(TypeCloseSessionResponse, 9, 3, hex("00"))), 4000}, 4,
         "0x09|0x06|0x00|0x44|0x03|1|0xfedcba98|0x11223344"},
        {"rsp acknowledge with trailer", {40001, 664, wrapped(0x01020304, 6, composeAcknowledge(9)), 5000}, 4,
         "0x09|0x06|0x01||||0x01020304|0x00000006"},
        {"session: presence ping", {40002, 664, session.at(0), 6000}, 4, "0x00|0x06|0x00|0x80|0x01|0|0x00000000|0x00000000"},
        {"session: wrapped request", {40002, 664, session.at(1), 7000}, 4,
         "0x07|0x06|0x00|0x82|0x09|0|0xa1b2c3d4|0x00000001"},
        {"session: close session request", {40002, 664, session.at(2), 8000}, 4,
         "0x02|0x06|0x00|0x84|0x02|0|0xa1b2c3d4|0x00000002"},
    };
}

} // namespace

class TestRmcpTshark : public QObject
{
    Q_OBJECT

private slots:
    void independentDecoderAgrees();
};

void TestRmcpTshark::independentDecoderAgrees()
{
    const QString tshark = QStandardPaths::findExecutable(QStringLiteral("tshark"));
    if (tshark.isEmpty())
        QSKIP("tshark is not installed");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("rmcp.pcap"));
    const std::vector<Sample> all = samples();
    std::vector<CapturedUdp> datagrams;
    for (const Sample &s : all) {
        RmcpFields f;
        PacketFindings findings{QString()};
        QVERIFY2(checkMessage(s.datagram.payload, s.protocolType, f, findings),
                 qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(s.name), findings.info())));
        QCOMPARE(f.haveRspTail, s.protocolType == 4 && f.rspSessionId != 0);
        datagrams.push_back(s.datagram);
    }
    QString error;
    QVERIFY2(writeUdpCapture(file, datagrams, &error), qPrintable(error));

    QProcess process;
    process.start(tshark, {"-r", file, "-d", "udp.port==623,rmcp", "-d", "udp.port==664,rsp", "-T", "fields", "-E",
                           "separator=|", "-e", "rmcp.sequence", "-e", "rmcp.class", "-e", "rmcp.type", "-e",
                           "asf.type", "-e", "asf.tag", "-e", "asf.len", "-e", "rsp.session_id", "-e", "rsp.sequence",
                           "-e", "_ws.malformed", "-e", "_ws.expert"});
    QVERIFY(process.waitForFinished(120000));
    // tshark may warn on stderr (running as root, for one); stdout holds the fields.
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             process.readAllStandardError().constData());
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), int(all.size()));
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList got = lines[i].split(QLatin1Char('|'));
        const QString where = QLatin1String(all[size_t(i)].name) + QLatin1String(": tshark ") + lines[i];
        QCOMPARE(got.size(), 10);
        // The same fields as composed, no malformed or expert notes.
        QVERIFY2(got.mid(0, 8).join('|') == QLatin1String(all[size_t(i)].fields), qPrintable(where));
        QVERIFY2(got[8].isEmpty() && got[9].isEmpty(), qPrintable(where));
    }
}

QTEST_GUILESS_MAIN(TestRmcpTshark)
#include "tst_rmcptshark.moc"
