#include "rmcp/rmcpdisplay.h"

#include "core/packetviews.h"
#include "rmcp/asfrmcppacket.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QVBoxLayout>

using namespace velquor::rmcp;

namespace {

struct FieldBox
{
    FieldId id;
    const char *objectName;
    const char *label;
};

const FieldBox headerBoxes[] = {
    {FieldId::Version, "RCMPPacketVersion", "Version:"},
    {FieldId::Reserved1, "RCMPPacketReserved1", "Reserved:"},
    {FieldId::SequenceNr, "RCMPPacketSequenceNr", "Sequence #:"},
    {FieldId::MessageClass, "RCMPPacketMessageClass", "Message Class:"},
    {FieldId::IanaEnterpriseNr, "RCMPPacketIANANr", "IANA Enterp. #:"},
    {FieldId::MessageType, "RCMPPacketMessageType", "Message Type:"},
    {FieldId::MessageTag, "RCMPPacketMessageTag", "Message Tag:"},
    {FieldId::Reserved2, "RCMPPacketReserved2", "Reserved:"},
    {FieldId::DataLength, "RCMPPacketDataLength", "Data Length:"},
};

const FieldBox rspBoxes[] = {
    {FieldId::RspSessionId, "rspSessionID", "Session ID:"},
    {FieldId::RspSequenceNumber, "rspSequenceNumber", "Sequence #:"},
    {FieldId::RspPad, "rspPad", "Pad:"},
    {FieldId::RspPadLength, "rspPadLength", "Pad Length:"},
    {FieldId::RspNextHeader, "rspNextHeader", "Next Header:"},
    {FieldId::RspIntegrityData, "rspIntegrityData", "Integrity Data:"},
};

QFont fixedFont()
{
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

// Indicators show the record; the user does not set them.
QRadioButton *indicator(QWidget *parent, const char *name)
{
    auto *button = new QRadioButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoExclusive(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAttribute(Qt::WA_TransparentForMouseEvents);
    return button;
}

// Warnings light yellow, errors red; ok boxes keep the inherited colours.
void paintStatus(QWidget *box, int status)
{
    QPalette palette;
    if (status == ASF_PACKET_WARNING)
        palette.setColor(QPalette::Base, QColor(255, 255, 127));
    else if (status == ASF_PACKET_ERROR)
        palette.setColor(QPalette::Base, QColor(255, 85, 85));
    box->setPalette(palette);
}

} // namespace

RMCP_Display::RMCP_Display(QWidget *parent, const char *name) : QWidget(parent)
{
    if (name)
        setObjectName(QLatin1String(name));

    auto *top = new QVBoxLayout(this);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("titleLabel"));
    m_title->setTextFormat(Qt::RichText);
    top->addWidget(m_title);

    auto *indicators = new QHBoxLayout;
    m_directionGroup = new QGroupBox(this);
    m_directionGroup->setObjectName(QStringLiteral("directionGroup"));
    auto *directionLayout = new QHBoxLayout(m_directionGroup);
    m_sent = indicator(m_directionGroup, "RCMPPacketDirectionSent");
    m_received = indicator(m_directionGroup, "RCMPPacketDirectionReceived");
    directionLayout->addWidget(m_sent);
    directionLayout->addWidget(m_received);
    indicators->addWidget(m_directionGroup);

    m_typeGroup = new QGroupBox(this);
    m_typeGroup->setObjectName(QStringLiteral("typeGroup"));
    auto *typeLayout = new QHBoxLayout(m_typeGroup);
    m_request = indicator(m_typeGroup, "RCMPPacketTypeRequest");
    m_response = indicator(m_typeGroup, "RCMPPacketTypeResponse");
    m_ack = indicator(m_typeGroup, "RCMPPacketTypeAck");
    typeLayout->addWidget(m_request);
    typeLayout->addWidget(m_response);
    typeLayout->addWidget(m_ack);
    indicators->addWidget(m_typeGroup);

    m_hexButton = new QPushButton(this);
    m_hexButton->setObjectName(QStringLiteral("displayHex_button"));
    connect(m_hexButton, &QPushButton::clicked, this, &RMCP_Display::displayHex);
    indicators->addWidget(m_hexButton);
    indicators->addStretch();
    top->addLayout(indicators);

    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("displayStack"));
    top->addWidget(m_stack, 1);

    m_infoPage = new QWidget(m_stack);
    m_infoPage->setObjectName(QStringLiteral("infoPage"));
    auto *infoLayout = new QHBoxLayout(m_infoPage);
    auto *headerGrid = new QGridLayout;
    auto addBox = [this](QWidget *owner, QGridLayout *grid, const FieldBox &entry, int row) {
        auto *label = new QLabel(owner);
        auto *box = new QLineEdit(owner);
        box->setObjectName(QLatin1String(entry.objectName));
        box->setReadOnly(true);
        box->setFont(fixedFont());
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        m_labels[size_t(entry.id)] = label;
        m_boxes[size_t(entry.id)] = box;
    };
    int row = 0;
    for (const FieldBox &entry : headerBoxes)
        addBox(m_infoPage, headerGrid, entry, row++);
    m_labels[size_t(FieldId::RmcpData)] = new QLabel(m_infoPage);
    m_data = new QTextEdit(m_infoPage);
    m_data->setObjectName(QStringLiteral("RCMPPacketData"));
    m_data->setReadOnly(true);
    m_data->setAcceptRichText(false);
    m_data->setLineWrapMode(QTextEdit::NoWrap);
    m_data->setFont(fixedFont());
    headerGrid->addWidget(m_labels[size_t(FieldId::RmcpData)], row, 0, Qt::AlignTop);
    headerGrid->addWidget(m_data, row, 1);
    headerGrid->setRowStretch(row, 1);
    infoLayout->addLayout(headerGrid, 1);

    m_rspFrame = new QFrame(m_infoPage);
    m_rspFrame->setObjectName(QStringLiteral("RSP_Generic"));
    m_rspFrame->setFrameShape(QFrame::StyledPanel);
    auto *rspGrid = new QGridLayout(m_rspFrame);
    row = 0;
    for (const FieldBox &entry : rspBoxes)
        addBox(m_rspFrame, rspGrid, entry, row++);
    rspGrid->setRowStretch(row, 1);
    infoLayout->addWidget(m_rspFrame);
    m_stack->addWidget(m_infoPage);

    m_hexPage = new QWidget(m_stack);
    m_hexPage->setObjectName(QStringLiteral("hexPage"));
    auto *hexLayout = new QVBoxLayout(m_hexPage);
    m_hex = new QTextEdit(m_hexPage);
    m_hex->setObjectName(QStringLiteral("textEditHex"));
    m_hex->setReadOnly(true);
    m_hex->setAcceptRichText(false);
    m_hex->setLineWrapMode(QTextEdit::NoWrap);
    m_hex->setFont(fixedFont());
    hexLayout->addWidget(m_hex);
    m_stack->addWidget(m_hexPage);
    m_stack->setCurrentWidget(m_infoPage);

    languageChange();
}

RMCP_Display::~RMCP_Display() = default;

QWidget *RMCP_Display::boxWidget(FieldId id) const
{
    if (id == FieldId::RmcpData)
        return m_data;
    return m_boxes[size_t(id)];
}

void RMCP_Display::showModel(const DisplayModel &model)
{
    m_title->setText(model.title);
    m_sent->setChecked(model.direction == 2);
    m_received->setChecked(model.direction == 0);
    m_request->setChecked(model.kind == DisplayModel::Request);
    m_response->setChecked(model.kind == DisplayModel::Response);
    m_ack->setChecked(model.kind == DisplayModel::Ack);
    m_rspFrame->setVisible(model.showRsp);

    for (int i = 0; i < FieldCount; ++i) {
        const auto id = FieldId(i);
        const DisplayBox &box = model.box(id);
        QWidget *widget = boxWidget(id);
        if (id == FieldId::RmcpData)
            m_data->setPlainText(box.value);
        else
            m_boxes[size_t(i)]->setText(box.value);
        widget->setToolTip(box.toolTip);
        paintStatus(widget, box.status);
    }
    m_hex->setPlainText(model.hexText);
}

void RMCP_Display::displayHex()
{
    if (m_stack->currentWidget() == m_hexPage)
        m_stack->setCurrentWidget(m_infoPage);
    else
        m_stack->setCurrentWidget(m_hexPage);
    languageChange();
}

void RMCP_Display::languageChange()
{
    setWindowTitle(tr("RMCP Display"));
    m_directionGroup->setTitle(tr("Direction"));
    m_sent->setText(tr("Sent"));
    m_received->setText(tr("Received"));
    m_typeGroup->setTitle(tr("Type"));
    m_request->setText(tr("Request"));
    m_response->setText(tr("Response"));
    m_ack->setText(tr("Ack"));
    m_hexButton->setText(m_stack->currentWidget() == m_hexPage ? tr("Info") : tr("Hex"));
    for (const FieldBox &entry : headerBoxes)
        m_labels[size_t(entry.id)]->setText(tr(entry.label));
    m_labels[size_t(FieldId::RmcpData)]->setText(tr("Data:"));
    for (const FieldBox &entry : rspBoxes)
        m_labels[size_t(entry.id)]->setText(tr(entry.label));
}

namespace velquor {

RMCP_Display *createRmcpView(ASF_RMCP_Packet &packet, QWidget *parent)
{
    auto *view = new RMCP_Display(parent, "RMCP_DISPLAY");
    const QByteArrayView bytes = QByteArrayView(packet.data()).first(packet.dataSize());
    view->showModel(rmcp::displayModel(packet.fields(), bytes, packet.protocolType(), packet.protocol(),
                                       packet.direction()));
    view->show();
    return view;
}

void registerRmcpViews(PacketViewRegistry &views)
{
    views.add(ASF_RMCP_Packet::staticMetaObject, [](ASF_Packet &record, QWidget *parent) -> QWidget * {
        return createRmcpView(static_cast<ASF_RMCP_Packet &>(record), parent);
    });
}

} // namespace velquor
