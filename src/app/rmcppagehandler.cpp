#include "app/rmcppagehandler.h"

#include "app/mainwidow.h"
#include "core/packetlogview.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/rmcpconfig.h"
#include "rmcp/rmcpconnection.h"
#include "rmcp/rmcpcontrolwidget.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace velquor {

namespace {

void giveLayout(QWidget *frame, const char *name)
{
    auto *layout = new QHBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setObjectName(QString::fromLatin1(name));
}

} // namespace

RmcpPageHandler::RmcpPageHandler(MainWidow &window, int number)
    : m_window(window), m_number(number == 2 ? 2 : 1),
      m_handler(std::make_unique<ASF_RMCP_Handler>(window.logClock(), nullptr, m_number == 2 ? "RMCP2" : "RMCP1"))
{
    const RmcpPage &p = page();
    giveLayout(p.RMCP_ShowLog_Frame, "RMCP_LogShow_FrameLayout");
    giveLayout(p.RMCP_ShowPacket_Frame, "RMCP_PacketShow_FrameLayout");
    m_logView = std::make_unique<PacketLogView>(m_handler->logger(), &window.packetViews());
    m_logView->setLogFrame(p.RMCP_ShowLog_Frame);
    m_logView->setPacketFrame(p.RMCP_ShowPacket_Frame);

    if (!p.rmcpControlFrame->layout())
        giveLayout(p.rmcpControlFrame, "RMCP_ControlFrameLayout");
    m_panel = new RMCPControlWidget(m_handler.get(), p.rmcpControlFrame);
    p.rmcpControlFrame->layout()->addWidget(m_panel);

    m_dialog = std::make_unique<RMCPConfig>(m_handler.get());
    // The dialog is captioned like the panel's client status.
    QObject::connect(m_handler.get(), &ASF_RMCP_Handler::configureRequested, m_dialog.get(),
                     [this] { m_dialog->setWindowTitle(m_panel->managedClient_Frame->title()); });
    // Whatever changes the connection (the dialog, the panel, a script)
    // shows on the page too.
    QObject::connect(m_handler->connection(), &rmcp::RmcpConnection::stateChanged, m_dialog.get(),
                     [this] { showStateOnPage(); });
    showStateOnPage();
}

RmcpPageHandler::~RmcpPageHandler()
{
    // The panel is a child of the page's frame: it goes before its handler.
    delete m_panel;
    m_dialog.reset();
    m_logView.reset();
}

const RmcpPage &RmcpPageHandler::page() const
{
    return m_window.rmcpPage(m_number);
}

void RmcpPageHandler::configure()
{
    m_handler->configure();
}

void RmcpPageHandler::showConfiguration()
{
    m_handler->configure();
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

rmcp::RmcpSettings RmcpPageHandler::pageSettings() const
{
    const RmcpPage &p = page();
    rmcp::RmcpSettings s;
    s.address = p.RMCPIPAdr->text();
    s.portIndex = p.RMCPIPPort->currentIndex() == 0 ? 0 : 1;
    s.responseTime = p.retransmissionInterval->text();
    s.retransmissionOn = p.retransmissionOn_radioButton->isChecked();
    s.repeats = p.retransmissionNr->text();
    s.rspOn = p.RSPOn_radioButton->isChecked();
    s.role = p.RSPOperator_radioButton->isChecked() ? rmcp::OperatorRole : rmcp::AdministratorRole;
    s.name = p.uName->text();
    s.operatorKey = p.oKey->text();
    s.administratorKey = p.aKey->text();
    s.generatorKey = p.gKey->text();
    return s;
}

void RmcpPageHandler::loadPage()
{
    const RmcpPage &p = page();
    const rmcp::RmcpSettings &s = m_handler->config();
    p.RMCPIPAdr->setText(s.address);
    p.RMCPIPPort->setCurrentIndex(s.portIndex == 0 ? 0 : 1);
    p.retransmissionInterval->setText(s.responseTime);
    (s.retransmissionOn ? p.retransmissionOn_radioButton : p.retransmissionOff_radioButton)->setChecked(true);
    p.retransmissionNr->setText(s.repeats);
    // After the port: choosing a port switches RSP on the page.
    (s.rspOn ? p.RSPOn_radioButton : p.RSPOff_radioButton)->setChecked(true);
    (s.role == rmcp::OperatorRole ? p.RSPOperator_radioButton : p.RSPAdministrator_radioButton)->setChecked(true);
    p.uName->setText(s.name);
    p.oKey->setText(s.operatorKey);
    p.aKey->setText(s.administratorKey);
    p.gKey->setText(s.generatorKey);
    showStateOnPage();
}

void RmcpPageHandler::showStateOnPage()
{
    const RmcpPage &p = page();
    const rmcp::ConnectionState &s = m_handler->connection()->state();
    p.status_textLabel_2->setText(s.status);
    p.RMCPConfigConnect_Button->setText(s.connectText);
    p.RMCPConfigConnect_Button->setEnabled(s.connectEnabled);
    p.RMCPDisconfigConnect_Button->setEnabled(s.killEnabled);
    // While connected the settings in force cannot be edited; otherwise
    // the switches enable what they switch on, as in the dialog.
    const bool editable = !s.connected;
    for (QWidget *w : {static_cast<QWidget *>(p.RMCPIPAdr), static_cast<QWidget *>(p.RMCPIPPort),
                       static_cast<QWidget *>(p.retransmissionInterval),
                       static_cast<QWidget *>(p.retransmissionOn_radioButton),
                       static_cast<QWidget *>(p.retransmissionOff_radioButton),
                       static_cast<QWidget *>(p.RSPOn_radioButton), static_cast<QWidget *>(p.RSPOff_radioButton)})
        w->setEnabled(editable);
    p.retransmissionNr->setEnabled(editable && p.retransmissionOn_radioButton->isChecked());
    p.RSP_Config->setEnabled(editable && p.RSPOn_radioButton->isChecked());
}

void RmcpPageHandler::mirror(bool kill)
{
    m_handler->setConfig(pageSettings());
    rmcp::RmcpConnection *connection = m_handler->connection();
    if (kill)
        connection->kill();
    else
        connection->toggle();
    connection->showConfiguredClient();
    m_handler->applyConfig();
    showStateOnPage();
}

void RmcpPageHandler::connectFromPage()
{
    mirror(false);
}

void RmcpPageHandler::abortFromPage()
{
    mirror(true);
}

void RmcpPageHandler::clearLog()
{
    m_handler->clear();
}

ASF_Logger *RmcpPageHandler::logger() const
{
    return m_handler->logger();
}

void RmcpPageHandler::closeConfig()
{
    m_dialog->close();
}

} // namespace velquor
