#include "rmcp/rmcpfields.h"

#include "rmcp/rmcplayout.h"

namespace velquor::rmcp {

namespace {

constexpr char NotVersion1[] = "should be set to 0x06; ASF RMCP Version 1";

using F = FieldId;
const FieldDescriptor descriptors[] = {
    {F::RspSessionId, "RspSessionId", Part::RspHeader, 0, 4, ValueKind::Word, "RSP Session ID :"},
    {F::RspSequenceNumber, "RspSequenceNumber", Part::RspHeader, 4, 4, ValueKind::Word, "RSP Sequence Number :"},
    // The trailer is read from the end with the pad the message should
    // have; the Pad Length byte on the wire never moves a position.
    {F::RspPad, "RspPad", Part::RspTrailer, 14, 0, ValueKind::Bytes, "RSP Pad :\t", FieldRule::ZeroPad, 0,
     "Padding not all zero", "error: RSP Pad", true},
    {F::RspPadLength, "RspPadLength", Part::RspTrailer, 13, 1, ValueKind::Byte, "RSP Pad Length :",
     FieldRule::PadLength, 0, "Length %d not equal calculated length %d", "error: RSP Pad Length", true},
    {F::RspNextHeader, "RspNextHeader", Part::RspTrailer, 12, 1, ValueKind::Byte, "RSP Next Header :",
     FieldRule::Equals, RmcpVersion1, NotVersion1, "error: RSP Next Header", true},
    {F::RspIntegrityData, "RspIntegrityData", Part::RspTrailer, 0, 12, ValueKind::Bytes, "RSP Integrity Data :",
     FieldRule::None, 0, nullptr, nullptr, true},
    {F::Version, "Version", Part::Message, 0, 1, ValueKind::Byte, "Version:\t\t", FieldRule::Equals, RmcpVersion1,
     NotVersion1, "error: Version", true},
    {F::Reserved1, "Reserved1", Part::Message, 1, 1, ValueKind::Byte, "Reserved1 :\t", FieldRule::Equals, 0,
     "error: Reserved field (1) not zero", nullptr, true},
    // Judged by the handler against the number it expects.
    {F::SequenceNr, "SequenceNr", Part::Message, 2, 1, ValueKind::Byte, "Sequence Number :", FieldRule::None, 0,
     nullptr, nullptr, true},
    // The class in bits 3..0 is not checked; bit 7 makes an acknowledge,
    // whose reserved bits are not checked either.
    {F::MessageClass, "MessageClass", Part::Message, 3, 1, ValueKind::Byte, "Message Class :\t",
     FieldRule::ReservedBits, 0x70, "error: Reserved bits %s%s%s set in class of message",
     "error: class of message field"},
    {F::IanaEnterpriseNr, "IanaEnterpriseNr", Part::Message, 4, 4, ValueKind::Word, "IANA Enterprise # :",
     FieldRule::Equals, AsfIanaEnterpriseNr, "error: IANA Enterprise Number not set to 0x000011BE"},
    {F::MessageType, "MessageType", Part::Message, 8, 1, ValueKind::Byte, "Message Type :\t", FieldRule::MessageType},
    // Chosen by the requester, echoed in the response: the handler's to judge.
    {F::MessageTag, "MessageTag", Part::Message, 9, 1, ValueKind::Byte, "Message Tag :\t"},
    {F::Reserved2, "Reserved2", Part::Message, 10, 1, ValueKind::Byte, "Reserved2 :\t", FieldRule::Equals, 0,
     "error: Reserved field (2) not zero"},
    {F::DataLength, "DataLength", Part::Message, 11, 1, ValueKind::Byte, "Data Length :\t", FieldRule::DataSize},
    {F::RmcpData, "RmcpData", Part::Data, 0, 0, ValueKind::Bytes, "Data:"},
};
static_assert(std::size(descriptors) == FieldCount);

} // namespace

std::span<const FieldDescriptor> fieldDescriptors()
{
    return descriptors;
}

const FieldDescriptor &fieldDescriptor(FieldId id)
{
    for (const FieldDescriptor &s : descriptors) {
        if (s.id == id)
            return s;
    }
    return descriptors[0];
}

const char *fieldName(FieldId id)
{
    const int i = int(id);
    return i >= 0 && i < FieldCount ? fieldDescriptor(id).name : "";
}

quint32 RmcpFields::number(FieldId id) const
{
    switch (id) {
    case F::Version: return version;
    case F::Reserved1: return reserved1;
    case F::SequenceNr: return sequenceNr;
    case F::MessageClass: return messageClass;
    case F::IanaEnterpriseNr: return ianaEnterpriseNr;
    case F::MessageType: return messageType;
    case F::MessageTag: return messageTag;
    case F::Reserved2: return reserved2;
    case F::DataLength: return dataLength;
    case F::RspSessionId: return rspSessionId;
    case F::RspSequenceNumber: return rspSequenceNumber;
    case F::RspPadLength: return quint8(rspPadLength);
    case F::RspNextHeader: return rspNextHeader;
    default: return 0;
    }
}

void RmcpFields::setNumber(FieldId id, quint32 value)
{
    switch (id) {
    case F::Version: version = quint8(value); break;
    case F::Reserved1: reserved1 = quint8(value); break;
    case F::SequenceNr: sequenceNr = quint8(value); break;
    case F::MessageClass: messageClass = quint8(value); break;
    case F::IanaEnterpriseNr: ianaEnterpriseNr = value; break;
    case F::MessageType: messageType = quint8(value); break;
    case F::MessageTag: messageTag = quint8(value); break;
    case F::Reserved2: reserved2 = quint8(value); break;
    case F::DataLength: dataLength = quint8(value); break;
    case F::RspSessionId: rspSessionId = value; break;
    case F::RspSequenceNumber: rspSequenceNumber = value; break;
    case F::RspPadLength: rspPadLength = qint8(quint8(value)); break;
    case F::RspNextHeader: rspNextHeader = quint8(value); break;
    default: break;
    }
}

const QByteArray &RmcpFields::bytes(FieldId id) const
{
    static const QByteArray none;
    switch (id) {
    case F::RmcpData: return rmcpData;
    case F::RspPad: return rspPad;
    case F::RspIntegrityData: return rspIntegrityData;
    default: return none;
    }
}

void RmcpFields::setBytes(FieldId id, const QByteArray &value)
{
    switch (id) {
    case F::RmcpData: rmcpData = value; break;
    case F::RspPad: rspPad = value; break;
    case F::RspIntegrityData: rspIntegrityData = value; break;
    default: break;
    }
}

void RmcpFields::clearValues()
{
    const int keepTrailerLength = trailerLength;
    const auto keepStatuses = statuses;
    *this = RmcpFields();
    trailerLength = keepTrailerLength;
    statuses = keepStatuses;
}

} // namespace velquor::rmcp
