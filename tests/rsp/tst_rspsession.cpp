// Session creation and termination against a scripted client: the messages
// on the wire, every check of the client's answers with its texts, time-outs
// and restarts, routing, the random session values, replacing a manager.

#include "rsptest.h"

#include <QSignalSpy>
#include <QtTest>

using namespace rsptest;
using namespace velquor::rsp;
using velquor::rmcp::FieldId;
using velquor::test::TraceCapture;

namespace {

// A check of the client's answer to request `step`: what the test changes
// (bytes written at offset; none: the lowest bit there flipped; offset -1:
// the client hashes with the Operator Key), the field marked, its text, the
// record's info (none: the field's text; "%1": the SIDm) and a trace line.
struct Check
{
    const char *name;
    int step, offset;
    const char *bytes;
    FieldId field;
    const char *fieldText, *info, *trace;
};
const char Iana[] = "error: IANA Enterprise Number not set to 0x000011BE";
constexpr FieldId Data = FieldId::RmcpData;
const Check checks[] = {
    {"header IANA", 0, 15, "bf", FieldId::IanaEnterpriseNr, Iana, nullptr, "ERROR: IANA: real 4543, exp 4542\n"},
    {"type", 0, 16, "41", FieldId::MessageType, "error: expected 0x40", "error: wrong Message Type", "ERROR: MSG TYPE: real 41, exp 40\n"},
    {"tag", 1, 17, "09", FieldId::MessageTag, "error: expected 0x02", "error: wrong Message Tag", "ERROR: MSG TAG: real 09, exp 02\n"},
    {"reserved", 0, 18, "01", FieldId::Reserved2, "error: Reserved field (2) not zero", nullptr, "ERROR: RSVD: real 01, exp 00\n"},
    {"data length", 2, 19, "3b", FieldId::DataLength, "error: expected 0x3c", "error: wrong Data Length", "ERROR: DATA LEN: real 59, exp 60\n"},
    {"pong IANA", 0, 23, "bf", Data, Iana, nullptr, ""},
    {"pong OEM", 0, 27, "01", Data, "error: reserved [2] not zero", nullptr, ""},
    {"pong entities", 0, 28, "82", Data, "error: Supported Entities not ASF Version 1.0", nullptr, ""},
    {"pong interactions 0x81", 0, 29, "81", Data, "error: Supported Interactions not RSP", nullptr, ""},
    {"status", 1, 20, "01", Data, "error: Status Code", nullptr, ""},
    {"status 0, next byte 1", 1, 21, "01", Data, "error: Reserved fields not all zero", nullptr, ""},
    {"SIDm", 1, 27, "", Data, "error: SIDm mismatch", "error: expected SIDm 0x%1", ""},
    {"SIDc 0", 1, 28, "00000000", Data, "error: SIDc invalid", nullptr, ""},
    {"auth type", 1, 32, "02", Data, "error: unsupported Payload Type", nullptr, ""},
    {"auth reserved", 1, 33, "01", Data, "error: Reserved [12] not zero", "error: Reserved not zero", ""},
    {"auth length", 1, 35, "09", Data, "error: wrong Authentication Algorithm payload length ", "error: wrong Authentication Algorithm payload length", ""},
    {"auth algorithm, next byte", 1, 37, "01", Data, "error: unsupported Authentication Algorithm", "error: unsupported Authentication Algorithm expected 0x01", ""},
    {"integrity type", 1, 40, "01", Data, "error: unsupported (Integrity) Payload Type", "error: unsupported Payload Type", "INTG_PAYLOAD -\n"},
    {"integrity reserved", 1, 41, "01", Data, "error: Reserved [22] not zero", "error: Reserved not zero", "  Reserved - not equal to zero\n"},
    {"integrity length", 1, 43, "09", Data, "error: wrong Integrity Algorithm payload length ", "error: wrong Integrity Algorithm payload length", "  INTG_PAYLOAD len - wrong length\n"},
    {"integrity algorithm, next byte", 1, 45, "01", Data, "error: unsupported Integrity Algorithm", "error: unsupported Integrity Algorithm expected 0x01", "  HMAC_SHA1_96 integrity algorithm expected\n"},
    {"two faults: the first counts", 1, 35, "09 01000000 02 01", Data, "error: wrong Authentication Algorithm payload length ", "error: wrong Authentication Algorithm payload length", ""},
    {"RAKP 2 status", 2, 22, "01", Data, "error: Status Code", nullptr, "  -Status Code - shows errors\n"},
    {"RAKP 2 SIDm", 2, 24, "", Data, "error: SIDm mismatch", "error: expected SIDm 0x%1", "  -SIDm - mismatch\n"},
    {"RAKP 2 hash", 2, 79, "", Data, "error: Hash values mismatch", nullptr, "  -hash values mismatch\n"},
    {"RAKP 2 with the Operator Key", 2, -1, "", Data, "error: Hash values mismatch", nullptr, "  -hash values mismatch\n"},
};

} // namespace

class TestRspSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { quietTrace(); }
    void creation_data();
    void creation();
    void answerChecks_data();
    void answerChecks();
    void acknowledgesAndSizes();
    void routing();
    void timeOutsAndRestarts();
    void termination_data();
    void termination();
    void terminationFailures();
    void creationRightAfterClose();
    void sessionIdsAndTags();
    void replacingTheManager();
    void connecting();
};

void TestRspSession::creation_data()
{
    QTest::addColumn<bool>("noAck");
    QTest::addColumn<bool>("clientAcks");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("user");
    QTest::newRow("acknowledged both ways") << false << true << 1 << "tester";
    QTest::newRow("console asks for none, Operator") << true << true << 0 << "tester";
    QTest::newRow("client wants none, no name") << false << false << 1 << "";
    QTest::newRow("17 characters: the empty name") << true << false << 1 << "abcdefghijklmnopq";
}

void TestRspSession::creation()
{
    QFETCH(bool, noAck);
    QFETCH(bool, clientAcks);
    QFETCH(int, role);
    QFETCH(QString, user);
    Bench b;
    b.role = role;
    TraceCapture trace;
    QSignalSpy status(b.rsp.get(), &QRsp::sessionStatus);
    b.upTo(3, noAck, clientAcks, user); // without acknowledges: created once RAKP Message 3 is out
    QRssp *s = b.session();
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).value<QRssp *>(), s);
    QCOMPARE(s->status, int(StatusCreated));
    QCOMPARE(s->phase, int(PhaseMsgTransfer));
    QVERIFY(!b.rsp->sessionInCreation());
    QCOMPARE(s->sik, b.sik);

    // Ping 20, Open Session Request 40, RAKP Message 1 44 + name, RAKP
    // Message 3 48, a 12-byte acknowledge after each client message that
    // wants one; requests carry RMCP sequence number 255 when the console
    // wants no acknowledge, and tags 1 to 4.
    QList<int> expected{20, 40, 44 + int(b.name.size()), 48}, sizes;
    for (int i = 3; clientAcks && i > 0; --i)
        expected.insert(i, 12);
    int tag = 0;
    for (const QByteArray &d : b.sent) {
        sizes << int(d.size());
        if (d.size() > 12)
            QCOMPARE(QList<int>({quint8(d[10]), quint8(d[17])}), QList<int>({noAck ? 255 : 0, ++tag}));
    }
    QCOMPARE(sizes, expected);
    const QByteArray &rakp1 = b.sent[clientAcks ? 4 : 2];
    const QByteArray tail = QByteArray(1, char(role)) + char(b.name.size()) + b.name;
    QCOMPARE(rakp1.mid(40), tail.left(1) + hex("0000") + tail.mid(1)); // ROLEm, ULENGTHm, UNAMEm
    QCOMPARE(b.sent.back().mid(20), hex("00000000") + b.sidc + hmac(role ? b.adminKey : b.operatorKey, b.rc + b.sidm + tail));
    // Both ways, every datagram is in the log.
    QCOMPARE(b.records(), int(b.sent.size()) + b.clientSent);
    QCOMPARE(b.record(0)->protocol(), QStringLiteral("RMCP/RSP"));
    QVERIFY(inOrder(trace.text(),
                    {QStringLiteral("QRssp::QRssp(), type:%1\n").arg(role), "QRsp::initSession(), NEW session initiated\n",
                     "\n--------------------------------------\nDiscv: wr: [Discovery][Idle]\n",
                     "  \"Presence Ping\" composing\n", "  - Outgoing data (20 bytes) -\n",
                     QString("  00000000 00000000 0600") + (noAck ? "FF" : "00") + "06 000011BE\n  80010000\n\n",
                     "  \"Presence Pong\" checking\n", "  -checking RMCP header... (ok)\n",
                     "  -checking RMCP static section... (ok)\n", "  -checking RMCP data section...(ok)\n",
                     "  \"Open Session Request\" composing\n", "  \"RAKP Message 1\" composing\n",
                     "  \"RAKP Message 2\" checking\n",
                     QString(role ? "  keyA      = " : "  keyO      = ") + (role ? "3E" : "7C") + QString(role ? "3E" : "7C").repeated(19),
                     "  SIK       = " + QString::fromLatin1(b.sik.toHex().toUpper()), "  \"RAKP Message 3\" composing\n",
                     "  UNAMEm   = " + (b.name.isEmpty() ? QStringLiteral("(none)") : QString::fromLatin1(b.name)),
                     noAck ? "Creat: wr: Session is created\n" : "Creat: rd: Session is created\n"}));
}

void TestRspSession::answerChecks_data()
{
    QTest::addColumn<int>("row");
    for (const Check &c : checks)
        QTest::newRow(c.name) << int(&c - checks);
}

void TestRspSession::answerChecks()
{
    QFETCH(int, row);
    const Check &c = checks[row];
    Bench b;
    const QByteArray request = b.upTo(c.step);
    QByteArray answer = b.reply(c.step, request, c.offset < 0 ? &b.operatorKey : nullptr);
    if (c.offset >= 0 && !*c.bytes)
        answer[c.offset] = char(answer[c.offset] ^ 1);
    else if (c.offset >= 0)
        answer.replace(c.offset, hex(c.bytes).size(), hex(c.bytes));
    QSignalSpy status(b.rsp.get(), &QRsp::sessionStatus);
    TraceCapture trace;
    b.send(answer);
    QCOMPARE(status.count(), 1);
    QCOMPARE(b.session()->status, int(StatusCreationFailed));
    ASF_RMCP_Packet *p = b.lastReceived();
    QCOMPARE(p, b.record(-1)); // logged, and nothing sent after it
    QCOMPARE(p->fields().status(c.field).text, QLatin1String(c.fieldText));
    QString info = QString::fromLatin1(c.info ? c.info : c.fieldText);
    if (info.contains("%1"))
        info = info.arg(b.session()->sidm(), 0, 16);
    QVERIFY2(p->info().endsWith(" -" + info) && p->status() != ASF_PACKET_OK, qPrintable(p->info()));
    const char *const errorEnds[] = {"Discv: rd: [Discovery][WaitResp] (error)\n",
                                     "Creat: rd: [Creation][WaitResp] (error)\n",
                                     "Creat: rd: [Creation][Wait_RAKP_2] (error)\n"};
    QVERIFY(inOrder(trace.text(), {QLatin1String(c.trace), errorEnds[c.step]}));
    if (c.offset == 28)
        QCOMPARE(b.session()->sidc(), 0u); // not taken
    QCOMPARE(b.next(), QByteArray());
}

void TestRspSession::acknowledgesAndSizes()
{
    // A Presence Pong while the console waits for the Ping's acknowledge.
    Bench b;
    b.init();
    b.send(b.reply(0, b.next()));
    QCOMPARE(b.session()->status, int(StatusCreationFailed));
    QVERIFY(b.lastReceived()->info().endsWith(" -error: incorrect acknowledge"));
    // Too short a Pong; one of 40 bytes is read as its first 36.
    Bench c;
    QByteArray d = c.upTo(0);
    TraceCapture trace;
    c.send(c.reply(0, d).left(30));
    QVERIFY(trace.text().contains("QRsp::getMsg, error (size: available 30, needed:36)\n"));
    QVERIFY(c.lastReceived()->info().endsWith(" -error: wrong packet size expected 36 got 30"));
    Bench l;
    d = l.upTo(0);
    l.send(l.reply(0, d) + QByteArray(4, '\x77'));
    QCOMPARE(l.next().size(), 12);
    QCOMPARE(l.next().size(), 40);
    // A client sequence number that skips one only warns.
    l.send(Bench::ack(l.sent.back()));
    l.clientSeq = 3;
    l.send(l.reply(1, l.sent.back()));
    QVERIFY(l.lastReceived()->info().contains("warning: wrong sequence #"));
    QCOMPARE(l.lastReceived()->fields().status(FieldId::SequenceNr).text, QStringLiteral("expected 1"));
    QCOMPARE(l.session()->expectedSequenceNumber(), quint8(4));
    QCOMPARE(l.drain(), 2); // acknowledge, RAKP Message 1
}

void TestRspSession::routing()
{
    Bench b;
    TraceCapture trace;
    b.send(hex("00000000 00000000 06000006"));
    QVERIFY(b.lastReceived()->info().endsWith(" -error: Bypass' session ID when no session is created"));
    QCOMPARE(b.lastReceived()->fields().status(FieldId::RspSessionId).status, int(ASF_PACKET_ERROR));
    b.send(QByteArray());
    b.send(hex("00000000 0000"));
    QVERIFY(b.lastReceived()->info().endsWith(" -error: RSP session header incomplete"));
    QVERIFY(b.establish());
    QCOMPARE(b.init(), 0); // a second session, in creation
    QCOMPARE(b.init(), -1);
    QCOMPARE(b.record(-1)->info(), QStringLiteral("QRsp::initSession(), session already in creation, try later"));
    const QByteArray stranger = b.securedPing(1).replace(0, 4, hex("00000099"));
    b.send(stranger);
    QVERIFY(b.lastReceived()->info().endsWith(" -error: unkown session ID"));
    QVERIFY(inOrder(trace.text(), {"rd event : 'Bypass' session ID when no session is created\n",
                                   "rd event : socker empty\n", "  - Incomming data (6 bytes) time: 00:00:00:000 -\n",
                                   "rd event : session ID 00000099\n",
                                   "rd event : client session ID 0000002A != received session ID 00000099\n",
                                   "rd event : client session ID 00000000 != received session ID 00000099\n",
                                   QStringLiteral("rd event : silently discard message (%1 bytes)\n").arg(stranger.size())}));
}

void TestRspSession::timeOutsAndRestarts()
{
    Bench b;
    b.upTo(1);
    QRssp *s = b.session();
    QVERIFY(s->timerActive());
    QSignalSpy status(b.rsp.get(), &QRsp::sessionStatus);
    TraceCapture trace;
    s->timerExpired();
    QCOMPARE(status.count(), 1);
    QCOMPARE(QList<int>({s->status, s->phase, b.rsp->messageState()}),
             QList<int>({StatusCreationFailed, PhaseDiscovery, MsIdle}));
    QCOMPARE(b.rsp->sessionInCreation(), s);
    // A datagram nobody waits for is out of state and leaves the timer alone.
    s->startTimeout();
    b.send(b.reply(0, b.sent[0]));
    QVERIFY(b.lastReceived()->info().endsWith(" -error: received packet out of state"));
    QVERIFY(s->timerActive());
    // Two restarts, each with a new Presence Ping, then none.
    b.drain();
    for (int i = 0; i < 4; ++i)
        b.rsp->reinitSession();
    QCOMPARE(b.drain(), 2);
    QCOMPARE(b.sent.back().size(), 20);
    QVERIFY(inOrder(trace.text(), {"QRssp::timerExpired(): [Creation][WaitResp]\n", "Discv: rd: [Discovery][Idle] unhandled\n",
                                   "QRsp::reinitSession(), session creation reinitiated\n",
                                   "QRsp::reinitSession(), session creation reinitiated\n",
                                   "QRsp::reinitSession(), no more retries\n",
                                   "QRsp::reinitSession(), session creation could not be reinitiated\n",
                                   "QRsp::reinitSession(), no more retries\n"}));
    // The real timer, with its period.
    Bench t;
    t.init(false, "x", 30);
    QSignalSpy timedOut(t.rsp.get(), &QRsp::sessionStatus);
    QVERIFY(timedOut.wait(2000));
    QCOMPARE(t.session()->info, QStringLiteral("error: no answer within 30 ms"));
    t.session()->setTimerPeriod(0);
    t.rsp->reinitSession();
    QVERIFY(!t.session()->timerActive());
}

void TestRspSession::termination_data()
{
    QTest::addColumn<bool>("noAck");
    QTest::addColumn<bool>("clientAcks");
    QTest::addColumn<quint32>("lastSequence");
    QTest::newRow("acknowledged both ways") << false << true << 0u;
    QTest::newRow("client wants no acknowledge") << false << false << 7u;
    QTest::newRow("console asks for none") << true << true << 0u;
    // RSP sequence number 0x1FF: RMCP sequence number 255, no acknowledge wanted.
    QTest::newRow("low byte 255") << false << true << 0x1FEu;
}

void TestRspSession::termination()
{
    QFETCH(bool, noAck);
    QFETCH(bool, clientAcks);
    QFETCH(quint32, lastSequence);
    Bench b;
    QVERIFY(b.establish(noAck));
    QRssp *s = b.session();
    s->outgoingSequence = lastSequence;
    s->setExpectedSequenceNumber(200);
    b.clientSeq = clientAcks ? 200 : 255;
    QSignalSpy status(b.rsp.get(), &QRsp::sessionStatus);
    QVERIFY(b.rsp->termSession(s));
    const QByteArray close = b.next();
    QByteArray front = s->kx.sidm + be32(lastSequence + 1) + hex("06000006 000011be 84") + close[17] + hex("0000 0000 0206");
    front[10] = char(noAck ? 255 : quint8(lastSequence + 1));
    QCOMPARE(close, front + hmac(s->sik, front).left(12));
    const bool acknowledged = quint8(close[10]) != 255;
    QCOMPARE(b.rsp->messageState(), int(acknowledged ? MsWaitReqAck : MsWaitResp));
    if (acknowledged)
        b.send(b.secured(Bench::ack(close).mid(8), ++b.secureSeq));
    QCOMPARE(b.rsp->messageState(), int(MsWaitResp));
    b.send(b.secured(message(0, 0, b.seq(), 0x44, quint8(close[17]), hex("08")).mid(8), ++b.secureSeq));
    QCOMPARE(status.count(), 1);
    QCOMPARE(QList<int>({s->status, s->phase}), QList<int>({StatusClosed, PhaseIdle}));
    if (clientAcks) {
        const QByteArray ack = s->kx.sidm + be32(lastSequence + 2) + hex("0600c886 0000 0206");
        QCOMPARE(b.next(), ack + hmac(s->sik, ack).left(12));
    }
    QCOMPARE(b.next(), QByteArray());
    QVERIFY(b.rsp->sessions().contains(s)); // closed sessions stay listed
}

// A page that opens the next session from the close's status report: the
// write event queued for the close's acknowledge must not advance it.
void TestRspSession::creationRightAfterClose()
{
    Bench fresh;
    QCOMPARE(fresh.init(), 0);
    settle();
    Bench b;
    QVERIFY(b.establish());
    QRssp *s = b.session();
    s->setExpectedSequenceNumber(200);
    b.clientSeq = 200;
    int again = -2;
    connect(b.rsp.get(), &QRsp::sessionStatus, b.rsp.get(), [&](QRssp *x) {
        if (x == s && s->status == StatusClosed && again == -2)
            again = b.init();
    });
    QVERIFY(b.rsp->termSession(s));
    const QByteArray close = b.next();
    b.send(b.secured(Bench::ack(close).mid(8), ++b.secureSeq));
    b.send(b.secured(message(0, 0, b.seq(), 0x44, quint8(close[17]), hex("08")).mid(8), ++b.secureSeq));
    QCOMPARE(again, 0);
    settle();
    QRssp *next = b.session();
    QVERIFY(next != s);
    QCOMPARE(QList<int>({next->phase, b.rsp->messageState()}),
             QList<int>({fresh.session()->phase, fresh.rsp->messageState()}));
}

void TestRspSession::terminationFailures()
{
    // A Close Session Response with a wrong integrity value, or a time-out:
    // closing failed, and the session is usable again.
    Bench b;
    QVERIFY(b.establish());
    QRssp *s = b.session();
    b.rsp->termSession(s);
    QByteArray close = b.next();
    b.send(b.secured(Bench::ack(close).mid(8), ++b.secureSeq));
    QByteArray response = b.secured(message(0, 0, b.seq(), 0x44, quint8(close[17]), hex("00")).mid(8), ++b.secureSeq);
    response[35] = char(response[35] ^ 1);
    b.send(response);
    QCOMPARE(QList<int>({s->status, s->phase}), QList<int>({StatusClosingFailed, PhaseMsgTransfer}));
    QVERIFY(b.lastReceived()->fields().status(FieldId::RspIntegrityData).text.startsWith(
        "error: Integrity data mismatch, expected\n"));
    b.rsp->termSession(s);
    close = b.next();
    s->status = StatusCreated;
    s->timerExpired();
    QCOMPARE(QList<int>({s->status, s->phase}), QList<int>({StatusClosingFailed, PhaseMsgTransfer}));
    ASF_RMCP_Packet packet;
    packet.setData(message(0, 0, 1, 0x80, 1, {}).mid(8));
    QVERIFY(b.rsp->sendMsg(&packet, s));
    QCOMPARE(b.next().size(), 36);
    // A datagram that comes while the message state belongs to another
    // session's creation is out of state; the closing's timer runs on.
    b.rsp->termSession(s);
    close = b.next();
    b.clientSeq = 0;
    b.init();
    const QByteArray ping = b.next();
    b.send(Bench::ack(ping));
    b.send(b.reply(0, ping), false);
    b.send(b.secured(Bench::ack(close).mid(8), ++b.secureSeq));
    QVERIFY(b.lastReceived()->info().endsWith(" -error: received packet out of state"));
    QVERIFY(s->timerActive());
    QVERIFY(!b.rsp->termSession(nullptr));
}

void TestRspSession::sessionIdsAndTags()
{
    Bench b;
    velquor::SeededRandomSource same{4711};
    b.random.values = {0}; // the 'Bypass' ID is never a session's
    QVERIFY(b.establish());
    QCOMPARE(b.session()->sidm(), same.next32());
    QCOMPARE(b.session()->kx.rm, same.bytes(16));
    QCOMPARE(b.sent[4].mid(24, 16), b.session()->kx.rm);
    // Taken values are skipped too; a source with nothing else still gives
    // an unused ID other than 0.
    b.random.values = {b.session()->sidm(), 0, 0x12345678};
    b.upTo(2);
    QCOMPARE(b.session()->sidm(), 0x12345678u);
    Bench z;
    z.random.values = std::deque<quint32>(100, 0);
    z.rsp->machine().setMessageTagCounter(0x1FD);
    QVERIFY(z.establish());
    QCOMPARE(z.session()->sidm(), 1u);
    // Tag 255 asks for no response: it is skipped.
    QList<int> tags;
    for (const QByteArray &d : z.sent)
        tags << (d.size() > 12 ? quint8(d[17]) : -1);
    QCOMPARE(tags, (QList<int>{0xFE, -1, 0x00, -1, 0x01, -1, 0x02}));
}

void TestRspSession::replacingTheManager()
{
    Bench b;
    b.upTo(1);
    QRssp *s = b.session();
    QCOMPARE(s->manager(), b.rsp.get()); // how an owner tells an old manager's sessions
    int heard = 0;
    QObject owner;
    connect(b.rsp.get(), &QRsp::sessionStatus, &owner, [&] { ++heard; });
    b.rsp->retire();
    s->timerExpired();
    b.send(b.reply(1, b.sent.back()));
    QCOMPARE(heard, 0);
    QCOMPARE(QList<int>({s->phase, b.records()}), QList<int>({PhaseCreation, int(b.sent.size()) + b.clientSent - 1}));
    QVERIFY(!s->timerActive());
    QCOMPARE(b.next(), QByteArray());
    TraceCapture trace;
    b.rsp.reset();
    QVERIFY(inOrder(trace.text(), {"QRsp::~QRsp\n", "QRssp::~QRssp\n", "QRsp::~QRsp done\n"}));
}

void TestRspSession::connecting()
{
    // A socket that cannot connect: the owner sees it.
    velquor::MemoryNetwork network;
    velquor::rsp::Environment env;
    env.socketFactory = [&network] {
        auto socket = std::make_unique<velquor::MemoryDatagramSocket>(&network);
        socket->setBindResult(velquor::SocketNoResources);
        return socket;
    };
    TraceCapture trace;
    QRsp failed(QHostAddress::LocalHost, nullptr, nullptr, env);
    QCOMPARE(failed.connectionState(), int(QRsp::ConnectionFailed));
    QRsp dotted(QStringLiteral("127.0.0.1"));
    QCOMPARE(dotted.connectionState(), int(QRsp::ConnectionUp));
    QRsp named(QStringLiteral("localhost"));
    QCOMPARE(named.connectionState(), int(QRsp::ConnectionLookup));
    QTRY_COMPARE(named.connectionState(), int(QRsp::ConnectionUp));
    QCOMPARE(named.peerAddress(), QHostAddress(QHostAddress::LocalHost));
    QVERIFY(inOrder(trace.text(), {"QRsp::hostFound(), socket connection fails\n",
                                   "QRsp::QRsp(), Host address in dot notation\n",
                                   "QRsp::QRsp(), Host address needs DNS lookup\n", "QRsp::hostFound(), DNS lookup done\n",
                                   "QRsp::hostFound(), 127.0.0.1 [7f000001]\n",
                                   "QRsp::hostFound(), socket connection success\n"}));
}

QTEST_GUILESS_MAIN(TestRspSession)
#include "tst_rspsession.moc"
