// The PET sequence analysis alone, on a manual clock: how a trap's cost
// grows with the records kept. Each scenario sends N traps and prints the
// time per run and per trap, so N and 8 N side by side show whether the cost
// per trap stays flat.
//
// Usage: bench_pet_analysis [N...]   (default 1000 8000 64000)

#include "core/packetstatus.h"
#include "pet/petanalysis.h"
#include "support/pettrapbuilder.h"

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace velquor;

namespace {

class NullSink : public LogSink
{
public:
    void logLevel(int, const QString &) override { ++lines; }
    quint64 lines = 0;
};

struct Scenario
{
    const char *name;
    // Arrival time (ms) and sequence number of trap i of n; contents index.
    std::function<void(int i, int n, quint32 *at, quint16 *sequence, quint32 *contents)> trap;
};

double run(const Scenario &scenario, int n, size_t *recordsLeft, quint64 *infoBytes)
{
    // Contents built beforehand: the analysis is what is timed.
    std::vector<pet::TrapFacts> traps(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        quint32 at = 0, contents = 0;
        quint16 sequence = 0;
        scenario.trap(i, n, &at, &sequence, &contents);
        traps[size_t(i)] = {at, pettest::trapWithSequence(sequence, contents), sequence, false};
    }
    ManualLogClock clock;
    NullSink sink;
    pet::PetAnalysis analysis(&clock, &sink);
    quint64 bytes = 0;
    QElapsedTimer timer;
    timer.start();
    for (const pet::TrapFacts &facts : traps) {
        clock.setElapsed(facts.timestamp);
        PacketFindings findings;
        int retransmissions = 0;
        analysis.analyseSequence(findings, facts, retransmissions);
        bytes += quint64(findings.info().size());
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    *recordsLeft = analysis.records().size();
    *infoBytes = bytes;
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {1000, 8000, 64000};

    const std::vector<Scenario> scenarios = {
        // One sequence number, every trap with other contents, all within
        // the minute: each is compared with the records of its number.
        {"same number, new contents, within 1 min", [](int i, int n, quint32 *at, quint16 *seq, quint32 *c) {
             *at = quint32(qint64(i) * 59000 / n);
             *seq = 7;
             *c = quint32(i);
         }},
        // The same at one instant (a burst).
        {"same number, new contents, one instant", [](int i, int, quint32 *at, quint16 *seq, quint32 *c) {
             *at = 5000;
             *seq = 7;
             *c = quint32(i);
         }},
        // Ordinary traffic: each alert sent three times, 2 s apart, numbers
        // counting up, one new alert every 20 ms.
        {"alerts sent three times", [](int i, int, quint32 *at, quint16 *seq, quint32 *c) {
             const int alert = i / 3;
             *at = quint32(alert * 20 + (i % 3) * 2000);
             *seq = quint16(1 + alert % 65535);
             *c = 0x00010203;
         }},
        // Many numbers, each used once: the records grow with N.
        {"distinct numbers", [](int i, int, quint32 *at, quint16 *seq, quint32 *c) {
             *at = quint32(i);
             *seq = quint16(1 + i % 65535);
             *c = quint32(i);
         }},
    };

    std::printf("%-44s %8s %10s %12s %10s %12s\n", "scenario", "traps", "seconds", "us/trap", "records", "info bytes");
    for (const Scenario &scenario : scenarios) {
        for (int n : sizes) {
            size_t records = 0;
            quint64 infoBytes = 0;
            const double seconds = run(scenario, n, &records, &infoBytes);
            std::printf("%-44s %8d %10.3f %12.3f %10zu %12llu\n", scenario.name, n, seconds, seconds * 1e6 / n,
                        records, static_cast<unsigned long long>(infoBytes));
            std::fflush(stdout);
        }
    }
    return 0;
}
