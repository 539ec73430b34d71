// velquor-sim: a managed client to test the workbench against. It answers
// RMCP/ASF requests and sends Platform Event Traps, correct or with the
// faults the options ask for; see --help.

#include "core/logclock.h"
#include "sim/managedclientsim.h"
#include "sim/simconfig.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace velquor;

namespace {

enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

// The signal handlers only write the signal's number here; the event loop
// reads it and acts.
int g_signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = char(number);
    const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    (void)written; // a full pipe already holds a signal to act on
}

bool catchSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGUSR1}) {
        if (sigaction(number, &action, nullptr) != 0)
            return false;
    }
    return true;
}

void printLine(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const sim::ParsedArguments parsed = sim::parseArguments(app.arguments().mid(1));
    if (parsed.help) {
        std::fputs(sim::usageText().toLocal8Bit().constData(), stdout);
        return ExitOk;
    }
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "velquor-sim: %s\nTry 'velquor-sim --help'.\n", parsed.error.toLocal8Bit().constData());
        return ExitUsage;
    }
    const sim::SimConfig &config = parsed.config;
    if (!catchSignals()) {
        std::perror("velquor-sim: cannot catch signals");
        return ExitFailure;
    }

    SystemLogClock clock;
    sim::ManagedClientSim simulator(config, &clock);
    if (config.verbose)
        QObject::connect(&simulator, &sim::ManagedClientSim::datagramLine, &printLine);
    if (const int code = simulator.start(); code != SocketNoError) {
        std::fprintf(stderr, "velquor-sim: cannot bind %s port %u (%s)\n",
                     config.address.toString().toLocal8Bit().constData(),
                     unsigned(simulator.rspBindFailed() ? config.rsp.port : config.port),
                     socketErrorText(code).toLocal8Bit().constData());
        return ExitFailure;
    }
    printLine(QStringLiteral("velquor-sim: RMCP/ASF on %1 port %2")
                  .arg(simulator.localAddress().toString())
                  .arg(simulator.localPort()));
    if (config.rsp.enabled)
        printLine(QStringLiteral("velquor-sim: RSP on %1 port %2")
                      .arg(simulator.localAddress().toString())
                      .arg(simulator.rspLocalPort()));
    if (config.traps.enabled)
        printLine(QStringLiteral("velquor-sim: PET traps to %1 port %2")
                      .arg(config.traps.address.toString())
                      .arg(config.traps.port));

    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
        char byte = 0;
        if (::read(g_signalPipe[0], &byte, 1) != 1)
            return;
        if (byte == SIGUSR1)
            simulator.sendAlert();
        else
            app.quit();
    });
    app.exec();

    simulator.stop();
    printLine(QStringLiteral("velquor-sim: stopped after %1 datagrams received and %2 sent")
                  .arg(simulator.datagramsReceived())
                  .arg(simulator.datagramsSent()));
    return ExitOk;
}
