// The main window with stand-in handlers: pages and their buttons, the
// deferred start-up, the Trace Log page's save and clear, and the windows the
// menus open. Each test runs in a fresh working directory.

#include "help/aboutdialog.h"
#include "core/asflogger.h"
#include "help/helpwindow.h"
#include "core/imagesource.h"
#include "core/logconfig.h"
#include "core/packetlogview.h"
#include "app/mainwidow.h"
#include "core/tracelog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using velquor::AboutDialog;
using velquor::HelpWindow;
using velquor::PageHandler;

namespace {

const QColor Active(122, 141, 248);
const QColor Inactive(82, 101, 208);
const QString HandlerNames[] = {"PET", "RMCP1", "RMCP2"};

// Stands in for a traffic handler: journals every call the window makes
// ("RMCP1:configure") and owns a real packet log in the page's frame.
class FakeHandler : public PageHandler
{
public:
    FakeHandler(const QString &name, QStringList *journal, QWidget *logFrame)
        : m_name(name), m_journal(journal), m_logger(std::make_unique<ASF_Logger>()),
          m_view(std::make_unique<PacketLogView>(m_logger.get(), nullptr))
    {
        m_logger->setObjectName(name);
        m_view->setLogFrame(logFrame);
        note("create");
    }
    void configure() override { note("configure"); }
    void showConfiguration() override { note("show"); }
    void loadPage() override { note("load"); }
    void connectFromPage() override { note("connect"); }
    void abortFromPage() override { note("abort"); }
    void clearLog() override { note("clear"); }
    void closeConfig() override { note("close"); }
    ASF_Logger *logger() const override { return m_logger.get(); }

private:
    void note(const char *what) { m_journal->append(m_name + ':' + what); }

    QString m_name;
    QStringList *m_journal;
    std::unique_ptr<ASF_Logger> m_logger;
    std::unique_ptr<PacketLogView> m_view;
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

    QStringList journal; // outlives the window
    MainWidow w;
};

void click(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

QColor buttonColour(const MainWidow &w, int page)
{
    return w.pageButton(page)->palette().color(QPalette::Button);
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

    void startsOnPetPageWithDefaults();
    void pagesHoldTheirWidgetsUnclipped_data();
    void pagesHoldTheirWidgetsUnclipped();
    void pageButtonsSwitchOrShowTheConfiguration();
    void optionsEnableTheirFields();
    void startupIsDeferredAndCreatesEachHandlerOnce();
    void pageButtonsReachTheirOwnHandler_data();
    void pageButtonsReachTheirOwnHandler();
    void menusOfferAndOpenTheirWindows();
    void closingTheWindowClosesConfigDialogs();
    void traceLogSavesWhatFollowsTheClear();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_savedCwd;
};

void TestMainWidow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_savedCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestMainWidow::cleanup()
{
    qDeleteAll(saveErrorBoxes());
    QDir::setCurrent(m_savedCwd);
    m_dir.reset();
}

void TestMainWidow::startsOnPetPageWithDefaults()
{
    auto clock = std::make_unique<velquor::ManualLogClock>();
    velquor::LogClock *injected = clock.get();
    MainWidow w(nullptr, std::move(clock));
    QCOMPARE(w.logClock(), injected);
    QCOMPARE(w.windowTitle(), QStringLiteral("Velquor 1.0"));
    QCOMPARE(w.widgetStack()->currentIndex(), 0);
    for (int page = 0; page < 4; ++page)
        QCOMPARE(buttonColour(w, page), page == 0 ? Active : Inactive);

    // Built but not offered.
    for (const char *name : {"mainScriptFrame", "frame4", "PET_ShowPacket_Frame", "RMCP_ShowPacket_Frame_2",
                             "PETHeartbeat", "PETHeartbeatInterval_2"})
        QVERIFY2(w.findChild<QWidget *>(name)->isHidden(), name);

    // The lamps: not listening; resetLED() turns the receive lamp off again.
    const velquor::PetPage &pet = w.petPage();
    QCOMPARE(pet.PETStatusLED->pixmap().toImage(), velquor::image(QStringLiteral("ledred.png")).toImage());
    pet.pixmapLabel1->setPixmap(velquor::image(QStringLiteral("ledgreen.png")));
    w.resetLED();
    QCOMPARE(pet.pixmapLabel1->pixmap().toImage(), velquor::image(QStringLiteral("ledoff.png")).toImage());

    for (int n : {1, 2}) {
        const velquor::RmcpPage &p = w.rmcpPage(n);
        QCOMPARE(p.RMCPIPPort->currentText(), QStringLiteral("623"));
        // RSP and retransmission start off, their fields disabled.
        QVERIFY(p.RSPOff_radioButton->isChecked() && !p.RSP_Config->isEnabled());
        QVERIFY(p.retransmissionOff_radioButton->isChecked() && !p.retransmissionNr->isEnabled());
    }
}

void TestMainWidow::pagesHoldTheirWidgetsUnclipped_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("names"); // the page, then widgets on it
    QTest::newRow("PET") << 0 << QStringLiteral("MainPET_button")
                         << QStringList{"PET_Page", "PETIPAdr", "PETStatusLED", "savePETLogButton"};
    QTest::newRow("RMCP 1") << 1 << QStringLiteral("mainRMCP_button")
                            << QStringList{"RMCP_Page1", "RMCPIPPort", "status_textLabel_2", "saveRMCP1LogButton"};
    QTest::newRow("RMCP 2") << 2 << QStringLiteral("mainRMCP_button_2")
                            << QStringList{"RMCP_Page2", "RMCPIPPort_3", "status_textLabel_3", "RMCP_ShowLog_Frame_2"};
    QTest::newRow("Trace Log") << 3 << QStringLiteral("TraceLogButton")
                               << QStringList{"TraceLogPage", "traceLOGtextEdit", "saveTraceLogButton"};
}

void TestMainWidow::pagesHoldTheirWidgetsUnclipped()
{
    QFETCH(int, page);
    QFETCH(QString, button);
    QFETCH(QStringList, names);
    MainWidow w;
    QCOMPARE(w.pageButton(page)->objectName(), button);
    QWidget *shown = w.widgetStack()->widget(page);
    QCOMPARE(shown->objectName(), names.takeFirst());
    for (const QString &name : std::as_const(names)) {
        const QList<QWidget *> found = w.findChildren<QWidget *>(name);
        QVERIFY2(found.size() == 1 && shown->isAncestorOf(found.front()), qPrintable(name));
    }

    // The window opens at its default size and every text on the page fits.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    click(w.pageButton(page));
    QCOMPARE(w.widgetStack()->currentIndex(), page);
    QCOMPARE(w.size(), QSize(1020, 740));
    QList<QWidget *> widgets = shown->findChildren<QWidget *>();
    for (int b = 0; b < 4; ++b)
        widgets << w.pageButton(b);
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

void TestMainWidow::pageButtonsSwitchOrShowTheConfiguration()
{
    Bench b;
    QVERIFY(b.start());
    for (int page : {1, 3, 2, 0, 3, 1, 0, 2}) {
        click(b.w.pageButton(page));
        QVERIFY(b.journal.isEmpty());
        QCOMPARE(b.w.widgetStack()->currentIndex(), page);
        for (int button = 0; button < 4; ++button)
            QCOMPARE(buttonColour(b.w, button), button == page ? Active : Inactive);

        // A second press on a traffic page shows its configuration instead
        // and does not recolour (the marked button keeps its mark); the Trace
        // Log page has no handler and is shown again.
        QPalette marked = b.w.pageButton(page)->palette();
        marked.setColor(QPalette::Button, Qt::magenta);
        b.w.pageButton(page)->setPalette(marked);
        click(b.w.pageButton(page));
        QCOMPARE(b.journal, page == 3 ? QStringList() : QStringList{HandlerNames[page] + ":show"});
        QCOMPARE(b.w.widgetStack()->currentIndex(), page);
        QCOMPARE(buttonColour(b.w, page), page == 3 ? Active : QColor(Qt::magenta));
        b.journal.clear();
    }

    // The Configure menu shows them from any page.
    b.w.ConfigPETAction->trigger();
    b.w.ConfigRMCPAction->trigger();
    b.w.ConfigRMCP2Action->trigger();
    QCOMPARE(b.journal, (QStringList{"PET:show", "RMCP1:show", "RMCP2:show"}));
    QCOMPARE(b.w.widgetStack()->currentIndex(), 2);
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
        click(w.pageButton(n));
        click(p.retransmissionOn_radioButton);
        QVERIFY(p.retransmissionNr->isEnabled());
        QVERIFY(!other.retransmissionNr->isEnabled());
        click(p.retransmissionOff_radioButton);
        QVERIFY(!p.retransmissionNr->isEnabled());

        // Port 664 switches RSP on, any other off, also when set from code
        // (as a handler copies its dialog) rather than by the user.
        p.RMCPIPPort->setCurrentIndex(1);
        QVERIFY(p.RSPOn_radioButton->isChecked());
        QVERIFY(p.RSP_Config->isEnabled());
        QVERIFY(!other.RSP_Config->isEnabled());
        p.RMCPIPPort->setCurrentIndex(0);
        QVERIFY(p.RSPOff_radioButton->isChecked());
        QVERIFY(!p.RSP_Config->isEnabled());

        // RSP by hand; the role buttons form their own group and the port stays.
        click(p.RSPOn_radioButton);
        QVERIFY(p.RSP_Config->isEnabled());
        click(p.RSPOperator_radioButton);
        QVERIFY(p.RSPOn_radioButton->isChecked());
        click(p.RSPOff_radioButton);
        QVERIFY(!p.RSP_Config->isEnabled());
        QVERIFY(p.RSPOperator_radioButton->isChecked());
        QCOMPARE(p.RMCPIPPort->currentText(), QStringLiteral("623"));
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
    QTRY_VERIFY(b.trace()->toPlainText().contains(QStringLiteral("a warning too")));

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

void TestMainWidow::menusOfferAndOpenTheirWindows()
{
    MainWidow w;
    // "Index" does nothing, so it is not offered.
    QStringList offered;
    for (QAction *menu : w.menuBar()->actions()) {
        QStringList entries;
        for (QAction *action : menu->menu()->actions()) {
            if (!action->isSeparator())
                entries << action->text();
        }
        offered << menu->text() + ": " + entries.join(", ");
    }
    QCOMPARE(offered, (QStringList{"&File: Quit", "&Configure: &Logging, PET, RMCP 1, RMCP 2",
                                   "&Help: &Contents..., &About"}));
    QCOMPARE(w.ConfigRMCPAction->toolTip(), QStringLiteral("Configure RMCP 1"));

    QVERIFY(QDir().mkpath(QStringLiteral("doc/html")));
    QFile index(QStringLiteral("doc/html/index.html"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("<html><head><title>Manual</title></head><body>Hello</body></html>");
    index.close();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // Logging and the manual (from ./doc/html): one window each, however often asked.
    for (int twice = 0; twice < 2; ++twice) {
        w.ConfigLoggingAction->trigger();
        w.helpContentsAction->trigger();
    }
    QCOMPARE(w.findChildren<LogConfig *>().size(), 1);
    const QList<HelpWindow *> help = w.findChildren<HelpWindow *>();
    QCOMPARE(help.size(), 1);
    QVERIFY(help.front()->isVisible() && help.front()->isWindow());
    QCOMPARE(help.front()->windowTitle(), QStringLiteral("Velquor 1.0 - Handbuch"));
    QCOMPARE(help.front()->browser()->documentTitle(), QStringLiteral("Manual"));
    // A closed manual is gone; the next request opens a fresh one.
    QPointer<HelpWindow> closed = help.front();
    closed->close();
    QTRY_VERIFY(closed.isNull());
    w.helpContentsAction->trigger();
    QCOMPARE(w.findChildren<HelpWindow *>().size(), 1);

    // About: a new dialog each time, and the action returns while it is open.
    w.helpAboutAction->trigger();
    w.helpAboutAction->trigger();
    const QList<AboutDialog *> about = w.findChildren<AboutDialog *>();
    QCOMPARE(about.size(), 2);
    QVERIFY(about.front()->isVisible() && about.back()->isVisible());
}

void TestMainWidow::closingTheWindowClosesConfigDialogs()
{
    Bench b;
    QVERIFY(b.start());
    b.w.closeMainAction->trigger();
    QVERIFY(!b.w.isVisible());
    QCOMPARE(b.journal, (QStringList{"PET:close", "RMCP1:close", "RMCP2:close"}));
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
    QCOMPARE(boxes.front()->windowTitle(), QStringLiteral("Error Saving Log"));
    QVERIFY2(boxes.front()->text().startsWith(QStringLiteral("TraceLog: save log to file log/TraceLog.")),
             qPrintable(boxes.front()->text()));
    QTRY_VERIFY(b.trace()->toPlainText().contains(QStringLiteral("save log to file")));
    QVERIFY(b.trace()->toPlainText().contains(QStringLiteral("before the clear")));

    // Clear empties the view and the text to be saved, not the packet logs.
    click(b.w.traceLogPage().traceLogClearButton);
    QVERIFY(b.trace()->toPlainText().isEmpty());
    QCOMPARE(petLog->packetCount(), 1u);
    QVERIFY(b.journal.isEmpty());
    qDebug("first line\n");
    qDebug("second line\n");

    QVERIFY(QDir().mkdir(QStringLiteral("log")));
    click(b.w.traceLogPage().saveTraceLogButton);
    const QStringList files = logFiles();
    QCOMPARE(files.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^TraceLog\\.\\d{6}\\.\\d{2}\\.\\d{2}\\.\\d{2}$")).match(files.front()).hasMatch(),
             qPrintable(files.front()));
    QFile file(QStringLiteral("log/") + files.front());
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromLatin1(file.readAll());
    QVERIFY(text.contains(QStringLiteral("|                 TraceLog saved\n")));
    QVERIFY(text.contains(QStringLiteral("| first line\n| second line\n")));
    QVERIFY(!text.contains(QStringLiteral("before the clear")));
    QCOMPARE(saveErrorBoxes().size(), 1);
    // The save reports itself on the page, after the saved text.
    QTRY_VERIFY(b.trace()->toPlainText().contains(QStringLiteral("TraceLog: saved log to file \"log/%1\"").arg(files.front())));
}

QTEST_MAIN(TestMainWidow)
#include "tst_mainwidow.moc"
