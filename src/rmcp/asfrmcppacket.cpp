#include "rmcp/asfrmcppacket.h"

#include "rmcp/rmcpcheck.h"
#include "rmcp/rmcplayout.h"
#include "rmcp/rmcptext.h"

using namespace velquor::rmcp;

ASF_RMCP_Packet::ASF_RMCP_Packet(unsigned timestamp)
    : ASF_Packet(timestamp, QString(), ProtocolRmcp, QStringLiteral("RMCP"))
{
}

ASF_RMCP_Packet::~ASF_RMCP_Packet() = default;

static QByteArrayView validBytes(const ASF_Packet &packet)
{
    return QByteArrayView(packet.data()).first(packet.dataSize());
}

QString ASF_RMCP_Packet::textForm() const
{
    return velquor::rmcp::textForm(m_fields, validBytes(*this), protocolType());
}

void ASF_RMCP_Packet::writeTextForm(velquor::TextBuffer &out) const
{
    velquor::rmcp::writeTextForm(out, m_fields, validBytes(*this), protocolType());
}

bool ASF_RMCP_Packet::check()
{
    return checkMessage(validBytes(*this), protocolType(), m_fields, *this);
}

std::unique_ptr<ASF_Packet> ASF_RMCP_Packet::clone() const
{
    auto copy = std::make_unique<ASF_RMCP_Packet>(timestamp());
    copyBaseTo(*copy);
    // Findings that senders, sessions or scripts marked on fields after the
    // check belong to the record too.
    copy->m_fields = m_fields;
    return copy;
}

bool ASF_RMCP_Packet::isAcknowledge() { return m_fields.isAcknowledge; }
bool ASF_RMCP_Packet::isResponse() { return m_fields.isResponse; }
bool ASF_RMCP_Packet::haveRspTail() { return m_fields.haveRspTail; }

#define RMCP_FIELD_SLOTS(Name, Type, value)                                                                    \
    Type ASF_RMCP_Packet::get##Name() { return Type(value); }                                                 \
    int ASF_RMCP_Packet::get##Name##Status() { return m_fields.status(FieldId::Name).status; }                \
    void ASF_RMCP_Packet::set##Name##Status(int status) { m_fields.status(FieldId::Name).status = status; }   \
    QString ASF_RMCP_Packet::get##Name##StatusText() { return m_fields.status(FieldId::Name).text; }          \
    void ASF_RMCP_Packet::set##Name##StatusText(const QString &text) { m_fields.status(FieldId::Name).text = text; }

RMCP_FIELD_SLOTS(Version, int, m_fields.version)
RMCP_FIELD_SLOTS(Reserved1, int, m_fields.reserved1)
RMCP_FIELD_SLOTS(SequenceNr, int, m_fields.sequenceNr)
RMCP_FIELD_SLOTS(MessageClass, int, m_fields.messageClass)
RMCP_FIELD_SLOTS(IanaEnterpriseNr, double, m_fields.ianaEnterpriseNr)
RMCP_FIELD_SLOTS(MessageType, int, m_fields.messageType)
RMCP_FIELD_SLOTS(MessageTag, int, m_fields.messageTag)
RMCP_FIELD_SLOTS(Reserved2, int, m_fields.reserved2)
RMCP_FIELD_SLOTS(DataLength, int, m_fields.dataLength)
RMCP_FIELD_SLOTS(RmcpData, QByteArray, m_fields.rmcpData)
RMCP_FIELD_SLOTS(RspSessionId, double, m_fields.rspSessionId)
RMCP_FIELD_SLOTS(RspSequenceNumber, double, m_fields.rspSequenceNumber)
RMCP_FIELD_SLOTS(RspPad, QByteArray, m_fields.rspPad)
RMCP_FIELD_SLOTS(RspPadLength, double, m_fields.rspPadLength)
RMCP_FIELD_SLOTS(RspNextHeader, int, m_fields.rspNextHeader)
RMCP_FIELD_SLOTS(RspIntegrityData, QByteArray, m_fields.rspIntegrityData)

#undef RMCP_FIELD_SLOTS
