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

    // Created (panel rows too), a ping inside the session, the client's
    // acknowledge and pong fetched, logged and acknowledged inside the
    // session; Disconnect closes the session with the client.
    void sessionPingPongAndClose()
    {
        Page p;
        RMCPControlWidget panel(&p.handler);
        const auto lamp = [&] { return panel.RMCPRSPLED->pixmap().toImage(); };
        const QImage off = lamp();
        QVERIFY(p.connect());
        QCOMPARE(p.state().status, QStringLiteral("Waiting for RSP data phase"));
        QCOMPARE(panel.role_text->text() + '|' + panel.name_text->text(), QStringLiteral("Administrator|tester"));
        const QImage red = lamp();
        p.b.drive(3);
        QCOMPARE(p.state().status, QStringLiteral("Connected (RSP)"));
        QVERIFY(p.handler.isConnected() && p.infos().contains(QStringLiteral("RSP Session created")));
        QVERIFY(lamp() != red && lamp() != off && panel.rspRoleName_Frame->isEnabled());
        QVERIFY(panel.sendRSP_radioButton->isChecked() && panel.sendRSP_radioButton->isEnabled());

        p.handler.sendPacketRsp(6, 0, false, 0, 6, 0x11be, 0x80, false, 0, 0, 0, QString(), Handler::RSP_SESSION);
        const QByteArray ping = p.opened(p.b.next());
        QCOMPARE(ping.left(2) + ping.mid(3, 6) + ping.right(2), hex("0600 06000011be80 0000"));
        const QByteArray reply = message(0, 0, p.b.seq(), 0x40, quint8(ping[9]), pong).mid(8);
        p.b.send(p.b.secured(ping.left(3) + char(0x86), ++p.b.secureSeq));
        p.b.send(p.b.secured(reply, ++p.b.secureSeq));
        ASF_Packet *got = p.row(-2);
        QCOMPARE(got->protocol() + QString::number(got->direction()), QStringLiteral("RMCP/RSP%1").arg(ASF_Packet::Received));
        QCOMPARE(got->data().mid(8, reply.size()), reply);
        QCOMPARE(p.opened(p.b.next()), reply.left(3) + char(0x86));
        QVERIFY(p.handler.sendEnabled()); // the request got what it waited for

        p.handler.connection()->disconnectFromClient();
        QCOMPARE(p.state().status, QStringLiteral("not connected"));
        QVERIFY(panel.role_text->text().isEmpty() && !panel.sendRSP_radioButton->isEnabled());
        const QByteArray close = p.b.next();
        p.b.send(p.b.secured(Bench::ack(close).mid(8), ++p.b.secureSeq));
        p.b.send(p.b.secured(message(0, 0, p.b.seq(), 0x44, quint8(close[17]), hex("08")).mid(8), ++p.b.secureSeq));
        QCOMPARE(p.state().status, QStringLiteral("Connection closed"));
        QVERIFY(!p.handler.connection()->rspManager() && lamp() == red);
    }

    // A client that proves the wrong key, and a socket that cannot connect:
    // no session, no manager left.
    void creationFails()
    {
        Page p;
        QVERIFY(p.connect());
        const QByteArray rakp1 = p.b.drive(2);
        const QByteArray wrong(20, '\x01');
        p.b.send(p.b.reply(2, rakp1, &wrong));
        QCOMPARE(p.state().status, QStringLiteral("Error: RSP Session Creation failed"));
        QCOMPARE(p.row(-1)->getAsfPacketInfo() + QString::number(p.row(-1)->getAsfPacketStatus()),
                 QStringLiteral("Error: RSP Session Creation failed-1"));
        QVERIFY(!p.handler.connection()->rspManager() && !p.handler.isConnected() && p.state().rspLamp == Lamp::Red);

        p.noSocket = true;
        p.handler.connection()->connectToClient();
        QCOMPARE(p.state().status, QStringLiteral("Error initiating RSP"));
        QVERIFY(!p.handler.connection()->rspManager());
    }

    // Kill and Disconnect while the session is being created both abandon
    // it; neither the client's late answers nor a report of the dropped
    // manager (however it comes) reach the page.
    void dropDuringCreation_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("kill") << 0;
        QTest::newRow("disconnect") << 1;
        QTest::newRow("connect again") << 2;
    }
    void dropDuringCreation()
    {
        QFETCH(int, how);
        Page p;
        QVERIFY(p.connect());
        QPointer<rsp::QRspLink> old = p.link();
        QRssp *oldSession = old->qrsp()->sessions().value(0);
        const QByteArray presencePing = p.b.next();
        if (how == 0)
            p.handler.connection()->kill();
        else if (how == 1)
            p.handler.connection()->disconnectFromClient();
        else
            p.handler.connection()->connectToClient();
        const QString status = how == 2 ? QStringLiteral("Waiting for RSP data phase") : QStringLiteral("not connected");
        QCOMPARE(p.state().status, status);
        QVERIFY(p.link() != old && old->qrsp()->isRetired());
        oldSession->status = velquor::rsp::StatusCreationFailed;
        emit old->sessionStatus(oldSession);
        p.handler.connection()->rspSessionStatus(oldSession);
        QCOMPARE(p.state().status, status);
        QCOMPARE(bool(p.handler.connection()->rspManager()), how == 2);

        p.b.send(Bench::ack(presencePing), false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!old);
        if (how == 2) {
            p.b.console = p.link()->qrsp();
            p.b.drive(3);
        }
        QCOMPARE(p.state().status, how == 2 ? QStringLiteral("Connected (RSP)") : status);
    }

    // The session fills in what a generic send leaves out and marks what
    // it was given; with every part given the datagram is as asked, and
    // its retransmission goes inside the session, wrapped anew.
    void genericSends()
    {
        Page p;
        QVERIFY(p.establish());
        p.handler.sendPacketGeneric(6, 0, true, 5, 6, 0x11be, 0x80, true, 9, 0, 0, QString(), Handler::RSP_GENERIC,
                                    true, false, 0, true, 9, true, QStringLiteral("00 00 00 00 00 00"), false, 0,
                                    false, 0, false);
        const QByteArray d = p.b.next();
        QCOMPARE(d.left(8) + d.mid(20, 6), p.b.sidm + be32(9) + hex("00000000 02 06")); // pad cut to 4
        const QString info = p.row(-1)->getAsfPacketInfo();
        QVERIFY2(info.contains(QStringLiteral("error: wrong Sequence Number"))
                     && info.contains(QStringLiteral("error: configured RSP Pad > 4, truncated")),
                 qPrintable(info));
        p.handler.clear();

        p.handler.sendPacketGeneric(6, 0, true, 5, 6, 0x11be, 0x80, true, 9, 0, 0, QString(), Handler::RSP_GENERIC,
                                    true, true, 0x01020304, true, 77, true, QStringLiteral("a1 b2"), true, 3, true,
                                    0x2a, true);
        const QByteArray inner = hex("06000506 000011be 80090000");
        QCOMPARE(p.b.next(), hex("01020304 0000004d") + inner + hex("a1b2 03 2a 0d0e0a0d0b0e0e0f0d0e0a0d"));
        for (quint32 n : {1, 2}) {
            p.b.clock.advance(2500);
            p.handler.doTimer();
            const QByteArray again = p.b.next();
            QCOMPARE(p.opened(again), inner);
            QCOMPARE(again.mid(4, 4), be32(n)); // the session's own numbers, one each
        }
    }
};

QTEST_MAIN(TestRspPage)
#include "tst_rsppage.moc"
