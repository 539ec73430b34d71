// velquor-check: decodes and checks datagrams offline with the workbench's
// own receive paths and prints the block a saved packet log holds for each.

#include "blockprinter.h"
#include "capture.h"
#include "checker.h"
#include "core/hextext.h"
#include "core/trace.h"
#include "rmcp/rmcplayout.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <unistd.h>

using namespace velquor;

namespace {

enum ExitCode { ExitOk = 0, ExitWarning = 1, ExitError = 2, ExitUsage = 3 };

const char usageText[] =
    "Usage: velquor-check --pet|--rmcp|--rsp (--hex HEX | FILE) [--trace]\n"
    "\n"
    "Decodes and checks datagrams with the same code as the workbench and prints,\n"
    "for each record, the block that a saved packet log writes for its row.\n"
    "\n"
    "  --pet         Platform Event Traps. Each datagram runs the listener's receive\n"
    "                path with heartbeat checking off: the trap check, then the\n"
    "                heartbeat rule or the sequence-number analysis. Records that\n"
    "                expire with too few retransmissions print their own log blocks\n"
    "                when the clock passes them, and at the end of a capture file.\n"
    "  --rmcp        RMCP/ASF messages (protocol label \"RMCP\").\n"
    "  --rsp         RMCP/ASF messages behind an RSP header (label \"RMCP/RSP\").\n"
    "                In a capture file, with --rmcp or --rsp alike, UDP datagrams to\n"
    "                or from port 623 are RMCP and port 664 RMCP/RSP; others are\n"
    "                skipped.\n"
    "  --hex HEX     one datagram as hexadecimal digits (blanks allowed between\n"
    "                pairs); time 00:00:00:000.\n"
    "  FILE          a pcap or pcapng capture file; with --pet every UDP datagram is\n"
    "                a trap. Times are milliseconds since the file's first datagram.\n"
    "  --trace       also print the diagnostic trace on standard error.\n"
    "  --help        this text.\n"
    "\n"
    "Direction is always \"received\".\n"
    "Exit status: 0 every record ok, 1 the worst is a warning, 2 any record is an\n"
    "error, 3 usage or file error (with a message on standard error).\n";

bool g_trace = false;

void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg) {
        if (g_trace)
            std::fputs(message.toLocal8Bit().constData(), stderr);
        return;
    }
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    if (type == QtFatalMsg)
        std::abort();
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "velquor-check: %s\nTry 'velquor-check --help'.\n", message.toLocal8Bit().constData());
    return ExitUsage;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(messageHandler);

    QString protocol, hex, file;
    bool haveHex = false;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(usageText, stdout);
            return ExitOk;
        } else if (arg == QLatin1String("--pet") || arg == QLatin1String("--rmcp") || arg == QLatin1String("--rsp")) {
            if (!protocol.isEmpty())
                return usageError(QStringLiteral("choose one of --pet, --rmcp, --rsp"));
            protocol = arg.mid(2);
        } else if (arg == QLatin1String("--hex")) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("--hex needs a value"));
            if (haveHex)
                return usageError(QStringLiteral("give --hex once"));
            hex = args[++i];
            haveHex = true;
        } else if (arg == QLatin1String("--trace")) {
            g_trace = true;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return usageError(QStringLiteral("unknown option %1").arg(arg));
        } else {
            if (!file.isEmpty())
                return usageError(QStringLiteral("give one capture file"));
            file = arg;
        }
    }
    if (protocol.isEmpty())
        return usageError(QStringLiteral("choose one of --pet, --rmcp, --rsp"));
    if (haveHex == !file.isEmpty())
        return usageError(QStringLiteral("give either --hex HEX or a capture file"));
    // Without --trace nothing may spend time on trace texts; blocks for a
    // file or a pipe go out through a large buffer.
    setTraceEnabled(g_trace);
    static char outputBuffer[1 << 20];
    if (!isatty(fileno(stdout)))
        std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    BlockPrinter printer(stdout);
    std::unique_ptr<DatagramChecker> checker = protocol == QLatin1String("pet") ? makePetChecker(printer)
        : makeRmcpChecker(printer, protocol == QLatin1String("rsp") ? rmcp::ProtocolRmcpRsp : rmcp::ProtocolRmcp);

    if (haveHex) {
        const HexTextResult parsed = parseHexText(hex);
        if (parsed.fault == HexTextResult::SplitPair)
            return usageError(QStringLiteral("--hex wants pairs of hexadecimal digits; the blank at character %1 "
                                             "splits a pair (blanks go between pairs)")
                                  .arg(parsed.position + 1));
        if (!parsed.ok())
            return usageError(QStringLiteral("--hex wants pairs of hexadecimal digits"));
        UdpDatagram datagram;
        datagram.payload = parsed.bytes;
        checker->datagram(datagram, 0);
    } else {
        CaptureClock clock;
        int index = 0;
        QString error;
        const bool read = readUdpDatagrams(file, [&](const UdpDatagram &datagram) {
            ++index;
            if (!checker->accepts(datagram))
                return;
            const quint32 ms = clock.elapsed(datagram.timeMicros);
            if (datagram.truncated)
                std::fprintf(stderr, "velquor-check: datagram %d is cut short in the capture (%lld bytes kept)\n",
                             index, static_cast<long long>(datagram.payload.size()));
            checker->advanceTo(ms);
            checker->datagram(datagram, ms);
        }, &error);
        if (!read) {
            std::fprintf(stderr, "velquor-check: cannot read %s: %s\n", file.toLocal8Bit().constData(),
                         error.toLocal8Bit().constData());
            std::fflush(stdout);
            return ExitUsage;
        }
        checker->finishCapture();
    }
    std::fflush(stdout);
    switch (printer.worstStatus()) {
    case -1:
        return ExitError;
    case 0:
        return ExitWarning;
    default:
        return ExitOk;
    }
}
