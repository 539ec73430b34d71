// The main window with stand-in handlers: pages and their buttons, the
// deferred start-up, the Trace Log page's save and clear, and the windows the
// menus open. Each test runs in a fresh working directory.

#include "app/mainwidow.h"
#include "core/asflogger.h"
#include "core/logconfig.h"
#include "core/packetlogview.h"
#include "core/tracelog.h"
#include "help/aboutdialog.h"
#include "help/helpwindow.h"
#include "support/workdir.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QtTest>
#include <memory>

using velquor::AboutDialog;
using velquor::HelpWindow;
using velquor::PageHandler;

namespace {

const QString HandlerNames[] = {"PET", "RMCP1", "RMCP2"};

// Stands in for a traffic handler: journals every call the window makes
// ("RMCP1:configure") and owns a real packet log shown in the page's frame.
class FakeHandler : public PageHandler
{
public:
    FakeHandler(const QString &name, QStringList *journal, QWidget *logFrame)
        : m_name(name), m_journal(journal), m_view(&m_logger, nullptr)
    {
        m_logger.setObjectName(name);
        m_view.setLogFrame(logFrame);
        note("create");
    }
    void configure() override { note("configure"); }
    void showConfiguration() override { note("show"); }
    void loadPage() override { note("load"); }
    void connectFromPage() override { note("connect"); }
    void abortFromPage() override { note("abort"); }
    void clearLog() override { note("clear"); }
    void closeConfig() override { note("close"); }
    ASF_Logger *logger() const override { return const_cast<ASF_Logger *>(&m_logger); }

private:
    void note(const char *what) { m_journal->append(m_name + ':' + what); }

    QString m_name;
    QStringList *m_journal;
    ASF_Logger m_logger;
    PacketLogView m_view;
};

// A main window whose traffic pages have fake handlers (unless told otherwise).
struct Bench
{
    explicit Bench(bool handlers = true)
    {
        for (int page = 0; handlers && page < 3; ++page) {
            w.setPageHandlerFactory(page, [this, page](MainWidow &window) {
                QFrame *frame =
                    page == 0 ? window.petPage().PET_ShowLog_Frame : window.rmcpPage(page).RMCP_ShowLog_Frame;
                return std::make_unique<FakeHandler>(HandlerNames[page], &journal, frame);
            });
        }
    }
    // Shows the window, lets the deferred start-up run and forgets its calls.
    bool start()
    {
        w.show();
        const bool ok = QTest::qWaitForWindowExposed(&w) && QTest::qWaitFor([this] { return w.traceLog()->isInstalled(); });
        journal.clear();
        return ok;
    }
    QPlainTextEdit *trace() const { return w.traceLogPage().traceLOGtextEdit; }
    bool marked(int page) const
    {
        return w.pageButton(page)->palette().color(QPalette::Button) == MainWidow::activePageColor();
    }

    QStringList journal; // outlives the window
    MainWidow w;
};

void click(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

QList<QMessageBox *> saveErrorBoxes()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->objectName() == QLatin1String("saveErrorBox"))
            boxes << box;
    return boxes;
}

QStringList logFiles(const QString &pattern = QStringLiteral("*"))
{
    return QDir(QStringLiteral("log")).entryList({pattern}, QDir::Files);
}

} // namespace

class TestMainWidow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyPageFitsItsTexts();
    void pageButtonsSwitchOrShowTheConfiguration();
    void optionsEnableTheirFields();
    void startupIsDeferredAndCreatesEachHandlerOnce();
    void pageButtonsReachTheirOwnHandler_data();
    void pageButtonsReachTheirOwnHandler();
    void menusOpenTheirWindows();
    void traceLogSavesWhatFollowsTheClear();

private:
    std::unique_ptr<velquor::test::WorkingDirectory> m_dir;
};

void TestMainWidow::init()
{
    m_dir = std::make_unique<velquor::test::WorkingDirectory>(false);
}

void TestMainWidow::cleanup()
{
    qDeleteAll(saveErrorBoxes());
    m_dir.reset();
}

// At its default size the window shows every label, button and field text
// of every page in full.
void TestMainWidow::everyPageFitsItsTexts()
{
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (int page = 0; page < MainWidow::PageCount; ++page) {
        click(w.pageButton(page));
        QList<QWidget *> widgets = w.widgetStack()->widget(page)->findChildren<QWidget *>();
        widgets << w.pageButton(page);
        for (QWidget *widget : std::as_const(widgets)) {
            if (!widget->isVisible())
                continue;
            if (qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget))
                QVERIFY2(widget->width() >= widget->sizeHint().width(), qPrintable(widget->objectName()));
            if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
                const int room = edit->contentsRect().width() - edit->textMargins().left() - edit->textMargins().right();
                QVERIFY2(edit->fontMetrics().horizontalAdvance(edit->text()) < room, qPrintable(edit->objectName()));
            }
        }
    }
}

void TestMainWidow::pageButtonsSwitchOrShowTheConfiguration()
{
    Bench b;
    QVERIFY(b.start());
    for (int page : {1, 3, 2, 0, 3, 1, 0, 2}) {
        click(b.w.pageButton(page));
        QVERIFY(b.journal.isEmpty());
        QCOMPARE(b.w.widgetStack()->currentIndex(), page);
        for (int button = 0; button < 4; ++button)
            QCOMPARE(b.marked(button), button == page);

        // A second press on a traffic page shows its configuration instead;
        // the Trace Log page has no handler and is shown again.
        click(b.w.pageButton(page));
        QCOMPARE(b.journal, page == 3 ? QStringList() : QStringList{HandlerNames[page] + ":show"});
        QCOMPARE(b.w.widgetStack()->currentIndex(), page);
        b.journal.clear();
    }

    // The Configure menu shows them from any page; Quit closes them with the window.
    b.w.ConfigPETAction->trigger();
    b.w.ConfigRMCPAction->trigger();
    b.w.ConfigRMCP2Action->trigger();
    b.w.closeMainAction->trigger();
    QCOMPARE(b.journal, (QStringList{"PET:show", "RMCP1:show", "RMCP2:show", "PET:close", "RMCP1:close", "RMCP2:close"}));
    QVERIFY(!b.w.isVisible());
}

void TestMainWidow::optionsEnableTheirFields()
{
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.petPage().PETHeartbeat->setChecked(true);
    QVERIFY(w.petPage().PETHeartbeatInterval->isEnabled());
    for (int n : {1, 2}) {
        const velquor::RmcpPage &p = w.rmcpPage(n), &other = w.rmcpPage(3 - n);
        click(w.pageButton(n));
        click(p.retransmissionOn_radioButton);
        QVERIFY(p.retransmissionNr->isEnabled() && !other.retransmissionNr->isEnabled());
        click(p.retransmissionOff_radioButton);
        QVERIFY(!p.retransmissionNr->isEnabled());
        // Port 664 switches RSP on, any other off, also when set from code
        // (as a handler copies its dialog) rather than by the user.
        p.RMCPIPPort->setCurrentIndex(1);
        QVERIFY(p.RSPOn_radioButton->isChecked() && p.RSP_Config->isEnabled() && !other.RSP_Config->isEnabled());
        p.RMCPIPPort->setCurrentIndex(0);
        QVERIFY(p.RSPOff_radioButton->isChecked() && !p.RSP_Config->isEnabled());
        // The role buttons form a group of their own.
        click(p.RSPOn_radioButton);
        click(p.RSPOperator_radioButton);
        QVERIFY(p.RSPOn_radioButton->isChecked() && p.RSP_Config->isEnabled());
        click(p.RSPOff_radioButton);
        QVERIFY(!p.RSP_Config->isEnabled() && p.RSPOperator_radioButton->isChecked());
    }
}

void TestMainWidow::startupIsDeferredAndCreatesEachHandlerOnce()
{
    Bench b;
    QVERIFY(b.journal.isEmpty());
    QVERIFY(!b.w.traceLog()->isInstalled());

    // A page button before the start-up makes the handler; a configure action uses it.
    b.w.rmcp_init2();
    QCOMPARE(b.w.widgetStack()->currentIndex(), 2);
    b.w.ConfigRMCP2Action->trigger();
    QCOMPARE(b.journal, (QStringList{"RMCP2:create", "RMCP2:show"}));
    PageHandler *first = b.w.pageHandler(2);

    // The start-up creates the missing ones, then configures all, then loads all.
    QTRY_VERIFY(b.w.traceLog()->isInstalled());
    const QStringList expected{"RMCP2:create",  "RMCP2:show",      "PET:create",      "RMCP1:create",
                               "PET:configure", "RMCP1:configure", "RMCP2:configure", "PET:load",
                               "RMCP1:load",    "RMCP2:load"};
    QCOMPARE(b.journal, expected);
    QCOMPARE(b.w.pageHandler(2), first);

    // Diagnostic output now lands on the Trace Log page.
    qDebug("deferred start-up marker %d", 42);
    qWarning() << "a warning too";
    QTRY_VERIFY(b.trace()->toPlainText().contains(QStringLiteral("deferred start-up marker 42")));
    QVERIFY(b.trace()->toPlainText().contains(QStringLiteral("a warning too")));

    // One tick only.
    QTest::qWait(50);
    QCOMPARE(b.journal, expected);
}

void TestMainWidow::pageButtonsReachTheirOwnHandler_data()
{
    QTest::addColumn<bool>("handlers");
    QTest::newRow("fake handlers") << true;
    QTest::newRow("no handlers") << false; // the buttons do nothing
}

void TestMainWidow::pageButtonsReachTheirOwnHandler()
{
    QFETCH(bool, handlers);
    QVERIFY(QDir().mkdir(QStringLiteral("log")));
    Bench b(handlers);
    QVERIFY(b.start());
    const velquor::PetPage &pet = b.w.petPage();
    const velquor::RmcpPage &r1 = b.w.rmcpPage(1), &r2 = b.w.rmcpPage(2);
    // The page's button again (a second press), then the buttons on the page.
    const QList<QWidget *> buttons[] = {
        {b.w.pageButton(0), pet.PETConfigConnect_Button, pet.savePETLogButton, pet.clearLog_button},
        {b.w.pageButton(1), r1.RMCPConfigConnect_Button, r1.RMCPDisconfigConnect_Button, r1.saveLogButton,
         r1.rmcpClearLog_button},
        {b.w.pageButton(2), r2.RMCPConfigConnect_Button, r2.RMCPDisconfigConnect_Button, r2.saveLogButton,
         r2.rmcpClearLog_button}};
    for (int page = 0; page < 3; ++page) {
        const QString name = HandlerNames[page];
        b.w.widgetStack()->setCurrentIndex(page);
        for (QWidget *button : buttons[page])
            click(button);
        if (!handlers)
            continue;
        QCOMPARE(b.journal.join(' '),
                 QString(page == 0 ? "%1:show %1:connect %1:clear" : "%1:show %1:connect %1:abort %1:clear").arg(name));
        b.journal.clear();
        // Save wrote this page's log (the file is named after its logger).
        QCOMPARE(logFiles(name + ".*").size(), 1);
    }
    QCOMPARE(logFiles().size(), handlers ? 3 : 0);
    QVERIFY(saveErrorBoxes().isEmpty());
}

void TestMainWidow::menusOpenTheirWindows()
{
    MainWidow w;
    QVERIFY(QDir().mkpath(QStringLiteral("doc/html")));
    QFile index(QStringLiteral("doc/html/index.html"));
    QVERIFY(index.open(QIODevice::WriteOnly) && index.write("<html><head><title>Manual</title></head></html>") > 0);
    index.close();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // Logging and the manual (from ./doc/html): one window each, however often
    // asked; a closed manual is gone and the next request opens a fresh one.
    for (int twice = 0; twice < 2; ++twice) {
        w.ConfigLoggingAction->trigger();
        w.helpContentsAction->trigger();
    }
    QCOMPARE(w.findChildren<LogConfig *>().size(), 1);
    QPointer<HelpWindow> help = w.findChild<HelpWindow *>();
    QCOMPARE(w.findChildren<HelpWindow *>().size(), 1);
    QVERIFY(help->isVisible() && help->isWindow());
    QCOMPARE(help->browser()->documentTitle(), QStringLiteral("Manual"));
    help->close();
    QTRY_VERIFY(help.isNull());
    w.helpContentsAction->trigger();
    QCOMPARE(w.findChildren<HelpWindow *>().size(), 1);

    // About: a new dialog each time, and the action returns while it is open.
    w.helpAboutAction->trigger();
    w.helpAboutAction->trigger();
    const QList<AboutDialog *> about = w.findChildren<AboutDialog *>();
    QVERIFY(about.size() == 2 && about.front()->isVisible() && about.back()->isVisible());
}

void TestMainWidow::traceLogSavesWhatFollowsTheClear()
{
    Bench b;
    QVERIFY(b.start());
    ASF_Logger *petLog = b.w.pageHandler(MainWidow::PetPageId)->logger();
    petLog->log(QStringLiteral("a line in the PET log"));
    qDebug("before the clear\n");

    // Without a log directory the save fails; the report does not wait for the user.
    click(b.w.traceLogPage().saveTraceLogButton);
    const QList<QMessageBox *> boxes = saveErrorBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes.front()->isVisible());
    QVERIFY2(boxes.front()->text().startsWith(QStringLiteral("TraceLog: save log to file log/TraceLog.")),
             qPrintable(boxes.front()->text()));
    QTRY_VERIFY(b.trace()->toPlainText().contains(QStringLiteral("save log to file")));
    QVERIFY(b.trace()->toPlainText().contains(QStringLiteral("before the clear")));

    // Clear empties the view and the text to be saved, not the packet logs.
    click(b.w.traceLogPage().traceLogClearButton);
    QVERIFY(b.trace()->toPlainText().isEmpty());
    QCOMPARE(petLog->packetCount(), 1u);
    qDebug("first line\n");
    qDebug("second line\n");

    QVERIFY(QDir().mkdir(QStringLiteral("log")));
    click(b.w.traceLogPage().saveTraceLogButton);
    const QStringList files = logFiles();
    QCOMPARE(files.size(), 1);
    QVERIFY2(files.front().startsWith(QStringLiteral("TraceLog.")), qPrintable(files.front()));
    QFile file(QStringLiteral("log/") + files.front());
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromLatin1(file.readAll());
    QVERIFY(text.contains(QStringLiteral("| first line\n| second line\n")));
    QVERIFY(!text.contains(QStringLiteral("before the clear")));
    QCOMPARE(saveErrorBoxes().size(), 1);
    // The save reports itself on the page, after the saved text.
    QTRY_VERIFY(b.trace()->toPlainText().contains(QStringLiteral("TraceLog: saved log to file \"log/%1\"").arg(files.front())));
}

QTEST_MAIN(TestMainWidow)
#include "tst_mainwidow.moc"
