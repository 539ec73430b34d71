// The trap check: each finding and its text, their order in the info and the
// trace, the heartbeat and sequence-number extraction, truncated and hostile
// datagrams.

#include "asfpetpacket.h"
#include "petcodes.h"
#include "pettestutil.h"

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

} // namespace

class TestPetCheck : public QObject
{
    Q_OBJECT

private slots:
    void wellFormed()
    {
        auto heartbeat = checked(heartbeatTrap(9));
        QCOMPARE(heartbeat->status(), ASF_PACKET_OK);
        QCOMPARE(heartbeat->info(), QStringLiteral(" "));
        QVERIFY(heartbeat->isHeartbeat());
        QCOMPARE(heartbeat->sequenceNumber(), 9u);
        QVERIFY(heartbeat->check()); // true exactly when ok

        TrapSpec spec;
        spec.specific = 0x00256F00;
        spec.pet.entity = 0x07; // not the heartbeat entity
        auto other = checked(spec.bytes());
        QCOMPARE(other->status(), ASF_PACKET_OK);
        QVERIFY(!other->isHeartbeat());

        spec.pet.entity = 0x17;
        spec.specific = 0x00256F80; // deasserted presence is no heartbeat
        QVERIFY(!checked(spec.bytes())->isHeartbeat());
    }

    // One field changed from a good trap gives exactly one finding.
    void petFieldFindings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("info");
        QTest::addColumn<int>("status");
        auto with = [](auto change) {
            TrapSpec spec;
            change(spec);
            return spec.bytes();
        };
        QTest::newRow("sequence 0") << with([](TrapSpec &s) { s.pet.sequence = 0; })
                                    << "  -warning: Sequence # / Cookiewrong is unspecified" << 0;
        QTest::newRow("local timestamp 0") << with([](TrapSpec &s) { s.pet.localTimestamp = 0; })
                                           << "  -warning: Local Timestamp is unspecified" << 0;
        QTest::newRow("utc ffff") << with([](TrapSpec &s) { s.pet.utcOffset = 0xFFFF; })
                                  << "  -warning: UTC Offset is unspecified" << 0;
        QTest::newRow("utc fffe") << with([](TrapSpec &s) { s.pet.utcOffset = 0xFFFE; }) << " " << 1;
        QTest::newRow("trap source 70") << with([](TrapSpec &s) { s.pet.trapSource = 0x70; })
                                        << "  -warning: Trap Source Type unkown" << 0;
        QTest::newRow("trap source 6f") << with([](TrapSpec &s) { s.pet.trapSource = 0x6F; }) << " " << 1;
        QTest::newRow("event source ff") << with([](TrapSpec &s) { s.pet.eventSource = 0xFF; })
                                         << "  -warning: Event Source Type unkown" << 0;
        QTest::newRow("sensor device ff") << with([](TrapSpec &s) { s.pet.sensorDevice = 0xFF; })
                                          << "  -warning: Sensor Device is unspecified" << 0;
        QTest::newRow("sensor number 0") << with([](TrapSpec &s) { s.pet.sensorNumber = 0x00; })
                                         << "  -warning: Sensor Number is unspecified" << 0;
        QTest::newRow("sensor number ff") << with([](TrapSpec &s) { s.pet.sensorNumber = 0xFF; })
                                          << "  -warning: Sensor Number is unspecified" << 0;
        QTest::newRow("entity 27") << with([](TrapSpec &s) { s.pet.entity = 0x27; })
                                   << "  -warning: Entity field uses reseverd value" << 0;
        QTest::newRow("entity 8f") << with([](TrapSpec &s) { s.pet.entity = 0x8F; })
                                   << "  -warning: Entity field uses reseverd value" << 0;
        QTest::newRow("entity 26") << with([](TrapSpec &s) { s.pet.entity = 0x26; }) << " " << 1;
        QTest::newRow("entity 90") << with([](TrapSpec &s) { s.pet.entity = 0x90; }) << " " << 1;
        QTest::newRow("entity ff") << with([](TrapSpec &s) { s.pet.entity = 0xFF; }) << " " << 1;
        QTest::newRow("entity instance 0") << with([](TrapSpec &s) { s.pet.entityInstance = 0; })
                                           << "  -warning: Entity Instance is unspecified" << 0;
        QTest::newRow("event type 00") << with([](TrapSpec &s) { s.specific = 0x00070001; })
                                       << "  -error: Event offset not valid\n" << -1;
        QTest::newRow("event type 80") << with([](TrapSpec &s) { s.specific = 0x00078001; })
                                       << "  -error: Event offset not valid\n" << -1;
        QTest::newRow("event type 0d") << with([](TrapSpec &s) { s.specific = 0x00070D01; })
                                       << "  -error: Event offset not valid\n" << -1;
        QTest::newRow("oem event type 75") << with([](TrapSpec &s) { s.specific = 0x00077501; }) << " " << 1;
        QTest::newRow("sensor without table") << with([](TrapSpec &s) { s.specific = 0x00016F03; }) << " " << 1;
        QTest::newRow("generic trap 2") << with([](TrapSpec &s) { s.generic = tlv(0x02, hex("02")); })
                                        << "  -error: trap type, expected Enterprise Specific (6), got 2" << -1;
        QTest::newRow("pdu type a0") << with([](TrapSpec &s) { s.pduType = 0xA0; })
                                     << "  -error: PDU Type not TRAP-V1 (4), got a0" << -1;
        QTest::newRow("enterprise") << with([](TrapSpec &s) { s.enterprise = tlv(0x06, hex("2b0601040198 6f0102")); })
                                    << "  -error: wrong enterprise OID expected 1.3.6.1.4.1.3183.1.1, got 1.3.6.1.4.1.3183.1.2"
                                    << -1;
        QTest::newRow("name") << with([](TrapSpec &s) { s.name = tlv(0x06, hex("2b0601040198 6f010102")); })
                              << "  -error: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 1.3.6.1.4.1.3183.1.1.2" << -1;
        QTest::newRow("two extra bytes 30 00") << with([](TrapSpec &s) { s.pet.oem = hex("c13000"); }) << " " << 1;
        QTest::newRow("oem record") << with([](TrapSpec &s) { s.pet.oem = hex("43aabbcc c1"); }) << " " << 1;
    }
    void petFieldFindings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, info);
        QFETCH(int, status);
        auto packet = checked(bytes);
        QCOMPARE(packet->info(), info);
        QCOMPARE(packet->status(), status);
    }

    void octetStringLength_data()
    {
        QTest::addColumn<QByteArray>("petData");
        QTest::addColumn<quint8>("tag");
        QTest::addColumn<QString>("finding");
        const QByteArray fixed = PetFields().bytes().left(46);
        QTest::newRow("46 short") << fixed << quint8(0x04) << "error: OCTET STRING too short (46 octets)";
        QTest::newRow("47 ok") << fixed + hex("c1") << quint8(0x04) << QString();
        QTest::newRow("110 ok") << fixed + QByteArray(63, '\0') + hex("c1") << quint8(0x04) << QString();
        QTest::newRow("111 long") << fixed + QByteArray(64, '\0') + hex("c1") << quint8(0x04)
                                  << "error: OCTET STRING too long (111 octets)";
        QTest::newRow("tag 02") << fixed + hex("c1") << quint8(0x02) << "error: OCTET STRING too short (-1 octets)";
    }
    void octetStringLength()
    {
        QFETCH(QByteArray, petData);
        QFETCH(quint8, tag);
        QFETCH(QString, finding);
        TrapSpec spec;
        spec.petData = petData;
        spec.octetTag = tag;
        auto packet = checked(spec.bytes());
        if (finding.isEmpty()) {
            QVERIFY2(!packet->info().contains(QLatin1String("OCTET STRING")), qPrintable(packet->info()));
        } else {
            // The length finding comes first among the PET data findings.
            QVERIFY2(packet->info().startsWith(QStringLiteral("  -") + finding), qPrintable(packet->info()));
            QCOMPARE(packet->status(), ASF_PACKET_ERROR);
        }
    }

    void trailingData()
    {
        TrapSpec spec;
        spec.pet.oem = hex("c100");
        QByteArray bytes = spec.bytes();
        auto packet = checked(bytes);
        QCOMPARE(packet->info(), QStringLiteral("  -error: unkown data after byte %1").arg(bytes.size() - 1));

        // OEM fields without the end marker run to the end: one past it.
        spec.pet.oem = hex("0200aa");
        bytes = spec.bytes();
        packet = checked(bytes);
        QCOMPARE(packet->info(), QStringLiteral("  -error: unkown data after byte %1").arg(bytes.size() + 1));
    }

    void headerFindingsInOrder()
    {
        QByteArray bytes = validTrap();
        bytes[0] = char(0x31);
        bytes[1] = char(0x10);
        auto packet = checked(bytes);
        QCOMPARE(packet->info(), QStringLiteral("  -error: byte 0 wrong sequence 0x31 expected 0x30"
                                                " -error: wrong length: packet size %1 != indicated 16 (+2)")
                                     .arg(bytes.size()));
        QCOMPARE(packet->status(), ASF_PACKET_ERROR);
    }

    // Findings, reader trace lines and finding trace lines keep walk order.
    void traceInterleavesWithFindings()
    {
        TrapSpec spec;
        spec.generic = tlv(0x02, hex("02"));
        spec.name = tlv(0x06, hex("2b0601040198 6f0101 81818181 01"));
        spec.pet.sequence = 0;
        TraceCollector collector;
        auto packet = checked(spec.bytes());
        const QString generic = QStringLiteral("error: trap type, expected Enterprise Specific (6), got 2");
        const QString name =
            QStringLiteral("error: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 1.3.6.1.4.1.3183.1.1.2113665");
        const QString sequence = QStringLiteral("warning: Sequence # / Cookiewrong is unspecified");
        QCOMPARE(packet->info(), QStringLiteral("  -") + generic + QStringLiteral(" -") + name + QStringLiteral(" -") + sequence);
        const QString trace = collector.text();
        const qsizetype first = trace.indexOf(QStringLiteral("\tError:   ") + generic + QLatin1Char('\n'));
        const qsizetype reader = trace.indexOf(QLatin1String("\terror: asn1: can not decode object identifier\n"));
        const qsizetype second = trace.indexOf(QStringLiteral("\tError:   ") + name + QLatin1Char('\n'));
        const qsizetype third = trace.indexOf(QStringLiteral("\tWarning: ") + sequence + QLatin1Char('\n'));
        QVERIFY2(first >= 0 && reader > first && second > reader && third > second, qPrintable(trace));
    }

    // The readers share one text: a failed OID read shows what the read
    // before it (the agent address) left there.
    void failedReadShowsPreviousText()
    {
        TrapSpec spec;
        spec.name = tlv(0x05, hex("2b0601040198 6f010101"));
        auto packet = checked(spec.bytes());
        QVERIFY2(packet->info().startsWith(
                     QStringLiteral("  -error: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 192.168.0.1"
                                    " -error: OCTET STRING too short (-1 octets)")),
                 qPrintable(packet->info()));
    }

    void truncationNamesWhereTheTrapEnds_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("finding");
        // validTrap(): 30 len | 02 01 00 | 04 06 public | a4 len | 06 09 .. | 40 04 .. | 02 01 06 |
        // 02 04 spec | 43 04 .. | 30 len | 30 len | 06 0a .. | 04 2f <47 bytes>
        QTest::newRow("empty") << 0 << "error: trap ends after 0 bytes, message tag missing";
        QTest::newRow("tag only") << 1 << "error: trap ends after 1 bytes, message length missing";
        QTest::newRow("no version") << 2 << "error: trap ends after 2 bytes, SNMP version missing";
        QTest::newRow("in version") << 4 << "error: trap ends after 4 bytes, SNMP version cut short";
        QTest::newRow("in community") << 9 << "error: trap ends after 9 bytes, SNMP community cut short";
        QTest::newRow("no pdu type") << 13 << "error: trap ends after 13 bytes, PDU type missing";
        QTest::newRow("no pdu length") << 14 << "error: trap ends after 14 bytes, PDU length missing";
        QTest::newRow("in enterprise") << 20 << "error: trap ends after 20 bytes, enterprise OID cut short";
        QTest::newRow("no agent") << 26 << "error: trap ends after 26 bytes, agent address missing";
        QTest::newRow("no specific") << 35 << "error: trap ends after 35 bytes, specific trap type missing";
        QTest::newRow("in time stamp") << 45 << "error: trap ends after 45 bytes, time stamp cut short";
        QTest::newRow("no bindings") << 47 << "error: trap ends after 47 bytes, variable bindings missing";
        QTest::newRow("no name") << 51 << "error: trap ends after 51 bytes, object identifier missing";
        QTest::newRow("no octet string") << 63 << "error: trap ends after 63 bytes, OCTET STRING missing";
        QTest::newRow("no pet data") << 65 << "error: trap ends after 65 bytes, GUID missing";
        QTest::newRow("in sequence") << 82 << "error: trap ends after 82 bytes, Sequence # / Cookie cut short";
        QTest::newRow("in system id") << 110 << "error: trap ends after 110 bytes, System ID cut short";
    }
    void truncationNamesWhereTheTrapEnds()
    {
        QFETCH(int, size);
        QFETCH(QString, finding);
        const QByteArray full = validTrap();
        QCOMPARE(full.size(), 112);
        auto packet = checked(full.left(size));
        QCOMPARE(packet->status(), ASF_PACKET_ERROR);
        QVERIFY2(packet->info().endsWith(QStringLiteral(" -") + finding), qPrintable(packet->info()));
        QCOMPARE(packet->info().count(QLatin1String("trap ends after")), 1);
    }

    // Every prefix of a heartbeat: exactly one truncation finding, a heartbeat
    // only once event and entity were read, the sequence number once it was
    // read; the forms build too.
    void everyPrefix()
    {
        TraceCollector quiet;
        const QByteArray full = heartbeatTrap(5);
        for (int size = 0; size < full.size() - 1; ++size) {
            // The record keeps only the prefix, so a read past it is a read
            // past the array (caught by the sanitizer build).
            auto packet = checked(full.left(size));
            const QString info = packet->info();
            QVERIFY2(info.count(QLatin1String("trap ends after")) == 1, qPrintable(QString::number(size) + info));
            QCOMPARE(packet->isHeartbeat(), size > 65 + 29);
            QCOMPARE(packet->status(), ASF_PACKET_ERROR);
            QCOMPARE(packet->sequenceNumber(), size >= 65 + 18 ? 5u : 0u);
            QVERIFY(packet->textForm().endsWith(QLatin1String("\n ----\n")));
            QVERIFY(packet->rowTree().rowCount() > 0);
        }
        // Without its end marker only: the end marker finding, no truncation,
        // and still a heartbeat.
        auto packet = checked(full.left(full.size() - 1));
        QVERIFY(packet->isHeartbeat());
        QCOMPARE(packet->info(), QStringLiteral("  -error: wrong length: packet size 111 != indicated 110 (+2)"
                                                " -error: expected remaining length 96, got 61"
                                                " -error: unkown data after byte 112"));
    }

    // Random and mutated datagrams: any outcome, but a sane one.
    void hostileInput()
    {
        TraceCollector quiet;
        QRandomGenerator random(20261206);
        const QByteArray good = validTrap();
        for (int round = 0; round < 4000; ++round) {
            QByteArray bytes;
            if (round % 2) {
                bytes = good;
                const int changes = 1 + int(random.bounded(6));
                for (int k = 0; k < changes; ++k)
                    bytes[int(random.bounded(int(bytes.size())))] = char(random.bounded(256));
                bytes.truncate(int(random.bounded(int(bytes.size()) + 1)));
            } else {
                bytes.resize(int(random.bounded(300)));
                for (char &c : bytes)
                    c = char(random.bounded(256));
            }
            auto packet = checked(bytes);
            QVERIFY(packet->status() >= -1 && packet->status() <= 1);
            const QString text = packet->textForm();
            QVERIFY(text.contains(QStringLiteral(" Packet Hex Dump (size %1):").arg(bytes.size())));
            QCOMPARE(packet->decode().truncated(), packet->info().contains(QLatin1String("trap ends after")));
            packet->setShowExpanded(round % 3 == 0);
            QVERIFY(packet->rowTree().rowCount() >= 5);
        }
    }

    void cloneChecksAgain()
    {
        auto packet = checked(trapWithSequence(3));
        packet->setDirection(ASF_Packet::Received);
        packet->setRetransmissionCount(2);
        packet->setInfo(QStringLiteral("retransmission (2) for packet received at 0"));
        std::unique_ptr<ASF_Packet> copy = packet->clone();
        auto *pet = qobject_cast<ASF_PET_Packet *>(copy.get());
        QVERIFY(pet);
        QCOMPARE(pet->info(), packet->info());
        QCOMPARE(pet->direction(), int(ASF_Packet::Received));
        QCOMPARE(pet->sequenceNumber(), 3u);
        QCOMPARE(pet->retransmissionCount(), 0);
        QCOMPARE(pet->protocol(), QStringLiteral("PET"));
        QCOMPARE(pet->protocolType(), int(ASF_Packet::PetTrap));
    }
};

QTEST_MAIN(TestPetCheck)
#include "tst_petcheck.moc"
