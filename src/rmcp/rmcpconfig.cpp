#include "rmcp/rmcpconfig.h"
#include "core/widgetnames.h"

#include "rmcp/asfrmcphandler.h"
#include "rmcp/rmcpconnection.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace velquor;
using namespace velquor::rmcp;

namespace {

void setText(QLineEdit *edit, const QString &text)
{
    // Only a change: rewriting the same text would move the cursor under the user.
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

RMCPConfig::RMCPConfig(ASF_RMCP_Handler *handler, QWidget *parent) : QDialog(parent), m_handler(handler)
{
    setObjectName(QStringLiteral("RMCPConfig"));

    statusCaption = named(new QLabel(this), "status_lb");
    status_textLabel = named(new QLabel(this), "status_textLabel");
    status_textLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_textLabel->setMinimumWidth(220);
    RMCPConfigConnect_Button = named(new QPushButton(this), "RMCPConfigConnect_Button");
    RMCPDisconfigConnect_Button = named(new QPushButton(this), "RMCPDisconfigConnect_Button");
    buttonOk = named(new QPushButton(this), "buttonOk");
    buttonCancel = named(new QPushButton(this), "buttonCancel");
    buttonOk->setAutoDefault(true);
    buttonOk->setDefault(true);

    managedClientGroup = named(new QGroupBox(this), "managedClient_GroupBox");
    ipAddressLabel = named(new QLabel(managedClientGroup), "RMCPIPAdr_lb");
    RMCPIPAdr = named(new QLineEdit(managedClientGroup), "RMCPIPAdr");
    portLabel = named(new QLabel(managedClientGroup), "RMCPIPPort_lb");
    RMCPIPPort = named(new QComboBox(managedClientGroup), "RMCPIPPort");
    RMCPIPPort->addItem(QStringLiteral("623"));
    RMCPIPPort->addItem(QStringLiteral("664"));
    ipAddressLabel->setBuddy(RMCPIPAdr);
    portLabel->setBuddy(RMCPIPPort);
    RMCPIPAdr->setMinimumWidth(160);
    {
        auto *grid = new QGridLayout(managedClientGroup);
        grid->addWidget(ipAddressLabel, 0, 0);
        grid->addWidget(RMCPIPAdr, 0, 1);
        grid->addWidget(portLabel, 1, 0);
        grid->addWidget(RMCPIPPort, 1, 1, Qt::AlignLeft);
    }

    responseTimeLabel = named(new QLabel(this), "retransmissionInterval_lb");
    retransmissionInterval = named(new QLineEdit(this), "retransmissionInterval");
    msLabel = named(new QLabel(this), "retransmissionIntervalUnit_lb");
    retransmissionInterval->setMaximumWidth(80);

    retransmissionGroup = named(new QGroupBox(this), "retransmission_GroupBox");
    retransmissionOn_radioButton = named(new QRadioButton(retransmissionGroup), "retransmissionOn_radioButton");
    retransmissionOff_radioButton = named(new QRadioButton(retransmissionGroup), "retransmissionOff_radioButton");
    repeatsLabel = named(new QLabel(retransmissionGroup), "retransmissionNr_lb");
    retransmissionNr = named(new QLineEdit(retransmissionGroup), "retransmissionNr");
    retransmissionNr->setMaximumWidth(50);
    {
        auto *row = new QHBoxLayout(retransmissionGroup);
        row->addWidget(retransmissionOn_radioButton);
        row->addWidget(retransmissionOff_radioButton);
        row->addSpacing(12);
        row->addWidget(repeatsLabel);
        row->addWidget(retransmissionNr);
        row->addStretch(1);
    }

    rspGroup = named(new QGroupBox(this), "RSP_GroupBox");
    RSPOn_radioButton = named(new QRadioButton(rspGroup), "RSPOn_radioButton");
    RSPOff_radioButton = named(new QRadioButton(rspGroup), "RSPOff_radioButton");
    RSP_Config = named(new QGroupBox(rspGroup), "RSP_Config");
    RSPOperator_radioButton = named(new QRadioButton(RSP_Config), "RSPOperator_radioButton");
    RSPAdministrator_radioButton = named(new QRadioButton(RSP_Config), "RSPAdministrator_radioButton");
    nameLabel = named(new QLabel(RSP_Config), "uName_lb");
    uName = named(new QLineEdit(RSP_Config), "uName");
    oKeyLabel = named(new QLabel(RSP_Config), "oKey_lb");
    oKey = named(new QLineEdit(RSP_Config), "oKey");
    aKeyLabel = named(new QLabel(RSP_Config), "aKey_lb");
    aKey = named(new QLineEdit(RSP_Config), "aKey");
    gKeyLabel = named(new QLabel(RSP_Config), "gKey_lb");
    gKey = named(new QLineEdit(RSP_Config), "gKey");
    QFont keyFont(QStringLiteral("Courier"));
    keyFont.setStyleHint(QFont::TypeWriter);
    for (QLineEdit *key : {oKey, aKey, gKey}) {
        key->setFont(keyFont);
        key->setMinimumWidth(QFontMetrics(keyFont).horizontalAdvance(QString(46, QLatin1Char('0'))));
    }
    nameLabel->setBuddy(uName);
    oKeyLabel->setBuddy(oKey);
    aKeyLabel->setBuddy(aKey);
    gKeyLabel->setBuddy(gKey);
    {
        auto *grid = new QGridLayout(RSP_Config);
        auto *roles = new QHBoxLayout;
        roles->addWidget(RSPOperator_radioButton);
        roles->addWidget(RSPAdministrator_radioButton);
        roles->addStretch(1);
        grid->addLayout(roles, 0, 0, 1, 2);
        grid->addWidget(nameLabel, 1, 0);
        grid->addWidget(uName, 1, 1);
        grid->addWidget(oKeyLabel, 2, 0);
        grid->addWidget(oKey, 2, 1);
        grid->addWidget(aKeyLabel, 3, 0);
        grid->addWidget(aKey, 3, 1);
        grid->addWidget(gKeyLabel, 4, 0);
        grid->addWidget(gKey, 4, 1);
        auto *column = new QVBoxLayout(rspGroup);
        auto *onOff = new QHBoxLayout;
        onOff->addWidget(RSPOn_radioButton);
        onOff->addWidget(RSPOff_radioButton);
        onOff->addStretch(1);
        column->addLayout(onOff);
        column->addWidget(RSP_Config);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(managedClientGroup);
    auto *responseRow = new QHBoxLayout;
    responseRow->addWidget(responseTimeLabel);
    responseRow->addWidget(retransmissionInterval);
    responseRow->addWidget(msLabel);
    responseRow->addStretch(1);
    layout->addLayout(responseRow);
    layout->addWidget(retransmissionGroup);
    layout->addWidget(rspGroup);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(statusCaption);
    statusRow->addWidget(status_textLabel, 1);
    statusRow->addWidget(RMCPConfigConnect_Button);
    statusRow->addWidget(RMCPDisconfigConnect_Button);
    layout->addLayout(statusRow);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(buttonOk);
    buttons->addWidget(buttonCancel);
    layout->addLayout(buttons);

    languageChange();
    showSettings();
    showConnectionState();

    connect(buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(buttonOk, &QPushButton::clicked, this, &RMCPConfig::doOK);
    connect(RMCPConfigConnect_Button, &QPushButton::clicked, this, &RMCPConfig::RMCPToggleConnection);
    connect(RMCPDisconfigConnect_Button, &QPushButton::clicked, this, &RMCPConfig::RMCPKillConnection);
    connect(retransmissionOn_radioButton, &QRadioButton::toggled, retransmissionNr, &QWidget::setEnabled);
    connect(RSPOff_radioButton, &QRadioButton::toggled, RSP_Config, &QWidget::setDisabled);
    // The current entry, not the one the mouse passes over in the open list.
    connect(RMCPIPPort, &QComboBox::currentTextChanged, this, &RMCPConfig::PortChanged);

    // Every edit is the configuration at once.
    for (QLineEdit *edit : {RMCPIPAdr, retransmissionInterval, retransmissionNr, uName, oKey, aKey, gKey})
        connect(edit, &QLineEdit::textChanged, this, &RMCPConfig::storeSettings);
    for (QRadioButton *button : {retransmissionOn_radioButton, RSPOn_radioButton, RSPOperator_radioButton})
        connect(button, &QRadioButton::toggled, this, &RMCPConfig::storeSettings);
    connect(RMCPIPPort, &QComboBox::currentIndexChanged, this, &RMCPConfig::storeSettings);

    connect(handler, &ASF_RMCP_Handler::configChanged, this, &RMCPConfig::showSettings);
    connect(handler, &ASF_RMCP_Handler::configureRequested, this, [this] {
        showSettings();
        raise();
    });
    connect(handler->connection(), &RmcpConnection::stateChanged, this, &RMCPConfig::showConnectionState);
}

RMCPConfig::~RMCPConfig() = default;

void RMCPConfig::languageChange()
{
    setWindowTitle(tr("Configure RMCP"));
    statusCaption->setText(tr("Status:"));
    RMCPDisconfigConnect_Button->setText(tr("Kill"));
    buttonOk->setText(tr("&OK"));
    buttonCancel->setText(tr("&Cancel"));
    managedClientGroup->setTitle(tr("Managed Client"));
    ipAddressLabel->setText(tr("&IP Address:"));
    portLabel->setText(tr("&Port:"));
    responseTimeLabel->setText(tr("Client response time:"));
    msLabel->setText(tr("ms"));
    retransmissionGroup->setTitle(tr("Retransmission"));
    retransmissionOn_radioButton->setText(tr("on"));
    retransmissionOff_radioButton->setText(tr("off"));
    repeatsLabel->setText(tr("max. repeats:"));
    rspGroup->setTitle(tr("RSP"));
    RSPOn_radioButton->setText(tr("on"));
    RSPOff_radioButton->setText(tr("off"));
    RSPOperator_radioButton->setText(tr("Operator"));
    RSPAdministrator_radioButton->setText(tr("Administrator"));
    nameLabel->setText(tr("Name"));
    oKeyLabel->setText(tr("Operator Key"));
    aKeyLabel->setText(tr("Administrator Key"));
    gKeyLabel->setText(tr("Generator Key"));
}

RmcpSettings RMCPConfig::settings() const
{
    RmcpSettings s;
    s.address = RMCPIPAdr->text();
    s.portIndex = RMCPIPPort->currentIndex() == 0 ? 0 : 1;
    s.responseTime = retransmissionInterval->text();
    s.retransmissionOn = retransmissionOn_radioButton->isChecked();
    s.repeats = retransmissionNr->text();
    s.rspOn = RSPOn_radioButton->isChecked();
    s.role = RSPOperator_radioButton->isChecked() ? OperatorRole : AdministratorRole;
    s.name = uName->text();
    s.operatorKey = oKey->text();
    s.administratorKey = aKey->text();
    s.generatorKey = gKey->text();
    return s;
}

void RMCPConfig::storeSettings()
{
    if (!m_showing)
        m_handler->setConfig(settings());
}

void RMCPConfig::showSettings()
{
    const RmcpSettings &s = m_handler->config();
    m_showing = true;
    setText(RMCPIPAdr, s.address);
    RMCPIPPort->setCurrentIndex(s.portIndex == 0 ? 0 : 1);
    setText(retransmissionInterval, s.responseTime);
    (s.retransmissionOn ? retransmissionOn_radioButton : retransmissionOff_radioButton)->setChecked(true);
    retransmissionNr->setEnabled(s.retransmissionOn);
    setText(retransmissionNr, s.repeats);
    (s.rspOn ? RSPOn_radioButton : RSPOff_radioButton)->setChecked(true);
    RSP_Config->setEnabled(s.rspOn);
    (s.role == OperatorRole ? RSPOperator_radioButton : RSPAdministrator_radioButton)->setChecked(true);
    setText(uName, s.name);
    setText(oKey, s.operatorKey);
    setText(aKey, s.administratorKey);
    setText(gKey, s.generatorKey);
    m_showing = false;
}

void RMCPConfig::showConnectionState()
{
    const ConnectionState &s = m_handler->connection()->state();
    status_textLabel->setText(s.status);
    RMCPConfigConnect_Button->setText(s.connectText);
    RMCPConfigConnect_Button->setEnabled(s.connectEnabled);
    RMCPDisconfigConnect_Button->setEnabled(s.killEnabled);
    if (s.keyValid) {
        QLineEdit *keys[3] = {oKey, aKey, gKey};
        for (int i = 0; i < 3; ++i) {
            QPalette palette = keys[i]->palette();
            palette.setColor(QPalette::Base, (*s.keyValid)[size_t(i)] ? QColor(255, 255, 255) : QColor(255, 255, 127));
            keys[i]->setPalette(palette);
        }
    }
}

void RMCPConfig::RMCPToggleConnection()
{
    storeSettings();
    m_handler->connection()->toggle();
}

void RMCPConfig::RMCPConnect()
{
    storeSettings();
    m_handler->connection()->connectToClient();
}

void RMCPConfig::RMCPDisconnect()
{
    m_handler->connection()->disconnectFromClient();
}

void RMCPConfig::RMCPKillConnection()
{
    m_handler->connection()->kill();
}

void RMCPConfig::RSPSessionCreated(QRssp *new_rssp)
{
    m_handler->connection()->rspSessionStatus(new_rssp);
}

void RMCPConfig::RSPReceive(QRssp *rssp)
{
    m_handler->connection()->rspReceive(rssp);
}

void RMCPConfig::ASFSocketReveive()
{
    m_handler->readDatagram(m_handler->connection()->rawSocket());
}

void RMCPConfig::doOK()
{
    storeSettings();
    m_handler->connection()->showConfiguredClient();
    m_handler->applyConfig();
    close();
}

void RMCPConfig::PortChanged(const QString &qstr)
{
    if (qstr == QLatin1String("664"))
        RSPOn_radioButton->setChecked(true);
    else
        RSPOff_radioButton->setChecked(true);
}
