// Appends many records to a packet log with its view, then saves the log.
// Prints the times and the peak resident memory.
//
//   QT_QPA_PLATFORM=offscreen bench_packetlog [records]   (default 200000)
//
// Targets: append under 2 s, save under 3 s, peak resident under 150 MB.

#include "core/asflogger.h"
#include "core/asfpacket.h"
#include "core/logclock.h"
#include "core/packetlogmodel.h"
#include "core/packetlogview.h"
#include "core/packetviews.h"
#include "core/tracelog.h"
#include "core/tracelogview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeView>
#include <QVBoxLayout>
#include <cstdio>
#include <sys/resource.h>

static double peakResidentMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kB on Linux
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int records = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200000;
    std::printf("baseline peak resident: %.1f MB\n", peakResidentMB());

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *logFrame = new QFrame(&window);
    auto *packetFrame = new QFrame(&window);
    auto *traceView = new QPlainTextEdit(&window);
    layout->addWidget(logFrame, 3);
    layout->addWidget(packetFrame, 1);
    layout->addWidget(traceView, 1);
    window.resize(1000, 700);
    window.show();

    // The trace log is part of every append, as in the workbench.
    velquor::TraceLog trace;
    velquor::TraceLogView traceShown(&trace, traceView);
    trace.install();

    velquor::ManualLogClock clock;
    ASF_Logger logger;
    logger.setObjectName(QStringLiteral("PET"));
    velquor::PacketViewRegistry views;
    PacketLogView view(&logger, &views);
    view.setLogFrame(logFrame);
    view.setPacketFrame(packetFrame);
    logger.setTimeBase(&clock);
    logger.setMaxSize(quint32(records) + 2);
    QCoreApplication::processEvents();

    // A typical trap-sized datagram.
    QByteArray bytes(96, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < records; ++i) {
        clock.advance(3);
        if (i % 10 == 9) {
            logger.logLevel(ASF_PACKET_WARNING, QStringLiteral("warning: something to note-details of the note"));
            continue;
        }
        auto packet = std::make_unique<ASF_Packet>(clock.elapsed());
        packet->setData(bytes);
        packet->setDirection(ASF_Packet::Received);
        packet->setProtocol(QStringLiteral("PET"));
        packet->setInfo(QStringLiteral("Heartbeat"));
        logger.appendPacket(std::move(packet));
        if (i % 1000 == 0)
            QCoreApplication::processEvents(); // traffic arrives through the event loop
    }
    QCoreApplication::processEvents();
    const qint64 appendMs = timer.elapsed();
    const int rows = logger.model()->size();
    std::printf("append: %d records, %d rows, %lld ms\n", records, rows, static_cast<long long>(appendMs));

    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/bench.log");
    timer.restart();
    const bool saved = logger.writeLogToFilename(file);
    const qint64 saveMs = timer.elapsed();
    std::printf("save:   %s, %lld bytes, %lld ms\n", saved ? "ok" : "FAILED",
                static_cast<long long>(QFileInfo(file).size()), static_cast<long long>(saveMs));
    std::printf("peak resident: %.1f MB\n", peakResidentMB());
    std::printf("targets: append < 2000 ms %s, save < 3000 ms %s, resident < 150 MB %s\n",
                appendMs < 2000 ? "met" : "MISSED", saveMs < 3000 ? "met" : "MISSED",
                peakResidentMB() < 150 ? "met" : "MISSED");
    return saved && rows == records ? 0 : 1;
}
