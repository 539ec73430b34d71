#include "pet/petconfig.h"
#include "core/widgetnames.h"

#include "pet/asfpethandler.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace velquor;
using velquor::pet::ListenerState;

PETConfig::PETConfig(ASF_PET_Handler *handler, QWidget *parent) : QDialog(parent), m_handler(handler)
{
    setObjectName(QStringLiteral("PETConfig"));
    PETIPAdr_lb = named(new QLabel(this), "PETIPAdr_lb");
    PETIPAdr = named(new QLineEdit(this), "PETIPAdr");
    PETIPPort_lb = named(new QLabel(this), "PETIPPort_lb");
    PETIPPort = named(new QLineEdit(this), "PETIPPort");
    PETConfigConnect_Button = named(new QPushButton(this), "PETConfigConnect_Button");
    textLabel1 = named(new QLabel(this), "textLabel1");
    status_textLabel = named(new QLabel(this), "status_textLabel");
    PETHeartbeat = named(new QRadioButton(this), "PETHeartbeat");
    // A lone switch: it must be possible to turn it off again.
    PETHeartbeat->setAutoExclusive(false);
    interval_text = named(new QLabel(this), "interval_text");
    PETHeartbeatInterval = named(new QLineEdit(this), "PETHeartbeatInterval");
    intvalMin_text = named(new QLabel(this), "intvalMin_text");
    PETHeartbeatInterval_2 = named(new QLineEdit(this), "PETHeartbeatInterval_2");
    intvalMin_text_2 = named(new QLabel(this), "intvalMin_text_2");
    buttonOk = named(new QPushButton(this), "buttonOk");
    buttonCancel = named(new QPushButton(this), "buttonCancel");

    PETIPAdr_lb->setBuddy(PETIPAdr);
    PETIPPort_lb->setBuddy(PETIPPort);
    interval_text->setBuddy(PETHeartbeatInterval);
    buttonOk->setAutoDefault(true);
    buttonOk->setDefault(true);

    auto *grid = new QGridLayout(this);
    grid->setObjectName(QStringLiteral("PETConfigLayout"));
    grid->addWidget(PETIPAdr_lb, 0, 0);
    grid->addWidget(PETIPAdr, 0, 1, 1, 2);
    grid->addWidget(PETIPPort_lb, 1, 0);
    grid->addWidget(PETIPPort, 1, 1, 1, 2);
    grid->addWidget(PETConfigConnect_Button, 2, 0);
    grid->addWidget(textLabel1, 2, 1);
    grid->addWidget(status_textLabel, 2, 2);
    grid->addWidget(PETHeartbeat, 3, 0);
    grid->addWidget(interval_text, 4, 0);
    grid->addWidget(PETHeartbeatInterval, 4, 1);
    grid->addWidget(intvalMin_text, 4, 2);
    grid->addWidget(PETHeartbeatInterval_2, 5, 1);
    grid->addWidget(intvalMin_text_2, 5, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buttonOk);
    buttons->addWidget(buttonCancel);
    grid->addLayout(buttons, 6, 0, 1, 3);

    languageChange();

    connect(PETConfigConnect_Button, &QPushButton::clicked, this, &PETConfig::PETConnect);
    connect(buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(buttonOk, &QPushButton::clicked, this, &PETConfig::doOK);
    connect(PETHeartbeat, &QRadioButton::toggled, PETHeartbeatInterval, &QWidget::setEnabled);
    connect(handler, &ASF_PET_Handler::listenerStateChanged, this, &PETConfig::showListenerState);
    connect(handler, &ASF_PET_Handler::configureRequested, this, &PETConfig::showHeartbeatSettings);
}

PETConfig::~PETConfig() = default;

void PETConfig::languageChange()
{
    setWindowTitle(tr("Configure PET"));
    PETIPAdr_lb->setText(tr("local &IP Address:"));
    PETIPPort_lb->setText(tr("&Port:"));
    PETIPPort->setText(QStringLiteral("162"));
    PETConfigConnect_Button->setText(tr("Connect"));
    textLabel1->setText(tr("Status:"));
    status_textLabel->setText(tr("not listening"));
    PETHeartbeat->setText(tr("&Heartbeat"));
    PETHeartbeat->setShortcut(QKeySequence(tr("Alt+H")));
    interval_text->setText(tr("&Interval"));
    PETHeartbeatInterval->setText(QStringLiteral("10"));
    intvalMin_text->setText(tr("min"));
    PETHeartbeatInterval_2->setText(QStringLiteral("0.5"));
    intvalMin_text_2->setText(tr("min. tolerance"));
    buttonOk->setText(tr("&OK"));
    buttonCancel->setText(tr("&Cancel"));
}

pet::PetSettings PETConfig::settings() const
{
    return pet::PetSettings::fromTexts(PETIPAdr->text(), PETIPPort->text(), PETHeartbeat->isChecked(),
                                       PETHeartbeatInterval->text(), PETHeartbeatInterval_2->text());
}

void PETConfig::PETConnect()
{
    m_handler->listen(settings());
}

void PETConfig::showListenerState()
{
    const ListenerState &state = m_handler->listenerState();
    status_textLabel->setText(state.statusText());
    if (state.outcome == ListenerState::Listening)
        PETConfigConnect_Button->setText(QStringLiteral("Reconnect"));
    else if (state.outcome == ListenerState::BindFailed)
        PETConfigConnect_Button->setText(QStringLiteral("Connect"));
}

void PETConfig::showHeartbeatSettings()
{
    const bool check = m_handler->heartbeatCheck();
    PETHeartbeat->setChecked(check);
    PETHeartbeatInterval->setEnabled(true);
    PETHeartbeatInterval->setText(QString::asprintf("%d", int(m_handler->heartbeatInterval() / 60000)));
    PETHeartbeatInterval->setEnabled(check);
    raise();
}

void PETConfig::doOK()
{
    m_handler->applyHeartbeatSettings(settings());
    close();
}
