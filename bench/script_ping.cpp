// Presence Ping to Presence Pong round trips over loopback UDP against
// velquor-sim, driven by a test script through RMCP1 (send, then waitIdle
// for the pong) beside the same loop driven from C++ through the handler.
// Both run on the headless runner's handler with its log.
//
// Per ping: the round trip, from the send to the end of its tracking on the
// pong (what the handler does either way), and the whole iteration, from one
// send to the next (the loop around it: the script's calls and its wait, or
// a C++ event loop). The script's overhead per round trip is the difference
// of the iteration medians.
//
// Usage: bench_script_ping [--count N]

#include "core/logclock.h"
#include "core/trace.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/rmcpconnection.h"
#include "script/scripthost.h"
#include "script/scriptrunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velquor;

namespace {

struct Figures
{
    double median = 0, p99 = 0; // µs
};

Figures figures(std::vector<double> us)
{
    Figures f;
    if (us.empty())
        return f;
    std::sort(us.begin(), us.end());
    f.median = us[us.size() / 2];
    f.p99 = us[std::min(us.size() - 1, size_t(double(us.size()) * 0.99))];
    return f;
}

void print(const char *what, const Figures &f, size_t n)
{
    std::printf("%-30s median %8.1f us   p99 %8.1f us   (%zu)\n", what, f.median, f.p99, n);
}

// Send and tracking-end times of every ping on a handler, in µs.
struct Stamps
{
    std::vector<double> starts, ends;

    void attach(ASF_RMCP_Handler *handler, QElapsedTimer &clock)
    {
        QObject::connect(handler, &ASF_RMCP_Handler::sendEnabledChanged, handler, [this, &clock](bool enabled) {
            (enabled ? ends : starts).push_back(double(clock.nsecsElapsed()) / 1000.0);
        });
    }
    std::vector<double> roundTrips() const
    {
        std::vector<double> us;
        for (size_t i = 0; i < std::min(starts.size(), ends.size()); ++i)
            us.push_back(ends[i] - starts[i]);
        return us;
    }
    std::vector<double> iterations() const
    {
        std::vector<double> us;
        for (size_t i = 1; i < starts.size(); ++i)
            us.push_back(starts[i] - starts[i - 1]);
        return us;
    }
};

quint16 startSim(QProcess &sim)
{
    sim.start(QStringLiteral(VELQUOR_SIM_BINARY), {"--port", "0"});
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    const QString line = QString::fromLocal8Bit(sim.readLine());
    if (!line.startsWith(QLatin1String("velquor-sim: RMCP/ASF on ")))
        return 0;
    return quint16(line.section(QLatin1Char(' '), -1).trimmed().toUInt());
}

// A fresh runner whose RMCP1 is connected to the simulator.
bool connect(script::ScriptRunner &runner, quint16 port)
{
    ASF_RMCP_Handler *h = runner.rmcpHandler(1);
    rmcp::RmcpSettings s;
    s.address = QStringLiteral("127.0.0.1");
    s.responseTime = QStringLiteral("2000");
    h->connection()->setPlainPort(port);
    h->setConfig(s);
    h->connection()->connectToClient();
    return h->isConnected();
}

// Sequence number 255: no acknowledge, the tracking ends on the pong.
bool scriptLoop(quint16 port, int count, Stamps &stamps)
{
    script::ScriptRunner runner;
    if (!connect(runner, port))
        return false;
    const QString source = QStringLiteral(R"(
function pings() {
  for (var i = 0; i < %1; ++i) {
    RMCP1.send(6, 0, true, 255, 6, 4542, 0x80, false, 0, 0, 0, "", 0);
    if (!RMCP1.waitIdle(2000)) { expect(false, "ping " + i + " unanswered"); return; }
  }
}
)")
                               .arg(count);
    if (!runner.host().setSource(source))
        return false;
    QElapsedTimer clock;
    clock.start();
    stamps.attach(runner.rmcpHandler(1), clock);
    const auto functions = runner.host().resolve(QStringLiteral("pings"));
    if (functions.size() != 1)
        return false;
    const script::RunResult r = runner.host().run(functions.front());
    if (r.outcome != script::RunResult::Passed) {
        std::fprintf(stderr, "bench_script_ping: the script failed: %s\n", qPrintable(r.failures.join(", ")));
        return false;
    }
    return true;
}

bool cppLoop(quint16 port, int count, Stamps &stamps)
{
    script::ScriptRunner runner;
    if (!connect(runner, port))
        return false;
    ASF_RMCP_Handler *h = runner.rmcpHandler(1);
    QElapsedTimer clock;
    clock.start();
    stamps.attach(h, clock);
    QEventLoop loop;
    QObject::connect(h, &ASF_RMCP_Handler::sendEnabledChanged, &loop, [&loop](bool enabled) {
        if (enabled)
            loop.quit();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (int i = 0; i < count; ++i) {
        h->sendPacketRsp(6, 0, true, 255, 6, 4542, 0x80, false, 0, 0, 0, QString(), 0);
        guard.start(2000);
        loop.exec();
        if (h->tracker().tracking()) {
            std::fprintf(stderr, "bench_script_ping: ping %d unanswered\n", i);
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setTraceEnabled(false);
    int count = 1000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i)
        if (args[i] == QLatin1String("--count"))
            count = std::max(8, args[i + 1].toInt());

    QProcess sim;
    const quint16 port = startSim(sim);
    if (!port) {
        std::fprintf(stderr, "bench_script_ping: velquor-sim did not start\n");
        return 1;
    }
    // One short round of each first: sockets, caches and the engine warm.
    // Then the loops take turns, a quarter of the pings each time, so that
    // neither meets the machine's quieter or busier moments alone.
    Stamps warm;
    cppLoop(port, 50, warm);
    scriptLoop(port, 50, warm);

    std::vector<double> cppTrips, scriptTrips, cppIters, scriptIters;
    bool ok = true;
    for (int round = 0; round < 4 && ok; ++round) {
        const int n = count / 4 + (round < count % 4 ? 1 : 0);
        Stamps script, cpp;
        ok = cppLoop(port, n, cpp) && scriptLoop(port, n, script);
        auto add = [](std::vector<double> &to, const std::vector<double> &from) {
            to.insert(to.end(), from.begin(), from.end());
        };
        add(cppTrips, cpp.roundTrips());
        add(scriptTrips, script.roundTrips());
        add(cppIters, cpp.iterations());
        add(scriptIters, script.iterations());
    }
    sim.terminate();
    sim.waitForFinished(10000);
    if (!ok)
        return 1;

    std::printf("%d Presence Pings each, against velquor-sim over loopback\n", count);
    const Figures cppTrip = figures(cppTrips), scriptTrip = figures(scriptTrips);
    const Figures cppIter = figures(cppIters), scriptIter = figures(scriptIters);
    print("C++ round trip", cppTrip, cppTrips.size());
    print("script round trip", scriptTrip, scriptTrips.size());
    print("C++ iteration", cppIter, cppIters.size());
    print("script iteration", scriptIter, scriptIters.size());
    std::printf("script overhead per round trip: %.1f us (median iteration), %.1f us (p99)\n",
                scriptIter.median - cppIter.median, scriptIter.p99 - cppIter.p99);
    return 0;
}
