// Messages of an established session: wrapping what the handler sends,
// the negative-test send, the integrity check and the receive window.

#include "core/textformat.h"
#include "core/trace.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpcompose.h"
#include "rmcp/rmcplayout.h"
#include "rmcp/rmcpsettings.h"
#include "rsp/rspsteps.h"

#include <QtEndian>

namespace velquor::rsp {

using rmcp::FieldId;

namespace {

// RSP header, RMCP header, Pad Length, Next Header, integrity data.
constexpr int MinSecuredSize = rmcp::RspHeaderSize + rmcp::RmcpHeaderSize + 2 + rmcp::IntegrityDataSize;

quint32 sequenceOf(const QByteArray &datagram)
{
    return qFromBigEndian<quint32>(datagram.constData() + 4);
}

QString spacedHex(QByteArrayView bytes, bool upper)
{
    const QByteArray text = bytes.toByteArray().toHex(' ');
    return QString::fromLatin1(upper ? text.toUpper() : text);
}

QString integrityMismatchText(const QByteArray &expected)
{
    return QStringLiteral("error: Integrity data mismatch, expected\n") + spacedHex(expected, false);
}

void refuse(ASF_RMCP_Packet *packet, const QString &info)
{
    packet->appendInfo(info);
    packet->setError();
}

void refuseHash(ASF_RMCP_Packet *packet, HashResult::Outcome outcome)
{
    if (outcome == HashResult::InitFailed) {
        refuse(packet, QStringLiteral("error: Packet send failed (RSP hash initialization failed)"));
        trace(QStringLiteral("  QRsp::sendMsg(), hash initialization failed\n"));
    } else {
        refuse(packet, QStringLiteral("error: Packet send failed (mhash_hmac_deinit(), failed)"));
        trace(QStringLiteral("  QRsp::sendMsg(), mhash_hmac_deinit(), failed\n"));
    }
}

} // namespace

Wrapped wrapSecured(QByteArrayView message, quint32 sessionId, quint32 sequenceNumber, QByteArrayView sik, Hmac &hmac)
{
    rmcp::RspWrap wrap;
    wrap.sessionId = sessionId;
    wrap.sequenceNumber = sequenceNumber;
    Wrapped out;
    out.datagram = rmcp::composeRspMessage(message, wrap);
    const HashResult h = hmacSha1(hmac, sik, {rmcp::integrityCoverage(out.datagram)});
    out.outcome = h.outcome;
    if (h.ok())
        rmcp::setIntegrityData(out.datagram, h.value);
    else
        out.datagram.clear();
    return out;
}

Session *RspMachine::Steps::lookup(ASF_RMCP_Packet *packet, Session *session, const char *caller)
{
    if (!m.contains(session)) {
        if (packet)
            refuse(packet, QStringLiteral("error: Packet send failed (RSSP object not found)"));
        traceF("  QRsp::%s(), QRssp object not found\n", caller);
        return nullptr;
    }
    traceF("  QRsp::%s(), QRssp object found\n", caller);
    if (session->phase != PhaseMsgTransfer) {
        if (packet)
            refuse(packet, QStringLiteral("error: Packet send failed (RSSP session not in 'Message Transfer' phase)"));
        traceF("  QRsp::%s(), session not in 'Message Transfer' phase\n", caller);
        return nullptr;
    }
    return session;
}

namespace {

// Stamps, writes and traces a wrapped packet.
bool writeWrapped(quint32 t, MachineHost &host, ASF_RMCP_Packet *packet)
{
    packet->setTimestamp(t);
    const QByteArray datagram = packet->data().left(packet->dataSize());
    if (host.write(datagram) < 0) {
        refuse(packet, QStringLiteral("error: Packet send failed (write to RSP socket)"));
        trace(QStringLiteral("  QRsp::sendMsg(), write to the RSP socket failed\n"));
        return false;
    }
    trace(QStringLiteral("  - Outgoing data (%1 bytes) at time: %2 -\n").arg(datagram.size()).arg(timestampText(t)));
    trace(traceHexDump(datagram));
    return true;
}

void setWrapped(ASF_RMCP_Packet *packet, const QByteArray &datagram, qsizetype messageSize)
{
    packet->setProtocolType(rmcp::ProtocolRmcpRsp);
    packet->setProtocol(QStringLiteral("RMCP/RSP"));
    packet->setDirection(ASF_Packet::Sent);
    // Everything but the message, so a retransmission finds it again.
    packet->setTrailerLength(int(datagram.size() - messageSize));
    packet->setData(datagram);
}

} // namespace

bool RspMachine::sendMsg(ASF_RMCP_Packet *packet, Session *session)
{
    Steps steps{*this};
    Session *s = steps.lookup(packet, session, "sendMsg");
    if (!s || !packet)
        return false;
    QByteArray bytes = packet->data().left(packet->dataSize());
    if (packet->protocolType() == rmcp::ProtocolRmcpRsp) {
        // A retransmission: the message lies between the RSP header and the
        // trailer the stored length says.
        const int stored = packet->trailerLength();
        if (stored < rmcp::RspHeaderSize || stored > bytes.size()) {
            refuse(packet, QStringLiteral("error: Packet send failed (stored RSP trailer length %1 outside the "
                                          "datagram of %2 bytes)")
                               .arg(stored)
                               .arg(bytes.size()));
            trace(QStringLiteral("  QRsp::sendMsg(), stored trailer length outside the datagram\n"));
            return false;
        }
        bytes = bytes.mid(rmcp::RspHeaderSize, bytes.size() - stored);
    }
    const Wrapped w = wrapSecured(bytes, s->sidm(), ++s->outgoingSequence, s->sik, m_hmac);
    if (w.outcome != HashResult::Ok) {
        refuseHash(packet, w.outcome);
        return false;
    }
    setWrapped(packet, w.datagram, bytes.size());
    return writeWrapped(steps.now(), m_host, packet);
}

bool RspMachine::sendMsg(ASF_RMCP_Packet *packet, Session *session, const RspOverrides &o)
{
    Steps steps{*this};
    Session *s = steps.lookup(packet, session, "sendMsg");
    if (!s || !packet)
        return false;
    if (packet->protocolType() == rmcp::ProtocolRmcpRsp) {
        trace(QStringLiteral("fatal ERROR; should not happen in QRsp::sendMsg() [3]\n"));
        refuse(packet, QStringLiteral("error: Packet send failed (already sent in the session)"));
        return false;
    }
    const QByteArray message = packet->data().left(packet->dataSize());
    const int n = int(message.size());
    const int p = rmcp::rspPadLength(n);
    const quint32 nextSequence = s->outgoingSequence + 1;

    rmcp::RspWrap wrap;
    wrap.sessionId = o.ownSessionID ? o.sessionID : s->sidm();
    wrap.sequenceNumber = o.ownRspSequenceNumber ? o.rspSequenceNumber : ++s->outgoingSequence;
    wrap.trailer = o.sendTail;
    QByteArray pad(p, '\0');
    bool truncated = false;
    if (o.ownPad) {
        // All the text holds, so a pad of more than 4 bytes is seen and cut.
        const std::optional<QByteArray> read = rmcp::readHexText(o.pad, int(o.pad.size()));
        pad = read.value_or(QByteArray());
        truncated = !read || pad.size() > 4;
        pad.truncate(4);
    }
    wrap.pad = pad;
    wrap.padLength = o.ownPadLength ? o.padLength : quint8(p);
    wrap.nextHeader = o.ownNextHeader ? o.nextHeader : quint8(rmcp::RmcpVersion1);
    // Sized for what it holds; the integrity data starts as zeros.
    QByteArray datagram = rmcp::composeRspMessage(message, wrap);
    QByteArray correct;
    if (o.sendTail) {
        // As many bytes as the computed pad asks for, whatever pad was
        // configured: the trailer always leaves room for them.
        const HashResult h = hmacSha1(m_hmac, s->sik, {QByteArrayView(datagram).first(n + p + 10)});
        if (!h.ok()) {
            refuseHash(packet, h.outcome);
            return false;
        }
        correct = h.value.left(rmcp::IntegrityDataSize);
        rmcp::setIntegrityData(datagram, correct);
        if (o.falseIntegrityData)
            datagram.back() = char(quint8(datagram.back()) + 1);
    }
    setWrapped(packet, datagram, n);

    // Mark what was falsified, so the log shows it.
    const auto markField = [packet](FieldId field, const QString &text, const QString &info) {
        packet->fields().setFieldStatus(field, ASF_PACKET_ERROR, text);
        refuse(packet, info);
    };
    const auto word = [](quint32 value) {
        QByteArray bytes(4, '\0');
        qToBigEndian(value, bytes.data());
        return QStringLiteral("error: expected ") + spacedHex(bytes, true);
    };
    if (truncated)
        markField(FieldId::RspPad, QStringLiteral("result of truncated configuration"),
                  QStringLiteral("error: configured RSP Pad > 4, truncated"));
    if (o.sendTail && o.falseIntegrityData)
        markField(FieldId::RspIntegrityData, integrityMismatchText(correct),
                  QStringLiteral("error: Integrity data mismatch"));
    if (o.ownSessionID && o.sessionID != s->sidm())
        markField(FieldId::RspSessionId, word(s->sidm()), QStringLiteral("error: wrong session ID"));
    if (o.ownRspSequenceNumber && o.rspSequenceNumber != nextSequence)
        markField(FieldId::RspSequenceNumber, word(nextSequence), QStringLiteral("error: wrong Sequence Number"));
    if (o.sendTail && o.ownPadLength && o.padLength != p)
        markField(FieldId::RspPadLength, QStringLiteral("error: expected %1").arg(p),
                  QStringLiteral("error: RSP pad length"));
    if (o.sendTail && o.ownPad && pad.size() != p)
        markField(FieldId::RspPad, QStringLiteral("wrong length; expected %1").arg(p),
                  QStringLiteral("error: RSP length of pad "));
    return writeWrapped(steps.now(), m_host, packet);
}

std::optional<QByteArray> RspMachine::recvMsg(Session *session)
{
    trace(QStringLiteral("  QRsp::recvMsg()\n"));
    if (!contains(session)) {
        trace(QStringLiteral("  QRsp::recvMsg(), QRssp object not found\n"));
        return std::nullopt;
    }
    trace(QStringLiteral("  QRsp::recvMsg(), QRssp object found\n"));
    if (session->phase != PhaseMsgTransfer) {
        trace(QStringLiteral("  QRsp::recvMsg(), session not in 'Message Transfer' phase\n"));
        return std::nullopt;
    }
    if (session->toFetch.empty())
        return std::nullopt;
    QByteArray message = std::move(session->toFetch.front());
    session->toFetch.pop_front();
    return message;
}

RspMachine::Steps::Integrity RspMachine::Steps::checkIntegrity(const Session &s, QByteArrayView datagram,
                                                               QByteArray &expected)
{
    if (datagram.size() < rmcp::IntegrityDataSize)
        return Integrity::Bad;
    const HashResult h = hmacSha1(m.m_hmac, s.sik, {rmcp::integrityCoverage(datagram)});
    if (!h.ok()) {
        traceHashFailure(h.outcome);
        return Integrity::HashFailed;
    }
    expected = h.value.left(rmcp::IntegrityDataSize);
    return sameBytes(expected, datagram.last(rmcp::IntegrityDataSize)) ? Integrity::Good : Integrity::Bad;
}

void RspMachine::Steps::markIntegrity(Session &s, const QByteArray &expected)
{
    mark(s, FieldId::RspIntegrityData, ASF_PACKET_ERROR, integrityMismatchText(expected),
         QStringLiteral("error: Integrity data mismatch"));
}

void RspMachine::Steps::messageTransferReader(Session &s)
{
    traceF("MsgTr: rd: [%s][%s]\n", phase(s), state());
    const QByteArray datagram = s.received;
    if (datagram.size() < MinSecuredSize) {
        mark(s, FieldId::RspIntegrityData, ASF_PACKET_ERROR,
             QStringLiteral("error: no room for the RSP trailer"),
             QStringLiteral("error: RSP message too short; got %1 bytes, at least %2 expected")
                 .arg(datagram.size())
                 .arg(MinSecuredSize));
        logReceived(s);
        trace(QStringLiteral("MsgTr: rd: message too short, dropped\n"));
        return;
    }
    QByteArray expected;
    switch (checkIntegrity(s, datagram, expected)) {
    case Integrity::HashFailed:
        logLine(ASF_PACKET_ERROR, QStringLiteral("ERROR: Fatal internal error (mhash)"));
        return;
    case Integrity::Bad:
        markIntegrity(s, expected);
        logReceived(s);
        trace(QStringLiteral("MsgTr: rd: Integrity data (bad), message dropped\n"));
        return;
    case Integrity::Good:
        break;
    }

    const quint32 sequence = sequenceOf(datagram);
    const qint64 got = sequence, end = s.windowEnd;
    traceF("MsgTr: rd: Message received (got %d, need > %d, window end %d)\n", int(sequence), int(end - WindowSize),
           int(s.windowEnd));
    if (got > end) {
        s.windowEnd = sequence;
        for (auto it = s.window.begin(); it != s.window.end();) {
            const qint64 seen = sequenceOf(*it);
            traceF("MsgTr: rd: message fall out? [this %lld, must be > %lld]... ", seen, got - WindowSize);
            if (seen > got - WindowSize) {
                trace(QStringLiteral("NO\n"));
                ++it;
            } else {
                trace(QStringLiteral("YES\n"));
                it = s.window.erase(it);
            }
        }
    } else if (got > end - WindowSize) {
        for (const QByteArray &old : s.window) {
            traceF("MsgTr: rd: message new? newSeqNum=%d, oldSeqNum=%d\n", int(sequence), int(sequenceOf(old)));
            if (sequenceOf(old) == sequence) {
                mark(s, FieldId::RspSequenceNumber, ASF_PACKET_ERROR, QStringLiteral("error: reused Sequence Number"),
                     QStringLiteral("error: reused Sequence Number"));
                logReceived(s);
                trace(QStringLiteral("MsgTr: rd: message already received, silently discard it\n"));
                return;
            }
        }
    } else {
        traceF("MsgTr: rd: Message outside the receiving window\n      (got %d, needed > %d, window end %d)\n",
               int(sequence), int(end - WindowSize), int(s.windowEnd));
        mark(s, FieldId::RspSequenceNumber, ASF_PACKET_ERROR, QStringLiteral("error: Sequence number outside of window"),
             QString::asprintf("error: Sequence number outside of window %d - %d", int(end - WindowSize + 1),
                               int(s.windowEnd)));
        logReceived(s);
        return;
    }

    trace(QStringLiteral("MsgTr: rd: Message within the receiving window\n"));
    s.window.push_back(datagram);
    if (s.toFetch.size() >= size_t(MaxWaitingMessages)) {
        traceF("MsgTr: rd: rdMsgList:%d messages, oldest removed\n", int(s.toFetch.size()));
        s.toFetch.pop_front();
    }
    s.toFetch.push_back(datagram);
    traceF("MsgTr: rd: Emitted signal to RMCP\n(%d messages in Rx window, %d message to fetch)\n",
           int(s.window.size()), int(s.toFetch.size()));
    m.m_host.messageWaiting(s);
}

} // namespace velquor::rsp
