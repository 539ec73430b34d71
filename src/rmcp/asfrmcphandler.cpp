#include "rmcp/asfrmcphandler.h"

#include "core/asflogger.h"
#include "core/datagramsocket.h"
#include "core/trace.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpcompose.h"
#include "rmcp/rmcpconnection.h"
#include "rmcp/rmcplayout.h"

#include <QTimer>
#include <QtEndian>
#include <cstdio>

using namespace velquor;
using namespace velquor::rmcp;

namespace {

constexpr int MaxDataBytes = 1000;
constexpr int MaxPadBytes = 4;

const QString SendSeparator = QStringLiteral("\n--------------------------------------\nRMCP send packet\n");

void appendBigEndian(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

QByteArray validBytes(const ASF_Packet &record)
{
    return record.data().left(record.dataSize());
}

} // namespace

ASF_RMCP_Handler::ASF_RMCP_Handler(LogClock *clock, QObject *parent, const char *name)
    : QObject(parent), m_clock(clock), m_logger(std::make_unique<ASF_Logger>()), m_timer(new QTimer(this))
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    if (m_clock)
        m_clock->restart();
    m_logger->setObjectName(objectName());
    m_logger->setTimeBase(m_clock);
    // The log lists whether or not a view shows it: scripts and a runner
    // without windows read it too.
    m_logger->setListing(true);
    m_connection = new RmcpConnection(this);
    // The client gets its full response time: a coarse timer may fire up
    // to 5 % early.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &ASF_RMCP_Handler::doTimer);
}

ASF_RMCP_Handler::~ASF_RMCP_Handler()
{
    // The connection's sockets and manager report into the log: they go first.
    delete m_connection;
    m_connection = nullptr;
    m_logger.reset();
}

bool ASF_RMCP_Handler::isConnected() const
{
    return m_connection && m_connection->state().connected;
}

void ASF_RMCP_Handler::setClient(const QHostAddress &address, quint16 port)
{
    m_address = address;
    m_port = port;
}

void ASF_RMCP_Handler::setPort(quint16 port)
{
    m_port = port;
}

void ASF_RMCP_Handler::setRsp(RspManager *manager, QRssp *session)
{
    m_rsp = manager;
    m_rssp = session;
}

// --- settings ---------------------------------------------------------------------

void ASF_RMCP_Handler::setConfig(const RmcpSettings &settings)
{
    m_configured = true;
    if (settings == m_config)
        return;
    m_config = settings;
    emit configChanged();
}

bool ASF_RMCP_Handler::setClientResponseTime(int ms)
{
    if (ms < 1)
        return false;
    m_responseTime = ms;
    if (m_timer->isActive())
        m_timer->setInterval(ms);
    RmcpSettings s = m_config;
    s.responseTime = QString::number(ms);
    setConfig(s);
    return true;
}

bool ASF_RMCP_Handler::setMaxRetransmissions(int count)
{
    if (count < 0)
        return false;
    m_tracker.setMaxRetransmissions(count);
    RmcpSettings s = m_config;
    s.repeats = QString::number(count);
    setConfig(s);
    return true;
}

void ASF_RMCP_Handler::setRetransmissionOn(bool on)
{
    m_tracker.setRetransmissionOn(on);
    RmcpSettings s = m_config;
    s.retransmissionOn = on;
    setConfig(s);
}

void ASF_RMCP_Handler::configure()
{
    RmcpSettings s = m_config;
    s.portIndex = m_port == m_connection->plainPort() ? 0 : 1;
    s.responseTime = QString::number(m_responseTime);
    s.repeats = QString::number(m_tracker.maxRetransmissions());
    s.retransmissionOn = m_tracker.retransmissionOn();
    setConfig(s);
    emit configureRequested();
}

void ASF_RMCP_Handler::applyConfig()
{
    const bool on = m_config.retransmissionOn;
    int period = m_config.responseTimeMs();
    const int repeats = m_config.repeatCount();
    if (period < 1) {
        // A repeating timer of 0 ms would spin, a negative one never fire.
        m_logger->logLevel(ASF_PACKET_WARNING,
                           QStringLiteral("warning: client response time below 1 ms refused-client response time "
                                          "\"%1\" refused, %2 ms kept")
                               .arg(m_config.responseTime)
                               .arg(m_responseTime));
        period = m_responseTime;
    }
    if (!on) {
        m_tracker.stop();
    } else {
        if (m_timer->isActive())
            m_timer->setInterval(period);
        if (repeats != 0)
            m_tracker.setMaxRetransmissions(repeats);
        else
            m_tracker.stop();
    }
    m_tracker.setRetransmissionOn(on);
    m_useRsp = m_config.rspOn;
    setRsp(m_connection->rspManager(), m_connection->rspSession());
    m_responseTime = period;
    if (m_rsp && m_rssp)
        m_rsp->setSessionResponseTime(m_rssp, period);
    syncTracking();
}

// --- connection buttons -------------------------------------------------------------

void ASF_RMCP_Handler::connectionToggle()
{
    if (!m_configured)
        m_logger->logLevel(ASF_PACKET_ERROR, QStringLiteral("error: nothing configured"));
    else if (isConnected())
        m_connection->disconnectFromClient();
    else
        m_connection->connectToClient();
}

void ASF_RMCP_Handler::connectToClient()
{
    if (!m_configured)
        m_logger->logLevel(ASF_PACKET_ERROR, QStringLiteral("error: nothing configured"));
    else
        m_connection->connectToClient();
}

void ASF_RMCP_Handler::killConnection()
{
    if (!m_configured)
        m_logger->logLevel(ASF_PACKET_ERROR, QStringLiteral("error: no connection to kill"));
    else
        m_connection->kill();
}

// --- tracking -----------------------------------------------------------------------

void ASF_RMCP_Handler::clear()
{
    m_logger->clearLog();
    if (m_clock)
        m_clock->restart();
    m_consoleSeq = 0xFF;
    m_consoleTag = 0xFF;
    // The whole tracking ends: a request left pending would keep Send
    // disabled with no timer left to end it.
    m_tracker.reset();
    m_timer->stop();
    syncTracking();
}

void ASF_RMCP_Handler::syncTracking()
{
    if (!m_tracker.tracking())
        m_timer->stop();
    const bool enabled = !m_tracker.tracking();
    if (enabled == m_sendEnabled)
        return;
    m_sendEnabled = enabled;
    emit sendEnabledChanged(enabled);
}

void ASF_RMCP_Handler::doTimer()
{
    RequestTracker::Step step = m_tracker.tick(now());
    switch (step.kind) {
    case RequestTracker::Step::Nothing:
        break;
    case RequestTracker::Step::Stray:
        syncTracking();
        m_logger->logLevel(ASF_PACKET_ERROR, step.text);
        break;
    case RequestTracker::Step::Failed:
        syncTracking();
        m_logger->appendPacket(std::move(step.record));
        break;
    case RequestTracker::Step::Retransmit: {
        trace(step.text);
        // A copy goes out: whatever runs while it is sent (the RSP manager
        // logs its errors, scripts hear of them) may end the tracking.
        const quint64 generation = m_tracker.generation();
        std::unique_ptr<ASF_RMCP_Packet> copy = m_tracker.pendingCopy();
        const bool ok = send(*copy, RSP_SESSION, false);
        std::unique_ptr<ASF_RMCP_Packet> logged = m_tracker.retransmitted(*copy, ok, generation);
        syncTracking();
        m_logger->appendPacket(std::move(logged));
        break;
    }
    }
}

// --- composing and sending ------------------------------------------------------------

quint8 ASF_RMCP_Handler::nextConsoleSequenceNumber()
{
    m_consoleSeq = m_consoleSeq >= 254 ? 0 : quint8(m_consoleSeq + 1);
    return m_consoleSeq;
}

quint8 ASF_RMCP_Handler::nextConsoleMessageTag()
{
    m_consoleTag = m_consoleTag >= 254 ? 0 : quint8(m_consoleTag + 1);
    return m_consoleTag;
}

void ASF_RMCP_Handler::sendPacketGeneric(quint8 version, quint8 reserved1, bool ownSeqNr, quint8 sequenceNr,
                                         quint8 messageClass, quint32 ianaEnterpriseNr, quint8 messageType,
                                         bool ownMsgTag, quint8 messageTag, quint8 reserved2, quint8 dataLength,
                                         const QString &dataString, int rspSend, bool sendTail, bool ownSessionID,
                                         quint32 sessionID, bool ownRspSequenceNumber, quint32 rspSequenceNumber,
                                         bool ownPad, const QString &pad, bool ownPadLenght, quint8 padLength,
                                         bool ownNextHeader, quint8 nextHeader, bool falseInterityData)
{
    QByteArray bytes;
    bytes.reserve(MessageHeaderSize + MaxDataBytes);
    bytes.append(char(version));
    bytes.append(char(reserved1));
    bytes.append(char(ownSeqNr ? sequenceNr : nextConsoleSequenceNumber()));
    bytes.append(char(messageClass));
    appendBigEndian(bytes, ianaEnterpriseNr);
    bytes.append(char(messageType));
    bytes.append(char(ownMsgTag ? messageTag : nextConsoleMessageTag()));
    bytes.append(char(reserved2));
    // As given, not counted: a test may make it disagree with the data.
    bytes.append(char(dataLength));

    auto record = std::make_unique<ASF_RMCP_Packet>(now());
    record->setDirection(ASF_Packet::Sent);
    if (!dataString.isNull()) {
        const std::optional<QByteArray> data = readHexText(dataString, MaxDataBytes);
        if (data) {
            bytes.append(*data);
        } else {
            // Kept through the check below, which rewrites only the info.
            record->setError();
            record->fields().setFieldStatus(FieldId::RmcpData, ASF_PACKET_ERROR,
                                            QStringLiteral("error: error evaluate data string"));
        }
    }
    record->setData(bytes);

    if (rspSend == RSP_GENERIC) {
        RspOverrides o;
        o.sendTail = sendTail;
        o.ownSessionID = ownSessionID;
        o.sessionID = sessionID;
        o.ownRspSequenceNumber = ownRspSequenceNumber;
        o.rspSequenceNumber = rspSequenceNumber;
        o.ownPad = ownPad;
        o.pad = pad;
        o.ownPadLength = ownPadLenght;
        o.padLength = padLength;
        o.ownNextHeader = ownNextHeader;
        o.nextHeader = nextHeader;
        o.falseIntegrityData = falseInterityData;
        sendGeneric(*record, rspSend, o, true);
    } else {
        send(*record, rspSend, true);
    }
    m_logger->appendPacket(std::move(record));
}

void ASF_RMCP_Handler::sendPacketRsp(quint8 version, quint8 reserved1, bool ownSeqNr, quint8 sequenceNr,
                                     quint8 messageClass, quint32 ianaEnterpriseNr, quint8 messageType,
                                     bool ownMsgTag, quint8 messageTag, quint8 reserved2, quint8 dataLength,
                                     const QString &dataString, int rspSend)
{
    sendPacketGeneric(version, reserved1, ownSeqNr, sequenceNr, messageClass, ianaEnterpriseNr, messageType,
                      ownMsgTag, messageTag, reserved2, dataLength, dataString, rspSend, false, false, 0, false, 0,
                      false, QStringLiteral(" "), false, 0, false, 0, false);
}

bool ASF_RMCP_Handler::sendData(const QByteArray &pdata, int length)
{
    auto record = std::make_unique<ASF_RMCP_Packet>(now());
    record->setDirection(ASF_Packet::Sent);
    record->setData(pdata.left(qMax(length, 0)));
    const bool ok = send(*record, RSP_SESSION, true);
    m_logger->appendPacket(std::move(record));
    return ok;
}

bool ASF_RMCP_Handler::sendData(ASF_RMCP_Packet *rmcpPacket, int rspSend)
{
    return rmcpPacket && send(*rmcpPacket, rspSend, true);
}

bool ASF_RMCP_Handler::sendData(ASF_RMCP_Packet *rmcpPacket, int rspSend, bool sendTail, bool ownSessionID,
                                quint32 sessionID, bool ownRspSequenceNumber, quint32 rspSequenceNumber, bool ownPad,
                                const QString &pad, bool ownPadLenght, quint8 padLength, bool ownNextHeader,
                                quint8 nextHeader, bool falseInterityData)
{
    if (!rmcpPacket)
        return false;
    RspOverrides o{sendTail,      ownSessionID, sessionID,     ownRspSequenceNumber, rspSequenceNumber, ownPad, pad,
                   ownPadLenght, padLength,    ownNextHeader, nextHeader,           falseInterityData};
    return sendGeneric(*rmcpPacket, rspSend, o, true);
}

bool ASF_RMCP_Handler::haveSession() const
{
    return m_rsp && m_rssp;
}

bool ASF_RMCP_Handler::sendFailed(ASF_RMCP_Packet &record, const QString &info)
{
    record.setError();
    record.appendInfo(info);
    m_tracker.sendFailed();
    return false;
}

// Marks the record and prints the socket's error description; true for the
// caller's convenience when the send goes on regardless.
bool ASF_RMCP_Handler::writeFailed(ASF_RMCP_Packet &record, const QString &info, int code)
{
    record.setError();
    std::fputs(socketErrorDescription(code).toLatin1().constData(), stdout);
    std::fflush(stdout);
    record.appendInfo(info);
    return true;
}

bool ASF_RMCP_Handler::sent(ASF_RMCP_Packet &record, bool track)
{
    if (track && m_tracker.start(record))
        m_timer->start(m_responseTime);
    syncTracking();
    return true;
}

bool ASF_RMCP_Handler::send(ASF_RMCP_Packet &record, int rspSend, bool track)
{
    trace(SendSeparator);
    record.setDirection(ASF_Packet::Sent);
    if (m_useRsp && rspSend == RSP_SESSION) {
        if (!haveSession())
            return sendFailed(record, QStringLiteral("error: could not send; No RSP"));
        trace(QStringLiteral("sending msg by RSP\n"));
        if (!m_rsp->sendMsg(&record, m_rssp))
            return sendFailed(record, QStringLiteral("error: Packet send failed (RSP session)"));
    } else if (m_useRsp) {
        if (!haveSession())
            return sendFailed(record, QStringLiteral("error: could not send; no RSP socket"));
        record.setTimestamp(now());
        if (m_rsp->writeRaw(validBytes(record)) < 0) {
            writeFailed(record, QStringLiteral("error: Packet send failed (write to RSP socket)"), m_rsp->socketError());
            m_tracker.sendFailed();
            return false;
        }
    } else {
        if (!m_socket)
            return sendFailed(record, QStringLiteral("error: could not send; not connected"));
        record.setTimestamp(now());
        // A failed write is tracked all the same: the timer sends it again.
        if (m_socket->write(validBytes(record)) < 0)
            writeFailed(record, QStringLiteral("error: Packet send failed (1)"), m_socket->lastError());
    }
    return sent(record, track);
}

bool ASF_RMCP_Handler::sendGeneric(ASF_RMCP_Packet &record, int rspSend, const RspOverrides &o, bool track)
{
    record.setDirection(ASF_Packet::Sent);
    trace(SendSeparator);
    if (rspSend == RSP_SESSION) {
        if (!(m_useRsp && haveSession()))
            return sendFailed(record, m_useRsp ? QStringLiteral("error: could not send; No RSP")
                                               : QStringLiteral("error: could not send; No RSP configured"));
        if (!m_rsp->sendMsg(&record, m_rssp))
            return sendFailed(record, QStringLiteral("error: Packet send failed (RSP session)"));
        return sent(record, track);
    }
    if (rspSend == RSP_GENERIC && !o.complete()) {
        // The session supplies what the caller left out.
        if (!(m_useRsp && haveSession())) {
            trace(QStringLiteral("\tERROR sending msg by RSP (generic)\n"));
            return sendFailed(record, QStringLiteral("error: incomplete generic send without RSP"));
        }
        if (!m_rsp->sendMsg(&record, m_rssp, o))
            return sendFailed(record, QStringLiteral("error: Packet send failed (RSP session)"));
        return sent(record, track);
    }
    if (rspSend == RSP_GENERIC) {
        // Every part given: the whole datagram is built here, no session needed.
        QByteArray datagram;
        appendBigEndian(datagram, o.sessionID);
        appendBigEndian(datagram, o.rspSequenceNumber);
        const qsizetype inner = validBytes(record).size();
        datagram.append(validBytes(record));
        const std::optional<QByteArray> pad = readHexText(o.pad, MaxPadBytes);
        if (pad) {
            datagram.append(*pad);
        } else {
            record.setError();
            record.fields().setFieldStatus(FieldId::RspPad, ASF_PACKET_ERROR,
                                           QStringLiteral("result of truncated configuration"));
        }
        datagram.append(char(o.padLength));
        datagram.append(char(o.nextHeader));
        datagram.append(falseIntegrityData());
        record.setProtocolType(ProtocolRmcpRsp);
        record.setProtocol(QStringLiteral("RMCP/RSP"));
        record.setDirection(ASF_Packet::Sent);
        record.setData(datagram);
        // A retransmission inside a session wraps the message again and
        // finds its length by this.
        record.setTrailerLength(int(datagram.size() - inner));
        record.setTimestamp(now());
        if (m_useRsp && haveSession()) {
            if (m_rsp->writeRaw(datagram) < 0) {
                writeFailed(record, QStringLiteral("error: Packet send failed (write to RSP socket)"),
                            m_rsp->socketError());
                m_tracker.sendFailed();
                return false;
            }
        } else if (!m_socket) {
            return sendFailed(record, QStringLiteral("error: could not send; not connected"));
        } else if (m_socket->write(datagram) < 0) {
            writeFailed(record, QStringLiteral("error: Packet send failed (write to RMCP socket [req. no RSP])"),
                        m_socket->lastError());
        }
        return sent(record, track);
    }
    // The bytes as they are.
    record.setTimestamp(now());
    if (m_useRsp && haveSession()) {
        if (m_rsp->writeRaw(validBytes(record)) < 0) {
            trace(QStringLiteral("\tsending msg by RSP socket; FAILED\n"));
            writeFailed(record, QStringLiteral("error: Packet send failed (write to RSP socket)"), m_rsp->socketError());
            m_tracker.sendFailed();
            return false;
        }
    } else if (!m_socket) {
        trace(QStringLiteral("\terror sending msg; no socket\n"));
        return sendFailed(record, QStringLiteral("error: could not send; not connected"));
    } else if (m_socket->write(validBytes(record)) < 0) {
        trace(QStringLiteral("\tsending msg by RMCP socket; FAILED\n"));
        writeFailed(record, QStringLiteral("error: Packet send failed (write to RMCP socket [req. no RSP])"),
                    m_socket->lastError());
    }
    return sent(record, track);
}

QString ASF_RMCP_Handler::socketErrorDescription(int code)
{
    static const char *const texts[] = {
        " - No error has occurred",
        "- The device is already bound, according to bind(). ",
        " - The operating system or firewall prohibited the action. ",
        " - The operating system ran out of a resource. ",
        " - An internal error occurred in QSocketDevice. ",
        " - An attempt was made to do something which makes no sense.",
        " - The operating system will not let QSocketDevice open another file.",
        " - A connection attempt was rejected by the peer. ",
        " - There is a network failure. ",
        " - The operating system did something unexpected.",
    };
    if (code < 0 || code > SocketUnknownError)
        return QStringLiteral(" - unhandled error");
    return QString::fromLatin1(texts[code]);
}

// --- receiving ------------------------------------------------------------------------

void ASF_RMCP_Handler::readDatagram(DatagramSocket *socket)
{
    if (!socket)
        return;
    std::vector<ReceivedDatagram> batch;
    if (socket->readPending(batch) == 0) {
        // Woken with nothing to read: the system heard an ICMP port
        // unreachable for an earlier write (the read cleared it).
        m_logger->logLevel(ASF_PACKET_WARNING,
                           QStringLiteral("check managed client adress and port-managed client address or port "
                                          "might be wrong"));
        trace(QStringLiteral("\tASF_RMCP_Handler receive error\n"));
        return;
    }
    for (const ReceivedDatagram &datagram : batch)
        receiveDatagram(datagram.data);
}

void ASF_RMCP_Handler::traceReceived(const QByteArray &bytes)
{
    if (!traceEnabled())
        return;
    QString text = QStringLiteral("\treceived %1 bytes\n").arg(bytes.size());
    trace(text);
    text = QStringLiteral("\t0 - 4: ");
    text.reserve(8 + bytes.size() * 4);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        text += QString::asprintf(" %02hhx", quint8(bytes[i]));
        if ((i + 1) % 4 == 0)
            text += QStringLiteral("\n\t%1 - %2: ").arg(i + 1).arg(i + 5);
    }
    text += QLatin1Char('\n');
    trace(text);
}

void ASF_RMCP_Handler::receiveDatagram(const QByteArray &bytes)
{
    traceReceived(bytes);
    auto record = std::make_unique<ASF_RMCP_Packet>(now());
    record->setDirection(ASF_Packet::Received);
    record->setData(bytes);
    processPacket(std::move(record));
}

void ASF_RMCP_Handler::receiveRspMessage(const QByteArray &bytes)
{
    auto record = std::make_unique<ASF_RMCP_Packet>(now());
    record->setProtocolType(ProtocolRmcpRsp);
    record->setProtocol(QStringLiteral("RMCP/RSP"));
    record->setDirection(ASF_Packet::Received);
    record->setData(bytes);
    processPacket(std::move(record));
}

void ASF_RMCP_Handler::processPacket(std::unique_ptr<ASF_RMCP_Packet> record)
{
    if (!record)
        return;
    const bool acknowledgeDue = m_tracker.received(*record);
    syncTracking();
    // Built before the record is logged: a script that hears of the new row
    // may clear the log or disconnect.
    const QByteArray acknowledge =
        acknowledgeDue ? acknowledgeFor(validBytes(*record), record->protocolType()) : QByteArray();
    m_logger->appendPacket(std::move(record));
    if (!acknowledge.isEmpty())
        sendData(acknowledge, int(acknowledge.size()));
}
