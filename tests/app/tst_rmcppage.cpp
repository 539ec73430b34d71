// The two RMCP pages with their real handlers, panels and dialogs: start-up
// values, the panel's fields, connecting from the page and from the dialog
// (each page on its own), the port choice, and a request over loopback UDP.

#include "app/mainwidow.h"
#include "app/rmcppagehandler.h"
#include "app/standardhandlers.h"
#include "core/asflogger.h"
#include "core/asfpacket.h"
#include "core/imagesource.h"
#include "core/packetlogmodel.h"
#include "core/tracelog.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/rmcpconfig.h"
#include "rmcp/rmcpconnection.h"
#include "rmcp/rmcpcontrolwidget.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QUdpSocket>
#include <QtTest>

using namespace velquor;

namespace {

struct Workbench
{
    MainWidow w;
    RmcpPageHandler *pages[2] = {};

    bool start()
    {
        registerStandardHandlers(w);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w) || !QTest::qWaitFor([this] { return w.traceLog()->isInstalled(); }))
            return false;
        for (int i = 0; i < 2; ++i)
            pages[i] = static_cast<RmcpPageHandler *>(w.pageHandler(MainWidow::Rmcp1PageId + i));
        return pages[0] && pages[1];
    }
    const RmcpPage &page(int n) const { return w.rmcpPage(n); }
    RMCPControlWidget *panel(int n) const { return pages[n - 1]->panel(); }
    RMCPConfig *dialog(int n) const { return pages[n - 1]->dialog(); }
    ASF_RMCP_Handler *handler(int n) const { return pages[n - 1]->handler(); }
    PacketLogModel *log(int n) const { return handler(n)->logger()->model(); }
};

bool shows(const QLabel *lamp, const char *image)
{
    return lamp->pixmap().toImage() == velquor::image(QLatin1String(image)).toImage();
}

QColor base(const QWidget *box)
{
    return box->palette().color(QPalette::Base);
}

} // namespace

class TestRmcpPage : public QObject
{
    Q_OBJECT

private slots:
    void startupAndPanel();
    void panelFieldTranslation();
    void pagesConnectEachOnTheirOwn();
    void dialogAndPortChoice();
};

void TestRmcpPage::startupAndPanel()
{
    Workbench b;
    b.page(2).retransmissionInterval->setText(QStringLiteral("99")); // replaced by the dialog's value
    QVERIFY(b.start());
    for (int n : {1, 2}) {
        const RmcpPage &p = b.page(n);
        QCOMPARE(QStringList({p.RMCPIPAdr->text(), p.RMCPIPPort->currentText(), p.retransmissionInterval->text(),
                              p.retransmissionNr->text(), p.status_textLabel_2->text()}),
                 QStringList({"", "623", "2000", "3", "not listening"}));
        QVERIFY(p.retransmissionOff_radioButton->isChecked() && p.RSPOff_radioButton->isChecked()
                && p.RSPAdministrator_radioButton->isChecked());
        QVERIFY(!p.RMCPDisconfigConnect_Button->isEnabled());
        QCOMPARE(b.handler(n)->port(), quint16(623));
        QCOMPARE(b.handler(n)->clientResponseTime(), 2000);
        QCOMPARE(b.panel(n)->parentWidget(), p.rmcpControlFrame);
        QCOMPARE(b.handler(n)->objectName(), n == 1 ? QStringLiteral("RMCP1") : QStringLiteral("RMCP2"));
    }
    RMCPControlWidget *panel = b.panel(1);
    QCOMPARE(panel->RMCPIPPort->text(), QStringLiteral("623"));
    QVERIFY(shows(panel->RMCPStatusLED, "ledred.png") && shows(panel->RMCPRSPLED, "ledoff.png"));
    // The list's first entry is what Send sends from the start.
    QCOMPARE(panel->RCMPPacketMessageType->text() + '|' + panel->RCMPPacketMessageTag->text(), QStringLiteral("10|FF"));
    panel->RCMPcomboBox->setCurrentText(QStringLiteral("Presence Ping"));
    QCOMPARE(panel->RCMPPacketMessageType->text() + '|' + panel->RCMPPacketMessageTag->text(), QStringLiteral("80|"));
    // The message fields wait behind "Fields"; the RSP modes need RSP.
    QVERIFY(!panel->RCMPGenericButtonGroup->isVisibleTo(panel));
    QTest::mouseClick(panel->fields_button, Qt::LeftButton);
    QVERIFY(panel->RCMPPacketVersion->isVisibleTo(panel));
    // The session mode waits for a session; the generic one can be set up
    // at once, its header and trailer boxes once chosen.
    QVERIFY(!panel->sendRSP_radioButton->isEnabled() && panel->RSP_Generic_radioButton->isEnabled());
    QVERIFY(!panel->RCMPPacketIANANr_2->isEnabled());
    panel->RSP_Generic_radioButton->setChecked(true);
    panel->RSP_Trailer_radioButton->setChecked(true);
    QVERIFY(panel->RCMPPacketIANANr_2->isEnabled() && panel->RCMPPacketMessageTag_2->isEnabled());
}

void TestRmcpPage::panelFieldTranslation()
{
    Workbench b;
    QVERIFY(b.start());
    RMCPControlWidget *panel = b.panel(1);
    const QColor yellow(255, 255, 127), white(255, 255, 255);
    panel->RCMPPacketVersion->setText(QStringLiteral("1G"));
    QTest::mouseClick(panel->RCMPSend_Button, Qt::LeftButton);
    QCOMPARE(base(panel->RCMPPacketVersion), yellow);
    QVERIFY(panel->RCMPGenericButtonGroup->isVisibleTo(panel)); // shown, so the yellow box can be seen
    panel->RCMPPacketVersion->setText(QStringLiteral("06"));
    panel->RCMPPacketIANANr->setText(QStringLiteral("00 00 11 BX"));
    QTest::mouseClick(panel->RCMPSend_Button, Qt::LeftButton);
    QCOMPARE(QList<QColor>({base(panel->RCMPPacketVersion), base(panel->RCMPPacketMessageClass),
                            base(panel->RCMPPacketIANANr)}),
             QList<QColor>({white, white, yellow}));
    QCOMPARE(b.log(1)->size(), 0); // nothing sent

    panel->RCMPPacketIANANr->setText(QStringLiteral("0000 11BE"));
    panel->RCMPPacketSequenceNr->setText(QStringLiteral("05"));
    panel->RCMPPacketData->setPlainText(QStringLiteral("80 00"));
    QTest::mouseClick(panel->RCMPSend_Button, Qt::LeftButton);
    QCOMPARE(base(panel->RCMPPacketIANANr), white);
    QCOMPARE(b.log(1)->size(), 1);
    QCOMPARE(b.log(1)->packetAt(0)->data(), QByteArray::fromHex("06000506000011be10ff00008000"));
    QCOMPARE(b.log(2)->size(), 0);
}

void TestRmcpPage::pagesConnectEachOnTheirOwn()
{
    Workbench b;
    QVERIFY(b.start());
    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    b.handler(1)->connection()->setPlainPort(client.localPort());
    const RmcpPage &p = b.page(1);
    p.RMCPIPAdr->setText(QStringLiteral("127.0.0.1"));
    p.retransmissionOn_radioButton->setChecked(true);
    QTest::mouseClick(p.RMCPConfigConnect_Button, Qt::LeftButton);
    QCOMPARE(p.status_textLabel_2->text(), QStringLiteral("Connected"));
    QCOMPARE(p.RMCPConfigConnect_Button->text(), QStringLiteral("Disconnect"));
    QVERIFY(p.RMCPDisconfigConnect_Button->isEnabled());
    QVERIFY(!p.RMCPIPAdr->isEnabled() && !p.retransmissionNr->isEnabled());
    QCOMPARE(b.dialog(1)->status_textLabel->text(), QStringLiteral("Connected"));
    QCOMPARE(b.dialog(1)->RMCPIPAdr->text(), QStringLiteral("127.0.0.1"));
    QVERIFY(b.handler(1)->retransmissionOn());
    RMCPControlWidget *panel = b.panel(1);
    QCOMPARE(panel->RMCPIPAddress->text() + ':' + panel->RMCPIPPort->text(),
             QStringLiteral("127.0.0.1:") + QString::number(client.localPort()));
    QVERIFY(shows(panel->RMCPStatusLED, "ledgreen.png"));
    QCOMPARE(b.page(2).status_textLabel_2->text(), QStringLiteral("not listening"));

    // A request from the panel reaches the client; Send waits for its answer.
    panel->RCMPcomboBox->setCurrentText(QStringLiteral("Presence Ping"));
    QTest::mouseClick(panel->RCMPSend_Button, Qt::LeftButton);
    QTRY_VERIFY(client.hasPendingDatagrams());
    QCOMPARE(client.receiveDatagram().data(), QByteArray::fromHex("06000006000011be80000000"));
    QVERIFY(!panel->RCMPSend_Button->isEnabled());
    QCOMPARE(b.log(1)->size(), 1);
    QCOMPARE(b.log(2)->size(), 0);
    // Clear Log ends the wait.
    QTest::mouseClick(p.rmcpClearLog_button, Qt::LeftButton);
    QVERIFY(panel->RCMPSend_Button->isEnabled());

    QTest::mouseClick(p.RMCPDisconfigConnect_Button, Qt::LeftButton);
    QCOMPARE(p.status_textLabel_2->text(), QStringLiteral("not connected"));
    QVERIFY(p.RMCPIPAdr->isEnabled() && p.retransmissionNr->isEnabled());
    QVERIFY(!b.dialog(1)->RMCPDisconfigConnect_Button->isEnabled());
    QVERIFY(shows(panel->RMCPStatusLED, "ledred.png"));

    p.RMCPIPAdr->setText(QStringLiteral("10.1"));
    QTest::mouseClick(p.RMCPConfigConnect_Button, Qt::LeftButton);
    QCOMPARE(p.status_textLabel_2->text(), QStringLiteral("error: bad IP address"));
}

void TestRmcpPage::dialogAndPortChoice()
{
    Workbench b;
    QVERIFY(b.start());
    const RmcpPage &p = b.page(2);
    // The chosen entry switches RSP, whether the user or the code chose it.
    p.RMCPIPPort->setCurrentIndex(1);
    QVERIFY(p.RSPOn_radioButton->isChecked() && p.RSP_Config->isEnabled());
    p.RMCPIPPort->setCurrentIndex(0);
    QVERIFY(p.RSPOff_radioButton->isChecked() && !p.RSP_Config->isEnabled());
    RMCPConfig *dialog = b.dialog(2);
    dialog->RMCPIPPort->setCurrentIndex(1);
    QVERIFY(dialog->RSPOn_radioButton->isChecked() && dialog->RSP_Config->isEnabled());
    QVERIFY(b.handler(2)->config().rspOn);

    // Connecting in the dialog shows on the page: an RSP connect waits for
    // its session with role and name on the panel.
    dialog->RMCPIPAdr->setText(QStringLiteral("127.0.0.1"));
    dialog->uName->setText(QStringLiteral("tester"));
    QTest::mouseClick(dialog->RMCPConfigConnect_Button, Qt::LeftButton);
    QCOMPARE(p.status_textLabel_2->text(), QStringLiteral("Waiting for RSP data phase"));
    QVERIFY(shows(b.panel(2)->RMCPRSPLED, "ledred.png"));
    QCOMPARE(b.panel(2)->role_text->text() + '|' + b.panel(2)->name_text->text(), QStringLiteral("Administrator|tester"));
    dialog->RMCPIPPort->setCurrentIndex(0);
    QTest::mouseClick(dialog->RMCPConfigConnect_Button, Qt::LeftButton);
    QCOMPARE(p.status_textLabel_2->text(), QStringLiteral("Connected"));
    QVERIFY(!p.RMCPIPPort->isEnabled());
    QTest::mouseClick(dialog->RMCPDisconfigConnect_Button, Qt::LeftButton);
    QCOMPARE(p.status_textLabel_2->text(), QStringLiteral("not connected"));
    QCOMPARE(b.page(1).status_textLabel_2->text(), QStringLiteral("not listening"));

    // OK shows the configured client on the panel; a second press on the
    // page button opens the dialog.
    dialog->RMCPIPAdr->setText(QStringLiteral("10.0.0.9"));
    QTest::mouseClick(dialog->buttonOk, Qt::LeftButton);
    QCOMPARE(b.panel(2)->RMCPIPAddress->text(), QStringLiteral("10.0.0.9"));
    QTest::mouseClick(b.w.pageButton(MainWidow::Rmcp2PageId), Qt::LeftButton);
    QTest::mouseClick(b.w.pageButton(MainWidow::Rmcp2PageId), Qt::LeftButton);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Managed Client Status"));
}

QTEST_MAIN(TestRmcpPage)
#include "tst_rmcppage.moc"
