// velquor-sim's logic in process: what its RMCP/ASF side passes over;
// its traps read by the PET listener over the in-memory network on a manual
// clock, correct and with each trap fault.

#include "core/asflogger.h"
#include "core/memorynetwork.h"
#include "core/packetlogmodel.h"
#include "core/trace.h"
#include "pet/asfpethandler.h"
#include "rmcp/rmcpcompose.h"
#include "rmcp/rmcptables.h"
#include "sim/managedclientsim.h"
#include "tools/simtest.h"

#include <QtTest>

using namespace velquor;
using namespace velquor::rmcp;
using namespace velquor::sim;

namespace {

QStringList judged(const std::vector<Outgoing> &answers)
{
    QList<QByteArray> bytes;
    for (const Outgoing &o : answers)
        bytes << o.bytes;
    return simtest::judged(bytes);
}

} // namespace

class TestVelquorSimLogic : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setTraceEnabled(false); }

    // What is no request to answer: nothing, or only the acknowledge when
    // the RMCP header is good but the ASF part is not whole.
    void passesOver_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QStringList>("answers");
        const QStringList none, ackOnly{"06000586"};
        QTest::newRow("console's acknowledge") << QByteArray::fromHex("06000586") << none;
        QTest::newRow("version 5") << QByteArray::fromHex("05000506000011be80070000") << none;
        QTest::newRow("IPMI class") << QByteArray::fromHex("06000507000011be80070000") << none;
        QTest::newRow("no ack, no response wanted") << QByteArray::fromHex("0600ff06000011be80ff0000") << none;
        QTest::newRow("IANA 4543") << QByteArray::fromHex("06000506000011bf80070000") << ackOnly;
        QTest::newRow("Data Length 1, no data") << QByteArray::fromHex("06000506000011be80070001") << ackOnly;
        QTest::newRow("Open Session Request") << composeMessage({.sequenceNr = 5, .messageType = TypeOpenSessionRequest,
                                                                 .messageTag = 7, .dataLength = 20, .data = QByteArray(20, 0)})
                                              << ackOnly;
    }
    void passesOver()
    {
        QFETCH(QByteArray, datagram);
        RmcpResponder sim;
        QTEST(judged(sim.receive(datagram)), "answers");
    }

    // The simulator's traps through the PET listener for five minutes, in
    // half-second steps with the listener's timer ticks: a correct client
    // leaves heartbeats and retransmissions without a finding and no log
    // line; each fault leaves its finding.
    void trapsThroughTheListener_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("finding");
        QTest::addColumn<int>("status");
        QTest::newRow("correct") << QStringList() << QString() << int(ASF_PACKET_OK);
        QTest::newRow("missing heartbeat") << QStringList{"--miss-heartbeats", "3"}
                                           << "error: heartbeat missing, expected at 180000" << -1;
        QTest::newRow("no retransmission") << QStringList{"--alert-retransmissions", "0"}
                                           << "warning: insufficient nr. of retransmissions (0)\nfor packet received at 0" << 0;
        QTest::newRow("one retransmission") << QStringList{"--alert-retransmissions", "1"}
                                            << "warning: insufficient nr. of retransmissions (1)\nfor packet received at 10000" << -1;
        QTest::newRow("three") << QStringList{"--alert-retransmissions", "3"}
                               << "error: nr. of retransmissions 3 larger than 2\nfirst occurrence at 0" << -1;
        QTest::newRow("changed") << QStringList{"--changed-retransmissions"}
                                 << "error: same sequence nr. but different contents within 1 min.\nfirst occurrence at 0" << -1;
        QTest::newRow("too slow") << QStringList{"--alert-spacing", "61000"}
                                  << "warning: reuse of sequence nr. within 2 min. after\nfirst occurrence at 0 missing" << 0;
        QTest::newRow("malformed") << QStringList{"--malformed-traps"} << "error: PDU Type not TRAP-V1 (4), got a7" << -1;
        QTest::newRow("truncated") << QStringList{"--truncated-traps"} << "error: trap ends after 100 bytes, Language Code missing" << -1;
    }
    void trapsThroughTheListener()
    {
        QFETCH(QStringList, options);
        MemoryNetwork network;
        ManualLogClock clock;
        ASF_PET_Handler pet(&clock);
        pet.setSocketFactory([&] { return std::make_unique<MemoryDatagramSocket>(&network); });
        pet::PetSettings settings{QHostAddress::LocalHost, 162, true, 60000, 0.5f};
        QCOMPARE(pet.listen(settings), pet::ListenerState::Listening);

        const ParsedArguments parsed = parseArguments(QStringList{"--traps", "--heartbeat-interval", "60000", "--alerts", "2"} + options);
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        ManagedClientSim sim(parsed.config, &clock);
        sim.setSocketFactory([&] { return std::make_unique<MemoryDatagramSocket>(&network); });
        QCOMPARE(sim.start(), 0);
        quint32 nextTick = pet.timerInterval();
        for (quint32 t = 0; t <= 300000; t += 500) {
            for (; nextTick <= t; nextTick += pet.timerInterval()) {
                clock.setElapsed(nextTick);
                pet.doTimer();
            }
            clock.setElapsed(t);
            sim.pollTraps();
            QCoreApplication::processEvents();
        }
        PacketLogModel *log = pet.logger()->model();
        QString infos;
        int worst = ASF_PACKET_OK;
        for (int row = 0; row < log->size(); ++row) {
            infos += log->rowTexts(row).info + '\n';
            worst = qMin(worst, log->rowStatus(row));
        }
        QFETCH(QString, finding);
        QTEST(worst, "status");
        QVERIFY2(infos.contains(finding), qPrintable(infos));
        if (finding.isEmpty()) { // five heartbeats, two alerts sent three times each, nothing else
            QCOMPARE(log->size(), 11);
            QCOMPARE(infos.count(QStringLiteral("Heartbeat\n")), 5);
            QCOMPARE(infos.count(QStringLiteral("retransmission (2) for packet received at ")), 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestVelquorSimLogic)
#include "sim_logic.moc"
