// An RMCP page with RSP: the page's handler and connection open a session
// through QRsp with a scripted managed client, send and receive inside it,
// send with every RSP part given, retransmit, and show what happened. The
// connection's drops (Kill, Disconnect, reconnect) must leave nothing of an
// old manager able to reach the page.

#include "rmcp/asfrmcphandler.h"
#include "rmcp/rmcpconnection.h"
#include "rmcp/rmcpcontrolwidget.h"
#include "rsp/qrsplink.h"
#include "rsptest.h"

#include <QLabel>
#include <QRadioButton>
#include <QtTest>

using namespace velquor;
using namespace rsptest;
using rmcp::Lamp;
using Handler = ASF_RMCP_Handler;

namespace {

struct Page
{
    Bench b;
    Handler handler{&b.clock, nullptr, "RMCP1"};
    bool noSocket = false;

    Page()
    {
        b.name = "tester";
        rsp::Environment env{&b.clock, &b.random, &b.hashes, [this]() -> std::unique_ptr<DatagramSocket> {
                                 if (noSocket)
                                     return nullptr;
                                 return std::make_unique<MemoryDatagramSocket>(&b.network);
                             }};
        handler.connection()->setRspManagerFactory(rsp::qrspManagerFactory(env));
        rmcp::RmcpSettings s;
        s.address = QStringLiteral("127.0.0.1");
        s.portIndex = 1;
        s.rspOn = true;
        s.name = QStringLiteral("tester");
        s.retransmissionOn = true;
        handler.setConfig(s);
        handler.setConfigured();
    }
    const rmcp::ConnectionState &state() const { return handler.connection()->state(); }
    rsp::QRspLink *link() const { return qobject_cast<rsp::QRspLink *>(handler.connection()->rspManager()); }
    // Connects; the client then talks to the manager the page created.
    bool connect()
    {
        handler.connection()->connectToClient();
        b.console = link() ? link()->qrsp() : nullptr;
        b.clientSeq = 0;
        return b.console != nullptr;
    }
    bool establish()
    {
        if (!connect())
            return false;
        b.drive(3);
        return state().status == QLatin1String("Connected (RSP)");
    }
    int rows() const { return int(handler.logger()->model()->size()); }
    ASF_Packet *row(int i) const { return handler.logger()->model()->packetAt(i < 0 ? rows() + i : i); }
    QStringList infos() const
    {
        QStringList out;
        for (int i = 0; i < rows(); ++i)
            out << row(i)->getAsfPacketInfo();
        return out;
    }
    // A secured datagram of the console: its message, after the integrity check.
    QByteArray opened(const QByteArray &d) const
    {
        if (d.size() < 22 || d.left(4) != b.sidm || hmac(b.sik, d.chopped(12)).left(12) != d.right(12))
            return QByteArray();
        const int pad = quint8(d[d.size() - 14]);
        return d.mid(8, d.size() - 22 - pad);
    }
};

const QByteArray pong = hex("000011be 00000000 81 80 000000000000");

} // namespace

class TestRspPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { quietTrace(); }

    // Created, a ping inside the session, the client's acknowledge and
    // pong fetched, logged as received and acknowledged inside the session.
    void sessionPingAndPong()
    {
        Page p;
        QVERIFY(p.connect());
        QCOMPARE(p.state().status, QStringLiteral("Waiting for RSP data phase"));
        QCOMPARE(p.state().roleText + '|' + p.state().nameText, QStringLiteral("Administrator|tester"));
        QVERIFY(!p.handler.isConnected());
        p.b.drive(3);
        QCOMPARE(p.state().status, QStringLiteral("Connected (RSP)"));
        QVERIFY(p.handler.isConnected() && p.state().rspLamp == Lamp::Green && p.state().rspSendOn);
        QVERIFY(p.infos().contains(QStringLiteral("RSP Session created")));
        QVERIFY(p.handler.rspSession() && p.handler.rspManager() == p.link());

        p.handler.sendPacketRsp(6, 0, false, 0, 6, 0x11be, 0x80, false, 0, 0, 0, QString(), Handler::RSP_SESSION);
        const QByteArray ping = p.opened(p.b.next());
        QCOMPARE(ping.size(), 12);
        QCOMPARE(ping.left(2) + ping.mid(3, 6), hex("0600 06000011be80"));
        QVERIFY(!p.handler.sendEnabled());

        const QByteArray reply = message(0, 0, p.b.seq(), 0x40, quint8(ping[9]), pong).mid(8);
        QByteArray ack = ping.left(4);
        ack[3] = char(0x86);
        p.b.send(p.b.secured(ack, 1));
        p.b.send(p.b.secured(reply, 2));
        ASF_Packet *got = p.row(-2);
        QCOMPARE(got->direction(), int(ASF_Packet::Received));
        QCOMPARE(got->protocol(), QStringLiteral("RMCP/RSP"));
        QCOMPARE(got->getAsfPacketStatus(), 1);
        QCOMPARE(got->data().mid(8, reply.size()), reply);
        // The console's acknowledge of the pong went inside the session.
        QCOMPARE(p.opened(p.b.next()), reply.left(3) + char(0x86));
        QVERIFY(p.handler.sendEnabled());
    }

    // A client that proves the wrong key: creation fails, the manager goes.
    void creationFails()
    {
        Page p;
        QVERIFY(p.connect());
        const QByteArray rakp1 = p.b.drive(2);
        const QByteArray wrong(20, '\x01');
        p.b.send(p.b.reply(2, rakp1, &wrong));
        QTRY_COMPARE(p.state().status, QStringLiteral("Error: RSP Session Creation failed"));
        QVERIFY(!p.handler.isConnected() && p.state().rspLamp == Lamp::Red && !p.state().roleFrameEnabled);
        QVERIFY(!p.handler.connection()->rspManager() && !p.handler.rspSession());
        QCOMPARE(p.row(-1)->getAsfPacketStatus(), -1);
        QCOMPARE(p.row(-1)->getAsfPacketInfo(), QStringLiteral("Error: RSP Session Creation failed"));
    }

    // Kill and Disconnect while the session is still being created both
    // abandon it: the client's late answers reach nothing.
    void dropDuringCreation_data()
    {
        QTest::addColumn<bool>("kill");
        QTest::newRow("kill") << true;
        QTest::newRow("disconnect") << false;
    }
    void dropDuringCreation()
    {
        QFETCH(bool, kill);
        Page p;
        QVERIFY(p.connect());
        QPointer<rsp::QRspLink> old = p.link();
        const QByteArray presencePing = p.b.next();
        if (kill)
            p.handler.connection()->kill();
        else
            p.handler.connection()->disconnectFromClient();
        QCOMPARE(p.state().status, QStringLiteral("not connected"));
        QVERIFY(!p.handler.connection()->rspManager());
        QVERIFY(old && old->qrsp()->isRetired());
        p.b.send(Bench::ack(presencePing));
        p.b.send(p.b.reply(0, presencePing));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!old);
        QCOMPARE(p.b.drain(), 0);
        QCOMPARE(p.state().status, QStringLiteral("not connected"));
        QVERIFY(!p.infos().contains(QStringLiteral("RSP Session created")));
    }

    // Reports of a manager the page dropped, however they come, leave the
    // current session alone.
    void staleManagerIgnored()
    {
        Page p;
        QVERIFY(p.connect());
        p.b.next();
        QPointer<rsp::QRspLink> old = p.link();
        QRssp *oldSession = old->qrsp()->sessions().value(0);
        QVERIFY(oldSession);
        QVERIFY(p.connect()); // the first manager is dropped as reused
        QVERIFY(p.link() != old && old);
        QVERIFY(p.infos().contains(QStringLiteral("error: RSP RMCP Socket reused")));
        oldSession->status = velquor::rsp::StatusCreationFailed;
        emit old->sessionStatus(oldSession);
        p.handler.connection()->rspSessionStatus(oldSession);
        QCOMPARE(p.state().status, QStringLiteral("Waiting for RSP data phase"));
        QVERIFY(p.handler.connection()->rspManager());

        p.b.drive(3);
        QCOMPARE(p.state().status, QStringLiteral("Connected (RSP)"));
        QVERIFY(old);
        oldSession->status = velquor::rsp::StatusClosed;
        p.handler.connection()->rspSessionStatus(oldSession);
        p.handler.connection()->rspReceive(oldSession);
        QCOMPARE(p.state().status, QStringLiteral("Connected (RSP)"));
        QVERIFY(p.handler.rspSession());
    }

    // Every RSP part given: the datagram as asked, without the session's
    // help; its retransmission goes inside the session, wrapped anew.
    void genericWithEveryPartAndRetransmission()
    {
        Page p;
        QVERIFY(p.establish());
        p.handler.sendPacketGeneric(6, 0, true, 5, 6, 0x11be, 0x80, true, 9, 0, 0, QString(), Handler::RSP_GENERIC,
                                    true, true, 0x01020304, true, 77, true, QStringLiteral("a1 b2"), true, 3, true,
                                    0x2a, true);
        const QByteArray inner = hex("06000506 000011be 80090000");
        QCOMPARE(p.b.next(), hex("01020304 0000004d") + inner + hex("a1b2 03 2a 0d0e0a0d0b0e0e0f0d0e0a0d"));

        p.b.clock.advance(2500);
        p.handler.doTimer();
        const QByteArray again = p.b.next();
        QCOMPARE(p.opened(again), inner);
        QCOMPARE(again.mid(4, 4), be32(1)); // the session's first own number

        // A message sent inside the session is wrapped with a new number.
        p.b.clock.advance(2500);
        p.handler.doTimer();
        const QByteArray third = p.b.next();
        QCOMPARE(p.opened(third), inner);
        QCOMPARE(third.mid(4, 4), be32(2));
    }

    // The session fills in what a generic send leaves out and marks what it
    // was given; a Disconnect then closes the session with the client.
    void genericThroughSessionAndClose()
    {
        Page p;
        QVERIFY(p.establish());
        p.handler.sendPacketGeneric(6, 0, true, 5, 6, 0x11be, 0x80, true, 9, 0, 0, QString(), Handler::RSP_GENERIC,
                                    true, false, 0, true, 9, true, QStringLiteral("00 00 00 00 00 00"), false, 0,
                                    false, 0, false);
        const QByteArray d = p.b.next();
        QCOMPARE(d.left(8), p.b.sidm + be32(9));
        QCOMPARE(d.mid(20, 6), hex("00000000 02 06")); // the pad cut to 4 bytes, its length computed
        const QString info = p.row(-1)->getAsfPacketInfo();
        QVERIFY2(info.contains(QStringLiteral("error: wrong Sequence Number"))
                     && info.contains(QStringLiteral("error: configured RSP Pad > 4, truncated")),
                 qPrintable(info));

        p.handler.connection()->disconnectFromClient();
        QCOMPARE(p.state().status, QStringLiteral("not connected"));
        const QByteArray close = p.b.next();
        QCOMPARE(close.mid(8 + 8, 1), hex("84"));
        p.b.send(p.b.secured(Bench::ack(close).mid(8), ++p.b.secureSeq));
        p.b.send(p.b.secured(message(0, 0, p.b.seq(), 0x44, quint8(close[17]), hex("08")).mid(8), ++p.b.secureSeq));
        QCOMPARE(p.state().status, QStringLiteral("Connection closed"));
        QVERIFY(p.infos().contains(QStringLiteral("RSP Session closed")));
        QVERIFY(!p.handler.connection()->rspManager() && !p.handler.isConnected());
    }

    // A manager whose socket cannot be connected is never handed out.
    void socketFailureIsErrorInitiating()
    {
        Page p;
        p.noSocket = true;
        p.handler.connection()->connectToClient();
        QCOMPARE(p.state().status, QStringLiteral("Error initiating RSP"));
        QVERIFY(!p.handler.connection()->rspManager() && !p.handler.isConnected());
        QVERIFY(p.state().rspLamp == Lamp::Red && p.state().statusLamp == Lamp::Red);
    }

    // The panel's RSP lamp, role and name rows follow the session.
    void panelRows()
    {
        Page p;
        RMCPControlWidget panel(&p.handler);
        const auto lamp = [&] { return panel.RMCPRSPLED->pixmap().toImage(); };
        const QImage off = lamp();
        QVERIFY(p.establish());
        const QImage green = lamp();
        QVERIFY(green != off);
        QCOMPARE(panel.role_text->text() + '|' + panel.name_text->text(), QStringLiteral("Administrator|tester"));
        QVERIFY(panel.rspRoleName_Frame->isEnabled());
        QVERIFY(panel.sendRSP_radioButton->isChecked() && panel.sendRSP_radioButton->isEnabled());
        QVERIFY(panel.RSP_Generic_radioButton->isEnabled());
        p.handler.connection()->kill();
        QVERIFY(lamp() != green && lamp() != off); // red
        QVERIFY(panel.role_text->text().isEmpty() && !panel.rspRoleName_Frame->isEnabled());
        QVERIFY(!panel.sendRSP_radioButton->isChecked() && !panel.sendRSP_radioButton->isEnabled());
    }
};

QTEST_MAIN(TestRspPage)
#include "tst_rsppage.moc"
