// Session creation and termination against a scripted client: the messages
// on the wire, the checks of every answer with their texts, time-outs and
// restarts, routing, the random session values, and replacing a manager.

#include "rsptest.h"

#include <QSignalSpy>
#include <QtTest>

using namespace rsptest;
using namespace velquor::rsp;
using velquor::rmcp::FieldId;
using velquor::test::TraceCapture;

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
    void sessionIdsAndNonces();
    void messageTags();
    void replacingTheManager();
    void connecting();
};

void TestRspSession::creation_data()
{
    QTest::addColumn<bool>("noAck");
    QTest::addColumn<bool>("clientAcks");
    QTest::addColumn<QString>("user");
    QTest::newRow("acknowledged both ways") << false << true << "tester";
    QTest::newRow("console asks for no acknowledge") << true << true << "tester";
    QTest::newRow("client wants none") << false << false << "";
    QTest::newRow("17 characters: the empty name") << true << false << "abcdefghijklmnopq";
}

void TestRspSession::creation()
{
    QFETCH(bool, noAck);
    QFETCH(bool, clientAcks);
    QFETCH(QString, user);
    Bench b;
    TraceCapture trace;
    QSignalSpy status(b.rsp.get(), &QRsp::sessionStatus);
    b.upTo(3, noAck, clientAcks, user); // without acknowledges: created once RAKP Message 3 is out
    QCOMPARE(status.count(), 1);
    QRssp *s = b.session();
    QCOMPARE(status.at(0).at(0).value<QRssp *>(), s);
    QCOMPARE(s->status, int(StatusCreated));
    QCOMPARE(s->phase, int(PhaseMsgTransfer));
    QVERIFY(!b.rsp->sessionInCreation());
    QCOMPARE(s->sik, b.sik);
    QCOMPARE(s->kx.uname, b.name);

    // Ping 20, Open Session Request 40, RAKP Message 1 44 + name, RAKP
    // Message 3 48, and a 12-byte acknowledge after each client message
    // that wants one; requests carry RMCP sequence number 255 when the
    // console wants no acknowledge, tags 1 to 4.
    QList<int> expected{20, 40, 44 + int(b.name.size()), 48};
    for (int i = 3; clientAcks && i > 0; --i)
        expected.insert(i, 12);
    QList<int> sizes;
    for (const QByteArray &d : b.sent)
        sizes << int(d.size());
    QCOMPARE(sizes, expected);
    int tag = 0;
    for (const QByteArray &d : b.sent) {
        if (d.size() > 12) {
            QCOMPARE(int(quint8(d[10])), noAck ? 255 : 0);
            QCOMPARE(int(quint8(d[17])), ++tag);
        }
    }
    // RAKP Message 3: status 0, SIDc, and the code the client computes.
    const QByteArray tail = QByteArray(1, '\x01') + char(b.name.size()) + b.name;
    QCOMPARE(b.sent.back().mid(20), hex("00000000") + b.sidc + hmac(b.adminKey, b.rc + b.sidm + tail));
    const QByteArray &rakp1 = b.sent[clientAcks ? 4 : 2];
    QCOMPARE(int(quint8(rakp1[43])), int(b.name.size())); // ULENGTHm
    QCOMPARE(rakp1.mid(44), b.name);
    // Every datagram both ways is in the log, as sent or received.
    QCOMPARE(b.records(), int(b.sent.size()) + b.clientSent);
    QCOMPARE(b.rmcpRecord(0)->direction(), int(ASF_Packet::Sent));
    QCOMPARE(b.rmcpRecord(0)->protocol(), QStringLiteral("RMCP/RSP"));

    QString missing;
    QVERIFY2(inOrder(trace.text(),
                     {"QRssp::QRssp(), type:1\n", "QRsp::initSession(), NEW session initiated\n",
                      "\n--------------------------------------\nDiscv: wr: [Discovery][Idle]\n",
                      "  \"Presence Ping\" composing\n", "  - Outgoing data (20 bytes) -\n",
                      QString("  00000000 00000000 0600") + (noAck ? "FF" : "00") + "06 000011BE\n  80010000\n\n",
                      "  \"Presence Pong\" checking\n", "  -checking RMCP header... (ok)\n",
                      "  -checking RMCP static section... (ok)\n", "  -checking RMCP data section...(ok)\n",
                      "  \"Open Session Request\" composing\n", "  \"RAKP Message 1\" composing\n",
                      "  \"RAKP Message 2\" checking\n", "  keyA      = " + QString("3E").repeated(20) + "\n",
                      QStringLiteral("  SIK       = %1\n").arg(QString::fromLatin1(b.sik.toHex().toUpper())),
                      "  \"RAKP Message 3\" composing\n",
                      QStringLiteral("  UNAMEm   = %1\n").arg(b.name.isEmpty() ? "(none)" : QString::fromLatin1(b.name)),
                      noAck ? "Creat: wr: Session is created\n" : "Creat: rd: Session is created\n"},
                     &missing),
             qPrintable(missing));
}

// Each check of the client's answers, in its order: the field it marks,
// the field's text and the record's info (a "%1" stands for the SIDm). No
// bytes: the byte at the offset has its lowest bit flipped; offset -1: the
// client hashes with the Operator Key.
void TestRspSession::answerChecks_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("fieldText");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("traceLine");
    const int data = int(FieldId::RmcpData);
    const QString iana = "error: IANA Enterprise Number not set to 0x000011BE";
    QTest::newRow("IANA in the header") << 0 << 15 << hex("bf") << int(FieldId::IanaEnterpriseNr) << iana << iana
                                        << "parse_rmcp_static(), ERROR: IANA: real 4543, exp 4542\n";
    QTest::newRow("type") << 0 << 16 << hex("41") << int(FieldId::MessageType) << "error: expected 0x40"
                          << "error: wrong Message Type" << "parse_rmcp_static(), ERROR: MSG TYPE: real 41, exp 40\n";
    QTest::newRow("tag") << 1 << 17 << hex("09") << int(FieldId::MessageTag) << "error: expected 0x02"
                         << "error: wrong Message Tag" << "parse_rmcp_static(), ERROR: MSG TAG: real 09, exp 02\n";
    QTest::newRow("reserved") << 0 << 18 << hex("01") << int(FieldId::Reserved2) << "error: Reserved field (2) not zero"
                              << "error: Reserved field (2) not zero"
                              << "parse_rmcp_static(), ERROR: RSVD: real 01, exp 00\n";
    QTest::newRow("data length") << 2 << 19 << hex("3b") << int(FieldId::DataLength) << "error: expected 0x3c"
                                 << "error: wrong Data Length" << "parse_rmcp_static(), ERROR: DATA LEN: real 59, exp 60\n";
    QTest::newRow("pong IANA") << 0 << 23 << hex("bf") << data << iana << iana << "";
    QTest::newRow("pong OEM") << 0 << 27 << hex("01") << data << "error: reserved [2] not zero"
                              << "error: reserved [2] not zero" << "";
    QTest::newRow("pong entities") << 0 << 28 << hex("82") << data << "error: Supported Entities not ASF Version 1.0"
                                   << "error: Supported Entities not ASF Version 1.0" << "";
    QTest::newRow("pong interactions") << 0 << 29 << hex("81") << data << "error: Supported Interactions not RSP"
                                       << "error: Supported Interactions not RSP" << "";
    QTest::newRow("status") << 1 << 20 << hex("01") << data << "error: Status Code" << "error: Status Code" << "";
    QTest::newRow("reserved after status") << 1 << 21 << hex("01") << data << "error: Reserved fields not all zero"
                                           << "error: Reserved fields not all zero" << "";
    QTest::newRow("SIDm") << 1 << 27 << QByteArray() << data << "error: SIDm mismatch" << "error: expected SIDm 0x%1" << "";
    QTest::newRow("SIDc 0") << 1 << 28 << hex("00000000") << data << "error: SIDc invalid" << "error: SIDc invalid" << "";
    QTest::newRow("auth type") << 1 << 32 << hex("02") << data << "error: unsupported Payload Type"
                               << "error: unsupported Payload Type" << "";
    QTest::newRow("auth reserved") << 1 << 33 << hex("01") << data << "error: Reserved [12] not zero"
                                   << "error: Reserved not zero" << "";
    QTest::newRow("auth length") << 1 << 35 << hex("09") << data << "error: wrong Authentication Algorithm payload length "
                                 << "error: wrong Authentication Algorithm payload length" << "";
    QTest::newRow("auth algorithm byte after") << 1 << 37 << hex("01") << data
                                               << "error: unsupported Authentication Algorithm"
                                               << "error: unsupported Authentication Algorithm expected 0x01" << "";
    QTest::newRow("integrity type") << 1 << 40 << hex("01") << data << "error: unsupported (Integrity) Payload Type"
                                    << "error: unsupported Payload Type" << "INTG_PAYLOAD -\n";
    QTest::newRow("integrity reserved") << 1 << 41 << hex("01") << data << "error: Reserved [22] not zero"
                                        << "error: Reserved not zero" << "  Reserved - not equal to zero\n";
    QTest::newRow("integrity length") << 1 << 43 << hex("09") << data << "error: wrong Integrity Algorithm payload length "
                                      << "error: wrong Integrity Algorithm payload length"
                                      << "  INTG_PAYLOAD len - wrong length\n";
    QTest::newRow("integrity algorithm byte after") << 1 << 45 << hex("01") << data
                                                    << "error: unsupported Integrity Algorithm"
                                                    << "error: unsupported Integrity Algorithm expected 0x01"
                                                    << "  HMAC_SHA1_96 integrity algorithm expected\n";
    QTest::newRow("RAKP 2 status") << 2 << 22 << hex("01") << data << "error: Status Code" << "error: Status Code"
                                   << "  -Status Code - shows errors\n";
    QTest::newRow("RAKP 2 SIDm") << 2 << 24 << QByteArray() << data << "error: SIDm mismatch" << "error: expected SIDm 0x%1"
                                 << "  -SIDm - mismatch\n";
    QTest::newRow("RAKP 2 hash") << 2 << 79 << QByteArray() << data << "error: Hash values mismatch"
                                 << "error: Hash values mismatch" << "  -hash values mismatch\n";
    QTest::newRow("RAKP 2 hashed with the Operator Key") << 2 << -1 << QByteArray() << data
                                                         << "error: Hash values mismatch" << "error: Hash values mismatch"
                                                         << "  -hash values mismatch\n";
}

void TestRspSession::answerChecks()
{
    QFETCH(int, step);
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(int, field);
    QFETCH(QString, fieldText);
    QFETCH(QString, info);
    QFETCH(QString, traceLine);
    Bench b;
    const QByteArray request = b.upTo(step);
    QByteArray answer = offset < 0 ? b.rakp2(request, &b.operatorKey) : b.reply(step, request);
    if (offset >= 0 && bytes.isEmpty())
        answer[offset] = char(answer[offset] ^ 1);
    else if (offset >= 0)
        answer.replace(offset, bytes.size(), bytes);
    QSignalSpy status(b.rsp.get(), &QRsp::sessionStatus);
    TraceCapture trace;
    b.send(answer);
    QCOMPARE(status.count(), 1);
    QCOMPARE(b.session()->status, int(StatusCreationFailed));
    ASF_RMCP_Packet *p = b.rmcpRecord(-1);
    QCOMPARE(p->direction(), int(ASF_Packet::Received));
    QCOMPARE(p->fields().status(FieldId(field)).text, fieldText);
    if (info.contains("%1"))
        info = info.arg(QString::number(b.session()->sidm(), 16));
    QVERIFY2(p->info().endsWith(" -" + info), qPrintable(p->info()));
    QVERIFY(p->status() != ASF_PACKET_OK);
    const char *const errorEnds[] = {"Discv: rd: [Discovery][WaitResp] (error)\n",
                                     "Creat: rd: [Creation][WaitResp] (error)\n",
                                     "Creat: rd: [Creation][Wait_RAKP_2] (error)\n"};
    QVERIFY(inOrder(trace.text(), {traceLine, errorEnds[step]}));
    if (offset == 28)
        QCOMPARE(b.session()->sidc(), 0u); // SIDc 0 is not taken
    QCOMPARE(b.next(), QByteArray());       // nothing more went out
}

void TestRspSession::acknowledgesAndSizes()
{
    // A Presence Pong while the console waits for the Ping's acknowledge.
    Bench b;
    b.init();
    const QByteArray ping = b.next();
    b.send(b.pong(ping));
    QCOMPARE(b.session()->status, int(StatusCreationFailed));
    QVERIFY(b.rmcpRecord(-1)->info().endsWith(" -error: incorrect acknowledge"));

    // A short Pong; a skipped client sequence number only warns; a 40-byte
    // Pong is read as its first 36 bytes.
    Bench c;
    c.init();
    QByteArray d = c.next();
    c.send(Bench::ack(d));
    TraceCapture trace;
    c.send(c.pong(d).left(30));
    QVERIFY(trace.text().contains("QRsp::getMsg, error (size: available 30, needed:36)\n"));
    QVERIFY(c.rmcpRecord(-1)->info().endsWith(" -error: wrong packet size expected 36 got 30"));
    Bench w;
    d = w.upTo(1, false, true);
    w.clientSeq = 3; // 1 and 2 skipped
    w.send(w.openResponse(d));
    ASF_RMCP_Packet *p = w.lastReceived();
    QVERIFY(p->info().contains("warning: wrong sequence #"));
    QCOMPARE(p->fields().status(FieldId::SequenceNr).text, QStringLiteral("expected 1"));
    QCOMPARE(w.session()->expectedSequenceNumber(), quint8(4));
    QCOMPARE(w.next().size(), 12);
    QCOMPARE(w.next().size(), 50); // RAKP Message 1: accepted
    Bench l;
    d = l.upTo(0);
    l.send(l.pong(d) + QByteArray(4, '\x77'));
    QCOMPARE(l.next().size(), 12);
    QCOMPARE(l.next().size(), 40);
}

void TestRspSession::routing()
{
    Bench b;
    TraceCapture trace;
    b.send(hex("00000000 00000000 06000006"));
    QVERIFY(b.rmcpRecord(-1)->info().endsWith(" -error: Bypass' session ID when no session is created"));
    QCOMPARE(b.rmcpRecord(-1)->fields().status(FieldId::RspSessionId).status, int(ASF_PACKET_ERROR));
    b.send(QByteArray());
    b.send(hex("00000000 0000"));
    QVERIFY(b.rmcpRecord(-1)->info().endsWith(" -error: RSP session header incomplete"));
    QVERIFY(inOrder(trace.text(), {"rd event : 'Bypass' session ID when no session is created\n",
                                   "rd event : socker empty\n", "  - Incomming data (6 bytes) time: 00:00:00:000 -\n"}));

    QVERIFY(b.establish());
    QCOMPARE(b.init(), 0); // a second session, in creation
    QCOMPARE(b.init(), -1);
    QCOMPARE(b.record(-1)->info(), QStringLiteral("QRsp::initSession(), session already in creation, try later"));
    trace.clear();
    const QByteArray stranger = b.securedPing(1).replace(0, 4, hex("00000099"));
    b.send(stranger);
    QVERIFY(b.rmcpRecord(-1)->info().endsWith(" -error: unkown session ID"));
    QVERIFY(inOrder(trace.text(), {"rd event : session ID 00000099\n",
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
    QCOMPARE(s->status, int(StatusCreationFailed));
    QCOMPARE(s->phase, int(PhaseDiscovery));
    QCOMPARE(b.rsp->messageState(), int(MsIdle));
    QCOMPARE(b.rsp->sessionInCreation(), s);
    // A datagram nobody waits for is out of state and leaves the timer alone.
    s->startTimeout();
    b.send(b.pong(b.sent[0]));
    QVERIFY(b.rmcpRecord(-1)->info().endsWith(" -error: received packet out of state"));
    QVERIFY(s->timerActive());
    // Two restarts, each with a new Presence Ping, then none.
    b.drain();
    for (int i = 0; i < 4; ++i)
        b.rsp->reinitSession();
    QCOMPARE(b.drain(), 2);
    QCOMPARE(b.sent.back().size(), 20);
    QVERIFY(inOrder(trace.text(), {"QRssp::timerExpired(): [Creation][WaitResp]\n",
                                   "Discv: rd: [Discovery][Idle] unhandled\n",
                                   "QRsp::reinitSession(), session creation reinitiated\n",
                                   "QRsp::reinitSession(), session creation reinitiated\n",
                                   "QRsp::reinitSession(), no more retries\n",
                                   "QRsp::reinitSession(), session creation could not be reinitiated\n",
                                   "QRsp::reinitSession(), no more retries\n"}));

    // The real timer, with its period.
    Bench t;
    t.init(false, 1, "x", 30);
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
    // The Close Session Request goes out with RSP sequence number 0x1FF:
    // its RMCP sequence number 255 asks for no acknowledge.
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
    QCOMPARE(close.size(), 36);
    QCOMPARE(close.left(8), s->kx.sidm + be32(lastSequence + 1));
    QByteArray rmcpHeader = hex("06000006");
    rmcpHeader[2] = char(noAck ? 255 : quint8(lastSequence + 1));
    QCOMPARE(close.mid(8, 4), rmcpHeader);
    QCOMPARE(close.right(14), hex("0206") + hmac(s->sik, close.left(24)).left(12));
    const bool acknowledged = quint8(close[10]) != 255;
    QCOMPARE(b.rsp->messageState(), int(acknowledged ? MsWaitReqAck : MsWaitResp));
    if (acknowledged)
        b.send(b.secured(Bench::ack(close).mid(8), ++b.secureSeq));
    QCOMPARE(b.rsp->messageState(), int(MsWaitResp));
    const quint8 tag = quint8(close[17]);
    b.send(b.secured(message(0, 0, b.seq(), 0x44, tag, hex("08")).mid(8), ++b.secureSeq));
    QCOMPARE(status.count(), 1);
    QCOMPARE(s->status, int(StatusClosed));
    QCOMPARE(s->phase, int(PhaseIdle));
    if (clientAcks) {
        const QByteArray ack = b.next();
        QCOMPARE(ack.size(), 28);
        QCOMPARE(ack.left(8), s->kx.sidm + be32(lastSequence + 2));
        QCOMPARE(ack.mid(8, 6), hex("0600c886 0000"));
        QCOMPARE(ack.mid(14, 2), hex("0206"));
        QCOMPARE(ack.right(12), hmac(s->sik, ack.left(16)).left(12));
    }
    QCOMPARE(b.next(), QByteArray());
    QVERIFY(b.rsp->sessions().contains(s)); // closed sessions stay listed
}

void TestRspSession::terminationFailures()
{
    // A Close Session Response with a wrong integrity value: closing failed,
    // the session is usable again.
    Bench b;
    QVERIFY(b.establish());
    QRssp *s = b.session();
    QSignalSpy status(b.rsp.get(), &QRsp::sessionStatus);
    b.rsp->termSession(s);
    QByteArray close = b.next();
    b.send(b.secured(Bench::ack(close).mid(8), ++b.secureSeq));
    QByteArray response = b.secured(message(0, 0, b.seq(), 0x44, quint8(close[17]), hex("00")).mid(8), ++b.secureSeq);
    response[35] = char(response[35] ^ 1);
    b.send(response);
    QCOMPARE(s->status, int(StatusClosingFailed));
    QCOMPARE(s->phase, int(PhaseMsgTransfer));
    QVERIFY(b.rmcpRecord(-1)->fields().status(FieldId::RspIntegrityData).text.startsWith(
        "error: Integrity data mismatch, expected\n"));
    // A time-out while closing: the same.
    b.rsp->termSession(s);
    close = b.next();
    s->timerExpired();
    QCOMPARE(status.count(), 2);
    QCOMPARE(s->status, int(StatusClosingFailed));
    QCOMPARE(s->phase, int(PhaseMsgTransfer));
    ASF_RMCP_Packet packet;
    packet.setData(message(0, 0, 1, 0x80, 1, {}).mid(8));
    QVERIFY(b.rsp->sendMsg(&packet, s));
    QCOMPARE(b.next().size(), 36);
    // A datagram that arrives while the message state belongs to another
    // session's creation is out of state; the closing's timer runs on.
    b.rsp->termSession(s);
    close = b.next();
    b.clientSeq = 0;
    b.init();
    const QByteArray ping = b.next();
    b.send(Bench::ack(ping));
    b.client.writeDatagram(b.pong(ping), QHostAddress::LocalHost, b.rsp->socket()->localPort());
    b.client.writeDatagram(b.secured(Bench::ack(close).mid(8), ++b.secureSeq), QHostAddress::LocalHost,
                           b.rsp->socket()->localPort());
    settle();
    QVERIFY(b.lastReceived()->info().endsWith(" -error: received packet out of state"));
    QVERIFY(s->timerActive());
    QVERIFY(!b.rsp->termSession(nullptr));
}

void TestRspSession::sessionIdsAndNonces()
{
    Bench b;
    velquor::SeededRandomSource same{4711};
    b.random.values = {0}; // the 'Bypass' ID is never a session's
    QVERIFY(b.establish());
    QCOMPARE(b.session()->sidm(), same.next32());
    QCOMPARE(b.session()->kx.rm, same.bytes(16));
    QCOMPARE(b.sent[4].mid(24, 16), b.session()->kx.rm);
    // Taken and zero values are skipped; a source that gives nothing else
    // still yields an unused, non-zero ID.
    const quint32 first = b.session()->sidm();
    b.random.values = {first, 0, 0x12345678};
    b.upTo(2);
    QCOMPARE(b.session()->sidm(), 0x12345678u);
    Bench z;
    z.random.values = std::deque<quint32>(100, 0);
    z.upTo(2);
    QCOMPARE(z.session()->sidm(), 1u);
}

void TestRspSession::messageTags()
{
    Bench b;
    b.rsp->machine().setMessageTagCounter(0x1FD);
    QVERIFY(b.establish());
    QList<int> tags;
    for (const QByteArray &d : b.sent) {
        if (d.size() > 12)
            tags << quint8(d[17]);
    }
    QCOMPARE(tags, (QList<int>{0xFE, 0x00, 0x01, 0x02})); // 255 means "no response" and is skipped
}

void TestRspSession::replacingTheManager()
{
    Bench b;
    b.upTo(1);
    QRssp *s = b.session();
    QCOMPARE(s->manager(), b.rsp.get());
    QSignalSpy status(b.rsp.get(), &QRsp::sessionStatus);
    int heard = 0;
    QObject owner;
    connect(b.rsp.get(), &QRsp::sessionStatus, &owner, [&] { ++heard; });
    b.rsp->retire();
    s->timerExpired();
    b.send(b.openResponse(b.sent.back()));
    QCOMPARE(heard, 0);
    QCOMPARE(status.count(), 0);
    QVERIFY(!s->timerActive());
    QCOMPARE(b.next(), QByteArray());
    TraceCapture trace;
    b.rsp.reset();
    QVERIFY(inOrder(trace.text(), {"QRsp::~QRsp\n", "QRssp::~QRssp\n", "QRsp::~QRsp done\n"}));
}

void TestRspSession::connecting()
{
    // A socket that cannot connect: the owner sees it, nothing is sent.
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
    QVERIFY(trace.text().contains("QRsp::hostFound(), socket connection fails\n"));
    QRsp dotted(QStringLiteral("127.0.0.1"), nullptr, nullptr, {});
    QCOMPARE(dotted.connectionState(), int(QRsp::ConnectionUp));
    QRsp named(QStringLiteral("localhost"), nullptr, nullptr, {});
    QCOMPARE(named.connectionState(), int(QRsp::ConnectionLookup));
    QTRY_COMPARE(named.connectionState(), int(QRsp::ConnectionUp));
    QCOMPARE(named.peerAddress(), QHostAddress(QHostAddress::LocalHost));
    QVERIFY(inOrder(trace.text(), {"QRsp::QRsp(), Host address in dot notation\n",
                                   "QRsp::QRsp(), Host address needs DNS lookup\n", "QRsp::hostFound(), DNS lookup done\n",
                                   "QRsp::hostFound(), 127.0.0.1 [7f000001]\n",
                                   "QRsp::hostFound(), socket connection success\n"}));
}

QTEST_GUILESS_MAIN(TestRspSession)
#include "tst_rspsession.moc"
