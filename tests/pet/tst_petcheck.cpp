// The trap check: each finding and its text, their order in the info and the
// trace, the heartbeat and sequence-number extraction, truncated and hostile
// datagrams.

#include "pet/asfpetpacket.h"
#include "support/capture.h"
#include "support/pettrapbuilder.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace pettest;

namespace {

std::unique_ptr<ASF_PET_Packet> checked(const QByteArray &bytes)
{
    auto packet = std::make_unique<ASF_PET_Packet>(0);
    packet->setData(bytes, int(bytes.size()));
    return packet;
}

QByteArray with(const std::function<void(TrapBuilder &)> &change)
{
    TrapBuilder trap;
    change(trap);
    return trap.bytes();
}

} // namespace

class TestPetCheck : public QObject
{
    Q_OBJECT

private slots:
    // Presence of the heartbeat entity, asserted; everyPrefix has a good one.
    void notAHeartbeat()
    {
        TrapBuilder trap;
        trap.specific = 0x00256F00;
        QVERIFY(!checked(trap.bytes())->isHeartbeat()); // entity 7
        trap.set(Element::Entity, 0x17).specific = 0x00256F80; // deasserted
        QVERIFY(!checked(trap.bytes())->isHeartbeat());
    }

    // The whole info of a trap with one thing changed from a good one.
    void findings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("info");
        QTest::addColumn<int>("status");
        auto field = [](const char *row, Element e, quint32 value, const char *info, int status) {
            QTest::newRow(row) << TrapBuilder().set(e, value).bytes() << QString::fromLatin1(info) << status;
        };
        field("sequence 0", Element::SequenceNumber, 0, "  -warning: Sequence # / Cookiewrong is unspecified", 0);
        field("local timestamp 0", Element::LocalTimestamp, 0, "  -warning: Local Timestamp is unspecified", 0);
        field("utc ffff", Element::UtcOffset, 0xFFFF, "  -warning: UTC Offset is unspecified", 0);
        field("utc fffe", Element::UtcOffset, 0xFFFE, " ", 1);
        field("trap source 70", Element::TrapSourceType, 0x70, "  -warning: Trap Source Type unkown", 0);
        field("trap source 6f", Element::TrapSourceType, 0x6F, " ", 1);
        field("event source ff", Element::EventSourceType, 0xFF, "  -warning: Event Source Type unkown", 0);
        field("sensor device ff", Element::SensorDevice, 0xFF, "  -warning: Sensor Device is unspecified", 0);
        field("sensor number 0", Element::SensorNumber, 0x00, "  -warning: Sensor Number is unspecified", 0);
        field("sensor number ff", Element::SensorNumber, 0xFF, "  -warning: Sensor Number is unspecified", 0);
        field("entity 26", Element::Entity, 0x26, " ", 1);
        field("entity 27", Element::Entity, 0x27, "  -warning: Entity field uses reseverd value", 0);
        field("entity 8f", Element::Entity, 0x8F, "  -warning: Entity field uses reseverd value", 0);
        field("entity 90", Element::Entity, 0x90, " ", 1);
        field("entity instance 0", Element::EntityInstance, 0, "  -warning: Entity Instance is unspecified", 0);

        auto trap = [](const char *row, const QByteArray &bytes, const char *info, int status) {
            QTest::newRow(row) << bytes << QString::fromLatin1(info) << status;
        };
        const char *badOffset = "  -error: Event offset not valid\n";
        trap("event type 00", with([](TrapBuilder &t) { t.specific = 0x00070001; }), badOffset, -1);
        trap("event type 0c", with([](TrapBuilder &t) { t.specific = 0x00070C01; }), " ", 1);
        trap("event type 0d", with([](TrapBuilder &t) { t.specific = 0x00070D01; }), badOffset, -1);
        trap("oem event type 75", with([](TrapBuilder &t) { t.specific = 0x00077501; }), " ", 1);
        trap("event type 80", with([](TrapBuilder &t) { t.specific = 0x00078001; }), badOffset, -1);
        trap("sensor without table", with([](TrapBuilder &t) { t.specific = 0x00016F03; }), " ", 1);
        trap("generic trap 2", with([](TrapBuilder &t) { t.generic = tlv(0x02, hex("02")); }),
             "  -error: trap type, expected Enterprise Specific (6), got 2", -1);
        trap("pdu type a0", with([](TrapBuilder &t) { t.pduType = 0xA0; }), "  -error: PDU Type not TRAP-V1 (4), got a0", -1);
        trap("enterprise", with([](TrapBuilder &t) { t.enterprise = tlv(0x06, hex("2b06010401986f0102")); }),
             "  -error: wrong enterprise OID expected 1.3.6.1.4.1.3183.1.1, got 1.3.6.1.4.1.3183.1.2", -1);
        trap("name", with([](TrapBuilder &t) { t.name = tlv(0x06, hex("2b06010401986f010102")); }),
             "  -error: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 1.3.6.1.4.1.3183.1.1.2", -1);
        // The readers share one text: a failed OID read shows the agent address.
        trap("name not an oid", with([](TrapBuilder &t) { t.name = tlv(0x05, hex("2b06010401986f010101")); }),
             "  -error: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 192.168.0.1 -error: OCTET STRING too short "
             "(-1 octets) -warning: Entity Instance is unspecified -error: unkown data after byte 133",
             -1);
        const QByteArray fixed = TrapBuilder().petData.left(46);
        trap("octets 46", with([&](TrapBuilder &t) { t.petData = fixed; }),
             "  -error: OCTET STRING too short (46 octets) -error: unkown data after byte 112", -1);
        trap("octets 110", with([&](TrapBuilder &t) { t.petData = fixed + QByteArray(63, '\0') + hex("c1"); }), " ", 1);
        trap("octets 111", with([&](TrapBuilder &t) { t.petData = fixed + QByteArray(64, '\0') + hex("c1"); }),
             "  -error: OCTET STRING too long (111 octets)", -1);
        trap("octets tag 02", with([](TrapBuilder &t) { t.octetTag = 0x02; }),
             "  -error: OCTET STRING too short (-1 octets)", -1);
        trap("oem record", with([](TrapBuilder &t) { t.tail(hex("43aabbcc c1")); }), " ", 1);
        trap("sequence after the end marker", with([](TrapBuilder &t) { t.tail(hex("c13000")); }), " ", 1);
        trap("byte after the end marker", with([](TrapBuilder &t) { t.tail(hex("c100")); }),
             "  -error: unkown data after byte 112", -1);
        // OEM fields without the end marker run to the end: one past it.
        trap("no end marker", with([](TrapBuilder &t) { t.tail(hex("0200aa")); }), "  -error: unkown data after byte 115",
             -1);
        QByteArray header = validTrap();
        header[0] = char(0x31);
        header[1] = char(0x10);
        trap("message tag and length", header,
             "  -error: byte 0 wrong sequence 0x31 expected 0x30 -error: wrong length: packet size 112 != indicated 16 (+2)",
             -1);
    }
    void findings()
    {
        QFETCH(QByteArray, bytes);
        auto packet = checked(bytes);
        QFETCH(int, status);
        QTEST(packet->info(), "info");
        QCOMPARE(packet->status(), status);
        QCOMPARE(packet->check(), status == ASF_PACKET_OK); // checked again
    }

    // Findings, reader trace lines and finding trace lines keep walk order.
    void traceInterleavesWithFindings()
    {
        TrapBuilder trap;
        trap.generic = tlv(0x02, hex("02"));
        trap.name = tlv(0x06, hex("2b06010401986f0101 81818181 01"));
        trap.set(Element::SequenceNumber, 0);
        velquor::test::TraceCapture trace;
        checked(trap.bytes());
        QCOMPARE(trace.text(),
                 QStringLiteral("\tError:   error: trap type, expected Enterprise Specific (6), got 2\n"
                                "\terror: asn1: can not decode object identifier\n"
                                "\tError:   error: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 1.3.6.1.4.1.3183.1.1.2113665\n"
                                "\tWarning: warning: Sequence # / Cookiewrong is unspecified\n"));
    }

    void truncationNamesWhereTheTrapEnds_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("finding");
        // 30 len | 02 01 00 | 04 06 public | a4 len | 06 09 .. | 40 04 .. | 02 01 06 |
        // 02 04 specific | 43 04 .. | 30 len | 30 len | 06 0a .. | 04 2f <47 bytes>;
        // everyPrefix names the ends within the PET data.
        QTest::newRow("empty") << 0 << "0 bytes, message tag missing";
        QTest::newRow("tag only") << 1 << "1 bytes, message length missing";
        QTest::newRow("no version") << 2 << "2 bytes, SNMP version missing";
        QTest::newRow("in version") << 4 << "4 bytes, SNMP version cut short";
        QTest::newRow("in community") << 9 << "9 bytes, SNMP community cut short";
        QTest::newRow("no pdu type") << 13 << "13 bytes, PDU type missing";
        QTest::newRow("no pdu length") << 14 << "14 bytes, PDU length missing";
        QTest::newRow("in enterprise") << 20 << "20 bytes, enterprise OID cut short";
        QTest::newRow("no agent") << 26 << "26 bytes, agent address missing";
        QTest::newRow("no specific") << 35 << "35 bytes, specific trap type missing";
        QTest::newRow("in time stamp") << 45 << "45 bytes, time stamp cut short";
        QTest::newRow("no bindings") << 47 << "47 bytes, variable bindings missing";
        QTest::newRow("no name") << 51 << "51 bytes, object identifier missing";
        QTest::newRow("no octet string") << 63 << "63 bytes, OCTET STRING missing";
    }
    void truncationNamesWhereTheTrapEnds()
    {
        QFETCH(int, size);
        QFETCH(QString, finding);
        auto packet = checked(validTrap().left(size));
        QCOMPARE(packet->status(), ASF_PACKET_ERROR);
        QVERIFY2(packet->info().endsWith(QStringLiteral(" -error: trap ends after ") + finding), qPrintable(packet->info()));
    }

    // Every prefix of a heartbeat (laid out as validTrap()): one truncation
    // finding, naming the PET data field where the data ended; a heartbeat
    // only once event and entity were read, the sequence number once it was
    // read; the forms build too. Each prefix is an array of its own, so a read
    // past it is caught by the sanitizer build.
    void everyPrefix()
    {
        const std::pair<const char *, int> fields[] = {
            {"GUID", 16}, {"Sequence # / Cookie", 2}, {"Local Timestamp", 4}, {"UTC Offset", 2},
            {"Trap Source Type", 1}, {"Event Source Type", 1}, {"Event Severity", 1}, {"Sensor Device", 1},
            {"Sensor Number", 1}, {"Entity", 1}, {"Entity Instance", 1}, {"Event Data", 8},
            {"Language Code", 1}, {"Manufacturer ID", 4}, {"System ID", 2}};
        velquor::test::TraceCapture quiet;
        const QByteArray full = heartbeatTrap(5);
        for (int size = 0; size < full.size() - 1; ++size) {
            const std::vector<char> exact(full.begin(), full.begin() + size);
            auto packet = checked(QByteArray::fromRawData(exact.data(), size));
            const QString info = packet->info();
            QVERIFY2(info.count(QLatin1String("trap ends after")) == 1, qPrintable(info));
            int start = 65; // the PET data
            for (const auto &[name, length] : fields) {
                if (size >= start && size < start + length) {
                    const QString end = QStringLiteral(" -error: trap ends after %1 bytes, %2 %3")
                                            .arg(size)
                                            .arg(QLatin1String(name), size == start ? "missing" : "cut short");
                    QVERIFY2(info.endsWith(end), qPrintable(info));
                }
                start += length;
            }
            QCOMPARE(packet->isHeartbeat(), size > 65 + 29);
            QCOMPARE(packet->sequenceNumber(), size >= 65 + 18 ? 5u : 0u);
            QVERIFY(packet->textForm().endsWith(QLatin1String("\n ----\n")));
            QVERIFY(packet->rowTree().rowCount() > 0);
        }
        // Without its end marker only: no truncation, and still a heartbeat.
        auto packet = checked(full.left(full.size() - 1));
        QVERIFY(packet->isHeartbeat());
        QCOMPARE(packet->info(), QStringLiteral("  -error: wrong length: packet size 111 != indicated 110 (+2)"
                                                " -error: expected remaining length 96, got 61"
                                                " -error: unkown data after byte 112"));
    }

    // Random and mutated datagrams: any outcome, but a sane one.
    void hostileInput()
    {
        velquor::test::TraceCapture quiet;
        QRandomGenerator random(20261206);
        const QByteArray good = validTrap();
        for (int round = 0; round < 1000; ++round) {
            QByteArray bytes;
            if (round % 2) {
                bytes = good;
                for (int k = int(random.bounded(6)); k >= 0; --k)
                    bytes[int(random.bounded(int(bytes.size())))] = char(random.bounded(256));
                bytes.truncate(int(random.bounded(int(bytes.size()) + 1)));
            } else {
                bytes.resize(int(random.bounded(300)));
                for (char &c : bytes)
                    c = char(random.bounded(256));
            }
            auto packet = checked(bytes);
            QVERIFY(packet->status() >= -1 && packet->status() <= 1);
            QVERIFY(packet->textForm().contains(QStringLiteral(" Packet Hex Dump (size %1):").arg(bytes.size())));
            QCOMPARE(packet->decode().truncated(), packet->info().contains(QLatin1String("trap ends after")));
            packet->setShowExpanded(round % 3 == 0);
            QVERIFY(packet->rowTree().rowCount() >= 5);
        }
    }

    // A clone is checked again: same findings and sequence number, no retransmissions.
    void cloneChecksAgain()
    {
        auto packet = checked(trapWithSequence(3));
        packet->setRetransmissionCount(2);
        packet->setInfo(QStringLiteral("retransmission (2) for packet received at 0"));
        std::unique_ptr<ASF_Packet> copy = packet->clone();
        auto *pet = qobject_cast<ASF_PET_Packet *>(copy.get());
        QVERIFY(pet);
        QCOMPARE(pet->info(), packet->info());
        QCOMPARE(pet->sequenceNumber(), 3u);
        QCOMPARE(pet->retransmissionCount(), 0);
        QCOMPARE(pet->protocolType(), int(ASF_Packet::PetTrap));
    }
};

QTEST_MAIN(TestPetCheck)
#include "tst_petcheck.moc"
