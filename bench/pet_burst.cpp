// Bursts of PET traps over loopback UDP into the PET listener with its log,
// trace view and page shown (offscreen), beside a raw receive loop on the
// same socket class as the limit. A sender thread sends each burst as fast
// as it can: paced by a window of datagrams not yet taken by the receiver
// (so the kernel queue never overflows and the rate is what the receiver
// sustains), then once unpaced. The paced bursts alternate between the raw
// loop and the listener, --runs times each; the best rate of each stands for
// it, as other load on the machine only ever slows a run down, and the
// spread of the rates shows how much.
//
// Usage: bench_pet_burst [--count N] [--window W] [--runs R]

#include "core/asflogger.h"
#include "pet/asfpethandler.h"
#include "core/packetlogmodel.h"
#include "core/packetlogview.h"
#include "support/pettrapbuilder.h"
#include "core/packetviews.h"
#include "core/tracelog.h"
#include "core/tracelogview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>

using namespace velquor;

namespace {

struct Result
{
    quint64 sent = 0;
    quint64 received = 0;
    double seconds = 0;
    double cpuSeconds = 0; // of the receiving thread: what other load on the machine hardly changes
    double rate() const { return seconds > 0 ? double(received) / seconds : 0; }
    double cpuRate() const { return cpuSeconds > 0 ? double(received) / cpuSeconds : 0; }
};

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The best of several runs, the spread of their rates, and whether any lost a datagram.
struct Runs
{
    Result best;
    double slowest = 0;
    double bestCpuRate = 0;
    bool lost = false;

    void add(const Result &r)
    {
        lost = lost || r.received != r.sent;
        if (best.seconds == 0 || r.rate() > best.rate())
            best = r;
        if (slowest == 0 || r.rate() < slowest)
            slowest = r.rate();
        bestCpuRate = qMax(bestCpuRate, r.cpuRate());
    }
    double spread() const { return best.rate() > 0 ? 100.0 * (best.rate() - slowest) / best.rate() : 0; }
};

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

void sendBurst(quint16 port, const std::vector<QByteArray> &payloads, quint64 window,
               const std::atomic<quint64> &consumed, std::atomic<quint64> &sent)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (const QByteArray &p : payloads) {
        if (window) {
            while (sent.load() - consumed.load() >= window)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        ::sendto(fd, p.constData(), size_t(p.size()), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
        sent.fetch_add(1);
    }
    ::close(fd);
}

// Sends the burst and runs the event loop until everything arrived or
// nothing came for a second.
Result run(quint16 port, const std::vector<QByteArray> &payloads, quint64 window, std::atomic<quint64> &consumed)
{
    consumed = 0;
    std::atomic<quint64> sent{0};
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = threadCpuSeconds();
    std::thread sender(sendBurst, port, std::cref(payloads), window, std::cref(consumed), std::ref(sent));
    qint64 lastProgress = 0;
    quint64 seen = 0;
    qint64 lastArrival = 0;
    while (consumed.load() < payloads.size()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const quint64 now = consumed.load();
        if (now != seen) {
            seen = now;
            lastProgress = clock.elapsed();
            lastArrival = clock.nsecsElapsed();
        } else if (sent.load() == payloads.size() && clock.elapsed() - lastProgress > 1000) {
            break;
        }
    }
    sender.join();
    // Let the views catch up; part of the cost of taking the burst.
    QCoreApplication::processEvents();
    if (consumed.load() == payloads.size())
        lastArrival = clock.nsecsElapsed();
    Result r;
    r.sent = sent.load();
    r.received = consumed.load();
    r.seconds = double(lastArrival) / 1e9;
    r.cpuSeconds = threadCpuSeconds() - cpuStart;
    return r;
}

void print(const char *name, const Result &r)
{
    std::printf("%-22s %9llu %9llu %8llu %9.3f %11.0f %9.3f %11.0f\n", name, static_cast<unsigned long long>(r.sent),
                static_cast<unsigned long long>(r.received), static_cast<unsigned long long>(r.sent - r.received),
                r.seconds, r.rate(), r.cpuSeconds, r.cpuRate());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 100000;
    quint64 window = 2000;
    int runs = 3;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--count"))
            count = args[++i].toInt();
        else if (args[i] == QLatin1String("--window"))
            window = args[++i].toULongLong();
        else if (args[i] == QLatin1String("--runs"))
            runs = qMax(1, args[++i].toInt());
    }

    // The trace goes where the workbench sends it: the Trace Log page.
    QPlainTextEdit traceView;
    traceView.show();
    TraceLog traceLog;
    TraceLogView traceShown(&traceLog, &traceView);
    traceLog.install();

    QWidget window1;
    auto *layout = new QHBoxLayout(&window1);
    auto *logFrame = new QWidget;
    auto *packetFrame = new QWidget;
    layout->addWidget(logFrame);
    layout->addWidget(packetFrame);
    window1.resize(1000, 700);
    window1.show();

    SystemLogClock clock;
    ASF_PET_Handler handler(&clock);
    PacketViewRegistry views;
    PacketLogView logView(handler.logger(), &views);
    logView.setLogFrame(logFrame);
    logView.setPacketFrame(packetFrame);
    handler.listen(pet::PetSettings::fromTexts(QStringLiteral("127.0.0.1"), QStringLiteral("0"), false,
                                               QStringLiteral("10"), QStringLiteral("0.5")));
    if (!handler.isListening()) {
        std::fprintf(stderr, "bench_pet_burst: cannot bind the listener\n");
        return 1;
    }
    const quint16 handlerPort = handler.socket()->localPort();
    std::atomic<quint64> consumed{0};
    QObject::connect(handler.logger(), &ASF_Logger::newPacketSignal, [&consumed] { consumed.fetch_add(1); });

    UdpDatagramSocket raw;
    raw.setReceiveBufferSize(ASF_PET_Handler::ReceiveBufferBytes);
    raw.bind(QHostAddress::LocalHost, 0);
    std::vector<ReceivedDatagram> batch;
    QObject::connect(&raw, &DatagramSocket::readyRead, [&] {
        batch.clear();
        consumed.fetch_add(quint64(raw.readPending(batch)));
    });

    // Distinct traps: the sequence number and the local time stamp change.
    std::vector<QByteArray> payloads;
    payloads.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        payloads.push_back(pettest::trapWithSequence(quint16(i % 65535 + 1), quint32(i + 1)));

    std::printf("PET burst: %d traps of %lld bytes over loopback UDP, receive buffer asked %d bytes (raw %d, "
                "listener socket as the factory makes it)\n",
                count, static_cast<long long>(payloads.front().size()), ASF_PET_Handler::ReceiveBufferBytes,
                raw.receiveBufferSize());
    std::printf("machine load (1-minute average) before: %.2f\n", loadAverage());
    std::printf("%-22s %9s %9s %8s %9s %11s %9s %11s\n", "run", "sent", "received", "lost", "seconds", "traps/s",
                "cpu s", "traps/cpu s");
    Runs rawPaced, petPaced;
    int rows = 0;
    for (int r = 0; r < runs; ++r) {
        const Result rawRun = run(raw.localPort(), payloads, window, consumed);
        print("raw loop, paced", rawRun);
        rawPaced.add(rawRun);
        handler.restart();
        const Result petRun = run(handlerPort, payloads, window, consumed);
        print("listener, paced", petRun);
        petPaced.add(petRun);
        rows = handler.logger()->model()->size();
    }
    const Result rawFree = run(raw.localPort(), payloads, 0, consumed);
    print("raw loop, unpaced", rawFree);
    handler.restart();
    const Result petFree = run(handlerPort, payloads, 0, consumed);
    print("listener, unpaced", petFree);

    std::printf("machine load (1-minute average) after: %.2f\n", loadAverage());
    std::printf("paced window %llu datagrams; rows logged in the last paced listener run: %d\n",
                static_cast<unsigned long long>(window), rows);
    std::printf("best of %d paced runs: raw loop %.0f traps/s (spread %.0f %%), listener %.0f traps/s (spread %.0f %%)\n",
                runs, rawPaced.best.rate(), rawPaced.spread(), petPaced.best.rate(), petPaced.spread());
    const double ratio = rawPaced.best.rate() > 0 ? petPaced.best.rate() / rawPaced.best.rate() : 0.0;
    std::printf("listener / raw loop (paced, best of %d): %.1f %%; by the receiving thread's CPU time: %.1f %%\n", runs,
                100.0 * ratio, rawPaced.bestCpuRate > 0 ? 100.0 * petPaced.bestCpuRate / rawPaced.bestCpuRate : 0.0);
    std::printf("target: >= 50 %% of the raw rate with 0 lost in every paced burst: %s\n",
                !petPaced.lost && ratio >= 0.5 ? "met" : "NOT met");
    return 0;
}
