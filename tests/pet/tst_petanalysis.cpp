// Heartbeat and retransmission analysis, driven by a manual clock.

#include "packetstatus.h"
#include "petanalysis.h"
#include "petcodes.h"
#include "pettestutil.h"

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

// A checked trap as the analysis sees it.
struct Trap
{
    PacketFindings findings;
    TrapFacts facts;
    int retransmissionCount = 0;
};

Trap trap(quint32 at, quint16 sequence, const QByteArray &bytes = QByteArray())
{
    Trap t;
    t.facts.timestamp = at;
    t.facts.sequenceNumber = sequence;
    t.facts.bytes = bytes.isNull() ? pettest::trapWithSequence(sequence) : bytes;
    return t;
}

constexpr quint32 s = 1000;

} // namespace

class TestPetAnalysis : public QObject
{
    Q_OBJECT

private:
    ManualLogClock clock;
    RecordingSink sink;
    std::unique_ptr<PetAnalysis> analysis;

    // Receives a trap at the clock's now (after the trap's own time).
    Trap receive(quint32 at, quint16 sequence, const QByteArray &bytes = QByteArray())
    {
        clock.setElapsed(at);
        Trap t = trap(at, sequence, bytes);
        analysis->analyseSequence(t.findings, t.facts, t.retransmissionCount);
        return t;
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
        Trap first = receive(0, 7);
        QCOMPARE(first.findings.info(), QStringLiteral(" "));
        QCOMPARE(analysis->records().size(), size_t(1));

        Trap r1 = trap(10 * s, 7);
        clock.setElapsed(10 * s);
        r1.findings.setError();
        analysis->analyseSequence(r1.findings, r1.facts, r1.retransmissionCount);
        QCOMPARE(r1.findings.info(), QStringLiteral("retransmission (1) for packet received at 0"));
        QCOMPARE(r1.findings.status(), ASF_PACKET_OK);
        QCOMPARE(r1.retransmissionCount, 1);
        Trap r2 = receive(20 * s, 7);
        QCOMPARE(r2.findings.info(), QStringLiteral("retransmission (2) for packet received at 0"));
        QCOMPARE(r2.retransmissionCount, 2);
        Trap r3 = receive(30 * s, 7);
        QCOMPARE(r3.findings.info(), QStringLiteral("error: nr. of retransmissions 3 larger than 2\nfirst occurrence at 0"));
        QCOMPARE(r3.findings.status(), ASF_PACKET_ERROR);
        QCOMPARE(r3.retransmissionCount, 3);
        QCOMPARE(analysis->records().size(), size_t(1));
    }

    void differentContentsWithinAMinute()
    {
        receive(5 * s, 7);
        Trap other = receive(35 * s, 7, pettest::trapWithSequence(7, 0x01020304));
        QCOMPARE(other.findings.info(),
                 QStringLiteral("error: same sequence nr. but different contents within 1 min.\nfirst occurrence at 5000"));
        QCOMPARE(other.findings.status(), ASF_PACKET_ERROR);
        QCOMPARE(other.retransmissionCount, 0);
        QCOMPARE(analysis->records().size(), size_t(2)); // remembered as new
        QCOMPARE(analysis->records().front().time, 35 * s);
        // Other sequence numbers are not compared.
        Trap unrelated = receive(36 * s, 8);
        QCOMPARE(unrelated.findings.info(), QStringLiteral(" "));
    }

    void reuseWithinTwoMinutes()
    {
        // After two retransmissions: the reuse counts on.
        receive(0, 7);
        receive(10 * s, 7);
        receive(20 * s, 7);
        Trap reuse = receive(90 * s, 7);
        QCOMPARE(reuse.findings.info(), QStringLiteral("  -\nwarning: reuse of sequence nr. within 2 min. after\n"
                                                       "first occurrence at 0 with 3 retransmissions"));
        QCOMPARE(reuse.findings.status(), ASF_PACKET_WARNING);
        QCOMPARE(reuse.retransmissionCount, 3);
        QCOMPARE(analysis->records().size(), size_t(2));

        // Without retransmissions: two are missing.
        init();
        receive(0, 9);
        Trap lone = receive(90 * s, 9);
        QCOMPARE(lone.findings.info(), QStringLiteral("  -\nwarning: reuse of sequence nr. within 2 min. after\n"
                                                      "first occurrence at 0 missing with 2 retransmission (same contents)\n"));
        QCOMPARE(lone.retransmissionCount, 0);

        // Different contents.
        init();
        receive(0, 9);
        Trap changed = receive(61 * s, 9, pettest::trapWithSequence(9, 0x0A0B0C0D));
        QCOMPARE(changed.findings.info(), QStringLiteral("  -\nwarning: reuse of sequence nr. within 2 min. after\n"
                                                         "first occurrence at 0 (different contents)"));
        QCOMPARE(changed.findings.status(), ASF_PACKET_WARNING);
    }

    void sequenceZeroIsNeverRemembered()
    {
        Trap a = receive(0, 0);
        Trap b = receive(1 * s, 0);
        QCOMPARE(b.findings.info(), QStringLiteral(" "));
        QVERIFY(analysis->records().empty());
        clock.setElapsed(10 * 60 * s);
        analysis->expireRetransmissionRecords();
        QVERIFY(sink.lines.empty());
    }

    void expiry()
    {
        receive(0, 1);          // never retransmitted
        receive(1 * s, 2);      // once
        receive(2 * s, 2);
        receive(3 * s, 3);      // twice
        receive(4 * s, 3);
        receive(5 * s, 3);
        // The first two minutes never expire anything (now is raised to 2 min).
        clock.setElapsed(120 * s);
        analysis->expireRetransmissionRecords();
        QVERIFY(sink.lines.empty());
        clock.setElapsed(130 * s);
        analysis->expireRetransmissionRecords();
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
        analysis->expireRetransmissionRecords();
        QCOMPARE(sink.lines.size(), size_t(2));
    }

    // A trap that arrives after an older one has expired but before the
    // next timer scan must not swallow the older one's report.
    void expiredRecordIsStillReported()
    {
        receive(0, 1);
        receive(125 * s, 2); // record 1 has expired by now
        QCOMPARE(analysis->records().size(), size_t(2));
        QVERIFY(sink.lines.empty());
        clock.setElapsed(126 * s);
        analysis->expireRetransmissionRecords();
        QCOMPARE(sink.lines.size(), size_t(1));
        QVERIFY(sink.lines[0].text.startsWith(QLatin1String("warning: insufficient nr. of retransmissions (0)\nfor packet received at 0-")));
        // And an expired record is not taken for a reuse of its number.
        init();
        receive(0, 4);
        Trap later = receive(121 * s, 4);
        QCOMPARE(later.findings.info(), QStringLiteral(" "));
        QCOMPARE(analysis->records().size(), size_t(2));
    }

    void heartbeatTiming()
    {
        analysis->applyHeartbeatSettings(true, 600000, 0.5f);
        QCOMPARE(analysis->lastHeartbeat(), 0u);

        // In time (10 min 20 s), early (9 min after), late but within tolerance.
        clock.setElapsed(620 * s);
        PacketFindings inTime;
        auto effect = analysis->receiveHeartbeat(inTime, 620 * s);
        QCOMPARE(inTime.info(), QStringLiteral("Heartbeat"));
        QVERIFY(effect.flashRed);
        QCOMPARE(effect.lampAfter, Lamp::Green);
        QCOMPARE(analysis->previousHeartbeat(), 0u);
        QCOMPARE(analysis->lastHeartbeat(), 620 * s);

        clock.setElapsed(620 * s + 540 * s);
        PacketFindings early;
        analysis->receiveHeartbeat(early, 620 * s + 540 * s);
        QCOMPARE(early.info(), QStringLiteral("Heartbeat (early expected at 1220000)"));
        QCOMPARE(early.status(), ASF_PACKET_OK);

        const quint32 last = 1160 * s;
        clock.setElapsed(last + 580 * s); // 9 min 40 s: within the early tolerance
        PacketFindings nearly;
        analysis->receiveHeartbeat(nearly, last + 580 * s);
        QCOMPARE(nearly.info(), QStringLiteral("Heartbeat"));
    }

    void missingHeartbeat()
    {
        analysis->applyHeartbeatSettings(true, 600000, 0.5f);
        clock.setElapsed(630 * s); // exactly at the deadline: still in time
        QVERIFY(analysis->checkHeartbeatDue());
        clock.setElapsed(631 * s);
        QVERIFY(!analysis->checkHeartbeatDue());
        QVERIFY(analysis->heartbeatMissing());
        QCOMPARE(sink.lines.size(), size_t(1));
        QCOMPARE(sink.lines[0].status, -1);
        QCOMPARE(sink.lines[0].text, QStringLiteral("error: heartbeat missing, expected at 600000-heartbeat missing "
                                                    "outside tolerance 0.500000 min.\nInterval:\t\t600000\n"
                                                    "last heartbeat:\t\t0\nnow:\t\t631000"));
        QCOMPARE(analysis->lastHeartbeat(), 600000u);
        // One report per interval.
        clock.setElapsed(1200 * s);
        QVERIFY(analysis->checkHeartbeatDue());
        QVERIFY(!analysis->heartbeatMissing());
        clock.setElapsed(1231 * s);
        QVERIFY(!analysis->checkHeartbeatDue());
        QVERIFY(sink.lines[1].text.startsWith(QLatin1String("error: heartbeat missing, expected at 1200000-")));

        // A heartbeat while missing: red after the flash; the next scan in
        // time clears the flag, and the next heartbeat leaves it green.
        clock.setElapsed(1240 * s);
        PacketFindings late;
        QCOMPARE(analysis->receiveHeartbeat(late, 1240 * s).lampAfter, Lamp::Red);
        QVERIFY(analysis->checkHeartbeatDue());
        clock.setElapsed(1840 * s);
        PacketFindings next;
        QCOMPARE(analysis->receiveHeartbeat(next, 1840 * s).lampAfter, Lamp::Green);
    }

    void heartbeatKeepsCheckFindings()
    {
        PacketFindings clean;
        analysis->receiveHeartbeat(clean, 0);
        QCOMPARE(clean.info(), QStringLiteral("Heartbeat"));
        QCOMPARE(clean.status(), ASF_PACKET_OK);

        PacketFindings bad;
        bad.error(QStringLiteral("error: agent address wrong"));
        bad.warning(QStringLiteral("warning: Local Timestamp is unspecified"));
        const auto effect = analysis->receiveHeartbeat(bad, 0);
        QVERIFY(!effect.flashRed); // checking is off: no lamp
        QCOMPARE(bad.info(), QStringLiteral("Heartbeat -error: agent address wrong -warning: Local Timestamp is unspecified"));
        QCOMPARE(bad.status(), ASF_PACKET_ERROR);
    }

    void settings()
    {
        clock.setElapsed(5 * s);
        auto on = analysis->applyHeartbeatSettings(true, 600000, 0.5f);
        QCOMPARE(on.heartbeatLamp, Lamp::Green);
        QCOMPARE(on.timerPeriod, 29999);
        QCOMPARE(analysis->lastHeartbeat(), 5 * s);
        QCOMPARE(analysis->previousHeartbeat(), 5 * s);

        auto same = analysis->applyHeartbeatSettings(true, 300000, 0.5f);
        QCOMPARE(same.heartbeatLamp, Lamp::Unchanged);
        QCOMPARE(same.timerPeriod, -1);
        QCOMPARE(analysis->interval(), 300000u);

        auto tolerance = analysis->applyHeartbeatSettings(true, 300000, 0.25f);
        QCOMPARE(tolerance.timerPeriod, 14999);

        auto off = analysis->applyHeartbeatSettings(false, 300000, 0.25f);
        QCOMPARE(off.heartbeatLamp, Lamp::Off);
        QCOMPARE(off.timerPeriod, 60000);

        // Back on with the same tolerance: the heartbeat period again.
        clock.setElapsed(9 * s);
        auto again = analysis->applyHeartbeatSettings(true, 300000, 0.25f);
        QCOMPARE(again.timerPeriod, 14999);
        QCOMPARE(again.heartbeatLamp, Lamp::Green);
        QCOMPARE(analysis->lastHeartbeat(), 9 * s);
    }

    void timerPeriodGuard_data()
    {
        QTest::addColumn<float>("tolerance");
        QTest::addColumn<int>("period");
        QTest::newRow("default") << 0.5f << 29999;
        QTest::newRow("one minute") << 1.0f << 59999;
        QTest::newRow("capped") << 2.0f << 60000;
        QTest::newRow("huge") << 1e30f << 60000;
        QTest::newRow("two seconds") << (2.0f / 60.0f) << 1999;
        QTest::newRow("floor") << 0.01f << 1000;
        QTest::newRow("zero") << 0.0f << 1000;
        QTest::newRow("negative") << -3.0f << 1000;
        QTest::newRow("nan") << std::nanf("") << 1000;
        QTest::newRow("infinite") << INFINITY << 60000;
    }
    void timerPeriodGuard()
    {
        QFETCH(float, tolerance);
        QFETCH(int, period);
        QCOMPARE(heartbeatTimerPeriod(tolerance), period);
    }

    void restartForgetsEverything()
    {
        receive(0, 1);
        analysis->applyHeartbeatSettings(true, 600000, 0.5f);
        clock.setElapsed(700 * s);
        analysis->checkHeartbeatDue();
        QVERIFY(analysis->heartbeatMissing());
        clock.restart();
        analysis->restart();
        QVERIFY(analysis->records().empty());
        QVERIFY(!analysis->heartbeatMissing());
        QCOMPARE(analysis->lastHeartbeat(), 0u);
    }

    void codeTables()
    {
        QCOMPARE(QString::fromLatin1(offsetName(0x01, 0, 0x05).text), QStringLiteral("Lower Non-recoverable - going high"));
        QCOMPARE(QString::fromLatin1(offsetName(0x01, 0, 0x0C).text), QStringLiteral("Unknown"));
        QCOMPARE(QString::fromLatin1(offsetName(0x6F, 0x25, 0).text), QStringLiteral("Entity Present"));
        QCOMPARE(offsetName(0x6F, 0x01, 0).kind, OffsetKind::NotSpecified);
        QCOMPARE(offsetName(0x7A, 0x01, 0).kind, OffsetKind::Oem);
        QCOMPARE(offsetName(0x6E, 0x01, 0).kind, OffsetKind::NotValid);
        QCOMPARE(QString::fromLatin1(lookup(0x28, sensorTypeTable, UnknownType)), QString::fromLatin1(UnknownType));
        QCOMPARE(QString::fromLatin1(lookup(0x27, sensorTypeTable, UnknownType)), QStringLiteral("LAN"));
        QCOMPARE(QString::fromLatin1(sourceTypeName(0x6F).name), QStringLiteral("ASF 1.0"));
        QVERIFY(sourceTypeName(0x6F).known);
        QVERIFY(!sourceTypeName(0x70).known);
        QVERIFY(sourceTypeName(0xFF).known);
        QCOMPARE(QString::fromLatin1(sourceTypeName(0x57).name), QStringLiteral("NIC"));
        QCOMPARE(QString::fromLatin1(lookup(0x19, languageTable, nullptr)), QStringLiteral("English (en)"));
        QCOMPARE(lookup(0x80, languageTable, nullptr), nullptr);
        QCOMPARE(lookup(0x03, severityTable, nullptr), nullptr);
        QCOMPARE(QString::fromLatin1(entityName(0x17)), QStringLiteral("System Chassis"));
        QCOMPARE(QString::fromLatin1(entityName(0x26)), QStringLiteral("Reserved"));
        int languages = 0;
        for (const CodeRow *row = languageTable; row->text; ++row)
            ++languages;
        QCOMPARE(languages, 140);
        int sensors = 0;
        for (const CodeRow *row = sensorTypeTable; row->text; ++row)
            ++sensors;
        QCOMPARE(sensors, 40);
        for (int t = 0; t < 256; ++t)
            QCOMPARE(isValidEventType(quint8(t)), (t >= 1 && t <= 0x0C) || t == 0x6F || (t >= 0x70 && t <= 0x7F));
    }
};

QTEST_APPLESS_MAIN(TestPetAnalysis)
#include "tst_petanalysis.moc"
