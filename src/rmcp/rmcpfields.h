#pragma once

#include "core/packetstatus.h"

#include <QByteArray>
#include <QString>
#include <array>

namespace velquor::rmcp {

// The checked fields of one message, in wire order. Each has a status and a
// status text that the checks, the handlers and scripts set.
enum class FieldId {
    Version,
    Reserved1,
    SequenceNr,
    MessageClass,
    IanaEnterpriseNr,
    MessageType,
    MessageTag,
    Reserved2,
    DataLength,
    RmcpData,
    RspSessionId,
    RspSequenceNumber,
    RspPad,
    RspPadLength,
    RspNextHeader,
    RspIntegrityData,
};
constexpr int FieldCount = int(FieldId::RspIntegrityData) + 1;

// The name scripts use for a field ("Version", "RspPadLength", ...).
const char *fieldName(FieldId id);

struct FieldStatus
{
    ASF_PacketStatus status = ASF_PACKET_OK;
    QString text; // empty while ok
};

// One RMCP/ASF message cut into its fields. A plain value: the record, the
// text form, the display model and tests all read it the same way.
struct RmcpFields
{
    bool isAcknowledge = false;
    bool isResponse = false;
    quint8 version = 0;
    quint8 reserved1 = 0;
    quint8 sequenceNr = 0;
    quint8 messageClass = 0;
    quint32 ianaEnterpriseNr = 0;
    QString messageTypeName;
    quint8 messageType = 0;
    quint8 messageTag = 0;
    quint8 reserved2 = 0;
    quint8 dataLength = 0;
    QByteArray rmcpData;
    // Pad + 22, set by whoever wraps an unwrapped message in a session, so a
    // retransmission finds the message length again; 0 otherwise.
    int trailerLength = 0;
    quint32 rspSessionId = 0;
    quint32 rspSequenceNumber = 0;
    QByteArray rspPad;
    int rspPadLength = 0; // the wire byte read as signed
    quint8 rspNextHeader = 0;
    QByteArray rspIntegrityData;
    bool haveRspTail = false;

    std::array<FieldStatus, FieldCount> statuses;

    FieldStatus &status(FieldId id) { return statuses[size_t(id)]; }
    const FieldStatus &status(FieldId id) const { return statuses[size_t(id)]; }
    void setFieldStatus(FieldId id, int status, const QString &text)
    {
        statuses[size_t(id)] = {status, text};
    }

    // Clears every value read from the bytes; statuses and the stored
    // trailer length are left as they are.
    void clearValues();
};

} // namespace velquor::rmcp
