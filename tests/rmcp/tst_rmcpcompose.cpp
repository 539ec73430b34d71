// Composition of the messages the console sends: exact bytes, and that the
// checks accept what is composed with proper values.

#include "rmcpcheck.h"
#include "rmcpcompose.h"
#include "rmcptables.h"

#include <QtTest>

using namespace velquor;
using namespace velquor::rmcp;

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

struct Checked
{
    RmcpFields fields;
    PacketFindings findings{QString()};
    bool ok = false;
};

Checked check(const QByteArray &bytes, int protocolType)
{
    Checked c;
    c.ok = checkMessage(bytes, protocolType, c.fields, c.findings);
    return c;
}

} // namespace

class TestRmcpCompose : public QObject
{
    Q_OBJECT

private slots:
    void sendListRequests();
    void messageFieldByField();
    void controlOptions();
    void acknowledges();
    void padRule_data();
    void padRule();
    void rspWrappedMessages_data();
    void rspWrappedMessages();
    void rspOverrides();
    void integrityData();
};

void TestRmcpCompose::sendListRequests()
{
    const QStringList labels{"Reset", "Power-Up", "Unconditional Power-Down", "Power Cycle Reset",
                             "Presence Ping", "Capabilities Request", "System State Request"};
    const QList<int> types{0x10, 0x11, 0x12, 0x13, 0x80, 0x81, 0x82};
    QCOMPARE(int(sendList().size()), labels.size());
    for (int i = 0; i < labels.size(); ++i) {
        const SendListEntry entry = sendList()[size_t(i)];
        QCOMPARE(QLatin1String(entry.label), labels[i]);
        QCOMPARE(int(entry.messageType), types[i]);
        // Control messages expect no response; the queries do.
        QCOMPARE(entry.noResponseTag, types[i] < 0x80);
        QCOMPARE(int(sendListEntry(labels[i])->request), int(entry.request));

        const QByteArray bytes = composeRequest(entry.request, 0x21, 0x42);
        QByteArray expected = hex("06 00 21 06 00 00 11 be 00 42 00 00");
        expected[8] = char(types[i]);
        QCOMPARE(bytes, expected);
        const Checked c = check(bytes, ProtocolRmcp);
        QVERIFY2(c.ok, qPrintable(c.findings.info()));
        QCOMPARE(c.findings.info(), messageTypeName(types[i]) + QLatin1Char('\t'));
    }
    QVERIFY(!sendListEntry(QStringLiteral("Power-up")).has_value()); // the list spells it "Power-Up"
}

void TestRmcpCompose::messageFieldByField()
{
    MessageFields m;
    m.version = 0x05;
    m.reserved1 = 0x01;
    m.sequenceNr = 0x07;
    m.messageClass = 0x76;
    m.ianaEnterpriseNr = 0x01020304;
    m.messageType = 0x99;
    m.messageTag = 0x33;
    m.reserved2 = 0x44;
    m.dataLength = 9; // disagrees with the data on purpose
    m.data = hex("aa bb");
    QCOMPARE(composeMessage(m), hex("05 01 07 76 01 02 03 04 99 33 44 09 aa bb"));

    // The defaults are a message the checks accept.
    MessageFields pong;
    pong.messageType = TypePresencePong;
    pong.dataLength = 16;
    pong.data = QByteArray(16, '\0');
    QVERIFY(check(composeMessage(pong), ProtocolRmcp).ok);
}

void TestRmcpCompose::controlOptions()
{
    ControlOptions o;
    o.specialCommand = 0x01;
    o.specialCommandParameters = 0x0203;
    o.bootOptions = 0x0460;
    o.oemParameters = 0x0506;
    const QByteArray data = controlOptionsData(o);
    QCOMPARE(data, hex("00 00 11 be 01 02 03 04 60 05 06"));

    MessageFields reset;
    reset.messageType = TypeReset;
    reset.dataLength = quint8(data.size());
    reset.data = data;
    QVERIFY(check(composeMessage(reset), ProtocolRmcp).ok);
}

void TestRmcpCompose::acknowledges()
{
    QCOMPARE(composeAcknowledge(7), hex("06 00 07 86"));
    QCOMPARE(composeAcknowledge(7, 0x86), hex("06 00 07 86"));
    QCOMPARE(composeAcknowledge(0xfe, 0x07, 0x05, 0x01), hex("05 01 fe 87"));

    // The header is copied as received, after the RSP header on that path.
    QCOMPARE(acknowledgeFor(hex("06 00 2a 06 00 00 11 be 40 07 00 00"), ProtocolRmcp), hex("06 00 2a 86"));
    QCOMPARE(acknowledgeFor(hex("00 00 00 01 00 00 00 02 06 00 09 06"), ProtocolRmcpRsp), hex("06 00 09 86"));
    QVERIFY(acknowledgeFor(hex("06 00 2a"), ProtocolRmcp).isEmpty());
    QVERIFY(acknowledgeFor(hex("00 00 00 01 00 00 00 02 06 00 09"), ProtocolRmcpRsp).isEmpty());

    const Checked c = check(composeAcknowledge(7), ProtocolRmcp);
    QVERIFY(c.ok);
    QVERIFY(c.fields.isAcknowledge);
    QCOMPARE(c.fields.sequenceNr, quint8(7));
}

void TestRmcpCompose::padRule_data()
{
    QTest::addColumn<int>("messageLength");
    QTest::addColumn<int>("pad");
    QTest::addColumn<int>("alignedPad");
    QTest::newRow("acknowledge") << 4 << 2 << 2;
    QTest::newRow("no data") << 12 << 2 << 2;
    QTest::newRow("1 byte") << 13 << 1 << 1;
    QTest::newRow("2 bytes: 4, not 0") << 14 << 4 << 0;
    QTest::newRow("3 bytes") << 15 << 3 << 3;
    QTest::newRow("16 bytes") << 28 << 2 << 2;
    QTest::newRow("60 bytes") << 72 << 2 << 2;
}

void TestRmcpCompose::padRule()
{
    QFETCH(int, messageLength);
    QFETCH(int, pad);
    QFETCH(int, alignedPad);
    QCOMPARE(rspPadLength(messageLength), pad);
    // The aligned rule counts the 8-byte RSP header in, which changes nothing mod 4.
    QCOMPARE(rspAlignedPadLength(RspHeaderSize + messageLength), alignedPad);
    QCOMPARE((messageLength + pad + 2) % 4, 0);
}

void TestRmcpCompose::rspWrappedMessages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("size");
    QTest::newRow("acknowledge") << composeAcknowledge(3) << 28;
    QTest::newRow("presence ping") << composeRequest(SendListRequest::PresencePing, 1, 2) << 36;
    MessageFields pong;
    pong.messageType = TypePresencePong;
    pong.dataLength = 16;
    pong.data = QByteArray(16, '\0');
    QTest::newRow("presence pong") << composeMessage(pong) << 52;
    MessageFields close;
    close.messageType = TypeCloseSessionResponse;
    close.dataLength = 1;
    close.data = hex("00");
    QTest::newRow("close session response (pad 1)") << composeMessage(close) << 36;
}

void TestRmcpCompose::rspWrappedMessages()
{
    QFETCH(QByteArray, message);
    QFETCH(int, size);
    RspWrap wrap;
    wrap.sessionId = 0xC0DE0001;
    wrap.sequenceNumber = 17;
    wrap.integrityData = hex("01 02 03 04 05 06 07 08 09 0a 0b 0c");
    const QByteArray datagram = composeRspMessage(message, wrap);
    QCOMPARE(int(datagram.size()), size);
    QCOMPARE(datagram.left(8), hex("c0 de 00 01 00 00 00 11"));
    QCOMPARE(datagram.mid(8, message.size()), message);
    QCOMPARE(datagram.right(12), wrap.integrityData);

    const Checked c = check(datagram, ProtocolRmcpRsp);
    QVERIFY2(c.ok, qPrintable(c.findings.info()));
    QVERIFY(c.fields.haveRspTail);
    QCOMPARE(c.fields.rspSessionId, wrap.sessionId);
    QCOMPARE(c.fields.rspSequenceNumber, wrap.sequenceNumber);
    QCOMPARE(c.fields.rspPadLength, rspPadLength(int(message.size())));
    QCOMPARE(c.fields.rspPad, QByteArray(c.fields.rspPadLength, '\0'));
    QCOMPARE(c.fields.rspNextHeader, quint8(6));
    QCOMPARE(c.fields.rspIntegrityData, wrap.integrityData);

    // Without a trailer: the RSP header alone.
    wrap.trailer = false;
    wrap.sessionId = 0;
    const QByteArray bare = composeRspMessage(message, wrap);
    QCOMPARE(bare, hex("00 00 00 00 00 00 00 11") + message);
    QVERIFY(check(bare, ProtocolRmcpRsp).ok);
}

void TestRmcpCompose::rspOverrides()
{
    const QByteArray ping = composeRequest(SendListRequest::PresencePing, 1, 2);
    RspWrap wrap;
    wrap.sessionId = 9;
    wrap.pad = hex("00 01");
    wrap.padLength = 1;
    wrap.nextHeader = 0x07;
    const QByteArray datagram = composeRspMessage(ping, wrap);
    QCOMPARE(datagram.mid(8 + 12, 4), hex("00 01 01 07"));
    const Checked c = check(datagram, ProtocolRmcpRsp);
    QCOMPARE(c.findings.info(),
             QStringLiteral("Presence Ping\t -error: RSP Next Header -error: RSP Pad Length -error: RSP Pad"));

    // A pad of another length moves the trailer: the size check reports it.
    wrap = RspWrap();
    wrap.sessionId = 9;
    wrap.pad = QByteArray(3, '\0');
    const Checked moved = check(composeRspMessage(ping, wrap), ProtocolRmcpRsp);
    QCOMPARE(moved.findings.info(), QStringLiteral("Presence Ping\t -error: Wrong packet size, length of data wrong or "
                                                   "wrong rsp trailer size; got 37 expected 36"));
    QVERIFY(!moved.fields.haveRspTail);
}

void TestRmcpCompose::integrityData()
{
    RspWrap wrap;
    wrap.sessionId = 1;
    wrap.integrityData = hex("aa bb"); // short: filled with zeros
    QByteArray datagram = composeRspMessage(composeAcknowledge(1), wrap);
    QCOMPARE(datagram.right(12), hex("aa bb 00 00 00 00 00 00 00 00 00 00"));
    wrap.integrityData = QByteArray(20, 'x'); // a whole HMAC-SHA1 value: its first 12 bytes
    QCOMPARE(composeRspMessage(composeAcknowledge(1), wrap).right(12), QByteArray(12, 'x'));

    // What an integrity value covers, and filling it in afterwards.
    QCOMPARE(integrityCoverage(datagram).size(), datagram.size() - 12);
    QCOMPARE(integrityCoverage(datagram).toByteArray(), datagram.left(datagram.size() - 12));
    QVERIFY(setIntegrityData(datagram, falseIntegrityData()));
    QCOMPARE(datagram.right(12), hex("0d 0e 0a 0d 0b 0e 0e 0f 0d 0e 0a 0d"));
    QCOMPARE(datagram.size(), 28);
    QByteArray tiny = hex("01 02");
    QVERIFY(!setIntegrityData(tiny, falseIntegrityData()));
    QVERIFY(integrityCoverage(tiny).isEmpty());
    QVERIFY(!setIntegrityData(datagram, hex("01 02 03")));
}

QTEST_GUILESS_MAIN(TestRmcpCompose)
#include "tst_rmcpcompose.moc"
