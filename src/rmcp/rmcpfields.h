#pragma once

#include "core/packetstatus.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <span>

namespace velquor::rmcp {

// The checked fields of one message. Each has a status and a status text
// that the checks, the handlers and scripts set.
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

// --- the field table ----------------------------------------------------------

// Where a field lies.
enum class Part : quint8 {
    RspHeader,  // from the first byte (RMCP/RSP records only)
    Message,    // from the RMCP header: RMCP header and ASF message header
    Data,       // after the ASF message header
    RspTrailer, // at the end of the datagram
};

// How its value is held and shown.
enum class ValueKind : quint8 {
    Byte,  // "0x%02X" in the text form, "%02hhx" in the detail view
    Word,  // 32 bits, big-endian: "00 00 11 BE"
    Bytes, // "0D 0E 0A"
};

// What the check wants of it.
enum class FieldRule : quint8 {
    None,
    Equals,       // the value `expected`
    ReservedBits, // none of the bits in `expected` set
    MessageType,  // a known type, not a reserved one
    DataSize,     // the datagram's size and the message type's data length
    PadLength,    // the pad length the message's length asks for
    ZeroPad,      // every pad byte 0
};

struct FieldDescriptor
{
    FieldId id;
    const char *name;  // the name scripts use ("Version", "RspPadLength")
    Part part;
    int offset;        // in its part; trailer fields: bytes after the field to the end
    int size;          // 0: as the message says (data, pad)
    ValueKind kind;
    const char *label; // the text form's, tabs included
    FieldRule rule = FieldRule::None;
    quint32 expected = 0;
    const char *statusText = nullptr; // the field's status text on a finding
    const char *infoText = nullptr;   // the record's info text, when it differs
    bool inAcknowledge = false;       // checked in an acknowledge too
};

// The fields in the order the text form and the detail view list them: RSP
// header, RSP trailer, RMCP header, ASF message header, data.
std::span<const FieldDescriptor> fieldDescriptors();
const FieldDescriptor &fieldDescriptor(FieldId id);

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

    // A Byte or Word field's value (the pad length as its wire byte), and
    // a Bytes field's bytes, by the table.
    quint32 number(FieldId id) const;
    void setNumber(FieldId id, quint32 value);
    const QByteArray &bytes(FieldId id) const;
    void setBytes(FieldId id, const QByteArray &value);

    // Clears every value read from the bytes; statuses and the stored
    // trailer length are left as they are.
    void clearValues();
};

} // namespace velquor::rmcp
