#pragma once

#include "rmcp/rsplink.h"

#include <QString>
#include <optional>
#include <vector>

class ASF_RMCP_Handler;

namespace velquor::rmcp {

// The message fields of the RMCP control panel as typed.
struct SendFormTexts
{
    QString version = QStringLiteral("06");
    QString reserved1 = QStringLiteral("00");
    QString sequenceNr;
    QString messageClass = QStringLiteral("06");
    QString ianaEnterpriseNr = QStringLiteral("00 00 11 BE");
    QString messageType = QStringLiteral("10");
    QString messageTag;
    QString reserved2 = QStringLiteral("00");
    QString dataLength = QStringLiteral("00");
    QString data;
    bool rsp = false;        // "RSP": inside the session
    bool genericRsp = false; // "Generic RSP": header and trailer from the fields below
    QString sessionId;
    QString rspSequenceNumber;
    bool trailer = false;
    QString pad;
    QString padLength;
    QString nextHeader;
    bool falseIntegrityData = false;
};

// The boxes that are translated, in the order they are.
enum class SendFormField {
    Version,
    Reserved1,
    SequenceNr,
    MessageClass,
    IanaEnterpriseNr,
    MessageType,
    MessageTag,
    Reserved2,
    DataLength,
    SessionId,
    RspSequenceNumber,
    PadLength,
    NextHeader,
};

// Everything sendPacketGeneric() takes.
struct SendRequest
{
    quint8 version = 0, reserved1 = 0;
    bool ownSeqNr = false;
    quint8 sequenceNr = 0, messageClass = 0;
    quint32 ianaEnterpriseNr = 0;
    quint8 messageType = 0;
    bool ownMsgTag = false;
    quint8 messageTag = 0, reserved2 = 0, dataLength = 0;
    QString data;
    int rspSend = 0;
    RspOverrides rsp; // the RSP header and trailer boxes (generic RSP)

    void sendWith(ASF_RMCP_Handler &handler) const;
};

// The boxes read in order until one does not translate: those before it
// translated, and it (failed) did not; then there is no request.
struct SendFormResult
{
    std::optional<SendRequest> request;
    std::vector<SendFormField> translated;
    std::optional<SendFormField> failed;
};

// Reads the fields: Version and Reserved (1) as hexadecimal numbers of 16
// bits whose low byte is used, the other bytes as hexadecimal numbers up to
// FF; an empty Sequence # or Message Tag (or one or two blanks) leaves the
// number to the handler; the IANA number and the RSP Session ID and
// Sequence # are hex digits with blanks anywhere. handlerUsesRsp: the
// handler sends through an RSP session, so "RSP" chooses that path.
SendFormResult translateSendForm(const SendFormTexts &texts, bool handlerUsesRsp);

} // namespace velquor::rmcp
