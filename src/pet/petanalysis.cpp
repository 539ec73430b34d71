#include "pet/petanalysis.h"

#include "core/packetstatus.h"
#include "core/textformat.h"

#include <QHashFunctions>
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <type_traits>
#include <unordered_map>

namespace velquor::pet {

namespace {

constexpr int LogLineLimit = 1000;

// Current time for record comparisons, raised so that now - 2 min never wraps.
quint32 raised(quint32 t)
{
    return qMax(t, TwoMinutes);
}

float finiteOrZero(float v)
{
    return std::isfinite(v) ? v : 0.0f;
}

// Slots in arrival order, each holding one record and its arrival time, as a
// segment tree that keeps the latest and earliest time below each node. It
// finds the first or last record at or after (or before) a time within a
// range of slots in O(log n), and carries retransmission counts that can be
// raised for every record at or after a time in one step. Removed slots stay
// empty until the slots run out; then the live ones move together and each
// record learns its new slot (through Item::*SlotOf). Most trees hold a
// single record, and the analysis keeps two minutes of them: a tree of one
// slot keeps it in place, larger ones in a block of nodes and one of items.
template<typename Item, int Item::*SlotOf, bool Counts = false>
class SlotTree
{
public:
    SlotTree() { reset(1); }
    ~SlotTree() { release(); }
    SlotTree(const SlotTree &) = delete;
    SlotTree &operator=(const SlotTree &) = delete;

    int alive() const { return m_alive; }
    int end() const { return m_used; } // one past the last slot handed out
    Item *at(int slot) const { return m_capacity == 1 ? m_one.item : m_block.items[size_t(slot)]; }

    // A new last slot with count 0.
    void append(Item *item, qint64 time)
    {
        if (m_used == m_capacity)
            rebuild();
        const int slot = m_used++;
        const size_t leaf = size_t(m_capacity + slot);
        nodeAt(leaf).max = nodeAt(leaf).min = time;
        if constexpr (Counts)
            nodeAt(leaf).add = -sumAbove(leaf); // earlier raises may have covered the empty slot
        pullUp(leaf);
        slotItem(size_t(slot)) = item;
        item->*SlotOf = slot;
        ++m_alive;
    }

    void remove(int slot)
    {
        const size_t leaf = size_t(m_capacity + slot);
        nodeAt(leaf).max = NoTime;
        nodeAt(leaf).min = NoEarliest;
        pullUp(leaf);
        slotItem(size_t(slot)) = nullptr;
        --m_alive;
    }

    // The first slot whose time is at or after time, or -1.
    int firstAtOrAfter(qint64 time) const
    {
        if (nodeAt(1).max < time)
            return -1;
        size_t node = 1;
        while (node < size_t(m_capacity)) {
            node *= 2;
            if (nodeAt(node).max < time)
                ++node;
        }
        return int(node) - m_capacity;
    }
    // The last slot before bound whose time is at or after time, or -1.
    int lastAtOrAfter(qint64 time, int bound) const
    {
        return lastWhere(1, 0, m_capacity, bound, [&](size_t node) { return nodeAt(node).max >= time; });
    }
    // The last slot before bound whose time is before time, or -1.
    int lastBefore(qint64 time, int bound) const
    {
        return lastWhere(1, 0, m_capacity, bound, [&](size_t node) { return nodeAt(node).min < time; });
    }

    int count(int slot) const
    {
        return int(nodeAt(size_t(m_capacity + slot)).add + sumAbove(size_t(m_capacity + slot)));
    }
    void raise(int slot) { ++nodeAt(size_t(m_capacity + slot)).add; }
    // Raises the count of every record whose time is at or after time.
    void raiseAtOrAfter(qint64 time) { raiseFrom(1, time); }

private:
    static constexpr qint64 NoTime = -1; // an empty slot is never at or after a time ...
    static constexpr qint64 NoEarliest = std::numeric_limits<qint64>::max(); // ... nor before one

    void reset(int capacity)
    {
        release();
        m_capacity = capacity;
        if (capacity == 1) { // only node 1, the root and leaf, is used
            m_one = One{emptyNode(), nullptr};
        } else {
            m_block.nodes = new Node[size_t(2 * capacity)];
            std::fill_n(m_block.nodes, 2 * capacity, emptyNode());
            m_block.items = new Item *[size_t(capacity)]();
        }
        m_used = 0;
        m_alive = 0;
    }

    // Moves the live slots together, with room for at least a quarter more
    // (a rebuild costs the capacity, so its cost per record stays bounded).
    void rebuild()
    {
        struct Live
        {
            Item *item;
            qint64 time;
            qint64 count;
        };
        std::vector<Live> live;
        live.reserve(size_t(m_alive));
        for (int slot = 0; slot < m_used; ++slot) {
            if (Item *item = at(slot))
                live.push_back({item, nodeAt(size_t(m_capacity + slot)).max, count(slot)});
        }
        reset(int(std::bit_ceil(live.size() + live.size() / 4 + 1)));
        for (const Live &l : live) {
            const int slot = m_used++;
            const size_t leaf = size_t(m_capacity + slot);
            nodeAt(leaf).max = nodeAt(leaf).min = l.time;
            if constexpr (Counts)
                nodeAt(leaf).add = l.count;
            slotItem(size_t(slot)) = l.item;
            l.item->*SlotOf = slot;
        }
        m_alive = m_used;
        for (size_t node = size_t(m_capacity) - 1; node >= 1; --node)
            combine(node);
    }

    void pullUp(size_t leaf)
    {
        for (size_t node = leaf / 2; node >= 1; node /= 2)
            combine(node);
    }

    void combine(size_t node)
    {
        nodeAt(node).max = std::max(nodeAt(2 * node).max, nodeAt(2 * node + 1).max);
        nodeAt(node).min = std::min(nodeAt(2 * node).min, nodeAt(2 * node + 1).min);
    }

    qint64 sumAbove(size_t leaf) const
    {
        qint64 sum = 0;
        for (size_t node = leaf / 2; node >= 1; node /= 2)
            sum += nodeAt(node).add;
        return sum;
    }

    // Right to left over the slots [low, high) of node, below bound.
    template<typename Keep>
    int lastWhere(size_t node, int low, int high, int bound, const Keep &keep) const
    {
        if (low >= bound || !keep(node))
            return -1;
        if (node >= size_t(m_capacity))
            return low;
        const int middle = low + (high - low) / 2;
        const int right = lastWhere(2 * node + 1, middle, high, bound, keep);
        return right >= 0 ? right : lastWhere(2 * node, low, middle, bound, keep);
    }

    void raiseFrom(size_t node, qint64 time)
    {
        if (nodeAt(node).max < time)
            return;
        if (nodeAt(node).min >= time) { // every live slot below qualifies
            ++nodeAt(node).add;
            return;
        }
        raiseFrom(2 * node, time);
        raiseFrom(2 * node + 1, time);
    }

    // Per node, leaves from m_capacity on: the latest and earliest time
    // below it and, in a tree that counts, the raise it carries.
    struct Plain
    {
        qint64 max, min;
        static constexpr qint64 add = 0;
    };
    struct Counted
    {
        qint64 max, min, add;
    };
    using Node = std::conditional_t<Counts, Counted, Plain>;
    static Node emptyNode()
    {
        Node node{};
        node.max = NoTime;
        node.min = NoEarliest;
        return node;
    }
    Node &nodeAt(size_t i) { return m_capacity == 1 ? m_one.node : m_block.nodes[i]; }
    const Node &nodeAt(size_t i) const { return m_capacity == 1 ? m_one.node : m_block.nodes[i]; }
    Item *&slotItem(size_t slot) { return m_capacity == 1 ? m_one.item : m_block.items[slot]; }

    void release()
    {
        if (m_capacity > 1) {
            delete[] m_block.nodes;
            delete[] m_block.items;
        }
    }

    // A tree of one slot keeps its node and item in place of the blocks.
    struct Block
    {
        Node *nodes;
        Item **items;
    };
    struct One
    {
        Node node;
        Item *item;
    };
    union {
        Block m_block;
        One m_one;
    };
    int m_capacity = 0;
    int m_used = 0;
    int m_alive = 0;
};

struct ContentsKey
{
    quint32 number;
    QByteArray bytes;
    bool operator==(const ContentsKey &other) const { return number == other.number && bytes == other.bytes; }
};

struct ContentsHash
{
    size_t operator()(const ContentsKey &key) const noexcept
    {
        return qHash(key.bytes, QHashSeed::globalSeed()) ^ (size_t(key.number) * 0x9E3779B97F4A7C15ull);
    }
};

} // namespace

struct PetAnalysis::Index
{
    struct Contents;
    struct Number;
    using ContentsEntry = std::pair<const ContentsKey, Contents>;

    // A remembered trap and its places in the trees. Its count lives in the
    // tree of its contents, where a retransmission raises several at once;
    // its bytes are the key of its contents.
    struct Stored
    {
        quint32 sequenceNumber = 0;
        quint32 time = 0; // arrival of the first occurrence
        ContentsEntry *contents = nullptr;
        int allSlot = -1, numberSlot = -1, contentsSlot = -1;
    };

    // The records of one sequence number with the same bytes.
    struct Contents
    {
        SlotTree<Stored, &Stored::contentsSlot, true> tree;
    };

    // The records of one sequence number.
    struct Number
    {
        SlotTree<Stored, &Stored::numberSlot> tree;
    };

    SlotTree<Stored, &Stored::allSlot> all;
    // In place: a map's elements stay where they are while it grows.
    std::unordered_map<quint32, Number> byNumber;
    std::unordered_map<ContentsKey, Contents, ContentsHash> byContents;

    ~Index()
    {
        for (int slot = 0; slot < all.end(); ++slot)
            delete all.at(slot);
    }

    ContentsEntry *findContents(quint32 number, const QByteArray &bytes)
    {
        const auto c = byContents.find(ContentsKey{number, bytes});
        return c == byContents.end() ? nullptr : &*c;
    }

    void add(const TrapFacts &trap)
    {
        auto *stored = new Stored{trap.sequenceNumber, trap.timestamp};
        Number &number = byNumber[trap.sequenceNumber];
        ContentsEntry &contents = *byContents.try_emplace(ContentsKey{trap.sequenceNumber, trap.bytes}).first;
        stored->contents = &contents;
        const qint64 time = trap.timestamp;
        all.append(stored, time);
        number.tree.append(stored, time);
        contents.second.tree.append(stored, time);
    }

    // Slots stay where they are until the next record is added.
    void remove(Stored *record)
    {
        all.remove(record->allSlot);
        const auto number = byNumber.find(record->sequenceNumber);
        number->second.tree.remove(record->numberSlot);
        Contents &contents = record->contents->second;
        contents.tree.remove(record->contentsSlot);
        if (contents.tree.alive() == 0)
            byContents.erase(byContents.find(record->contents->first));
        if (number->second.tree.alive() == 0)
            byNumber.erase(number);
        delete record;
    }

    int count(const Stored *record) const { return record->contents->second.tree.count(record->contentsSlot); }
};

PetAnalysis::PetAnalysis(LogClock *clock, LogSink *sink)
    : m_clock(clock), m_sink(sink), m_index(std::make_unique<Index>())
{
    restartClockState();
}

PetAnalysis::~PetAnalysis() = default;

int heartbeatTimerPeriod(float toleranceMinutes)
{
    const double p = std::trunc(double(toleranceMinutes) * 60000.0) - 1.0;
    if (!(p >= MinTimerPeriod)) // also catches NaN
        return MinTimerPeriod;
    if (p >= MaxTimerPeriod)
        return MaxTimerPeriod;
    return int(p);
}

void PetAnalysis::restartClockState()
{
    m_last = m_previous = now();
    m_missing = false;
}

void PetAnalysis::restart()
{
    m_index = std::make_unique<Index>();
    restartClockState();
}

void PetAnalysis::log(int status, const QString &text)
{
    if (m_sink)
        m_sink->logLevel(status, text);
}

PetAnalysis::SettingsEffect PetAnalysis::applyHeartbeatSettings(bool check, quint32 intervalMs, float tolerance)
{
    const bool wasOn = m_check;
    const float oldTolerance = m_tolerance;
    m_check = check;
    m_interval = intervalMs;
    m_tolerance = finiteOrZero(tolerance);

    SettingsEffect effect;
    if (wasOn && !check) {
        effect.heartbeatLamp = Lamp::Off;
        effect.timerPeriod = MaxTimerPeriod;
    } else if (check && (m_tolerance != oldTolerance || !wasOn)) {
        // Also when checking is switched back on: the 60 s period of the off
        // state would report a missing heartbeat up to a minute late.
        effect.timerPeriod = timerPeriod();
    }
    if (!wasOn && check) {
        m_last = m_previous = now();
        effect.heartbeatLamp = Lamp::Green;
    }
    return effect;
}

void PetAnalysis::setTolerance(float toleranceMinutes)
{
    m_tolerance = finiteOrZero(toleranceMinutes);
}

PetAnalysis::HeartbeatEffect PetAnalysis::analyseReceived(PacketFindings &packet, const TrapFacts &trap,
                                                           int &retransmissionCount)
{
    if (trap.isHeartbeat)
        return receiveHeartbeat(packet, trap.timestamp);
    analyseSequence(packet, trap, retransmissionCount);
    return {};
}

// The result is that of walking the records of the trap's number, newest
// first: a record within the minute before the trap sets the info and
// status (so the oldest such record decides them), one with the trap's
// contents there is retransmitted (its count raised), and while no such
// record has been met, each older record within two minutes adds its reuse
// warning. The trees give the oldest record within the minute, the
// same-contents records and the older records in O(log n) each, so a trap
// costs the same however many records are kept, apart from the warnings it
// prints.
void PetAnalysis::analyseSequence(PacketFindings &p, const TrapFacts &trap, int &retransmissionCount)
{
    const quint32 t = raised(now());
    if (trap.sequenceNumber == 0)
        return;
    // Records before kept have expired: the expiry scan reports them, the
    // analysis passes them over.
    const qint64 kept = qint64(t) - TwoMinutes;
    // Records from near on came within the minute before the trap (or later).
    const qint64 near = std::max(kept, qint64(trap.timestamp) - OneMinute + 1);

    using Stored = Index::Stored;
    Index::Number *number = nullptr;
    Index::ContentsEntry *same = nullptr;
    if (const auto n = m_index->byNumber.find(trap.sequenceNumber); n != m_index->byNumber.end()) {
        number = &n->second;
        same = m_index->findContents(trap.sequenceNumber, trap.bytes);
    }
    if (number) {
        auto &byNumber = number->tree;
        const int oldestNear = byNumber.firstAtOrAfter(near);
        const int oldestNearSame = same ? same->second.tree.firstAtOrAfter(near) : -1;
        if (oldestNearSame >= 0) {
            // A retransmission: no record is added and no reuse warning
            // stays. Same-contents records over a minute old that arrived
            // after the newest one within the minute are met first, while
            // the trap still counts as new, and move on if they had two.
            auto &byContents = same->second.tree;
            const int newestNearSame = byContents.lastAtOrAfter(near, byContents.end());
            for (int s = byContents.lastAtOrAfter(kept, byContents.end()); s > newestNearSame;
                 s = byContents.lastAtOrAfter(kept, s)) {
                if (byContents.count(s) >= 2)
                    byContents.raise(s);
            }
            byContents.raiseAtOrAfter(near);
            const int count = byContents.count(oldestNearSame);
            retransmissionCount = count;
            const Stored *oldest = byNumber.at(oldestNear);
            if (oldest->contents != same) {
                p.setInfo("error: same sequence nr. but different contents within 1 min.\nfirst occurrence at %d",
                          int(oldest->time));
                p.setError();
            } else if (count > 2) {
                p.setInfo("error: nr. of retransmissions %d larger than 2\nfirst occurrence at %d", count,
                          int(oldest->time));
                p.setError();
            } else {
                p.setOk();
                p.setInfo("retransmission (%d) for packet received at %d", count, int(oldest->time));
            }
            return;
        }
        // No retransmission: every kept record with the trap's contents is
        // over a minute old and moves on if it had two.
        if (same) {
            auto &byContents = same->second.tree;
            for (int s = byContents.lastAtOrAfter(kept, byContents.end()); s >= 0;
                 s = byContents.lastAtOrAfter(kept, s)) {
                if (byContents.count(s) >= 2) {
                    byContents.raise(s);
                    retransmissionCount = byContents.count(s); // the oldest such one's stays
                }
            }
        }
        // Only the warnings of records older than the oldest one within the
        // minute (whose error replaces the info) remain.
        int bound = byNumber.end();
        if (oldestNear >= 0) {
            p.setInfo("error: same sequence nr. but different contents within 1 min.\nfirst occurrence at %d",
                      int(byNumber.at(oldestNear)->time));
            p.setError();
            bound = oldestNear;
        }
        int warnings = 0;
        for (int s = byNumber.lastAtOrAfter(kept, bound); s >= 0; s = byNumber.lastAtOrAfter(kept, s)) {
            if (m_reuseWarningLimit >= 0 && warnings++ == m_reuseWarningLimit) {
                p.appendInfo("\nwarning: further reuses of sequence nr. within 2 min. not listed");
                break;
            }
            const Stored *r = byNumber.at(s);
            if (r->contents != same) {
                p.appendInfo("\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence at %d "
                             "(different contents)",
                             int(r->time));
            } else if (const int count = same->second.tree.count(r->contentsSlot); count < 2) {
                // (Counts of two and more were raised above, so this is the
                // count the walk would have seen.)
                p.appendInfo("\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence at %d "
                             "missing with %d retransmission (same contents)\n",
                             int(r->time), 2 - count);
            } else {
                p.appendInfo("\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence at %d with "
                             "%d retransmissions",
                             int(r->time), count);
            }
            p.setWarning();
        }
    }
    m_index->add(trap);
}

PetAnalysis::HeartbeatEffect PetAnalysis::receiveHeartbeat(PacketFindings &p, quint32 timestamp)
{
    // What check() found stays: its findings follow the heartbeat text and
    // the status is left as it set it, so a malformed heartbeat is not
    // passed off as a good one.
    QString findings = p.info(); // "  -finding -finding" after the initial blank
    if (findings.startsWith(QLatin1Char(' ')))
        findings.remove(0, 1);
    else if (!findings.isEmpty())
        findings.prepend(QStringLiteral(" -"));
    auto setHeartbeatInfo = [&](const QString &text) { p.setInfo(text + findings); };

    if (!m_check) {
        setHeartbeatInfo(QStringLiteral("Heartbeat"));
        return {};
    }
    const quint32 expected = m_last + m_interval;
    if (double(now()) < double(expected) - double(m_tolerance) * 60000.0)
        setHeartbeatInfo(boundedFormat(PacketFindings::InfoLimit, "Heartbeat (early expected at %d)", int(expected)));
    else
        setHeartbeatInfo(QStringLiteral("Heartbeat"));
    m_previous = m_last;
    m_last = timestamp;
    HeartbeatEffect effect;
    effect.flashRed = true;
    effect.lampAfter = m_missing ? Lamp::Red : Lamp::Green;
    return effect;
}

bool PetAnalysis::checkHeartbeatDue()
{
    if (!m_check)
        return true;
    const quint32 t = now();
    const quint32 expected = m_last + m_interval;
    const double deadline = double(expected) + double(m_tolerance) * 60000.0;
    if (double(t) <= deadline) {
        m_missing = false;
        return true;
    }
    log(-1, boundedFormat(LogLineLimit,
                          "error: heartbeat missing, expected at %d-heartbeat missing outside tolerance %f min.\n"
                          "Interval:\t\t%d\nlast heartbeat:\t\t%d\nnow:\t\t%d",
                          int(expected), double(m_tolerance), int(m_interval), int(m_last), int(t)));
    m_missing = true;
    m_last = expected;
    return false;
}

// Newest first, as the records were walked; only the expired ones are met.
void PetAnalysis::expireRetransmissionRecords()
{
    const qint64 kept = qint64(raised(now())) - TwoMinutes;
    auto &all = m_index->all;
    for (int slot = all.lastBefore(kept, all.end()); slot >= 0; slot = all.lastBefore(kept, slot)) {
        Index::Stored *r = all.at(slot);
        const int count = m_index->count(r);
        if (count == 0) {
            log(0, boundedFormat(LogLineLimit,
                                 "warning: insufficient nr. of retransmissions (%d)\nfor packet received at %d-The "
                                 "Alert Standard Format Specification describes in\nchapter 5.1.5.2 messages "
                                 "without retransmission. These\ncan not be identified here.",
                                 count, int(r->time)));
        } else if (count == 1) {
            log(-1, boundedFormat(LogLineLimit,
                                  "warning: insufficient nr. of retransmissions (%d)\nfor packet received at %d-The "
                                  "Alert Standard Format Specification describes in\nchapter 5.1.5.2 messages "
                                  "without retransmission.\nSince %d retransmissions were received, this does not\n"
                                  "apply here",
                                  count, int(r->time), count));
        }
        m_index->remove(r);
    }
}

std::vector<RetransmissionRecord> PetAnalysis::records() const
{
    std::vector<RetransmissionRecord> out;
    out.reserve(recordCount());
    const auto &all = m_index->all;
    for (int slot = all.end() - 1; slot >= 0; --slot) {
        if (const Index::Stored *r = all.at(slot)) {
            out.push_back({r->sequenceNumber, r->time, r->contents->first.bytes, m_index->count(r)});
        }
    }
    return out;
}

std::size_t PetAnalysis::recordCount() const
{
    return std::size_t(m_index->all.alive());
}

} // namespace velquor::pet
