// Text form and display model of RMCP messages: field lines with their
// status, every data-section decoding, undecoded bytes and hex dumps.

#include "rmcpcheck.h"
#include "rmcpdisplaymodel.h"
#include "rmcplayout.h"
#include "rmcptables.h"
#include "rmcptext.h"

#include <QtTest>

using namespace velquor;
using namespace velquor::rmcp;

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

QByteArray run(quint8 from, int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out.append(char(from + i));
    return out;
}

QByteArray message(quint8 type, const QByteArray &data, quint8 tag = 7)
{
    return hex("06 00 05 06 00 00 11 be") + char(type) + char(tag) + char(0) + char(data.size()) + data;
}

QByteArray inSession(const QByteArray &msg, quint32 session = 7)
{
    QByteArray out = hex("00 00 00 00 00 00 00 09") + msg;
    out[3] = char(session);
    if (session)
        out += QByteArray(rspPadLength(int(msg.size())), '\0') + char(rspPadLength(int(msg.size()))) + char(6)
               + QByteArray(12, char(0xAA));
    return out;
}

RmcpFields checked(const QByteArray &bytes, int protocolType)
{
    RmcpFields f;
    PacketFindings findings{QString()};
    checkMessage(bytes, protocolType, f, findings);
    return f;
}

} // namespace

class TestRmcpText : public QObject
{
    Q_OBJECT

private slots:
    void plainTextForm();
    void fieldStatusInTextForm();
    void rspLines();
    void dataSections_data();
    void dataSections();
    void firmwareVerbosity();
    void unknownData();
    void hexDump();
    void displayTexts();
};

void TestRmcpText::plainTextForm()
{
    const QByteArray bytes = message(TypePresencePing, {});
    QCOMPARE(textForm(checked(bytes, ProtocolRmcp), bytes, ProtocolRmcp),
             QStringLiteral("\tVersion:\t\t\t0x06\t\n"
                            "\tReserved1 :\t\t0x00\t\n"
                            "\tSequence Number :\t0x05\t\n"
                            "\tMessage Class :\t\t0x06\t\n"
                            "\tIANA Enterprise # :\t00 00 11 BE\t\n"
                            "\tMessage Type :\t\t0x80\tPresence Ping\n"
                            "\tMessage Tag :\t\t0x07\t\n"
                            "\tReserved2 :\t\t0x00\t\n"
                            "\tData Length :\t\t0x00\t\n"
                            "\tData:\t\n"
                            "\t----\n"
                            " Packet Hex Dump (size 12):\n ----"
                            "\n    0 - 15:    06 00 05 06  00 00 11 BE  80 07 00 00"
                            "\n ----\n"));

    // An acknowledge shows the RMCP header only.
    const QByteArray ack = hex("06 00 05 86");
    QVERIFY(textForm(checked(ack, ProtocolRmcp), ack, ProtocolRmcp)
                .endsWith(QStringLiteral("\tMessage Class :\t\t0x86\t\n Packet Hex Dump (size 4):\n ----"
                                         "\n    0 - 15:    06 00 05 86\n ----\n")));
}

void TestRmcpText::fieldStatusInTextForm()
{
    QByteArray bytes = message(0x05, {});
    bytes[0] = 0x05;
    RmcpFields f = checked(bytes, ProtocolRmcp);
    f.setFieldStatus(FieldId::MessageTag, ASF_PACKET_WARNING, QStringLiteral("expected 0x08"));
    f.setFieldStatus(FieldId::RmcpData, ASF_PACKET_ERROR, QStringLiteral("error: error evaluate data string"));
    const QString text = textForm(f, bytes, ProtocolRmcp);
    QVERIFY(text.startsWith(QStringLiteral("!!\tVersion:\t\t\t0x05\tshould be set to 0x06; ASF RMCP Version 1\n")));
    // The type line carries the status text instead of the name when not ok.
    QVERIFY(text.contains(QStringLiteral("\n!!\tMessage Type :\t\t0x05\terror: Unkown message type\n")));
    QVERIFY(text.contains(QStringLiteral("\n!\tMessage Tag :\t\t0x07\texpected 0x08\n")));
    QVERIFY(text.contains(QStringLiteral("\n!!\tData:\terror: error evaluate data string\n\t----\n")));

    const QByteArray request = message(TypeOpenSessionRequest, QByteArray(24, '\0'));
    QVERIFY(textForm(checked(request, ProtocolRmcp), request, ProtocolRmcp)
                .contains(QStringLiteral("\n!\tData Length :\t\t0x18\tWarning: Check data size for type of message\n")));
}

void TestRmcpText::rspLines()
{
    const QByteArray pong = message(TypePresencePong, QByteArray(16, '\0'));
    const QByteArray wrapped = inSession(pong);
    QVERIFY(textForm(checked(wrapped, ProtocolRmcpRsp), wrapped, ProtocolRmcpRsp)
                .startsWith(QStringLiteral("\tRSP Session ID :\t00 00 00 07\t\n"
                                           "\tRSP Sequence Number :\t00 00 00 09\t\n"
                                           "\tRSP Pad :\t\t00 00\t\n"
                                           "\tRSP Pad Length :\t0x02\t\n"
                                           "\tRSP Next Header :\t0x06\t\n"
                                           "\tRSP Integrity Data :\tAA AA AA AA AA AA AA AA AA AA AA AA\t\n"
                                           "\tVersion:\t\t\t0x06\t\n")));

    // Pad Length as the wire byte; status texts follow the value.
    QByteArray badPad = wrapped;
    badPad[badPad.size() - 14] = char(0xff);
    QVERIFY(textForm(checked(badPad, ProtocolRmcpRsp), badPad, ProtocolRmcpRsp)
                .contains(QStringLiteral("\n!!\tRSP Pad Length :\t0xFF\tLength -1 not equal calculated length 2\n")));

    const QByteArray cut = wrapped.left(wrapped.size() - 1);
    QVERIFY(textForm(checked(cut, ProtocolRmcpRsp), cut, ProtocolRmcpRsp)
                .startsWith(QStringLiteral("\tRSP Session ID :\t00 00 00 07\t\n"
                                           "\tRSP Sequence Number :\t00 00 00 09\t\n"
                                           "!!\tERROR missing or wrong packet size\n"
                                           "\tVersion:\t\t\t0x06\t\n")));

    // No session: no trailer lines at all.
    const QByteArray bare = inSession(pong, 0);
    QVERIFY(textForm(checked(bare, ProtocolRmcpRsp), bare, ProtocolRmcpRsp)
                .startsWith(QStringLiteral("\tRSP Session ID :\t00 00 00 00\t\n"
                                           "\tRSP Sequence Number :\t00 00 00 09\t\n"
                                           "\tVersion:\t\t\t0x06\t\n")));
}

void TestRmcpText::dataSections_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<int>("consumed");

    QTest::newRow("reset with options")
        << int(TypeReset) << hex("00 00 11 be 01 00 02 60 20 12 34")
        << "IANA Enterprise Number: 000011BE\n"
           "Special Command:\n"
           "\t- Force PXE Boot\n"
           "Special Commands Parameters: 00 02\n"
           "Boot Options Bit Mask: 60 20\n"
           "\t- Lock Keyboard\n"
           "\t- Sleep Button Lock\n"
           "\t- Firmware Verbosity: Quit\n"
           "OEM Parameters: 12 34\n"
        << 11;
    QTest::newRow("power cycle reset: OEM command, reserved bits, screen blank")
        << int(TypePowerCycleReset) << hex("00 00 11 be 03 00 00 99 e8 00 00")
        << "IANA Enterprise Number: 000011BE\n"
           "Special Command:\n"
           "\t- Reserved or OEM (03)\n"
           "Special Commands Parameters: 00 00\n"
           "Boot Options Bit Mask: 99 E8\n"
           "\t- bit 0 :Reserved for futur use\n"
           "\t- bit 3 :Reserved for futur use\n"
           "\t- bit 4 :Reserved for futur use\n"
           "\t- bit 7 :Reserved for futur use\n"
           "\t- User Password Bypass\n"
           "\t- Configuration Data Reset\n"
           "\t- Firmware Verbosity: Screen blank\n"
           "OEM Parameters: 00 00\n"
        << 11;
    QTest::newRow("power-up without options") << int(TypePowerUp) << QByteArray() << QString() << 0;
    QTest::newRow("reset cut after the iana number")
        << int(TypeReset) << hex("00 00 11 be 01") << "IANA Enterprise Number: 000011BE\nSpecial Command:\n\t- Force PXE Boot\n"
        << 5;
    QTest::newRow("presence pong")
        << int(TypePresencePong) << hex("00 00 11 be 00 00 00 00 81 80 00 00 00 00 00 00")
        << "\tIANA Enterprise Number: 000011BE\n"
           "\tOEM: 00000000\n"
           "\tSupported Entities (81)\n"
           "\tIPMI is supported (80)\n"
           "\tASF 1.0 is supported (01)\n"
           "\tRMCP security extensions are supported (80)\n"
           "\tReserved: 00000000 0000\n"
        << 16;
    QTest::newRow("presence pong: nothing supported")
        << int(TypePresencePong) << hex("00 00 11 be 00 00 00 00 02 00 01 02 03 04 05 06")
        << "\tIANA Enterprise Number: 000011BE\n"
           "\tOEM: 00000000\n"
           "\tSupported Entities (02)\n"
           "\tIPMI is not supported (00)\n"
           "\tASF 1.0 is not supported (02)\n"
           "\tRMCP security extensions are not supported (00)\n"
           "\tReserved: 01020304 0506\n"
        << 16;
    QTest::newRow("presence pong cut") << int(TypePresencePong) << hex("00 00 11 be 00 00")
                                       << "\tIANA Enterprise Number: 000011BE\n" << 4;
    QTest::newRow("capabilities response")
        << int(TypeCapabilitiesResponse) << hex("00 00 11 be 00 00 00 01 01 03 81 00 00 42 88 00")
        << "\tIANA Enterprise Number: 000011BE\n"
           "\tOEM: 00000001\n"
           "\tSpecial Commands Supported: 01 03\n"
           "\t\t- Force PXE Boot\n"
           "\t\t- Force Hard-drive Boot\n"
           "\t\t- Reserved or OEM (100)\n"
           "\tSystem Capabilities Supported: 81\n"
           "\t\t- Power Cycle Reset on secure port\n"
           "\t\t- Reset on both ports\n"
           "\tSystem Firmware Capabilities Supported:\t0x00004288\n"
           "\t\t- Power Button Lock\n"
           "\t\t- Sleep Button Lock\n"
           "\t\t- User Password Bypass\n"
           "\t\t- Configuration Data Reset\n"
           "\tReserved: 00\n"
        << 16;
    QTest::newRow("system state 3") << int(TypeSystemStateResponse) << hex("03 01 00 00")
                                    << "\tSystem State: 0x03\n"
                                       "\t\t- S3 sleeping, processor & h/w context lost, memory retained\n"
                                       "\tWatchdog Timer is expired (01)\n"
                                       "\tReserved: 0000\n"
                                    << 4;
    QTest::newRow("system state not in the table") << int(TypeSystemStateResponse) << hex("20 fe 12 34")
                                                   << "\tSystem State: 0x20\n"
                                                      "\t\t- \n"
                                                      "\tWatchdog Timer is not expired (FE)\n"
                                                      "\tReserved: 1234\n"
                                                   << 4;
    QTest::newRow("open session response")
        << int(TypeOpenSessionResponse)
        << hex("00 00 00 00 11 22 33 44 55 66 77 88 01 00 00 08 01 00 00 00 02 00 00 08 01 00 00 00")
        << "\tStatus Code:\t\t\tNo errors\n"
           "\tReserved:\t\t\t0x000000\n"
           "\tMgt Console Session ID: 11 22 33 44\n"
           "\tMgt Client Session ID: 55 66 77 88\n"
           "\tAuthentication Payload: 01 00 00 08 01 00 00 00\n"
           "\tIntegrity Payload: 02 00 00 08 01 00 00 00\n"
        << 28;
    QTest::newRow("close session response") << int(TypeCloseSessionResponse) << hex("08")
                                            << "\tStatus Code: Inactive session ID\n" << 1;
    QTest::newRow("close session response, status not in the table") << int(TypeCloseSessionResponse) << hex("10")
                                                                      << "\tStatus Code: Unknown\n" << 1;
    QTest::newRow("open session request")
        << int(TypeOpenSessionRequest) << hex("11 22 33 44 01 00 00 08 01 00 00 00 02 00 00 08 01 00 00 00")
        << "\tMgt Console Session ID: 11 22 33 44\n"
           "\tAuthentication Payload(s):\n"
           "\t\t-\t01 00 00 08 01 00 00 00\n"
           "\tIntegrity Payload(s):\n"
           "\t\t-\t02 00 00 08 01 00 00 00\n"
        << 20;
    QTest::newRow("rakp message 1")
        << int(TypeRakpMessage1) << hex("55 66 77 88") + run(0, 16) + hex("01 00 00 05") + "admin"
        << "\tManaged Client Session ID: 55 66 77 88\n"
           "\tMgt Console Random Number:\n"
           "\t\t0x0001020304050607\n"
           "\t\t08090A0B0C0D0E0F\n"
           "\tMgt Console User Role:\t\t\tAdministrator\n"
           "\tReserved:\t\t\t0000\n"
           "\tMgt Console User Name Length:\t5\n"
           "\tMgt Console User Name:\tadmin\n"
        << 29;
    QTest::newRow("rakp message 1, name too long")
        << int(TypeRakpMessage1) << hex("55 66 77 88") + run(0, 16) + hex("07 00 00 14") + QByteArray(20, 'n')
        << "\tManaged Client Session ID: 55 66 77 88\n"
           "\tMgt Console Random Number:\n"
           "\t\t0x0001020304050607\n"
           "\t\t08090A0B0C0D0E0F\n"
           "\tMgt Console User Role:\t\t\tReserved\n"
           "\tReserved:\t\t\t0000\n"
           "\tMgt Console User Name Length:\t20\n"
           "!\t\tMgt Console User Name too long (20)\n"
        << 24;
    QTest::newRow("rakp message 1, name with control bytes")
        << int(TypeRakpMessage1) << hex("55 66 77 88") + run(0, 16) + hex("00 00 00 04") + hex("61 0a 5c ff")
        << "\tManaged Client Session ID: 55 66 77 88\n"
           "\tMgt Console Random Number:\n"
           "\t\t0x0001020304050607\n"
           "\t\t08090A0B0C0D0E0F\n"
           "\tMgt Console User Role:\t\t\tOperator\n"
           "\tReserved:\t\t\t0000\n"
           "\tMgt Console User Name Length:\t4\n"
           "\tMgt Console User Name:\ta\\x0A\\x5C\\xFF\n"
        << 28;
    QTest::newRow("rakp message 2")
        << int(TypeRakpMessage2) << hex("0f 00 00 00 11 22 33 44") + run(0xa0, 16) + run(0xb0, 16) + run(0xc0, 20)
        << "\tStatus Code:\tInvalid integrity check value\n"
           "\tReserved:\t0x000000\n"
           "\tMgt Console Session ID: 11 22 33 44\n"
           "\tManaged Client Random Number:\n"
           "\t\t0xA0A1A2A3a4a5a6a7\n"
           "\t\ta8a9aaabacadaeaf\n"
           "\tManaged Client GUID:\n"
           "\t\t0xB0B1B2B3b4b5b6b7\n"
           "\t\tb8b9babbbcbdbebf\n"
           "\tIntegrity Check Value:\n"
           "\t\t0XC0C1C2C3C4C5C6C7\n"
           "\t\tC8C9CACBCCCDCECF\n"
           "\t\tD0D1D2D3\n"
        << 60;
    QTest::newRow("rakp message 3")
        << int(TypeRakpMessage3) << hex("00 00 00 00 55 66 77 88") + run(0xc0, 20)
        << "\tStatus Code:\t\t\tNo errors\n"
           "\tReserved:\t\t\t0x000000\n"
           "\tManaged Client Session ID: 55 66 77 88\n"
           "Integrity Check Value:\n"
           "\t\t\t\t0xC0C1C2C3c4c5c6c7\n"
           "\t\t\t\tc8c9cacbcccdcecf\n"
           "\t\t\t\td0d1d2d3\n"
        << 28;
    QTest::newRow("request without data section") << int(TypePresencePing) << hex("01 02") << QString() << 0;
    QTest::newRow("unknown type") << 0x99 << hex("01 02") << QString() << 0;
}

void TestRmcpText::dataSections()
{
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, lines);
    QFETCH(int, consumed);
    qsizetype used = -1;
    QCOMPARE(decodeDataSection(type, data, &used), lines);
    QCOMPARE(int(used), consumed);
}

void TestRmcpText::firmwareVerbosity()
{
    const QList<QPair<int, QString>> cases{{0x00, "System default"}, {0x20, "Quit"}, {0x40, "Verbose"},
                                           {0x60, "Screen blank"}};
    for (const auto &[bits, text] : cases) {
        QByteArray data = hex("00 00 11 be 00 00 00 00 00 00 00");
        data[8] = char(bits);
        const QString lines = decodeDataSection(TypeReset, data, nullptr);
        QVERIFY(lines.contains(QStringLiteral("\t- Firmware Verbosity: %1\n").arg(text)));
        // Bits 5 and 6 are read as one setting, never as separate lines.
        QVERIFY(!lines.contains(QLatin1String("Firmware Verbosity/")));
        QCOMPARE(lines.count(QLatin1String("\t- ")), 2); // the special command and the verbosity
    }
}

void TestRmcpText::unknownData()
{
    QCOMPARE(unknownDataText(run(1, 12), 4), QStringLiteral("Unkown data:"
                                                            "\n\t 4 - 13:      01 02 03 04 05 06 07 08 09 0A"
                                                            "\n\t 14 - 23:     0B 0C"
                                                            "\n\t----\n"));

    // In the text form: the bytes the decoding did not cover, offsets from the data start.
    const QByteArray bytes = message(TypeSystemStateResponse, hex("03 01"));
    const QString text = textForm(checked(bytes, ProtocolRmcp), bytes, ProtocolRmcp);
    QVERIFY(text.contains(QStringLiteral("\tWatchdog Timer is expired (01)\n Packet Hex Dump")));
    const QByteArray odd = message(0x99, hex("aa bb cc"));
    QVERIFY(textForm(checked(odd, ProtocolRmcp), odd, ProtocolRmcp)
                .contains(QStringLiteral("\t----\nUnkown data:\n\t 0 - 9:       AA BB CC\n\t----\n Packet Hex Dump")));
    const QByteArray pong = message(TypePresencePong, QByteArray(18, '\0'));
    QVERIFY(textForm(checked(pong, ProtocolRmcp), pong, ProtocolRmcp)
                .contains(QStringLiteral("\tReserved: 00000000 0000\nUnkown data:\n\t 16 - 25:     00 00\n\t----\n")));
}

void TestRmcpText::hexDump()
{
    QCOMPARE(packetHexDumpText(run(0, 20)), QStringLiteral(" Packet Hex Dump (size 20):\n ----"
                                                           "\n    0 - 15:    00 01 02 03  04 05 06 07  08 09 0A 0B  0C 0D 0E 0F"
                                                           "\n    16 - 31:   10 11 12 13"
                                                           "\n ----\n"));
    QCOMPARE(packetHexDumpText({}), QStringLiteral(" Packet Hex Dump (size 0):\n ----\n ----\n"));
    QCOMPARE(displayHexText(run(0xf0, 18)), QStringLiteral("0 - 15:         f0 f1 f2 f3  f4 f5 f6 f7  f8 f9 fa fb  fc fd fe ff\n"
                                                           "16 - 31:        00 01"));
}

void TestRmcpText::displayTexts()
{
    RmcpFields f;
    f.messageType = TypeSystemStateResponse;
    f.rmcpData = hex("03 01 00 00") + run(0x10, 11);
    QCOMPARE(displayDataText(f), QStringLiteral("System State: 0x03\n"
                                                "- S3 sleeping, processor & h/w context lost, memory retained\n"
                                                "Watchdog Timer is expired (01)\n"
                                                "Reserved: 0000\n"
                                                "Unkown data:\n"
                                                "4 - 13:         10 11 12 13 14 15 16 17 18 19\n"
                                                "14 - 23:        1A"));
    f.rmcpData.clear();
    QCOMPARE(displayDataText(f), QString());
}

QTEST_GUILESS_MAIN(TestRmcpText)
#include "tst_rmcptext.moc"
