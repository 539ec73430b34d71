// The RSP session manager's steps under any sequence of datagrams, time-outs,
// restarts, closes and sends. Besides raw datagrams the input can ask for
// the answer the managed client would give in the current state (with the
// session's own IDs, tag, hashes and integrity key), mutated by a few bytes
// and, for secured ones, with the integrity data made right again: so the
// fuzzer reaches every phase and message state, and datagrams that pass the
// integrity check reach the receive window.
//
// Properties: phases and message states stay in range; the window holds at
// most 32 datagrams, all of distinct sequence numbers within the 32 below
// its end; at most 32 messages wait; every secured datagram the console
// writes carries integrity data right for its key; a session in creation is
// listed. Reads outside the data are the sanitizers' to find.
//
// Input: a stream of operations, each a byte (value mod 10) and arguments:
//   0 initSession: flags (bit 0 no-acknowledge, bit 1 Operator role, bit 2
//     long name), name length
//   1 raw datagram: length, bytes (bit 7 of the length: Session ID := SIDc)
//   2 answer for the current state: mutations (count, then position and
//     xor value each), flags (bit 0: integrity made right after mutating;
//     bit 1: no RMCP acknowledge wanted)
//   3 the write event   4 time-out of a session   5 reinitSession
//   6 termSession       7 sendMsg (flags: override form, each override)
//   8 recvMsg           9 readable socket with nothing to read

#include "core/logclock.h"
#include "core/randomsource.h"
#include "fuzzcheck.h"
#include "rmcp/asfrmcppacket.h"
#include "rsp/rspmachine.h"

#include <QtEndian>
#include <set>

using namespace velquor;
using namespace velquor::rsp;
using velquor::fuzz::ByteReader;

namespace {

struct Host : MachineHost
{
    std::vector<QByteArray> written;
    bool writeQueued = false;
    std::unique_ptr<Session> createSession(const SessionSettings &s) override { return std::make_unique<Session>(s); }
    qint64 write(const QByteArray &d) override
    {
        written.push_back(d);
        return d.size();
    }
    void startSessionTimer(Session &) override {}
    void stopSessionTimer(Session &) override {}
    void queueWriteEvent() override { writeQueued = true; }
    void statusChanged(Session &) override {}
    void messageWaiting(Session &) override {}
};

QByteArray be32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

QByteArray header(quint32 sid, quint32 seq, quint8 rmcpSeq, quint8 klass = 6)
{
    return be32(sid) + be32(seq) + char(6) + char(0) + char(rmcpSeq) + char(klass);
}

QByteArray asf(quint8 type, quint8 tag, const QByteArray &data)
{
    return QByteArray::fromHex("000011be") + char(type) + char(tag) + char(0) + char(data.size()) + data;
}

QByteArray trailerFor(const Session &s, const QByteArray &front, Hmac &hmac)
{
    const int pad = 4 - (int(front.size()) - 8 + 2) % 4;
    QByteArray d = front + QByteArray(pad, '\0') + char(pad) + char(6);
    return d + hmacSha1(hmac, s.sik, {d}).value.left(12);
}

// What a well-behaved client sends next to the session s.
QByteArray answer(const RspMachine &m, const Session &s, quint8 rmcpSeq, quint32 secureSeq, Hmac &hmac)
{
    const int ms = m.messageState();
    const QByteArray &last = s.lastSent;
    const auto ack = [&] {
        QByteArray a = last.left(12);
        if (a.size() == 12)
            a[11] = char(quint8(a[11]) | 0x80);
        return a;
    };
    switch (s.phase) {
    case PhaseDiscovery:
        if (ms == MsWaitReqAck)
            return ack();
        return header(0, 0, rmcpSeq) + asf(0x40, s.expectedTag, QByteArray::fromHex("000011be000000008180000000000000"));
    case PhaseCreation:
        if (ms == MsWaitReqAck || ms == MsWaitRakp1Ack || ms == MsWaitRakp3Ack)
            return ack();
        if (ms == MsWaitResp)
            return header(0, 0, rmcpSeq)
                   + asf(0x43, s.expectedTag,
                         QByteArray(4, '\0') + s.kx.sidm + be32(secureSeq | 1)
                             + QByteArray::fromHex("01000008010000000200000801000000"));
        {
            KeyExchange kx = s.kx;
            kx.rc = QByteArray(16, char(secureSeq));
            kx.guidc = QByteArray(16, '\x22');
            const QByteArray code = rakp2Hash(hmac, s.roleKey(), kx).value;
            return header(0, 0, rmcpSeq) + asf(0xc1, s.expectedTag, QByteArray(4, '\0') + s.kx.sidm + kx.rc + kx.guidc + code);
        }
    case PhaseTermination:
        if (ms == MsWaitReqAck)
            return trailerFor(s, be32(s.sidc()) + be32(secureSeq) + ack().mid(8), hmac);
        return trailerFor(s, header(s.sidc(), secureSeq, rmcpSeq) + asf(0x44, s.expectedTag, QByteArray(1, '\0')), hmac);
    default:
        return trailerFor(s, header(s.sidc(), secureSeq, rmcpSeq) + asf(0x42, 1, QByteArray(4, '\0')), hmac);
    }
}

void checkProperties(const RspMachine &m)
{
    FUZZ_CHECK(m.messageState() >= MsIdle && m.messageState() <= MsEnd);
    FUZZ_CHECK(!m.sessionInCreation() || m.contains(m.sessionInCreation()));
    for (const auto &s : m.sessions()) {
        FUZZ_CHECK(s->phase >= PhaseIdle && s->phase <= PhaseEnd);
        FUZZ_CHECK(s->window.size() <= size_t(WindowSize), QString::number(s->window.size()));
        FUZZ_CHECK(s->toFetch.size() <= size_t(MaxWaitingMessages));
        std::set<quint32> seen;
        for (const QByteArray &d : s->window) {
            const quint32 seq = qFromBigEndian<quint32>(d.constData() + 4);
            FUZZ_CHECK(seen.insert(seq).second, QString::number(seq));
            FUZZ_CHECK(seq <= s->windowEnd && qint64(seq) > qint64(s->windowEnd) - WindowSize);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool quiet = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        return true;
    }();
    (void)quiet;
    ByteReader in(data, size);
    Host host;
    ManualLogClock clock;
    SeededRandomSource random(size);
    QtHmac hmac;
    RspMachine m(host, clock, random, hmac);
    quint32 secureSeq = 0;
    for (int ops = 0; !in.atEnd() && ops < 64; ++ops) {
        const uint8_t op = in.byte() % 10;
        const size_t before = host.written.size();
        bool overridden = false;
        Session *target = m.sessions().empty() ? nullptr : m.sessions()[in.byte() % m.sessions().size()].get();
        switch (op) {
        case 0: {
            const uint8_t flags = in.byte();
            SessionSettings settings;
            settings.noAcknowledge = flags & 1;
            settings.role = flags & 2 ? 0 : 1;
            settings.operatorKey = QByteArray(in.byte() % 24, '\x7c');
            settings.administratorKey = QByteArray(20, '\x3e');
            settings.generatorKey = QByteArray(20, '\x5d');
            settings.userName = QString(in.byte() % (flags & 4 ? 40 : 17), QLatin1Char('n'));
            settings.timerPeriod = 1000;
            m.initSession(settings);
            break;
        }
        case 1: {
            const uint8_t length = in.byte();
            QByteArray d;
            for (int i = 0; i < (length & 0x7F); ++i)
                d.append(char(in.byte()));
            if ((length & 0x80) && target && d.size() >= 4)
                d.replace(0, 4, target->kx.sidc);
            m.readDatagram(d);
            break;
        }
        case 2: {
            Session *s = m.sessionInCreation() ? m.sessionInCreation() : target;
            if (!s)
                break;
            const uint8_t mutations = in.byte() % 4;
            const uint8_t flags = in.byte();
            secureSeq += 1 + in.byte() % 40;
            if (in.byte() & 1)
                secureSeq -= qMin<quint32>(secureSeq, 40);
            QByteArray d = answer(m, *s, flags & 2 ? 255 : quint8(in.byte()), secureSeq, hmac);
            for (int i = 0; i < mutations && !d.isEmpty(); ++i) {
                const int at = in.byte() % d.size();
                d[at] = char(d[at] ^ in.byte());
            }
            if ((flags & 1) && s->phase >= PhaseMsgTransfer && d.size() > 12) {
                d.chop(12);
                d += hmacSha1(hmac, s->sik, {d}).value.left(12);
            }
            m.readDatagram(d);
            break;
        }
        case 3:
            if (host.writeQueued) {
                host.writeQueued = false;
                m.writeEvent();
            }
            break;
        case 4:
            if (target)
                m.timerExpired(*target);
            break;
        case 5:
            m.reinitSession();
            break;
        case 6:
            m.termSession(target);
            break;
        case 7: {
            ASF_RMCP_Packet packet;
            const uint8_t flags = in.byte();
            packet.setData(header(0, 0, in.byte()).mid(8) + asf(in.byte(), 1, QByteArray(in.byte() % 8, '\1')));
            if (flags & 0x80)
                packet.setTrailerLength(in.byte());
            if (flags & 1) {
                overridden = true;
                RspOverrides o;
                o.sendTail = !(flags & 2);
                o.ownRspSequenceNumber = flags & 4;
                if (o.ownRspSequenceNumber)
                    o.rspSequenceNumber = in.byte();
                o.ownSessionID = flags & 8;
                if (o.ownSessionID)
                    o.sessionID = in.byte();
                o.ownPad = flags & 16;
                o.pad = QString(in.byte() % 8 * 2, QLatin1Char('0'));
                if (flags & 32)
                    o.pad += QLatin1Char('x');
                o.ownPadLength = flags & 64;
                if (o.ownPadLength)
                    o.padLength = in.byte();
                m.sendMsg(&packet, target, o);
            } else {
                m.sendMsg(&packet, target);
            }
            break;
        }
        case 8:
            m.recvMsg(target);
            break;
        case 9:
            m.socketEmpty();
            break;
        }
        checkProperties(m);
        // What the console wraps itself carries integrity data right for the
        // session's key.
        for (size_t i = before; i < host.written.size() && !overridden; ++i) {
            const QByteArray &d = host.written[i];
            if (d.size() < 26 || qFromBigEndian<quint32>(d.constData()) == 0)
                continue;
            for (const auto &session : m.sessions()) {
                if (session->kx.sidm == d.left(4))
                    FUZZ_CHECK(hmacSha1(hmac, session->sik, {d.chopped(12)}).value.left(12) == d.right(12),
                               QString::fromLatin1(d.toHex()));
            }
        }
        clock.advance(10);
    }
    return 0;
}
