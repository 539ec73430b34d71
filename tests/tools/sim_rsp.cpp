// velquor-sim's secure port in process: the console's session library
// creates, uses and closes sessions with the responder over the in-memory
// network, finds each fault the options put in, and the responder drops
// what the console falsifies.

#include "core/memorynetwork.h"
#include "core/randomsource.h"
#include "core/trace.h"
#include "rmcp/rmcplayout.h"
#include "sim/rspresponder.h"
#include "sim/simconfig.h"
#include "tools/simrsp.h"

#include <QtTest>

using namespace velquor;
using namespace velquor::sim;
using simrsp::Console;

namespace {

// The responder on 127.0.0.1:664 of the in-memory network, a console to it.
struct Rig
{
    MemoryNetwork network;
    MemoryDatagramSocket socket{&network};
    SeededRandomSource random{99};
    RmcpResponder inner;
    RspResponder responder;
    std::vector<QByteArray> got; // every datagram the responder took
    Console console;

    explicit Rig(const RspConfig &config, int period = 3000)
        : responder(config, &inner, &random),
          console(664, [this] { return std::make_unique<MemoryDatagramSocket>(&network); })
    {
        socket.bind(QHostAddress::LocalHost, 664);
        QObject::connect(&socket, &DatagramSocket::readyRead, [this] {
            std::vector<ReceivedDatagram> in;
            socket.readPending(in);
            for (const ReceivedDatagram &d : in) {
                got.push_back(d.data);
                for (const Outgoing &o : responder.receive(d.data))
                    socket.writeDatagram(o.bytes, d.sender, d.senderPort);
            }
        });
        console.period = period;
    }
};

RspConfig keyed()
{
    RspConfig c;
    c.enabled = true;
    c.operatorKey = simrsp::operatorKey;
    c.administratorKey = simrsp::administratorKey;
    c.generatorKey = simrsp::generatorKey;
    c.guid = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    return c;
}

// Each RMCP message as "ack <seq>" or "<type> <tag>".
QStringList kinds(const QStringList &messages)
{
    QStringList out;
    for (const QString &hex : messages) {
        const QByteArray m = QByteArray::fromHex(hex.toLatin1());
        if (m.size() >= 4 && (quint8(m[3]) & 0x80))
            out << QStringLiteral("ack %1").arg(quint8(m[2]));
        else if (m.size() >= 12)
            out << QStringLiteral("%1 %2").arg(quint8(m[8]), 2, 16, QLatin1Char('0')).arg(quint8(m[9]));
        else
            out << hex;
    }
    return out;
}

} // namespace

class TestSimRsp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setTraceEnabled(false); }

    // Creation, the secured requests and a retransmission, a control request
    // that changes the shared system state, close; nothing found wrong.
    void session_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("noAck");
        QTest::addColumn<QString>("user");
        QTest::newRow("administrator, acknowledged") << 1 << false << "tester";
        QTest::newRow("operator, no acknowledges, no name") << 0 << true << "";
        QTest::newRow("17 characters: sent as no name") << 1 << false << "abcdefghijklmnopq";
    }
    void session()
    {
        QFETCH(int, role);
        QFETCH(bool, noAck);
        QFETCH(QString, user);
        Rig rig(keyed());
        rig.console.role = role;
        QCOMPARE(rig.console.open(noAck, user), 0);
        QCOMPARE(rig.responder.sessionsOpen(), 1);
        const quint8 seq = noAck ? 255 : 3;
        ASF_RMCP_Packet *ping = rig.console.send(0x80, 1, seq);
        QVERIFY(ping && rig.console.send(0x81, 2, seq) && rig.console.send(0x82, 3, seq));
        QVERIFY(rig.console.rsp->sendMsg(ping, rig.console.session())); // retransmitted: answered again
        const QStringList answered = noAck ? QStringList{"40 1", "41 2", "42 3", "40 1"}
                                           : QStringList{"ack 3", "40 1", "ack 3", "41 2", "ack 3", "42 3", "ack 3", "40 1"};
        QCOMPARE(kinds(rig.console.messages(0, answered.size())), answered);
        QVERIFY(rig.console.send(0x12, 4, seq)); // Unconditional Power-Down
        QVERIFY(Console::waitFor([&] { return rig.inner.systemState() == 5; }));
        QCOMPARE(rig.console.close(), 2);
        QCOMPARE(rig.responder.sessionsOpen(), 0);
        QVERIFY2(rig.console.errors().isEmpty(), qPrintable(rig.console.errors().join('|')));
    }

    // Each fault option, and what the console finds: the creation fails,
    // the session closes with a failure, or an answer is dropped.
    void faults()
    {
        struct Case
        {
            const char *name;
            std::function<void(RspConfig &)> set;
            int created;          // status of the creation
            const char *creation; // finding of a failed creation
            QStringList answers;  // kinds delivered for one secured Presence Ping
            QStringList findings; // error records of the exchange
            int closed = 2;
            bool consoleNoAck = false;
        };
        const QList<Case> cases{
            {"wrong hash", [](RspConfig &c) { c.wrongHash = true; }, 1, "error: Hash values mismatch", {}, {}},
            {"wrong SIDm", [](RspConfig &c) { c.wrongSidm = true; }, 1, "error: expected SIDm 0x", {}, {}},
            {"Open Session status", [](RspConfig &c) { c.openStatus = 1; }, 1, "error: Status Code", {}, {}},
            {"RAKP status", [](RspConfig &c) { c.rakpStatus = 15; }, 1, "error: Status Code", {}, {}},
            {"user not accepted", [](RspConfig &c) { c.users = {"alice"}; }, 1, "error: Status Code", {}, {}},
            {"no acknowledges", [](RspConfig &c) { c.noAck = true; }, 1, "error: incorrect acknowledge", {}, {}},
            {"user accepted", [](RspConfig &c) { c.users = {"alice", "tester"}; }, 0, "", {"ack 5", "40 7"}, {}},
            {"no acknowledges, the console asks for none", [](RspConfig &c) { c.noAck = true; }, 0, "", {"40 7"}, {}, 2, true},
            // Acknowledge and pong; then the acknowledge of the Close Session
            // Request fails the close, and the response comes to a session
            // back in message transfer.
            {"bad integrity", [](RspConfig &c) { c.badIntegrity = true; }, 0, "", {},
             QStringList(4, "error: Integrity data mismatch"), 3},
            // The repeated acknowledge of the Close Session Request comes in
            // place of the response and fails the close.
            {"replayed", [](RspConfig &c) { c.replay = true; }, 0, "", {"ack 5", "40 7"},
             {"error: reused Sequence Number", "error: reused Sequence Number", "error: wrong packet size expected 36 got 28",
              "error: reused Sequence Number"},
             3},
            {"stale", [](RspConfig &c) { c.stale = true; }, 0, "", {"ack 5"},
             {"error: Sequence number outside of window 70 - 101"}},
            {"Close Session status", [](RspConfig &c) { c.closeStatus = 1; }, 0, "", {"ack 5", "40 7"}, {"error: Status Code"}, 3},
        };
        for (const Case &k : cases) {
            RspConfig config = keyed();
            k.set(config);
            Rig rig(config, 400);
            QCOMPARE(rig.console.open(k.consoleNoAck), k.created);
            if (k.created != 0) {
                QVERIFY2(rig.console.session()->getInfo().contains(QLatin1String(k.creation)),
                         qPrintable(QLatin1String(k.name) + ": " + rig.console.session()->getInfo()));
                QCOMPARE(rig.responder.sessionsOpen(), 0);
                continue;
            }
            const int logged = rig.console.log.model()->size();
            QVERIFY(rig.console.send(0x80, 7, 5));
            Console::idle(150);
            QVERIFY2(kinds(rig.console.messages(0, 0)) == k.answers, k.name);
            QVERIFY2(rig.console.close() == k.closed, k.name);
            QStringList findings;
            for (int i = logged; i < rig.console.log.model()->size(); ++i) {
                const ASF_Packet *p = rig.console.log.model()->packetAt(i);
                if (p->status() == ASF_PACKET_ERROR)
                    findings << p->info().mid(p->info().lastIndexOf(QLatin1String(" -error: ")) + 2);
            }
            QVERIFY2(findings == k.findings, qPrintable(QLatin1String(k.name) + ": " + findings.join('|')));
        }
    }

    // What the console falsifies on purpose the responder drops, unanswered,
    // and says why; a good message afterwards is still answered.
    void dropsFalsified_data()
    {
        QTest::addColumn<int>("field"); // 0 Session ID, 1 Sequence Number, 2 Pad Length, 3 integrity
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown session") << 0 << 0x12345678u << "dropped: no open session 12345678";
        QTest::newRow("replayed") << 1 << 40u << "dropped: reused sequence number 40";
        QTest::newRow("stale") << 1 << 8u << "dropped: sequence number 8 outside the window 9 - 40";
        QTest::newRow("oldest of the window, not seen before") << 1 << 9u << "Presence Ping, seq 3, tag 1";
        QTest::newRow("pad length beyond the message") << 2 << 200u << "dropped: Pad Length 200 leaves no RMCP header";
        QTest::newRow("forged") << 3 << 0u << "dropped: integrity data mismatch";
    }
    void dropsFalsified()
    {
        QFETCH(int, field);
        QFETCH(quint32, value);
        QFETCH(QString, reason);
        Rig rig(keyed());
        QCOMPARE(rig.console.open(), 0);
        QRssp *s = rig.console.session();
        const auto sendWith = [&](const rsp::RspOverrides &o) {
            ASF_RMCP_Packet packet;
            packet.setData(QByteArray::fromHex("06000306000011be80010000"));
            const size_t before = rig.got.size();
            return rig.console.rsp->sendMsg(&packet, s, o) && Console::waitFor([&] { return rig.got.size() > before; });
        };
        rsp::RspOverrides o;
        o.sendTail = true;
        o.ownRspSequenceNumber = true;
        o.rspSequenceNumber = 40;
        QVERIFY(sendWith(o) && Console::waitFor([&] { return rig.console.received.size() == 2; }));
        const size_t answered = 2;
        o.rspSequenceNumber = 41;
        if (field == 0) {
            o.ownSessionID = true;
            o.sessionID = value;
        } else if (field == 1) {
            o.rspSequenceNumber = value;
        } else if (field == 2) {
            o.ownPadLength = true;
            o.padLength = quint8(value);
        } else {
            o.falseIntegrityData = true;
        }
        QVERIFY(sendWith(o));
        QVERIFY2(rig.responder.lastDescription().endsWith(reason), qPrintable(rig.responder.lastDescription()));
        Console::idle(50);
        const qsizetype expected = reason.startsWith("dropped") ? 2 : 4;
        o = {};
        o.sendTail = true;
        o.ownRspSequenceNumber = true;
        o.rspSequenceNumber = 42; // sends with a number of their own leave the console's counter at 0
        QVERIFY(sendWith(o));
        const QStringList after = kinds(rig.console.messages(qsizetype(answered), expected));
        QCOMPARE(after.size(), expected);
        QCOMPARE(after.mid(expected - 2), QStringList({"ack 3", "40 1"}));
    }

    // Sessions never closed do not pile up. An Open Session Request naming
    // an open session's SIDm (anybody can send one) leaves that session open.
    void boundedSessions()
    {
        Rig rig(keyed());
        for (int i = 0; i < RspResponder::MaxSessions + 3; ++i)
            QCOMPARE(rig.console.open(), 0);
        QCOMPARE(rig.responder.sessionsOpen(), RspResponder::MaxSessions);
        QCOMPARE(rig.responder.sessionsInCreation(), 0);
        const QByteArray request = QByteArray(8, '\0') + QByteArray::fromHex("06000006000011be83090014")
                                   + rig.console.session()->kx.sidm
                                   + QByteArray::fromHex("01000008010000000200000801000000");
        QCOMPARE(rig.responder.receive(request).size(), size_t(2));
        QCOMPARE(rig.responder.sessionsInCreation(), 1);
        QVERIFY(rig.console.send(0x80, 1, 3));
        QCOMPARE(kinds(rig.console.messages(0, 2)), QStringList({"ack 3", "40 1"}));
    }

    // Reserved bits in the class byte of a request are not echoed into the
    // acknowledge (found by fuzz_sim_rsp_responder).
    void acknowledgeClass()
    {
        Rig rig(keyed());
        const auto answers = rig.responder.receive(QByteArray::fromHex("00000000c3c3c3c306000536000011be80880000"));
        QVERIFY(!answers.empty());
        QCOMPARE(answers.front().bytes.toHex(), QByteArray("00000000c3c3c3c306000586"));
    }
};

QTEST_GUILESS_MAIN(TestSimRsp)
#include "sim_rsp.moc"
