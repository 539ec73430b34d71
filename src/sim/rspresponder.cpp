#include "sim/rspresponder.h"

#include "core/randomsource.h"
#include "rmcp/rmcplayout.h"
#include "rmcp/rmcptables.h"
#include "rsp/rsphmac.h"

#include <QtEndian>
#include <algorithm>

namespace velquor::sim {

using namespace velquor::rmcp;

namespace {

constexpr int RspHeaderSize = 8;
constexpr int IntegritySize = 12;
constexpr int BypassHeaderSize = RspHeaderSize + MessageHeaderSize; // 20
constexpr quint8 NextHeaderRmcp = 6;

constexpr quint8 TypePing = 0x80;
constexpr quint8 TypePong = 0x40;
constexpr quint8 TypeOpenRequest = 0x83;
constexpr quint8 TypeOpenResponse = 0x43;
constexpr quint8 TypeCloseRequest = 0x84;
constexpr quint8 TypeCloseResponse = 0x44;
constexpr quint8 TypeRakp1 = 0xC0;
constexpr quint8 TypeRakp2 = 0xC1;
constexpr quint8 TypeRakp3 = 0xC2;

constexpr quint8 StatusInvalidSessionId = 2;
constexpr quint8 StatusInvalidPayloadType = 3;
constexpr quint8 StatusInvalidAuthentication = 4;
constexpr quint8 StatusInvalidIntegrity = 5;
constexpr quint8 StatusInvalidRole = 9;
constexpr quint8 StatusInvalidNameLength = 12;
constexpr quint8 StatusUnauthorizedName = 13;

QByteArray be32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

quint32 readBe32(QByteArrayView d, qsizetype at)
{
    return qFromBigEndian<quint32>(d.data() + at);
}

QString hexId(QByteArrayView id)
{
    return QString::fromLatin1(id.toByteArray().toHex().toUpper());
}

QString typeText(quint8 type)
{
    switch (type) {
    case TypePong: return QStringLiteral("Presence Pong");
    case TypeOpenResponse: return QStringLiteral("Open Session Response");
    case TypeRakp2: return QStringLiteral("RAKP Message 2");
    case TypeCloseResponse: return QStringLiteral("Close Session Response");
    default: return messageTypeName(type);
    }
}

// The authentication and integrity payloads, as the console offers them.
const QByteArray payloads = QByteArray::fromHex("01000008010000000200000801000000");

} // namespace

RspResponder::RspResponder(const RspConfig &config, RmcpResponder *inner, RandomSource *random)
    : m_config(config), m_inner(inner), m_random(random), m_hmac(std::make_unique<rsp::QtHmac>())
{
    if (!m_inner) {
        m_ownInner = std::make_unique<RmcpResponder>();
        m_inner = m_ownInner.get();
    }
    if (!m_random) {
        m_ownRandom = std::make_unique<SystemRandomSource>();
        m_random = m_ownRandom.get();
    }
    m_config.guid = m_config.guid.leftJustified(16, '\0', true);
}

RspResponder::~RspResponder() = default;

int RspResponder::sessionsOpen() const
{
    return int(std::count_if(m_sessions.begin(), m_sessions.end(), [](const Session &s) { return s.open; }));
}

int RspResponder::sessionsInCreation() const
{
    return int(m_sessions.size()) - sessionsOpen();
}

RspResponder::Session *RspResponder::find(QByteArrayView id, bool bySidm, bool open)
{
    for (Session &s : m_sessions) {
        if ((bySidm ? s.sidm : s.sidc) == id && s.open == open)
            return &s;
    }
    return nullptr;
}

void RspResponder::remove(const Session *s)
{
    m_sessions.erase(std::find_if(m_sessions.begin(), m_sessions.end(), [s](const Session &x) { return &x == s; }));
}

QByteArray RspResponder::hash(QByteArrayView key, std::initializer_list<QByteArrayView> pieces)
{
    // Qt's HMAC never refuses; an empty result would only make a wrong code.
    return rsp::hmacSha1(*m_hmac, key, pieces).value;
}

QByteArray RspResponder::newSidc()
{
    for (;;) {
        const quint32 v = m_random->next32();
        const QByteArray id = be32(v);
        if (v != 0 && !find(id, false, false) && !find(id, false, true))
            return id;
    }
}

quint8 RspResponder::takeSequenceNr()
{
    const quint8 seq = m_bypassSeq;
    m_bypassSeq = m_bypassSeq >= 254 ? 0 : quint8(m_bypassSeq + 1);
    return seq;
}

QByteArray RspResponder::bypassMessage(quint8 type, quint8 tag, const QByteArray &data, bool wantAck)
{
    const quint8 seq = wantAck ? takeSequenceNr() : NoAcknowledgeSequenceNr;
    QByteArray m = QByteArray(RspHeaderSize, '\0');
    m += char(RmcpVersion1);
    m += char(0);
    m += char(seq);
    m += char(AsfMessageClass);
    m += be32(AsfIanaEnterpriseNr);
    m += char(type);
    m += char(tag);
    m += char(0);
    m += char(quint8(data.size()));
    return m + data;
}

std::vector<Outgoing> RspResponder::receive(QByteArrayView d)
{
    if (d.size() < RspHeaderSize + RmcpHeaderSize) {
        m_description = QStringLiteral("dropped: %1 bytes, too short for the RSP and RMCP headers").arg(d.size());
        return {};
    }
    return readBe32(d, 0) == 0 ? bypass(d) : secured(d);
}

std::vector<Outgoing> RspResponder::bypass(QByteArrayView d)
{
    std::vector<Outgoing> out;
    const qsizetype n = d.size();
    const quint8 version = quint8(d[8]);
    const quint8 seq = quint8(d[10]);
    const quint8 cls = quint8(d[11]);
    if (version != RmcpVersion1 || (cls & 0x0F) != AsfMessageClass) {
        m_description = QStringLiteral("bypass: dropped: not an RMCP/ASF message");
        return out;
    }
    if (cls & AcknowledgeBit) {
        m_description = QStringLiteral("bypass: Acknowledge, seq %1").arg(seq);
        return out;
    }
    if (n < BypassHeaderSize || readBe32(d, 12) != AsfIanaEnterpriseNr) {
        m_description = QStringLiteral("bypass: dropped: no ASF message header (%1 bytes)").arg(n);
        return out;
    }
    const quint8 type = quint8(d[16]);
    const quint8 tag = quint8(d[17]);
    const bool wantAck = seq != NoAcknowledgeSequenceNr;
    if (wantAck && !m_config.noAck) {
        QByteArray ack = d.first(RspHeaderSize + RmcpHeaderSize).toByteArray();
        ack[11] = char(AsfMessageClass | AcknowledgeBit); // as the plain port acknowledges
        out.push_back({ack, 0, QStringLiteral("bypass: Acknowledge, seq %1").arg(seq)});
    }
    m_description = QStringLiteral("bypass: %1, seq %2, tag %3").arg(messageTypeName(type)).arg(seq).arg(tag);
    const auto answer = [&](quint8 answerType, const QByteArray &data) {
        const QByteArray m = bypassMessage(answerType, tag, data, wantAck);
        out.push_back({m, 0, QStringLiteral("bypass: %1, seq %2, tag %3").arg(typeText(answerType)).arg(quint8(m[10])).arg(tag)});
    };
    const auto passOver = [&](const QString &why) { m_description += QStringLiteral(" (passed over: %1)").arg(why); };

    switch (type) {
    case TypePing:
        m_bypassSeq = 0; // a new discovery: the console expects our numbers afresh
        // Supported Entities: ASF 1.0 (and IPMI); Supported Interactions: RSP.
        answer(TypePong, be32(AsfIanaEnterpriseNr) + be32(0) + QByteArray::fromHex("8180000000000000"));
        break;
    case TypeOpenRequest: {
        if (n < BypassHeaderSize + 20) {
            passOver(QStringLiteral("Open Session Request too short"));
            break;
        }
        const QByteArrayView sidm = d.sliced(20, 4);
        quint8 status = m_config.openStatus;
        if (status == 0) {
            const QByteArrayView offer = d.sliced(24, 16);
            if (offer[0] != '\1' || offer[8] != '\2')
                status = StatusInvalidPayloadType;
            else if (offer.sliced(0, 8) != QByteArrayView(payloads).sliced(0, 8))
                status = StatusInvalidAuthentication;
            else if (offer.sliced(8, 8) != QByteArrayView(payloads).sliced(8, 8))
                status = StatusInvalidIntegrity;
        }
        QByteArray sidc(4, '\0');
        if (status == 0) {
            // The console may try again with the same SIDm: the old attempt
            // goes. An open session stays: an unauthenticated request must
            // not end it.
            if (Session *old = find(sidm, true, false))
                remove(old);
            if (int(m_sessions.size()) >= MaxSessions)
                m_sessions.pop_front();
            Session s;
            // Room below the first number for the stale answers.
            s.outgoing = m_config.stale ? 100 : 0;
            s.sidm = sidm.toByteArray();
            s.sidc = sidc = newSidc();
            m_sessions.push_back(s);
        }
        QByteArray shownSidm = sidm.toByteArray();
        if (m_config.wrongSidm)
            shownSidm[3] = char(shownSidm[3] ^ 0x01);
        answer(TypeOpenResponse, QByteArray(1, char(status)) + QByteArray(3, '\0') + shownSidm + sidc
                                     + payloads);
        if (status)
            m_description += QStringLiteral(" (refused with status %1)").arg(status);
        break;
    }
    case TypeRakp1: {
        if (n < BypassHeaderSize + 24) {
            passOver(QStringLiteral("RAKP Message 1 too short"));
            break;
        }
        Session *s = find(d.sliced(20, 4), false, false);
        const quint8 rolem = quint8(d[40]);
        const int ulength = quint8(d[43]);
        quint8 status = m_config.rakpStatus;
        QByteArray name;
        if (!s)
            status = StatusInvalidSessionId;
        else if (rolem > 1)
            status = status ? status : StatusInvalidRole;
        else if (ulength > 16 || n < BypassHeaderSize + 24 + ulength)
            status = status ? status : StatusInvalidNameLength;
        else if (name = d.sliced(44, ulength).toByteArray();
                 !m_config.users.isEmpty() && !m_config.users.contains(QString::fromLatin1(name)))
            status = status ? status : StatusUnauthorizedName;
        QByteArray sidm = s ? s->sidm : QByteArray(4, '\0');
        QByteArray rc(16, '\0'), code(20, '\0');
        if (status == 0) {
            s->rm = d.sliced(24, 16).toByteArray();
            s->rolem = rolem;
            s->uname = name;
            s->rc = rc = m_random->bytes(16);
            rsp::KeyExchange kx;
            kx.sidm = s->sidm;
            kx.sidc = s->sidc;
            kx.rm = s->rm;
            kx.rc = s->rc;
            kx.guidc = m_config.guid;
            kx.rolem = rolem;
            kx.uname = name;
            const QByteArray &roleKey = rolem ? m_config.administratorKey : m_config.operatorKey;
            code = rsp::rakp2Hash(*m_hmac, roleKey, kx).value;
            s->sik = rsp::sessionIntegrityKey(*m_hmac, m_config.generatorKey, kx).value;
            if (m_config.wrongHash)
                code[0] = char(code[0] ^ 0x01);
        } else {
            m_description += QStringLiteral(" (refused with status %1)").arg(status);
            if (s)
                remove(s);
        }
        if (m_config.wrongSidm)
            sidm[3] = char(sidm[3] ^ 0x01);
        answer(TypeRakp2, QByteArray(1, char(status)) + QByteArray(3, '\0') + sidm + rc + m_config.guid + code);
        break;
    }
    case TypeRakp3: {
        if (n < BypassHeaderSize + 28) {
            passOver(QStringLiteral("RAKP Message 3 too short"));
            break;
        }
        Session *s = find(d.sliced(24, 4), false, false);
        if (!s || s->sik.isEmpty()) {
            passOver(QStringLiteral("no session in creation with that SIDc"));
            break;
        }
        rsp::KeyExchange kx;
        kx.sidm = s->sidm;
        kx.rc = s->rc;
        kx.rolem = s->rolem;
        kx.uname = s->uname;
        const QByteArray expected =
            rsp::rakp3Code(*m_hmac, s->rolem ? m_config.administratorKey : m_config.operatorKey, kx).value;
        if (d[20] != '\0' || !rsp::sameBytes(expected, d.sliced(28, 20))) {
            passOver(QStringLiteral("wrong status or key-exchange code; session %1 not opened").arg(hexId(s->sidc)));
            remove(s);
            break;
        }
        s->open = true;
        m_description += QStringLiteral(" (session %1 open)").arg(hexId(s->sidc));
        break;
    }
    default:
        passOver(QStringLiteral("not a session-creation request"));
        break;
    }
    return out;
}

void RspResponder::wrap(Session &s, const QByteArray &message, int delayMs, const QString &description,
                        std::vector<Outgoing> &out)
{
    quint32 seq = ++s.outgoing;
    ++s.sent;
    if (m_config.stale && s.sent % 2 == 0) {
        // Behind the console's window, and not counted.
        --s.outgoing;
        seq = s.outgoing - Window;
    }
    QByteArray d = s.sidc + be32(seq) + message;
    const int pad = (4 - (d.size() + 2) % 4) % 4;
    d += QByteArray(pad, '\0');
    d += char(pad);
    d += char(NextHeaderRmcp);
    d += hash(s.sik, {d}).left(IntegritySize);
    if (m_config.badIntegrity)
        d[d.size() - 1] = char(d[d.size() - 1] + 1);
    const QString text = QStringLiteral("session %1 seq %2: %3").arg(hexId(s.sidc)).arg(seq).arg(description);
    out.push_back({d, delayMs, text});
    if (m_config.replay)
        out.push_back({d, delayMs, text + QStringLiteral(" (again)")});
}

std::vector<Outgoing> RspResponder::secured(QByteArrayView d)
{
    std::vector<Outgoing> out;
    const qsizetype n = d.size();
    const QByteArrayView id = d.first(4);
    Session *s = find(id, true, true);
    if (!s) {
        m_description = QStringLiteral("dropped: no open session %1").arg(hexId(id));
        return out;
    }
    const QString head = QStringLiteral("session %1: ").arg(hexId(s->sidc));
    // RSP header, RMCP header, pad length, next header, integrity data.
    if (n < RspHeaderSize + RmcpHeaderSize + 2 + IntegritySize) {
        m_description = head + QStringLiteral("dropped: %1 bytes, too short for a secured message").arg(n);
        return out;
    }
    const QByteArray expected = hash(s->sik, {d.first(n - IntegritySize)}).left(IntegritySize);
    if (!rsp::sameBytes(expected, d.last(IntegritySize))) {
        m_description = head + QStringLiteral("dropped: integrity data mismatch");
        return out;
    }
    // The same window the console keeps: newer than the last 32, each once.
    const quint32 seq = readBe32(d, 4);
    const qint64 end = s->windowEnd;
    if (qint64(seq) <= end - Window) {
        m_description = head + QStringLiteral("dropped: sequence number %1 outside the window %2 - %3")
                                   .arg(seq).arg(end - Window + 1).arg(end);
        return out;
    }
    if (qint64(seq) <= end && std::find(s->window.begin(), s->window.end(), seq) != s->window.end()) {
        m_description = head + QStringLiteral("dropped: reused sequence number %1").arg(seq);
        return out;
    }
    const int padLength = quint8(d[n - IntegritySize - 2]);
    const qsizetype messageSize = n - RspHeaderSize - 2 - IntegritySize - padLength;
    if (messageSize < RmcpHeaderSize) {
        m_description = head + QStringLiteral("dropped: Pad Length %1 leaves no RMCP header").arg(padLength);
        return out;
    }
    if (qint64(seq) > end) {
        s->windowEnd = seq;
        std::erase_if(s->window, [seq](quint32 x) { return qint64(x) <= qint64(seq) - Window; });
    }
    s->window.push_back(seq);

    const QByteArrayView message = d.sliced(RspHeaderSize, messageSize);
    const bool close = messageSize >= MessageHeaderSize && quint8(message[3]) == AsfMessageClass
                       && readBe32(message, 4) == AsfIanaEnterpriseNr && quint8(message[8]) == TypeCloseRequest;
    if (!close) {
        std::vector<Outgoing> answers = m_inner->receive(message);
        m_description = head + QStringLiteral("seq %1: %2").arg(seq).arg(m_inner->lastDescription());
        for (const Outgoing &a : answers) {
            const bool ack = a.bytes.size() > 3 && (quint8(a.bytes[3]) & AcknowledgeBit);
            if (!(ack && m_config.noAck))
                wrap(*s, a.bytes, a.delayMs, a.description, out);
        }
        return out;
    }

    const quint8 rmcpSeq = quint8(message[2]);
    const quint8 tag = quint8(message[9]);
    m_description = head + QStringLiteral("seq %1: Close Session Request, seq %2, tag %3").arg(seq).arg(rmcpSeq).arg(tag);
    if (rmcpSeq != NoAcknowledgeSequenceNr && !m_config.noAck) {
        QByteArray ack = message.first(RmcpHeaderSize).toByteArray();
        ack[3] = char(quint8(ack[3]) | AcknowledgeBit);
        wrap(*s, ack, 0, QStringLiteral("Acknowledge, seq %1").arg(rmcpSeq), out);
    }
    QByteArray response = message.first(MessageHeaderSize).toByteArray();
    response[2] = char(rmcpSeq == NoAcknowledgeSequenceNr ? NoAcknowledgeSequenceNr : takeSequenceNr());
    response[8] = char(TypeCloseResponse);
    response[10] = 0;
    response[11] = 1;
    response += char(m_config.closeStatus);
    wrap(*s, response, 0, QStringLiteral("Close Session Response, status %1, tag %2").arg(m_config.closeStatus).arg(tag), out);
    if (m_config.closeStatus == 0) {
        m_description += QStringLiteral(" (session closed)");
        remove(s);
    }
    return out;
}

} // namespace velquor::sim
