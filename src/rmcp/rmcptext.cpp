#include "rmcp/rmcptext.h"

#include "rmcp/rmcplayout.h"
#include "rmcp/rmcptables.h"

#include <QtEndian>
#include <cstdio>

namespace velquor::rmcp {

const HexLayout unknownDataText{.header = "Unkown data:", .rowBytes = 10, .label = "\n\t %d - %d:", .labelSpan = 9,
                                .labelWidth = 15, .upper = true, .footer = "\n\t----\n"};
const HexLayout unknownDataView{.header = "Unkown data:\n", .rowBytes = 10, .label = "%d - %d:", .labelSpan = 9,
                                .labelWidth = 15, .upper = true, .rowSeparator = "\n"};

namespace {

// A big-endian number of bytes [from, from + count) of p.
quint32 numberOf(QByteArrayView p, int from, int count)
{
    quint32 value = 0;
    for (int i = from; i < from + count && i < p.size(); ++i)
        value = (value << 8) | quint8(p[i]);
    return value;
}

// format with the name of code, or with the fallback (a "%02X" in it takes the code).
void appendNamedLine(TextBuffer &out, const char *format, CodeTable names, quint32 code, const char *fallback)
{
    const char *name = codeName(names, int(code), nullptr);
    char unnamed[64];
    if (!name) {
        std::snprintf(unnamed, sizeof unnamed, fallback, code);
        name = unnamed;
    }
    out.appendf(format, name);
}

void writeDetail(TextBuffer &out, const DataDetailDescriptor &d, QByteArrayView p)
{
    const quint32 value = numberOf(p, d.from, d.bytes);
    switch (d.kind) {
    case DataDetail::None:
        break;
    case DataDetail::BitNames:
        for (int bit = 0; bit < 8 * d.bytes; ++bit) {
            const quint32 mask = 1u << bit;
            if (value & d.mask & mask)
                appendNamedLine(out, d.format, d.names, mask, d.fallback);
        }
        break;
    case DataDetail::ValueName:
        appendNamedLine(out, d.format, d.names, value & d.mask, d.fallback);
        break;
    case DataDetail::Flag: {
        const quint32 masked = value & d.mask;
        const bool set = d.equals < 0 ? masked != 0 : masked == quint32(d.equals);
        out.appendf(d.format, set ? "" : "not ", value & d.shownMask);
        break;
    }
    case DataDetail::Verbosity: {
        static const char *const verbosity[] = {"System default", "Quit", "Verbose", "Screen blank"};
        out << "\t- Firmware Verbosity: " << verbosity[(value >> 5) & 3] << '\n';
        break;
    }
    }
}

// Rows of eight bytes after indent, the first row opened by prefix; the first
// four bytes always in capitals.
void writeRows(TextBuffer &out, const DataField &d, QByteArrayView p)
{
    out << d.label << d.rowIndent << d.rowPrefix;
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (i && i % 8 == 0)
            out << '\n' << d.rowIndent;
        out.appendHex(quint8(p[i]), 2, i < 4 || !d.rowLower);
    }
    out << '\n';
}

// A name from the wire is shown as printable text; other bytes as \xHH so a
// hostile name cannot break the lines of a log.
void appendPrintable(TextBuffer &out, QByteArrayView name)
{
    for (char ch : name) {
        const auto b = quint8(ch);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out << ch;
        } else {
            out << "\\x";
            out.appendHex(b, 2, true);
        }
    }
}

// The user name of RAKP Message 1; false when the name's bytes are not there.
bool writeUserName(TextBuffer &out, int length, QByteArrayView rest, qsizetype &pos)
{
    if (length > 16) {
        // The name bytes stay undecoded and show as unknown data.
        out.appendf("!\t\tMgt Console User Name too long (%d)\n", length);
        return false;
    }
    const qsizetype present = qMin<qsizetype>(length, rest.size());
    if (length > 0 && present == 0)
        return false;
    if (length == 0 || quint8(rest[0]) == 0) {
        pos += present;
        out << "Mgt Console User Name: \"\"\n";
        return true;
    }
    out << "\tMgt Console User Name:\t";
    appendPrintable(out, rest.first(present));
    out << '\n';
    pos += present;
    return true;
}

} // namespace

qsizetype writeDataSection(TextBuffer &out, int messageType, QByteArrayView data)
{
    const MessageType *type = rmcp::messageType(messageType);
    if (!type)
        return 0;
    const qsizetype start = out.size();
    qsizetype pos = 0;
    quint32 previous = 0;
    for (const DataField &d : type->data) {
        if (d.line == DataLine::UserName) {
            if (!writeUserName(out, int(previous), data.sliced(pos), pos))
                break;
            continue;
        }
        // Every field is whole or not decoded at all.
        if (d.size > data.size() - pos)
            break;
        const QByteArrayView p = data.sliced(pos, d.size);
        pos += d.size;
        previous = numberOf(p, 0, d.size);
        switch (d.line) {
        case DataLine::Packed:
            out << d.label;
            for (qsizetype i = 0; i < p.size(); ++i) {
                if (d.group && i && i % d.group == 0)
                    out << ' ';
                out.appendHex(quint8(p[i]), 2, true);
            }
            out << '\n';
            break;
        case DataLine::Spaced:
        case DataLine::Repeated:
            out << d.label;
            appendHexRun(out, p, true);
            out << '\n';
            break;
        case DataLine::Rows:
            writeRows(out, d, p);
            break;
        case DataLine::Named:
            appendNamedLine(out, d.label, d.names, quint8(p[0]), d.fallback);
            break;
        case DataLine::Formatted:
            out.appendf(d.label, quint8(p[0]));
            break;
        case DataLine::None:
        case DataLine::UserName:
            break;
        }
        for (const DataDetailDescriptor &detail : d.details)
            writeDetail(out, detail, p);
        if (d.line == DataLine::Repeated) {
            while (data.size() - pos >= d.size) {
                out << d.label;
                appendHexRun(out, data.sliced(pos, d.size), true);
                out << '\n';
                pos += d.size;
            }
        }
    }
    if (out.size() > start && !out.endsWith('\n'))
        out << '\n';
    return pos;
}

QString decodeDataSection(int messageType, QByteArrayView data, qsizetype *consumed)
{
    TextBuffer out;
    const qsizetype used = writeDataSection(out, messageType, data);
    if (consumed)
        *consumed = used;
    return out.toString();
}

namespace {

void writeValue(TextBuffer &out, const RmcpFields &f, const FieldDescriptor &s)
{
    switch (s.kind) {
    case ValueKind::Byte:
        out << "0x";
        out.appendHex(f.number(s.id), 2, true);
        break;
    case ValueKind::Word: {
        char b[4];
        qToBigEndian(f.number(s.id), b);
        appendHexRun(out, QByteArrayView(b, 4), true);
        break;
    }
    case ValueKind::Bytes:
        // The data field's bytes are decoded below its line instead.
        if (s.part == Part::Data)
            return;
        appendHexRun(out, f.bytes(s.id), true);
        break;
    }
    out << '\t';
}

// Marker by status, label, value, then the status text (for the message type
// its name while ok).
void writeFieldLine(TextBuffer &out, const RmcpFields &f, const FieldDescriptor &s)
{
    const FieldStatus &status = f.status(s.id);
    out << (status.status == ASF_PACKET_ERROR ? "!!\t" : status.status == ASF_PACKET_WARNING ? "!\t" : "\t");
    out << s.label << '\t';
    writeValue(out, f, s);
    if (s.id == FieldId::MessageType && status.status == ASF_PACKET_OK)
        out << f.messageTypeName;
    else
        out << status.text;
    out << '\n';
}

// Which fields a record shows.
bool shows(const FieldDescriptor &s, const RmcpFields &f, int protocolType)
{
    switch (s.part) {
    case Part::RspHeader:
        return protocolType == ProtocolRmcpRsp;
    case Part::RspTrailer:
        return protocolType == ProtocolRmcpRsp && f.rspSessionId != 0 && f.haveRspTail;
    case Part::Message:
        return s.offset < RmcpHeaderSize || !f.isAcknowledge;
    case Part::Data:
        return !f.isAcknowledge;
    }
    return false;
}

} // namespace

void writeTextForm(TextBuffer &out, const RmcpFields &f, QByteArrayView bytes, int protocolType)
{
    for (const FieldDescriptor &s : fieldDescriptors()) {
        if (s.id == FieldId::RspPad && protocolType == ProtocolRmcpRsp && f.rspSessionId != 0 && !f.haveRspTail)
            out << "!!\tERROR missing or wrong packet size\n";
        if (!shows(s, f, protocolType))
            continue;
        writeFieldLine(out, f, s);
        if (s.part == Part::Data) {
            out << "\t----\n";
            const qsizetype consumed = writeDataSection(out, f.messageType, f.rmcpData);
            if (consumed < f.rmcpData.size())
                appendHexDump(out, QByteArrayView(f.rmcpData).sliced(consumed), unknownDataText, int(consumed));
        }
    }
    HexLayout dump = hexlayout::PacketDump;
    dump.upper = true;
    appendHexDump(out, bytes, dump);
}

QString textForm(const RmcpFields &f, QByteArrayView bytes, int protocolType)
{
    TextBuffer out;
    out.reserve(1500);
    writeTextForm(out, f, bytes, protocolType);
    return out.toString();
}

} // namespace velquor::rmcp
