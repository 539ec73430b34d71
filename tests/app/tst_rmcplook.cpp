// The RMCP 1 page as a user drives it against velquor-sim: connect from the
// page, a Presence Ping from the panel, then a ping nobody answers (the
// simulator gone) with retransmission on. The window is saved as a PNG
// when VELQUOR_SCREENSHOT names a file, for a look at what the user sees.

#include "app/mainwidow.h"
#include "app/rmcppagehandler.h"
#include "app/standardhandlers.h"
#include "core/asflogger.h"
#include "core/packetlogmodel.h"
#include "core/tracelog.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/rmcpconnection.h"
#include "rmcp/rmcpcontrolwidget.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QtTest>

using namespace velquor;

class TestRmcpLook : public QObject
{
    Q_OBJECT

private slots:
    void pingThenSilence()
    {
        QProcess sim;
        sim.start(QStringLiteral(VELQUOR_SIM_BINARY), {"--port", "0"});
        QVERIFY(sim.waitForReadyRead(20000));
        const quint16 port = quint16(QString::fromLocal8Bit(sim.readLine()).section(' ', -1).trimmed().toUInt());
        QVERIFY(port);

        MainWidow w;
        registerStandardHandlers(w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(QTest::qWaitFor([&w] { return w.traceLog()->isInstalled(); }));
        QTest::mouseClick(w.pageButton(MainWidow::Rmcp1PageId), Qt::LeftButton);
        auto *pages = static_cast<RmcpPageHandler *>(w.pageHandler(MainWidow::Rmcp1PageId));
        ASF_RMCP_Handler *handler = pages->handler();
        RMCPControlWidget *panel = pages->panel();
        const RmcpPage &page = w.rmcpPage(1);
        // The page's layout takes the new panel in on the next event round.
        QTRY_VERIFY(panel->RCMPSend_Button->height() > 0);
        // The dialog offers ports 623 and 664 only: the simulator's free port stands in for 623.
        handler->connection()->setPlainPort(port);
        page.RMCPIPAdr->setText(QStringLiteral("127.0.0.1"));
        page.retransmissionOn_radioButton->setChecked(true);
        page.retransmissionInterval->setText(QStringLiteral("500"));
        QTest::mouseClick(page.RMCPConfigConnect_Button, Qt::LeftButton);
        QCOMPARE(page.status_textLabel_2->text(), QStringLiteral("Connected"));

        PacketLogModel *log = handler->logger()->model();
        panel->RCMPcomboBox->setCurrentText(QStringLiteral("Presence Ping"));
        QTest::mouseClick(panel->RCMPSend_Button, Qt::LeftButton);
        const auto shown = [log] {
            QStringList rows;
            for (int row = 0; row < log->size(); ++row)
                rows << log->rowTexts(row).direction + ' ' + log->rowTexts(row).info;
            return rows.join('\n');
        };
        QTRY_VERIFY2_WITH_TIMEOUT(panel->RCMPSend_Button->isEnabled() && log->size() == 4, qPrintable(shown()), 20000);
        QVERIFY2(log->rowTexts(2).info.startsWith(QLatin1String("Presence Pong\t -Response for packet sent at ")),
                 qPrintable(log->rowTexts(2).info));

        sim.terminate();
        QVERIFY(sim.waitForFinished(20000));
        QTest::mouseClick(panel->RCMPSend_Button, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(panel->RCMPSend_Button->isEnabled(), 20000);
        QStringList infos;
        for (int row = 4; row < log->size(); ++row)
            infos << log->rowTexts(row).info;
        QVERIFY2(infos.last().contains(QLatin1String("FAILED (after 3 retransmissions)")), qPrintable(infos.join('\n')));
        QVERIFY2(infos.contains(QStringLiteral("check managed client adress and port")), qPrintable(infos.join('\n')));

        const QString file = qEnvironmentVariable("VELQUOR_SCREENSHOT");
        if (!file.isEmpty()) {
            QTest::qWait(200); // the lamps' flash ends
            QVERIFY(w.grab().save(file));
        }
    }
};

QTEST_MAIN(TestRmcpLook)
#include "tst_rmcplook.moc"
