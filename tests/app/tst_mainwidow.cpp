#include "aboutdialog.h"
#include "fakehandler.h"
#include "helpwindow.h"
#include "imagesource.h"
#include "logconfig.h"
#include "mainwidow.h"
#include "tracelog.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QColor Active(122, 141, 248);
const QColor Inactive(82, 101, 208);

QColor buttonColour(const MainWidow &w, int page)
{
    return w.pageButton(page)->palette().color(QPalette::Button);
}

template <typename T>
T *child(const QObject &parent, const char *name)
{
    return parent.findChild<T *>(QString::fromLatin1(name));
}

} // namespace

class TestMainWidow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void windowHasItsNamedWidgets();
    void startsOnPetPageWithDefaults();
    void fitsItsDefaultSizeWithoutClipping_data();
    void fitsItsDefaultSizeWithoutClipping();
    void pageButtonsSwitchAndRecolour();
    void secondPressOnVisiblePageConfiguresInstead();
    void secondPressWithoutHandlerDoesNothing();
    void portSelectsRsp();
    void optionsEnableTheirFields();
    void startupIsDeferredToFirstLoopPass();
    void pageButtonBeforeStartupCreatesHandlerOnce();
    void pageButtonsReachTheirOwnHandler();
    void configActionsConfigureTheirHandler();
    void actionsKeepTheirTextsAndAreOffered();
    void logConfigIsCreatedOnce();
    void helpContentsOpensManualOnce();
    void helpAboutOpensNewDialogWithoutBlocking();
    void quitClosesConfigDialogsAndWindow();
    void resetLEDTurnsReceiveLampOff();
    void usesInjectedClock();

private:
    QString m_savedCwd;
};

void TestMainWidow::cleanup()
{
    if (!m_savedCwd.isEmpty()) {
        QDir::setCurrent(m_savedCwd);
        m_savedCwd.clear();
    }
}

void TestMainWidow::windowHasItsNamedWidgets()
{
    MainWidow w;
    static const char *const names[] = {
        // window
        "MainPET_button", "mainRMCP_button", "mainRMCP_button_2", "TraceLogButton", "mainScriptFrame", "frame4",
        "main_widgetStack", "PET_Page", "RMCP_Page1", "RMCP_Page2", "TraceLogPage",
        // PET
        "PETIPAddress", "PETIPPort", "PETStatusLED", "PETHeartbeatLED", "pixmapLabel1", "PETIPAdr", "PETIPPort_2",
        "PETHeartbeat", "interval_text", "PETHeartbeatInterval", "intvalMin_text", "PETHeartbeatInterval_2",
        "intvalMin_text_2", "status_textLabel", "PETConfigConnect_Button", "PET_ShowLog_Frame",
        "PET_ShowPacket_Frame", "clearLog_button", "savePETLogButton",
        // RMCP 1
        "RMCPIPAdr", "RMCPIPPort", "retransmissionInterval", "retransmissionOn_radioButton",
        "retransmissionOff_radioButton", "retransmissionNr", "RSPOn_radioButton", "RSPOff_radioButton", "RSP_Config",
        "RSPOperator_radioButton", "RSPAdministrator_radioButton", "uName", "oKey", "aKey", "gKey",
        "status_textLabel_2", "RMCPConfigConnect_Button", "RMCPDisconfigConnect_Button", "RMCP_ShowLog_Frame",
        "RMCP_ShowPacket_Frame", "rmcpControlFrame", "rmcpClearLog_button", "saveRMCP1LogButton",
        // RMCP 2
        "RMCPIPAdr_3", "RMCPIPPort_3", "retransmissionInterval_3", "retransmissionOn_radioButton_3",
        "retransmissionOff_radioButton_3", "retransmissionNr_3", "RSPOn_radioButton_3", "RSPOff_radioButton_3",
        "RSP_Config_3", "RSPOperator_radioButton_3", "RSPAdministrator_radioButton_3", "uName_3", "oKey_3", "aKey_3",
        "gKey_3", "status_textLabel_3", "RMCPConfigConnect_Button_3", "RMCPDisconfigConnect_Button_3",
        "RMCP_ShowLog_Frame_2", "RMCP_ShowPacket_Frame_2", "rmcpControlFrame_2", "rmcpClearLog_button_2",
        "saveRMCP2LogButton",
        // Trace Log
        "traceLOGtextEdit", "traceLogClearButton", "saveTraceLogButton"};
    for (const char *name : names) {
        const QList<QWidget *> found = w.findChildren<QWidget *>(QString::fromLatin1(name));
        QVERIFY2(found.size() == 1, name);
    }

    // Page 2's widgets live on page 2, page 1's on page 1.
    QVERIFY(w.rmcpPage(2).page->isAncestorOf(child<QWidget>(w, "RSP_Config_3")));
    QVERIFY(w.rmcpPage(1).page->isAncestorOf(child<QWidget>(w, "RSP_Config")));
    QVERIFY(w.rmcpPage(2).page->isAncestorOf(child<QWidget>(w, "rmcpControlFrame_2")));
    auto *stack = child<QStackedWidget>(w, "main_widgetStack");
    QCOMPARE(stack->indexOf(child<QWidget>(w, "PET_Page")), 0);
    QCOMPARE(stack->indexOf(child<QWidget>(w, "RMCP_Page1")), 1);
    QCOMPARE(stack->indexOf(child<QWidget>(w, "RMCP_Page2")), 2);
    QCOMPARE(stack->indexOf(child<QWidget>(w, "TraceLogPage")), 3);
}

void TestMainWidow::startsOnPetPageWithDefaults()
{
    MainWidow w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Velquor 1.0"));
    QCOMPARE(w.widgetStack()->currentIndex(), 0);
    QCOMPARE(buttonColour(w, 0), Active);
    for (int page = 1; page < 4; ++page)
        QCOMPARE(buttonColour(w, page), Inactive);

    // Built but kept out of view.
    for (const char *name : {"mainScriptFrame", "frame4", "PET_ShowPacket_Frame", "RMCP_ShowPacket_Frame",
                             "RMCP_ShowPacket_Frame_2", "PETHeartbeat", "interval_text", "PETHeartbeatInterval",
                             "intvalMin_text", "PETHeartbeatInterval_2", "intvalMin_text_2"})
        QVERIFY2(child<QWidget>(w, name)->isHidden(), name);
    QVERIFY(!w.petPage().PET_ShowLog_Frame->isHidden());

    const velquor::PetPage &pet = w.petPage();
    QCOMPARE(pet.PETStatusLED->pixmap().toImage(), velquor::image(QStringLiteral("ledred.png")).toImage());
    QCOMPARE(pet.PETHeartbeatLED->pixmap().toImage(), velquor::image(QStringLiteral("ledoff.png")).toImage());
    QCOMPARE(pet.pixmapLabel1->pixmap().toImage(), velquor::image(QStringLiteral("ledoff.png")).toImage());
    QVERIFY(!pet.PETHeartbeat->isChecked());

    for (int n : {1, 2}) {
        const velquor::RmcpPage &p = w.rmcpPage(n);
        QCOMPARE(p.RMCPIPPort->currentText(), QStringLiteral("623"));
        QCOMPARE(p.RMCPIPPort->itemText(1), QStringLiteral("664"));
        QVERIFY(p.RSPOff_radioButton->isChecked());
        QVERIFY(p.RSPAdministrator_radioButton->isChecked());
        QVERIFY(p.retransmissionOff_radioButton->isChecked());
        // What is switched off starts disabled.
        QVERIFY(!p.RSP_Config->isEnabled());
        QVERIFY(!p.retransmissionNr->isEnabled());
        for (QLineEdit *key : {p.oKey, p.aKey, p.gKey})
            QCOMPARE(key->font().family(), QStringLiteral("Courier"));
    }

    QPlainTextEdit *trace = w.traceLogPage().traceLOGtextEdit;
    QCOMPARE(trace->font().family(), QStringLiteral("Courier"));
    QVERIFY(trace->isReadOnly());
    QCOMPARE(trace->textInteractionFlags(), Qt::NoTextInteraction);
}

void TestMainWidow::fitsItsDefaultSizeWithoutClipping_data()
{
    QTest::addColumn<int>("page");
    QTest::newRow("PET") << 0;
    QTest::newRow("RMCP 1") << 1;
    QTest::newRow("RMCP 2") << 2;
    QTest::newRow("Trace Log") << 3;
}

void TestMainWidow::fitsItsDefaultSizeWithoutClipping()
{
    QFETCH(int, page);
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());
    if (page != 0)
        QTest::mouseClick(w.pageButton(page), Qt::LeftButton);
    QCOMPARE(w.widgetStack()->currentIndex(), page);
    qDebug("PET  - Incomming data (20 bytes) time: 00:00:01:250 -\n");
    QTRY_VERIFY(!w.traceLogPage().traceLOGtextEdit->toPlainText().isEmpty());
    // The layout asks for no more than the window's size, so the window opens at 1020 x 740.
    QCOMPARE(w.size(), QSize(1020, 740));

    QWidget *shown = w.widgetStack()->currentWidget();
    const QList<QWidget *> widgets = shown->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!widget->isVisible())
            continue;
        const bool text = qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget);
        if (text)
            QVERIFY2(widget->width() >= widget->sizeHint().width(), qPrintable(widget->objectName()));
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            const int room = edit->contentsRect().width() - edit->textMargins().left() - edit->textMargins().right();
            QVERIFY2(edit->fontMetrics().horizontalAdvance(edit->text()) < room, qPrintable(edit->objectName()));
        }
    }
    for (int button = 0; button < 4; ++button)
        QVERIFY(w.pageButton(button)->width() >= w.pageButton(button)->sizeHint().width());

    const QString grabDir = qEnvironmentVariable("VELQUOR_GRAB_DIR");
    if (!grabDir.isEmpty())
        w.grab().save(QDir(grabDir).filePath(QStringLiteral("page%1.png").arg(page)));
}

void TestMainWidow::pageButtonsSwitchAndRecolour()
{
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // button pressed -> page shown; each step checks all four colours.
    const int steps[] = {1, 3, 2, 0, 3, 2, 1};
    for (int page : steps) {
        QTest::mouseClick(w.pageButton(page), Qt::LeftButton);
        QCOMPARE(w.widgetStack()->currentIndex(), page);
        for (int button = 0; button < 4; ++button)
            QCOMPARE(buttonColour(w, button), button == page ? Active : Inactive);
    }
}

void TestMainWidow::secondPressOnVisiblePageConfiguresInstead()
{
    QStringList journal;
    MainWidow w;
    installFakeHandlers(w, &journal);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());
    journal.clear();

    for (int page : {0, 1, 2}) {
        static const char *const names[] = {"PET", "RMCP1", "RMCP2"};
        if (w.widgetStack()->currentIndex() != page) {
            QTest::mouseClick(w.pageButton(page), Qt::LeftButton);
            QVERIFY(journal.isEmpty());
        }
        // Mark the buttons: a recolouring would overwrite the marks.
        const QColor mark(1, 2, 3);
        for (int button = 0; button < 4; ++button) {
            QPalette palette = w.pageButton(button)->palette();
            palette.setColor(QPalette::Button, mark);
            w.pageButton(button)->setPalette(palette);
        }
        QTest::mouseClick(w.pageButton(page), Qt::LeftButton);
        QCOMPARE(journal, QStringList{QString::fromLatin1(names[page]) + QStringLiteral(":show")});
        QCOMPARE(w.widgetStack()->currentIndex(), page);
        for (int button = 0; button < 4; ++button)
            QCOMPARE(buttonColour(w, button), mark);
        journal.clear();
    }

    // The Trace Log page has no handler: pressing it again just shows it again.
    QTest::mouseClick(w.pageButton(3), Qt::LeftButton);
    QTest::mouseClick(w.pageButton(3), Qt::LeftButton);
    QCOMPARE(w.widgetStack()->currentIndex(), 3);
    QCOMPARE(buttonColour(w, 3), Active);
    QVERIFY(journal.isEmpty());
}

void TestMainWidow::secondPressWithoutHandlerDoesNothing()
{
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());
    QVERIFY(!w.pageHandler(0));
    QTest::mouseClick(w.pageButton(0), Qt::LeftButton);
    QTest::mouseClick(w.pageButton(1), Qt::LeftButton);
    QTest::mouseClick(w.pageButton(1), Qt::LeftButton);
    QCOMPARE(w.widgetStack()->currentIndex(), 1);
    QCOMPARE(buttonColour(w, 1), Active);
    QVERIFY(!w.pageHandler(1));
}

void TestMainWidow::portSelectsRsp()
{
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (int n : {1, 2}) {
        const velquor::RmcpPage &p = w.rmcpPage(n);
        const velquor::RmcpPage &other = w.rmcpPage(3 - n);
        QTest::mouseClick(w.pageButton(n), Qt::LeftButton);

        // The user picks the port with the keyboard.
        p.RMCPIPPort->setFocus();
        QTest::keyClick(p.RMCPIPPort, Qt::Key_Down);
        QCOMPARE(p.RMCPIPPort->currentText(), QStringLiteral("664"));
        QVERIFY(p.RSPOn_radioButton->isChecked());
        QVERIFY(!p.RSPOff_radioButton->isChecked());
        QVERIFY(p.RSP_Config->isEnabled());
        QVERIFY(other.RSPOff_radioButton->isChecked());
        QVERIFY(!other.RSP_Config->isEnabled());

        QTest::keyClick(p.RMCPIPPort, Qt::Key_Up);
        QCOMPARE(p.RMCPIPPort->currentText(), QStringLiteral("623"));
        QVERIFY(p.RSPOff_radioButton->isChecked());
        QVERIFY(!p.RSP_Config->isEnabled());

        // Set from code (as a handler copies its dialog), the port still decides.
        p.RMCPIPPort->setCurrentIndex(1);
        QVERIFY(p.RSPOn_radioButton->isChecked());
        p.RMCPIPPort->setCurrentIndex(0);
        QVERIFY(p.RSPOff_radioButton->isChecked());
    }
}

void TestMainWidow::optionsEnableTheirFields()
{
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    const velquor::PetPage &pet = w.petPage();
    pet.PETHeartbeat->setChecked(true);
    QVERIFY(pet.PETHeartbeatInterval->isEnabled());
    pet.PETHeartbeat->setChecked(false);
    QVERIFY(!pet.PETHeartbeatInterval->isEnabled());

    for (int n : {1, 2}) {
        const velquor::RmcpPage &p = w.rmcpPage(n);
        const velquor::RmcpPage &other = w.rmcpPage(3 - n);
        QTest::mouseClick(w.pageButton(n), Qt::LeftButton);

        QTest::mouseClick(p.retransmissionOn_radioButton, Qt::LeftButton);
        QVERIFY(p.retransmissionOn_radioButton->isChecked());
        QVERIFY(p.retransmissionNr->isEnabled());
        QVERIFY(!other.retransmissionNr->isEnabled());
        QTest::mouseClick(p.retransmissionOff_radioButton, Qt::LeftButton);
        QVERIFY(!p.retransmissionNr->isEnabled());

        QTest::mouseClick(p.RSPOn_radioButton, Qt::LeftButton);
        QVERIFY(p.RSP_Config->isEnabled());
        QVERIFY(!other.RSP_Config->isEnabled());
        // The role buttons form their own group.
        QTest::mouseClick(p.RSPOperator_radioButton, Qt::LeftButton);
        QVERIFY(p.RSPOperator_radioButton->isChecked());
        QVERIFY(p.RSPOn_radioButton->isChecked());
        QTest::mouseClick(p.RSPOff_radioButton, Qt::LeftButton);
        QVERIFY(!p.RSP_Config->isEnabled());
        QVERIFY(p.RSPOperator_radioButton->isChecked());
        // The port does not follow RSP back.
        QCOMPARE(p.RMCPIPPort->currentText(), QStringLiteral("623"));
    }
}

void TestMainWidow::startupIsDeferredToFirstLoopPass()
{
    QStringList journal;
    MainWidow w;
    installFakeHandlers(w, &journal);
    QVERIFY(journal.isEmpty());
    QVERIFY(!w.traceLog()->isInstalled());
    QVERIFY(!w.pageHandler(0));

    QTRY_VERIFY(w.traceLog()->isInstalled());
    const QStringList expected{"PET:create",    "RMCP1:create", "RMCP2:create", "PET:configure", "RMCP1:configure",
                               "RMCP2:configure", "PET:load",   "RMCP1:load",   "RMCP2:load"};
    QCOMPARE(journal, expected);
    QVERIFY(w.pageHandler(0) && w.pageHandler(1) && w.pageHandler(2));
    QCOMPARE(w.pageHandler(3), nullptr);

    // Diagnostic output now lands on the Trace Log page.
    qDebug("deferred start-up marker %d", 42);
    qWarning() << "a warning too";
    QPlainTextEdit *view = w.traceLogPage().traceLOGtextEdit;
    QTRY_VERIFY(view->toPlainText().contains(QStringLiteral("deferred start-up marker 42")));
    QTRY_VERIFY(view->toPlainText().contains(QStringLiteral("a warning too")));

    // One tick only.
    QTest::qWait(50);
    QCOMPARE(journal, expected);
}

void TestMainWidow::pageButtonBeforeStartupCreatesHandlerOnce()
{
    QStringList journal;
    MainWidow w;
    installFakeHandlers(w, &journal);
    w.rmcp_init();
    QCOMPARE(journal, QStringList{"RMCP1:create"});
    QCOMPARE(w.widgetStack()->currentIndex(), 1);
    velquor::PageHandler *first = w.pageHandler(1);

    QTRY_VERIFY(w.traceLog()->isInstalled());
    QCOMPARE(journal.count(QStringLiteral("RMCP1:create")), 1);
    QCOMPARE(journal.count(QStringLiteral("PET:create")), 1);
    QCOMPARE(w.pageHandler(1), first);
}

void TestMainWidow::pageButtonsReachTheirOwnHandler()
{
    QStringList journal;
    MainWidow w;
    installFakeHandlers(w, &journal);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());
    journal.clear();

    QTest::mouseClick(w.petPage().PETConfigConnect_Button, Qt::LeftButton);
    QTest::mouseClick(w.petPage().clearLog_button, Qt::LeftButton);
    QCOMPARE(journal, (QStringList{"PET:connect", "PET:clear"}));
    journal.clear();

    for (int n : {1, 2}) {
        const QString name = QStringLiteral("RMCP%1").arg(n);
        const velquor::RmcpPage &p = w.rmcpPage(n);
        QTest::mouseClick(w.pageButton(n), Qt::LeftButton);
        QTest::mouseClick(p.RMCPConfigConnect_Button, Qt::LeftButton);
        QTest::mouseClick(p.RMCPDisconfigConnect_Button, Qt::LeftButton);
        QTest::mouseClick(p.rmcpClearLog_button, Qt::LeftButton);
        QCOMPARE(journal, (QStringList{name + ":connect", name + ":abort", name + ":clear"}));
        journal.clear();
    }
}

void TestMainWidow::configActionsConfigureTheirHandler()
{
    QStringList journal;
    MainWidow w;
    installFakeHandlers(w, &journal);
    // Before the start-up, a configure action creates the handler first.
    w.ConfigRMCP2Action->trigger();
    QCOMPARE(journal, (QStringList{"RMCP2:create", "RMCP2:show"}));
    journal.clear();
    w.ConfigPETAction->trigger();
    w.ConfigRMCPAction->trigger();
    w.ConfigRMCP2Action->trigger();
    QCOMPARE(journal, (QStringList{"PET:create", "PET:show", "RMCP1:create", "RMCP1:show", "RMCP2:show"}));
}

void TestMainWidow::actionsKeepTheirTextsAndAreOffered()
{
    MainWidow w;
    struct Expected
    {
        QAction *action;
        const char *text, *menuText, *toolTip;
    };
    const Expected expected[] = {
        {w.helpContentsAction, "Contents", "&Contents...", "Contents"},
        {w.helpIndexAction, "Index", "&Index...", "Index"},
        {w.helpAboutAction, "About", "&About", "About"},
        {w.ConfigLoggingAction, "Logging", "&Logging", "Configure Logging"},
        {w.ConfigPETAction, "PET", "PET", "PET"},
        {w.ConfigRMCPAction, "RMCP 1", "RMCP 1", "Configure RMCP 1"},
        {w.ConfigRMCP2Action, "RMCP 2", "RMCP 2", "configure RMCP 2"},
        {w.closeMainAction, "Quit", "Quit", "Quit"},
    };
    QList<QAction *> offered;
    for (QAction *menu : w.menuBar()->actions())
        offered += menu->menu()->actions();
    for (const Expected &e : expected) {
        QCOMPARE(e.action->iconText(), QString::fromLatin1(e.text));
        QCOMPARE(e.action->text(), QString::fromLatin1(e.menuText));
        QCOMPARE(e.action->toolTip(), QString::fromLatin1(e.toolTip));
        QVERIFY(e.action->shortcut().isEmpty());
        // "Index" does nothing and is not offered; everything else is in a menu.
        QCOMPARE(offered.contains(e.action), e.action != w.helpIndexAction);
    }
}

void TestMainWidow::logConfigIsCreatedOnce()
{
    MainWidow w;
    w.ConfigLoggingAction->trigger();
    const QList<LogConfig *> first = w.findChildren<LogConfig *>();
    QCOMPARE(first.size(), 1);
    QCOMPARE(first.front()->objectName(), QStringLiteral("T E S T"));
    QVERIFY(first.front()->isVisible());
    first.front()->hide();
    w.ConfigLoggingAction->trigger();
    QCOMPARE(w.findChildren<LogConfig *>(), first);
    QVERIFY(first.front()->isVisible());
}

void TestMainWidow::helpContentsOpensManualOnce()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("doc/html")));
    QFile index(dir.filePath(QStringLiteral("doc/html/index.html")));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("<html><head><title>Manual</title></head><body>Hello</body></html>");
    index.close();
    m_savedCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));

    MainWidow w;
    w.helpContentsAction->trigger();
    QList<velquor::HelpWindow *> help = w.findChildren<velquor::HelpWindow *>();
    QCOMPARE(help.size(), 1);
    QVERIFY(help.front()->isVisible());
    QVERIFY(help.front()->isWindow());
    QCOMPARE(help.front()->windowTitle(), QStringLiteral("Velquor 1.0 - Handbuch"));
    QCOMPARE(help.front()->browser()->documentTitle(), QStringLiteral("Manual"));

    w.helpContentsAction->trigger();
    QCOMPARE(w.findChildren<velquor::HelpWindow *>(), help);

    // Closed, it goes; the next request opens a fresh one.
    QPointer<velquor::HelpWindow> closed = help.front();
    closed->close();
    QTRY_VERIFY(closed.isNull());
    w.helpContentsAction->trigger();
    QCOMPARE(w.findChildren<velquor::HelpWindow *>().size(), 1);
}

void TestMainWidow::helpAboutOpensNewDialogWithoutBlocking()
{
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.helpAboutAction->trigger();
    w.helpAboutAction->trigger();
    const QList<velquor::AboutDialog *> about = w.findChildren<velquor::AboutDialog *>();
    QCOMPARE(about.size(), 2);
    for (velquor::AboutDialog *dialog : about) {
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->versionLabel()->text(), QStringLiteral("<p align=\"center\">Version: 1.0.2"));
    }
    QPointer<velquor::AboutDialog> gone = about.front();
    gone->accept();
    QTRY_VERIFY(gone.isNull());
}

void TestMainWidow::quitClosesConfigDialogsAndWindow()
{
    QStringList journal;
    MainWidow w;
    installFakeHandlers(w, &journal);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());
    journal.clear();

    w.closeMainAction->trigger();
    QCOMPARE(journal, (QStringList{"PET:close", "RMCP1:close", "RMCP2:close"}));
    QVERIFY(!w.isVisible());

    // Closing the window by other means closes them too.
    journal.clear();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.close());
    QCOMPARE(journal, (QStringList{"PET:close", "RMCP1:close", "RMCP2:close"}));
}

void TestMainWidow::resetLEDTurnsReceiveLampOff()
{
    MainWidow w;
    QLabel *lamp = w.petPage().pixmapLabel1;
    lamp->setPixmap(velquor::image(QStringLiteral("ledgreen.png")));
    w.resetLED();
    QCOMPARE(lamp->pixmap().toImage(), velquor::image(QStringLiteral("ledoff.png")).toImage());
    QCOMPARE(w.petPage().PETStatusLED->pixmap().toImage(), velquor::image(QStringLiteral("ledred.png")).toImage());
}

void TestMainWidow::usesInjectedClock()
{
    auto clock = std::make_unique<velquor::ManualLogClock>();
    velquor::ManualLogClock *raw = clock.get();
    MainWidow w(nullptr, std::move(clock));
    QCOMPARE(w.logClock(), raw);
    raw->advance(1234);
    QCOMPARE(w.logClock()->elapsed(), 1234u);
}

QTEST_MAIN(TestMainWidow)
#include "tst_mainwidow.moc"
