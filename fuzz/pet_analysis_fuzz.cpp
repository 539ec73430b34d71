// PET sequences through the analysis, on a manual clock with simulated timer
// ticks: traps of a few sequence numbers and contents (so they meet),
// heartbeats, the clock moved on or back (as when another page restarts the
// shared clock, or a capture is out of time order), settings, restarts.
// Properties: the indexed analysis gives the texts, statuses, counts, log
// lines and records of the plain walk over all records, newest first (the
// reference below); after each timer tick no record is older than the
// two-minute window.
//
// Input: a stream of operations, each a byte (its value mod 8 picks it) and
// its arguments:
//   0-3 trap: advance, sequence (bit 7: a 16-bit number follows, else
//       bits 0-2), contents (bits 0-2; bit 7: a second byte from bits 3-6;
//       bit 6: no bytes), flags (bit 0 heartbeat, bit 1 check error, bit 2
//       empty info, bits 4-7 time stamp skew against the clock)
//   4   timer tick (at the next tick time, or now if that has passed)
//   5   clock back: argument bit 7 restarts the clock, else back by n s
//   6   heartbeat settings: flags (bit 0 on), interval, tolerance
//   7   restart

#include "core/packetstatus.h"
#include "fuzzcheck.h"
#include "pet/petanalysis.h"

#include <list>
#include <vector>

using namespace velquor;
using namespace velquor::pet;
using velquor::fuzz::ByteReader;

namespace {

struct Line
{
    int status;
    QString text;
    bool operator==(const Line &o) const { return status == o.status && text == o.text; }
};

struct RecordingSink : LogSink
{
    std::vector<Line> lines;
    void logLevel(int status, const QString &text) override { lines.push_back({status, text}); }
};

quint32 raised(quint32 t)
{
    return qMax(t, TwoMinutes);
}

// The walk over all records, newest first, that the texts describe.
// Expired records are passed over and left to the expiry scan.
class Reference
{
public:
    std::list<RetransmissionRecord> records; // newest first

    void analyseSequence(quint32 clock, PacketFindings &p, const TrapFacts &trap, int &retransmissionCount)
    {
        const quint32 t = raised(clock);
        if (trap.sequenceNumber == 0)
            return;
        bool isNew = true;
        for (RetransmissionRecord &r : records) {
            if (r.time < t - TwoMinutes || r.sequenceNumber != trap.sequenceNumber)
                continue;
            if (quint64(trap.timestamp) < quint64(r.time) + OneMinute) {
                if (trap.bytes != r.bytes) {
                    p.setInfo("error: same sequence nr. but different contents within 1 min.\nfirst occurrence at %d",
                              int(r.time));
                    p.setError();
                } else {
                    r.count += 1;
                    retransmissionCount = r.count;
                    isNew = false;
                    if (r.count > 2) {
                        p.setInfo("error: nr. of retransmissions %d larger than 2\nfirst occurrence at %d", r.count,
                                  int(r.time));
                        p.setError();
                    } else {
                        p.setOk();
                        p.setInfo("retransmission (%d) for packet received at %d", r.count, int(r.time));
                    }
                }
            } else if (isNew) {
                if (trap.bytes != r.bytes) {
                    p.appendInfo("\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence at %d "
                                 "(different contents)",
                                 int(r.time));
                } else if (r.count < 2) {
                    p.appendInfo("\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence at %d "
                                 "missing with %d retransmission (same contents)\n",
                                 int(r.time), 2 - r.count);
                } else {
                    r.count += 1;
                    retransmissionCount = r.count;
                    p.appendInfo("\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence at %d with "
                                 "%d retransmissions",
                                 int(r.time), r.count);
                }
                p.setWarning();
            }
        }
        if (isNew)
            records.push_front({trap.sequenceNumber, trap.timestamp, trap.bytes, 0});
    }

    // Only which records expire, with their counts, in order; the texts are
    // compared through the counts and times they print.
    std::vector<std::pair<int, quint32>> expire(quint32 clock)
    {
        const quint32 t = raised(clock);
        std::vector<std::pair<int, quint32>> reported;
        for (auto it = records.begin(); it != records.end();) {
            if (it->time < t - TwoMinutes) {
                if (it->count < 2)
                    reported.push_back({it->count, it->time});
                it = records.erase(it);
            } else {
                ++it;
            }
        }
        return reported;
    }
};

QString describe(const std::vector<RetransmissionRecord> &records)
{
    QString out;
    for (const auto &r : records)
        out += QStringLiteral("%1@%2 %3 x%4\n").arg(r.sequenceNumber).arg(r.time).arg(QString::fromLatin1(r.bytes.toHex())).arg(r.count);
    return out;
}

constexpr quint32 Advances[16] = {0, 1, 999, 1000, 5000, 10000, 29999, 30000, 59999, 60000, 60001, 90000,
                                  119999, 120000, 120001, 600000};
constexpr quint32 Skews[8] = {0, 1, 1000, 59999, 60000, 60001, 120000, 0x80000000u};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ByteReader in(data, size);
    ManualLogClock clock;
    RecordingSink sink;
    PetAnalysis analysis(&clock, &sink);
    Reference reference;
    quint64 nextTick = quint64(analysis.timerPeriod());

    while (!in.atEnd()) {
        const uint8_t op = in.byte();
        switch (op % 8) {
        case 0:
        case 1:
        case 2:
        case 3: {
            const uint8_t advance = in.byte();
            clock.advance(advance < 16 ? Advances[advance] : quint32(advance - 16) * 1000);
            const uint8_t s = in.byte();
            const quint32 sequence = s & 0x80 ? in.word() : s & 7u;
            const uint8_t c = in.byte();
            QByteArray bytes(1, char(c & 7));
            if (c & 0x80)
                bytes.append(char((c >> 3) & 0xf));
            if (c & 0x40)
                bytes.clear();
            const uint8_t flags = in.byte();
            const quint32 skew = Skews[(flags >> 4) & 7];
            const quint32 now = clock.elapsed();
            const TrapFacts trap{flags & 0x80 ? now - skew : now + skew, bytes, sequence, bool(flags & 1)};
            PacketFindings indexed(flags & 4 ? QString() : QStringLiteral(" "));
            if (flags & 2)
                indexed.setError();
            PacketFindings walked = indexed;
            int indexedCount = 7, walkedCount = 7;
            analysis.analyseReceived(indexed, trap, indexedCount);
            if (trap.isHeartbeat)
                break; // heartbeats leave the records alone
            reference.analyseSequence(now, walked, trap, walkedCount);
            FUZZ_CHECK(indexed.info() == walked.info(),
                       QStringLiteral("indexed:\n%1\nwalked:\n%2").arg(indexed.info(), walked.info()));
            FUZZ_CHECK(indexed.status() == walked.status());
            FUZZ_CHECK(indexedCount == walkedCount, QStringLiteral("%1 != %2").arg(indexedCount).arg(walkedCount));
            break;
        }
        case 4: {
            if (nextTick > clock.elapsed() && nextTick <= 0xffffffffu)
                clock.setElapsed(quint32(nextTick));
            analysis.checkHeartbeatDue();
            sink.lines.clear();
            analysis.expireRetransmissionRecords();
            const auto expected = reference.expire(clock.elapsed());
            FUZZ_CHECK(sink.lines.size() == expected.size());
            for (size_t i = 0; i < expected.size(); ++i) {
                FUZZ_CHECK(sink.lines[i].status == (expected[i].first == 0 ? 0 : -1));
                FUZZ_CHECK(sink.lines[i].text.contains(QStringLiteral("retransmissions (%1)\nfor packet received at %2-")
                                                           .arg(expected[i].first)
                                                           .arg(int(expected[i].second))),
                           sink.lines[i].text);
            }
            sink.lines.clear();
            // Nothing older than the two-minute window survives a tick.
            for (const RetransmissionRecord &r : analysis.records())
                FUZZ_CHECK(r.time >= raised(clock.elapsed()) - TwoMinutes, describe(analysis.records()));
            nextTick = quint64(clock.elapsed()) + quint64(analysis.timerPeriod());
            break;
        }
        case 5: {
            const uint8_t back = in.byte();
            if (back & 0x80)
                clock.restart();
            else
                clock.setElapsed(clock.elapsed() - qMin(clock.elapsed(), quint32(back) * 1000));
            break;
        }
        case 6: {
            const uint8_t flags = in.byte();
            const quint32 interval = quint32(in.byte()) * 60000;
            const float tolerance = float(in.byte()) / 16.0f;
            analysis.applyHeartbeatSettings(flags & 1, interval, tolerance);
            sink.lines.clear();
            break;
        }
        case 7:
            analysis.restart();
            reference.records.clear();
            break;
        }
        // The same records, newest first, with the same counts.
        const auto records = analysis.records();
        FUZZ_CHECK(records.size() == analysis.recordCount());
        FUZZ_CHECK(records.size() == reference.records.size(), describe(records));
        auto w = reference.records.begin();
        for (const RetransmissionRecord &r : records) {
            FUZZ_CHECK(r.sequenceNumber == w->sequenceNumber && r.time == w->time && r.bytes == w->bytes
                           && r.count == w->count,
                       describe(records));
            ++w;
        }
    }
    return 0;
}
