// Tree form, text form and the script look-ups of a checked trap.

#include "pet/asfpetpacket.h"
#include "pet/petview.h"
#include "support/pettrapbuilder.h"

#include <QTreeWidget>
#include <QtTest>

using namespace pettest;

namespace {

std::unique_ptr<ASF_PET_Packet> checked(const QByteArray &bytes, bool expanded = true)
{
    auto packet = std::make_unique<ASF_PET_Packet>(0);
    packet->setData(bytes, int(bytes.size()));
    packet->setShowExpanded(expanded ? 1 : 0);
    return packet;
}

QStringList flat(const ASF_PET_Packet &packet)
{
    return velquor::test::treeLines(packet.rowTree());
}

// Every finding the text form shows in line, with OEM records and one byte
// after the end marker; the message tag, its length and the PDU length wrong.
QByteArray badTrap()
{
    TrapBuilder trap;
    trap.pduType = 0xA0;
    trap.enterprise = tlv(0x06, hex("2b06"));
    trap.generic = tlv(0x02, hex("01"));
    trap.specific = 0x00077580; // OEM event type, deasserted
    trap.name = tlv(0x06, hex("2b07"));
    trap.set(Element::SequenceNumber, 0).set(Element::LocalTimestamp, 0).set(Element::UtcOffset, 0xFFFF);
    trap.set(Element::TrapSourceType, 0x80).set(Element::EventSourceType, 0x80).set(Element::EventSeverity, 0x03);
    trap.set(Element::SensorDevice, 0xFF).set(Element::SensorNumber, 0).set(Element::Entity, 0x30);
    trap.set(Element::EntityInstance, 0).set(Element::LanguageCode, 0x80).tail(hex("43aabbcc 02dddd c1 00"));
    QByteArray bytes = trap.bytes();
    bytes[0] = char(0x31);
    bytes[1] = char(0x05);
    bytes[14] = char(0x22);
    return bytes;
}

} // namespace

class TestPetPresentation : public QObject
{
    Q_OBJECT

private slots:
    // Finding lines, the pieces without line feed, OEM records, unknown data,
    // the hex dump.
    void textFormOfABadTrap()
    {
        auto packet = checked(badTrap());
        packet->setRetransmissionCount(2);
        QCOMPARE(packet->textForm(),
                 QStringLiteral("!!error: byte 0 wrong sequence 0x31 expected 0x30\n"
                                "  PLATFORM EVENT TRAP\n"
                                "\tMisc\n"
                                "\t\tReceived packet size 105\n"
                                "!!\t\t\t  error: wrong length: packet size 105 != indicated 5 (+2)\n"
                                "\t\tIndicated packet size 105\n"
                                "\t\tretransmission # 2\n"
                                "\t\tSNMP Version\t1\n"
                                "\t\tSNMP Community\tpublic\n"
                                "\t\tSNMP PDU Type\t0xA0 0x22\n"
                                "!!\t\t\terror: PDU Type not TRAP-V1 (4), got a0\n"
                                "!!\t\t\terror: expected remaining length 90, got 34\n"
                                "\t\tSNMP Enterprise\t1.3.6\n"
                                "!!\t\t\terror: wrong enterprise OID expected 1.3.6.1.4.1.3183.1.1, got 1.3.6\n"
                                "\t\tSNMP Agent address\t192.168.0.1\n"
                                "\tClient address\t192.168.0.1\n"
                                "\tTrap Type \t0x1!!\terror: trap type, expected Enterprise Specific (6), got 1\n"
                                "\tSpecific trap type\t0x00077580\n"
                                "\t\tEvent Sensor Type\tProcessor\t0x07\n"
                                "\t\tEvent Type\t\tOEM\t0x75\n"
                                "\t\tEvent Offset\t\t0x80\n"
                                "\t\t\tDeassertion Event\t\t0x80\n"
                                "\t\t\tOEM\t0x00" // no line feed
                                "\tTimestamp\t300\n"
                                "\tObject identifier\t1.3.7\n"
                                "!!\t\terror: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 1.3.7\n"
                                "\tOCTET STRING\t55 octets\n"
                                "\t\tGUID\t01020304 05060708 090a0b0c 0d0e0f10\n"
                                "\t\tSequence # / Cookie\tUnspecified\t0x00\n"
                                "!\t\t\twarning: Sequence # / Cookiewrong is unspecified\n"
                                "\t\tLocal Timestamp\tUnspecified\t0x0000\n"
                                "!\t\t\twarning: Local Timestamp is unspecified\n"
                                "\t\tUTC Offset\tUnspecified\t0xFFFF\n"
                                "!\t\t\twarning: UTC Offset is unspecified\n"
                                "\t\tTrap Source Type\tUnknown\t0x80\n"
                                "!\t\t\twarning: Trap Source Type unkown\n"
                                "\t\tEvent Source Type\tUnknown\t0x80\n"
                                "!\t\t\twarning: Event Source Type unkown" // no line feed
                                "\t\tEvent Severity\tUnknown severity\t0x03\n"
                                "\t\tSensor Device\tUnspecified\t0xFF\n"
                                "!\t\t\twarning: Sensor Device is unspecified\n"
                                "\t\tSensor Number\tUnspecified\t0x00\n"
                                "!\t\t\twarning: Sensor Number is unspecified" // no line feed
                                "\t\tEntity\tReserved\t0x30\n"
                                "!\t\t\twarning: Entity field uses reseverd value\n"
                                "\t\tEntity Instance\tUnspecified\t0x00\n"
                                "!\t\t\twarning: Entity Instance is unspecified\n"
                                "\t\tEvent Data\tA1A2A3A4 A5A6A7A8\n"
                                "\t\tLanguage Code\tUnknown language\t0x80\n"
                                "\t\tManufacturer ID\t3183\t0x00000C6F\n"
                                "\t\tSystem ID\t258\t0x0102\n"
                                "\t\tOEM Custom Fields\n"
                                "\t\t\tType: 01 Length: 3\n\t\t0xAA 0xBB 0xCC\n"
                                "\t\t\tType: 00 Length: 2\n\t\t0xDD 0xDD\n"
                                "!\tUnkown Data\tsize 1\t\t104: 00\n"
                                " Packet Hex Dump (size 105):\n ----"
                                "\n    0 - 15:    31 05 02 01  00 04 06 70  75 62 6c 69  63 a0 22 06"
                                "\n    16 - 31:   02 2b 06 40  04 c0 a8 00  01 02 01 01  02 04 00 07"
                                "\n    32 - 47:   75 80 43 04  00 00 01 2c  30 3f 30 3d  06 02 2b 07"
                                "\n    48 - 63:   04 37 01 02  03 04 05 06  07 08 09 0a  0b 0c 0d 0e"
                                "\n    64 - 79:   0f 10 00 00  00 00 00 00  ff ff 80 80  03 ff 00 30"
                                "\n    80 - 95:   00 a1 a2 a3  a4 a5 a6 a7  a8 80 00 00  0c 6f 01 02"
                                "\n    96 - 111:  43 aa bb cc  02 dd dd c1  00"
                                "\n ----\n"));
    }

    void treeOfAGoodTrap()
    {
        const QStringList expected = {
            QStringLiteral("PLATFORM EVENT TRAP||||+"),
            QStringLiteral(" Misc||||+"),
            QStringLiteral("  Received packet size|112|||"),
            QStringLiteral("  Indicated packet size|112|||"),
            QStringLiteral("  retransmission #|0|||"),
            QStringLiteral("  SNMP Version|1|||"),
            QStringLiteral("  SNMP Community|public|||"),
            QStringLiteral("  SNMP PDU Type|TRAP-V1 (4)|0xA4 0x61||"),
            QStringLiteral("  SNMP Enterprise|1.3.6.1.4.1.3183.1.1|||"),
            QStringLiteral("  SNMP Agent address|192.168.0.1|||"),
            QStringLiteral(" client address|192.168.0.1|||"),
            QStringLiteral(" Trap Type|Enterprise Specific (6)|||"),
            QStringLiteral(" Specific trap type||0x00076F01||+"),
            QStringLiteral("  Event Sensor Type|Processor|0x07||"),
            QStringLiteral("  Event Type|Sensor-specific|0x6F||"),
            QStringLiteral("  Event Offset||0x01||+"),
            QStringLiteral("   Assertion Event||0x01||"),
            QStringLiteral("   Thermal Trip||0x01||"),
            QStringLiteral(" Timestamp|300|||"),
            QStringLiteral(" Object identifier|1.3.6.1.4.1.3183.1.1.1|||"),
            QStringLiteral(" OCTET STRING|47 octets|||+"),
            QStringLiteral("  GUID|01020304 05060708 090a0b0c 0d0e0f10|||"),
            QStringLiteral("  Sequence # / Cookie|7|0x0007||"),
            QStringLiteral("  Local Timestamp|66051|0x00010203||"),
            QStringLiteral("  UTC Offset|0|0x0000||"),
            QStringLiteral("  Trap Source Type|ASF 1.0|0x68||"),
            QStringLiteral("  Event Source Type|ASF 1.0|0x68||"),
            QStringLiteral("  Event Severity|Critical Condition|0x10||"),
            QStringLiteral("  Sensor Device|1|0x01||"),
            QStringLiteral("  Sensor Number|2|0x02||"),
            QStringLiteral("  Entity|System Board|0x07||"),
            QStringLiteral("  Entity Instance|1|0x01||"),
            QStringLiteral("  Event Data|A1A2A3A4 A5A6A7A8|||"),
            QStringLiteral("  Language Code|English (en)|0x19||"),
            QStringLiteral("  Manufacturer ID|3183|0x00000C6F||"),
            QStringLiteral("  System ID|258|0x0102||"),
            QStringLiteral("  OEM Custom Fields||||+"),
        };
        QCOMPARE(flat(*checked(validTrap())), expected);
    }

    void treeMarksFindings()
    {
        auto packet = checked(badTrap());
        const QString infoBefore = packet->info();
        const QStringList rows = flat(*packet);
        // Header findings without a row of their own: error rows on top, the later one first.
        QCOMPARE(rows.value(0), QStringLiteral("|||error: wrong length: packet size 105 != indicated 5 (+2)|E"));
        QCOMPARE(rows.value(1), QStringLiteral("|||error: byte 0 wrong sequence 0x31 expected 0x30|E"));
        // Two findings on one row: the later text stays, the parent gets the image.
        QVERIFY(rows.contains(QStringLiteral(" Misc||||E+")));
        QVERIFY(rows.contains(QStringLiteral("  SNMP PDU Type|0x22|0xA0 0x22|error: expected remaining length 90, got 34|E")));
        QVERIFY(rows.contains(QStringLiteral(" OCTET STRING|55 octets|||W+")));
        QVERIFY(rows.contains(QStringLiteral("  Trap Source Type|Unknown|0x80|warning: Trap Source Type unkown|W")));
        QVERIFY(rows.contains(QStringLiteral("  Event Severity|Unknown severity 0x03|0x03||")));
        QVERIFY(rows.contains(QStringLiteral("  Language Code|Unknown language 128|0x80||")));
        QVERIFY(rows.contains(QStringLiteral("   Type: 01 Length: 3|AA BB CC|||")));
        QVERIFY(rows.contains(QStringLiteral(" Unkown Data|size 1|||W")));
        QVERIFY(rows.contains(QStringLiteral("  104|00|||")));
        // Presenting never changes the record.
        delete velquor::createPetView(*packet, nullptr);
        packet->textForm();
        QCOMPARE(packet->info(), infoBefore);
        QCOMPARE(packet->status(), ASF_PACKET_ERROR);
    }

    // An OCTET STRING of 40 octets: no PET data, every byte after its header
    // as unknown data in rows of ten; the check says where the data ended.
    void shortOctetString()
    {
        TrapBuilder trap;
        trap.petData.truncate(40);
        auto packet = checked(trap.bytes());
        const QString end = QStringLiteral("error: trap ends after 105 bytes, Manufacturer ID missing");
        QVERIFY2(packet->info().endsWith(QStringLiteral(" -error: OCTET STRING too short (40 octets) -") + end),
                 qPrintable(packet->info()));
        QCOMPARE(flat(*packet).value(0), QStringLiteral("|||%1|E").arg(end));
        const QString text = packet->textForm();
        QVERIFY2(text.contains(QStringLiteral("\tOCTET STRING\t40 octets\n"
                                              "!!\t\terror: OCTET STRING too short (40 octets)" // no line feed
                                              "!\tUnkown Data\tsize 40\t\t65: 01 02 03 04 05 06 07 08 09 0a\n"
                                              "\t\t75: 0b 0c 0d 0e 0f 10 00 07 00 01\n"
                                              "\t\t85: 02 03 00 00 68 68 10 01 02 07\n"
                                              "\t\t95: 01 a1 a2 a3 a4 a5 a6 a7 a8 19\n"
                                              "!!\t%1\n Packet Hex Dump")
                                   .arg(end)),
                 qPrintable(text));
    }

    // Representative names from the code tables and their range edges.
    void names_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("line");
        auto field = [](const char *row, Element e, quint32 value, const char *line) {
            QTest::newRow(row) << TrapBuilder().set(e, value).bytes() << QString::fromLatin1(line);
        };
        field("isv", Element::TrapSourceType, 0x10, "\t\tTrap Source Type\tISV System Management Software\t0x10\n");
        field("nic, end of range", Element::EventSourceType, 0x57, "\t\tEvent Source Type\tNIC\t0x57\n");
        field("source ff", Element::TrapSourceType, 0xFF, "\t\tTrap Source Type\tUnspecified\t0xFF\n");
        field("unnamed entity", Element::Entity, 0x26, "\t\tEntity\tReserved\t0x26\n");
        field("chassis entity", Element::Entity, 0x90, "\t\tEntity\tChassis-specific\t0x90\n");
        field("oem entity", Element::Entity, 0xD0, "\t\tEntity\tOEM System Integrator defined\t0xD0\n");
        auto specific = [](const char *row, quint32 value, const char *line) {
            TrapBuilder trap;
            trap.specific = value;
            QTest::newRow(row) << trap.bytes() << QString::fromLatin1(line);
        };
        specific("threshold offset", 0x00010105, "\t\t\tLower Non-recoverable - going high\t0x05\n");
        specific("offset not in table", 0x0001010C, "\t\t\tUnknown\t0x0C\n");
        specific("sensor without table", 0x00016F03, "\t\t\tNot Specified\t0x03\n");
        specific("event type not valid", 0x00070001,
                 "\t\tEvent Type\t\tUnknown or reserved type\t0x00\n\t\tEvent Offset\t\t0x01\n"
                 "\t\t\tAssertion Event\t\t0x01\n\t\t\tNot valid\t0x01!!\t\t\t\terror: Event offset not valid\n\tTimestamp");
    }
    void names()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, line);
        const QString text = checked(bytes)->textForm();
        QVERIFY2(text.contains(line), qPrintable(text));
    }

    void lookups()
    {
        auto packet = checked(trapWithSequence(0), false);
        // Closed groups are not entered.
        QVERIFY(packet->getValue(QStringLiteral("GUID")).isNull());
        QVERIFY(packet->getValue(QStringLiteral("SNMP Community")).isNull());
        QCOMPARE(packet->getValue(QStringLiteral("Trap Type")), QStringLiteral("Enterprise Specific (6)"));
        QCOMPARE(packet->getData(QStringLiteral("Specific trap type")), QStringLiteral("0x00076F01"));
        // A matched row with an empty column is an empty, not a null, text.
        QCOMPARE(packet->getValue(QStringLiteral("Misc")), QString(QLatin1String("")));
        QVERIFY(!packet->getValue(QStringLiteral("Misc")).isNull());
        QVERIFY(packet->getValue(QStringLiteral("misc")).isNull()); // case-sensitive

        packet->setShowExpanded(1);
        QCOMPARE(packet->getValue(QStringLiteral("GUID")), QStringLiteral("01020304 05060708 090a0b0c 0d0e0f10"));
        QCOMPARE(packet->getValue(QStringLiteral("SNMP Community")), QStringLiteral("public"));
        QCOMPARE(packet->getInfo(QStringLiteral("Sequence # / Cookie")),
                 QStringLiteral("warning: Sequence # / Cookiewrong is unspecified"));
        QVERIFY(packet->getData(QStringLiteral("no such row")).isNull());
    }

    void detailView()
    {
        QWidget frame;
        auto packet = checked(validTrap(), true);
        auto *tree = qobject_cast<QTreeWidget *>(velquor::createPetView(*packet, &frame));
        QVERIFY(tree);
        QCOMPARE(tree->parent(), &frame);
        QCOMPARE(tree->columnCount(), 4);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("PLATFORM EVENT TRAP"));
        QVERIFY(tree->topLevelItem(0)->child(0)->isExpanded());
        packet->setShowExpanded(0);
        auto *closed = qobject_cast<QTreeWidget *>(velquor::createPetView(*packet, &frame));
        QVERIFY(closed->topLevelItem(0)->isExpanded());
        QVERIFY(!closed->topLevelItem(0)->child(0)->isExpanded());
    }
};

QTEST_MAIN(TestPetPresentation)
#include "tst_petpresentation.moc"
