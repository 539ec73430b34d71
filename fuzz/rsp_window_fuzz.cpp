// Secured datagrams into an established session, against a plain model of
// the receive window: a message is delivered when its sequence number is
// above the window end, or within the 32 below it and not seen there yet;
// the window keeps the numbers within the 32 up to its end. Properties: the
// session delivers exactly what the model accepts, in arrival order, keeps
// the model's window, never more than 32 of each list; a datagram whose
// integrity data is wrong, or that is too short for a trailer, is never
// delivered.
//
// Input: a stream of datagrams, each: flags (bit 0 absolute sequence number
// from the next 4 bytes, else a step of the next byte, down when bit 1;
// bit 2 integrity data falsified; bit 3 cut to the next byte's length;
// bit 4 a fetch first), then the payload length and bytes.

#include "core/logclock.h"
#include "core/randomsource.h"
#include "fuzzcheck.h"
#include "rsp/rspmachine.h"

#include <QtEndian>
#include <deque>
#include <set>

using namespace velquor;
using namespace velquor::rsp;
using velquor::fuzz::ByteReader;

namespace {

struct Host : MachineHost
{
    std::deque<QByteArray> delivered;
    std::unique_ptr<Session> createSession(const SessionSettings &s) override { return std::make_unique<Session>(s); }
    qint64 write(const QByteArray &d) override { return d.size(); }
    void startSessionTimer(Session &) override {}
    void stopSessionTimer(Session &) override {}
    void queueWriteEvent() override {}
    void statusChanged(Session &) override {}
    void messageWaiting(Session &s) override { delivered.push_back(s.toFetch.back()); }
};

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
    SeededRandomSource random(7);
    QtHmac hmac;
    RspMachine m(host, clock, random, hmac);
    m.initSession({});
    Session &s = *m.sessions().front();
    s.phase = PhaseMsgTransfer;
    s.kx.sidc = QByteArray::fromHex("0000002a");
    s.sik = QByteArray(20, '\x5d');

    qint64 end = 0;
    std::set<qint64> window;
    std::deque<QByteArray> waiting; // the model's to-fetch list
    quint32 seq = 0;
    for (int ops = 0; !in.atEnd() && ops < 200; ++ops) {
        const uint8_t flags = in.byte();
        if (flags & 1)
            seq = quint32(in.word()) << 16 | in.word();
        else
            seq = flags & 2 ? seq - in.byte() : seq + in.byte();
        QByteArray d = s.kx.sidc;
        d.resize(8);
        qToBigEndian(seq, d.data() + 4);
        d += QByteArray::fromHex("06000506");
        const int length = in.byte() % 64;
        for (int i = 0; i < length; ++i)
            d.append(char(in.byte()));
        d += QByteArray(2, '\x02');
        d += hmacSha1(hmac, s.sik, {d}).value.left(12);
        const bool falsified = flags & 4;
        if (falsified)
            d[d.size() - 1 - in.byte() % 12] ^= char(1 + in.byte() % 255);
        if (flags & 8)
            d.truncate(in.byte() % d.size());
        if (flags & 16) {
            const std::optional<QByteArray> fetched = m.recvMsg(&s);
            FUZZ_CHECK(fetched.has_value() == !waiting.empty());
            if (fetched) {
                FUZZ_CHECK(*fetched == waiting.front());
                waiting.pop_front();
            }
        }

        const size_t before = host.delivered.size();
        m.readDatagram(d);
        // The model. A cut or falsified datagram fails the integrity check
        // (or is too short for a trailer).
        const bool intact = !falsified && !(flags & 8);
        bool accept = false;
        if (intact) {
            const qint64 got = seq;
            if (got > end) {
                end = got;
                for (auto it = window.begin(); it != window.end();)
                    it = *it > got - WindowSize ? std::next(it) : window.erase(it);
                accept = true;
            } else if (got > end - WindowSize) {
                accept = !window.count(got);
            }
            if (accept) {
                window.insert(got);
                waiting.push_back(d);
                if (waiting.size() > size_t(MaxWaitingMessages))
                    waiting.pop_front();
            }
        }
        const bool delivered = host.delivered.size() > before;
        FUZZ_CHECK(delivered == accept, QStringLiteral("seq %1 end %2").arg(seq).arg(end));
        if (delivered)
            FUZZ_CHECK(host.delivered.back() == d);
        FUZZ_CHECK(s.window.size() <= size_t(WindowSize));
        FUZZ_CHECK(s.toFetch.size() <= size_t(MaxWaitingMessages));
        FUZZ_CHECK(quint32(end) == s.windowEnd);
        std::set<qint64> actual;
        for (const QByteArray &w : s.window)
            actual.insert(qFromBigEndian<quint32>(w.constData() + 4));
        FUZZ_CHECK(actual == window);
        FUZZ_CHECK(s.toFetch.size() == waiting.size());
    }
    return 0;
}
