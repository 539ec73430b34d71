#include "rmcp/rmcpdisplaymodel.h"

#include "rmcp/rmcplayout.h"
#include "rmcp/rmcptext.h"
#include "core/textformat.h"

#include <QStringList>
#include <QtEndian>

namespace velquor::rmcp {

namespace {

const HexLayout detailViewDump{.label = "%d - %d:", .labelWidth = 15, .groupBytes = 4, .rowSeparator = "\n"};

// Box values: bytes in lower case, numbers and byte arrays in capitals.
QString boxValue(const RmcpFields &f, const FieldDescriptor &s)
{
    TextBuffer out;
    switch (s.kind) {
    case ValueKind::Byte:
        out.appendHex(f.number(s.id), 2, false);
        break;
    case ValueKind::Word: {
        char b[4];
        qToBigEndian(f.number(s.id), b);
        appendHexRun(out, QByteArrayView(b, 4), true);
        break;
    }
    case ValueKind::Bytes:
        if (s.part == Part::Data)
            return displayDataText(f);
        appendHexRun(out, f.bytes(s.id), true);
        break;
    }
    return out.toString();
}

// Which boxes get a value. An acknowledge has no ASF message header: its
// boxes stay empty rather than show zeros that are not in the datagram.
bool shows(const FieldDescriptor &s, const RmcpFields &f, bool showRsp)
{
    switch (s.part) {
    case Part::RspHeader:
        return showRsp;
    case Part::RspTrailer:
        return showRsp && f.haveRspTail;
    case Part::Message:
        return s.offset < RmcpHeaderSize || !f.isAcknowledge;
    case Part::Data:
        return !f.isAcknowledge;
    }
    return false;
}

} // namespace

QString displayDataText(const RmcpFields &f)
{
    TextBuffer decoded;
    const qsizetype consumed = writeDataSection(decoded, f.messageType, f.rmcpData);
    QStringList lines = decoded.toString().split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines) {
        qsizetype tabs = 0;
        while (tabs < line.size() && line[tabs] == QLatin1Char('\t'))
            ++tabs;
        line.remove(0, tabs);
    }
    const QByteArrayView rest = QByteArrayView(f.rmcpData).sliced(consumed);
    if (!rest.isEmpty())
        lines << hexDumpString(rest, unknownDataView, int(consumed));
    return lines.join(QLatin1Char('\n'));
}

QString displayHexText(QByteArrayView bytes)
{
    return hexDumpString(bytes, detailViewDump);
}

DisplayModel displayModel(const RmcpFields &f, QByteArrayView bytes, int protocolType, const QString &protocolLabel,
                          int direction)
{
    DisplayModel m;
    m.title = QStringLiteral("<b> <font color=\"#5265d0\" size=\"+1\">%1: %2</font></b>")
                  .arg(protocolLabel.toHtmlEscaped(), f.messageTypeName.toHtmlEscaped());
    m.direction = direction;
    m.kind = f.isAcknowledge ? DisplayModel::Ack : (f.isResponse ? DisplayModel::Response : DisplayModel::Request);
    m.showRsp = protocolType == ProtocolRmcpRsp;
    m.hexText = displayHexText(bytes);

    for (const FieldDescriptor &s : fieldDescriptors()) {
        DisplayBox &box = m.boxes[size_t(s.id)];
        box.status = f.status(s.id).status;
        box.toolTip = f.status(s.id).text;
        if (shows(s, f, m.showRsp)) {
            box.value = boxValue(f, s);
            if (s.id == FieldId::MessageType && box.status == ASF_PACKET_OK)
                box.toolTip = f.messageTypeName;
        } else if (s.part == Part::RspTrailer && m.showRsp && f.rspSessionId != 0) {
            box.status = ASF_PACKET_ERROR;
            box.toolTip = QStringLiteral("missing or wrong packet size");
        }
    }
    return m;
}

} // namespace velquor::rmcp
