#pragma once

#include "rmcp/rmcpfields.h"
#include "rmcp/rmcplayout.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <initializer_list>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace velquor::rmcp {

// Every field of a message header, defaulting to what the console sends.
// Data Length is taken as given, not from data, so a test can make them
// disagree.
struct MessageFields
{
    quint8 version = RmcpVersion1;
    quint8 reserved1 = 0;
    quint8 sequenceNr = NoAcknowledgeSequenceNr;
    quint8 messageClass = AsfMessageClass;
    quint32 ianaEnterpriseNr = AsfIanaEnterpriseNr;
    quint8 messageType = 0;
    quint8 messageTag = NoResponseMessageTag;
    quint8 reserved2 = 0;
    quint8 dataLength = 0;
    QByteArray data;
};

// RMCP header + ASF message header + data.
QByteArray composeMessage(const MessageFields &fields);
// The same from checked fields, by the field table: RMCP header, ASF
// message header unless an acknowledge, then the data as it is.
QByteArray composeFields(const RmcpFields &fields);

// The requests of the send list, in its order (the message types that have
// an entry in it).
enum class SendListRequest {
    Reset,
    PowerUp,
    UnconditionalPowerDown,
    PowerCycleReset,
    PresencePing,
    CapabilitiesRequest,
    SystemStateRequest,
};
struct SendListEntry
{
    SendListRequest request;
    const char *label;      // as the send list shows it ("Power-Up")
    quint8 messageType;
    bool noResponseTag;     // the list sets tag 0xFF: no response expected
};
std::span<const SendListEntry> sendList();
std::optional<SendListEntry> sendListEntry(const QString &label);

// A request of the send list, with no data.
QByteArray composeRequest(SendListRequest request, quint8 sequenceNr, quint8 messageTag);

// A data section from the values of its fields, by the message type's data
// fields: a number (big-endian) or bytes (cut or filled with zeros to the
// field's size; a repeated field or the user name takes them as they are).
// Fields not given are 0, an IANA Enterprise Number 4542.
struct DataValue
{
    DataValue(const char *name, quint64 value) : field(name), number(value) {}
    DataValue(const char *name, const QByteArray &value) : field(name), bytes(value) {}
    const char *field;
    quint64 number = 0;
    QByteArray bytes; // wins over number when set
};
QByteArray composeData(int messageType, std::initializer_list<DataValue> values = {});
// A data section cut into its fields by the same table, as far as they are
// whole: (field name, bytes).
std::vector<std::pair<const char *, QByteArray>> dataFields(int messageType, QByteArrayView data);

// The 11 optional data bytes of Reset, Power-up and Power Cycle Reset.
struct ControlOptions
{
    quint32 ianaEnterpriseNr = AsfIanaEnterpriseNr;
    quint8 specialCommand = 0;
    quint16 specialCommandParameters = 0;
    quint16 bootOptions = 0; // first byte in the high half
    quint16 oemParameters = 0;
};
QByteArray controlOptionsData(const ControlOptions &options);

// The acknowledge of a message: its RMCP header with bit 7 of the class set.
QByteArray composeAcknowledge(quint8 sequenceNr, quint8 messageClass = AsfMessageClass,
                              quint8 version = RmcpVersion1, quint8 reserved1 = 0);
// The acknowledge of a received datagram (RMCP header behind the RSP header
// for protocol type 4); empty when the datagram is too short to hold one.
QByteArray acknowledgeFor(QByteArrayView datagram, int protocolType);

// RSP session header and trailer around a message. Unset trailer parts take
// their proper values: pad = rspPadLength(message size) zero bytes, Pad Length
// = that count, Next Header 6. The integrity value is the caller's: computing
// it needs the session key. Shorter values are filled with zeros, longer ones
// cut to 12 bytes.
struct RspWrap
{
    quint32 sessionId = 0;
    quint32 sequenceNumber = 0;
    bool trailer = true;
    std::optional<QByteArray> pad;
    std::optional<quint8> padLength;
    quint8 nextHeader = RmcpVersion1;
    QByteArray integrityData;
};
QByteArray composeRspMessage(QByteArrayView message, const RspWrap &wrap);

// The bytes of a wrapped datagram that its integrity value covers (all but
// the last 12), and the setting of that value once computed.
QByteArrayView integrityCoverage(QByteArrayView datagram);
bool setIntegrityData(QByteArray &datagram, QByteArrayView integrity);

// The fixed pattern sent in place of integrity data in negative tests.
QByteArray falseIntegrityData();

} // namespace velquor::rmcp
