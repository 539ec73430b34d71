#pragma once

#include "app/pagehandler.h"
#include "rmcp/rmcpcontrolwidget.h"
#include "rmcp/rmcpsettings.h"

#include <QPointer>
#include <memory>

class ASF_RMCP_Handler;
class MainWidow;
class PacketLogView;
class RMCPConfig;

namespace velquor {

struct RmcpPage;

// Connects an RMCP page (1 or 2) to its own RMCP handler: the page shows
// the handler's log and control panel; its configuration fields mirror the
// dialog's (the handler's configuration) and its status line and buttons
// the connection's state; its buttons drive the connection.
class RmcpPageHandler : public PageHandler
{
public:
    RmcpPageHandler(MainWidow &window, int number);
    ~RmcpPageHandler() override;

    void configure() override;
    void showConfiguration() override;
    void loadPage() override;
    void connectFromPage() override;
    void abortFromPage() override;
    void clearLog() override;
    ASF_Logger *logger() const override;
    void closeConfig() override;

    ASF_RMCP_Handler *handler() const { return m_handler.get(); }
    RMCPConfig *dialog() const { return m_dialog.get(); }
    RMCPControlWidget *panel() const { return m_panel; }
    PacketLogView *logView() const { return m_logView.get(); }

private:
    const RmcpPage &page() const;
    rmcp::RmcpSettings pageSettings() const;
    // The page's Connect and Abort: the page's fields become the
    // configuration, the connection toggles or is killed, and the panel
    // shows the configured client while no session is up.
    void mirror(bool kill);
    void showStateOnPage();

    MainWidow &m_window;
    int m_number;
    // Destroyed in reverse: the dialog, the panel and the view before the
    // handler they show.
    std::unique_ptr<ASF_RMCP_Handler> m_handler;
    std::unique_ptr<PacketLogView> m_logView;
    QPointer<RMCPControlWidget> m_panel;
    std::unique_ptr<RMCPConfig> m_dialog;
};

} // namespace velquor
