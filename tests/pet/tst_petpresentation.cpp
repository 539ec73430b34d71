// Tree form, text form and the script look-ups of a checked trap.

#include "asfpetpacket.h"
#include "pettestutil.h"

#include <QTreeWidget>
#include <QtTest>

using namespace pettest;
using velquor::Row;
using velquor::RowMark;
using velquor::RowTree;

namespace {

std::unique_ptr<ASF_PET_Packet> checked(const QByteArray &bytes, bool expanded = true)
{
    auto packet = std::make_unique<ASF_PET_Packet>(0);
    packet->setData(bytes, int(bytes.size()));
    packet->setShowExpanded(expanded ? 1 : 0);
    return packet;
}

QString markText(RowMark mark)
{
    return mark == RowMark::Error ? QStringLiteral("E") : mark == RowMark::Warning ? QStringLiteral("W") : QString();
}

// One line per row in display order: depth, name, value, data, info, marks, open.
void flatten(const std::vector<std::unique_ptr<Row>> &rows, int depth, QStringList &out)
{
    for (const auto &row : rows) {
        out << QStringLiteral("%1%2|%3|%4|%5|%6%7%8")
                   .arg(QString(depth, QLatin1Char(' ')), row->name, row->value, row->data, row->info,
                        markText(row->nameMark), markText(row->mark),
                        row->open ? QStringLiteral("+") : QString());
        flatten(row->children, depth + 1, out);
    }
}

QStringList flat(const RowTree &tree)
{
    QStringList out;
    flatten(tree.top(), 0, out);
    return out;
}

const char expectedDump[] = " Packet Hex Dump (size 112):\n ----"
                            "\n    0 - 15:    30 6e 02 01  00 04 06 70  75 62 6c 69  63 a4 61 06"
                            "\n    16 - 31:   09 2b 06 01  04 01 98 6f  01 01 40 04  c0 a8 00 01"
                            "\n    32 - 47:   02 01 06 02  04 00 07 6f  01 43 04 00  00 01 2c 30"
                            "\n    48 - 63:   3f 30 3d 06  0a 2b 06 01  04 01 98 6f  01 01 01 04"
                            "\n    64 - 79:   2f 01 02 03  04 05 06 07  08 09 0a 0b  0c 0d 0e 0f"
                            "\n    80 - 95:   10 00 07 00  01 02 03 00  00 68 68 10  01 02 07 01"
                            "\n    96 - 111:  a1 a2 a3 a4  a5 a6 a7 a8  19 00 00 0c  6f 01 02 c1"
                            "\n ----\n";

} // namespace

class TestPetPresentation : public QObject
{
    Q_OBJECT

private slots:
    void textFormOfAGoodTrap()
    {
        auto packet = checked(validTrap());
        packet->setRetransmissionCount(2);
        const QString expected = QStringLiteral(
            "  PLATFORM EVENT TRAP\n"
            "\tMisc\n"
            "\t\tReceived packet size 112\n"
            "\t\tIndicated packet size 112\n"
            "\t\tretransmission # 2\n"
            "\t\tSNMP Version\t1\n"
            "\t\tSNMP Community\tpublic\n"
            "\t\tSNMP PDU Type\t0xA4 0x61\n"
            "\t\tSNMP Enterprise\t1.3.6.1.4.1.3183.1.1\n"
            "\t\tSNMP Agent address\t192.168.0.1\n"
            "\tClient address\t192.168.0.1\n"
            "\tTrap Type \tEnterprise Specific (6)\n"
            "\tSpecific trap type\t0x00076F01\n"
            "\t\tEvent Sensor Type\tProcessor\t0x07\n"
            "\t\tEvent Type\t\tSensor-specific\t0x6F\n"
            "\t\tEvent Offset\t\t0x01\n"
            "\t\t\tAssertion Event\t\t0x01\n"
            "\t\t\tThermal Trip\t0x01\n"
            "\tTimestamp\t300\n"
            "\tObject identifier\t1.3.6.1.4.1.3183.1.1.1\n"
            "\tOCTET STRING\t47 octets\n"
            "\t\tGUID\t01020304 05060708 090a0b0c 0d0e0f10\n"
            "\t\tSequence # / Cookie\t7\t0x0007\n"
            "\t\tLocal Timestamp\t66051\t0x00010203\n"
            "\t\tUTC Offset\t0\t0x0000\n"
            "\t\tTrap Source Type\tASF 1.0\t0x68\n"
            "\t\tEvent Source Type\tASF 1.0\t0x68\n"
            "\t\tEvent Severity\tCritical Condition\t0x10\n"
            "\t\tSensor Device\t1\t0x01\n"
            "\t\tSensor Number\t2\t0x02\n"
            "\t\tEntity\tSystem Board\t0x07\n"
            "\t\tEntity Instance\t1\t0x01\n"
            "\t\tEvent Data\tA1A2A3A4 A5A6A7A8\n"
            "\t\tLanguage Code\tEnglish (en)\t0x19\n"
            "\t\tManufacturer ID\t3183\t0x00000C6F\n"
            "\t\tSystem ID\t258\t0x0102\n"
            "\t\tOEM Custom Fields\n")
            + QLatin1String(expectedDump);
        QCOMPARE(packet->textForm(), expected);
    }

    // Warning lines, the pieces without line feed, OEM records, unknown data.
    void textFormFindingLines()
    {
        TrapSpec spec;
        spec.specific = 0x00077580; // OEM event type, deasserted
        spec.pet.sequence = 0;
        spec.pet.localTimestamp = 0;
        spec.pet.utcOffset = 0xFFFF;
        spec.pet.trapSource = 0x80;
        spec.pet.eventSource = 0x80;
        spec.pet.severity = 0x03;
        spec.pet.sensorDevice = 0xFF;
        spec.pet.sensorNumber = 0x00;
        spec.pet.entity = 0x30;
        spec.pet.entityInstance = 0;
        spec.pet.language = 0x80;
        spec.pet.oem = hex("43aabbcc 02dddd c1 00");
        const QByteArray bytes = spec.bytes();
        const QString text = checked(bytes)->textForm();
        const qsizetype from = text.indexOf(QLatin1String("\t\t\tDeassertion Event"));
        const qsizetype to = text.indexOf(QLatin1String(" Packet Hex Dump"));
        QVERIFY(from > 0 && to > from);
        QCOMPARE(text.mid(from, to - from),
                 QStringLiteral("\t\t\tDeassertion Event\t\t0x80\n"
                                "\t\t\tOEM\t0x00" // no line feed
                                "\tTimestamp\t300\n"
                                "\tObject identifier\t1.3.6.1.4.1.3183.1.1.1\n"
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
                                "!\tUnkown Data\tsize 1\t\t%1: 00\n")
                     .arg(bytes.size() - 1));
    }

    void textFormHeaderErrors()
    {
        TrapSpec spec;
        spec.pduType = 0xA0;
        spec.generic = tlv(0x02, hex("01"));
        spec.specific = 0x00070001;
        spec.enterprise = tlv(0x06, hex("2b06"));
        spec.name = tlv(0x06, hex("2b07"));
        QByteArray bytes = spec.bytes();
        bytes[0] = char(0x31);
        bytes[1] = char(0x05);
        bytes[14] = char(0x22);
        const QString text = checked(bytes)->textForm();
        const int n = int(bytes.size());
        QVERIFY2(text.startsWith(QStringLiteral(
            "!!error: byte 0 wrong sequence 0x31 expected 0x30\n"
            "  PLATFORM EVENT TRAP\n"
            "\tMisc\n"
            "\t\tReceived packet size %1\n"
            "!!\t\t\t  error: wrong length: packet size %1 != indicated 5 (+2)\n"
            "\t\tIndicated packet size %1\n"
            "\t\tretransmission # 0\n"
            "\t\tSNMP Version\t1\n"
            "\t\tSNMP Community\tpublic\n"
            "\t\tSNMP PDU Type\t0xA0 0x22\n"
            "!!\t\t\terror: PDU Type not TRAP-V1 (4), got a0\n"
            "!!\t\t\terror: expected remaining length %2, got 34\n"
            "\t\tSNMP Enterprise\t1.3.6\n"
            "!!\t\t\terror: wrong enterprise OID expected 1.3.6.1.4.1.3183.1.1, got 1.3.6\n"
            "\t\tSNMP Agent address\t192.168.0.1\n"
            "\tClient address\t192.168.0.1\n"
            "\tTrap Type \t0x1!!\terror: trap type, expected Enterprise Specific (6), got 1\n"
            "\tSpecific trap type\t0x00070001\n"
            "\t\tEvent Sensor Type\tProcessor\t0x07\n"
            "\t\tEvent Type\t\tUnknown or reserved type\t0x00\n"
            "\t\tEvent Offset\t\t0x01\n"
            "\t\t\tAssertion Event\t\t0x01\n"
            "\t\t\tNot valid\t0x01!!\t\t\t\terror: Event offset not valid\n"
            "\tTimestamp\t300\n"
            "\tObject identifier\t1.3.7\n"
            "!!\t\terror: wrong OID expected 1.3.6.1.4.1.3183.1.1.1, got 1.3.7\n")
                                     .arg(n)
                                     .arg(n - 15)),
                 qPrintable(text));
    }

    void treeOfAGoodTrap()
    {
        auto packet = checked(validTrap());
        const QStringList rows = flat(packet->rowTree());
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
        QCOMPARE(rows, expected);
    }

    void treeMarksFindings()
    {
        TrapSpec spec;
        spec.pduType = 0xA0;
        spec.pet.severity = 0x03;
        spec.pet.language = 0x80;
        spec.pet.entity = 0xC5;
        spec.pet.trapSource = 0x80;
        spec.pet.oem = hex("c1 00");
        QByteArray bytes = spec.bytes();
        bytes[0] = char(0x31);
        bytes[1] = char(0x00);
        bytes[14] = char(0x22);
        auto packet = checked(bytes);
        const QString infoBefore = packet->info();
        const int statusBefore = packet->status();
        const QStringList rows = flat(packet->rowTree());
        const int n = int(bytes.size());
        // Header findings without a row of their own: error rows on top, the later one first.
        QCOMPARE(rows.value(0), QStringLiteral("|||error: wrong length: packet size %1 != indicated 0 (+2)|E").arg(n));
        QCOMPARE(rows.value(1), QStringLiteral("|||error: byte 0 wrong sequence 0x31 expected 0x30|E"));
        // Two findings on one row: the later text stays, the parent gets the image.
        QVERIFY(rows.contains(QStringLiteral(" Misc||||E+")));
        QVERIFY(rows.contains(QStringLiteral("  SNMP PDU Type|0x22|0xA0 0x22|error: expected remaining length %1, got 34|E")
                                  .arg(n - 15)));
        QVERIFY(rows.contains(QStringLiteral(" OCTET STRING|48 octets|||W+")));
        QVERIFY(rows.contains(QStringLiteral("  Trap Source Type|Unknown|0x80|warning: Trap Source Type unkown|W")));
        QVERIFY(rows.contains(QStringLiteral("  Event Severity|Unknown severity 0x03|0x03||")));
        QVERIFY(rows.contains(QStringLiteral("  Entity|Board-set-specific|0xC5||")));
        QVERIFY(rows.contains(QStringLiteral("  Language Code|Unknown language 128|0x80||")));
        // One byte after the end marker.
        QVERIFY(rows.contains(QStringLiteral(" Unkown Data|size 1|||W")));
        QVERIFY(rows.contains(QStringLiteral("  %1|00|||").arg(n - 1)));
        // Presenting never changes the record.
        packet->createView(nullptr)->deleteLater();
        packet->textForm();
        QCOMPARE(packet->info(), infoBefore);
        QCOMPARE(packet->status(), statusBefore);
    }

    // An OCTET STRING of 40 octets: no PET rows, every byte after its header
    // as unknown data in rows of ten; the check says where the data ended.
    void shortOctetString()
    {
        TrapSpec spec;
        spec.petData = PetFields().bytes().left(40);
        const QByteArray bytes = spec.bytes();
        auto packet = checked(bytes);
        QVERIFY2(packet->info().endsWith(QStringLiteral(" -error: OCTET STRING too short (40 octets)"
                                                        " -error: trap ends after %1 bytes, Manufacturer ID missing")
                                             .arg(bytes.size())),
                 qPrintable(packet->info()));
        const QStringList rows = flat(packet->rowTree());
        QCOMPARE(rows.value(0), QStringLiteral("|||error: trap ends after %1 bytes, Manufacturer ID missing|E").arg(bytes.size()));
        QVERIFY(rows.contains(QStringLiteral(" OCTET STRING|40 octets||error: OCTET STRING too short (40 octets)|E+")));
        QVERIFY(!rows.contains(QStringLiteral("  GUID|01020304 05060708 090a0b0c 0d0e0f10|||")));
        const int start = int(bytes.size()) - 40;
        QVERIFY(rows.contains(QStringLiteral(" Unkown Data|size 40|||W")));
        QVERIFY(rows.contains(QStringLiteral("  %1|01 02 03 04 05 06 07 08 09 0a|||").arg(start)));
        QVERIFY(rows.contains(QStringLiteral("  %1|01 a1 a2 a3 a4 a5 a6 a7 a8 19|||").arg(start + 30)));

        const QString text = packet->textForm();
        QVERIFY(text.contains(QStringLiteral("\tOCTET STRING\t40 octets\n"
                                             "!!\t\terror: OCTET STRING too short (40 octets)"
                                             "!\tUnkown Data\tsize 40"
                                             "\t\t%1: 01 02 03 04 05 06 07 08 09 0a\n"
                                             "\t\t%2: 0b 0c 0d 0e 0f 10 00 07 00 01\n")
                                  .arg(start)
                                  .arg(start + 10)));
        QVERIFY(text.contains(QStringLiteral("\t\t%1: 01 a1 a2 a3 a4 a5 a6 a7 a8 19\n"
                                             "!!\terror: trap ends after %2 bytes, Manufacturer ID missing\n"
                                             " Packet Hex Dump")
                                  .arg(start + 30)
                                  .arg(bytes.size())));
    }

    void truncatedForms()
    {
        const QByteArray bytes = validTrap().left(30);
        auto packet = checked(bytes);
        const QStringList rows = flat(packet->rowTree());
        QCOMPARE(rows.value(0), QStringLiteral("|||error: trap ends after 30 bytes, agent address cut short|E"));
        QCOMPARE(rows.last(), QStringLiteral("  SNMP Enterprise|1.3.6.1.4.1.3183.1.1|||"));
        QVERIFY(packet->textForm().contains(QLatin1String("\t\tSNMP Enterprise\t1.3.6.1.4.1.3183.1.1\n"
                                                          "!!\terror: trap ends after 30 bytes, agent address cut short\n"
                                                          " Packet Hex Dump (size 30):")));

        auto empty = checked(QByteArray());
        QCOMPARE(empty->info(), QStringLiteral("  -error: trap ends after 0 bytes, message tag missing"));
        QCOMPARE(empty->textForm(), QStringLiteral("  PLATFORM EVENT TRAP\n\tMisc\n\t\tReceived packet size 0\n"
                                                   "\t\tIndicated packet size 0\n\t\tretransmission # 0\n"
                                                   "!!\terror: trap ends after 0 bytes, message tag missing\n"
                                                   " Packet Hex Dump (size 0):\n ----\n ----\n"));
    }

    void sourceAndEntityNames_data()
    {
        QTest::addColumn<quint8>("trapSource");
        QTest::addColumn<quint8>("entity");
        QTest::addColumn<QString>("lines");
        QTest::newRow("isv, board set") << quint8(0x10) << quint8(0xC5)
                                        << "\t\tTrap Source Type\tISV System Management Software\t0x10\n"
                                           "\t\tEvent Source Type\tASF 1.0\t0x68\n"
                                           "\t\tEvent Severity\tCritical Condition\t0x10\n"
                                           "\t\tSensor Device\t1\t0x01\n"
                                           "\t\tSensor Number\t2\t0x02\n"
                                           "\t\tEntity\tBoard-set-specific\t0xC5\n";
        QTest::newRow("unspecified, chassis") << quint8(0xFF) << quint8(0x90)
                                              << "\t\tTrap Source Type\tUnspecified\t0xFF\n"
                                                 "\t\tEvent Source Type\tASF 1.0\t0x68\n"
                                                 "\t\tEvent Severity\tCritical Condition\t0x10\n"
                                                 "\t\tSensor Device\t1\t0x01\n"
                                                 "\t\tSensor Number\t2\t0x02\n"
                                                 "\t\tEntity\tChassis-specific\t0x90\n";
        QTest::newRow("oem entity") << quint8(0x00) << quint8(0xD0)
                                    << "\t\tTrap Source Type\tPlatform Firmware\t0x00\n"
                                       "\t\tEvent Source Type\tASF 1.0\t0x68\n"
                                       "\t\tEvent Severity\tCritical Condition\t0x10\n"
                                       "\t\tSensor Device\t1\t0x01\n"
                                       "\t\tSensor Number\t2\t0x02\n"
                                       "\t\tEntity\tOEM System Integrator defined\t0xD0\n";
    }
    void sourceAndEntityNames()
    {
        QFETCH(quint8, trapSource);
        QFETCH(quint8, entity);
        QFETCH(QString, lines);
        TrapSpec spec;
        spec.pet.trapSource = trapSource;
        spec.pet.entity = entity;
        QVERIFY2(checked(spec.bytes())->textForm().contains(lines), qPrintable(checked(spec.bytes())->textForm()));
    }

    void localTimestampValue()
    {
        TrapSpec spec;
        spec.pet.localTimestamp = 0x00000100;
        auto packet = checked(spec.bytes());
        QCOMPARE(packet->getValue(QStringLiteral("Local Timestamp")), QStringLiteral("256"));
        QCOMPARE(packet->getData(QStringLiteral("Local Timestamp")), QStringLiteral("0x00000100"));
        QVERIFY(packet->textForm().contains(QLatin1String("\t\tLocal Timestamp\t256\t0x00000100\n")));
    }

    void lookups()
    {
        TrapSpec spec;
        spec.pet.sequence = 0;
        auto packet = checked(spec.bytes(), false);
        // Closed groups are not entered.
        QVERIFY(packet->getValue(QStringLiteral("GUID")).isNull());
        QVERIFY(packet->getValue(QStringLiteral("SNMP Community")).isNull());
        QCOMPARE(packet->getValue(QStringLiteral("Trap Type")), QStringLiteral("Enterprise Specific (6)"));
        QCOMPARE(packet->getData(QStringLiteral("Specific trap type")), QStringLiteral("0x00076F01"));
        // A matched row with an empty column is an empty, not a null, text.
        const QString empty = packet->getValue(QStringLiteral("Misc"));
        QVERIFY(!empty.isNull());
        QVERIFY(empty.isEmpty());
        QVERIFY(packet->getValue(QStringLiteral("misc")).isNull()); // case-sensitive

        packet->setShowExpanded(1);
        QCOMPARE(packet->getValue(QStringLiteral("GUID")), QStringLiteral("01020304 05060708 090a0b0c 0d0e0f10"));
        QCOMPARE(packet->getValue(QStringLiteral("SNMP Community")), QStringLiteral("public"));
        QCOMPARE(packet->getInfo(QStringLiteral("Sequence # / Cookie")),
                 QStringLiteral("warning: Sequence # / Cookiewrong is unspecified"));
        QCOMPARE(packet->getValue(QStringLiteral("Thermal Trip")), QString(QLatin1String("")));
        QVERIFY(packet->getData(QStringLiteral("no such row")).isNull());
        QCOMPARE(packet->info(), QStringLiteral("  -warning: Sequence # / Cookiewrong is unspecified"));
    }

    void detailView()
    {
        QWidget frame;
        auto packet = checked(validTrap(), true);
        QWidget *view = packet->createView(&frame);
        auto *tree = qobject_cast<QTreeWidget *>(view);
        QVERIFY(tree);
        QCOMPARE(tree->parent(), &frame);
        QCOMPARE(tree->objectName(), QStringLiteral("listView"));
        QCOMPARE(tree->font().family(), QStringLiteral("Courier"));
        QCOMPARE(tree->font().pointSize(), 12);
        QCOMPARE(tree->palette().color(QPalette::Text), QColor(15, 15, 15));
        QCOMPARE(tree->columnCount(), 4);
        QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Name"));
        QCOMPARE(tree->headerItem()->text(3), QStringLiteral("Info"));
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("PLATFORM EVENT TRAP"));
        QVERIFY(tree->topLevelItem(0)->isExpanded());
        QVERIFY(tree->topLevelItem(0)->child(0)->isExpanded());
        packet->setShowExpanded(0);
        auto *closed = qobject_cast<QTreeWidget *>(packet->createView(&frame));
        QVERIFY(!closed->topLevelItem(0)->child(0)->isExpanded());
    }
};

QTEST_MAIN(TestPetPresentation)
#include "tst_petpresentation.moc"
