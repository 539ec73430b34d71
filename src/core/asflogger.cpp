#include "core/asflogger.h"

#include "core/asfpacket.h"
#include "core/logfileformat.h"
#include "core/packetlogmodel.h"
#include "core/textformat.h"
#include "core/trace.h"
#include "core/tracelog.h"

#include <QFile>
#include <QTextStream>
#include <cstdarg>

using namespace velquor;

ASF_Logger::ASF_Logger() : QObject(nullptr), m_model(new PacketLogModel(this)) {}

ASF_Logger::~ASF_Logger() = default;

bool ASF_Logger::initList()
{
    if (!m_listing)
        return false;
    clearRows();
    return true;
}

void ASF_Logger::clearRows()
{
    // The last record appended is always the newest row; it outlives the rows.
    std::unique_ptr<ASF_Packet> newest = m_model->clear();
    if (newest && newest.get() == m_lastPacket)
        m_keptLastPacket = std::move(newest);
}

bool ASF_Logger::appendPacket(ASF_Packet *packet)
{
    return appendPacket(std::unique_ptr<ASF_Packet>(packet));
}

bool ASF_Logger::appendPacket(std::unique_ptr<ASF_Packet> packet)
{
    if (!packet || !m_listing)
        return false;
    m_packetCount += 1;
    if (m_packetCount > m_maxPackets)
        return false;

    ASF_Packet *record = m_model->append(std::move(packet), m_packetCount);
    traceRow(*record);
    m_keptLastPacket.reset();
    m_lastPacket = record;
    if (m_packetCount == m_maxPackets - 1)
        logLevel(ASF_PACKET_ERROR,
                 "maximum number of packets reached (%u), clear log to continue-maximum number of packets reached (%u)\n clear log to continue",
                 m_maxPackets, m_maxPackets);
    emit newPacketSignal();
    return true;
}

namespace {

// The size of timestampText(t): hours in at least two digits, then ":mm:ss:mmm".
qsizetype timestampSize(quint32 t)
{
    qsizetype hourDigits = 1;
    for (quint32 hours = t / 3600000u; hours >= 10; hours /= 10)
        ++hourDigits;
    return qMax<qsizetype>(hourDigits, 2) + 10;
}

} // namespace

void ASF_Logger::traceRow(const ASF_Packet &record)
{
    // Each row is traced; in a burst the trace keeps only the newest rows'
    // lines, so a line is built only if it is read.
    struct Line
    {
        QString logger, protocol, info;
        quint32 timestamp;
        int direction, status;

        QString head() const
        {
            return status == ASF_PACKET_ERROR     ? QStringLiteral(" logging with ERROR: protocol ")
                   : status == ASF_PACKET_WARNING ? QStringLiteral(" logging with Warning: protocol ")
                                                  : QStringLiteral(" Logging : protocol ");
        }
        QString operator()() const
        {
            return logger + head() + protocol + QStringLiteral(" - at ") + timestampText(timestamp)
                   + QStringLiteral(" - ") + directionText(direction) + QStringLiteral("\n\tInfo: ") + info
                   + QStringLiteral("\n--------------------------------------\n");
        }
    };
    Line line{objectName(), record.protocol(), record.info(), record.timestamp(), record.direction(), record.status()};
    const qsizetype size = line.logger.size() + line.head().size() + line.protocol.size() + 6
                           + timestampSize(line.timestamp) + 3 + directionText(line.direction).size() + 8
                           + line.info.size() + 40;
    traceDeferred(size, std::move(line));
}

void ASF_Logger::log(const QString &text)
{
    logLevel(ASF_PACKET_OK, text);
}

void ASF_Logger::log(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    const QString text = boundedVFormat(LineLimit, format, ap);
    va_end(ap);
    logLevel(ASF_PACKET_OK, text);
}

void ASF_Logger::logLevel(int status, const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    const QString text = boundedVFormat(LineLimit, format, ap);
    va_end(ap);
    logLevel(status, text);
}

void ASF_Logger::logLevel(int status, const QString &text)
{
    appendPacket(ASF_LogPacket::fromText(m_clock ? m_clock->elapsed() : 0, status, text));
}

void ASF_Logger::clearLog()
{
    clearRows();
    m_packetCount = 0;
    emit cleared();
}

void ASF_Logger::setMaxSize(unsigned size)
{
    if (size < m_maxPackets)
        clearLog();
    m_maxPackets = size;
    initList();
}

ASF_Packet *ASF_Logger::getLastAsfPacket()
{
    // Handed out: its row must not be made compact under the taker.
    if (m_lastPacket && !m_keptLastPacket)
        m_model->keepNewest();
    return m_lastPacket;
}

QByteArray ASF_Logger::getLastPacketData()
{
    return m_lastPacket ? m_lastPacket->data() : QByteArray();
}

bool ASF_Logger::writeLogToFilename()
{
    return writeLogToFilename(QString(), false);
}

bool ASF_Logger::writeLogToFilename(const QString &filename)
{
    return writeLogToFilename(filename, false);
}

bool ASF_Logger::failSave(const QString &text, bool traced)
{
    if (traced)
        trace(text);
    emit saveFailed(text);
    return false;
}

bool ASF_Logger::writeLogToFilename(const QString &filename, bool bTraceLog)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString name = filename.isEmpty() ? logfile::defaultFileName(objectName(), now) : filename;

    // Nothing to save: say so instead of leaving an empty file behind as a success.
    if (!bTraceLog && !m_listing)
        return failSave(QStringLiteral("log item missing"), false);

    QFile file(name);
    const auto failed = [&] {
        return failSave(QStringLiteral("%1: save log to file %2 failed (%3)\n").arg(objectName(), name, file.errorString()),
                        true);
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return failed();
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Latin1);
    out << logfile::banner(objectName(), now);
    if (bTraceLog) {
        out << logfile::traceBody(TraceLog::activeText());
    } else {
        for (int row = 0; row < m_model->size(); ++row)
            out << logfile::block(m_model->rowTexts(row), m_model->textForm(row));
    }
    out.flush();
    file.close();
    if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError)
        return failed();

    if (!bTraceLog)
        log(QStringLiteral("saved log to file \"%1\"").arg(name));
    trace(QStringLiteral("\n--------------------------------------\n%1: saved log to file \"%2\"\n--------------------------------------\n")
              .arg(objectName(), name));
    m_lastFileName = name;
    return true;
}
