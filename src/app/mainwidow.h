#pragma once

#include "core/logclock.h"
#include "core/packetviews.h"
#include "core/randomsource.h"
#include "app/pagehandler.h"
#include "app/pages.h"

#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

class ASF_Logger;
class LogConfig;
class QAction;
class QFrame;
class QPushButton;
class QStackedWidget;

namespace velquor::script {
class ScriptHost;
class Scripts;
} // namespace velquor::script

namespace velquor {
class HelpWindow;
class TraceLog;
class TraceLogView;
} // namespace velquor

// The workbench window: page buttons on the left, the PET, RMCP 1, RMCP 2
// and Trace Log pages in a stack. It owns the shared log clock, the trace log
// and the traffic handlers, and forwards each page's buttons to its handler.
class MainWidow : public QMainWindow
{
    Q_OBJECT

public:
    enum PageId { PetPageId = 0, Rmcp1PageId = 1, Rmcp2PageId = 2, TraceLogPageId = 3, PageCount = 4 };

    // Without a clock the window runs on the system clock, without a random
    // source on the system's cryptographic generator; tests pass a
    // ManualLogClock and a SeededRandomSource.
    explicit MainWidow(QWidget *parent = nullptr, std::unique_ptr<velquor::LogClock> clock = nullptr,
                       std::unique_ptr<velquor::RandomSource> random = nullptr);
    ~MainWidow() override;

    // The one main window of the program (set by the program entry).
    static MainWidow *instance();
    static void setInstance(MainWidow *window);

    static QColor activePageColor() { return QColor(122, 141, 248); }
    static QColor inactivePageColor() { return QColor(82, 101, 208); }

    velquor::LogClock *logClock() const { return m_clock.get(); }
    velquor::RandomSource *randomSource() const { return m_random.get(); }
    ASF_Logger *traceLogger() const { return m_traceLogger.get(); }
    velquor::TraceLog *traceLog() const { return m_traceLog.get(); }
    // Builds the records' detail views for every page's log.
    velquor::PacketViewRegistry &packetViews() { return m_packetViews; }

    const velquor::PetPage &petPage() const { return m_petPage; }
    // number is 1 or 2.
    const velquor::RmcpPage &rmcpPage(int number) const { return m_rmcpPages[number == 2 ? 1 : 0]; }
    const velquor::TraceLogPage &traceLogPage() const { return m_tracePage; }
    QPushButton *pageButton(int page) const { return m_pageButtons.at(page); }
    QStackedWidget *widgetStack() const { return m_stack; }

    // How the handler of a traffic page (PetPageId, Rmcp1PageId, Rmcp2PageId)
    // is made. Without a factory the page has no handler and its buttons do nothing.
    void setPageHandlerFactory(int page, velquor::PageHandlerFactory factory);
    velquor::PageHandler *pageHandler(int page) const;

    // The script project and the Scripts panel (hidden until View > Scripts).
    velquor::script::ScriptHost *scriptHost() const { return m_scriptHost.get(); }
    velquor::script::Scripts *scriptsPanel() const { return m_scripts; }
    QFrame *scriptFrame() const { return m_scriptFrame; }
    QAction *viewScriptsAction = nullptr;

    QAction *helpContentsAction = nullptr;
    QAction *helpIndexAction = nullptr;
    QAction *helpAboutAction = nullptr;
    QAction *ConfigLoggingAction = nullptr;
    QAction *ConfigPETAction = nullptr;
    QAction *ConfigRMCPAction = nullptr;
    QAction *ConfigRMCP2Action = nullptr;
    QAction *closeMainAction = nullptr;

public slots:
    void helpIndex();
    void helpContents();
    void log_config();
    void pet_config();
    void rmcp_config();
    void rmcp_config2();
    void _rmcp_init();
    void _rmcp_init2();
    void pet_init();
    void rmcp_init();
    void rmcp_init2();
    void raiseTraceLog();
    void TMPPET_clearLog();
    void rmcp_clearLog();
    void rmcp2_clearLog();
    void resetLED();
    void helpAbout();
    void showGenericRCPConfig();
    void savePETLog();
    void saveRMCP1Log();
    void saveRMCP2Log();
    void PETConnect();
    void _closeMain();
    void closeMainAction_destroyed(QObject *object);
    void RMCPToggleConnection();
    void RMCPToggleConnection_3();
    void RMCPKillConnection();
    void RMCPKillConnection_3();
    void RMCP_PortChanged(const QString &port);
    void RMCP_PortChanged_3(const QString &port);
    void saveTraceLog();
    void _pet_init();

protected slots:
    virtual void languageChange();

protected:
    // The deferred start-up runs on the first tick of the zero-interval timer.
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgets();
    void buildActions();
    void connectWidgets();
    void deferredStartup();
    void createHandler(int page);
    // The page's script objects ("PET", "PET_LOG", "RMCP1", ...), added to the project.
    void addScriptObjects(int page);
    void configureHandler(int page);
    void showConfiguration(int page);
    void switchPage(int page);
    void colourPageButtons(int activePage);
    void saveLog(int page);
    // Calls the page's handler, if the page has one.
    void forward(int page, void (velquor::PageHandler::*call)());
    static void portChanged(const velquor::RmcpPage &page, const QString &port);

    // Destroyed in reverse order: the handlers go first, the clock and the
    // random source they use last.
    std::unique_ptr<velquor::LogClock> m_clock;
    std::unique_ptr<velquor::RandomSource> m_random;
    velquor::PacketViewRegistry m_packetViews;
    std::unique_ptr<velquor::TraceLog> m_traceLog;
    std::unique_ptr<velquor::TraceLogView> m_traceView;
    std::unique_ptr<ASF_Logger> m_traceLogger;
    // The script objects wrap the handlers: the project goes after them.
    std::unique_ptr<velquor::script::ScriptHost> m_scriptHost;
    velquor::script::Scripts *m_scripts = nullptr; // child of the script frame
    std::array<velquor::PageHandlerFactory, 3> m_factories;
    std::array<std::unique_ptr<velquor::PageHandler>, 3> m_handlers;

    std::array<QPushButton *, PageCount> m_pageButtons{};
    QFrame *m_scriptFrame = nullptr; // mainScriptFrame
    QFrame *m_frame4 = nullptr;
    QStackedWidget *m_stack = nullptr;
    velquor::PetPage m_petPage;
    std::array<velquor::RmcpPage, 2> m_rmcpPages;
    velquor::TraceLogPage m_tracePage;

    QPointer<LogConfig> m_logConfig;
    QPointer<velquor::HelpWindow> m_help;
    int m_startupTimer = 0;
};
