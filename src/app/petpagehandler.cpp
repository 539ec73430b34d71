#include "app/petpagehandler.h"

#include "app/mainwidow.h"
#include "core/imagesource.h"
#include "core/packetlogview.h"
#include "pet/asfpethandler.h"
#include "pet/petconfig.h"

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

QPixmap lampImage(pet::Lamp lamp)
{
    switch (lamp) {
    case pet::Lamp::Green:
        return image(QStringLiteral("ledgreen.png"));
    case pet::Lamp::Red:
        return image(QStringLiteral("ledred.png"));
    default:
        return image(QStringLiteral("ledoff.png"));
    }
}

} // namespace

PetPageHandler::PetPageHandler(MainWidow &window)
    : m_window(window), m_handler(std::make_unique<ASF_PET_Handler>(window.logClock(), nullptr, "PET"))
{
    const PetPage &page = window.petPage();
    giveLayout(page.PET_ShowLog_Frame, "PET_LogShow_FrameLayout");
    giveLayout(page.PET_ShowPacket_Frame, "PET_PacketShow_FrameLayout");
    m_logView = std::make_unique<PacketLogView>(m_handler->logger(), &window.packetViews());
    m_logView->setLogFrame(page.PET_ShowLog_Frame);
    m_logView->setPacketFrame(page.PET_ShowPacket_Frame);

    m_dialog = std::make_unique<PETConfig>(m_handler.get());
    // Connecting or confirming in the dialog itself must show on the page too.
    QObject::connect(m_dialog->PETConfigConnect_Button, &QPushButton::clicked, m_dialog.get(), [this] { loadPage(); });
    QObject::connect(m_dialog->buttonOk, &QPushButton::clicked, m_dialog.get(), [this] { loadPage(); });
    bindPage();
}

PetPageHandler::~PetPageHandler() = default;

void PetPageHandler::bindPage()
{
    const PetPage &page = m_window.petPage();
    ASF_PET_Handler *handler = m_handler.get();
    QObject::connect(handler, &ASF_PET_Handler::receiveLampChanged, page.pixmapLabel1,
                     [label = page.pixmapLabel1](pet::Lamp lamp) { label->setPixmap(lampImage(lamp)); });
    QObject::connect(handler, &ASF_PET_Handler::heartbeatLampChanged, page.PETHeartbeatLED,
                     [label = page.PETHeartbeatLED](pet::Lamp lamp) { label->setPixmap(lampImage(lamp)); });
    // The status group shows where the listener is bound; an address that
    // is none shows as "0.0.0.0". The status line and the button follow the
    // dialog's (which follow the handler first).
    QObject::connect(handler, &ASF_PET_Handler::listenerStateChanged, page.PETStatusLED, [this, handler] {
        const PetPage &p = m_window.petPage();
        const pet::ListenerState &state = handler->listenerState();
        p.PETStatusLED->setPixmap(lampImage(state.listening() ? pet::Lamp::Green : pet::Lamp::Red));
        if (state.outcome == pet::ListenerState::BadAddress)
            p.PETIPAddress->setText(QStringLiteral("0.0.0.0"));
        if (state.listening()) {
            p.PETIPAddress->setText(state.address.toString());
            p.PETIPPort->setText(QString::number(state.port));
        }
        pageFromDialogState();
    });
}

void PetPageHandler::configure()
{
    m_handler->configure();
}

void PetPageHandler::showConfiguration()
{
    m_handler->configure();
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void PetPageHandler::loadPage()
{
    const PetPage &page = m_window.petPage();
    page.PETIPAdr->setText(m_dialog->PETIPAdr->text());
    page.PETIPPort_2->setText(m_dialog->PETIPPort->text());
    page.PETHeartbeat->setChecked(m_dialog->PETHeartbeat->isChecked());
    page.PETHeartbeatInterval->setText(m_dialog->PETHeartbeatInterval->text());
    page.PETHeartbeatInterval_2->setText(m_dialog->PETHeartbeatInterval_2->text());
    pageFromDialogState();
}

void PetPageHandler::pageFromDialogState()
{
    const PetPage &page = m_window.petPage();
    page.status_textLabel->setText(m_dialog->status_textLabel->text());
    page.PETConfigConnect_Button->setText(m_dialog->PETConfigConnect_Button->text());
}

void PetPageHandler::connectFromPage()
{
    const PetPage &page = m_window.petPage();
    m_dialog->PETIPAdr->setText(page.PETIPAdr->text());
    m_dialog->PETIPPort->setText(page.PETIPPort_2->text());
    m_dialog->PETHeartbeat->setChecked(page.PETHeartbeat->isChecked());
    m_dialog->PETHeartbeatInterval->setText(page.PETHeartbeatInterval->text());
    m_dialog->PETHeartbeatInterval_2->setText(page.PETHeartbeatInterval_2->text());
    m_dialog->PETConnect();
    // Whether or not the listener could bind, the heartbeat settings of the
    // page take effect.
    m_handler->applyHeartbeatSettings(m_dialog->settings());
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
    m_dialog->close();
}

} // namespace velquor
