#include "app/mainwidow.h"

#include "help/aboutdialog.h"
#include "core/asflogger.h"
#include "help/helpwindow.h"
#include "core/imagesource.h"
#include "core/logconfig.h"
#include "core/packetlogview.h"
#include "core/tracelog.h"
#include "core/tracelogview.h"
#include "app/petpagehandler.h"
#include "app/rmcppagehandler.h"
#include "pet/asfpethandler.h"
#include "pet/petconfig.h"
#include "rmcp/asfrmcphandler.h"
#include "script/scripthost.h"
#include "script/scriptobjects.h"
#include "script/scriptspanel.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimerEvent>
#include <QVBoxLayout>

using namespace velquor;

static MainWidow *s_instance = nullptr;

MainWidow *MainWidow::instance()
{
    return s_instance;
}

void MainWidow::setInstance(MainWidow *window)
{
    s_instance = window;
}

MainWidow::MainWidow(QWidget *parent, std::unique_ptr<LogClock> clock, std::unique_ptr<RandomSource> random)
    : QMainWindow(parent), m_clock(clock ? std::move(clock) : std::make_unique<SystemLogClock>()),
      m_random(random ? std::move(random) : std::make_unique<SystemRandomSource>())
{
    buildWidgets();
    buildActions();
    languageChange();
    connectWidgets();

    m_traceLog = std::make_unique<TraceLog>();
    m_traceView = std::make_unique<TraceLogView>(m_traceLog.get(), m_tracePage.traceLOGtextEdit);
    // The saved trace is the trace log's text, so clear that, not just the view.
    connect(m_tracePage.traceLogClearButton, &QPushButton::clicked, m_traceLog.get(), &TraceLog::clear);
    m_traceLogger = std::make_unique<ASF_Logger>();
    m_traceLogger->setObjectName(QStringLiteral("TraceLog"));
    connect(m_traceLogger.get(), &ASF_Logger::saveFailed, this, &showSaveError);

    // The script project: its objects join as the handlers are created.
    m_scriptHost = std::make_unique<script::ScriptHost>();
    // A runaway test must not freeze the window for good.
    m_scriptHost->setTimeLimit(10 * 60 * 1000);
    // A script's questions go to the user in a dialog over the window.
    m_scriptHost->setInputHooks(
        [this](const QString &prompt, const QString &defaultText, QString *text) {
            bool ok = false;
            *text = QInputDialog::getText(this, tr("Script Input"), prompt, QLineEdit::Normal, defaultText, &ok);
            return ok;
        },
        [this](const QString &prompt, double defaultValue, double min, double max, double *value) {
            bool ok = false;
            *value = QInputDialog::getDouble(this, tr("Script Input"), prompt, defaultValue, min, max, 6, &ok);
            return ok;
        });
    m_scriptHost->load(QStringLiteral("scripts/velquor.qsa"));
    m_scripts = new script::Scripts(m_scriptHost.get(), m_scriptFrame);

    // The traffic handlers join through setPageHandlerFactory() (see
    // registerStandardHandlers); the deferred start-up creates them once the
    // event loop runs.

    colourPageButtons(PetPageId);
    m_startupTimer = startTimer(0);

    // Built but not offered: the Scripts panel's frame, frame4, the packet
    // detail frames and the heartbeat settings.
    m_scriptFrame->hide();
    m_frame4->hide();
    m_petPage.PET_ShowPacket_Frame->hide();
    m_rmcpPages[0].RMCP_ShowPacket_Frame->hide();
    m_rmcpPages[1].RMCP_ShowPacket_Frame->hide();
    for (QWidget *w : {static_cast<QWidget *>(m_petPage.PETHeartbeat), static_cast<QWidget *>(m_petPage.interval_text),
                       static_cast<QWidget *>(m_petPage.PETHeartbeatInterval),
                       static_cast<QWidget *>(m_petPage.intvalMin_text),
                       static_cast<QWidget *>(m_petPage.PETHeartbeatInterval_2),
                       static_cast<QWidget *>(m_petPage.intvalMin_text_2)})
        w->hide();

    resize(QSize(1020, 740).expandedTo(minimumSizeHint()));
}

MainWidow::~MainWidow()
{
    if (s_instance == this)
        s_instance = nullptr;
    // Handlers refer to the page frames and the clock: release them while both exist.
    for (auto &handler : m_handlers)
        handler.reset();
    // The panel's editor window has no parent.
    delete m_scripts;
    m_scripts = nullptr;
}

void MainWidow::buildWidgets()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("widget"));
    setCentralWidget(central);

    auto *left = new QVBoxLayout;
    left->setSpacing(6);
    static const char *const buttonNames[PageCount] = {"MainPET_button", "mainRMCP_button", "mainRMCP_button_2",
                                                      "TraceLogButton"};
    for (int page = 0; page < PageCount; ++page) {
        auto *button = new QPushButton(central);
        button->setObjectName(QString::fromLatin1(buttonNames[page]));
        button->setMinimumSize(110, 40);
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        QFont font = button->font();
        font.setBold(true);
        button->setFont(font);
        m_pageButtons[page] = button;
        left->addWidget(button);
    }
    m_scriptFrame = new QFrame(central);
    m_scriptFrame->setObjectName(QStringLiteral("mainScriptFrame"));
    m_scriptFrame->setFrameShape(QFrame::StyledPanel);
    left->addWidget(m_scriptFrame, 1);
    m_frame4 = new QFrame(central);
    m_frame4->setObjectName(QStringLiteral("frame4"));
    left->addWidget(m_frame4);
    left->addStretch(1);

    m_stack = new QStackedWidget(central);
    m_stack->setObjectName(QStringLiteral("main_widgetStack"));
    auto *petPage = new QWidget(m_stack);
    petPage->setObjectName(QStringLiteral("PET_Page"));
    auto *rmcpPage1 = new QWidget(m_stack);
    rmcpPage1->setObjectName(QStringLiteral("RMCP_Page1"));
    auto *rmcpPage2 = new QWidget(m_stack);
    rmcpPage2->setObjectName(QStringLiteral("RMCP_Page2"));
    auto *tracePage = new QWidget(m_stack);
    tracePage->setObjectName(QStringLiteral("TraceLogPage"));
    m_stack->insertWidget(PetPageId, petPage);
    m_stack->insertWidget(Rmcp1PageId, rmcpPage1);
    m_stack->insertWidget(Rmcp2PageId, rmcpPage2);
    m_stack->insertWidget(TraceLogPageId, tracePage);
    m_petPage = buildPetPage(petPage);
    m_rmcpPages[0] = buildRmcpPage(rmcpPage1, 1);
    m_rmcpPages[1] = buildRmcpPage(rmcpPage2, 2);
    m_tracePage = buildTraceLogPage(tracePage);
    m_stack->setCurrentIndex(PetPageId);

    auto *layout = new QHBoxLayout(central);
    layout->addLayout(left);
    layout->addWidget(m_stack, 1);
}

void MainWidow::buildActions()
{
    const auto action = [this](const char *name) {
        auto *a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    helpContentsAction = action("helpContentsAction");
    helpIndexAction = action("helpIndexAction");
    helpAboutAction = action("helpAboutAction");
    ConfigLoggingAction = action("ConfigLoggingAction");
    ConfigPETAction = action("ConfigPETAction");
    ConfigRMCPAction = action("ConfigRMCPAction");
    ConfigRMCP2Action = action("ConfigRMCP2Action");
    closeMainAction = action("closeMainAction");

    // The actions had no place in the window; a menu bar makes them reachable.
    // "Index" does nothing, so it is not offered.
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MenuBar"));
    QMenu *file = bar->addMenu(QString());
    file->setObjectName(QStringLiteral("fileMenu"));
    file->addAction(closeMainAction);
    QMenu *config = bar->addMenu(QString());
    config->setObjectName(QStringLiteral("configMenu"));
    config->setToolTipsVisible(true);
    config->addAction(ConfigLoggingAction);
    config->addSeparator();
    config->addAction(ConfigPETAction);
    config->addAction(ConfigRMCPAction);
    config->addAction(ConfigRMCP2Action);
    viewScriptsAction = new QAction(this);
    viewScriptsAction->setObjectName(QStringLiteral("viewScriptsAction"));
    viewScriptsAction->setCheckable(true);
    QMenu *view = bar->addMenu(QString());
    view->setObjectName(QStringLiteral("viewMenu"));
    view->addAction(viewScriptsAction);
    QMenu *help = bar->addMenu(QString());
    help->setObjectName(QStringLiteral("helpMenu"));
    help->addAction(helpContentsAction);
    help->addSeparator();
    help->addAction(helpAboutAction);
}

void MainWidow::languageChange()
{
    setWindowTitle(tr("Velquor 1.0"));
    m_pageButtons[PetPageId]->setText(tr("&PET"));
    m_pageButtons[Rmcp1PageId]->setText(tr("&RMCP 1"));
    m_pageButtons[Rmcp2PageId]->setText(tr("&RMCP 2"));
    m_pageButtons[TraceLogPageId]->setText(tr("&Trace Log"));
    retranslate(m_petPage);
    retranslate(m_rmcpPages[0]);
    retranslate(m_rmcpPages[1]);
    retranslate(m_tracePage);

    // Text, menu text, tool tip; a Qt action's text is its menu text and its
    // icon text the short one.
    const auto texts = [](QAction *a, const QString &text, const QString &menuText, const QString &toolTip) {
        a->setIconText(text);
        a->setText(menuText);
        a->setToolTip(toolTip.isEmpty() ? text : toolTip);
    };
    texts(helpContentsAction, tr("Contents"), tr("&Contents..."), QString());
    texts(helpIndexAction, tr("Index"), tr("&Index..."), QString());
    texts(helpAboutAction, tr("About"), tr("&About"), QString());
    texts(ConfigLoggingAction, tr("Logging"), tr("&Logging"), tr("Configure Logging"));
    texts(ConfigPETAction, tr("PET"), tr("PET"), QString());
    texts(ConfigRMCPAction, tr("RMCP 1"), tr("RMCP 1"), tr("Configure RMCP 1"));
    texts(ConfigRMCP2Action, tr("RMCP 2"), tr("RMCP 2"), tr("configure RMCP 2"));
    texts(closeMainAction, tr("Quit"), tr("Quit"), QString());
    texts(viewScriptsAction, tr("Scripts"), tr("&Scripts"), tr("Show the Scripts panel"));

    const QList<QMenu *> menus = menuBar()->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly);
    for (QMenu *menu : menus) {
        if (menu->objectName() == QLatin1String("fileMenu"))
            menu->setTitle(tr("&File"));
        else if (menu->objectName() == QLatin1String("configMenu"))
            menu->setTitle(tr("&Configure"));
        else if (menu->objectName() == QLatin1String("viewMenu"))
            menu->setTitle(tr("&View"));
        else if (menu->objectName() == QLatin1String("helpMenu"))
            menu->setTitle(tr("&Help"));
    }
}

void MainWidow::connectWidgets()
{
    connect(helpIndexAction, &QAction::triggered, this, &MainWidow::helpIndex);
    connect(helpContentsAction, &QAction::triggered, this, &MainWidow::helpContents);
    connect(helpAboutAction, &QAction::triggered, this, &MainWidow::helpAbout);
    connect(ConfigLoggingAction, &QAction::triggered, this, &MainWidow::log_config);
    // From the menu the user wants to see the dialog; pet_config() and its
    // siblings only fill it (the start-up uses them to read the defaults).
    connect(ConfigPETAction, &QAction::triggered, this, [this] { showConfiguration(PetPageId); });
    connect(ConfigRMCPAction, &QAction::triggered, this, [this] { showConfiguration(Rmcp1PageId); });
    connect(ConfigRMCP2Action, &QAction::triggered, this, [this] { showConfiguration(Rmcp2PageId); });
    connect(closeMainAction, &QAction::triggered, this, &MainWidow::_closeMain);
    connect(viewScriptsAction, &QAction::toggled, m_scriptFrame, &QWidget::setVisible);

    connect(m_pageButtons[PetPageId], &QPushButton::clicked, this, &MainWidow::pet_init);
    connect(m_pageButtons[Rmcp1PageId], &QPushButton::clicked, this, &MainWidow::rmcp_init);
    connect(m_pageButtons[Rmcp2PageId], &QPushButton::clicked, this, &MainWidow::rmcp_init2);
    connect(m_pageButtons[TraceLogPageId], &QPushButton::clicked, this, &MainWidow::raiseTraceLog);

    const PetPage &pet = m_petPage;
    connect(pet.PETConfigConnect_Button, &QPushButton::clicked, this, &MainWidow::PETConnect);
    connect(pet.clearLog_button, &QPushButton::clicked, this, &MainWidow::TMPPET_clearLog);
    connect(pet.savePETLogButton, &QPushButton::clicked, this, &MainWidow::savePETLog);
    connect(pet.PETHeartbeat, &QRadioButton::toggled, pet.PETHeartbeatInterval, &QWidget::setEnabled);

    for (int i = 0; i < 2; ++i) {
        const RmcpPage &p = m_rmcpPages[i];
        const bool first = i == 0;
        connect(p.RMCPConfigConnect_Button, &QPushButton::clicked, this,
                first ? &MainWidow::RMCPToggleConnection : &MainWidow::RMCPToggleConnection_3);
        connect(p.RMCPDisconfigConnect_Button, &QPushButton::clicked, this,
                first ? &MainWidow::RMCPKillConnection : &MainWidow::RMCPKillConnection_3);
        connect(p.rmcpClearLog_button, &QPushButton::clicked, this,
                first ? &MainWidow::rmcp_clearLog : &MainWidow::rmcp2_clearLog);
        connect(p.saveLogButton, &QPushButton::clicked, this,
                first ? &MainWidow::saveRMCP1Log : &MainWidow::saveRMCP2Log);
        // The current entry, not the one under the mouse in the open list: a
        // port only hovered over must not switch RSP.
        connect(p.RMCPIPPort, &QComboBox::currentTextChanged, this,
                first ? &MainWidow::RMCP_PortChanged : &MainWidow::RMCP_PortChanged_3);
        connect(p.retransmissionOn_radioButton, &QRadioButton::toggled, p.retransmissionNr, &QWidget::setEnabled);
        connect(p.RSPOn_radioButton, &QRadioButton::toggled, p.RSP_Config, &QWidget::setEnabled);
        connect(p.RSPOff_radioButton, &QRadioButton::toggled, p.RSP_Config, &QWidget::setDisabled);
    }

    connect(m_tracePage.saveTraceLogButton, &QPushButton::clicked, this, &MainWidow::saveTraceLog);
}

void MainWidow::setPageHandlerFactory(int page, PageHandlerFactory factory)
{
    if (page >= PetPageId && page <= Rmcp2PageId)
        m_factories[page] = std::move(factory);
}

PageHandler *MainWidow::pageHandler(int page) const
{
    return page >= PetPageId && page <= Rmcp2PageId ? m_handlers[page].get() : nullptr;
}

void MainWidow::timerEvent(QTimerEvent *event)
{
    if (m_startupTimer && event->timerId() == m_startupTimer) {
        // Stopped before the work, so a nested event loop cannot run it twice.
        killTimer(m_startupTimer);
        m_startupTimer = 0;
        deferredStartup();
        return;
    }
    QMainWindow::timerEvent(event);
}

void MainWidow::deferredStartup()
{
    _pet_init();
    _rmcp_init();
    _rmcp_init2();
    pet_config();
    rmcp_config();
    rmcp_config2();
    // The pages show what the handlers' configuration dialogs hold.
    for (int page : {PetPageId, Rmcp1PageId, Rmcp2PageId})
        forward(page, &PageHandler::loadPage);
    m_traceLog->install();
}

void MainWidow::createHandler(int page)
{
    // Once only: a page button pressed before the start-up has made it already.
    if (!m_handlers[page] && m_factories[page]) {
        m_handlers[page] = m_factories[page](*this);
        addScriptObjects(page);
    }
}

void MainWidow::addScriptObjects(int page)
{
    PageHandler *handler = m_handlers[page].get();
    if (auto *pet = dynamic_cast<PetPageHandler *>(handler)) {
        auto *object = new script::PETHandler(pet->handler(), this, QStringLiteral("PET"));
        // What a script configures shows in the dialog and on the page, and
        // its connect goes the page's way.
        object->setViewHook([pet](const script::PETHandler::ConfigTexts &t) {
            PETConfig *d = pet->dialog();
            d->PETIPAdr->setText(t.address);
            d->PETIPPort->setText(t.port);
            d->PETHeartbeat->setChecked(t.heartbeatCheck);
            d->PETHeartbeatInterval->setText(t.interval);
            d->PETHeartbeatInterval->setEnabled(t.heartbeatCheck);
            d->PETHeartbeatInterval_2->setText(t.tolerance);
            pet->loadPage();
        });
        object->setConnectHook([pet] { pet->connectFromPage(); });
        auto *log = new script::Logger(pet->logger(), this, QStringLiteral("PET_LOG"));
        log->setViewerHook([pet](const QString &name) { return pet->logView()->showLogFile(name); });
        m_scriptHost->addObject(log);
        m_scriptHost->addObject(object);
    } else if (auto *rmcp = dynamic_cast<RmcpPageHandler *>(handler)) {
        const QString name = page == Rmcp2PageId ? QStringLiteral("RMCP2") : QStringLiteral("RMCP1");
        // The page mirrors the handler's settings, so what a script sets is
        // what the page shows and what its next Connect uses.
        connect(rmcp->handler(), &ASF_RMCP_Handler::configChanged, this, [rmcp] { rmcp->loadPage(); });
        auto *log = new script::Logger(rmcp->logger(), this, name + QStringLiteral("_LOG"));
        log->setViewerHook([rmcp](const QString &name) { return rmcp->logView()->showLogFile(name); });
        m_scriptHost->addObject(log);
        m_scriptHost->addObject(new script::RMCMHandler(rmcp->handler(), this, name));
    }
}

void MainWidow::configureHandler(int page)
{
    createHandler(page);
    forward(page, &PageHandler::configure);
}

void MainWidow::showConfiguration(int page)
{
    createHandler(page);
    forward(page, &PageHandler::showConfiguration);
}

void MainWidow::_pet_init()
{
    createHandler(PetPageId);
}

void MainWidow::_rmcp_init()
{
    createHandler(Rmcp1PageId);
}

void MainWidow::_rmcp_init2()
{
    createHandler(Rmcp2PageId);
}

void MainWidow::pet_config()
{
    configureHandler(PetPageId);
}

void MainWidow::rmcp_config()
{
    configureHandler(Rmcp1PageId);
}

void MainWidow::rmcp_config2()
{
    configureHandler(Rmcp2PageId);
}

void MainWidow::colourPageButtons(int activePage)
{
    for (int page = 0; page < PageCount; ++page) {
        QPushButton *button = m_pageButtons[page];
        QPalette palette = button->palette();
        const QColor colour = page == activePage ? activePageColor() : inactivePageColor();
        palette.setColor(QPalette::Button, colour);
        palette.setColor(QPalette::Window, colour);
        // Dark text on the light active colour, white on the darker rest.
        palette.setColor(QPalette::ButtonText, page == activePage ? Qt::black : Qt::white);
        button->setPalette(palette);
        button->setAutoFillBackground(true);
    }
}

void MainWidow::switchPage(int page)
{
    if (page != TraceLogPageId) {
        createHandler(page);
        // A second press on the page in view opens its configuration instead.
        if (m_stack->currentIndex() == page) {
            showConfiguration(page);
            return;
        }
    }
    colourPageButtons(page);
    m_stack->setCurrentIndex(page);
}

void MainWidow::pet_init()
{
    switchPage(PetPageId);
}

void MainWidow::rmcp_init()
{
    switchPage(Rmcp1PageId);
}

void MainWidow::rmcp_init2()
{
    switchPage(Rmcp2PageId);
}

void MainWidow::raiseTraceLog()
{
    switchPage(TraceLogPageId);
}

void MainWidow::forward(int page, void (PageHandler::*call)())
{
    if (PageHandler *handler = m_handlers[page].get())
        (handler->*call)();
}

void MainWidow::TMPPET_clearLog()
{
    forward(PetPageId, &PageHandler::clearLog);
}

void MainWidow::rmcp_clearLog()
{
    forward(Rmcp1PageId, &PageHandler::clearLog);
}

void MainWidow::rmcp2_clearLog()
{
    forward(Rmcp2PageId, &PageHandler::clearLog);
}

void MainWidow::saveLog(int page)
{
    if (PageHandler *handler = m_handlers[page].get()) {
        if (ASF_Logger *logger = handler->logger())
            logger->writeLogToFilename();
    }
}

void MainWidow::savePETLog()
{
    saveLog(PetPageId);
}

void MainWidow::saveRMCP1Log()
{
    saveLog(Rmcp1PageId);
}

void MainWidow::saveRMCP2Log()
{
    saveLog(Rmcp2PageId);
}

void MainWidow::PETConnect()
{
    forward(PetPageId, &PageHandler::connectFromPage);
}

void MainWidow::RMCPToggleConnection()
{
    forward(Rmcp1PageId, &PageHandler::connectFromPage);
}

void MainWidow::RMCPToggleConnection_3()
{
    forward(Rmcp2PageId, &PageHandler::connectFromPage);
}

void MainWidow::RMCPKillConnection()
{
    forward(Rmcp1PageId, &PageHandler::abortFromPage);
}

void MainWidow::RMCPKillConnection_3()
{
    forward(Rmcp2PageId, &PageHandler::abortFromPage);
}

void MainWidow::portChanged(const RmcpPage &page, const QString &port)
{
    if (port == QLatin1String("664"))
        page.RSPOn_radioButton->setChecked(true);
    else
        page.RSPOff_radioButton->setChecked(true);
}

void MainWidow::RMCP_PortChanged(const QString &port)
{
    portChanged(m_rmcpPages[0], port);
}

void MainWidow::RMCP_PortChanged_3(const QString &port)
{
    portChanged(m_rmcpPages[1], port);
}

void MainWidow::resetLED()
{
    m_petPage.pixmapLabel1->setPixmap(image(QStringLiteral("ledoff.png")));
}

void MainWidow::saveTraceLog()
{
    m_traceLogger->setObjectName(QStringLiteral("TraceLog"));
    m_traceLogger->writeLogToFilename(QString(), true);
}

void MainWidow::helpIndex()
{
}

void MainWidow::showGenericRCPConfig()
{
}

void MainWidow::helpContents()
{
    if (!m_help) {
        m_help = new HelpWindow(QStringLiteral("index.html"), QStringLiteral("./doc/html"), this);
        m_help->setWindowTitle(tr("Velquor 1.0 - Handbuch"));
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void MainWidow::helpAbout()
{
    auto *about = new AboutDialog(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

void MainWidow::log_config()
{
    if (!m_logConfig)
        m_logConfig = new LogConfig(this, "T E S T");
    m_logConfig->show();
    m_logConfig->raise();
    m_logConfig->activateWindow();
}

void MainWidow::_closeMain()
{
    close();
}

void MainWidow::closeMainAction_destroyed(QObject *)
{
    _closeMain();
}

void MainWidow::closeEvent(QCloseEvent *event)
{
    // The configuration dialogs are windows of their own; left open they
    // would keep the program running after its main window is gone.
    for (int page : {PetPageId, Rmcp1PageId, Rmcp2PageId})
        forward(page, &PageHandler::closeConfig);
    QMainWindow::closeEvent(event);
}
