#pragma once

#include <QtGlobal>

namespace velquor::rmcp {

// Sizes of the parts of a datagram.
constexpr int RspHeaderSize = 8;     // session ID, sequence number
constexpr int RmcpHeaderSize = 4;    // version, reserved, sequence number, class
constexpr int MessageHeaderSize = 12; // RMCP header + ASF message header
constexpr int IntegrityDataSize = 12;
constexpr int RspTrailerFixedSize = 14; // pad length, next header, integrity data

constexpr quint8 RmcpVersion1 = 0x06;
constexpr quint8 AsfMessageClass = 0x06;
constexpr quint8 AcknowledgeBit = 0x80;
constexpr quint8 NoAcknowledgeSequenceNr = 0xFF;
constexpr quint8 NoResponseMessageTag = 0xFF;
constexpr quint32 AsfIanaEnterpriseNr = 4542; // 0x000011BE

// Protocol types of a record: plain RMCP, or behind an RSP header.
constexpr int ProtocolRmcp = 3;
constexpr int ProtocolRmcpRsp = 4;

// Where the RMCP header starts for a record of this protocol type.
constexpr int messageOffset(int protocolType)
{
    return protocolType == ProtocolRmcpRsp ? RspHeaderSize : 0;
}

// Pad for a message of messageLength bytes (RMCP header to end of data) in a
// session: 1 to 4 bytes, 4 rather than 0 when messageLength + 2 is already a
// multiple of 4. The checks expect this pad.
constexpr int rspPadLength(int messageLength)
{
    return 4 - (((messageLength + 2) % 4) + 4) % 4;
}

// The other pad rule, 0 to 3 bytes, over everything before the trailer (RSP
// header included); used for trailers composed by the session itself.
constexpr int rspAlignedPadLength(int lengthBeforeTrailer)
{
    return (4 - (((lengthBeforeTrailer + 2) % 4) + 4) % 4) % 4;
}

} // namespace velquor::rmcp
