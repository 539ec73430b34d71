// The messages of session establishment and termination: composing them,
// the key computations, and the checks of what the client answers.

#include "core/randomsource.h"
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

constexpr int AuthenticationPayloadType = 1;
constexpr int IntegrityPayloadType = 2;
constexpr int PayloadLength = 8;
constexpr int RakpHmacSha1 = 1;
constexpr int HmacSha1_96 = 1;
constexpr int DataOffset = rmcp::RspHeaderSize + rmcp::MessageHeaderSize; // 20

const char *composedName(int type)
{
    switch (type) {
    case rmcp::TypePresencePing:
        return "Presence Ping";
    case rmcp::TypeOpenSessionRequest:
        return "Open Session Request";
    case rmcp::TypeRakpMessage1:
        return "RAKP Message 1";
    case rmcp::TypeRakpMessage3:
        return "RAKP Message 3";
    case rmcp::TypeCloseSessionRequest:
        return "Close Session Request";
    default:
        return nullptr;
    }
}

// Data Length of a received message type; -1 for a type not awaited.
int awaitedDataLength(int type)
{
    switch (type) {
    case rmcp::TypePresencePong:
        return 16;
    case rmcp::TypeOpenSessionResponse:
        return 28;
    case rmcp::TypeCloseSessionResponse:
        return 1;
    case rmcp::TypeRakpMessage2:
        return 60;
    default:
        return -1;
    }
}

void appendBigEndian(QByteArray &out, quint32 value, int size)
{
    for (int i = size - 1; i >= 0; --i)
        out.append(char(quint8(value >> (8 * i))));
}

QByteArray payload(int type, int algorithm)
{
    QByteArray out;
    out.append(char(type));
    out.append('\0');
    appendBigEndian(out, PayloadLength, 2);
    out.append(char(algorithm));
    out.append(3, '\0');
    return out;
}

// One payload of an Open Session Response: type, reserved, length, algorithm
// and its three reserved bytes.
struct Payload
{
    quint8 type, reserved;
    quint16 length;
    quint8 algorithm;
    quint32 algorithmReserved;
    explicit Payload(const char *p)
        : type(quint8(p[0])), reserved(quint8(p[1])), length(qFromBigEndian<quint16>(p + 2)), algorithm(quint8(p[4])),
          algorithmReserved(qFromBigEndian<quint32>(p + 4) & 0xFFFFFF)
    {
    }
};

QString nameText(const QByteArray &name)
{
    return name.isEmpty() ? QStringLiteral("(none)") : QString::fromLatin1(name);
}

} // namespace

quint8 RspMachine::Steps::nextTag(Session &s)
{
    // 255 says that no response is wanted: never used for a request.
    if ((++m.m_tagCounter & 0xFF) == rmcp::NoResponseMessageTag)
        ++m.m_tagCounter;
    s.expectedTag = quint8(m.m_tagCounter);
    return s.expectedTag;
}

// A console session ID from the random source: never 0 (the 'Bypass' ID of
// messages outside a session) and none that another session of this manager
// uses.
QByteArray RspMachine::Steps::newSidm()
{
    const auto taken = [this](quint32 id) {
        if (id == 0)
            return true;
        for (const auto &s : m.m_sessions) {
            if (s.get() != m.m_inCreation && s->sidm() == id)
                return true;
        }
        return false;
    };
    quint32 id = m.m_random.next32();
    // A source that keeps giving taken values must not hang the session:
    // count up from its last value instead.
    for (int tries = 0; taken(id) && tries < 64; ++tries)
        id = m.m_random.next32();
    while (taken(id))
        ++id;
    QByteArray out(4, '\0');
    qToBigEndian(id, out.data());
    return out;
}

std::optional<QByteArray> RspMachine::Steps::compose(Session &s, int type)
{
    const char *name = composedName(type);
    if (!name) {
        trace(QStringLiteral("  \"Unknown\"\n"));
        return std::nullopt;
    }
    traceF("  \"%s\" composing\n", name);

    QByteArray data;
    switch (type) {
    case rmcp::TypeOpenSessionRequest:
        s.kx.sidm = newSidm();
        data = s.kx.sidm + payload(AuthenticationPayloadType, RakpHmacSha1) + payload(IntegrityPayloadType, HmacSha1_96);
        break;
    case rmcp::TypeRakpMessage1:
        s.kx.rm = m.m_random.bytes(16);
        data = s.kx.sidc + s.kx.rm;
        data.append(char(s.kx.rolem));
        data.append(2, '\0');
        data.append(char(s.kx.uname.size()));
        data.append(s.kx.uname);
        break;
    case rmcp::TypeRakpMessage3: {
        const QByteArray &key = s.roleKey();
        trace(QStringLiteral("  key%1     = %2\n").arg(QChar(s.kx.rolem ? u'A' : u'O')).arg(hexRun(key)));
        trace(QStringLiteral("  Rc       = %1\n").arg(hexRun(s.kx.rc)));
        traceF("  SIDm     = %08X\n", s.sidm());
        traceF("  ROLEm    = %02X\n", s.kx.rolem);
        traceF("  ULENGTHm = %02X\n", unsigned(s.kx.uname.size()));
        trace(QStringLiteral("  UNAMEm   = %1\n").arg(nameText(s.kx.uname)));
        const HashResult code = rakp3Code(m.m_hmac, key, s.kx);
        if (!code.ok()) {
            traceHashFailure(code.outcome);
            return std::nullopt;
        }
        data = QByteArray(4, '\0') + s.kx.sidc + code.value;
        break;
    }
    default:
        break;
    }

    const bool secured = s.phase == PhaseMsgTransfer || s.phase == PhaseTermination;
    rmcp::MessageFields f;
    f.sequenceNr = s.noAcknowledge ? rmcp::NoAcknowledgeSequenceNr : quint8(s.outgoingSequence + (secured ? 1 : 0));
    f.messageType = quint8(type);
    f.messageTag = nextTag(s);
    // RAKP Message 1 says 24 whatever the name adds.
    f.dataLength = quint8(type == rmcp::TypeRakpMessage1 ? 24 : data.size());
    f.data = data;
    const QByteArray message = rmcp::composeMessage(f);
    if (!secured)
        return QByteArray(rmcp::RspHeaderSize, '\0') + message;

    // The Close Session Request: the session's header and trailer.
    rmcp::RspWrap wrap;
    wrap.sessionId = s.sidm();
    wrap.sequenceNumber = ++s.outgoingSequence;
    const int pad = rmcp::rspAlignedPadLength(rmcp::RspHeaderSize + int(message.size()));
    wrap.pad = QByteArray(pad, '\0');
    wrap.padLength = quint8(pad);
    QByteArray datagram = rmcp::composeRspMessage(message, wrap);
    const HashResult h = hmacSha1(m.m_hmac, s.sik, {rmcp::integrityCoverage(datagram)});
    if (!h.ok()) {
        traceHashFailure(h.outcome);
        return std::nullopt;
    }
    trace(QStringLiteral("  HASH: %1\n").arg(hexRun(h.value)));
    rmcp::setIntegrityData(datagram, h.value);
    return datagram;
}

bool RspMachine::Steps::getMsg(Session &s, int size)
{
    const int available = int(s.received.size());
    if (available < size) {
        traceF("QRsp::getMsg, error (size: available %d, needed:%d)\n", available, size);
        if (ASF_RMCP_Packet *p = s.receivedPacket.get()) {
            p->appendInfo("error: wrong packet size expected %d got %d", size, available);
            p->setError();
        }
        s.received.clear();
        return false;
    }
    s.received.truncate(size);
    return true;
}

bool RspMachine::Steps::acknowledgeMatches(const Session &s) const
{
    constexpr int o = rmcp::RspHeaderSize;
    if (s.received.size() < o + rmcp::RmcpHeaderSize || s.lastSent.size() < o + rmcp::RmcpHeaderSize)
        return false;
    return s.received.mid(o, 3) == s.lastSent.mid(o, 3)
           && quint8(s.received[o + 3]) == (quint8(s.lastSent[o + 3]) | rmcp::AcknowledgeBit);
}

bool RspMachine::Steps::checkHeader(Session &s)
{
    trace(QStringLiteral("  -checking RMCP header..."));
    const QByteArray &d = s.received;
    constexpr int o = rmcp::RspHeaderSize;
    const bool ok = d.size() >= o + rmcp::RmcpHeaderSize && quint8(d[o]) == rmcp::RmcpVersion1 && d[o + 1] == 0;
    if (ok) {
        const quint8 sequence = quint8(d[o + 2]);
        if (sequence != rmcp::NoAcknowledgeSequenceNr) {
            s.peerWantsNoAck = false;
            if (s.expectedRmcpSequence == rmcp::NoAcknowledgeSequenceNr) {
                s.expectedRmcpSequence = sequence;
            } else if (s.expectedRmcpSequence != sequence) {
                mark(s, FieldId::SequenceNr, ASF_PACKET_WARNING, QStringLiteral("expected %1").arg(s.expectedRmcpSequence),
                     QStringLiteral("warning: wrong sequence #"), ASF_PACKET_WARNING);
                s.expectedRmcpSequence = sequence;
            }
            ++s.expectedRmcpSequence;
        } else {
            s.peerWantsNoAck = true;
        }
    }
    const bool passed = ok && quint8(d[o + 3]) == rmcp::AsfMessageClass;
    trace(passed ? QStringLiteral(" (ok)\n") : QStringLiteral(" (error)\n"));
    return passed;
}

bool RspMachine::Steps::checkAsfHeader(Session &s, int type)
{
    trace(QStringLiteral("  -checking RMCP static section..."));
    const QByteArray &d = s.received;
    constexpr int o = rmcp::RspHeaderSize;
    const int length = awaitedDataLength(type);
    const auto fail = [&](FieldId field, const QString &fieldText, const QString &info, int level, const QString &line) {
        mark(s, field, ASF_PACKET_ERROR, fieldText, info, level);
        trace(line);
        trace(QStringLiteral(" (error)\n"));
        return false;
    };
    if (length < 0 || d.size() < DataOffset) {
        trace(QStringLiteral(" (error)\n"));
        return false;
    }
    const quint32 iana = qFromBigEndian<quint32>(d.constData() + o + 4);
    const quint8 got = quint8(d[o + 8]), tag = quint8(d[o + 9]), reserved = quint8(d[o + 10]),
                 dataLength = quint8(d[o + 11]);
    if (iana != rmcp::AsfIanaEnterpriseNr) {
        const QString text = QStringLiteral("error: IANA Enterprise Number not set to 0x000011BE");
        return fail(FieldId::IanaEnterpriseNr, text, text, ASF_PACKET_ERROR,
                    QString::asprintf("parse_rmcp_static(), ERROR: IANA: real %d, exp %d\n", int(iana),
                                      int(rmcp::AsfIanaEnterpriseNr)));
    }
    if (got != type)
        return fail(FieldId::MessageType, QString::asprintf("error: expected 0x%02x", type),
                    QStringLiteral("error: wrong Message Type"), ASF_PACKET_ERROR,
                    QString::asprintf("parse_rmcp_static(), ERROR: MSG TYPE: real %02x, exp %02x\n", got, type));
    if (tag != s.expectedTag)
        return fail(FieldId::MessageTag, QString::asprintf("error: expected 0x%02x", s.expectedTag),
                    QStringLiteral("error: wrong Message Tag"), ASF_PACKET_ERROR,
                    QString::asprintf("parse_rmcp_static(), ERROR: MSG TAG: real %02x, exp %02x\n", tag,
                                      s.expectedTag));
    if (reserved != 0) {
        const QString text = QStringLiteral("error: Reserved field (2) not zero");
        return fail(FieldId::Reserved2, text, text, ASF_PACKET_WARNING,
                    QString::asprintf("parse_rmcp_static(), ERROR: RSVD: real %02x, exp %02x\n", reserved, 0));
    }
    if (dataLength != length)
        return fail(FieldId::DataLength, QString::asprintf("error: expected 0x%02x", length),
                    QStringLiteral("error: wrong Data Length"), ASF_PACKET_ERROR,
                    QString::asprintf("parse_rmcp_static(), ERROR: DATA LEN: real %d, exp %d\n", dataLength, length));
    trace(QStringLiteral(" (ok)\n"));
    return true;
}

bool RspMachine::Steps::checkData(Session &s, int type)
{
    const QByteArray &in = s.received;
    const int length = awaitedDataLength(type);
    // The finding of the first check that fails, and its extra trace lines.
    QString fieldText, info, before, after;
    const auto failed = [&](const char *field, const QString &infoText = QString(), const char *first = nullptr,
                            const char *then = nullptr) {
        fieldText = QLatin1String(field);
        info = infoText.isNull() ? fieldText : infoText;
        before = first ? QLatin1String(first) : QString();
        after = then ? QLatin1String(then) : QString();
        return true;
    };
    if (length < 0 || in.size() < DataOffset + length) {
        trace(QStringLiteral("  -checking RMCP data section...(error)\n"));
        return false;
    }
    const char *d = in.constData() + DataOffset;
    const auto word = [d](int at) { return qFromBigEndian<quint32>(d + at); };
    const QString sidmInfo = QString::asprintf("error: expected SIDm 0x%02x", s.sidm());
    bool bad = false;
    switch (type) {
    case rmcp::TypePresencePong:
        bad = (word(0) != rmcp::AsfIanaEnterpriseNr && failed("error: IANA Enterprise Number not set to 0x000011BE"))
              || (word(4) != 0 && failed("error: reserved [2] not zero"))
              || ((quint8(d[8]) & 0x7F) != 1 && failed("error: Supported Entities not ASF Version 1.0"))
              || (quint8(d[9]) != 0x80 && failed("error: Supported Interactions not RSP"));
        break;
    case rmcp::TypeOpenSessionResponse: {
        const Payload auth(d + 12), integrity(d + 20);
        bad = (word(0) != 0 && failed(d[0] ? "error: Status Code" : "error: Reserved fields not all zero"))
              || (QByteArray(d + 4, 4) != s.kx.sidm && failed("error: SIDm mismatch", sidmInfo))
              || (word(8) == 0 && failed("error: SIDc invalid"));
        if (bad)
            break;
        s.kx.sidc = QByteArray(d + 8, 4);
        bad = (auth.type != AuthenticationPayloadType && failed("error: unsupported Payload Type"))
              || (auth.reserved != 0
                  && failed("error: Reserved [12] not zero", QStringLiteral("error: Reserved not zero")))
              || (auth.length != PayloadLength
                  && failed("error: wrong Authentication Algorithm payload length ",
                            QStringLiteral("error: wrong Authentication Algorithm payload length")))
              || ((auth.algorithm != RakpHmacSha1 || auth.algorithmReserved)
                  && failed("error: unsupported Authentication Algorithm",
                            QString::asprintf("error: unsupported Authentication Algorithm expected 0x%02x",
                                              RakpHmacSha1)))
              || (integrity.type != IntegrityPayloadType
                  && failed("error: unsupported (Integrity) Payload Type",
                            QStringLiteral("error: unsupported Payload Type"), "INTG_PAYLOAD -\n"))
              || (integrity.reserved != 0
                  && failed("error: Reserved [22] not zero", QStringLiteral("error: Reserved not zero"),
                            "  Reserved - not equal to zero\n"))
              || (integrity.length != PayloadLength
                  && failed("error: wrong Integrity Algorithm payload length ",
                            QStringLiteral("error: wrong Integrity Algorithm payload length"), nullptr,
                            "  INTG_PAYLOAD len - wrong length\n"))
              || ((integrity.algorithm != HmacSha1_96 || integrity.algorithmReserved)
                  && failed("error: unsupported Integrity Algorithm",
                            QString::asprintf("error: unsupported Integrity Algorithm expected 0x%02x", HmacSha1_96),
                            nullptr, "  HMAC_SHA1_96 integrity algorithm expected\n"));
        break;
    }
    case rmcp::TypeRakpMessage2: {
        bad = (word(0) != 0 && failed("error: Status Code", QString(), "  -Status Code - shows errors\n"))
              || (QByteArray(d + 4, 4) != s.kx.sidm
                  && failed("error: SIDm mismatch", sidmInfo, "  -SIDm - mismatch\n"));
        if (bad)
            break;
        s.kx.rc = QByteArray(d + 8, 16);
        s.kx.guidc = QByteArray(d + 24, 16);
        const QByteArray &key = s.roleKey();
        trace(QStringLiteral("  key%1      = %2\n").arg(QChar(s.kx.rolem ? u'A' : u'O')).arg(hexRun(key)));
        traceF("  SIDm      = %08X\n", s.sidm());
        traceF("  SIDc      = %08X\n", s.sidc());
        trace(QStringLiteral("  Rm        = %1\n").arg(hexRun(s.kx.rm)));
        trace(QStringLiteral("  Rc        = %1\n").arg(hexRun(s.kx.rc)));
        trace(QStringLiteral("  GUID      = %1\n").arg(hexRun(s.kx.guidc)));
        traceF("  ROLEm     = %02X\n", s.kx.rolem);
        traceF("  ULENGTHm  = %02X\n", unsigned(s.kx.uname.size()));
        trace(QStringLiteral("  UNAMEm    = %1\n").arg(nameText(s.kx.uname)));
        const HashResult hash = rakp2Hash(m.m_hmac, key, s.kx);
        if (!hash.ok()) {
            traceHashFailure(hash.outcome);
            trace(QStringLiteral("  -checking RMCP data section...(error)\n"));
            return false;
        }
        trace(QStringLiteral("  HASH      = %1\n").arg(hexRun(hash.value)));
        if (!sameBytes(hash.value, QByteArrayView(d + 40, HashSize))) {
            bad = failed("error: Hash values mismatch", QString(), "  -hash values mismatch\n");
            break;
        }
        const HashResult sik = sessionIntegrityKey(m.m_hmac, s.generatorKey, s.kx);
        if (!sik.ok()) {
            traceHashFailure(sik.outcome);
            trace(QStringLiteral("  -checking RMCP data section...(error)\n"));
            return false;
        }
        s.sik = sik.value;
        trace(QStringLiteral("  SIK       = %1\n").arg(hexRun(s.sik)));
        break;
    }
    case rmcp::TypeCloseSessionResponse: {
        const quint8 status = quint8(d[0]);
        bad = status != 0 && status != 2 && status != 8 && failed("error: Status Code");
        break;
    }
    default:
        break;
    }
    if (!bad) {
        trace(QStringLiteral("  -checking RMCP data section...(ok)\n"));
        return true;
    }
    if (!before.isEmpty())
        trace(before);
    mark(s, FieldId::RmcpData, ASF_PACKET_ERROR, fieldText, info);
    if (!after.isEmpty())
        trace(after);
    trace(QStringLiteral("  -checking RMCP data section...(error)\n"));
    return false;
}

} // namespace velquor::rsp
