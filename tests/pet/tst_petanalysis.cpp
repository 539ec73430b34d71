// Heartbeat and retransmission analysis, driven by a manual clock.

#include "core/packetstatus.h"
#include "pet/petanalysis.h"
#include "support/pettrapbuilder.h"

#include <QtTest>
#include <cmath>

using namespace velquor;
using namespace velquor::pet;

namespace {

struct Line
{
    int status;
    QString text;
};

class RecordingSink : public LogSink
{
public:
    void logLevel(int status, const QString &text) override { lines.push_back({status, text}); }
    std::vector<Line> lines;
};

// A checked trap after the analysis.
struct Trap
{
    PacketFindings findings;
    int retransmissionCount = 0;
};

constexpr quint32 s = 1000;

const QString reuse = QStringLiteral("  -\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence at ");

} // namespace

class TestPetAnalysis : public QObject
{
    Q_OBJECT

private:
    ManualLogClock clock;
    RecordingSink sink;
    std::unique_ptr<PetAnalysis> analysis;
    Lamp lampAfter = Lamp::Unchanged;

    // Receives a trap at time at; its contents differ from the usual ones
    // when localTimestamp does. An error from the check is already set when
    // checkError is.
    Trap receive(quint32 at, quint16 sequence, quint32 localTimestamp = 0x00010203, bool checkError = false)
    {
        clock.setElapsed(at);
        Trap t;
        if (checkError)
            t.findings.setError();
        const TrapFacts facts{at, pettest::trapWithSequence(sequence, localTimestamp), sequence, false};
        analysis->analyseSequence(t.findings, facts, t.retransmissionCount);
        return t;
    }
    static void expect(const Trap &t, const QString &info, int status, int retransmissionCount)
    {
        QCOMPARE(t.findings.info(), info);
        QCOMPARE(t.findings.status(), status);
        QCOMPARE(t.retransmissionCount, retransmissionCount);
    }
    // A heartbeat received at time at: its info; the lamp after the flash goes to lampAfter.
    QString heartbeat(quint32 at)
    {
        clock.setElapsed(at);
        PacketFindings p;
        lampAfter = analysis->receiveHeartbeat(p, at).lampAfter;
        return p.info();
    }
    void expireAt(quint32 at)
    {
        clock.setElapsed(at);
        analysis->expireRetransmissionRecords();
    }

private slots:
    void init()
    {
        clock = ManualLogClock();
        sink.lines.clear();
        analysis = std::make_unique<PetAnalysis>(&clock, &sink);
    }

    void retransmissions()
    {
        expect(receive(0, 7), QStringLiteral(" "), ASF_PACKET_OK, 0);
        // A retransmission is ok even when the check found an error.
        expect(receive(10 * s, 7, 0x00010203, true), QStringLiteral("retransmission (1) for packet received at 0"),
               ASF_PACKET_OK, 1);
        expect(receive(20 * s, 7), QStringLiteral("retransmission (2) for packet received at 0"), ASF_PACKET_OK, 2);
        expect(receive(30 * s, 7), QStringLiteral("error: nr. of retransmissions 3 larger than 2\nfirst occurrence at 0"),
               ASF_PACKET_ERROR, 3);
        QCOMPARE(analysis->records().size(), size_t(1));
    }

    void differentContentsWithinAMinute()
    {
        receive(5 * s, 7);
        expect(receive(35 * s, 7, 0x01020304),
               QStringLiteral("error: same sequence nr. but different contents within 1 min.\nfirst occurrence at 5000"),
               ASF_PACKET_ERROR, 0);
        QCOMPARE(analysis->records().size(), size_t(2)); // remembered as new
        QCOMPARE(analysis->records().front().time, 35 * s);
        expect(receive(36 * s, 8), QStringLiteral(" "), ASF_PACKET_OK, 0); // other numbers are not compared
    }

    void reuseWithinTwoMinutes()
    {
        // After two retransmissions: the reuse counts on.
        receive(0, 7);
        receive(10 * s, 7);
        receive(20 * s, 7);
        expect(receive(90 * s, 7), reuse + QStringLiteral("0 with 3 retransmissions"), ASF_PACKET_WARNING, 3);
        QCOMPARE(analysis->records().size(), size_t(2));
        // Without retransmissions: two are missing.
        receive(0, 9);
        expect(receive(90 * s, 9), reuse + QStringLiteral("0 missing with 2 retransmission (same contents)\n"),
               ASF_PACKET_WARNING, 0);
        receive(0, 5);
        expect(receive(61 * s, 5, 0x0A0B0C0D), reuse + QStringLiteral("0 (different contents)"), ASF_PACKET_WARNING, 0);
    }

    // The records of a number are walked newest first: a record within the
    // minute sets the info (so the oldest such one decides it), and only
    // the warnings of records older than that one stay.
    void oldestRecordWithinTheMinuteDecides()
    {
        receive(0, 7, 1);
        receive(30 * s, 7, 2);
        receive(70 * s, 7, 3);
        expect(receive(100 * s, 7, 4),
               QStringLiteral("error: same sequence nr. but different contents within 1 min.\nfirst occurrence at 70000")
                   + reuse.mid(1) + QStringLiteral("30000 (different contents)") + reuse.mid(1)
                   + QStringLiteral("0 (different contents)"),
               ASF_PACKET_ERROR, 0);
        // A retransmission of a newer record than one with other contents:
        // counted, but the older record's error stands.
        receive(200 * s, 9, 1);
        receive(210 * s, 9, 2);
        expect(receive(220 * s, 9, 2),
               QStringLiteral("error: same sequence nr. but different contents within 1 min.\nfirst occurrence at 200000"),
               ASF_PACKET_ERROR, 1);
        QCOMPARE(analysis->records().front().count, 1);
    }

    // After the clock went back (another page restarted it), records can be
    // later than the trap: arrival order, not time, decides.
    void recordsLaterThanTheTrap()
    {
        receive(100 * s, 7, 1);
        expect(receive(10 * s, 7, 2),
               QStringLiteral("error: same sequence nr. but different contents within 1 min.\nfirst occurrence at 100000"),
               ASF_PACKET_ERROR, 0);
        expect(receive(20 * s, 7, 1), QStringLiteral("retransmission (1) for packet received at 100000"), ASF_PACKET_OK, 1);
        const auto records = analysis->records();
        QCOMPARE(records.size(), size_t(2));
        QCOMPARE(records[0].time, 10 * s);
        QCOMPARE(records[1].count, 1);
    }

    // Every reuse is reported, newest first; records that expired but were
    // not yet scanned are passed over and reported by the scan.
    void manyReusesOfOneNumber()
    {
        for (quint32 i = 0; i < 50; ++i)
            receive(i * s, 7, i);
        QString all, kept;
        for (int i = 49; i >= 0; --i) {
            all += reuse.mid(1) + QString::number(i * 1000) + QStringLiteral(" (different contents)");
            if (i >= 5)
                kept += reuse.mid(1) + QString::number(i * 1000) + QStringLiteral(" (different contents)");
        }
        expect(receive(110 * s, 7, 100), QLatin1Char(' ') + all, ASF_PACKET_WARNING, 0);
        expect(receive(125 * s, 7, 101),
               QStringLiteral("error: same sequence nr. but different contents within 1 min.\nfirst occurrence at 110000")
                   + kept,
               ASF_PACKET_ERROR, 0);
        expireAt(125 * s);
        QCOMPARE(sink.lines.size(), size_t(5));
        for (int i = 0; i < 5; ++i)
            QVERIFY(sink.lines[size_t(i)].text.contains(QStringLiteral("received at %1-").arg((4 - i) * 1000)));
        QCOMPARE(analysis->recordCount(), size_t(47));
    }

    void sequenceZeroIsNeverRemembered()
    {
        receive(0, 0);
        expect(receive(1 * s, 0), QStringLiteral(" "), ASF_PACKET_OK, 0);
        QVERIFY(analysis->records().empty());
    }

    void expiry()
    {
        receive(0, 1); // never retransmitted
        receive(1 * s, 2); // once
        receive(2 * s, 2);
        receive(3 * s, 3); // twice
        receive(4 * s, 3);
        receive(5 * s, 3);
        // The first two minutes never expire anything (now is raised to 2 min).
        expireAt(120 * s);
        QVERIFY(sink.lines.empty());
        expireAt(130 * s);
        QCOMPARE(sink.lines.size(), size_t(2));
        // Newest first.
        QCOMPARE(sink.lines[0].status, -1);
        QCOMPARE(sink.lines[0].text,
                 QStringLiteral("warning: insufficient nr. of retransmissions (1)\nfor packet received at 1000-The Alert "
                                "Standard Format Specification describes in\nchapter 5.1.5.2 messages without "
                                "retransmission.\nSince 1 retransmissions were received, this does not\napply here"));
        QCOMPARE(sink.lines[1].status, 0);
        QCOMPARE(sink.lines[1].text,
                 QStringLiteral("warning: insufficient nr. of retransmissions (0)\nfor packet received at 0-The Alert "
                                "Standard Format Specification describes in\nchapter 5.1.5.2 messages without "
                                "retransmission. These\ncan not be identified here."));
        QVERIFY(analysis->records().empty());
        expireAt(130 * s);
        QCOMPARE(sink.lines.size(), size_t(2));
    }

    // A trap that arrives after an older one has expired but before the
    // next timer scan must not swallow the older one's report, nor be taken
    // for a reuse of its number.
    void expiredRecordIsStillReported()
    {
        receive(0, 1);
        receive(0, 4);
        receive(125 * s, 2);
        expect(receive(125 * s, 4), QStringLiteral(" "), ASF_PACKET_OK, 0);
        QCOMPARE(analysis->records().size(), size_t(4));
        QVERIFY(sink.lines.empty());
        expireAt(126 * s);
        QCOMPARE(sink.lines.size(), size_t(2));
        QVERIFY(sink.lines[0].text.startsWith(QLatin1String("warning: insufficient nr. of retransmissions (0)\nfor packet received at 0-")));
    }

    void heartbeatSupervision()
    {
        analysis->applyHeartbeatSettings(true, 600000, 0.5f);
        // In time, nine minutes after it (early), 9 min 40 s after that (within the tolerance).
        QCOMPARE(heartbeat(620 * s), QStringLiteral("Heartbeat"));
        QCOMPARE(heartbeat(1160 * s), QStringLiteral("Heartbeat (early expected at 1220000)"));
        QCOMPARE(analysis->previousHeartbeat(), 620 * s);
        QCOMPARE(heartbeat(1740 * s), QStringLiteral("Heartbeat"));
        QCOMPARE(lampAfter, Lamp::Green);
        clock.setElapsed(2370 * s); // exactly at the deadline: still in time
        QVERIFY(analysis->checkHeartbeatDue());
        clock.setElapsed(2371 * s);
        QVERIFY(!analysis->checkHeartbeatDue());
        QCOMPARE(sink.lines.size(), size_t(1));
        QCOMPARE(sink.lines[0].status, -1);
        QCOMPARE(sink.lines[0].text, QStringLiteral("error: heartbeat missing, expected at 2340000-heartbeat missing "
                                                    "outside tolerance 0.500000 min.\nInterval:\t\t600000\n"
                                                    "last heartbeat:\t\t1740000\nnow:\t\t2371000"));
        // One report per interval; a scan in time clears the flag.
        clock.setElapsed(2940 * s);
        QVERIFY(analysis->checkHeartbeatDue());
        QVERIFY(!analysis->heartbeatMissing());
        clock.setElapsed(2971 * s);
        QVERIFY(!analysis->checkHeartbeatDue());
        QVERIFY(analysis->heartbeatMissing());
        QVERIFY(sink.lines[1].text.startsWith(QLatin1String("error: heartbeat missing, expected at 2940000-")));
        // A heartbeat while missing: red after the flash; green again once a scan found it in time.
        heartbeat(2980 * s);
        QCOMPARE(lampAfter, Lamp::Red);
        QVERIFY(analysis->checkHeartbeatDue());
        heartbeat(3580 * s);
        QCOMPARE(lampAfter, Lamp::Green);
    }

    // With checking off no lamp flashes, and what the check found stays
    // after the heartbeat text.
    void heartbeatKeepsCheckFindings()
    {
        PacketFindings bad;
        bad.error(QStringLiteral("error: agent address wrong"));
        bad.warning(QStringLiteral("warning: Local Timestamp is unspecified"));
        QVERIFY(!analysis->receiveHeartbeat(bad, 0).flashRed);
        QCOMPARE(bad.info(), QStringLiteral("Heartbeat -error: agent address wrong -warning: Local Timestamp is unspecified"));
        QCOMPARE(bad.status(), ASF_PACKET_ERROR);
        QCOMPARE(heartbeat(0), QStringLiteral("Heartbeat"));
    }

    void settings()
    {
        clock.setElapsed(5 * s);
        auto on = analysis->applyHeartbeatSettings(true, 600000, 0.5f);
        QCOMPARE(on.heartbeatLamp, Lamp::Green);
        QCOMPARE(on.timerPeriod, 29999);
        QCOMPARE(analysis->lastHeartbeat(), 5 * s);
        // Only a new tolerance changes the period; off, the timer slows down.
        auto same = analysis->applyHeartbeatSettings(true, 300000, 0.5f);
        QCOMPARE(same.heartbeatLamp, Lamp::Unchanged);
        QCOMPARE(same.timerPeriod, -1);
        auto off = analysis->applyHeartbeatSettings(false, 300000, 0.25f);
        QCOMPARE(off.heartbeatLamp, Lamp::Off);
        QCOMPARE(off.timerPeriod, 60000);
        // Back on: the heartbeat period again, supervised from now.
        clock.setElapsed(9 * s);
        auto again = analysis->applyHeartbeatSettings(true, 300000, 0.25f);
        QCOMPARE(again.timerPeriod, 14999);
        QCOMPARE(again.heartbeatLamp, Lamp::Green);
        QCOMPARE(analysis->lastHeartbeat(), 9 * s);
    }

    void timerPeriodFloor_data()
    {
        QTest::addColumn<float>("tolerance");
        QTest::addColumn<int>("period");
        QTest::newRow("default") << 0.5f << 29999;
        QTest::newRow("capped") << 2.0f << 60000;
        QTest::newRow("infinite") << INFINITY << 60000;
        QTest::newRow("two seconds") << (2.0f / 60.0f) << 1999;
        QTest::newRow("floor") << 0.01f << 1000;
        QTest::newRow("zero") << 0.0f << 1000;
        QTest::newRow("negative") << -3.0f << 1000;
        QTest::newRow("nan") << std::nanf("") << 1000;
    }
    void timerPeriodFloor()
    {
        QFETCH(float, tolerance);
        QTEST(heartbeatTimerPeriod(tolerance), "period");
    }
};

QTEST_APPLESS_MAIN(TestPetAnalysis)
#include "tst_petanalysis.moc"
