#include "app/petpagehandler.h"

#include "pet/asfpethandler.h"
#include "app/mainwidow.h"
#include "pet/petconfig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace velquor {

PetPageHandler::PetPageHandler(MainWidow &window) : m_window(window)
{
    const PetPage &page = window.petPage();
    PetPageWidgets widgets;
    widgets.logFrame = page.PET_ShowLog_Frame;
    widgets.packetFrame = page.PET_ShowPacket_Frame;
    widgets.statusLamp = page.PETStatusLED;
    widgets.receiveLamp = page.pixmapLabel1;
    widgets.heartbeatLamp = page.PETHeartbeatLED;
    widgets.addressLabel = page.PETIPAddress;
    widgets.portLabel = page.PETIPPort;
    widgets.views = &window.packetViews();
    m_handler = std::make_unique<ASF_PET_Handler>(widgets, window.logClock(), nullptr, "PET");

    // Connecting or confirming in the dialog itself must show on the page too.
    PETConfig *dialog = m_handler->dialog();
    QObject::connect(dialog->PETConfigConnect_Button, &QPushButton::clicked, dialog, [this] { loadPage(); });
    QObject::connect(dialog->buttonOk, &QPushButton::clicked, dialog, [this] { loadPage(); });
}

PetPageHandler::~PetPageHandler() = default;

void PetPageHandler::configure()
{
    m_handler->configure();
}

void PetPageHandler::showConfiguration()
{
    m_handler->configure();
    PETConfig *dialog = m_handler->dialog();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void PetPageHandler::loadPage()
{
    const PetPage &page = m_window.petPage();
    PETConfig *dialog = m_handler->dialog();
    page.PETIPAdr->setText(dialog->PETIPAdr->text());
    page.PETIPPort_2->setText(dialog->PETIPPort->text());
    page.PETHeartbeat->setChecked(dialog->PETHeartbeat->isChecked());
    page.PETHeartbeatInterval->setText(dialog->PETHeartbeatInterval->text());
    page.PETHeartbeatInterval_2->setText(dialog->PETHeartbeatInterval_2->text());
    pageFromDialogState();
}

void PetPageHandler::pageFromDialogState()
{
    const PetPage &page = m_window.petPage();
    PETConfig *dialog = m_handler->dialog();
    page.status_textLabel->setText(dialog->status_textLabel->text());
    page.PETConfigConnect_Button->setText(dialog->PETConfigConnect_Button->text());
}

void PetPageHandler::connectFromPage()
{
    const PetPage &page = m_window.petPage();
    PETConfig *dialog = m_handler->dialog();
    page.PETConfigConnect_Button->setText(dialog->PETConfigConnect_Button->text());
    dialog->PETIPAdr->setText(page.PETIPAdr->text());
    dialog->PETIPPort->setText(page.PETIPPort_2->text());
    dialog->PETHeartbeat->setChecked(page.PETHeartbeat->isChecked());
    dialog->PETHeartbeatInterval->setText(page.PETHeartbeatInterval->text());
    dialog->PETHeartbeatInterval_2->setText(page.PETHeartbeatInterval_2->text());
    dialog->PETConnect();
    pageFromDialogState();
    m_handler->applyHeartbeatSettings();
}

void PetPageHandler::clearLog()
{
    m_handler->restart();
}

ASF_Logger *PetPageHandler::logger() const
{
    return m_handler->logger();
}

void PetPageHandler::closeConfig()
{
    if (PETConfig *dialog = m_handler->existingDialog())
        dialog->close();
}

} // namespace velquor
