#include "script/scriptobjects.h"

#include "core/asflogger.h"
#include "core/asfpacket.h"
#include "core/packetlogmodel.h"
#include "core/packetstatus.h"
#include "core/trace.h"
#include "pet/asfpethandler.h"
#include "pet/asfpetpacket.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpconnection.h"
#include "rmcp/rmcpsettings.h"
#include "rsp/qrsplink.h"
#include "script/scripthost.h"

#include <QFile>
#include <QJSEngine>
#include <QMetaMethod>
#include <climits>
#include <cmath>

namespace velquor::script {

namespace {

// A record handed to a script stays the log's: the engine must never
// collect it.
template <typename T> T *handOut(T *record)
{
    if (record)
        QJSEngine::setObjectOwnership(record, QJSEngine::CppOwnership);
    return record;
}

quint8 low8(qint64 v)
{
    return quint8(quint64(v) & 0xFF);
}

// A script number as a whole 32-bit field: 0xFFFFFFFF stays 4294967295, a
// negative number keeps its two's complement bits.
quint32 whole32(double v)
{
    if (!std::isfinite(v))
        return 0;
    return quint32(qint64(std::fmod(std::trunc(v), 4294967296.0)));
}

} // namespace

void registerScriptTypes()
{
    qRegisterMetaType<ASF_Packet *>();
    qRegisterMetaType<ASF_LogPacket *>();
    qRegisterMetaType<ASF_PET_Packet *>();
    qRegisterMetaType<ASF_RMCP_Packet *>();
}

// --- Logger ---------------------------------------------------------------------------

Logger::Logger(ASF_Logger *logger, QObject *parent, const QString &name) : QObject(parent), m_logger(logger)
{
    setObjectName(name);
}

Logger::~Logger() = default;

void Logger::clearLog()
{
    m_logger->clearLog();
}

void Logger::setMaxSize(double maxNrPacket)
{
    if (!std::isfinite(maxNrPacket) || maxNrPacket < 0 || maxNrPacket > double(UINT_MAX)) {
        trace(QStringLiteral("script LOGGER.setMaxSize() called with wrong value\n"));
        return;
    }
    m_logger->setMaxSize(unsigned(maxNrPacket));
}

double Logger::getMaxSize()
{
    return m_logger->getMaxSize();
}

void Logger::log(const QString &qtext)
{
    m_logger->log(qtext);
}

void Logger::logLevel(qint64 status, const QString &qtext)
{
    // A record's status is one of three levels; anything else would sort
    // and colour as none of them.
    m_logger->logLevel(int(qBound<qint64>(ASF_PACKET_ERROR, status, ASF_PACKET_OK)), qtext);
}

ASF_Packet *Logger::getLastAsfPacket()
{
    return handOut(m_logger->getLastAsfPacket());
}

double Logger::getLastPacketNumber()
{
    const PacketLogModel *model = m_logger->model();
    if (!model || model->size() == 0)
        return 0;
    const int row = model->displayRow(model->size() - 1);
    return row < 0 ? 0 : model->rowTexts(row).number.toDouble();
}

ASF_Packet *Logger::getPacket(double number)
{
    // The row reached by stepping number + 1 times from the first row: the
    // row numbered number + 2, the first for a negative number, the last
    // when the list is shorter.
    const PacketLogModel *model = m_logger->model();
    if (!model || model->size() == 0)
        return nullptr;
    const int size = model->size();
    double steps = std::isnan(number) ? 0 : std::floor(number) + 1;
    const int row = steps <= 0 ? 0 : steps >= size - 1 ? size - 1 : int(steps);
    return handOut(model->packetAt(row));
}

bool Logger::haveRecord(ASF_Packet *packet, const char *slot)
{
    if (packet)
        return true;
    if (QJSEngine *engine = qjsEngine(this))
        engine->throwError(QJSValue::TypeError, QStringLiteral("%1.%2(): no record given").arg(objectName(), QLatin1String(slot)));
    return false;
}

ASF_RMCP_Packet *Logger::convertAsfPacketToRMCP(ASF_Packet *AsfPkt)
{
    if (!haveRecord(AsfPkt, "convertAsfPacketToRMCP"))
        return nullptr;
    const int type = AsfPkt->protocolType();
    if (type != ASF_Packet::Rmcp && type != ASF_Packet::RmcpRsp)
        return nullptr;
    return handOut(qobject_cast<ASF_RMCP_Packet *>(AsfPkt));
}

ASF_PET_Packet *Logger::convertAsfPacketToPET(ASF_Packet *AsfPkt)
{
    if (!haveRecord(AsfPkt, "convertAsfPacketToPET"))
        return nullptr;
    if (AsfPkt->protocolType() != ASF_Packet::PetTrap)
        return nullptr;
    return handOut(qobject_cast<ASF_PET_Packet *>(AsfPkt));
}

ASF_LogPacket *Logger::convertAsfPacketToLog(ASF_Packet *AsfPkt)
{
    if (!haveRecord(AsfPkt, "convertAsfPacketToLog"))
        return nullptr;
    if (AsfPkt->protocolType() != ASF_Packet::LogLine)
        return nullptr;
    return handOut(qobject_cast<ASF_LogPacket *>(AsfPkt));
}

bool Logger::saveLogToFile(const QString &filename)
{
    return m_logger->writeLogToFilename(filename, false);
}

bool Logger::saveLog()
{
    return m_logger->writeLogToFilename(QString(), false);
}

bool Logger::showLogFile(const QString &filename)
{
    const QString name = filename.isEmpty() ? m_logger->lastFileName() : filename;
    // A file that is missing or cannot be read is no fault worth a line.
    QFile file(name);
    if (name.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    file.close();
    if (!m_viewerHook) {
        trace(QStringLiteral("script LOGGER.showLogFile(): no viewer without a window, %1 not shown\n").arg(name));
        return false;
    }
    return m_viewerHook(name);
}

void Logger::emitSignal()
{
    emit newPacketSignal();
}

ASF_Packet *Logger::waitForPacket(double timeoutMs)
{
    bool arrived = false;
    ScriptHost::waitFor(timeoutMs, [&arrived] { return arrived; },
                        [this, &arrived](const std::function<void()> &check) {
                            return QObject::connect(m_logger, &ASF_Logger::newPacketSignal, this, [&arrived, check] {
                                arrived = true;
                                check();
                            });
                        });
    return arrived ? getLastAsfPacket() : nullptr;
}

// One forwarding however many listeners: each connection of its own would
// call every listener once more per record.
void Logger::connectNotify(const QMetaMethod &signal)
{
    if (signal != QMetaMethod::fromSignal(&Logger::newPacketSignal))
        return;
    if (m_listeners++ == 0)
        m_forwarding = QObject::connect(m_logger, &ASF_Logger::newPacketSignal, this, &Logger::emitSignal);
}

void Logger::disconnectNotify(const QMetaMethod &signal)
{
    // An invalid method: all connections of the object went at once.
    if (signal.isValid() && signal != QMetaMethod::fromSignal(&Logger::newPacketSignal))
        return;
    if (!signal.isValid())
        m_listeners = 0;
    else if (m_listeners > 0)
        --m_listeners;
    if (m_listeners == 0 && m_forwarding) {
        QObject::disconnect(m_forwarding);
        m_forwarding = {};
    }
}

// --- RMCMHandler ----------------------------------------------------------------------

RMCMHandler::RMCMHandler(ASF_RMCP_Handler *handler, QObject *parent, const QString &name)
    : QObject(parent), m_handler(handler)
{
    setObjectName(name);
}

void RMCMHandler::createDialog()
{
    // The handler's settings are the configuration dialog's store; the
    // window shows them on the dialog and the page whenever they change.
    if (!m_handler->isConfigured())
        m_handler->configure();
}

bool RMCMHandler::getConnectionState()
{
    return m_handler->isConnected();
}

double RMCMHandler::getConsolSequenceNumber()
{
    return m_handler->consoleSequenceNumber();
}

bool RMCMHandler::setConsolSequenceNumber(qint64 ui)
{
    if (ui < 0 || ui > 255) {
        trace(QStringLiteral("script RMCP_HANDLER.setConsolSequenceNumber() called with wrong value\n"));
        return false;
    }
    m_handler->setConsoleSequenceNumber(quint8(ui));
    return true;
}

double RMCMHandler::getConsolMessageTag()
{
    return m_handler->consoleMessageTag();
}

bool RMCMHandler::setConsolMessageTag(qint64 ui)
{
    if (ui < 0 || ui > 255) {
        trace(QStringLiteral("script RMCP_HANDLER.setConsolMessageTag() called with wrong value\n"));
        return false;
    }
    m_handler->setConsoleMessageTag(quint8(ui));
    return true;
}

double RMCMHandler::getNextClientSequenceNumber()
{
    return m_handler->expectedClientSequenceNumber();
}

double RMCMHandler::setNextClientSequenceNumber(qint64 ui)
{
    if (ui < 0 || ui > 255)
        trace(QStringLiteral("script RMCP_HANDLER.setNextClientSequenceNumber() called with wrong value\n"));
    m_handler->setExpectedClientSequenceNumber(low8(ui));
    return low8(ui);
}

QString RMCMHandler::getClientIpAddress()
{
    if (m_handler->isConnected() || m_handler->config().address.isEmpty())
        return m_handler->clientAddress().toString();
    return m_handler->config().address;
}

double RMCMHandler::getIpPort()
{
    return m_handler->config().port();
}

bool RMCMHandler::setConfiguration(const QString &clientIpAddress, qint64 clientPort, qint64 clientResponseTime,
                                   qint64 maxRetransmissions, bool useRsp, qint64 role, const QString &uName,
                                   const QString &key, const QString &generatorKey)
{
    createDialog();
    if (clientPort != rmcp::PlainRmcpPort && clientPort != rmcp::SecureRmcpPort) {
        trace(QStringLiteral("script RMCP_HANDLER.configure() error: bad client port\n"));
        return false;
    }
    if (!rmcp::parseIpAddress(clientIpAddress)) {
        trace(QStringLiteral("script RMCP_HANDLER.configure() error: bad IP address"));
        return false;
    }
    if (clientResponseTime < 0 || clientResponseTime > INT_MAX) {
        trace(QStringLiteral("script RMCP_HANDLER.configure() bad client Response Time\n"));
        return false;
    }
    if (maxRetransmissions < 0 || maxRetransmissions > INT_MAX) {
        trace(QStringLiteral("script RMCP_HANDLER.configure() bad max. Retransmissions\n"));
        return false;
    }
    rmcp::RmcpSettings s = m_handler->config();
    s.address = clientIpAddress;
    s.portIndex = clientPort == rmcp::PlainRmcpPort ? 0 : 1;
    s.responseTime = QString::number(clientResponseTime);
    s.retransmissionOn = maxRetransmissions != 0;
    s.repeats = QString::number(maxRetransmissions);
    s.rspOn = useRsp;
    if (useRsp) {
        s.name = uName;
        if (role == 0) {
            s.role = rmcp::OperatorRole;
            s.operatorKey = key;
        } else {
            s.role = rmcp::AdministratorRole;
            s.administratorKey = key;
        }
        s.generatorKey = generatorKey;
    }
    m_handler->setConfig(s);
    activateConfiguration();
    return true;
}

void RMCMHandler::activateConfiguration()
{
    m_handler->applyConfig();
}

double RMCMHandler::getNumberOfRetransmissions()
{
    return m_handler->maxRetransmissions();
}

double RMCMHandler::setNumberOfRetransmissions(qint64 ui)
{
    if (ui < 0 || ui > INT_MAX) {
        trace(QStringLiteral("script RMCP_HANDLER.setNumberOfRetransmissions called with wrong value\n"));
        return m_handler->maxRetransmissions();
    }
    createDialog();
    m_handler->setMaxRetransmissions(int(ui));
    return double(ui);
}

bool RMCMHandler::getDoRetransmissions()
{
    return m_handler->retransmissionCount() != 0;
}

bool RMCMHandler::setDoRetransmissions(bool ui)
{
    createDialog();
    m_handler->setRetransmissionOn(ui);
    return ui;
}

double RMCMHandler::getClientResponseTime()
{
    return m_handler->clientResponseTime();
}

double RMCMHandler::setClientResponseTime(qint64 ui)
{
    if (ui < 1 || ui > INT_MAX) {
        trace(QStringLiteral("script RMCP_HANDLER.setClientResponseTime called with wrong value\n"));
        return 0;
    }
    createDialog();
    m_handler->setClientResponseTime(int(ui));
    return double(ui);
}

void RMCMHandler::connect()
{
    m_handler->connectToClient();
}

void RMCMHandler::disconnect()
{
    if (!m_handler->isConnected())
        return;
    if (!m_handler->isConfigured())
        m_handler->logger()->logLevel(ASF_PACKET_ERROR, QStringLiteral("error: nothing configured"));
    else
        m_handler->connection()->disconnectFromClient();
}

void RMCMHandler::killConnection()
{
    m_handler->killConnection();
}

void RMCMHandler::send(qint64 version, qint64 reserved1, bool ownSeqNr, qint64 sequenceNr, qint64 messageClass,
                       double ianaEnterpriseNr, qint64 messageType, bool ownMsgTag, qint64 messageTag,
                       qint64 reserved2, qint64 dataLength, const QString &dataString, qint64 rspSend)
{
    m_handler->sendPacketRsp(low8(version), low8(reserved1), ownSeqNr, low8(sequenceNr), low8(messageClass),
                             whole32(ianaEnterpriseNr), low8(messageType), ownMsgTag, low8(messageTag),
                             low8(reserved2), low8(dataLength), dataString, int(qBound(qint64(INT_MIN), rspSend, qint64(INT_MAX))));
}

void RMCMHandler::sendRSP(qint64 version, qint64 reserved1, bool ownSeqNr, qint64 sequenceNr, qint64 messageClass,
                          double ianaEnterpriseNr, qint64 messageType, bool ownMsgTag, qint64 messageTag,
                          qint64 reserved2, qint64 dataLength, const QString &dataString, qint64 rspSend,
                          bool sendTail, bool ownSessionID, double sessionID, bool ownRspSequenceNumber,
                          double rspSequenceNumber, bool ownPad, const QString &pad, bool ownPadLenght,
                          qint64 padLength, bool ownNextHeader, qint64 nextHeader, bool falseInterityData)
{
    m_handler->sendPacketGeneric(low8(version), low8(reserved1), ownSeqNr, low8(sequenceNr), low8(messageClass),
                                 whole32(ianaEnterpriseNr), low8(messageType), ownMsgTag, low8(messageTag),
                                 low8(reserved2), low8(dataLength), dataString,
                                 int(qBound(qint64(INT_MIN), rspSend, qint64(INT_MAX))), sendTail, ownSessionID,
                                 whole32(sessionID), ownRspSequenceNumber, whole32(rspSequenceNumber), ownPad, pad,
                                 ownPadLenght, low8(padLength), ownNextHeader, low8(nextHeader), falseInterityData);
}

bool RMCMHandler::setPlainRmcpPort(qint64 port)
{
    if (port < 1 || port > 65535) {
        trace(QStringLiteral("script RMCP_HANDLER.setPlainRmcpPort() called with wrong value\n"));
        return false;
    }
    m_handler->connection()->setPlainPort(quint16(port));
    return true;
}

bool RMCMHandler::setSecureRmcpPort(qint64 port)
{
    if (port < 1 || port > 65535) {
        trace(QStringLiteral("script RMCP_HANDLER.setSecureRmcpPort() called with wrong value\n"));
        return false;
    }
    rsp::Environment env;
    env.port = quint16(port);
    m_handler->connection()->setRspManagerFactory(rsp::qrspManagerFactory(env));
    return true;
}

bool RMCMHandler::isBusy()
{
    return m_handler->tracker().tracking();
}

bool RMCMHandler::waitIdle(double timeoutMs)
{
    return ScriptHost::waitFor(timeoutMs, [this] { return !m_handler->tracker().tracking(); },
                               [this](const std::function<void()> &check) {
                                   return QObject::connect(m_handler, &ASF_RMCP_Handler::sendEnabledChanged, this,
                                                           [check] { check(); });
                               });
}

double RMCMHandler::getRspSessionStatus()
{
    rmcp::RspManager *manager = m_handler->rspManager();
    QRssp *session = m_handler->rspSession();
    if (!manager || !session)
        return -1;
    return manager->sessionStatusCode(session);
}

// --- PETHandler -----------------------------------------------------------------------

PETHandler::PETHandler(ASF_PET_Handler *handler, QObject *parent, const QString &name)
    : QObject(parent), m_handler(handler)
{
    setObjectName(name);
    const pet::PetSettings s = handler->settings();
    m_texts.address = s.address.toString();
    m_texts.port = QString::number(s.port);
    m_texts.heartbeatCheck = s.heartbeatCheck;
    m_texts.interval = QString::number(s.heartbeatInterval / 60000);
    m_texts.tolerance = QString::asprintf("%g", double(s.heartbeatTolerance));
}

bool PETHandler::getConnectionState()
{
    return m_handler->isListening();
}

QString PETHandler::getConsolIpAddress()
{
    return m_handler->localAddress().toString();
}

double PETHandler::getConsolIpPort()
{
    return m_handler->port();
}

bool PETHandler::checkHeartbeat()
{
    return m_handler->heartbeatCheck();
}

double PETHandler::getHeartbeatInterval()
{
    return m_handler->heartbeatInterval();
}

double PETHandler::getHeartbeatTolerance()
{
    return m_handler->heartbeatTolerance();
}

bool PETHandler::setConfiguration(const QString &consolIpAddress, qint64 consolPort, bool checkHeartbeat,
                                  qint64 heartbeatInterval, double heartbeatTolerance)
{
    const QHostAddress address(consolIpAddress.trimmed());
    if (address.isNull()) {
        trace(QStringLiteral("script PET_HANDLER.setConfiguration() error: bad IP address"));
        return false;
    }
    m_texts.address = address.toString();
    m_texts.port = QString::asprintf("%d", int(qint32(quint32(quint64(consolPort)))));
    m_texts.heartbeatCheck = checkHeartbeat;
    m_texts.interval = QString::asprintf("%d", int(qint32(quint32(quint64(heartbeatInterval)))));
    m_handler->setHeartbeatTolerance(float(heartbeatTolerance));
    m_texts.tolerance = QString::asprintf("%f", double(float(heartbeatTolerance)));
    if (m_viewHook)
        m_viewHook(m_texts);
    m_handler->applyHeartbeatSettings(pet::PetSettings::fromTexts(m_texts.address, m_texts.port, m_texts.heartbeatCheck,
                                                                  m_texts.interval, m_texts.tolerance));
    return true;
}

void PETHandler::connect()
{
    if (m_connectHook) {
        m_connectHook();
        return;
    }
    const pet::PetSettings s = pet::PetSettings::fromTexts(m_texts.address, m_texts.port, m_texts.heartbeatCheck,
                                                           m_texts.interval, m_texts.tolerance);
    m_handler->listen(s);
    m_handler->applyHeartbeatSettings(s);
}

} // namespace velquor::script
