#include "rmcp/rmcpcompose.h"

#include "rmcp/rmcptables.h"

#include <QtEndian>
#include <cstring>

namespace velquor::rmcp {

namespace {

// Big-endian in size bytes; bytes beyond a 64-bit value are 0.
void appendNumber(QByteArray &out, quint64 value, int size)
{
    for (int i = size - 1; i >= 0; --i)
        out.append(i < 8 ? char(quint8(value >> (8 * i))) : '\0');
}

// The fixed fields of a part, in wire order, from fields.
void appendPart(QByteArray &out, const RmcpFields &fields, Part part, int upTo)
{
    for (int offset = 0; offset < upTo;) {
        const FieldDescriptor *at = nullptr;
        for (const FieldDescriptor &s : fieldDescriptors()) {
            if (s.part == part && s.offset == offset)
                at = &s;
        }
        if (!at)
            break;
        appendNumber(out, fields.number(at->id), at->size);
        offset += at->size;
    }
}

RmcpFields toFields(const MessageFields &m)
{
    RmcpFields f;
    f.version = m.version;
    f.reserved1 = m.reserved1;
    f.sequenceNr = m.sequenceNr;
    f.messageClass = m.messageClass;
    f.ianaEnterpriseNr = m.ianaEnterpriseNr;
    f.messageType = m.messageType;
    f.messageTag = m.messageTag;
    f.reserved2 = m.reserved2;
    f.dataLength = m.dataLength;
    f.rmcpData = m.data;
    return f;
}

} // namespace

QByteArray composeFields(const RmcpFields &f)
{
    QByteArray out;
    out.reserve(MessageHeaderSize + f.rmcpData.size());
    appendPart(out, f, Part::Message, f.isAcknowledge ? RmcpHeaderSize : MessageHeaderSize);
    if (!f.isAcknowledge)
        out.append(f.rmcpData);
    return out;
}

QByteArray composeMessage(const MessageFields &m)
{
    return composeFields(toFields(m));
}

std::span<const SendListEntry> sendList()
{
    // The message types with an entry in the send list, in table order.
    static const std::vector<SendListEntry> entries = [] {
        std::vector<SendListEntry> list;
        for (const MessageType &t : messageTypes()) {
            if (t.sendLabel)
                list.push_back({SendListRequest(list.size()), t.sendLabel, t.code, t.sendsNoResponseTag});
        }
        return list;
    }();
    return entries;
}

std::optional<SendListEntry> sendListEntry(const QString &label)
{
    for (const SendListEntry &entry : sendList()) {
        if (label == QLatin1String(entry.label))
            return entry;
    }
    return std::nullopt;
}

QByteArray composeRequest(SendListRequest request, quint8 sequenceNr, quint8 messageTag)
{
    const auto index = size_t(request);
    if (index >= sendList().size())
        return QByteArray();
    MessageFields m;
    m.sequenceNr = sequenceNr;
    m.messageTag = messageTag;
    m.messageType = sendList()[index].messageType;
    return composeMessage(m);
}

QByteArray composeData(int messageType, std::initializer_list<DataValue> values)
{
    const MessageType *type = rmcp::messageType(messageType);
    QByteArray out;
    if (!type)
        return out;
    for (const DataField &d : type->data) {
        const DataValue *given = nullptr;
        for (const DataValue &v : values) {
            if (std::strcmp(v.field, d.name) == 0)
                given = &v;
        }
        const bool variable = d.line == DataLine::Repeated || d.line == DataLine::UserName;
        if (variable) {
            if (given)
                out.append(given->bytes);
        } else if (given && !given->bytes.isEmpty()) {
            out.append(given->bytes.left(d.size));
            out.append(QByteArray(qMax(0, d.size - int(given->bytes.size())), '\0'));
        } else {
            appendNumber(out, given ? given->number : d.composeDefault, d.size);
        }
    }
    return out;
}

std::vector<std::pair<const char *, QByteArray>> dataFields(int messageType, QByteArrayView data)
{
    std::vector<std::pair<const char *, QByteArray>> fields;
    const MessageType *type = rmcp::messageType(messageType);
    if (!type)
        return fields;
    qsizetype pos = 0;
    int previous = 0;
    for (const DataField &d : type->data) {
        qsizetype size = d.size;
        if (d.line == DataLine::UserName)
            size = qMin<qsizetype>(previous, data.size() - pos);
        else if (d.line == DataLine::Repeated)
            size = (data.size() - pos) / d.size * d.size;
        if (size > data.size() - pos || (size == 0 && d.size))
            break;
        fields.emplace_back(d.name, data.sliced(pos, size).toByteArray());
        previous = size == 1 ? quint8(data[pos]) : 0;
        pos += size;
    }
    return fields;
}

QByteArray controlOptionsData(const ControlOptions &o)
{
    return composeData(TypeReset, {{"IANA Enterprise Number", o.ianaEnterpriseNr},
                                   {"Special Command", o.specialCommand},
                                   {"Special Command Parameters", o.specialCommandParameters},
                                   {"Boot Options Bit Mask", o.bootOptions},
                                   {"OEM Parameters", o.oemParameters}});
}

QByteArray composeAcknowledge(quint8 sequenceNr, quint8 messageClass, quint8 version, quint8 reserved1)
{
    RmcpFields f;
    f.isAcknowledge = true;
    f.version = version;
    f.reserved1 = reserved1;
    f.sequenceNr = sequenceNr;
    f.messageClass = messageClass | AcknowledgeBit;
    return composeFields(f);
}

QByteArray acknowledgeFor(QByteArrayView datagram, int protocolType)
{
    const int o = messageOffset(protocolType);
    if (datagram.size() < o + RmcpHeaderSize)
        return QByteArray();
    // The RMCP header as received, with the acknowledge bit set.
    RmcpFields f;
    f.isAcknowledge = true;
    for (const FieldDescriptor &s : fieldDescriptors()) {
        if (s.part == Part::Message && s.offset < RmcpHeaderSize)
            f.setNumber(s.id, quint8(datagram[o + s.offset]));
    }
    f.messageClass |= AcknowledgeBit;
    return composeFields(f);
}

QByteArray composeRspMessage(QByteArrayView message, const RspWrap &wrap)
{
    RmcpFields f;
    f.rspSessionId = wrap.sessionId;
    f.rspSequenceNumber = wrap.sequenceNumber;
    QByteArray out;
    appendPart(out, f, Part::RspHeader, RspHeaderSize);
    out.append(message);
    if (!wrap.trailer)
        return out;
    const int pad = rspPadLength(int(message.size()));
    f.rspPad = wrap.pad.value_or(QByteArray(pad, '\0'));
    f.rspPadLength = qint8(wrap.padLength.value_or(quint8(pad)));
    f.rspNextHeader = wrap.nextHeader;
    f.rspIntegrityData = wrap.integrityData.left(IntegrityDataSize);
    f.rspIntegrityData.append(QByteArray(IntegrityDataSize - f.rspIntegrityData.size(), '\0'));
    // In wire order, which is the table's for the trailer.
    for (const FieldDescriptor &s : fieldDescriptors()) {
        if (s.part != Part::RspTrailer)
            continue;
        if (s.kind == ValueKind::Bytes)
            out.append(f.bytes(s.id));
        else
            appendNumber(out, f.number(s.id), s.size);
    }
    return out;
}

QByteArrayView integrityCoverage(QByteArrayView datagram)
{
    if (datagram.size() < IntegrityDataSize)
        return QByteArrayView();
    return datagram.first(datagram.size() - IntegrityDataSize);
}

bool setIntegrityData(QByteArray &datagram, QByteArrayView integrity)
{
    if (datagram.size() < IntegrityDataSize || integrity.size() < IntegrityDataSize)
        return false;
    datagram.replace(datagram.size() - IntegrityDataSize, IntegrityDataSize, integrity.first(IntegrityDataSize));
    return true;
}

QByteArray falseIntegrityData()
{
    static const char pattern[IntegrityDataSize] = {0x0D, 0x0E, 0x0A, 0x0D, 0x0B, 0x0E,
                                                    0x0E, 0x0F, 0x0D, 0x0E, 0x0A, 0x0D};
    return QByteArray(pattern, IntegrityDataSize);
}

} // namespace velquor::rmcp
