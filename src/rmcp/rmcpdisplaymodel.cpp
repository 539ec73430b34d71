#include "rmcp/rmcpdisplaymodel.h"

#include "rmcp/rmcplayout.h"
#include "rmcp/rmcptext.h"
#include "core/textformat.h"

#include <QStringList>
#include <QtEndian>

namespace velquor::rmcp {

namespace {

QString hex8(quint8 value) { return QString::asprintf("%02hhx", value); }

QString hexBytes(QByteArrayView bytes)
{
    QStringList parts;
    for (char b : bytes)
        parts << QString::asprintf("%02hhx", static_cast<unsigned char>(b)).toUpper();
    return parts.join(QLatin1Char(' '));
}

QString hex32(quint32 value)
{
    char b[4];
    qToBigEndian(value, b);
    return hexBytes(QByteArrayView(b, 4));
}

} // namespace

QString displayDataText(const RmcpFields &f)
{
    qsizetype consumed = 0;
    const QString decoded = decodeDataSection(f.messageType, f.rmcpData, &consumed);
    QStringList lines = decoded.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines) {
        qsizetype tabs = 0;
        while (tabs < line.size() && line[tabs] == QLatin1Char('\t'))
            ++tabs;
        line.remove(0, tabs);
    }
    const QByteArrayView rest = QByteArrayView(f.rmcpData).sliced(consumed);
    if (!rest.isEmpty()) {
        QString unknown = QStringLiteral("Unkown data:");
        for (qsizetype i = 0; i < rest.size(); ++i) {
            if (i % 10 == 0) {
                const long long start = consumed + i;
                unknown += QLatin1Char('\n') + padded(QString::asprintf("%lld - %lld:", start, start + 9), 15);
            }
            unknown += QString::asprintf(" %02X", unsigned(quint8(rest[i])));
        }
        lines << unknown;
    }
    return lines.join(QLatin1Char('\n'));
}

QString displayHexText(QByteArrayView bytes)
{
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const qsizetype column = i % 16;
        if (column == 0) {
            if (i > 0)
                lines << line;
            line = padded(QString::asprintf("%lld - %lld:", static_cast<long long>(i), static_cast<long long>(i + 15)),
                          15);
        } else if (column % 4 == 0) {
            line += QLatin1Char(' ');
        }
        line += QString::asprintf(" %02hhx", static_cast<unsigned char>(bytes[i]));
    }
    if (!bytes.isEmpty())
        lines << line;
    return lines.join(QLatin1Char('\n'));
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

    for (int i = 0; i < FieldCount; ++i) {
        m.boxes[size_t(i)].status = f.statuses[size_t(i)].status;
        m.boxes[size_t(i)].toolTip = f.statuses[size_t(i)].text;
    }
    auto set = [&](FieldId id, const QString &value) { m.boxes[size_t(id)].value = value; };
    set(FieldId::Version, hex8(f.version));
    set(FieldId::Reserved1, hex8(f.reserved1));
    set(FieldId::SequenceNr, hex8(f.sequenceNr));
    set(FieldId::MessageClass, hex8(f.messageClass));
    // An acknowledge has no ASF message header: its boxes stay empty rather
    // than show zeros that are not in the datagram.
    if (!f.isAcknowledge) {
        set(FieldId::IanaEnterpriseNr, hex32(f.ianaEnterpriseNr));
        set(FieldId::MessageType, hex8(f.messageType));
        set(FieldId::MessageTag, hex8(f.messageTag));
        set(FieldId::Reserved2, hex8(f.reserved2));
        set(FieldId::DataLength, hex8(f.dataLength));
        set(FieldId::RmcpData, displayDataText(f));
        DisplayBox &type = m.boxes[size_t(FieldId::MessageType)];
        if (type.status == ASF_PACKET_OK)
            type.toolTip = f.messageTypeName;
    }
    if (m.showRsp) {
        set(FieldId::RspSessionId, hex32(f.rspSessionId));
        set(FieldId::RspSequenceNumber, hex32(f.rspSequenceNumber));
        if (f.haveRspTail) {
            set(FieldId::RspPad, hexBytes(f.rspPad));
            set(FieldId::RspPadLength, hex8(quint8(f.rspPadLength)));
            set(FieldId::RspNextHeader, hex8(f.rspNextHeader));
            set(FieldId::RspIntegrityData, hexBytes(f.rspIntegrityData));
        } else if (f.rspSessionId != 0) {
            for (FieldId id : {FieldId::RspPad, FieldId::RspPadLength, FieldId::RspNextHeader,
                               FieldId::RspIntegrityData}) {
                m.boxes[size_t(id)].status = ASF_PACKET_ERROR;
                m.boxes[size_t(id)].toolTip = QStringLiteral("missing or wrong packet size");
            }
        }
    }
    return m;
}

} // namespace velquor::rmcp
