#include "rmcp/rmcpcontrolwidget.h"
#include "core/widgetnames.h"

#include "core/imagesource.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/rmcpcompose.h"
#include "rmcp/rmcpconnection.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QVBoxLayout>

using namespace velquor;
using namespace velquor::rmcp;

namespace {

QFont fixedFont()
{
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

QLabel *lamp(QWidget *parent, const char *name, const char *image)
{
    auto *label = named(new QLabel(parent), name);
    label->setPixmap(velquor::image(QLatin1String(image)));
    label->setFixedSize(24, 24);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QPixmap lampImage(Lamp lamp)
{
    switch (lamp) {
    case Lamp::Green:
        return image(QStringLiteral("ledgreen.png"));
    case Lamp::Red:
        return image(QStringLiteral("ledred.png"));
    case Lamp::Off:
        break;
    }
    return image(QStringLiteral("ledoff.png"));
}

// A switch of its own: it turns off again when clicked.
QRadioButton *toggle(QWidget *parent, const char *name)
{
    auto *button = named(new QRadioButton(parent), name);
    button->setAutoExclusive(false);
    return button;
}

void paintBox(QWidget *box, const QColor &colour)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, colour);
    box->setPalette(palette);
}

} // namespace

RMCPControlWidget::RMCPControlWidget(ASF_RMCP_Handler *handler, QWidget *parent, const char *name)
    : QWidget(parent), m_handler(handler)
{
    if (name)
        setObjectName(QLatin1String(name));

    // --- the managed client's status ---
    managedClient_Frame = named(new QGroupBox(this), "managedClient_Frame");
    ipAddressLabel = named(new QLabel(managedClient_Frame), "RMCPIPAddress_lb");
    RMCPIPAddress = named(new QLabel(managedClient_Frame), "RMCPIPAddress");
    portLabel = named(new QLabel(managedClient_Frame), "RMCPIPPort_lb");
    RMCPIPPort = named(new QLabel(managedClient_Frame), "RMCPIPPort");
    RMCPIPAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    RMCPIPAddress->setMinimumWidth(110);
    rspRoleName_Frame = named(new QFrame(managedClient_Frame), "rspRoleName_Frame");
    roleLabel = named(new QLabel(rspRoleName_Frame), "role_lb");
    role_text = named(new QLabel(rspRoleName_Frame), "role_text");
    nameLabel = named(new QLabel(rspRoleName_Frame), "name_lb");
    name_text = named(new QLabel(rspRoleName_Frame), "name_text");
    role_text->setMinimumWidth(90);
    statusLabel = named(new QLabel(managedClient_Frame), "RMCPStatus_lb");
    RMCPStatusLED = lamp(managedClient_Frame, "RMCPStatusLED", "ledred.png");
    rspLabel = named(new QLabel(managedClient_Frame), "RMCPRSP_lb");
    RMCPRSPLED = lamp(managedClient_Frame, "RMCPRSPLED", "ledoff.png");
    for (QLabel *label : {ipAddressLabel, portLabel, roleLabel, nameLabel, statusLabel, rspLabel})
        label->setTextFormat(Qt::RichText);
    {
        auto *roleGrid = new QGridLayout(rspRoleName_Frame);
        roleGrid->setContentsMargins(0, 0, 0, 0);
        roleGrid->addWidget(roleLabel, 0, 0);
        roleGrid->addWidget(role_text, 0, 1);
        roleGrid->addWidget(nameLabel, 1, 0);
        roleGrid->addWidget(name_text, 1, 1);
        roleGrid->setColumnStretch(1, 1);
        auto *grid = new QGridLayout(managedClient_Frame);
        grid->setHorizontalSpacing(10);
        grid->addWidget(ipAddressLabel, 0, 0);
        grid->addWidget(RMCPIPAddress, 0, 1);
        grid->addWidget(portLabel, 1, 0);
        grid->addWidget(RMCPIPPort, 1, 1);
        grid->addWidget(rspRoleName_Frame, 0, 2, 2, 1);
        grid->addWidget(statusLabel, 0, 3);
        grid->addWidget(RMCPStatusLED, 0, 4);
        grid->addWidget(rspLabel, 1, 3);
        grid->addWidget(RMCPRSPLED, 1, 4);
        grid->setColumnStretch(2, 1);
    }

    // --- connect and send ---
    sendGroup = named(new QGroupBox(this), "send_GroupBox");
    connect_button = named(new QPushButton(sendGroup), "connect_button");
    disconnect_button = named(new QPushButton(sendGroup), "disconnect_button");
    RCMPcomboBox = named(new QComboBox(sendGroup), "RCMPcomboBox");
    RCMPcomboBox->setEditable(false);
    for (const SendListEntry &entry : sendList())
        RCMPcomboBox->addItem(QLatin1String(entry.label));
    RCMPSend_Button = named(new QPushButton(sendGroup), "RCMPSend_Button");
    fields_button = named(new QPushButton(sendGroup), "fields_button");
    fields_button->setCheckable(true);
    {
        auto *grid = new QGridLayout(sendGroup);
        grid->addWidget(connect_button, 0, 0);
        grid->addWidget(disconnect_button, 0, 1);
        grid->addWidget(RCMPcomboBox, 1, 0, 1, 2);
        grid->addWidget(RCMPSend_Button, 1, 2);
        grid->addWidget(fields_button, 0, 2);
    }

    // --- the message fields Send reads ---
    RCMPGenericButtonGroup = named(new QGroupBox(this), "RCMPGenericButtonGroup");
    RCMPPacketVersion = addField(RCMPGenericButtonGroup, "RCMPPacketVersion", "Version:", "06", m_rows);
    RCMPPacketReserved1 = addField(RCMPGenericButtonGroup, "RCMPPacketReserved1", "Reserved:", "00", m_rows);
    RCMPPacketSequenceNr = addField(RCMPGenericButtonGroup, "RCMPPacketSequenceNr", "Sequence #:", "", m_rows);
    RCMPPacketMessageClass = addField(RCMPGenericButtonGroup, "RCMPPacketMessageClass", "Message Class:", "06", m_rows);
    RCMPPacketIANANr = addField(RCMPGenericButtonGroup, "RCMPPacketIANANr", "IANA Enterp. #:", "00 00 11 BE", m_rows);
    RCMPPacketMessageType = addField(RCMPGenericButtonGroup, "RCMPPacketMessageType", "Message Type:", "10", m_rows);
    RCMPPacketMessageTag = addField(RCMPGenericButtonGroup, "RCMPPacketMessageTag", "Message Tag:", "", m_rows);
    RCMPPacketReserved2 = addField(RCMPGenericButtonGroup, "RCMPPacketReserved2", "Reserved:", "00", m_rows);
    RCMPPacketDataLength = addField(RCMPGenericButtonGroup, "RCMPPacketDataLength", "Data Length:", "00", m_rows);
    m_dataLabel = named(new QLabel(RCMPGenericButtonGroup), "RCMPPacketData_lb");
    RCMPPacketData = named(new QTextEdit(RCMPGenericButtonGroup), "RCMPPacketData");
    RCMPPacketData->setAcceptRichText(false);
    RCMPPacketData->setFont(fixedFont());
    RCMPPacketData->setFixedHeight(60);
    m_rows.push_back({m_dataLabel, RCMPPacketData, nullptr, "Data:"});

    sendRSP_radioButton = toggle(RCMPGenericButtonGroup, "sendRSP_radioButton");
    RSP_Generic_radioButton = toggle(RCMPGenericButtonGroup, "RSP_Generic_radioButton");
    RSP_Generic = named(new QFrame(RCMPGenericButtonGroup), "RSP_Generic");
    RSP_Generic->setFrameShape(QFrame::StyledPanel);
    RCMPPacketIANANr_2 = addField(RSP_Generic, "RCMPPacketIANANr_2", "Session ID:", "", m_rspRows);
    RCMPPacketIANANr_2_2 = addField(RSP_Generic, "RCMPPacketIANANr_2_2", "Sequence #:", "", m_rspRows);
    RSP_Trailer_radioButton = toggle(RSP_Generic, "RSP_Trailer_radioButton");
    RSP_Trailer_Frame = named(new QFrame(RSP_Generic), "RSP_Trailer_Frame");
    RCMPPacketIANANr_2_4 = addField(RSP_Trailer_Frame, "RCMPPacketIANANr_2_4", "Pad:", "", m_rspRows);
    RCMPPacketMessageTag_2 = addField(RSP_Trailer_Frame, "RCMPPacketMessageTag_2", "Pad Length:", "", m_rspRows);
    RCMPPacketReserved2_2 = addField(RSP_Trailer_Frame, "RCMPPacketReserved2_2", "Next Header:", "", m_rspRows);
    radioButton8_2 = toggle(RSP_Trailer_Frame, "radioButton8_2");
    {
        const auto place = [](QGridLayout *grid, const FieldRow &row, int r, int c) {
            grid->addWidget(row.label, r, c);
            grid->addWidget(row.box, r, c + 1);
            if (row.unit)
                grid->addWidget(row.unit, r, c + 2);
        };
        // Header fields in two columns, the data below them; the RSP send
        // modes and header and trailer parts beside.
        auto *header = new QGridLayout;
        header->setHorizontalSpacing(4);
        for (int i = 0; i < 5; ++i)
            place(header, m_rows[size_t(i)], i, 0);
        for (int i = 5; i < 9; ++i)
            place(header, m_rows[size_t(i)], i - 5, 4);
        header->setColumnMinimumWidth(3, 12);
        // Extra width goes after the last column, so each "h" stays at its box.
        header->setColumnStretch(7, 1);
        auto *data = new QHBoxLayout;
        data->addWidget(m_dataLabel, 0, Qt::AlignTop);
        data->addWidget(RCMPPacketData, 1);
        auto *message = new QVBoxLayout;
        message->addLayout(header);
        message->addLayout(data);

        auto *trailer = new QGridLayout(RSP_Trailer_Frame);
        trailer->setContentsMargins(12, 0, 0, 0);
        for (int i = 2; i < 5; ++i)
            place(trailer, m_rspRows[size_t(i)], i - 2, 0);
        trailer->addWidget(radioButton8_2, 3, 0, 1, 3);
        auto *generic = new QGridLayout(RSP_Generic);
        for (int i = 0; i < 2; ++i)
            place(generic, m_rspRows[size_t(i)], i, 0);
        generic->addWidget(RSP_Trailer_radioButton, 2, 0, 1, 3);
        generic->addWidget(RSP_Trailer_Frame, 3, 0, 1, 3);

        auto *modes = new QVBoxLayout;
        auto *modeButtons = new QHBoxLayout;
        modeButtons->addWidget(sendRSP_radioButton);
        modeButtons->addWidget(RSP_Generic_radioButton);
        modeButtons->addStretch(1);
        modes->addLayout(modeButtons);
        modes->addWidget(RSP_Generic);
        modes->addStretch(1);

        auto *row = new QHBoxLayout(RCMPGenericButtonGroup);
        row->addLayout(message, 1);
        row->addSpacing(12);
        row->addLayout(modes);
    }

    auto *top = new QHBoxLayout;
    top->addWidget(managedClient_Frame, 1);
    top->addWidget(sendGroup);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(RCMPGenericButtonGroup);

    languageChange();
    // Until "Fields" asks for them the panel shows status, Connect/Abort,
    // the list and Send; Send reads the hidden fields all the same.
    RCMPGenericButtonGroup->hide();
    RSP_Generic->setEnabled(false);
    RSP_Trailer_Frame->setEnabled(false);

    connect(connect_button, &QPushButton::clicked, this, &RMCPControlWidget::RCMPConnectionToggle);
    connect(disconnect_button, &QPushButton::clicked, this, &RMCPControlWidget::RCMPKillConnection);
    // The current entry, not the one the mouse passes over in the open list.
    connect(RCMPcomboBox, &QComboBox::currentTextChanged, this, &RMCPControlWidget::RCMPSendComboBox);
    connect(RCMPSend_Button, &QPushButton::clicked, this, &RMCPControlWidget::RCMPSendPacket);
    connect(fields_button, &QPushButton::toggled, this, &RMCPControlWidget::showFields);
    connect(RSP_Generic_radioButton, &QRadioButton::toggled, this, &RMCPControlWidget::RCMPToggleRSPGenericRadioButton);
    connect(RSP_Generic_radioButton, &QRadioButton::toggled, RSP_Generic, &QWidget::setEnabled);
    connect(sendRSP_radioButton, &QRadioButton::toggled, this, &RMCPControlWidget::RCMPToggleRSPRadioButton);
    connect(RSP_Trailer_radioButton, &QRadioButton::toggled, RSP_Trailer_Frame, &QWidget::setEnabled);
    connect(handler, &ASF_RMCP_Handler::sendEnabledChanged, RCMPSend_Button, &QWidget::setEnabled);
    connect(handler->connection(), &RmcpConnection::stateChanged, this, &RMCPControlWidget::showConnectionState);

    // The fields follow the entry the list shows from the start, so Send
    // sends what it names.
    RCMPSendComboBox(RCMPcomboBox->currentText());
    RCMPSend_Button->setEnabled(handler->sendEnabled());
    showConnectionState();
}

RMCPControlWidget::~RMCPControlWidget() = default;

QLineEdit *RMCPControlWidget::addField(QWidget *owner, const char *name, const char *label, const char *initial,
                                       std::vector<FieldRow> &rows)
{
    auto *text = new QLabel(owner);
    auto *box = named(new QLineEdit(owner), name);
    box->setFont(fixedFont());
    box->setText(QLatin1String(initial));
    box->setFixedWidth(QFontMetrics(box->font()).horizontalAdvance(QStringLiteral("00 00 00 00")) + 16);
    text->setBuddy(box);
    auto *unit = new QLabel(QStringLiteral("h"), owner);
    unit->setFrameShape(QFrame::Box);
    rows.push_back({text, box, unit, label});
    return box;
}

void RMCPControlWidget::languageChange()
{
    setWindowTitle(tr("RMCP Control"));
    managedClient_Frame->setTitle(tr("Managed Client Status"));
    ipAddressLabel->setText(tr("<b>IP Address:</b>\n"));
    portLabel->setText(tr("<b>Port:</b>"));
    roleLabel->setText(tr("<b>Role:</b>\n"));
    nameLabel->setText(tr("<b>Name:</b>\n"));
    statusLabel->setText(tr("<b>Status:</b>"));
    rspLabel->setText(tr("<b>RSP:</b>"));
    sendGroup->setTitle(tr("Send"));
    disconnect_button->setText(tr("Abort"));
    RCMPSend_Button->setText(tr("Send"));
    fields_button->setText(tr("Fields"));
    fields_button->setToolTip(tr("Show the message fields that Send reads"));
    RCMPGenericButtonGroup->setTitle(tr("Message fields (hexadecimal)"));
    for (const FieldRow &row : m_rows)
        row.label->setText(tr(row.text));
    for (const FieldRow &row : m_rspRows)
        row.label->setText(tr(row.text));
    sendRSP_radioButton->setText(tr("RSP"));
    RSP_Generic_radioButton->setText(tr("Generic RSP"));
    RSP_Trailer_radioButton->setText(tr("Trailer"));
    radioButton8_2->setText(tr("False Integrity Data"));
}

void RMCPControlWidget::showFields(bool on)
{
    RCMPGenericButtonGroup->setVisible(on);
    if (fields_button->isChecked() != on)
        fields_button->setChecked(on);
}

void RMCPControlWidget::showConnectionState()
{
    const ConnectionState &s = m_handler->connection()->state();
    RMCPIPAddress->setText(s.shownAddress);
    RMCPIPPort->setText(s.shownPort);
    role_text->setText(s.roleText);
    name_text->setText(s.nameText);
    rspRoleName_Frame->setEnabled(s.roleFrameEnabled);
    RMCPStatusLED->setPixmap(lampImage(s.statusLamp));
    RMCPRSPLED->setPixmap(lampImage(s.rspLamp));
    connect_button->setText(s.connectText);
    connect_button->setEnabled(s.connectEnabled);
    disconnect_button->setEnabled(s.killEnabled);
    sendRSP_radioButton->setChecked(s.rspSendOn);
    enableRspModes();
}

// The session send mode needs a session; the generic one an RSP manager
// that can supply what it leaves out.
void RMCPControlWidget::enableRspModes()
{
    const ConnectionState &s = m_handler->connection()->state();
    sendRSP_radioButton->setEnabled(s.rspSendEnabled);
    const bool generic = m_handler->connection()->rspAvailable();
    RSP_Generic_radioButton->setEnabled(generic);
    RSP_Generic->setEnabled(generic && RSP_Generic_radioButton->isChecked());
}

void RMCPControlWidget::RCMPToggleRSPRadioButton(bool on)
{
    if (on)
        RSP_Generic_radioButton->setChecked(false);
}

void RMCPControlWidget::RCMPToggleRSPGenericRadioButton(bool on)
{
    if (on)
        sendRSP_radioButton->setChecked(false);
}

void RMCPControlWidget::RCMPSendComboBox(const QString &text)
{
    const std::optional<SendListEntry> entry = sendListEntry(text);
    if (!entry)
        return;
    RCMPPacketMessageType->setText(QString::asprintf("%02X", entry->messageType));
    RCMPPacketMessageTag->setText(entry->noResponseTag ? QStringLiteral("FF") : QString());
}

SendFormTexts RMCPControlWidget::formTexts() const
{
    SendFormTexts t;
    t.version = RCMPPacketVersion->text();
    t.reserved1 = RCMPPacketReserved1->text();
    t.sequenceNr = RCMPPacketSequenceNr->text();
    t.messageClass = RCMPPacketMessageClass->text();
    t.ianaEnterpriseNr = RCMPPacketIANANr->text();
    t.messageType = RCMPPacketMessageType->text();
    t.messageTag = RCMPPacketMessageTag->text();
    t.reserved2 = RCMPPacketReserved2->text();
    t.dataLength = RCMPPacketDataLength->text();
    t.data = RCMPPacketData->toPlainText();
    t.rsp = sendRSP_radioButton->isChecked();
    t.genericRsp = RSP_Generic_radioButton->isChecked();
    t.sessionId = RCMPPacketIANANr_2->text();
    t.rspSequenceNumber = RCMPPacketIANANr_2_2->text();
    t.trailer = RSP_Trailer_radioButton->isChecked();
    t.pad = RCMPPacketIANANr_2_4->text();
    t.padLength = RCMPPacketMessageTag_2->text();
    t.nextHeader = RCMPPacketReserved2_2->text();
    t.falseIntegrityData = radioButton8_2->isChecked();
    return t;
}

QLineEdit *RMCPControlWidget::fieldBox(SendFormField field) const
{
    switch (field) {
    case SendFormField::Version:
        return RCMPPacketVersion;
    case SendFormField::Reserved1:
        return RCMPPacketReserved1;
    case SendFormField::SequenceNr:
        return RCMPPacketSequenceNr;
    case SendFormField::MessageClass:
        return RCMPPacketMessageClass;
    case SendFormField::IanaEnterpriseNr:
        return RCMPPacketIANANr;
    case SendFormField::MessageType:
        return RCMPPacketMessageType;
    case SendFormField::MessageTag:
        return RCMPPacketMessageTag;
    case SendFormField::Reserved2:
        return RCMPPacketReserved2;
    case SendFormField::DataLength:
        return RCMPPacketDataLength;
    case SendFormField::SessionId:
        return RCMPPacketIANANr_2;
    case SendFormField::RspSequenceNumber:
        return RCMPPacketIANANr_2_2;
    case SendFormField::PadLength:
        return RCMPPacketMessageTag_2;
    case SendFormField::NextHeader:
        return RCMPPacketReserved2_2;
    }
    return nullptr;
}

void RMCPControlWidget::RCMPSendPacket()
{
    const SendFormResult result = translateSendForm(formTexts(), m_handler->useRsp());
    for (SendFormField field : result.translated)
        paintBox(fieldBox(field), QColor(255, 255, 255));
    if (result.failed) {
        QLineEdit *box = fieldBox(*result.failed);
        paintBox(box, QColor(255, 255, 127));
        // A box the user cannot see would leave him guessing.
        showFields(true);
        box->setFocus();
        return;
    }
    if (result.request)
        result.request->sendWith(*m_handler);
}

void RMCPControlWidget::RCMPConnectionToggle()
{
    m_handler->connectionToggle();
}

void RMCPControlWidget::RCMPConnect()
{
    m_handler->connectToClient();
}

void RMCPControlWidget::RCMPKillConnection()
{
    m_handler->killConnection();
}
