#include "rmcp/rmcpsendform.h"

#include "rmcp/asfrmcphandler.h"

namespace velquor::rmcp {

namespace {

bool automatic(const QString &text)
{
    return text.isEmpty() || text == QLatin1String(" ") || text == QLatin1String("  ");
}

bool onlyBlanks(const QString &text)
{
    for (QChar c : text) {
        if (c != u' ')
            return false;
    }
    return true;
}

std::optional<quint8> lowByteOfShort(const QString &text)
{
    bool ok = false;
    const short value = text.toShort(&ok, 16);
    return ok ? std::optional<quint8>(quint8(value & 0xFF)) : std::nullopt;
}

std::optional<quint8> byte(const QString &text)
{
    bool ok = false;
    const ushort value = text.toUShort(&ok, 16);
    return ok && value <= 0xFF ? std::optional<quint8>(quint8(value)) : std::nullopt;
}

// Hex digits with blanks anywhere, at most 32 bits.
std::optional<quint32> word(const QString &text)
{
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    if (digits.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (QChar c : digits) {
        const char16_t u = c.unicode();
        const int d = u >= u'0' && u <= u'9'   ? u - u'0'
                      : u >= u'a' && u <= u'f' ? u - u'a' + 10
                      : u >= u'A' && u <= u'F' ? u - u'A' + 10
                                               : -1;
        if (d < 0)
            return std::nullopt;
        value = (value << 4) | quint64(d);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return quint32(value);
}

} // namespace

void SendRequest::sendWith(ASF_RMCP_Handler &handler) const
{
    handler.sendPacketGeneric(version, reserved1, ownSeqNr, sequenceNr, messageClass, ianaEnterpriseNr, messageType,
                              ownMsgTag, messageTag, reserved2, dataLength, data, rspSend, rsp.sendTail,
                              rsp.ownSessionID, rsp.sessionID, rsp.ownRspSequenceNumber, rsp.rspSequenceNumber,
                              rsp.ownPad, rsp.pad, rsp.ownPadLength, rsp.padLength, rsp.ownNextHeader, rsp.nextHeader,
                              rsp.falseIntegrityData);
}

SendFormResult translateSendForm(const SendFormTexts &t, bool handlerUsesRsp)
{
    SendFormResult result;
    SendRequest r;
    // Each step reads one box; the first that fails ends the translation.
    const auto step = [&result](SendFormField field, bool ok) {
        if (ok)
            result.translated.push_back(field);
        else
            result.failed = field;
        return ok;
    };
    const auto readValue = [&](SendFormField field, auto value, auto &into) {
        if (value)
            into = *value;
        return step(field, value.has_value());
    };
    const auto readOptionalByte = [&](SendFormField field, const QString &text, bool &own, quint8 &into) {
        own = !automatic(text);
        return own ? readValue(field, byte(text), into) : step(field, true);
    };
    const auto readWord = [&](SendFormField field, const QString &text, bool &own, quint32 &into) {
        own = !onlyBlanks(text);
        if (!own)
            return step(field, true);
        const std::optional<quint32> value = word(text);
        if (value)
            into = *value;
        return step(field, value.has_value());
    };

    if (!readValue(SendFormField::Version, lowByteOfShort(t.version), r.version)
        || !readValue(SendFormField::Reserved1, lowByteOfShort(t.reserved1), r.reserved1)
        || !readOptionalByte(SendFormField::SequenceNr, t.sequenceNr, r.ownSeqNr, r.sequenceNr)
        || !readValue(SendFormField::MessageClass, byte(t.messageClass), r.messageClass)
        || !readValue(SendFormField::IanaEnterpriseNr, word(t.ianaEnterpriseNr), r.ianaEnterpriseNr)
        || !readValue(SendFormField::MessageType, byte(t.messageType), r.messageType)
        || !readOptionalByte(SendFormField::MessageTag, t.messageTag, r.ownMsgTag, r.messageTag)
        || !readValue(SendFormField::Reserved2, byte(t.reserved2), r.reserved2)
        || !readValue(SendFormField::DataLength, byte(t.dataLength), r.dataLength))
        return result;
    r.data = t.data;

    if (handlerUsesRsp && t.rsp) {
        r.rspSend = ASF_RMCP_Handler::RSP_SESSION;
    } else if (t.genericRsp) {
        r.rspSend = ASF_RMCP_Handler::RSP_GENERIC;
        if (!readWord(SendFormField::SessionId, t.sessionId, r.rsp.ownSessionID, r.rsp.sessionID)
            || !readWord(SendFormField::RspSequenceNumber, t.rspSequenceNumber, r.rsp.ownRspSequenceNumber,
                         r.rsp.rspSequenceNumber))
            return result;
        r.rsp.sendTail = t.trailer;
        if (t.trailer) {
            r.rsp.ownPad = !onlyBlanks(t.pad);
            if (r.rsp.ownPad)
                r.rsp.pad = t.pad;
            if (!readOptionalByte(SendFormField::PadLength, t.padLength, r.rsp.ownPadLength, r.rsp.padLength)
                || !readOptionalByte(SendFormField::NextHeader, t.nextHeader, r.rsp.ownNextHeader, r.rsp.nextHeader))
                return result;
            r.rsp.falseIntegrityData = t.falseIntegrityData;
        }
    } else {
        r.rspSend = ASF_RMCP_Handler::RSP_NONE;
    }
    result.request = r;
    return result;
}

} // namespace velquor::rmcp
