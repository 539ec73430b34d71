#include "app/pages.h"

#include "core/imagesource.h"

#include <QComboBox>
#include <QEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

namespace velquor {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWidow", text);
}

template <typename W>
W *make(QWidget *parent, const QString &name)
{
    auto *w = new W(parent);
    w->setObjectName(name);
    return w;
}

template <typename W>
W *make(QWidget *parent, const char *name)
{
    return make<W>(parent, QString::fromLatin1(name));
}

QLabel *led(QWidget *parent, const char *name, const char *image)
{
    auto *label = make<QLabel>(parent, name);
    label->setPixmap(velquor::image(QString::fromLatin1(image)));
    label->setFixedSize(24, 24);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// The log list and the packet detail view sit in these frames; the loggers
// give them their layouts.
QFrame *logFrame(QWidget *parent, const QString &name)
{
    auto *frame = make<QFrame>(parent, name);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return frame;
}

// When the detail frame first appears (a row was activated), the list keeps
// three fifths of the room; the splitter alone would size it by the detail
// view's wishes. Later the user's own division stands. The frame sits in a
// scroll area, which shows and hides with it: a detail view taller than
// the page (an RMCP record's fields) would otherwise push the list down to
// nothing.
class DetailFrameSizer : public QObject
{
public:
    DetailFrameSizer(QSplitter *splitter, QScrollArea *area, QFrame *packetFrame)
        : QObject(splitter), m_splitter(splitter), m_area(area)
    {
        packetFrame->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ShowToParent)
            m_area->show();
        else if (event->type() == QEvent::HideToParent)
            m_area->hide();
        else if (event->type() == QEvent::Show && !m_sized) {
            m_sized = true;
            const int total = m_splitter->height();
            m_splitter->setSizes({total * 3 / 5, total - total * 3 / 5});
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QSplitter *m_splitter;
    QScrollArea *m_area;
    bool m_sized = false;
};

// The packet list above the detail view of the activated row; the user can
// move the border between them.
QSplitter *logSplitter(QWidget *parent, QFrame *logFrame, QFrame *packetFrame)
{
    auto *splitter = new QSplitter(Qt::Vertical, parent);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(logFrame);
    auto *area = new QScrollArea(splitter);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    new DetailFrameSizer(splitter, area, packetFrame);
    area->setWidget(packetFrame);
    area->setVisible(!packetFrame->isHidden());
    splitter->addWidget(area);
    return splitter;
}

QHBoxLayout *logButtonRow(QPushButton *clear, QPushButton *save)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(clear);
    row->addWidget(save);
    return row;
}

// Every page has Clear Log and Save to File under its log.
void retranslateLogButtons(QPushButton *clear, QPushButton *save)
{
    clear->setText(tr("Clear Log"));
    save->setText(tr("Save to File"));
}

// The traffic pages' status line and their Connect button.
void retranslateConnection(QLabel *caption, QLabel *state, QPushButton *connect)
{
    caption->setText(tr("Status:"));
    state->setText(tr("not listening"));
    connect->setText(tr("Connect"));
}

// Keys and the trace in a fixed-width font.
QFont keyFont()
{
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

} // namespace

QString rmcpObjectName(const char *base, int number)
{
    const QString name = QString::fromLatin1(base);
    if (number != 2)
        return name;
    static const struct
    {
        const char *first, *second;
    } apart[] = {
        {"RMCP_Page1", "RMCP_Page2"},
        {"RMCP_ShowLog_Frame", "RMCP_ShowLog_Frame_2"},
        {"RMCP_ShowPacket_Frame", "RMCP_ShowPacket_Frame_2"},
        {"rmcpControlFrame", "rmcpControlFrame_2"},
        {"saveRMCP1LogButton", "saveRMCP2LogButton"},
        {"rmcpClearLog_button", "rmcpClearLog_button_2"},
        {"status_textLabel_2", "status_textLabel_3"},
    };
    for (const auto &entry : apart) {
        if (name == QLatin1String(entry.first))
            return QString::fromLatin1(entry.second);
    }
    return name + QStringLiteral("_3");
}

PetPage buildPetPage(QWidget *page)
{
    PetPage p;
    p.page = page;

    // Status: what the listener shows.
    p.statusGroup = make<QGroupBox>(page, "PETStatus_GroupBox");
    p.ipAddressLabel = make<QLabel>(p.statusGroup, "PETIPAddress_lb");
    p.portLabel = make<QLabel>(p.statusGroup, "PETIPPort_lb");
    p.statusLabel = make<QLabel>(p.statusGroup, "PETStatus_lb");
    p.heartbeatLabel = make<QLabel>(p.statusGroup, "PETHeartbeat_lb");
    p.PETIPAddress = make<QLabel>(p.statusGroup, "PETIPAddress");
    p.PETIPPort = make<QLabel>(p.statusGroup, "PETIPPort");
    p.PETIPAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    p.PETIPPort->setTextInteractionFlags(Qt::TextSelectableByMouse);
    p.PETStatusLED = led(p.statusGroup, "PETStatusLED", "ledred.png");
    p.pixmapLabel1 = led(p.statusGroup, "pixmapLabel1", "ledoff.png");
    p.PETHeartbeatLED = led(p.statusGroup, "PETHeartbeatLED", "ledoff.png");
    {
        auto *grid = new QGridLayout(p.statusGroup);
        grid->setHorizontalSpacing(12);
        grid->addWidget(p.ipAddressLabel, 0, 0);
        grid->addWidget(p.PETIPAddress, 0, 1, 1, 3);
        grid->addWidget(p.portLabel, 1, 0);
        grid->addWidget(p.PETIPPort, 1, 1, 1, 3);
        grid->addWidget(p.statusLabel, 2, 0);
        grid->addWidget(p.PETStatusLED, 2, 1);
        grid->addWidget(p.pixmapLabel1, 2, 2);
        grid->addWidget(p.heartbeatLabel, 3, 0);
        grid->addWidget(p.PETHeartbeatLED, 3, 1);
        grid->setColumnStretch(3, 1);
        grid->setRowStretch(4, 1);
    }

    // Configuration: mirrored into the handler's configuration dialog on Connect.
    p.configGroup = make<QGroupBox>(page, "PETConfig_GroupBox");
    p.PETIPAdr_lb = make<QLabel>(p.configGroup, "PETIPAdr_lb");
    p.PETIPAdr = make<QLineEdit>(p.configGroup, "PETIPAdr");
    p.PETIPPort_lb = make<QLabel>(p.configGroup, "PETIPPort_lb_2");
    p.PETIPPort_2 = make<QLineEdit>(p.configGroup, "PETIPPort_2");
    p.PETIPAdr_lb->setBuddy(p.PETIPAdr);
    p.PETIPPort_lb->setBuddy(p.PETIPPort_2);
    p.PETIPAdr->setMinimumWidth(140);
    p.PETIPAdr->setMaximumWidth(220);
    p.PETIPPort_2->setMaximumWidth(80);
    p.PETHeartbeat = make<QRadioButton>(p.configGroup, "PETHeartbeat");
    // A lone radio button must be able to go off again.
    p.PETHeartbeat->setAutoExclusive(false);
    p.interval_text = make<QLabel>(p.configGroup, "interval_text");
    p.PETHeartbeatInterval = make<QLineEdit>(p.configGroup, "PETHeartbeatInterval");
    p.interval_text->setBuddy(p.PETHeartbeatInterval);
    p.intvalMin_text = make<QLabel>(p.configGroup, "intvalMin_text");
    p.PETHeartbeatInterval_2 = make<QLineEdit>(p.configGroup, "PETHeartbeatInterval_2");
    p.intvalMin_text_2 = make<QLabel>(p.configGroup, "intvalMin_text_2");
    p.PETHeartbeatInterval->setMaximumWidth(50);
    p.PETHeartbeatInterval_2->setMaximumWidth(50);
    p.textLabel1 = make<QLabel>(p.configGroup, "textLabel1");
    p.status_textLabel = make<QLabel>(p.configGroup, "status_textLabel");
    p.status_textLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    p.PETConfigConnect_Button = make<QPushButton>(p.configGroup, "PETConfigConnect_Button");
    {
        auto *grid = new QGridLayout(p.configGroup);
        grid->setHorizontalSpacing(8);
        grid->addWidget(p.PETIPAdr_lb, 0, 0);
        grid->addWidget(p.PETIPAdr, 0, 1, 1, 2);
        grid->addWidget(p.PETIPPort_lb, 1, 0);
        grid->addWidget(p.PETIPPort_2, 1, 1);
        auto *heartbeat = new QHBoxLayout;
        heartbeat->addWidget(p.PETHeartbeat);
        heartbeat->addWidget(p.interval_text);
        heartbeat->addWidget(p.PETHeartbeatInterval);
        heartbeat->addWidget(p.intvalMin_text);
        heartbeat->addWidget(p.PETHeartbeatInterval_2);
        heartbeat->addWidget(p.intvalMin_text_2);
        heartbeat->addStretch(1);
        grid->addLayout(heartbeat, 2, 0, 1, 4);
        grid->addWidget(p.textLabel1, 3, 0);
        grid->addWidget(p.status_textLabel, 3, 1, 1, 2);
        grid->addWidget(p.PETConfigConnect_Button, 3, 3);
        grid->setColumnStretch(2, 1);
        grid->setRowStretch(4, 1);
    }

    p.PET_ShowLog_Frame = logFrame(page, QStringLiteral("PET_ShowLog_Frame"));
    p.PET_ShowPacket_Frame = logFrame(page, QStringLiteral("PET_ShowPacket_Frame"));
    p.clearLog_button = make<QPushButton>(page, "clearLog_button");
    p.savePETLogButton = make<QPushButton>(page, "savePETLogButton");

    auto *top = new QHBoxLayout;
    top->addWidget(p.statusGroup, 1);
    top->addWidget(p.configGroup, 2);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(logSplitter(page, p.PET_ShowLog_Frame, p.PET_ShowPacket_Frame), 1);
    layout->addLayout(logButtonRow(p.clearLog_button, p.savePETLogButton));

    p.PETIPAddress->setText(QStringLiteral("0.0.0.0"));
    p.PETIPPort->setText(QStringLiteral("162"));
    p.PETIPPort_2->setText(QStringLiteral("162"));
    p.PETHeartbeat->setChecked(false);
    p.PETHeartbeatInterval->setText(QStringLiteral("10"));
    p.PETHeartbeatInterval->setEnabled(false);
    p.PETHeartbeatInterval_2->setText(QStringLiteral("0.5"));
    return p;
}

RmcpPage buildRmcpPage(QWidget *page, int number)
{
    const auto name = [number](const char *base) { return rmcpObjectName(base, number); };
    RmcpPage p;
    p.page = page;

    p.clientGroup = make<QGroupBox>(page, name("managedClientConfig_GroupBox"));
    p.ipAddressLabel = make<QLabel>(p.clientGroup, name("RMCPIPAdr_lb"));
    p.RMCPIPAdr = make<QLineEdit>(p.clientGroup, name("RMCPIPAdr"));
    p.portLabel = make<QLabel>(p.clientGroup, name("RMCPIPPort_lb"));
    p.RMCPIPPort = make<QComboBox>(p.clientGroup, name("RMCPIPPort"));
    p.responseTimeLabel = make<QLabel>(p.clientGroup, name("retransmissionInterval_lb"));
    p.retransmissionInterval = make<QLineEdit>(p.clientGroup, name("retransmissionInterval"));
    p.msLabel = make<QLabel>(p.clientGroup, name("retransmissionIntervalUnit_lb"));
    p.ipAddressLabel->setBuddy(p.RMCPIPAdr);
    p.portLabel->setBuddy(p.RMCPIPPort);
    p.responseTimeLabel->setBuddy(p.retransmissionInterval);
    p.RMCPIPAdr->setMinimumWidth(130);
    p.retransmissionInterval->setMaximumWidth(70);
    p.RMCPIPPort->addItem(QStringLiteral("623"));
    p.RMCPIPPort->addItem(QStringLiteral("664"));
    {
        auto *grid = new QGridLayout(p.clientGroup);
        grid->addWidget(p.ipAddressLabel, 0, 0);
        grid->addWidget(p.RMCPIPAdr, 0, 1, 1, 2);
        grid->addWidget(p.portLabel, 1, 0);
        grid->addWidget(p.RMCPIPPort, 1, 1, Qt::AlignLeft);
        grid->addWidget(p.responseTimeLabel, 2, 0);
        grid->addWidget(p.retransmissionInterval, 2, 1);
        grid->addWidget(p.msLabel, 2, 2);
        grid->setColumnStretch(2, 1);
    }

    p.retransmissionGroup = make<QGroupBox>(page, name("retransmission_GroupBox"));
    p.retransmissionOn_radioButton = make<QRadioButton>(p.retransmissionGroup, name("retransmissionOn_radioButton"));
    p.retransmissionOff_radioButton = make<QRadioButton>(p.retransmissionGroup, name("retransmissionOff_radioButton"));
    p.repeatsLabel = make<QLabel>(p.retransmissionGroup, name("retransmissionNr_lb"));
    p.retransmissionNr = make<QLineEdit>(p.retransmissionGroup, name("retransmissionNr"));
    p.repeatsLabel->setBuddy(p.retransmissionNr);
    p.retransmissionNr->setMaximumWidth(50);
    {
        auto *row = new QHBoxLayout(p.retransmissionGroup);
        row->addWidget(p.retransmissionOn_radioButton);
        row->addWidget(p.retransmissionOff_radioButton);
        row->addSpacing(12);
        row->addWidget(p.repeatsLabel);
        row->addWidget(p.retransmissionNr);
        row->addStretch(1);
    }

    p.statusLabel = make<QLabel>(page, name("RMCPStatus_lb"));
    p.status_textLabel_2 = make<QLabel>(page, name("status_textLabel_2"));
    p.status_textLabel_2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    p.status_textLabel_2->setMinimumWidth(120);
    p.RMCPConfigConnect_Button = make<QPushButton>(page, name("RMCPConfigConnect_Button"));
    p.RMCPDisconfigConnect_Button = make<QPushButton>(page, name("RMCPDisconfigConnect_Button"));

    p.rspGroup = make<QGroupBox>(page, name("RSP_GroupBox"));
    p.RSPOn_radioButton = make<QRadioButton>(p.rspGroup, name("RSPOn_radioButton"));
    p.RSPOff_radioButton = make<QRadioButton>(p.rspGroup, name("RSPOff_radioButton"));
    p.RSP_Config = make<QGroupBox>(p.rspGroup, name("RSP_Config"));
    p.RSPOperator_radioButton = make<QRadioButton>(p.RSP_Config, name("RSPOperator_radioButton"));
    p.RSPAdministrator_radioButton = make<QRadioButton>(p.RSP_Config, name("RSPAdministrator_radioButton"));
    p.nameLabel = make<QLabel>(p.RSP_Config, name("uName_lb"));
    p.uName = make<QLineEdit>(p.RSP_Config, name("uName"));
    p.oKeyLabel = make<QLabel>(p.RSP_Config, name("oKey_lb"));
    p.oKey = make<QLineEdit>(p.RSP_Config, name("oKey"));
    p.aKeyLabel = make<QLabel>(p.RSP_Config, name("aKey_lb"));
    p.aKey = make<QLineEdit>(p.RSP_Config, name("aKey"));
    p.gKeyLabel = make<QLabel>(p.RSP_Config, name("gKey_lb"));
    p.gKey = make<QLineEdit>(p.RSP_Config, name("gKey"));
    p.nameLabel->setBuddy(p.uName);
    p.oKeyLabel->setBuddy(p.oKey);
    p.aKeyLabel->setBuddy(p.aKey);
    p.gKeyLabel->setBuddy(p.gKey);
    for (QLineEdit *key : {p.oKey, p.aKey, p.gKey}) {
        key->setFont(keyFont());
        // Room for 20 bytes in groups of four.
        key->setMinimumWidth(QFontMetrics(key->font()).horizontalAdvance(QString(46, QLatin1Char('0'))));
    }
    {
        auto *grid = new QGridLayout(p.RSP_Config);
        auto *roles = new QHBoxLayout;
        roles->addWidget(p.RSPOperator_radioButton);
        roles->addWidget(p.RSPAdministrator_radioButton);
        roles->addStretch(1);
        grid->addLayout(roles, 0, 0, 1, 2);
        grid->addWidget(p.nameLabel, 1, 0);
        grid->addWidget(p.uName, 1, 1);
        grid->addWidget(p.oKeyLabel, 2, 0);
        grid->addWidget(p.oKey, 2, 1);
        grid->addWidget(p.aKeyLabel, 3, 0);
        grid->addWidget(p.aKey, 3, 1);
        grid->addWidget(p.gKeyLabel, 4, 0);
        grid->addWidget(p.gKey, 4, 1);
    }
    {
        auto *layout = new QVBoxLayout(p.rspGroup);
        auto *onOff = new QHBoxLayout;
        onOff->addWidget(p.RSPOn_radioButton);
        onOff->addWidget(p.RSPOff_radioButton);
        onOff->addStretch(1);
        layout->addLayout(onOff);
        layout->addWidget(p.RSP_Config);
        layout->addStretch(1);
    }

    p.rmcpControlFrame = make<QFrame>(page, name("rmcpControlFrame"));
    p.rmcpControlFrame->setFrameShape(QFrame::NoFrame);
    p.rmcpControlFrame->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    p.RMCP_ShowLog_Frame = logFrame(page, name("RMCP_ShowLog_Frame"));
    p.RMCP_ShowPacket_Frame = logFrame(page, name("RMCP_ShowPacket_Frame"));
    p.rmcpClearLog_button = make<QPushButton>(page, name("rmcpClearLog_button"));
    p.saveLogButton = make<QPushButton>(page, number == 2 ? "saveRMCP2LogButton" : "saveRMCP1LogButton");

    auto *connection = new QHBoxLayout;
    connection->addWidget(p.statusLabel);
    connection->addWidget(p.status_textLabel_2, 1);
    connection->addWidget(p.RMCPConfigConnect_Button);
    connection->addWidget(p.RMCPDisconfigConnect_Button);

    auto *left = new QVBoxLayout;
    left->addWidget(p.clientGroup);
    left->addWidget(p.retransmissionGroup);
    left->addStretch(1);
    left->addLayout(connection);

    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addWidget(p.rspGroup, 0);

    auto *layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(p.rmcpControlFrame);
    layout->addWidget(logSplitter(page, p.RMCP_ShowLog_Frame, p.RMCP_ShowPacket_Frame), 1);
    layout->addLayout(logButtonRow(p.rmcpClearLog_button, p.saveLogButton));

    p.retransmissionInterval->setText(QStringLiteral("2000"));
    p.retransmissionNr->setText(QStringLiteral("3"));
    p.oKey->setText(QStringLiteral("7c7c7c7c 7c7c7c7c 7c7c7c7c 7c7c7c7c 7c7c7c7c"));
    p.aKey->setText(QStringLiteral("3E3E3E3E 3E3E3E3E 3E3E3E3E 3E3E3E3E 3E3E3E3E"));
    p.gKey->setText(QStringLiteral("5D5D5D5D 5D5D5D5D 5D5D5D5D 5D5D5D5D 5D5D5D5D"));
    p.RSPOff_radioButton->setChecked(true);
    p.RSPAdministrator_radioButton->setChecked(true);
    p.retransmissionOff_radioButton->setChecked(true);
    // Fields of a switched-off option start disabled, as the toggles keep them.
    p.RSP_Config->setEnabled(false);
    p.retransmissionNr->setEnabled(false);
    return p;
}

TraceLogPage buildTraceLogPage(QWidget *page)
{
    TraceLogPage p;
    p.page = page;
    p.traceLOGtextEdit = make<QPlainTextEdit>(page, "traceLOGtextEdit");
    p.traceLOGtextEdit->setFont(keyFont());
    // Read and scroll only: the cursor stays at the end where new text goes.
    p.traceLOGtextEdit->setReadOnly(true);
    p.traceLOGtextEdit->setTextInteractionFlags(Qt::NoTextInteraction);
    p.traceLOGtextEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    p.traceLogClearButton = make<QPushButton>(page, "traceLogClearButton");
    p.saveTraceLogButton = make<QPushButton>(page, "saveTraceLogButton");

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(p.traceLOGtextEdit, 1);
    layout->addLayout(logButtonRow(p.traceLogClearButton, p.saveTraceLogButton));
    return p;
}

void retranslate(PetPage &p)
{
    p.statusGroup->setTitle(tr("PET Status"));
    p.ipAddressLabel->setText(tr("<b>IP Address:</b>\n"));
    p.portLabel->setText(tr("<b>Port:</b>"));
    p.statusLabel->setText(tr("<b>Status:</b>"));
    p.heartbeatLabel->setText(tr("<b>Heartbeat:</b>"));
    p.PETStatusLED->setToolTip(tr("listening"));
    p.pixmapLabel1->setToolTip(tr("trap received"));
    p.PETHeartbeatLED->setToolTip(tr("heartbeat"));
    p.configGroup->setTitle(tr("PET Configuration"));
    p.PETIPAdr_lb->setText(tr("Local &IP Address:"));
    p.PETIPPort_lb->setText(tr("&Port:"));
    p.PETHeartbeat->setText(tr("&Heartbeat"));
    p.interval_text->setText(tr("&Interval"));
    p.intvalMin_text->setText(tr("min"));
    p.intvalMin_text_2->setText(tr("min. tolerance"));
    retranslateConnection(p.textLabel1, p.status_textLabel, p.PETConfigConnect_Button);
    retranslateLogButtons(p.clearLog_button, p.savePETLogButton);
}

void retranslate(RmcpPage &p)
{
    p.clientGroup->setTitle(tr("Managed Client Configuration"));
    p.ipAddressLabel->setText(tr("&IP Address:"));
    p.portLabel->setText(tr("&Port:"));
    p.responseTimeLabel->setText(tr("Client response time:"));
    p.msLabel->setText(tr("ms"));
    p.retransmissionGroup->setTitle(tr("Retransmission"));
    p.retransmissionOn_radioButton->setText(tr("on"));
    p.retransmissionOff_radioButton->setText(tr("off"));
    p.repeatsLabel->setText(tr("max. repeats:"));
    p.rspGroup->setTitle(tr("RSP"));
    p.RSPOn_radioButton->setText(tr("on"));
    p.RSPOff_radioButton->setText(tr("off"));
    p.RSPOperator_radioButton->setText(tr("Operator"));
    p.RSPAdministrator_radioButton->setText(tr("Administrator"));
    p.nameLabel->setText(tr("Name"));
    p.oKeyLabel->setText(tr("Operator Key"));
    p.aKeyLabel->setText(tr("Administrator Key"));
    p.gKeyLabel->setText(tr("Generator Key"));
    retranslateConnection(p.statusLabel, p.status_textLabel_2, p.RMCPConfigConnect_Button);
    p.RMCPDisconfigConnect_Button->setText(tr("Abort"));
    retranslateLogButtons(p.rmcpClearLog_button, p.saveLogButton);
}

void retranslate(TraceLogPage &p)
{
    retranslateLogButtons(p.traceLogClearButton, p.saveTraceLogButton);
}

} // namespace velquor
