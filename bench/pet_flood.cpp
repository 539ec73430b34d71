// A flood of hostile datagrams over loopback UDP into the PET listener with
// its log and log view, as the workbench runs it: half are mutants of traps
// the PET trap composer builds (random sequence number and time stamp, then
// bytes changed, inserted, deleted, cut, tails added), half random bytes of
// 0 to 1500 bytes. A sender thread sends them at a steady rate; the search
// doubles the rate from --start while a whole flood arrives without loss
// (halving instead while it does not), then bisects between the best rate
// held and the lowest that lost datagrams; each step sends the whole flood
// to a fresh listener. The flood is sent twice over: with the Trace Log page
// showing the trace as the workbench does, and with the trace log taking
// messages but no view showing them.
//
// Every step checks that nothing crashed and that each datagram the
// listener read became a PET row of its log (the log's limit is raised above
// the flood with setMaxSize, not cleared between rounds; the analysis's log
// lines are counted apart). It prints the rate, the loss, the heap in use
// per logged row (all arenas, taken before and after the step; it includes
// the traps the sequence analysis remembers for two minutes), how many rows
// the log keeps compact, how many traps the analysis remembers, the resident
// size per row and the peak resident size.
// The summary gives the best rate held, or says that none was, and judges
// memory over every step made.
//
// Usage: bench_pet_flood [--count N] [--start RATE] [--precision PERCENT]
//                        [--rate RATE] [--only traceview|notraceview]

#include "core/asflogger.h"
#include "core/asfpacket.h"
#include "core/packetlogmodel.h"
#include "core/packetlogview.h"
#include "core/packetviews.h"
#include "core/tracelog.h"
#include "core/tracelogview.h"
#include "pet/asfpethandler.h"
#include "pet/petcompose.h"
#include "pet/pettrap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QTimer>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

using namespace velquor;

namespace {

// --- the datagrams ------------------------------------------------------------

quint64 splitmix(quint64 x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

class Random
{
public:
    explicit Random(quint64 seed) : m_state(splitmix(seed)) {}
    quint64 next() { return m_state = splitmix(m_state); }
    quint32 below(quint32 n) { return quint32(next() % n); }

private:
    quint64 m_state;
};

// Traps from the composer, well-formed and broken, with where their
// sequence number and local time stamp lie, so every mutant is a trap of
// its own.
struct Base
{
    QByteArray bytes;
    int petStart;
};

std::vector<Base> composedBases()
{
    using namespace velquor::pet;
    std::vector<TrapValues> values{alertTrap(1), heartbeatTrap(1)};
    TrapValues oem = alertTrap(1);
    oem.oem = QByteArray::fromHex("43aabbcc 02 1122 c1");
    values.push_back(oem);
    TrapValues odd = alertTrap(1);
    odd.set(Element::Entity, 0x30).set(Element::SensorNumber, 0).set(Element::GenericTrap, 2);
    odd.set(Element::SpecificTrap, 0x00078001);
    odd.setText(Element::Community, QByteArray("\x01\xff", 2));
    values.push_back(odd);

    std::vector<TrapFaults> faults(4);
    faults[1].length[size_t(Element::OctetString)] = 46;
    faults[2].trailer = QByteArray::fromHex("00");
    faults[3].tag[size_t(Element::Name)] = 0x05;

    std::vector<Base> bases;
    for (const TrapValues &v : values) {
        for (const TrapFaults &f : faults) {
            const QByteArray bytes = composePetTrap(v, f);
            bases.push_back({bytes, walkPetTrap(bytes, int(bytes.size()), nullptr).petStart});
        }
    }
    return bases;
}

// Datagram i of the flood: the same for every step.
QByteArray datagram(quint64 i, const std::vector<Base> &bases)
{
    Random random(i);
    if (i % 2) {
        QByteArray bytes(qsizetype(random.below(1501)), Qt::Uninitialized);
        for (qsizetype k = 0; k < bytes.size(); k += 8) {
            const quint64 r = random.next();
            std::memcpy(bytes.data() + k, &r, size_t(qMin<qsizetype>(8, bytes.size() - k)));
        }
        return bytes;
    }
    const Base &base = bases[random.below(quint32(bases.size()))];
    QByteArray bytes = base.bytes;
    // Sequence number and local time stamp of their own, drawn at random:
    // a mutation before them shifts where the walk reads them, and bytes
    // counted up from the datagram's number would then give a few hundred
    // sequence numbers shared by thousands of traps.
    const int seq = base.petStart + 16;
    if (seq + 6 <= bytes.size()) {
        const quint64 r = random.next();
        for (int k = 0; k < 6; ++k)
            bytes[seq + k] = char(r >> (8 * k));
    }
    for (int m = int(random.below(5)); m > 0; --m) {
        const quint32 at = random.below(quint32(bytes.size()) + 1);
        switch (random.below(6)) {
        case 0:
            if (at < bytes.size())
                bytes[at] = char(random.next());
            break;
        case 1:
            if (at < bytes.size())
                bytes[at] = char(bytes[at] ^ (1 << random.below(8)));
            break;
        case 2:
            bytes.insert(at, char(random.next()));
            break;
        case 3:
            if (at < bytes.size())
                bytes.remove(at, 1);
            break;
        case 4:
            bytes.truncate(at);
            break;
        default:
            for (quint32 k = random.below(40); k > 0; --k)
                bytes.append(char(random.next()));
            break;
        }
    }
    return bytes;
}

// --- measuring ----------------------------------------------------------------

// Heap in use, all arenas (the sender's arrays are freed as it goes).
qint64 heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks) + qint64(m.hblkhd);
}

qint64 statusKb(const char *key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts a new peak resident size.
void resetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// --- one step -----------------------------------------------------------------

struct Step
{
    double rate = 0;       // asked, datagrams per second
    quint64 sent = 0;
    quint64 received = 0;  // read by the listener
    quint64 petRows = 0;   // PET rows in its log
    quint64 logLines = 0;  // other rows (the analysis's log lines)
    double seconds = 0;    // first send to last row
    double sendSeconds = 0;
    double cpuSeconds = 0; // of the receiving thread
    qint64 heapPerRow = 0, rssPerRow = 0;
    int compactRows = 0;         // rows the log keeps compact
    std::size_t records = 0;     // traps the sequence analysis remembers
    qint64 peakKb = 0;
    quint64 lost() const { return sent - received; }
    bool held() const { return sent > 0 && lost() == 0; }
};

void sendFlood(quint16 port, quint64 count, double rate, const std::vector<Base> &bases, std::atomic<quint64> &sent,
               std::atomic<bool> &done)
{
    prctl(PR_SET_TIMERSLACK, 1UL);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto start = std::chrono::steady_clock::now();
    for (quint64 i = 0; i < count; ++i) {
        const QByteArray bytes = datagram(i, bases);
        const auto due = start + std::chrono::nanoseconds(qint64(double(i) * 1e9 / rate));
        if (std::chrono::steady_clock::now() < due)
            std::this_thread::sleep_until(due);
        ::sendto(fd, bytes.constData(), size_t(bytes.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
        sent.store(i + 1, std::memory_order_relaxed);
    }
    ::close(fd);
    done = true;
}

class Bench
{
public:
    Bench(bool traceView, quint64 count) : m_traceView(traceView), m_count(count), m_bases(composedBases()) {}

    Step run(double rate)
    {
        // The trace goes where the workbench sends it: the trace log, shown
        // on the Trace Log page or not.
        TraceLog traceLog;
        std::unique_ptr<QPlainTextEdit> tracePage;
        std::unique_ptr<TraceLogView> traceShown;
        if (m_traceView) {
            tracePage = std::make_unique<QPlainTextEdit>();
            tracePage->resize(800, 600);
            tracePage->show();
            traceShown = std::make_unique<TraceLogView>(&traceLog, tracePage.get());
        }
        traceLog.install();

        QWidget window;
        auto *layout = new QHBoxLayout(&window);
        auto *logFrame = new QWidget;
        auto *packetFrame = new QWidget;
        layout->addWidget(logFrame);
        layout->addWidget(packetFrame);
        window.resize(1000, 700);
        window.show();

        SystemLogClock clock;
        Step step;
        step.rate = rate;
        {
            ASF_PET_Handler handler(&clock);
            PacketViewRegistry views;
            PacketLogView logView(handler.logger(), &views);
            logView.setLogFrame(logFrame);
            logView.setPacketFrame(packetFrame);
            // Room for the whole flood and the log lines of the analysis.
            handler.logger()->setMaxSize(unsigned(m_count * 2 + 1000));
            handler.listen(pet::PetSettings::fromTexts(QStringLiteral("127.0.0.1"), QStringLiteral("0"), false,
                                                       QStringLiteral("10"), QStringLiteral("0.5")));
            if (!handler.isListening()) {
                std::fprintf(stderr, "bench_pet_flood: cannot bind the listener\n");
                std::exit(1);
            }
            QCoreApplication::processEvents();
            malloc_trim(0);
            const qint64 heapBefore = heapInUse(), rssBefore = statusKb("VmRSS:");
            resetPeak();

            std::atomic<quint64> sent{0};
            std::atomic<bool> done{false};
            QElapsedTimer timer;
            timer.start();
            const double cpuStart = threadCpuSeconds();
            std::thread sender(sendFlood, handler.socket()->localPort(), m_count, rate, std::cref(m_bases),
                               std::ref(sent), std::ref(done));
            // Until everything sent has arrived, or nothing came for a second after the last send.
            quint64 seen = 0;
            qint64 lastArrival = 0, lastProgress = 0;
            double sendSeconds = 0;
            // The event loop waits for events as the workbench's does (a
            // loop polling without waiting would take a core of its own);
            // the timer wakes it to look at the counts.
            QTimer wake;
            wake.start(20);
            while (true) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                const quint64 now = handler.datagramsRead();
                if (now != seen) {
                    seen = now;
                    lastProgress = timer.elapsed();
                    lastArrival = timer.nsecsElapsed();
                }
                if (done && sendSeconds == 0)
                    sendSeconds = double(timer.nsecsElapsed()) / 1e9;
                if (done && (now == sent.load() || timer.elapsed() - lastProgress > 1000))
                    break;
            }
            sender.join();
            // The views catch up: part of taking the flood.
            QCoreApplication::processEvents();
            step.cpuSeconds = threadCpuSeconds() - cpuStart;
            step.seconds = double(lastArrival) / 1e9;
            step.sendSeconds = sendSeconds;
            step.sent = sent.load();
            step.received = handler.datagramsRead();

            // Counted from the rows' texts: asking for the records would
            // build every compact row's record again.
            const PacketLogModel *model = handler.logger()->model();
            for (int row = 0; row < model->size(); ++row) {
                if (model->rowProtocol(row) == QLatin1String("PET"))
                    ++step.petRows;
                else
                    ++step.logLines;
            }
            step.compactRows = model->compactRows();
            step.records = handler.analysis().recordCount();
            const qint64 rows = qMax<qint64>(1, model->size());
            step.heapPerRow = (heapInUse() - heapBefore) / rows;
            step.rssPerRow = (statusKb("VmRSS:") - rssBefore) * 1024 / rows;
            step.peakKb = statusKb("VmHWM:");
            if (step.petRows != step.received) {
                std::fprintf(stderr, "bench_pet_flood: %llu datagrams read but %llu PET rows logged\n",
                             static_cast<unsigned long long>(step.received),
                             static_cast<unsigned long long>(step.petRows));
                std::exit(2);
            }
        }
        // The listener, its log and every record are gone before the next step.
        malloc_trim(0);
        return step;
    }

private:
    bool m_traceView;
    quint64 m_count;
    std::vector<Base> m_bases;
};

void printHeader()
{
    std::printf("%-10s %8s %8s %7s %8s %9s %7s %7s %7s %8s %9s %8s %8s %7s\n", "rate asked", "sent", "received",
                "lost", "PET rows", "log lines", "seconds", "cpu s", "rows/s", "heap/row", "compact", "rss/row",
                "records", "peak MB");
}

void print(const Step &s)
{
    std::printf("%-10.0f %8llu %8llu %7llu %8llu %9llu %7.2f %7.2f %7.0f %8lld %9lld %8lld %8zu %7.0f\n", s.rate,
                static_cast<unsigned long long>(s.sent), static_cast<unsigned long long>(s.received),
                static_cast<unsigned long long>(s.lost()), static_cast<unsigned long long>(s.petRows),
                static_cast<unsigned long long>(s.logLines), s.seconds, s.cpuSeconds,
                s.seconds > 0 ? double(s.received) / s.seconds : 0.0, static_cast<long long>(s.heapPerRow),
                static_cast<long long>(s.compactRows), static_cast<long long>(s.rssPerRow), s.records,
                double(s.peakKb) / 1024);
    std::fflush(stdout);
}

// Every step of one search; held is the best step without loss, if any.
struct Search
{
    std::vector<Step> steps;
    std::optional<Step> held;

    void add(const Step &s)
    {
        print(s);
        steps.push_back(s);
        if (s.held() && (!held || s.rate > held->rate))
            held = s;
    }
};

// Doubling while the flood is held, then bisecting to within precision
// percent between the best rate held and the lowest that lost datagrams.
// A start that loses already halves instead, down to 1/64 of it.
Search search(Bench &bench, double start, double precision)
{
    printHeader();
    Search result;
    double bad = 0;
    for (double rate = start;;) {
        const Step s = bench.run(rate);
        result.add(s);
        if (s.held()) {
            // The sender could not keep up with the rate asked: nothing more to find.
            if (s.sendSeconds > 1.5 * double(s.sent) / rate)
                return result;
            if (bad > 0)
                break;
            rate *= 2;
        } else {
            bad = rate;
            if (result.held)
                break;
            if (rate < start / 64)
                return result;
            rate /= 2;
        }
    }
    while (result.held && bad - result.held->rate > result.held->rate * precision / 100) {
        const Step s = bench.run(std::round((result.held->rate + bad) / 2));
        result.add(s);
        if (!s.held())
            bad = s.rate;
    }
    return result;
}

// One line per configuration: the rate held without loss (or that none
// was), and memory per row over every step made, whether held or not.
void summarise(const char *name, const Search &r)
{
    qint64 worstHeap = 0, worstRss = 0, peakKb = 0;
    for (const Step &s : r.steps) {
        worstHeap = qMax(worstHeap, s.heapPerRow);
        worstRss = qMax(worstRss, s.rssPerRow);
        peakKb = qMax(peakKb, s.peakKb);
    }
    if (r.held) {
        const Step &s = *r.held;
        std::printf("%s: held %.0f datagrams/s without loss (%llu sent, %llu PET rows, %llu log lines); "
                    "at that rate %lld bytes of heap and %lld resident per row, peak %.0f MB\n",
                    name, s.rate, static_cast<unsigned long long>(s.sent), static_cast<unsigned long long>(s.petRows),
                    static_cast<unsigned long long>(s.logLines), static_cast<long long>(s.heapPerRow),
                    static_cast<long long>(s.rssPerRow), double(s.peakKb) / 1024);
    } else {
        const Step *lowest = nullptr;
        for (const Step &s : r.steps)
            if (!lowest || s.rate < lowest->rate)
                lowest = &s;
        std::printf("%s: NO rate held without loss", name);
        if (lowest)
            std::printf(" (at %.0f datagrams/s, the lowest tried, %llu of %llu lost)", lowest->rate,
                        static_cast<unsigned long long>(lowest->lost()), static_cast<unsigned long long>(lowest->sent));
        std::printf("\n");
    }
    std::printf("%s: over all %zu steps at most %lld bytes of heap and %lld resident per row, peak %.0f MB\n", name,
                r.steps.size(), static_cast<long long>(worstHeap), static_cast<long long>(worstRss),
                double(peakKb) / 1024);
    std::printf("target: at most 1024 bytes of heap per logged row: %s\n",
                r.steps.empty() ? "not measured" : worstHeap <= 1024 ? "met" : "NOT met");
    std::printf("target: no datagram lost: %s\n", r.held ? "met at the rate above" : "NOT met at any rate tried");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quint64 count = 1000000;
    double start = 5000, precision = 5, fixedRate = 0;
    QString only;
    const QStringList args = app.arguments();
    const auto usage = [&](FILE *to) {
        std::fprintf(to,
                     "usage: bench_pet_flood [--count N] [--start RATE] [--precision PERCENT] [--rate RATE]\n"
                     "                       [--only traceview|notraceview]\n"
                     "  --count N        datagrams per step (default 1000000)\n"
                     "  --start RATE     first rate of the search, datagrams/s (default 5000)\n"
                     "  --precision P    bisect until the rates differ by P percent (default 5)\n"
                     "  --rate RATE      one step at this rate instead of a search\n"
                     "  --only WHICH     only with the trace view, or only without it\n");
    };
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            usage(stdout);
            return 0;
        }
        const bool known = arg == QLatin1String("--count") || arg == QLatin1String("--start")
                           || arg == QLatin1String("--precision") || arg == QLatin1String("--rate")
                           || arg == QLatin1String("--only");
        if (!known || i + 1 >= args.size()) {
            std::fprintf(stderr, "bench_pet_flood: %s: %s\n", qPrintable(arg),
                         known ? "needs a value" : "unknown option");
            usage(stderr);
            return 2;
        }
        const QString value = args[++i];
        bool ok = true;
        if (arg == QLatin1String("--count")) {
            count = value.toULongLong(&ok);
            ok = ok && count > 0;
        } else if (arg == QLatin1String("--start")) {
            start = value.toDouble(&ok);
            ok = ok && start > 0;
        } else if (arg == QLatin1String("--precision")) {
            precision = value.toDouble(&ok);
            ok = ok && precision > 0;
        } else if (arg == QLatin1String("--rate")) {
            fixedRate = value.toDouble(&ok);
            ok = ok && fixedRate > 0;
        } else {
            only = value;
            ok = only == QLatin1String("traceview") || only == QLatin1String("notraceview");
        }
        if (!ok) {
            std::fprintf(stderr, "bench_pet_flood: %s: bad value \"%s\"\n", qPrintable(arg), qPrintable(value));
            usage(stderr);
            return 2;
        }
    }

    std::printf("PET flood: %llu datagrams over loopback UDP (half composed traps mutated, half random bytes of "
                "0..1500), receive buffer asked %d bytes; a fresh listener each step, log limit raised with "
                "setMaxSize\n",
                static_cast<unsigned long long>(count), ASF_PET_Handler::ReceiveBufferBytes);
    std::printf("machine: %u cores, load (1-minute average) before: %.2f\n", std::thread::hardware_concurrency(),
                loadAverage());
    std::vector<std::pair<const char *, Search>> results;
    for (const bool traceView : {true, false}) {
        const char *name = traceView ? "with the trace view" : "trace log, no view";
        if (!only.isEmpty() && only != QLatin1String(traceView ? "traceview" : "notraceview"))
            continue;
        std::printf("\n-- %s --\n", name);
        Bench bench(traceView, count);
        if (fixedRate > 0) {
            Search one;
            printHeader();
            one.add(bench.run(fixedRate));
            results.emplace_back(name, std::move(one));
        } else {
            results.emplace_back(name, search(bench, start, precision));
        }
    }
    std::printf("\nmachine load (1-minute average) after: %.2f\n", loadAverage());
    for (const auto &[name, r] : results)
        summarise(name, r);
    return 0;
}
