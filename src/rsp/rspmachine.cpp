#include "rsp/rspmachine.h"

#include "core/asflogger.h"
#include "core/logclock.h"
#include "core/textformat.h"
#include "core/trace.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpcompose.h"
#include "rmcp/rmcplayout.h"
#include "rmcp/rmcptables.h"
#include "rsp/rspsteps.h"

#include <QtEndian>

namespace velquor::rsp {

using rmcp::FieldId;

namespace {

const char *const PhaseNames[] = {"Idle", "Discovery", "Creation", "MsgTransfer", "Termination", "hsEnd"};
const char *const StateNames[] = {"Idle",        "SendReq",         "WaitReqAck",  "WaitResp",
                                  "SendRespAck", "Send_RAKP_1",     "Wait_RAKP_1_Ack", "Wait_RAKP_2",
                                  "Send_RAKP_2_Ack", "Send_RAKP_3", "Wait_RAKP_3_Ack", "msEnd"};

constexpr char Separator[] = "\n--------------------------------------\n";

} // namespace

const char *phaseName(int phase)
{
    return phase >= 0 && phase <= PhaseEnd ? PhaseNames[phase] : "?";
}

const char *messageStateName(int state)
{
    return state >= 0 && state <= MsEnd ? StateNames[state] : "?";
}

// --- sessions ---------------------------------------------------------------

Session::Session(const SessionSettings &settings)
    : operatorKey(settings.operatorKey.left(MaxKeySize)), administratorKey(settings.administratorKey.left(MaxKeySize)),
      generatorKey(settings.generatorKey.left(MaxKeySize)), role(settings.role), timerPeriod(settings.timerPeriod),
      noAcknowledge(settings.noAcknowledge)
{
    kx.rolem = settings.role ? 1 : 0;
    const QByteArray name = settings.userName.toLatin1();
    if (name.size() <= MaxUserName)
        kx.uname = name;
    traceF("QRssp::QRssp(), type:%d\n", role);
}

Session::~Session()
{
    trace(QStringLiteral("QRssp::~QRssp\n"));
}

quint32 Session::sidm() const
{
    return qFromBigEndian<quint32>(kx.sidm.constData());
}

quint32 Session::sidc() const
{
    return qFromBigEndian<quint32>(kx.sidc.constData());
}

// --- the trace ----------------------------------------------------------------

QString traceHexDump(QByteArrayView bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(bytes.size() * 2 + bytes.size() / 4 + bytes.size() / 16 * 3 + 4);
    out += QLatin1String("  ");
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i && i % 16 == 0)
            out += QLatin1String("\n  ");
        else if (i && i % 4 == 0)
            out += QLatin1Char(' ');
        const auto b = quint8(bytes[i]);
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 15]);
    }
    out += bytes.size() % 16 ? QLatin1String("\n\n") : QLatin1String("\n");
    return out;
}

QString hexRun(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex().toUpper());
}

void traceHashFailure(HashResult::Outcome outcome)
{
    trace(outcome == HashResult::InitFailed ? QStringLiteral("  mhash_hmac_init(), failed\n")
                                            : QStringLiteral("  mhash_hmac_deinit(), failed\n"));
}

// --- common parts of the steps ------------------------------------------------

quint32 RspMachine::Steps::now() const
{
    return m.m_clock.elapsed();
}

void RspMachine::Steps::log(std::unique_ptr<ASF_Packet> packet)
{
    if (m.m_log)
        m.m_log->appendPacket(std::move(packet));
}

void RspMachine::Steps::logReceived(Session &s)
{
    if (!s.receivedPacket)
        return;
    s.info = s.receivedPacket->info();
    log(std::move(s.receivedPacket));
}

void RspMachine::Steps::logLine(int status, const QString &text)
{
    if (m.m_log)
        m.m_log->logLevel(status, text);
}

void RspMachine::Steps::record(const QByteArray &message)
{
    const quint32 t = now();
    auto packet = std::make_unique<ASF_RMCP_Packet>(t);
    packet->setProtocolType(rmcp::ProtocolRmcpRsp);
    packet->setProtocol(QStringLiteral("RMCP/RSP"));
    packet->setDirection(ASF_Packet::Sent);
    trace(QStringLiteral("  - Outgoing data at time: %1 -\n").arg(timestampText(t)));
    packet->setData(message);
    log(std::move(packet));
}

void RspMachine::Steps::write(const QByteArray &datagram)
{
    if (m.m_host.write(datagram) < 0)
        trace(QStringLiteral("  - write to the RSP socket failed -\n"));
}

void RspMachine::Steps::traceOutgoing(const QByteArray &datagram)
{
    traceF("  - Outgoing data (%d bytes) -\n", int(datagram.size()));
    trace(traceHexDump(datagram));
}

bool RspMachine::Steps::sendMessage(Session &s, int type)
{
    s.lastSent.clear();
    const std::optional<QByteArray> message = compose(s, type);
    if (!message)
        return false;
    s.lastSent = *message;
    traceOutgoing(*message);
    record(*message);
    write(*message);
    if (s.timerPeriod > 0)
        m.m_host.startSessionTimer(s);
    return true;
}

void RspMachine::Steps::sendAck(Session &s)
{
    if (s.received.size() < rmcp::RspHeaderSize + rmcp::RmcpHeaderSize)
        return;
    QByteArray ack = s.received.left(rmcp::RspHeaderSize + rmcp::RmcpHeaderSize);
    ack[11] = char(quint8(ack[11]) | rmcp::AcknowledgeBit);
    s.lastSent = ack;
    traceOutgoing(ack);
    record(ack);
    s.ackWritten = true;
    write(ack);
    m.m_writeNotifier = true;
    m.m_host.queueWriteEvent();
}

void RspMachine::Steps::advance(Session &s)
{
    int &ms = m.m_messageState;
    switch (s.phase) {
    case PhaseDiscovery:
        if (ms < MsSendRespAck) {
            ++ms;
        } else if (ms == MsSendRespAck) {
            ms = MsIdle;
            s.phase = PhaseCreation;
        }
        break;
    case PhaseCreation:
        if (ms < MsWaitRakp3Ack) {
            ++ms;
        } else if (ms == MsWaitRakp3Ack) {
            ms = MsIdle;
            s.phase = PhaseMsgTransfer;
        }
        break;
    case PhaseTermination:
        if (ms < MsSendRespAck)
            ++ms;
        else if (ms == MsSendRespAck)
            ms = MsIdle;
        break;
    default:
        break;
    }
}

// Whether the session's phase and the message state wait for a datagram: a
// datagram that nobody waits for leaves the time-out running.
bool RspMachine::Steps::awaits(const Session &s) const
{
    const int ms = m.m_messageState;
    switch (s.phase) {
    case PhaseDiscovery:
    case PhaseTermination:
        return ms == MsWaitReqAck || ms == MsWaitResp;
    case PhaseCreation:
        return ms == MsWaitReqAck || ms == MsWaitResp || ms == MsWaitRakp1Ack || ms == MsWaitRakp2
               || ms == MsWaitRakp3Ack;
    case PhaseMsgTransfer:
        return true;
    default:
        return false;
    }
}

void RspMachine::Steps::report(Session &s, int status)
{
    s.status = status;
    m.m_host.statusChanged(s);
}

void RspMachine::Steps::mark(Session &s, FieldId field, int fieldStatus, const QString &fieldText,
                             const QString &info, int level)
{
    ASF_RMCP_Packet *p = s.receivedPacket.get();
    if (!p)
        return;
    p->fields().setFieldStatus(field, fieldStatus, fieldText);
    p->appendInfo(info);
    if (level == ASF_PACKET_ERROR)
        p->setError();
    else
        p->setWarning();
}

void RspMachine::Steps::badAcknowledge(Session &s)
{
    if (ASF_RMCP_Packet *p = s.receivedPacket.get()) {
        p->appendInfo(QStringLiteral("error: incorrect acknowledge"));
        p->setError();
    }
}

void RspMachine::Steps::outOfState(Session &s)
{
    if (ASF_RMCP_Packet *p = s.receivedPacket.get()) {
        p->appendInfo(QStringLiteral("error: received packet out of state"));
        p->setError();
    }
    logReceived(s);
}

// --- phases ---------------------------------------------------------------------

void RspMachine::Steps::reader(Session &s)
{
    switch (s.phase) {
    case PhaseDiscovery:
        discoveryReader(s);
        break;
    case PhaseCreation:
        creationReader(s);
        break;
    case PhaseMsgTransfer:
        messageTransferReader(s);
        break;
    case PhaseTermination:
        terminationReader(s);
        break;
    default:
        break; // a closed session: dropped
    }
    s.received.clear();
    s.receivedPacket.reset();
}

void RspMachine::Steps::writer(Session &s)
{
    switch (s.phase) {
    case PhaseDiscovery:
        discoveryWriter(s);
        break;
    case PhaseCreation:
        creationWriter(s);
        break;
    case PhaseTermination:
        terminationWriter(s);
        break;
    default:
        break;
    }
}

void RspMachine::Steps::discoveryWriter(Session &s)
{
    traceF("%sDiscv: wr: [%s][%s]\n", Separator, phase(s), state());
    switch (m.m_messageState) {
    case MsIdle:
        s.phase = PhaseDiscovery;
        sendMessage(s, rmcp::TypePresencePing);
        m.m_messageState = s.noAcknowledge ? MsWaitResp : MsWaitReqAck;
        break;
    case MsSendRespAck:
        sendAck(s);
        break;
    default:
        traceF("Discv: wr: [%s][%s] unhandled\n", phase(s), state());
    }
}

void RspMachine::Steps::discoveryReader(Session &s)
{
    traceF("Discv: rd: [%s][%s]\n", phase(s), state());
    switch (m.m_messageState) {
    case MsWaitReqAck:
        if (!getMsg(s, rmcp::RspHeaderSize + rmcp::RmcpHeaderSize))
            return creationErrorEnd(s, "Discv");
        if (!acknowledgeMatches(s)) {
            badAcknowledge(s);
            return creationErrorEnd(s, "Discv");
        }
        traceF("Discv: rd: [%s][%s] (ok)\n", phase(s), state());
        logReceived(s);
        m.m_messageState = MsWaitResp;
        if (s.timerPeriod > 0)
            m.m_host.startSessionTimer(s);
        break;
    case MsWaitResp:
        trace(QStringLiteral("  \"Presence Pong\" checking\n"));
        if (!getMsg(s, 36) || !checkMessage(s, rmcp::TypePresencePong))
            return creationErrorEnd(s, "Discv");
        traceF("Discv: rd: [%s][%s] (ok)\n", phase(s), state());
        logReceived(s);
        if (!s.peerWantsNoAck) {
            m.m_messageState = MsSendRespAck;
            discoveryWriter(s);
        } else {
            s.phase = PhaseCreation;
            m.m_messageState = MsIdle;
            creationWriter(s);
        }
        break;
    default:
        traceF("Discv: rd: [%s][%s] unhandled\n", phase(s), state());
        outOfState(s);
    }
}

void RspMachine::Steps::creationErrorEnd(Session &s, const char *step)
{
    traceF("%s: rd: [%s][%s] (error)\n", step, phase(s), state());
    logReceived(s);
    report(s, StatusCreationFailed);
}

void RspMachine::Steps::creationWriter(Session &s)
{
    traceF("%sCreat: wr: [%s][%s]\n", Separator, phase(s), state());
    switch (m.m_messageState) {
    case MsIdle:
        sendMessage(s, rmcp::TypeOpenSessionRequest);
        m.m_messageState = s.noAcknowledge ? MsWaitResp : MsWaitReqAck;
        break;
    case MsSendRespAck:
    case MsSendRakp2Ack:
        sendAck(s);
        break;
    case MsSendRakp1:
        sendMessage(s, rmcp::TypeRakpMessage1);
        m.m_messageState = s.noAcknowledge ? MsWaitRakp2 : MsWaitRakp1Ack;
        break;
    case MsSendRakp3: {
        s.lastSent.clear();
        const std::optional<QByteArray> message = compose(s, rmcp::TypeRakpMessage3);
        if (!message) {
            // Nothing can be sent: the creation has failed now, not at a time-out.
            s.info = QStringLiteral("error: RAKP Message 3 not composed");
            return report(s, StatusCreationFailed);
        }
        s.lastSent = *message;
        traceOutgoing(*message);
        if (!s.noAcknowledge) {
            m.m_messageState = MsWaitRakp3Ack;
            record(*message);
            write(*message);
            if (s.timerPeriod > 0)
                m.m_host.startSessionTimer(s);
        } else {
            trace(QStringLiteral("Creat: wr: Session is created\n"));
            record(*message);
            s.phase = PhaseMsgTransfer;
            m.m_messageState = MsIdle;
            m.m_inCreation = nullptr;
            m.m_host.stopSessionTimer(s);
            write(*message);
            report(s, StatusCreated);
        }
        break;
    }
    default:
        traceF("Creat: wr: [%s][%s] unhandled\n", phase(s), state());
    }
}

void RspMachine::Steps::creationReader(Session &s)
{
    traceF("Creat: rd: [%s][%s]\n", phase(s), state());
    switch (m.m_messageState) {
    case MsWaitReqAck:
    case MsWaitRakp1Ack:
    case MsWaitRakp3Ack:
        if (!getMsg(s, rmcp::RspHeaderSize + rmcp::RmcpHeaderSize))
            return creationErrorEnd(s, "Creat");
        if (!acknowledgeMatches(s)) {
            badAcknowledge(s);
            return creationErrorEnd(s, "Creat");
        }
        traceF("Creat: rd: [%s][%s] (ok)\n", phase(s), state());
        logReceived(s);
        advance(s);
        if (s.phase == PhaseMsgTransfer) {
            trace(QStringLiteral("Creat: rd: Session is created\n"));
            m.m_inCreation = nullptr;
            report(s, StatusCreated);
        } else if (s.timerPeriod > 0) {
            m.m_host.startSessionTimer(s);
        }
        break;
    case MsWaitResp:
        trace(QStringLiteral("  \"Open Session Response\" checking\n"));
        if (!getMsg(s, 48) || !checkMessage(s, rmcp::TypeOpenSessionResponse))
            return creationErrorEnd(s, "Creat");
        traceF("Creat: rd: [%s][%s] (ok)\n", phase(s), state());
        m.m_messageState = s.peerWantsNoAck ? MsSendRakp1 : MsSendRespAck;
        logReceived(s);
        creationWriter(s);
        break;
    case MsWaitRakp2:
        trace(QStringLiteral("  \"RAKP Message 2\" checking\n"));
        if (!getMsg(s, 80) || !checkMessage(s, rmcp::TypeRakpMessage2))
            return creationErrorEnd(s, "Creat");
        traceF("Creat: rd: [%s][%s] (ok)\n", phase(s), state());
        m.m_messageState = s.peerWantsNoAck ? MsSendRakp3 : MsSendRakp2Ack;
        logReceived(s);
        creationWriter(s);
        break;
    default:
        traceF("Creat: rd: [%s][%s] unhandled\n", phase(s), state());
        outOfState(s);
    }
}

void RspMachine::Steps::terminationErrorEnd(Session &s)
{
    traceF("Termi: rd: [%s][%s] (error)\n", phase(s), state());
    logReceived(s);
    m.m_messageState = MsIdle;
    s.phase = s.phaseBeforeTermination;
    report(s, StatusClosingFailed);
}

void RspMachine::Steps::terminationWriter(Session &s)
{
    traceF("%sTermi: wr: [%s][%s]\n", Separator, phase(s), state());
    switch (m.m_messageState) {
    case MsIdle:
        if (!sendMessage(s, rmcp::TypeCloseSessionRequest)) {
            // No request went out: the session stays as it was.
            s.info = QStringLiteral("error: Close Session Request not composed");
            s.phase = s.phaseBeforeTermination;
            return report(s, StatusClosingFailed);
        }
        // The request asks for no acknowledge when its RMCP sequence number
        // is 255, whether by the flag or because the low byte of the RSP
        // sequence number is 255.
        m.m_messageState = quint8(s.lastSent[rmcp::RspHeaderSize + 2]) == rmcp::NoAcknowledgeSequenceNr
                               ? MsWaitResp
                               : MsWaitReqAck;
        break;
    case MsSendRespAck: {
        if (s.received.size() < rmcp::RspHeaderSize + rmcp::RmcpHeaderSize)
            return;
        QByteArray header = s.received.mid(rmcp::RspHeaderSize, rmcp::RmcpHeaderSize);
        header[3] = char(quint8(header[3]) | rmcp::AcknowledgeBit);
        trace(QStringLiteral("QRsp::compose_rsp_trailer()\n"));
        rmcp::RspWrap wrap;
        wrap.sessionId = s.sidm();
        wrap.sequenceNumber = ++s.outgoingSequence;
        const int pad = rmcp::rspAlignedPadLength(rmcp::RspHeaderSize + rmcp::RmcpHeaderSize);
        wrap.pad = QByteArray(pad, '\0');
        wrap.padLength = quint8(pad);
        QByteArray ack = rmcp::composeRspMessage(header, wrap);
        const HashResult h = hmacSha1(m.m_hmac, s.sik, {rmcp::integrityCoverage(ack)});
        if (!h.ok())
            traceHashFailure(h.outcome);
        s.ackWritten = false;
        s.phase = PhaseIdle;
        m.m_messageState = MsIdle;
        if (h.ok()) {
            rmcp::setIntegrityData(ack, h.value);
            s.lastSent = ack;
            traceOutgoing(ack);
        }
        traceF("Termi: wr: [%s][%s] Session is terminated\n", phase(s), state());
        // The client has closed the session either way; without a key for
        // the trailer no acknowledge goes out.
        if (h.ok()) {
            record(ack);
            write(ack);
            m.m_writeNotifier = true;
            m.m_host.queueWriteEvent();
        }
        report(s, StatusClosed);
        break;
    }
    default:
        traceF("Termi: wr: [%s][%s] unhandled\n", phase(s), state());
    }
}

void RspMachine::Steps::terminationReader(Session &s)
{
    traceF("Termi: rd: [%s][%s]\n", phase(s), state());
    QByteArray expected;
    switch (m.m_messageState) {
    case MsWaitReqAck: {
        if (!getMsg(s, 28))
            return terminationErrorEnd(s);
        const Integrity integrity = checkIntegrity(s, s.received, expected);
        if (integrity == Integrity::HashFailed)
            logLine(ASF_PACKET_ERROR, QStringLiteral("ERROR: Fatal internal error (mhash)"));
        if (integrity != Integrity::Good) {
            trace(QStringLiteral("  -Integrity data (bad), message dropped\n"));
            if (integrity == Integrity::Bad)
                markIntegrity(s, expected);
            return terminationErrorEnd(s);
        }
        trace(QStringLiteral("  -Integrity data (ok)\n"));
        if (!acknowledgeMatches(s)) {
            badAcknowledge(s);
            return terminationErrorEnd(s);
        }
        traceF("Termi: rd: [%s][%s] (ok)\n", phase(s), state());
        logReceived(s);
        m.m_messageState = MsWaitResp;
        if (s.timerPeriod > 0)
            m.m_host.startSessionTimer(s);
        break;
    }
    case MsWaitResp: {
        trace(QStringLiteral("  \"Close Session Response\" checking\n"));
        if (!getMsg(s, 36))
            return terminationErrorEnd(s);
        const Integrity integrity = checkIntegrity(s, s.received, expected);
        if (integrity == Integrity::HashFailed)
            logLine(ASF_PACKET_ERROR, QStringLiteral("ERROR: Fatal internal error (mhash)"));
        if (integrity != Integrity::Good) {
            trace(QStringLiteral("  -Integrity data (bad), message dropped\n"));
            if (integrity == Integrity::Bad)
                markIntegrity(s, expected);
            return terminationErrorEnd(s);
        }
        trace(QStringLiteral("  -Integrity data (ok)\n"));
        if (!checkMessage(s, rmcp::TypeCloseSessionResponse))
            return terminationErrorEnd(s);
        logReceived(s);
        if (!s.peerWantsNoAck) {
            m.m_messageState = MsSendRespAck;
            terminationWriter(s);
        } else {
            traceF("Termi: rd: [%s][%s] Session is terminated\n", phase(s), state());
            s.phase = PhaseIdle;
            m.m_messageState = MsIdle;
            report(s, StatusClosed);
        }
        break;
    }
    default:
        traceF("Termi: rd: [%s][%s] unhandled\n", phase(s), state());
        outOfState(s);
    }
}

// --- the manager ------------------------------------------------------------------

RspMachine::RspMachine(MachineHost &host, LogClock &clock, RandomSource &random, Hmac &hmac)
    : m_host(host), m_clock(clock), m_random(random), m_hmac(hmac)
{
}

RspMachine::~RspMachine()
{
    deleteSessions();
}

void RspMachine::deleteSessions()
{
    m_inCreation = nullptr;
    // One by one, so a session's end finds the list without itself.
    while (!m_sessions.empty()) {
        std::unique_ptr<Session> last = std::move(m_sessions.back());
        m_sessions.pop_back();
    }
}

void RspMachine::setOwnerLog(ASF_Logger *log)
{
    m_log = log;
}

ASF_Logger *RspMachine::ownerLog() const
{
    return m_log;
}

bool RspMachine::contains(const Session *session) const
{
    for (const auto &s : m_sessions) {
        if (s.get() == session)
            return session != nullptr;
    }
    return false;
}

int RspMachine::initSession(const SessionSettings &settings)
{
    if (m_inCreation) {
        Steps{*this}.logLine(ASF_PACKET_ERROR, QStringLiteral("QRsp::initSession(), session already in creation, try later"));
        trace(QStringLiteral("QRsp::initSession(), session already in creation\n"));
        return -1;
    }
    std::unique_ptr<Session> created = m_host.createSession(settings);
    Session &s = *created;
    m_inCreation = &s;
    m_sessions.push_back(std::move(created));
    s.phase = PhaseDiscovery;
    trace(QStringLiteral("QRsp::initSession(), NEW session initiated\n"));
    m_messageState = MsIdle;
    // A write event still queued for an earlier acknowledge (the close's, when
    // the owner opens the next session from its status report) belongs to
    // no step of this creation.
    m_writeNotifier = false;
    Steps{*this}.discoveryWriter(s);
    return 0;
}

void RspMachine::reinitSession()
{
    if (m_inCreation && m_inCreation->retries > 0 && --m_inCreation->retries > 0) {
        trace(QStringLiteral("QRsp::reinitSession(), session creation reinitiated\n"));
        m_inCreation->phase = PhaseDiscovery;
        m_messageState = MsIdle;
        Steps{*this}.discoveryWriter(*m_inCreation);
        return;
    }
    if (m_inCreation)
        trace(QStringLiteral("QRsp::reinitSession(), no more retries\n"));
    trace(QStringLiteral("QRsp::reinitSession(), session creation could not be reinitiated\n"));
}

bool RspMachine::termSession(Session *session)
{
    trace(QStringLiteral("QRsp::termSession()\n"));
    if (!contains(session)) {
        trace(QStringLiteral("QRsp::termSession(), object not found\n"));
        return false;
    }
    trace(QStringLiteral("QRsp::termSession(), object found\n"));
    if (session->phase != PhaseTermination)
        session->phaseBeforeTermination = session->phase;
    session->phase = PhaseTermination;
    m_messageState = MsIdle;
    Steps{*this}.terminationWriter(*session);
    return true;
}

void RspMachine::socketEmpty()
{
    trace(QStringLiteral("rd event : socker empty\n"));
}

void RspMachine::readDatagram(const QByteArray &datagram)
{
    const qsizetype n = datagram.size();
    if (n == 0)
        return socketEmpty();
    Steps steps{*this};
    traceF("%srd event : [%s] (%ld bytes)\n", Separator, messageStateName(m_messageState), long(n));
    const quint32 t = m_clock.elapsed();
    auto packet = std::make_unique<ASF_RMCP_Packet>(t);
    trace(QStringLiteral("  - Incomming data (%1 bytes) time: %2 -\n").arg(n).arg(timestampText(t)));
    trace(traceHexDump(datagram));
    packet->setProtocolType(rmcp::ProtocolRmcpRsp);
    packet->setProtocol(QStringLiteral("RMCP/RSP"));
    packet->setDirection(ASF_Packet::Received);
    packet->setData(datagram);

    const auto refuse = [&](const QString &text) {
        packet->fields().setFieldStatus(FieldId::RspSessionId, ASF_PACKET_ERROR, text);
        packet->appendInfo(text);
        packet->setError();
        steps.log(std::move(packet));
    };
    // Without a whole RSP header there is no session to give it to.
    if (n < rmcp::RspHeaderSize) {
        refuse(QStringLiteral("error: RSP session header incomplete"));
        traceF("rd event : no RSP session header (%ld bytes), message dropped\n", long(n));
        return;
    }
    const quint32 id = qFromBigEndian<quint32>(datagram.constData());
    traceF("rd event : session ID %08X\n", id);

    const auto route = [&](Session &s) {
        s.received = datagram;
        s.receivedPacket = std::move(packet);
        if (steps.awaits(s))
            m_host.stopSessionTimer(s);
        steps.reader(s);
    };
    if (id == 0) {
        if (!m_inCreation) {
            refuse(QStringLiteral("error: Bypass' session ID when no session is created"));
            trace(QStringLiteral("rd event : 'Bypass' session ID when no session is created\n"));
            return;
        }
        traceF("rd event : [%s][%s] 'Bypass' (%ld bytes)\n", phaseName(m_inCreation->phase),
               messageStateName(m_messageState), long(n));
        return route(*m_inCreation);
    }
    for (const auto &s : m_sessions) {
        if (s->sidc() == id) {
            traceF("rd event : RSSP object found [%s][%s]\n", phaseName(s->phase), messageStateName(m_messageState));
            return route(*s);
        }
        traceF("rd event : client session ID %08X != received session ID %08X\n", s->sidc(), id);
    }
    refuse(QStringLiteral("error: unkown session ID"));
    traceF("rd event : silently discard message (%ld bytes)\n", long(n));
}

void RspMachine::writeEvent()
{
    if (!m_writeNotifier)
        return;
    m_writeNotifier = false;
    if (!m_inCreation) {
        trace(QStringLiteral("wr event : Message transfer\n"));
        return;
    }
    Session &s = *m_inCreation;
    traceF("wr event : [%s] Session creation\n", messageStateName(m_messageState));
    Steps steps{*this};
    steps.advance(s);
    if (s.timerPeriod > 0)
        m_host.startSessionTimer(s);
    if (s.ackWritten)
        steps.writer(s);
}

void RspMachine::timerExpired(Session &s)
{
    traceF("QRssp::timerExpired(): [%s][%s]\n", phaseName(s.phase), messageStateName(m_messageState));
    Steps steps{*this};
    switch (s.phase) {
    case PhaseDiscovery:
    case PhaseCreation:
        s.phase = PhaseDiscovery;
        m_messageState = MsIdle;
        s.info = QStringLiteral("error: no answer within %1 ms").arg(s.timerPeriod);
        steps.report(s, StatusCreationFailed);
        break;
    case PhaseTermination:
        // The close failed; the session is as it was before, and usable.
        m_messageState = MsIdle;
        s.phase = s.phaseBeforeTermination;
        s.info = QStringLiteral("error: no answer within %1 ms").arg(s.timerPeriod);
        steps.report(s, StatusClosingFailed);
        break;
    default:
        break;
    }
}

} // namespace velquor::rsp
