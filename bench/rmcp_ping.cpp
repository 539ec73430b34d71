// Presence Ping to Presence Pong round trips over loopback UDP against
// velquor-sim: through the RMCP handler (with its log), beside a raw
// blocking socket loop as the limit and FreeIPMI's rmcpping against the same
// simulator. Each round trip waits for its pong before the next ping.
//
// The handler's round trip runs from the send slot to the moment its
// tracking ends on the pong (sendEnabledChanged), so it holds the event
// loop's wake-up, the read, the check and the logging of both records.
// rmcpping prints no times and sends at most one ping a second, so each of
// its round trips is one run of `rmcpping -c 1 127.0.0.1` timed from start
// to exit: its figure includes starting the process. It has no port option,
// so that half needs the simulator on 127.0.0.1 port 623 and is skipped
// with a message when that port cannot be bound.
//
// Usage: bench_rmcp_ping [--count N] [--rmcpping-count N]

#include "core/asflogger.h"
#include "core/logclock.h"
#include "core/trace.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/rmcpconnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velquor;

namespace {

struct Figures
{
    double median = 0, p99 = 0; // µs
    int lost = 0;
};

Figures figures(std::vector<double> us, int lost)
{
    Figures f;
    f.lost = lost;
    if (us.empty())
        return f;
    std::sort(us.begin(), us.end());
    f.median = us[us.size() / 2];
    f.p99 = us[std::min(us.size() - 1, size_t(double(us.size()) * 0.99))];
    return f;
}

void print(const char *what, const Figures &f, size_t n)
{
    std::printf("%-34s median %8.1f us   p99 %8.1f us   (%zu round trips, %d lost)\n", what, f.median, f.p99, n,
                f.lost);
}

// velquor-sim on the given port (0: a free one); 0 when it did not start.
quint16 startSim(QProcess &sim, quint16 port)
{
    sim.start(QStringLiteral(VELQUOR_SIM_BINARY), {"--port", QString::number(port)});
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    const QString line = QString::fromLocal8Bit(sim.readLine());
    if (!line.startsWith(QLatin1String("velquor-sim: RMCP/ASF on ")))
        return 0;
    return quint16(line.section(QLatin1Char(' '), -1).trimmed().toUInt());
}

void stopSim(QProcess &sim)
{
    sim.terminate();
    sim.waitForFinished(10000);
}

const QByteArray Ping = QByteArray::fromHex("0600ff06000011be80010000"); // no acknowledge wanted, tag 1

// A plain socket that blocks for each pong.
Figures rawLoop(quint16 port, int count, std::vector<double> &us)
{
    QUdpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.waitForConnected();
    int lost = 0;
    QElapsedTimer t;
    char buffer[1500];
    for (int i = 0; i < count; ++i) {
        t.start();
        socket.write(Ping);
        if (!socket.waitForReadyRead(2000)) {
            ++lost;
            continue;
        }
        socket.read(buffer, sizeof buffer);
        us.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    return figures(us, lost);
}

// Through the handler: sequence number 255 (no acknowledge, as rmcpping
// sends), or automatic numbers (acknowledge, pong, the console's acknowledge).
Figures handlerLoop(quint16 port, int count, bool acknowledge, std::vector<double> &us)
{
    SystemLogClock clock;
    ASF_RMCP_Handler handler(&clock);
    rmcp::RmcpSettings s;
    s.address = QStringLiteral("127.0.0.1");
    handler.connection()->setPlainPort(port);
    handler.setConfig(s);
    handler.connection()->connectToClient();
    if (!handler.isConnected()) {
        std::fprintf(stderr, "bench_rmcp_ping: the handler could not connect\n");
        return {};
    }
    QEventLoop loop;
    QObject::connect(&handler, &ASF_RMCP_Handler::sendEnabledChanged, &loop, [&loop](bool enabled) {
        if (enabled)
            loop.quit();
    });
    int lost = 0;
    QElapsedTimer t;
    // The first tenth warms up (allocations, the log's first rows) and is not counted.
    const int warmUp = count / 10;
    for (int i = -warmUp; i < count; ++i) {
        t.start();
        handler.sendPacketRsp(6, 0, !acknowledge, 0xFF, 6, 4542, 0x80, false, 0, 0, 0, QString(),
                              ASF_RMCP_Handler::RSP_NONE);
        if (handler.sendEnabled()) { // nothing tracked: the send failed
            ++lost;
            continue;
        }
        loop.exec();
        const double elapsed = double(t.nsecsElapsed()) / 1000.0;
        if (i < 0)
            continue;
        // A failure (after the 2 s response time) is no round trip.
        if (elapsed < 1.9e6)
            us.push_back(elapsed);
        else
            ++lost;
    }
    return figures(us, lost);
}

// One `rmcpping -c 1` run per round trip, timed from start to exit.
Figures rmcppingRuns(const QString &rmcpping, int count, std::vector<double> &us)
{
    int lost = 0;
    QElapsedTimer t;
    for (int i = 0; i < count; ++i) {
        QProcess p;
        t.start();
        p.start(rmcpping, {"-c", "1", "127.0.0.1"});
        p.waitForFinished(10000);
        const double elapsed = double(t.nsecsElapsed()) / 1000.0;
        if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            us.push_back(elapsed);
        else
            ++lost;
    }
    return figures(us, lost);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setTraceEnabled(false);
    int count = 1000, rmcppingCount = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--count"))
            count = qMax(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--rmcpping-count"))
            rmcppingCount = qMax(1, args[i + 1].toInt());
    }
    if (args.size() % 2 == 0) {
        std::fprintf(stderr, "usage: bench_rmcp_ping [--count N] [--rmcpping-count N]\n");
        return 2;
    }

    QProcess sim;
    const quint16 port = startSim(sim, 0);
    if (!port) {
        std::fprintf(stderr, "bench_rmcp_ping: velquor-sim did not start\n");
        return 1;
    }
    std::vector<double> raw, plain, acked;
    const Figures r = rawLoop(port, count, raw);
    // The first handler of the process has run about twice as slow as the
    // ones after it on this machine; both runs are shown.
    std::vector<double> first;
    const Figures h1 = handlerLoop(port, count, false, first);
    const Figures h = handlerLoop(port, count, false, plain);
    const Figures a = handlerLoop(port, count, true, acked);
    stopSim(sim);
    print("raw socket, blocking", r, raw.size());
    print("handler, ping without ack (1st)", h1, first.size());
    print("handler, ping without ack (2nd)", h, plain.size());
    print("handler, ping with ack", a, acked.size());
    std::printf("handler (2nd) / raw socket (medians): %.2f\n", r.median > 0 ? h.median / r.median : 0.0);

    const QString rmcpping = QStandardPaths::findExecutable(QStringLiteral("rmcpping"), {"/usr/sbin", "/usr/bin", "/sbin"});
    if (rmcpping.isEmpty()) {
        std::printf("rmcpping: skipped, not installed (Debian package freeipmi-tools)\n");
        return 0;
    }
    QProcess sim623;
    if (!startSim(sim623, 623)) {
        sim623.waitForFinished(10000);
        std::printf("rmcpping: skipped, velquor-sim cannot bind 127.0.0.1 port 623: %s\n",
                    sim623.readAllStandardError().trimmed().constData());
        return 0;
    }
    std::vector<double> runs, plain623;
    const Figures p = rmcppingRuns(rmcpping, rmcppingCount, runs);
    const Figures h623 = handlerLoop(623, count, false, plain623);
    stopSim(sim623);
    print("rmcpping -c 1, whole run", p, runs.size());
    print("handler on port 623, without ack", h623, plain623.size());
    std::printf("handler / rmcpping (medians): %.3f (target: at most 2)\n", p.median > 0 ? h623.median / p.median : 0.0);
    return 0;
}
