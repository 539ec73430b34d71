// Established sessions: the key computations against known answers, the
// secured send (plain, retransmitted, with every override), receiving with
// the integrity check and the window, and the hash's refusals.

#include "rsptest.h"

#include <QSignalSpy>
#include <QtTest>

using namespace rsptest;
using namespace velquor::rsp;
using velquor::rmcp::FieldId;
using velquor::test::TraceCapture;

namespace {

ASF_RMCP_Packet *ping(ASF_RMCP_Packet &packet, const QByteArray &data = {})
{
    packet.setData(message(0, 0, 3, 0x80, 9, data).mid(8));
    return &packet;
}

// An override of the negative-test send and what it gives: the field marked
// with its text ("%1": the SIDm, "%2": the right integrity data), infos,
// and the wire after the message ("I": the right integrity data, "F": it
// falsified).
struct Override
{
    const char *name;
    int data;
    std::function<void(RspOverrides &)> set;
    int field;
    const char *fieldText;
    QStringList info;
    const char *trailer;
};
const int None = -1;
const std::vector<Override> overrides = {
    {"nothing", 0, [](RspOverrides &) {}, None, "", {}, "0000 02 06 I"},
    {"session ID", 0, [](RspOverrides &o) { o.ownSessionID = true; o.sessionID = 0x01020304; }, int(FieldId::RspSessionId), "error: expected %1", {"error: wrong session ID"}, "0000 02 06 I"},
    {"sequence number, the next", 0, [](RspOverrides &o) { o.ownRspSequenceNumber = true; o.rspSequenceNumber = 1; }, None, "", {}, "0000 02 06 I"},
    {"sequence number", 0, [](RspOverrides &o) { o.ownRspSequenceNumber = true; o.rspSequenceNumber = 99; }, int(FieldId::RspSequenceNumber), "error: expected 00 00 00 01", {"error: wrong Sequence Number"}, "0000 02 06 I"},
    // One pad byte where two are due: the hash covers as many bytes, the
    // first byte of the integrity data as zero.
    {"short pad", 0, [](RspOverrides &o) { o.ownPad = true; o.pad = "00"; }, int(FieldId::RspPad), "wrong length; expected 2", {"error: RSP length of pad "}, "00 02 06 I"},
    {"pad > 4", 2, [](RspOverrides &o) { o.ownPad = true; o.pad = "00 00 00 00 00 00"; }, int(FieldId::RspPad), "result of truncated configuration", {"error: configured RSP Pad > 4, truncated"}, "00000000 04 06 I"},
    {"pad no hex text", 0, [](RspOverrides &o) { o.ownPad = true; o.pad = "0x"; }, int(FieldId::RspPad), "wrong length; expected 2", {"error: configured RSP Pad > 4, truncated", "error: RSP length of pad "}, "02 06 I"},
    {"pad length", 0, [](RspOverrides &o) { o.ownPadLength = true; o.padLength = 7; }, int(FieldId::RspPadLength), "error: expected 2", {"error: RSP pad length"}, "0000 07 06 I"},
    {"next header", 0, [](RspOverrides &o) { o.ownNextHeader = true; o.nextHeader = 5; }, int(FieldId::RspNextHeader), "should be set to 0x06; ASF RMCP Version 1", {"error: RSP Next Header"}, "0000 02 05 I"},
    {"false integrity data", 0, [](RspOverrides &o) { o.falseIntegrityData = true; }, int(FieldId::RspIntegrityData), "error: Integrity data mismatch, expected\n%2", {"error: Integrity data mismatch"}, "0000 02 06 F"},
    {"longer than 1000 bytes", 1100, [](RspOverrides &) {}, None, "", {}, "0000 02 06 I"},
    {"no trailer", 0, [](RspOverrides &o) { o.sendTail = false; }, None, "", {}, ""},
};

} // namespace

class TestRspTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { quietTrace(); }
    void knownAnswers();
    void securedSend_data();
    void securedSend();
    void sendRefusals();
    void overriding_data();
    void overriding();
    void receiving();
    void window_data();
    void window();
    void integrity_data();
    void integrity();
    void hashFailures_data();
    void hashFailures();
};

// Expected values computed with OpenSSL, not with our code:
//   echo -n DATA | xxd -r -p | openssl mac -digest SHA1 -macopt hexkey:KEY HMAC
// KEY 3E x 20 (Administrator), 7C x 20 (Operator), 5D x 20 (Generator); SIDm
// 5A3C96E1, SIDc 0000002A, Rm 00..0F, Rc 10..1F, GUIDc 20..2F, the name
// "tester" (74 65 73 74 65 72) with ROLEm 1, or none with ROLEm 0. DATA:
// SIDm SIDc Rm Rc GUIDc ROLEm ULENGTHm UNAMEm for RAKP Message 2, Rm Rc ROLEm
// ULENGTHm UNAMEm for the SIK, Rc SIDm ROLEm ULENGTHm UNAMEm for RAKP
// Message 3; the integrity value keyed with the first SIK over
// 5A3C96E1 00000001 06000106 000011BE 84010000 0000 0206.
void TestRspTransfer::knownAnswers()
{
    QtHmac qt;
    KeyExchange kx{hex("5a3c96e1"), hex("0000002a"), hex("000102030405060708090a0b0c0d0e0f"),
                   hex("101112131415161718191a1b1c1d1e1f"), hex("202122232425262728292a2b2c2d2e2f"), 1, "tester"};
    const QByteArray admin(20, '\x3e'), op(20, '\x7c'), generator(20, '\x5d');
    QCOMPARE(rakp2Hash(qt, admin, kx).value, hex("63D16D1167AADD0A4DC2D42917CD42326B7D14BE"));
    const QByteArray sik = sessionIntegrityKey(qt, generator, kx).value;
    QCOMPARE(sik, hex("73487D884F188432822F9E2B8A5D8BE0B4091DDC"));
    QCOMPARE(rakp3Code(qt, admin, kx).value, hex("31491F790C6FB5405BB7CDEA26478387D98DC120"));
    const Wrapped close = wrapSecured(hex("06000106 000011be 84010000"), 0x5a3c96e1, 1, sik, qt);
    QCOMPARE(close.datagram.right(14), hex("0206 C6D815C1437D8B467D12F61E"));
    kx.rolem = 0;
    kx.uname.clear();
    QCOMPARE(rakp2Hash(qt, op, kx).value, hex("DC18855E98C295939F2493B236F1758B62E2AA43"));
    QCOMPARE(sessionIntegrityKey(qt, generator, kx).value, hex("288C03C3518D28CA4880A84FC612EA407968D9DF"));
    QCOMPARE(rakp3Code(qt, op, kx).value, hex("08436F68BE2B83C6C30F9DB581D80F3E13B02D6F"));
    // Every byte counts, also after a zero byte.
    QVERIFY(sameBytes(hex("00aa00bb"), hex("00aa00bb")));
    QVERIFY(!sameBytes(hex("00aa00bb"), hex("00aa00bc")) && !sameBytes(hex("00aa"), hex("00aa00")));
}

void TestRspTransfer::securedSend_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("pad");
    QTest::newRow("12 bytes: pad 2") << QByteArray() << 2;
    QTest::newRow("13 bytes: pad 1") << hex("01") << 1;
    QTest::newRow("14 bytes: pad 4, not 0") << hex("0102") << 4;
}

void TestRspTransfer::securedSend()
{
    QFETCH(QByteArray, data);
    QFETCH(int, pad);
    Bench b;
    QVERIFY(b.establish());
    QRssp *s = b.session();
    b.clock.setElapsed(3723004);
    ASF_RMCP_Packet packet;
    const QByteArray plain = ping(packet, data)->data();
    TraceCapture trace;
    for (quint32 sequence = 1; sequence <= 2; ++sequence) { // the second time: a retransmission
        QVERIFY(b.rsp->sendMsg(&packet, s));
        const QByteArray front = s->kx.sidm + be32(sequence) + plain + QByteArray(pad, '\0') + char(pad) + char(6);
        QCOMPARE(b.next(), front + hmac(s->sik, front).left(12));
        QCOMPARE(packet.data(), b.sent.back());
        QCOMPARE(QList<int>({packet.protocolType(), packet.trailerLength(), int(packet.timestamp())}),
                 QList<int>({4, pad + 22, 3723004}));
        // Our own check finds the trailer where it belongs.
        QVERIFY(packet.fields().haveRspTail && packet.fields().status(FieldId::RspPadLength).status == ASF_PACKET_OK);
    }
    QVERIFY(trace.text().contains(
        QStringLiteral("  - Outgoing data (%1 bytes) at time: 01:02:03:004 -\n").arg(plain.size() + pad + 22)));
    // A stored length that does not fit the datagram is refused.
    packet.setTrailerLength(int(packet.data().size()) + 1);
    QVERIFY(!b.rsp->sendMsg(&packet, s));
    QVERIFY(packet.info().contains(" -error: Packet send failed (stored RSP trailer length"));
    QCOMPARE(b.next(), QByteArray());
}

void TestRspTransfer::sendRefusals()
{
    Bench b;
    b.upTo(1);
    ASF_RMCP_Packet packet;
    TraceCapture trace;
    QVERIFY(!b.rsp->sendMsg(ping(packet), b.session()));
    QVERIFY(packet.info().endsWith(" -error: Packet send failed (RSSP session not in 'Message Transfer' phase)"));
    QVERIFY(!b.rsp->sendMsg(ping(packet), nullptr, RspOverrides{}));
    QVERIFY(packet.info().endsWith(" -error: Packet send failed (RSSP object not found)"));
    QCOMPARE(packet.status(), int(ASF_PACKET_ERROR));
    QCOMPARE(b.rsp->recvMsg(b.session()), QByteArray());
    QCOMPARE(b.rsp->recvMsg(nullptr), QByteArray());
    QVERIFY(inOrder(trace.text(), {"  QRsp::sendMsg(), QRssp object found\n",
                                   "  QRsp::sendMsg(), session not in 'Message Transfer' phase\n",
                                   "  QRsp::sendMsg(), QRssp object not found\n", "  QRsp::recvMsg()\n",
                                   "  QRsp::recvMsg(), QRssp object found\n",
                                   "  QRsp::recvMsg(), session not in 'Message Transfer' phase\n",
                                   "  QRsp::recvMsg(), QRssp object not found\n"}));
}

void TestRspTransfer::overriding_data()
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < overrides.size(); ++i)
        QTest::newRow(overrides[i].name) << int(i);
}

void TestRspTransfer::overriding()
{
    QFETCH(int, row);
    const Override &r = overrides[size_t(row)];
    Bench b;
    QVERIFY(b.establish());
    QRssp *s = b.session();
    ASF_RMCP_Packet packet;
    const QByteArray plain = ping(packet, QByteArray(r.data, '\x55'))->data();
    RspOverrides o;
    o.sendTail = true;
    r.set(o);
    QVERIFY(b.rsp->sendMsg(&packet, s, o));
    const QByteArray d = b.next();
    QCOMPARE(d, packet.data());
    QCOMPARE(d.left(8), (o.ownSessionID ? be32(o.sessionID) : s->kx.sidm) + be32(o.ownRspSequenceNumber ? o.rspSequenceNumber : 1));
    QCOMPARE(s->outgoingSequence, o.ownRspSequenceNumber ? 0u : 1u); // an own sequence number leaves the counter
    const int n = int(plain.size()), p = 4 - (n + 2) % 4;
    QCOMPARE(d.mid(8, n), plain);
    // The integrity data covers n + p + 10 bytes, zeros where no byte was yet.
    const QByteArray good = hmac(s->sik, (d.chopped(12) + QByteArray(12, '\0')).left(n + p + 10)).left(12);
    QByteArray bad = good;
    bad[11] = char(bad[11] + 1);
    const QByteArray wire = QByteArray(r.trailer).replace("I", good.toHex()).replace("F", bad.toHex());
    QCOMPARE(d.mid(8 + n), hex(wire.constData()));
    QCOMPARE(packet.trailerLength(), int(d.size()) - n);
    if (r.field != None) {
        QCOMPARE(packet.fields().status(FieldId(r.field)).text,
                 QString::fromLatin1(QByteArray(r.fieldText).replace("%1", s->kx.sidm.toHex(' ').toUpper()).replace("%2", good.toHex(' '))));
        QCOMPARE(packet.status(), int(ASF_PACKET_ERROR));
    }
    for (const QString &text : r.info)
        QVERIFY2(packet.info().contains(" -" + text), qPrintable(packet.info()));
    // A retransmission wraps the same message again; the override form takes
    // no packet already wrapped.
    QVERIFY(b.rsp->sendMsg(&packet, s));
    QCOMPARE(b.next().mid(8, n), plain);
    TraceCapture trace;
    QVERIFY(!b.rsp->sendMsg(&packet, s, o));
    QVERIFY(trace.text().contains("fatal ERROR; should not happen in QRsp::sendMsg() [3]\n"));
}

void TestRspTransfer::receiving()
{
    Bench b;
    QVERIFY(b.establish());
    QRssp *s = b.session();
    QSignalSpy received(b.rsp.get(), &QRsp::msgReceived);
    std::vector<QByteArray> messages;
    for (quint32 i = 1; i <= 34; ++i) {
        messages.push_back(b.securedPing(i));
        b.send(messages.back());
    }
    QCOMPARE(received.count(), 34);
    QCOMPARE(received.at(0).at(0).value<QRssp *>(), s);
    // At most 32 wait, the oldest went; fetched: whole datagrams, in order.
    QCOMPARE(s->waitingMessages(), 32);
    for (size_t i = 2; i < 34; ++i)
        QCOMPARE(b.rsp->recvMsg(s), messages[i]);
    QCOMPARE(b.rsp->recvMsg(s), QByteArray());
}

// Sequence numbers in this order: accepted ("") or the record's info.
void TestRspTransfer::window_data()
{
    QTest::addColumn<QList<int>>("sequence");
    QTest::addColumn<QStringList>("outcome");
    const QString reused = "error: reused Sequence Number";
    QTest::newRow("window end 40") << QList<int>{40, 8, 9, 35, 35}
                                   << QStringList{"", "error: Sequence number outside of window 9 - 40", "", "", reused};
    QTest::newRow("a late one") << QList<int>{5, 3, 5, 3} << QStringList{"", "", reused, reused};
    QTest::newRow("50 after 40") << QList<int>{18, 19, 40, 50, 19, 18}
                                 << QStringList{"", "", "", "", reused, "error: Sequence number outside of window 19 - 50"};
}

void TestRspTransfer::window()
{
    QFETCH(QList<int>, sequence);
    QFETCH(QStringList, outcome);
    Bench b;
    QVERIFY(b.establish());
    QSignalSpy received(b.rsp.get(), &QRsp::msgReceived);
    TraceCapture trace;
    for (int i = 0; i < sequence.size(); ++i) {
        const int before = received.count();
        b.send(b.securedPing(quint32(sequence[i])));
        QCOMPARE(received.count() - before, outcome[i].isEmpty() ? 1 : 0);
        if (!outcome[i].isEmpty()) {
            QVERIFY2(b.lastReceived()->info().endsWith(" -" + outcome[i]), qPrintable(b.lastReceived()->info()));
            QCOMPARE(b.lastReceived()->fields().status(FieldId::RspSequenceNumber).status, int(ASF_PACKET_ERROR));
        }
    }
    QVERIFY(!sequence.contains(50)
            || inOrder(trace.text(), {"MsgTr: rd: Message received (got 50, need > 8, window end 40)\n",
                                      "MsgTr: rd: message fall out? [this 18, must be > 18]... YES\n",
                                      "MsgTr: rd: message fall out? [this 19, must be > 18]... NO\n"}));
}

void TestRspTransfer::integrity_data()
{
    QTest::addColumn<int>("offset");
    QTest::newRow("a header byte") << 10;
    QTest::newRow("the first byte of the integrity data") << 24;
    QTest::newRow("the last, after a zero byte of the right value") << -1;
    QTest::newRow("too short for a trailer") << -2;
}

void TestRspTransfer::integrity()
{
    QFETCH(int, offset);
    Bench b;
    QVERIFY(b.establish());
    QSignalSpy received(b.rsp.get(), &QRsp::msgReceived);
    QByteArray d = b.securedPing(1);
    // The last row: a sequence number whose integrity value has a zero byte before its last.
    for (quint32 seq = 2; offset == -1 && !d.right(12).left(11).contains('\0'); ++seq)
        d = b.securedPing(seq);
    const QByteArray right = d.right(12);
    const int at = offset == -1 ? int(d.size()) - 1 : offset;
    if (offset == -2)
        d.truncate(25);
    else
        d[at] = char(d[at] ^ 0x10);
    TraceCapture trace;
    b.send(d);
    QCOMPARE(received.count(), 0);
    ASF_RMCP_Packet *p = b.lastReceived();
    QCOMPARE(p->status(), int(ASF_PACKET_ERROR));
    if (offset == -2) {
        QVERIFY(p->info().endsWith(" -error: RSP message too short; got 25 bytes, at least 26 expected"));
        return;
    }
    // The value the bytes as received should have had.
    const QByteArray expected = hmac(b.session()->sik, d.chopped(12)).left(12);
    QVERIFY(p->info().endsWith(" -error: Integrity data mismatch"));
    QCOMPARE(p->fields().status(FieldId::RspIntegrityData).text,
             "error: Integrity data mismatch, expected\n" + QString::fromLatin1(expected.toHex(' ')));
    QCOMPARE(expected == right, offset != 10);
    QVERIFY(trace.text().contains("MsgTr: rd: Integrity data (bad), message dropped\n"));
}

void TestRspTransfer::hashFailures_data()
{
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("initAt");
    QTest::addColumn<int>("endAt");
    QTest::addColumn<QString>("text");
    const QString init = "  mhash_hmac_init(), failed\n", deinit = "  mhash_hmac_deinit(), failed\n";
    QTest::newRow("RAKP 2 hash: start") << 0 << 1 << 0 << init;
    QTest::newRow("session key: end") << 0 << 0 << 2 << deinit;
    QTest::newRow("RAKP 3 code: start") << 0 << 3 << 0 << init;
    QTest::newRow("secured send: start") << 1 << 1 << 0 << "error: Packet send failed (RSP hash initialization failed)";
    QTest::newRow("secured send: end") << 1 << 0 << 1 << "error: Packet send failed (mhash_hmac_deinit(), failed)";
    QTest::newRow("receive: end") << 2 << 0 << 1 << "ERROR: Fatal internal error (mhash)";
    QTest::newRow("Close Session Request: end") << 3 << 0 << 1 << deinit;
}

void TestRspTransfer::hashFailures()
{
    QFETCH(int, stage);
    QFETCH(int, initAt);
    QFETCH(int, endAt);
    QFETCH(QString, text);
    Bench b;
    const QByteArray request = stage == 0 ? b.upTo(2) : QByteArray();
    QVERIFY(stage == 0 || b.establish());
    QSignalSpy status(b.rsp.get(), &QRsp::sessionStatus), received(b.rsp.get(), &QRsp::msgReceived);
    b.hashes.failInitAt = initAt;
    b.hashes.failEndAt = endAt;
    TraceCapture trace;
    ASF_RMCP_Packet packet;
    if (stage == 0)
        b.send(b.reply(2, request));
    else if (stage == 1)
        QVERIFY(!b.rsp->sendMsg(ping(packet), b.session()));
    else if (stage == 2)
        b.send(b.securedPing(1));
    else
        QVERIFY(b.rsp->termSession(b.session()));
    const QString found = stage == 1 ? packet.info() : stage == 2 ? b.record(-1)->info() : trace.text();
    QVERIFY2(found.contains(text), qPrintable(found));
    QCOMPARE(status.count(), stage == 0 || stage == 3 ? 1 : 0);
    QCOMPARE(b.session()->status, stage == 0 ? int(StatusCreationFailed) : stage == 3 ? int(StatusClosingFailed) : 0);
    QCOMPARE(b.session()->phase, stage == 0 ? int(PhaseCreation) : int(PhaseMsgTransfer));
    QCOMPARE(received.count(), 0);
    QCOMPARE(b.drain(), initAt == 3 ? 1 : 0); // at most the acknowledge of RAKP Message 2
}

QTEST_GUILESS_MAIN(TestRspTransfer)
#include "tst_rsptransfer.moc"
