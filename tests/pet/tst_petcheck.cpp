// The trap walk and check: each finding and its text, their order in the
// info and the trace, truncated and hostile datagrams; the field table the
// check, the forms and the composer share; composed traps read back.

#include "core/trace.h"
#include "pet/asfpetpacket.h"
#include "pet/petcompose.h"
#include "pet/petpresentation.h"
#include "support/capture.h"
#include "support/pettrapbuilder.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace pettest;
using namespace velquor::pet;

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

// Everything a walk read, to compare two walks.
QStringList walked(const PetTrap &t)
{
    QStringList out{QString::number(int(t.reached)), QString::number(t.cutShort), QString::number(t.petStart),
                    QString::number(t.endPos), QString::number(t.agentOk), QString::number(t.oemRecords.size()),
                    QString::fromLatin1(t.oem.toHex() + t.guid.toHex() + t.eventData.toHex())};
    for (int e = 0; e < ElementCount; ++e)
        out << QStringLiteral("%1:%2:%3").arg(t.number[size_t(e)]).arg(t.position[size_t(e)]).arg(
                   QString::fromLatin1(t.textOf(Element(e)).toHex()));
    return out;
}

int count(const QString &text, const char *what)
{
    return int(text.count(QLatin1String(what)));
}

} // namespace

class TestPetCheck : public QObject
{
    Q_OBJECT

private slots:
    // The whole info of a trap with one thing changed from a good one.
    void findings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("info");
        QTest::addColumn<int>("status");
        auto field = [](const char *row, Element e, quint32 value, const char *info) {
            QTest::newRow(row) << TrapBuilder().set(e, value).bytes() << QString::fromLatin1(info)
                               << (*info == ' ' && !info[1] ? 1 : 0);
        };
        field("sequence 0", Element::SequenceNumber, 0, "  -warning: Sequence # / Cookiewrong is unspecified");
        field("local timestamp 0", Element::LocalTimestamp, 0, "  -warning: Local Timestamp is unspecified");
        field("utc ffff", Element::UtcOffset, 0xFFFF, "  -warning: UTC Offset is unspecified");
        field("utc fffe", Element::UtcOffset, 0xFFFE, " ");
        field("trap source 70", Element::TrapSourceType, 0x70, "  -warning: Trap Source Type unkown");
        field("trap source 6f", Element::TrapSourceType, 0x6F, " ");
        // The forms call 0xFF "Unspecified" and do not warn; the check does.
        field("event source ff", Element::EventSourceType, 0xFF, "  -warning: Event Source Type unkown");
        field("sensor device ff", Element::SensorDevice, 0xFF, "  -warning: Sensor Device is unspecified");
        field("sensor number 0", Element::SensorNumber, 0x00, "  -warning: Sensor Number is unspecified");
        field("sensor number ff", Element::SensorNumber, 0xFF, "  -warning: Sensor Number is unspecified");
        field("entity 26", Element::Entity, 0x26, " ");
        field("entity 27", Element::Entity, 0x27, "  -warning: Entity field uses reseverd value");
        field("entity 8f", Element::Entity, 0x8F, "  -warning: Entity field uses reseverd value");
        field("entity 90", Element::Entity, 0x90, " ");
        field("entity instance 0", Element::EntityInstance, 0, "  -warning: Entity Instance is unspecified");

        auto trap = [](const char *row, const QByteArray &bytes, const char *info, int status = -1) {
            QTest::newRow(row) << bytes << QString::fromLatin1(info) << status;
        };
        const char *badOffset = "  -error: Event offset not valid\n";
        trap("event type 00", with([](TrapBuilder &t) { t.specific = 0x00070001; }), badOffset);
        trap("event type 0c", with([](TrapBuilder &t) { t.specific = 0x00070C01; }), " ", 1);
        trap("event type 0d", with([](TrapBuilder &t) { t.specific = 0x00070D01; }), badOffset);
        trap("oem event type 75", with([](TrapBuilder &t) { t.specific = 0x00077501; }), " ", 1);
        trap("event type 80", with([](TrapBuilder &t) { t.specific = 0x00078001; }), badOffset);
        trap("sensor without table", with([](TrapBuilder &t) { t.specific = 0x00016F03; }), " ", 1);
        trap("generic trap 2", with([](TrapBuilder &t) { t.generic = tlv(0x02, hex("02")); }),
             "  -error: trap type, expected Enterprise Specific (6), got 2");
        trap("pdu type a0", with([](TrapBuilder &t) { t.pduType = 0xA0; }), "  -error: PDU Type not TRAP-V1 (4), got a0");
        trap("enterprise", with([](TrapBuilder &t) { t.enterprise = tlv(0x06, hex("2b06010401986f0102")); }),
             "  -error: wrong enterprise OID expected 1.3.6.1.4.1.3183.1.1, got 1.3.6.1.4.1.3183.1.2");
        trap("name", with([](TrapBuilder &t) { t.name = tlv(0x06, hex("2b06010401986f010102")); }),
             "  -error: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 1.3.6.1.4.1.3183.1.1.2");
        // The readers share one text: a failed OID read shows the agent address.
        trap("name not an oid", with([](TrapBuilder &t) { t.name = tlv(0x05, hex("2b06010401986f010101")); }),
             "  -error: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 192.168.0.1 -error: OCTET STRING too short "
             "(-1 octets) -warning: Entity Instance is unspecified -error: unkown data after byte 133");
        const QByteArray fixed = TrapBuilder().petData.left(46);
        trap("octets 46", with([&](TrapBuilder &t) { t.petData = fixed; }),
             "  -error: OCTET STRING too short (46 octets) -error: unkown data after byte 112");
        trap("octets 110", with([&](TrapBuilder &t) { t.petData = fixed + QByteArray(63, '\0') + hex("c1"); }), " ", 1);
        trap("octets 111", with([&](TrapBuilder &t) { t.petData = fixed + QByteArray(64, '\0') + hex("c1"); }),
             "  -error: OCTET STRING too long (111 octets)");
        trap("oem record", with([](TrapBuilder &t) { t.tail(hex("43aabbcc c1")); }), " ", 1);
        trap("sequence after the end marker", with([](TrapBuilder &t) { t.tail(hex("c13000")); }), " ", 1);
        trap("byte after the end marker", with([](TrapBuilder &t) { t.tail(hex("c100")); }),
             "  -error: unkown data after byte 112");
        // OEM fields without the end marker run to the end: one past it.
        trap("no end marker", with([](TrapBuilder &t) { t.tail(hex("0200aa")); }), "  -error: unkown data after byte 115");
        QByteArray header = validTrap();
        header[0] = char(0x31);
        header[1] = char(0x10);
        trap("message tag and length", header,
             "  -error: byte 0 wrong sequence 0x31 expected 0x30 -error: wrong length: packet size 112 != indicated 16 (+2)");
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
        // Off, nothing is traced at all.
        trace.clear();
        velquor::setTraceEnabled(false);
        checked(trap.bytes());
        velquor::setTraceEnabled(true);
        QCOMPARE(trace.text(), QString());
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
        QTest::newRow("in version") << 4 << "4 bytes, SNMP version cut short";
        QTest::newRow("no pdu length") << 14 << "14 bytes, PDU length missing";
        QTest::newRow("in enterprise") << 20 << "20 bytes, enterprise OID cut short";
        QTest::newRow("in time stamp") << 45 << "45 bytes, time stamp cut short";
        QTest::newRow("no bindings") << 47 << "47 bytes, variable bindings missing";
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
        velquor::test::TraceCapture quiet;
        const QByteArray full = pettest::heartbeatTrap(5);
        for (int size = 0; size < full.size() - 1; ++size) {
            const std::vector<char> exact(full.begin(), full.begin() + size);
            auto packet = checked(QByteArray::fromRawData(exact.data(), size));
            const QString info = packet->info();
            QVERIFY2(info.count(QLatin1String("trap ends after")) == 1, qPrintable(info));
            for (const TrapField &f : trapFields()) {
                const int start = 65 + f.offset;
                if (f.encoding == Encoding::PetData && size >= start && size < start + f.size)
                    QVERIFY2(info.endsWith(QStringLiteral(" -error: trap ends after %1 bytes, %2 %3")
                                               .arg(size)
                                               .arg(QLatin1String(f.label), size == start ? "missing" : "cut short")),
                             qPrintable(info));
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

    // Random and mutated datagrams: any outcome, but a sane one; the check's
    // walk and the silent walk of the forms read the same; the tree marks as
    // many findings as the text form prints.
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
            // Silent first: a silent walk of the bytes just checked would be the check's own.
            const PetTrap silent = walkPetTrap(bytes, int(bytes.size()), nullptr);
            velquor::PacketFindings findings;
            const PetTrap trap = walkPetTrap(bytes, int(bytes.size()), &findings);
            QCOMPARE(walked(silent), walked(trap));
            QCOMPARE(trap.truncated(), findings.info().contains(QLatin1String("trap ends after")));

            const QString text = petTextForm(trap, 0);
            QVERIFY(text.contains(QStringLiteral(" Packet Hex Dump (size %1):").arg(bytes.size())));
            const QStringList rows = velquor::test::treeLines(buildPetRowTree(trap, 0, round % 3 == 0));
            QVERIFY(rows.size() >= 5);
            if (round % 2) { // community "public": no finding words from the datagram itself
                const int marked = int(std::count_if(rows.begin(), rows.end(), [](const QString &row) {
                    return row.contains(QLatin1String("|error:")) || row.contains(QLatin1String("|warning:"));
                }));
                // The PDU row holds both PDU findings, showing the later.
                const bool shared = trap.has(Element::PduLength)
                    && hasFinding(trapField(Element::PduType), trap, Form::Tree)
                    && hasFinding(trapField(Element::PduLength), trap, Form::Tree);
                QCOMPARE(count(text, "error:") + count(text, "warning:"), marked + int(shared));
            }
        }
    }

    // The forms' walk remembers the last trap it walked; over bytes its
    // caller owns (fromRawData) it must not keep comparing with them once
    // the caller reuses them (found by fuzz_pet_trap: a use after free).
    void silentWalkKeepsItsOwnBytes()
    {
        const QByteArray first = hex("3003020100"), second = hex("3103020100");
        std::vector<char> buffer(first.begin(), first.end());
        {
            const QByteArray borrowed = QByteArray::fromRawData(buffer.data(), qsizetype(buffer.size()));
            QCOMPARE(walkPetTrap(borrowed, int(borrowed.size()), nullptr).value(Element::MessageTag), 0x30u);
        }
        std::copy(second.begin(), second.end(), buffer.begin());
        const PetTrap t = walkPetTrap(second, int(second.size()), nullptr);
        QCOMPARE(t.value(Element::MessageTag), 0x31u);
        QCOMPARE(t.data, second);
    }

    // The table in walk order, the fixed PET data fields one after another.
    void fieldTable()
    {
        int offset = 0;
        for (int i = 0; i < ElementCount; ++i) {
            const TrapField &f = trapFields()[size_t(i)];
            QCOMPARE(int(f.element), i);
            QVERIFY(elementName(f.element)[0]);
            if (f.encoding == Encoding::PetData) {
                QCOMPARE(f.offset, offset);
                offset += f.size;
            }
        }
        QCOMPARE(offset, PetFixedLength);
    }

    // Composed traps read back as composed; every part of the composition is
    // in play: integer sizes, a community of any bytes, OEM records.
    void composedTrapsReadBack()
    {
        TrapValues odd = alertTrap(0xFFFF);
        odd.set(Element::Version, 0x80).set(Element::TimeStamp, 0xFFFFFFFF).set(Element::AgentAddress, 0x0A00FF01);
        odd.set(Element::GenericTrap, 0x7FFF).set(Element::ManufacturerId, 0x80000000).set(Element::Entity, 0xD0);
        odd.setText(Element::Community, QByteArray("p\xe9\0b", 4));
        odd.oem = hex("43aabbcc 00 c1");
        for (const TrapValues &values : {alertTrap(7), velquor::pet::heartbeatTrap(9), odd}) {
            const QByteArray bytes = composePetTrap(values);
            velquor::PacketFindings findings;
            const PetTrap t = walkPetTrap(bytes, int(bytes.size()), &findings);
            QVERIFY(!t.truncated());
            for (const TrapField &f : trapFields()) {
                if (f.rule != Rule::NotRemaining && f.encoding != Encoding::SequenceHeader
                    && f.encoding != Encoding::OctetStringHeader) // lengths are the composer's
                    QCOMPARE(t.value(f.element), values.value(f.element));
            }
            QCOMPARE(t.textOf(Element::Community), values.textOf(Element::Community));
            QCOMPARE(t.textOf(Element::Enterprise), values.textOf(Element::Enterprise));
            QCOMPARE(t.textOf(Element::Name), values.textOf(Element::Name));
            QCOMPARE(t.guid + t.eventData + t.oem, values.guid + values.eventData + values.oem);
            QCOMPARE(composePetTrap(t), bytes);
        }
        // BER as senders write it: INTEGERs as short as they go, a leading
        // zero byte where the top bit would make them negative.
        QCOMPARE(composePetTrap(velquor::pet::heartbeatTrap(5)),
                 hex("306b 020100 04067075626c6963 a45e 06092b06010401986f0101 4004c0a80001 020106 0203256f00"
                     "4302012c 303f 303d 060a2b06010401986f010101 042f 0102030405060708090a0b0c0d0e0f10 0005"
                     "00010203 0000 68 68 10 01 02 17 01 a1a2a3a4a5a6a7a8 19 00000c6f 0102 c1"));
        QCOMPARE(composePetTrap(odd).mid(2, 4), hex("02020080"));
        QVERIFY(checked(composePetTrap(alertTrap(7)))->info() == QLatin1String(" "));
        QVERIFY(checked(composePetTrap(velquor::pet::heartbeatTrap(9)))->isHeartbeat());
        QVERIFY(!checked(composePetTrap(alertTrap(9)))->isHeartbeat());
    }

    // Each fault gives the finding the check has for it.
    void composedFaults_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("info");
        const auto fault = [](const char *row, const std::function<void(TrapFaults &)> &set, const char *info) {
            TrapFaults faults;
            set(faults);
            QTest::newRow(row) << composePetTrap(alertTrap(7), faults) << QString::fromLatin1(info);
        };
        const auto e = [](Element element) { return size_t(element); };
        fault("cut in the PET data", [&](TrapFaults &f) { f.cutAt = 100; },
              "  -error: wrong length: packet size 100 != indicated 107 (+2) -error: expected remaining length 85, "
              "got 5e -error: trap ends after 100 bytes, Event Data cut short");
        fault("message length", [&](TrapFaults &f) { f.length[e(Element::MessageLength)] = 0x10; },
              "  -error: wrong length: packet size 109 != indicated 16 (+2)");
        fault("name tag", [&](TrapFaults &f) { f.tag[e(Element::Name)] = 0x05; },
              "  -error: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 192.168.0.1 -error: OCTET STRING too short "
              "(-1 octets) -warning: Entity Instance is unspecified -error: unkown data after byte 130");
        fault("octet string length", [&](TrapFaults &f) { f.length[e(Element::OctetString)] = 46; },
              "  -error: OCTET STRING too short (46 octets)");
        fault("byte after the PET data", [&](TrapFaults &f) { f.trailer = hex("00"); },
              "  -error: unkown data after byte 109");
        fault("sequence after the PET data", [&](TrapFaults &f) { f.trailer = hex("3000"); }, " ");
    }
    void composedFaults()
    {
        QFETCH(QByteArray, bytes);
        velquor::test::TraceCapture quiet;
        QTEST(checked(bytes)->info(), "info");
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
    }
};

QTEST_MAIN(TestPetCheck)
#include "tst_petcheck.moc"
