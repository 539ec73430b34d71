// The RMCP handler without widgets: hex text and addresses, request tracking
// and its texts, retransmission on the manual clock, the client's sequence
// numbers, automatic numbers, acknowledges, the send paths and their socket
// errors, the connection (plain and through a stand-in RSP manager), the
// panel's field translation, and code that runs while records are logged.
// Over the in-memory network; a few cases over real loopback UDP.

#include "core/asflogger.h"
#include "core/memorynetwork.h"
#include "core/packetlogmodel.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpconnection.h"
#include "rmcp/rmcplayout.h"
#include "rmcp/rmcpsendform.h"
#include "support/capture.h"
#include "support/testdata.h"

#include <QSignalSpy>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>
#include <deque>

using namespace velquor;
using namespace velquor::rmcp;
using velquor::test::hex;
using Handler = ASF_RMCP_Handler;

namespace {

// An RMCP/ASF message from the client: sequence number, type, tag, data.
QByteArray msg(quint8 seq, quint8 type, quint8 tag, const QByteArray &data = {})
{
    return QByteArray("\x06\x00", 2) + char(seq) + hex("06 000011be") + char(type) + char(tag) + char(0)
           + char(data.size()) + data;
}
QByteArray pong(quint8 seq, quint8 tag) { return msg(seq, 0x40, tag, QByteArray(16, '\0')); }
QByteArray ack(quint8 seq) { return QByteArray("\x06\x00", 2) + char(seq) + char(0x86); }

// A socket whose writes fail with a given code.
class FailingSocket final : public DatagramSocket
{
public:
    explicit FailingSocket(int code) : m_code(code) {}
    int bind(const QHostAddress &, quint16) override { return 0; }
    int connectToHost(const QHostAddress &, quint16) override { return 0; }
    bool isBound() const override { return true; }
    bool isConnected() const override { return true; }
    QHostAddress localAddress() const override { return {}; }
    quint16 localPort() const override { return 1; }
    bool hasPendingDatagrams() const override { return false; }
    int readPending(std::vector<ReceivedDatagram> &) override { return 0; }
    qint64 writeDatagram(const QByteArray &, const QHostAddress &, quint16) override { return -1; }
    qint64 write(const QByteArray &) override { return -1; }
    int lastError() const override { return m_code; }

private:
    int m_code;
};

// Stands in for the RSP manager: wraps what it sends in an 8-byte header,
// reports the session status it is told, hands out queued messages.
class FakeRsp final : public RspManager
{
public:
    using RspManager::RspManager;
    static QRssp *session() { return reinterpret_cast<QRssp *>(quintptr(0x1000)); }

    bool hasSession(QRssp *s) const override { return s == session(); }
    int initSession(const RspSessionParameters &p) override { params = p; return 0; }
    bool termSession(QRssp *) override { return ++closes > 0; }
    bool sendMsg(ASF_RMCP_Packet *packet, QRssp *) override
    {
        if (!accept)
            return false;
        const QByteArray wrapped = QByteArray(8, '\x11') + packet->data();
        packet->setProtocolType(ProtocolRmcpRsp);
        packet->setData(wrapped);
        sent << wrapped;
        return true;
    }
    bool sendMsg(ASF_RMCP_Packet *packet, QRssp *s, const RspOverrides &) override { return sendMsg(packet, s); }
    QByteArray recvMsg(QRssp *) override
    {
        if (inbox.empty())
            return {};
        QByteArray next = inbox.front();
        inbox.pop_front();
        return next;
    }
    qint64 writeRaw(const QByteArray &bytes) override { return sent << bytes, bytes.size(); }
    int socketError() const override { return 0; }
    int sessionStatusCode(QRssp *) const override { return status; }
    QString sessionInfo(QRssp *) const override { return QStringLiteral("session 42"); }
    quint8 sessionClientSequenceNumber(QRssp *) const override { return clientSeq; }
    void setSessionClientSequenceNumber(QRssp *, quint8 n) override { clientSeq = n; }
    void setSessionResponseTime(QRssp *, int ms) override { responseTime = ms; }
    void report(int code)
    {
        status = code;
        emit sessionStatus(session());
    }

    RspSessionParameters params;
    QList<QByteArray> sent;
    std::deque<QByteArray> inbox;
    bool accept = true;
    int status = -1, closes = 0, responseTime = 0;
    quint8 clientSeq = 9;
};

} // namespace

class TestRmcpHandler : public QObject
{
    Q_OBJECT

private:
    ManualLogClock clock;
    MemoryNetwork net;
    std::unique_ptr<MemoryDatagramSocket> client; // the managed client at 10.0.0.2:623
    std::unique_ptr<Handler> handler;
    QPointer<FakeRsp> rsp;

    RmcpSettings settings(const QString &address = QStringLiteral("10.0.0.2"))
    {
        RmcpSettings s;
        s.address = address;
        return s;
    }
    bool connectTo(const RmcpSettings &s)
    {
        handler->setConfig(s);
        handler->connection()->connectToClient();
        return handler->isConnected();
    }
    QList<QByteArray> clientGot()
    {
        std::vector<ReceivedDatagram> out;
        client->readPending(out);
        QList<QByteArray> bytes;
        for (const auto &d : out)
            bytes << d.data;
        return bytes;
    }
    void send(int seq, int tag, int rspSend = Handler::RSP_NONE, quint8 type = 0x80)
    {
        handler->sendPacketRsp(6, 0, seq >= 0, quint8(seq), 6, 4542, type, tag >= 0, quint8(tag), 0, 0, QString(), rspSend);
    }
    PacketLogModel *log() const { return handler->logger()->model(); }
    QString info(int row) const { return log()->rowTexts(row < 0 ? log()->size() + row : row).info; }
    ASF_RMCP_Packet *record(int row) const
    {
        return qobject_cast<ASF_RMCP_Packet *>(log()->packetAt(row < 0 ? log()->size() + row : row));
    }
    void useFakeRsp()
    {
        handler->connection()->setRspManagerFactory([this](const QHostAddress &, Handler *, QObject *parent) {
            rsp = new FakeRsp(parent);
            return rsp.data();
        });
    }

private slots:
    void init()
    {
        clock = ManualLogClock();
        client = std::make_unique<MemoryDatagramSocket>(&net);
        QCOMPARE(client->bind(QHostAddress(QStringLiteral("10.0.0.2")), 623), 0);
        handler = std::make_unique<Handler>(&clock);
        handler->connection()->setSocketFactory([this] { return std::make_unique<MemoryDatagramSocket>(&net); });
    }
    void cleanup()
    {
        handler.reset();
        client.reset();
    }

    void hexText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("max");
        QTest::addColumn<QString>("bytes"); // "invalid" for none
        QTest::newRow("pairs and blanks") << "80 00" << 1000 << "8000";
        QTest::newRow("lone last digit") << "8000 5" << 1000 << "8000";
        QTest::newRow("x inside") << "8x00" << 1000 << "invalid";
        QTest::newRow("CR LF tab") << "80\r\n00\t11" << 1000 << "800011";
        QTest::newRow("split pair") << "8 000" << 1000 << "invalid";
        QTest::newRow("odd before a blank") << "800 " << 1000 << "invalid";
        QTest::newRow("cut at max") << "0102030405 zz" << 2 << "0102";
        QTest::newRow("empty") << "" << 20 << "";
        QTest::newRow("key") << "7c7c7c7c 7c7c7c7c 7c7c7c7c 7c7c7c7c 7c7c7c7c 7c" << 20 << QString(40, '7').replace("77", "7c");
    }
    void hexText()
    {
        QFETCH(QString, text);
        QFETCH(int, max);
        const std::optional<QByteArray> read = readHexText(text, max);
        QTEST(read ? QString::fromLatin1(read->toHex()) : QStringLiteral("invalid"), "bytes");
    }

    void addresses()
    {
        for (const char *good : {"10.1.2.3", "0.0.0.0", "255.255.255.255", "::1", "fe80::1"})
            QVERIFY2(parseIpAddress(QString::fromLatin1(good)), good);
        for (const char *bad : {"10.1", "16909060", " 10.1.2.3", "10.1.2.3 ", "256.1.1.1", "1.2.3.4.5", "host", "", "1..2.3"})
            QVERIFY2(!parseIpAddress(QString::fromLatin1(bad)), bad);
        QCOMPARE(*parseIpAddress(u"010.001.2.3"), QHostAddress(QStringLiteral("10.1.2.3")));
    }

    // A request with (sequence number, tag), then the client's answers: the
    // state after the send, each answer's info, the state at the end.
    void tracking_data()
    {
        QTest::addColumn<int>("seq");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QList<QByteArray>>("answers");
        QTest::addColumn<int>("tracked");
        QTest::addColumn<QStringList>("infos");
        QTest::addColumn<int>("after");
        const QString ackAt = QStringLiteral("Acknowledge\t -Ack for packet sent at 00:00:01:000");
        QTest::newRow("5,7") << 5 << 7 << QList{ack(5), pong(0, 7)} << 4
                             << QStringList{ackAt, "Presence Pong\t -Response for packet sent at 1000"} << 0;
        QTest::newRow("255,7") << 255 << 7 << QList{pong(0, 7)} << 3
                               << QStringList{"Presence Pong\t -Response for packet sent at 00:00:01:000"} << 0;
        QTest::newRow("5,255") << 5 << 255 << QList{ack(5)} << 2 << QStringList{ackAt} << 0;
        QTest::newRow("255,255") << 255 << 255 << QList{ack(5)} << 0
                                 << QStringList{"Acknowledge\t -Out of state packet, not expecting anything"} << 0;
        QTest::newRow("ack awaited, response") << 5 << 255 << QList{pong(0, 7)} << 2
                                               << QStringList{"Presence Pong\t -Out of state packet"} << 2;
        QTest::newRow("response awaited, ack") << 255 << 7 << QList{ack(5)} << 3
                                               << QStringList{"Acknowledge\t -Out of state packet"} << 3;
        QTest::newRow("response first") << 5 << 7 << QList{pong(0, 7)} << 4
                                        << QStringList{"Presence Pong\t -Out of state packet, expecting acknowledge"} << 4;
        QTest::newRow("second ack") << 5 << 7 << QList{ack(5), ack(5)} << 4
                                    << QStringList{ackAt, "Acknowledge\t -Out of state packet, expecting Response"} << 4;
        QTest::newRow("wrong tag") << 5 << 7 << QList{ack(5), pong(0, 8)} << 4
                                   << QStringList{ackAt, "Presence Pong\t -Received Response but wrong message tag"} << 4;
    }
    void tracking()
    {
        QFETCH(int, seq);
        QFETCH(int, tag);
        QFETCH(QList<QByteArray>, answers);
        QVERIFY(connectTo(settings()));
        QSignalSpy sendEnabled(handler.get(), &Handler::sendEnabledChanged);
        clock.setElapsed(1000);
        send(seq, tag);
        QTEST(handler->tracker().state(), "tracked");
        QCOMPARE(handler->retransmissionTimer()->isActive(), handler->tracker().tracking());
        if (handler->tracker().tracking())
            QCOMPARE(handler->retransmissionTimer()->interval(), 2000);
        clock.setElapsed(1500);
        QStringList infos;
        for (const QByteArray &answer : answers) {
            handler->receiveDatagram(answer);
            infos << info(-1 - (record(-1)->direction() == ASF_Packet::Sent)); // the answer, not its acknowledge
        }
        QTEST(infos, "infos");
        QTEST(handler->tracker().state(), "after");
        QCOMPARE(handler->sendEnabled(), !handler->tracker().tracking());
        QCOMPARE(handler->retransmissionTimer()->isActive(), handler->tracker().tracking());
        QCOMPARE(sendEnabled.count(), handler->tracker().state() != 0 ? 1 : (tag == 255 && seq == 255 ? 0 : 2));
        if (infos.last().endsWith(QLatin1String("wrong message tag"))) {
            ASF_RMCP_Packet *answer = record(-2);
            QCOMPARE(answer->getMessageTagStatusText(), QStringLiteral("expected 0x07"));
            QCOMPARE(answer->getAsfPacketStatus(), ASF_PACKET_ERROR);
        }
    }

    // 2000 ms, 3 repeats: sent at 0, again at 2, 4, 6 s, failed at 8 s.
    void retransmission_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("on, ack") << true << 255
                                 << QStringList{"Retransmission 1 for packet sent at 00:00:00:000; waiting for acknowledge",
                                                "Retransmission 2 for packet sent at 00:00:00:000; waiting for acknowledge",
                                                "Retransmission 3 for packet sent at 00:00:00:000; waiting for acknowledge",
                                                "Packet sent at 00:00:00:000 FAILED (after 3 retransmissions), while waiting for acknowledge"};
        QTest::newRow("off, response") << false << 7
                                       << QStringList{"Packet sent at 00:00:00:000 FAILED (after 0 retransmissions), while waiting for response"};
    }
    void retransmission()
    {
        QFETCH(bool, on);
        QFETCH(int, tag);
        QFETCH(QStringList, lines);
        RmcpSettings s = settings();
        s.retransmissionOn = on;
        QVERIFY(connectTo(s));
        send(tag == 255 ? 5 : 255, tag);
        const QByteArray request = clientGot().value(0);
        QStringList logged;
        for (quint32 t = 2000; handler->tracker().tracking(); t += 2000) {
            clock.setElapsed(t);
            handler->doTimer();
            logged << info(-1);
            QCOMPARE(log()->rowTexts(log()->size() - 1).time, timestampText(t));
            QCOMPARE(log()->rowStatus(log()->size() - 1), logged.size() < lines.size() ? ASF_PACKET_WARNING : ASF_PACKET_ERROR);
            QVERIFY(t < 20000);
        }
        QCOMPARE(logged, lines);
        QCOMPARE(clientGot(), QList<QByteArray>(lines.size() - 1, request)); // the same bytes each time
        QVERIFY(handler->sendEnabled());
        QVERIFY(!handler->retransmissionTimer()->isActive());
    }

    // A retransmission that cannot be sent is logged, and the awaited
    // response keeps its tag.
    void failedRetransmissionKeepsTheRequest()
    {
        RmcpSettings s = settings();
        s.retransmissionOn = true;
        QVERIFY(connectTo(s));
        send(5, 7);
        handler->receiveDatagram(ack(5));
        handler->connection()->kill();
        clock.setElapsed(2000);
        handler->doTimer();
        QCOMPARE(info(-1), QStringLiteral("Retransmission 1 for packet sent at 00:00:00:000; waiting for response -error: could not send; not connected"));
        QCOMPARE(log()->rowStatus(log()->size() - 1), ASF_PACKET_ERROR);
        QCOMPARE(handler->tracker().expectedMessageTag(), quint8(7));
        handler->receiveDatagram(ack(5));
        handler->receiveDatagram(pong(0, 7));
        QVERIFY(!handler->tracker().tracking());
    }

    void clientSequenceNumbers_data()
    {
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QStringList>("fieldTexts"); // the SequenceNr status text of each
        QTest::newRow("3 then 5") << QList{3, 5, 6} << QStringList{"", "expected 4", ""};
        QTest::newRow("254 then 0") << QList{254, 0} << QStringList{"", ""};
        QTest::newRow("255") << QList{255} << QStringList{""};
    }
    void clientSequenceNumbers()
    {
        QFETCH(QList<int>, numbers);
        QVERIFY(connectTo(settings()));
        QStringList texts;
        for (int n : numbers) {
            handler->receiveDatagram(pong(quint8(n), 7));
            ASF_RMCP_Packet *answer = record(n == 255 ? -1 : -2);
            texts << answer->getSequenceNrStatusText();
            QCOMPARE(answer->getAsfPacketInfo().contains(QLatin1String("warning: wrong sequence #")),
                     !texts.last().isEmpty());
            QCOMPARE(answer->getAsfPacketInfo().contains(QLatin1String("Sequence Nr. is 255, no Acknowledge")), n == 255);
        }
        QTEST(texts, "fieldTexts");
        QCOMPARE(clientGot().size(), int(numbers.count(255) ? 0 : numbers.size())); // no acknowledge for 255
    }

    void automaticNumbers()
    {
        handler->setConsoleSequenceNumber(17);
        handler->clear();
        for (int i = 0; i < 300; ++i)
            send(-1, -1);
        for (int i = 0; i < 300; ++i) {
            const QByteArray bytes = record(i)->data();
            QCOMPARE(int(quint8(bytes[2])), i % 255);
            QCOMPARE(int(quint8(bytes[9])), i % 255);
        }
    }

    void acknowledges_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<int>("protocolType");
        QTest::addColumn<QByteArray>("acknowledge");
        QTest::newRow("06 00 07 06") << msg(7, 0x40, 1, QByteArray(16, 0)) << 3 << hex("06000786");
        QTest::newRow("class 07") << hex("06000907 000011be 40010000") << 3 << hex("06000987");
        QTest::newRow("behind an RSP header") << hex("0102030400000001") + msg(7, 0x40, 1) << 4 << hex("06000786");
        QTest::newRow("sequence 255") << msg(255, 0x40, 1) << 3 << QByteArray();
        QTest::newRow("acknowledge") << ack(5) << 3 << QByteArray();
        QTest::newRow("3 bytes") << hex("060007") << 3 << QByteArray();
        QTest::newRow("RSP header only") << hex("0102030400000001060007") << 4 << QByteArray();
        QTest::newRow("empty") << QByteArray() << 3 << QByteArray();
    }
    void acknowledges()
    {
        QFETCH(QByteArray, received);
        QFETCH(int, protocolType);
        QFETCH(QByteArray, acknowledge);
        QVERIFY(connectTo(settings()));
        if (protocolType == ProtocolRmcpRsp)
            handler->receiveRspMessage(received);
        else
            handler->receiveDatagram(received);
        QCOMPARE(clientGot(), acknowledge.isEmpty() ? QList<QByteArray>() : QList{acknowledge});
        const bool short_ = received.size() < messageOffset(protocolType) + 4;
        QCOMPARE(record(0)->getAsfPacketInfo().contains(QLatin1String("error: datagram shorter than an RMCP header")), short_);
        if (short_)
            QCOMPARE(record(0)->getAsfPacketStatus(), ASF_PACKET_ERROR);
    }

    void invalidDataText()
    {
        handler->sendPacketRsp(6, 0, true, 1, 6, 4542, 0x80, true, 2, 0, 2, QStringLiteral("8x00"), Handler::RSP_NONE);
        ASF_RMCP_Packet *sent = record(0);
        QCOMPARE(sent->data(), msg(1, 0x80, 2).left(11) + char(2)); // Data Length as given, no data
        QCOMPARE(sent->getRmcpDataStatus(), ASF_PACKET_ERROR);
        QCOMPARE(sent->getRmcpDataStatusText(), QStringLiteral("error: error evaluate data string"));
        QCOMPARE(sent->getAsfPacketStatus(), ASF_PACKET_ERROR);
    }

    void writeErrorDescriptions_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("text");
        const char *texts[] = {" - No error has occurred",
                               "- The device is already bound, according to bind(). ",
                               " - The operating system or firewall prohibited the action. ",
                               " - The operating system ran out of a resource. ",
                               " - An internal error occurred in QSocketDevice. ",
                               " - An attempt was made to do something which makes no sense.",
                               " - The operating system will not let QSocketDevice open another file.",
                               " - A connection attempt was rejected by the peer. ",
                               " - There is a network failure. ",
                               " - The operating system did something unexpected."};
        for (int code = 0; code < 10; ++code)
            QTest::addRow("%d", code) << code << QByteArray(texts[code]);
        QTest::newRow("42") << 42 << QByteArray(" - unhandled error");
    }
    // A failed write prints the socket's error and is tracked all the same.
    void writeErrorDescriptions()
    {
        QFETCH(int, code);
        handler->connection()->setSocketFactory([code] { return std::make_unique<FailingSocket>(code); });
        QVERIFY(connectTo(settings()));
        velquor::test::TraceCapture trace; // the trace must not land on stdout
        const QByteArray printed = velquor::test::captureStdout([this] { send(5, 7); });
        QTEST(printed, "text");
        QCOMPARE(info(0), QStringLiteral("Presence Ping\t -error: Packet send failed (1)"));
        QCOMPARE(handler->tracker().state(), int(S_WAIT_ACK_RESPONSE));
    }

    void connectErrors()
    {
        const QStringList texts{"error: device is already bound", "error: operating system or firewall prohibited the action",
                                "error: system ran out of a resource", "error: internal error occurred",
                                "error: impossible to perform action", "error: no further open/bind allowed",
                                "error: attempt was rejected by the peer", "error: network failure",
                                "error: unexpected system reaction"};
        for (int code = 1; code <= 9; ++code) {
            handler->connection()->setSocketFactory([this, code] {
                auto socket = std::make_unique<MemoryDatagramSocket>(&net);
                socket->setBindResult(code);
                return socket;
            });
            QVERIFY(!connectTo(settings()));
            const ConnectionState &s = handler->connection()->state();
            QCOMPARE(s.status, texts[code - 1]);
            QCOMPARE(QVariantList({s.connectText, s.killEnabled, int(s.statusLamp)}), QVariantList({"Connect", false, int(Lamp::Red)}));
        }
        QVERIFY(!connectTo(settings(QStringLiteral("10.1"))));
        QCOMPARE(handler->connection()->state().status, QStringLiteral("error: bad IP address"));
        QCOMPARE(log()->rowTexts(0).info, QStringLiteral("error: bad IP address used"));
        QCOMPARE(qobject_cast<ASF_LogPacket *>(log()->packetAt(0))->logMessage(),
                 QStringLiteral("bad or no address configured \"10.1\""));
    }

    void plainConnection()
    {
        QVERIFY(connectTo(settings()));
        const ConnectionState &s = handler->connection()->state();
        QCOMPARE(QStringList({s.status, s.connectText, s.shownAddress, s.shownPort}),
                 QStringList({"Connected", "Disconnect", "10.0.0.2", "623"}));
        QVERIFY(s.killEnabled);
        QCOMPARE(s.statusLamp, Lamp::Green);
        // Connect again: the old socket is dropped with a log line, later.
        QPointer<DatagramSocket> first = handler->rawSocket();
        QVERIFY(connectTo(settings()));
        QCOMPARE(info(0), QStringLiteral("error: raw RMCP Socket reused"));
        QVERIFY(first && first != handler->rawSocket());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        handler->connection()->toggle();
        QCOMPARE(handler->connection()->state().status, QStringLiteral("not connected"));
        QCOMPARE(handler->connection()->state().statusLamp, Lamp::Red);
        QVERIFY(!handler->rawSocket());
        send(5, 7);
        QCOMPARE(info(-1), QStringLiteral("Presence Ping\t -error: could not send; not connected"));
        QVERIFY(!handler->tracker().tracking());
    }

    // Nobody at the client's port: the system's ICMP answer wakes the
    // socket with nothing to read.
    void unreachableClient()
    {
        QVERIFY(connectTo(settings(QStringLiteral("10.0.0.3"))));
        send(5, 7);
        QTRY_COMPARE(log()->size(), 2);
        QCOMPARE(info(1), QStringLiteral("check managed client adress and port"));
        QCOMPARE(qobject_cast<ASF_LogPacket *>(log()->packetAt(1))->logMessage(),
                 QStringLiteral("managed client address or port might be wrong"));
        QCOMPARE(log()->rowStatus(1), ASF_PACKET_WARNING);
    }

    void clearAndSettings()
    {
        QVERIFY(connectTo(settings()));
        send(5, 7);
        handler->clear();
        QVERIFY(handler->sendEnabled());
        QVERIFY(!handler->tracker().pending());
        QVERIFY(!handler->retransmissionTimer()->isActive());
        for (const char *time : {"0", "-5", "abc"}) {
            RmcpSettings s = settings();
            s.responseTime = QLatin1String(time);
            handler->setConfig(s);
            handler->applyConfig();
            QCOMPARE(handler->clientResponseTime(), 2000);
            QCOMPARE(log()->rowStatus(log()->size() - 1), ASF_PACKET_WARNING);
            QCOMPARE(info(-1), QStringLiteral("warning: client response time below 1 ms refused"));
        }
        QVERIFY(!handler->setClientResponseTime(0));
        QVERIFY(!handler->setMaxRetransmissions(-1));
        QVERIFY(handler->setClientResponseTime(750));
        QCOMPARE(handler->config().responseTime, QStringLiteral("750"));
    }

    void rspConnection()
    {
        QVERIFY(!connectTo([&] { RmcpSettings s = settings(); s.rspOn = true; return s; }()));
        QCOMPARE(handler->connection()->state().status, QStringLiteral("Error initiating RSP"));

        useFakeRsp();
        RmcpSettings s = settings();
        s.rspOn = true;
        s.portIndex = 1;
        s.role = OperatorRole;
        s.name = QStringLiteral("tester");
        s.administratorKey = QStringLiteral("not hex"); // not the role's key: just empty
        QVERIFY(!connectTo(s));
        const ConnectionState &state = handler->connection()->state();
        QCOMPARE(state.status, QStringLiteral("Waiting for RSP data phase"));
        QCOMPARE(*state.keyValid, (std::array<bool, 3>{true, false, true}));
        QCOMPARE(rsp->params.operatorKey, QByteArray(20, '\x7c'));
        QVERIFY(rsp->params.administratorKey.isEmpty());
        QCOMPARE(QVariantList({rsp->params.role, rsp->params.timerPeriod, rsp->params.userName}), QVariantList({0, 2000, "tester"}));

        rsp->report(0);
        QVERIFY(handler->isConnected());
        QCOMPARE(state.status, QStringLiteral("Connected (RSP)"));
        QCOMPARE(handler->expectedClientSequenceNumber(), quint8(9));
        QCOMPARE(info(-1), QStringLiteral("RSP Session created"));
        QVERIFY(state.rspSendOn && state.rspSendEnabled && state.roleFrameEnabled);

        // A message the session refuses is no request to wait for.
        rsp->accept = false;
        send(5, 7, Handler::RSP_SESSION);
        QCOMPARE(info(-1), QStringLiteral("Presence Ping\t -error: Packet send failed (RSP session)"));
        QVERIFY(!handler->tracker().tracking());
        // An accepted one is tracked from its RMCP header behind the RSP header.
        rsp->accept = true;
        send(5, 7, Handler::RSP_SESSION);
        QCOMPARE(handler->tracker().state(), int(S_WAIT_ACK_RESPONSE));
        QCOMPARE(handler->tracker().expectedMessageTag(), quint8(7));
        rsp->inbox = {QByteArray(8, '\x22') + ack(5), QByteArray(8, '\x22') + pong(9, 7)};
        emit rsp->msgReceived(FakeRsp::session());
        QVERIFY(!handler->tracker().tracking());
        QCOMPARE(rsp->sent.last(), QByteArray(8, '\x11') + ack(9)); // the pong, acknowledged in the session

        handler->connection()->disconnectFromClient();
        QCOMPARE(QVariantList({state.status, rsp->closes, rsp->clientSeq}), QVariantList({"not connected", 1, 10}));
        rsp->report(2);
        QCOMPARE(state.status, QStringLiteral("Connection closed"));
        QCOMPARE(info(-1), QStringLiteral("RSP Session closed"));
        QVERIFY(!handler->rspManager());

        // Kill: the page forgets manager and session at once.
        QVERIFY(!connectTo(s));
        rsp->report(0);
        QPointer<FakeRsp> killed = rsp;
        handler->connection()->kill();
        QCOMPARE(state.status, QStringLiteral("not connected"));
        QVERIFY(!handler->rspManager() && !handler->rspSession());
        killed->report(2); // heard by nobody
        QCOMPARE(state.status, QStringLiteral("not connected"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!killed);

        // A report on a session the current manager does not hold (one of a
        // manager dropped before) must not end the current creation.
        QVERIFY(!connectTo(s));
        rsp->status = 1;
        handler->connection()->rspSessionStatus(reinterpret_cast<QRssp *>(quintptr(0x2000)));
        QCOMPARE(state.status, QStringLiteral("Waiting for RSP data phase"));
        QVERIFY(handler->connection()->rspManager());

        s.generatorKey = QStringLiteral("5D5X");
        QVERIFY(!connectTo(s));
        QCOMPARE(state.status, QStringLiteral("error: RSP while translating keys"));
    }

    void rspSessionOutcomes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("line");
        QTest::newRow("1") << 1 << "Error: RSP Session Creation failed" << false << "Error: RSP Session Creation failed";
        QTest::newRow("3") << 3 << "Error: RSP Session closing failed" << true << "Error: RSP Session closing failed";
        QTest::newRow("7") << 7 << "Waiting for RSP data phase" << false << "error: unkown connection state (use kill)";
    }
    void rspSessionOutcomes()
    {
        useFakeRsp();
        RmcpSettings s = settings();
        s.rspOn = true;
        connectTo(s);
        QFETCH(int, code);
        rsp->report(code);
        QTEST(handler->connection()->state().status, "status");
        QTEST(handler->isConnected(), "connected");
        QTEST(info(-1), "line");
        QCOMPARE(log()->rowStatus(log()->size() - 1), ASF_PACKET_ERROR);
    }

    // Code that hears of a new row (scripts) may clear the log and drop the
    // connection, also while the socket that woke it is still reading.
    void slotsThatRunWhileLogging()
    {
        RmcpSettings s = settings();
        s.retransmissionOn = true;
        QVERIFY(connectTo(s));
        send(5, 255);
        int heard = 0;
        bool armed = true;
        connect(handler->logger(), &ASF_Logger::newPacketSignal, this, [&] {
            if (!armed)
                return;
            ++heard;
            handler->clear();
            handler->connection()->kill();
        });
        clock.setElapsed(2000);
        handler->doTimer(); // the retransmission's row ends it all
        QCOMPARE(heard, 1);
        QVERIFY(!handler->tracker().tracking());
        QVERIFY(!handler->rawSocket());

        armed = false;
        QVERIFY(connectTo(s));
        send(5, 7);
        armed = true;
        const quint16 port = handler->rawSocket()->localPort();
        client->writeDatagram(ack(5), QHostAddress(QStringLiteral("10.0.0.2")), port);
        client->writeDatagram(pong(0, 7), QHostAddress(QStringLiteral("10.0.0.2")), port);
        QTRY_VERIFY(heard > 1);
        QVERIFY(!handler->rawSocket());
        QVERIFY(!handler->tracker().tracking());
    }

    void sendForm()
    {
        struct Case
        {
            const char *name;
            std::function<void(SendFormTexts &)> edit;
            int failed; // SendFormField, or -1
            std::function<bool(const SendRequest &)> check;
        };
        const Case cases[] = {
            {"defaults", [](SendFormTexts &) {}, -1,
             [](const SendRequest &r) { return r.version == 6 && r.ianaEnterpriseNr == 4542 && r.messageType == 0x10 && !r.ownSeqNr && !r.ownMsgTag && r.rspSend == 0; }},
            {"version 7FFF", [](SendFormTexts &t) { t.version = "7FFF"; }, -1, [](const SendRequest &r) { return r.version == 0xFF; }},
            {"version 8000", [](SendFormTexts &t) { t.version = "8000"; }, int(SendFormField::Version), {}},
            {"two blanks", [](SendFormTexts &t) { t.sequenceNr = "  "; }, -1, [](const SendRequest &r) { return !r.ownSeqNr; }},
            {"three blanks", [](SendFormTexts &t) { t.sequenceNr = "   "; }, int(SendFormField::SequenceNr), {}},
            {"sequence 05", [](SendFormTexts &t) { t.sequenceNr = "05"; }, -1, [](const SendRequest &r) { return r.ownSeqNr && r.sequenceNr == 5; }},
            {"IANA blanks", [](SendFormTexts &t) { t.ianaEnterpriseNr = "1 1 B E"; }, -1, [](const SendRequest &r) { return r.ianaEnterpriseNr == 0x11BE; }},
            {"IANA empty", [](SendFormTexts &t) { t.ianaEnterpriseNr = " "; }, int(SendFormField::IanaEnterpriseNr), {}},
            {"IANA X", [](SendFormTexts &t) { t.ianaEnterpriseNr = "00 00 11 BX"; }, int(SendFormField::IanaEnterpriseNr), {}},
            {"IANA 33 bits", [](SendFormTexts &t) { t.ianaEnterpriseNr = "1 0000 0000"; }, int(SendFormField::IanaEnterpriseNr), {}},
            {"type 100", [](SendFormTexts &t) { t.messageType = "100"; }, int(SendFormField::MessageType), {}},
            {"RSP without session", [](SendFormTexts &t) { t.rsp = true; }, -1, [](const SendRequest &r) { return r.rspSend == 0; }},
            {"generic", [](SendFormTexts &t) { t.genericRsp = true; t.sessionId = "0000 0001"; t.rspSequenceNumber = " "; t.trailer = true; t.pad = "  "; t.nextHeader = "6"; },
             -1, [](const SendRequest &r) { return r.rspSend == 2 && r.rsp.ownSessionID && r.rsp.sessionID == 1 && !r.rsp.ownRspSequenceNumber && r.rsp.sendTail && !r.rsp.ownPad && !r.rsp.ownPadLength && r.rsp.ownNextHeader && r.rsp.nextHeader == 6; }},
            {"pad length x", [](SendFormTexts &t) { t.genericRsp = true; t.trailer = true; t.padLength = "x"; }, int(SendFormField::PadLength), {}},
        };
        for (const Case &c : cases) {
            SendFormTexts texts;
            c.edit(texts);
            const SendFormResult r = translateSendForm(texts, false);
            QVERIFY2(r.failed.has_value() == (c.failed >= 0), c.name);
            if (r.failed) {
                // Every box before the failing one translated.
                QVERIFY2(int(*r.failed) == c.failed && !r.request && r.translated.size() == size_t(c.failed), c.name);
            } else {
                QVERIFY2(r.request && c.check(*r.request), c.name);
            }
        }
        SendFormTexts rsp;
        rsp.rsp = true;
        QCOMPARE(translateSendForm(rsp, true).request->rspSend, int(Handler::RSP_SESSION));
    }

    // --- real loopback UDP ----------------------------------------------

    void overLoopbackUdp()
    {
        // A managed client that acknowledges and answers a Presence Ping.
        QUdpSocket peer;
        QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
        connect(&peer, &QUdpSocket::readyRead, &peer, [&peer] {
            while (peer.hasPendingDatagrams()) {
                QHostAddress from;
                quint16 port = 0;
                QByteArray d(int(peer.pendingDatagramSize()), '\0');
                peer.readDatagram(d.data(), d.size(), &from, &port);
                if (d.size() >= 12 && !(quint8(d[3]) & 0x80)) {
                    peer.writeDatagram(d.left(3) + char(0x86), from, port);
                    peer.writeDatagram(pong(0, quint8(d[9])), from, port);
                }
            }
        });
        handler->connection()->setSocketFactory({});
        handler->connection()->setPlainPort(peer.localPort());
        QVERIFY(connectTo(settings(QStringLiteral("127.0.0.1"))));
        QCOMPARE(handler->port(), peer.localPort());
        clock.setElapsed(0);
        send(-1, -1);
        QTRY_COMPARE(log()->size(), 4);
        QCOMPARE(info(1), QStringLiteral("Acknowledge\t -Ack for packet sent at 00:00:00:000"));
        QCOMPARE(info(2), QStringLiteral("Presence Pong\t -Response for packet sent at 0"));
        QCOMPARE(record(3)->data(), hex("06000086"));
        QVERIFY(!handler->tracker().tracking());

        // The client is gone: the next request meets a closed port.
        peer.close();
        send(-1, -1);
        QTRY_COMPARE(info(-1), QStringLiteral("check managed client adress and port"));
    }
};

QTEST_GUILESS_MAIN(TestRmcpHandler)
#include "tst_rmcphandler.moc"
