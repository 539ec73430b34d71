#include "core/asfpacket.h"

#include "core/logfileformat.h"
#include "core/textformat.h"
#include "core/trace.h"

#include <QRegularExpression>
#include <algorithm>
#include <QTextStream>

using namespace velquor;

ASF_Packet::ASF_Packet(unsigned timestamp, QObject *parent, const char *name)
    : QObject(parent), PacketFindings(QStringLiteral(" ")), m_timestamp(timestamp),
      m_protocol(QStringLiteral(" "))
{
    if (name)
        setObjectName(QString::fromUtf8(name));
}

ASF_Packet::ASF_Packet(unsigned timestamp, const QString &initialInfo, int protocolType,
                       const QString &protocol)
    : QObject(nullptr), PacketFindings(initialInfo), m_timestamp(timestamp),
      m_protocolType(protocolType), m_protocol(protocol)
{
}

ASF_Packet::~ASF_Packet() = default;

void ASF_Packet::setData(const QByteArray &bytes, int count)
{
    m_data = bytes;
    m_dataSize = count;
    check();
}

void ASF_Packet::markItemWarning(Row *row, const QString &text)
{
    setWarning();
    RowTree::mark(row, RowMark::Warning, text);
    appendInfo(text);
}

void ASF_Packet::markItemError(Row *row, const QString &text)
{
    setError();
    RowTree::mark(row, RowMark::Error, text);
    appendInfo(text);
}

void ASF_Packet::writeToStream(QTextStream &stream)
{
    stream << textForm();
}

void ASF_Packet::writeToFile(FILE *file)
{
    const QByteArray text = textForm().toLatin1();
    std::fwrite(text.constData(), 1, size_t(text.size()), file);
}

QString ASF_Packet::textForm() const
{
    return hexDumpText(m_data, m_dataSize);
}

bool ASF_Packet::check()
{
    return true;
}

void ASF_Packet::copyBaseTo(ASF_Packet &target) const
{
    target.setTimestamp(m_timestamp);
    // The bytes are checked again on arrival, and how they are read can
    // depend on the protocol type (RMCP behind an RSP header), so it comes first.
    target.setProtocolType(m_protocolType);
    target.setProtocol(m_protocol);
    target.setDirection(m_direction);
    target.setData(m_data, m_dataSize);
    target.setInfo(info());
    target.setStatus(status());
}

std::unique_ptr<ASF_Packet> ASF_Packet::clone() const
{
    auto copy = std::make_unique<ASF_Packet>(m_timestamp);
    copyBaseTo(*copy);
    return copy;
}

void CompactRecord::setStoredInfo(const QString &text, bool pack)
{
    m_deflated = false;
    const bool latin1 = pack && !text.isEmpty()
                        && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xff; });
    if (!latin1) {
        m_info = text;
        return;
    }
    QByteArray bytes = text.toLatin1();
    if (bytes.size() >= DeflateFrom) {
        QByteArray deflated = qCompress(bytes, 1);
        if (deflated.size() < bytes.size()) {
            deflated.squeeze(); // qCompress leaves the room of the worst case
            bytes = std::move(deflated);
            m_deflated = true;
        }
    }
    m_info = std::move(bytes);
}

QString CompactRecord::storedInfo() const
{
    if (const auto *text = std::get_if<QString>(&m_info))
        return *text;
    const QByteArray &bytes = std::get<QByteArray>(m_info);
    return QString::fromLatin1(m_deflated ? qUncompress(bytes) : bytes);
}

bool ASF_Packet::toCompact(CompactRecord &out) const
{
    const CompactRecord::Build build = compactBuild();
    if (!build)
        return false;
    CompactRecord row;
    row.build = build;
    row.data = m_data;
    row.timestamp = m_timestamp;
    row.extra = compactExtra();
    row.direction = qint8(m_direction);
    row.status = qint8(status());
    row.infoDerived = true;
    std::unique_ptr<ASF_Packet> again = build(row);
    const QString checked = again->info();
    if (info() != checked) {
        // Findings added after the check (the sequence analysis') are kept
        // as they stand; a replaced info is kept whole.
        row.infoDerived = info().startsWith(checked);
        row.setStoredInfo(row.infoDerived ? info().mid(checked.size()) : info(), true);
        again->restoreInfo(row);
    }
    if (!sameState(*again))
        return false;
    out = std::move(row);
    return true;
}

void ASF_Packet::restoreFrom(const CompactRecord &row)
{
    setTimestamp(row.timestamp);
    setDirection(row.direction);
    {
        const TraceSilence quiet;
        setData(row.data);
    }
    restoreInfo(row);
}

void ASF_Packet::restoreInfo(const CompactRecord &row)
{
    // On a record just checked: its info is what the check gave.
    const QString stored = row.storedInfo();
    if (!row.infoDerived)
        setInfo(stored);
    else if (!stored.isEmpty())
        setInfo(info() + stored);
    setStatus(row.status);
    squeezeInfo();
}

bool ASF_Packet::sameState(const ASF_Packet &other) const
{
    return metaObject() == other.metaObject() && m_data == other.m_data && m_dataSize == other.m_dataSize
           && m_timestamp == other.m_timestamp && m_direction == other.m_direction
           && m_protocolType == other.m_protocolType && m_protocol == other.m_protocol
           && m_showExpanded == other.m_showExpanded && info() == other.info() && status() == other.status()
           && objectName() == other.objectName();
}

QByteArray ASF_Packet::getAsfPacketData() { return m_data; }
double ASF_Packet::getAsfPacketDataSize() { return double(m_data.size()); }
QString ASF_Packet::getAsfPacketInfo() { return info(); }
int ASF_Packet::getAsfPacketProtcolType() { return m_protocolType; }
int ASF_Packet::getAsfPacketStatus() { return status(); }
double ASF_Packet::getAsfPacketTimestamp() { return double(m_timestamp); }
int ASF_Packet::getAsfPacketDirection() { return m_direction; }

ASF_LogPacket::ASF_LogPacket(unsigned timestamp)
    : ASF_Packet(timestamp, QString(), LogLine, QStringLiteral("LOG"))
{
}

std::unique_ptr<ASF_LogPacket> ASF_LogPacket::fromText(unsigned timestamp, int status, const QString &text)
{
    auto line = std::make_unique<ASF_LogPacket>(timestamp);
    line->setStatus(status);
    const ShortLong parts = splitShortLong(text);
    line->setLogMessage(parts.message);
    line->setInfo(parts.info);
    return line;
}

QString ASF_LogPacket::textForm() const
{
    static const QRegularExpression br(QStringLiteral("<br>"));
    static const QRegularExpression brSlash(QStringLiteral("<br/>"));
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString text = m_logMessage;
    text.replace(br, QStringLiteral("\n"));
    text.replace(brSlash, QStringLiteral("\n"));
    text.remove(tag);
    return text;
}

std::unique_ptr<ASF_Packet> ASF_LogPacket::clone() const
{
    auto copy = std::make_unique<ASF_LogPacket>(timestamp());
    copyBaseTo(*copy);
    copy->setLogMessage(m_logMessage);
    return copy;
}

QString ASF_LogPacket::getLogMessage() { return m_logMessage; }
