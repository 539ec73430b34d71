// Parse and checks of RMCP/ASF messages: each finding alone and together,
// their order and texts, short and hostile datagrams.

#include "rmcpcheck.h"
#include "rmcpdisplaymodel.h"
#include "rmcplayout.h"
#include "rmcptables.h"
#include "rmcptext.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

using namespace velquor;
using namespace velquor::rmcp;

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

// RSP header + message + raw trailer bytes, built by hand so the checks are
// not tested against the composer.
QByteArray rsp(quint32 session, quint32 sequence, const QByteArray &message, const QByteArray &trailer = {})
{
    return be32(session) + be32(sequence) + message + trailer;
}

const QByteArray integrity = QByteArray(12, char(0xAA));

QByteArray ping(quint8 dataLength = 0, const QByteArray &data = {})
{
    return hex("06 00 05 06 00 00 11 be 80 07 00") + char(dataLength) + data;
}

QByteArray pong() { return hex("06 00 05 06 00 00 11 be 40 07 00 10") + QByteArray(16, '\x01'); }

struct Result
{
    RmcpFields fields;
    PacketFindings findings{QString()};
    bool ok = false;
};

Result run(const QByteArray &bytes, int protocolType)
{
    Result r;
    r.ok = checkMessage(bytes, protocolType, r.fields, r.findings);
    return r;
}

// "Field|status|text" for every field that is not plainly ok.
QStringList fieldFindings(const RmcpFields &f)
{
    QStringList out;
    for (int i = 0; i < FieldCount; ++i) {
        const FieldStatus &s = f.statuses[size_t(i)];
        if (s.status != ASF_PACKET_OK || !s.text.isEmpty())
            out << QStringLiteral("%1|%2|%3").arg(QLatin1String(fieldName(FieldId(i)))).arg(s.status).arg(s.text);
    }
    return out;
}

QString f(const char *field, int status, const char *text)
{
    return QStringLiteral("%1|%2|%3").arg(QLatin1String(field)).arg(status).arg(QLatin1String(text));
}

} // namespace

class TestRmcpCheck : public QObject
{
    Q_OBJECT

private slots:
    void findings_data();
    void findings();
    void parsedValues();
    void truncatedMessagesStayInBounds_data();
    void truncatedMessagesStayInBounds();
    void hostileDatagrams();
    void recheckKeepsOutsideFindings();
};

void TestRmcpCheck::findings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("protocolType");
    QTest::addColumn<QString>("info");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<bool>("haveRspTail");

    const int plain = ProtocolRmcp;
    const int wrapped = ProtocolRmcpRsp;
    const int E = ASF_PACKET_ERROR, W = ASF_PACKET_WARNING, OK = ASF_PACKET_OK;
    const char *sizeText = "error: Wrong packet size or length of data wrong";

    // Header fields.
    QTest::newRow("ping ok") << ping() << plain << "Presence Ping\t" << OK << QStringList() << false;
    QTest::newRow("version and reserved1")
        << hex("05 01 05 06 00 00 11 be 80 07 00 00") << plain
        << "Presence Ping\t -error: Version -error: Reserved field (1) not zero" << E
        << QStringList{f("Version", E, "should be set to 0x06; ASF RMCP Version 1"),
                       f("Reserved1", E, "error: Reserved field (1) not zero")}
        << false;
    QTest::newRow("class bits 4 5 6")
        << hex("06 00 05 76 00 00 11 be 80 07 00 00") << plain << "Presence Ping\t -error: class of message field" << E
        << QStringList{f("MessageClass", E, "error: Reserved bits 4 5 6  set in class of message")} << false;
    QTest::newRow("class bits 4 and 6")
        << hex("06 00 05 56 00 00 11 be 80 07 00 00") << plain << "Presence Ping\t -error: class of message field" << E
        << QStringList{f("MessageClass", E, "error: Reserved bits 4 6  set in class of message")} << false;
    QTest::newRow("iana") << hex("06 00 05 06 00 00 11 bf 80 07 00 00") << plain
                          << "Presence Ping\t -error: IANA Enterprise Number not set to 0x000011BE" << E
                          << QStringList{f("IanaEnterpriseNr", E, "error: IANA Enterprise Number not set to 0x000011BE")}
                          << false;
    QByteArray pongReserved = pong();
    pongReserved[10] = 1;
    QTest::newRow("reserved2") << pongReserved << plain << "Presence Pong\t -error: Reserved field (2) not zero" << E
                               << QStringList{f("Reserved2", E, "error: Reserved field (2) not zero")} << false;

    // Message types.
    QTest::newRow("reserved type reported twice")
        << hex("06 00 05 06 00 00 11 be 05 07 00 00") << plain
        << "Unkown message type\t -error: Using reserved message type -error: Unkown message type" << E
        << QStringList{f("MessageType", E, "error: Unkown message type")} << false;
    QTest::newRow("type 0x99") << hex("06 00 05 06 00 00 11 be 99 07 00 03 01 02 03") << plain
                               << "Unkown message type\t -error: Unkown message type" << E
                               << QStringList{f("MessageType", E, "error: Unkown message type")} << false;

    // Sizes and per-type data lengths.
    const QByteArray resetHeader = hex("06 00 05 06 00 00 11 be 10 ff 00");
    QTest::newRow("reset 11 data bytes") << resetHeader + char(11) + QByteArray(11, '\0') << plain << "Reset\t" << OK
                                         << QStringList() << false;
    QTest::newRow("reset 5 data bytes")
        << resetHeader + char(5) + QByteArray(5, '\0') << plain << "Reset\t -error: Wrong data size for type of message"
        << E << QStringList{f("DataLength", E, "error: Wrong data size for type of message")} << false;
    QTest::newRow("reset short of its data")
        << resetHeader + char(11) + QByteArray(8, '\0') << plain
        << "Reset\t -error: Wrong packet size or length of data wrong; got 20 expected 23" << E
        << QStringList{f("DataLength", E, sizeText)} << false;
    QTest::newRow("open session request 24: warning")
        << hex("06 00 05 06 00 00 11 be 83 07 00 18") + QByteArray(24, '\0') << plain
        << "Open Session Request\t -Warning: Check  data size for type of message" << W
        << QStringList{f("DataLength", W, "Warning: Check data size for type of message")} << false;
    QTest::newRow("rakp 2 59: warning")
        << hex("06 00 05 06 00 00 11 be c1 07 00 3b") + QByteArray(59, '\0') << plain
        << "RAKP Message 2\t -Warning: Check  data size for type of message" << W
        << QStringList{f("DataLength", W, "Warning: Check data size for type of message")} << false;
    QTest::newRow("rakp 1 23: error")
        << hex("06 00 05 06 00 00 11 be c0 07 00 17") + QByteArray(23, '\0') << plain
        << "RAKP Message 1\t -error: Wrong data size for type of message" << E
        << QStringList{f("DataLength", E, "error: Wrong data size for type of message")} << false;
    QTest::newRow("warning does not lower a header error")
        << hex("06 00 05 06 00 00 11 be 83 07 01 18") + QByteArray(24, '\0') << plain
        << "Open Session Request\t -error: Reserved field (2) not zero -Warning: Check  data size for type of message"
        << E
        << QStringList{f("Reserved2", E, "error: Reserved field (2) not zero"),
                       f("DataLength", W, "Warning: Check data size for type of message")}
        << false;

    // All header findings together, in their order, then the size.
    QTest::newRow("every header finding")
        << hex("05 02 05 16 00 00 00 00 05 07 01 03") << plain
        << "Unkown message type\t -error: Using reserved message type -error: Unkown message type -error: Version"
           " -error: Reserved field (1) not zero -error: class of message field"
           " -error: IANA Enterprise Number not set to 0x000011BE -error: Reserved field (2) not zero"
           " -error: Wrong packet size or length of data wrong; got 12 expected 15"
        << E
        << QStringList{f("Version", E, "should be set to 0x06; ASF RMCP Version 1"),
                       f("Reserved1", E, "error: Reserved field (1) not zero"),
                       f("MessageClass", E, "error: Reserved bits 4  set in class of message"),
                       f("IanaEnterpriseNr", E, "error: IANA Enterprise Number not set to 0x000011BE"),
                       f("MessageType", E, "error: Unkown message type"),
                       f("Reserved2", E, "error: Reserved field (2) not zero"), f("DataLength", E, sizeText)}
        << false;

    // Acknowledges.
    QTest::newRow("ack") << hex("06 00 05 86") << plain << "Acknowledge\t" << OK << QStringList() << false;
    QTest::newRow("ack too long: info only") << hex("06 00 05 86 00 00 11 be 80 07 00 00") << plain
                                             << "Acknowledge\t -error: wrong size of Ack Packet" << OK << QStringList()
                                             << false;
    QTest::newRow("ack version") << hex("05 00 05 86") << plain << "Acknowledge\t -error: Version" << E
                                 << QStringList{f("Version", E, "should be set to 0x06; ASF RMCP Version 1")} << false;
    QTest::newRow("ack class bits unchecked") << hex("06 00 05 f6") << plain << "Acknowledge\t" << OK << QStringList()
                                              << false;
    QTest::newRow("rsp ack") << rsp(1, 2, hex("06 00 05 86"), hex("00 00 02 06") + integrity) << wrapped
                             << "Acknowledge\t" << OK << QStringList() << true;
    QTest::newRow("rsp ack pad length 1")
        << rsp(1, 2, hex("06 00 05 86"), hex("00 00 01 06") + integrity) << wrapped
        << "Acknowledge\t -error: RSP Pad Length" << E
        << QStringList{f("RspPadLength", E, "Length 1 not equal calculated length 2")} << true;
    QTest::newRow("rsp ack next header and pad")
        << rsp(1, 2, hex("06 00 05 86"), hex("00 01 02 05") + integrity) << wrapped
        << "Acknowledge\t -error: RSP Next Header -error: RSP Pad" << E
        << QStringList{f("RspPad", E, "Padding not all zero"),
                       f("RspNextHeader", E, "should be set to 0x06; ASF RMCP Version 1")}
        << true;
    QTest::newRow("rsp ack without room for its trailer")
        << rsp(1, 2, hex("06 00 05 86"), hex("00 00 02 06")) << wrapped
        << "Acknowledge\t -error: wrong size of Ack Packet" << E << QStringList() << false;
    QTest::newRow("rsp ack with extra bytes: info only")
        << rsp(1, 2, hex("06 00 05 86 ee ee"), hex("00 00 02 06") + integrity) << wrapped
        << "Acknowledge\t -error: wrong size of Ack Packet" << OK << QStringList() << true;
    QTest::newRow("rsp ack outside a session") << rsp(0, 0, hex("06 00 05 86")) << wrapped << "Acknowledge\t" << OK
                                               << QStringList() << false;

    // Messages in a session: sizes with and without trailer, pad rule.
    QTest::newRow("rsp pong with trailer (pad 2)")
        << rsp(7, 9, pong(), hex("00 00 02 06") + integrity) << wrapped << "Presence Pong\t" << OK << QStringList()
        << true;
    QTest::newRow("rsp data length 2 takes 4 pad bytes")
        << rsp(7, 9, ping(2, "ab"), hex("00 00 00 00 04 06") + integrity) << wrapped
        << "Presence Ping\t -error: Wrong data size for type of message" << E
        << QStringList{f("DataLength", E, "error: Wrong data size for type of message")} << true;
    QTest::newRow("rsp data length 2 with 1 pad byte")
        << rsp(7, 9, ping(2, "ab"), hex("00 01 06") + integrity) << wrapped
        << "Presence Ping\t -error: Wrong packet size, length of data wrong or wrong rsp trailer size; got 37 expected 40"
        << E << QStringList{f("DataLength", E, sizeText)} << false;
    QTest::newRow("rsp pad length, next header, pad")
        << rsp(7, 9, pong(), hex("00 09 03 07") + integrity) << wrapped
        << "Presence Pong\t -error: RSP Next Header -error: RSP Pad Length -error: RSP Pad" << E
        << QStringList{f("RspPad", E, "Padding not all zero"),
                       f("RspPadLength", E, "Length 3 not equal calculated length 2"),
                       f("RspNextHeader", E, "should be set to 0x06; ASF RMCP Version 1")}
        << true;
    QTest::newRow("rsp without session: no trailer") << rsp(0, 0, ping()) << wrapped << "Presence Ping\t" << OK
                                                     << QStringList() << false;
    QTest::newRow("rsp without session but a trailer")
        << rsp(0, 0, ping(), hex("00 00 02 06") + integrity) << wrapped
        << "Presence Ping\t -error: Wrong packet size or length of data wrong; got 36 expected 20" << E
        << QStringList{f("DataLength", E, sizeText)} << false;
    QTest::newRow("rsp session, trailer missing")
        << rsp(3, 1, pong()) << wrapped
        << "Presence Pong\t -error: Wrong packet size, length of data wrong or wrong rsp trailer size; got 36 expected 52"
        << E << QStringList{f("DataLength", E, sizeText)} << false;

    // Datagrams shorter than their headers.
    QTest::newRow("empty") << QByteArray() << plain
                           << "Unkown message type\t -error: Unkown message type -error: Version"
                              " -error: IANA Enterprise Number not set to 0x000011BE"
                              " -error: Wrong packet size or length of data wrong; got 0 expected 12"
                           << E
                           << QStringList{f("Version", E, "should be set to 0x06; ASF RMCP Version 1"),
                                          f("IanaEnterpriseNr", E, "error: IANA Enterprise Number not set to 0x000011BE"),
                                          f("MessageType", E, "error: Unkown message type"), f("DataLength", E, sizeText)}
                           << false;
    QTest::newRow("rsp header cut in a session")
        << hex("00 00 00 01 02") << wrapped
        << "Unkown message type\t -error: Unkown message type -error: Version"
           " -error: IANA Enterprise Number not set to 0x000011BE"
           " -error: Wrong packet size, length of data wrong or wrong rsp trailer size; got 5 expected 36"
        << E
        << QStringList{f("Version", E, "should be set to 0x06; ASF RMCP Version 1"),
                       f("IanaEnterpriseNr", E, "error: IANA Enterprise Number not set to 0x000011BE"),
                       f("MessageType", E, "error: Unkown message type"), f("DataLength", E, sizeText)}
        << false;
}

void TestRmcpCheck::findings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, protocolType);
    QFETCH(QString, info);
    QFETCH(int, status);
    QFETCH(QStringList, fields);
    QFETCH(bool, haveRspTail);

    const Result r = run(bytes, protocolType);
    QCOMPARE(r.findings.info(), info);
    QCOMPARE(r.findings.status(), status);
    QCOMPARE(r.ok, status == ASF_PACKET_OK);
    QCOMPARE(fieldFindings(r.fields), fields);
    QCOMPARE(r.fields.haveRspTail, haveRspTail);
}

void TestRmcpCheck::parsedValues()
{
    // Every header value in its place, the data after it.
    const QByteArray data = hex("00 00 11 be 01 00 02 60 20 12 34");
    const Result reset = run(hex("06 01 2a 46 00 00 11 bd 10 3c 02 0b") + data, ProtocolRmcp);
    const RmcpFields &f = reset.fields;
    QCOMPARE(QList<uint>({f.version, f.reserved1, f.sequenceNr, f.messageClass, f.ianaEnterpriseNr, f.messageType,
                          f.messageTag, f.reserved2, f.dataLength}),
             QList<uint>({0x06, 0x01, 0x2a, 0x46, 4541, 0x10, 0x3c, 0x02, 11}));
    QCOMPARE(f.rmcpData, data);

    // Responses are 0x40..0x44 and RAKP Message 2.
    for (int type = 0; type < 256; ++type) {
        const Result r = run(hex("06 00 05 06 00 00 11 be") + char(type) + hex("07 00 00"), ProtocolRmcp);
        const bool response = (type >= 0x40 && type <= 0x44) || type == 0xC1;
        QVERIFY2(r.fields.isResponse == response, qPrintable(QString::number(type, 16)));
    }

    // An acknowledge reads no ASF header, even when bytes are there.
    const Result ack = run(hex("06 00 05 86 00 00 11 be 40 07 00 00"), ProtocolRmcp);
    QVERIFY(ack.fields.isAcknowledge);
    QVERIFY(!ack.fields.isResponse);
    QCOMPARE(ack.fields.ianaEnterpriseNr, 0u);
    QCOMPARE(ack.fields.messageType, quint8(0));

    // The trailer of a session message, and the bytes that are there as data
    // when the size is wrong.
    const QByteArray trailer = hex("00 00 02 06 01 02 03 04 05 06 07 08 09 0a 0b 0c");
    const Result wrapped = run(rsp(0x11223344, 0x55667788, pong(), trailer), ProtocolRmcpRsp);
    QCOMPARE(wrapped.fields.rspSessionId, 0x11223344u);
    QCOMPARE(wrapped.fields.rspSequenceNumber, 0x55667788u);
    QCOMPARE(wrapped.fields.rspPad, hex("00 00"));
    QCOMPARE(wrapped.fields.rspIntegrityData, trailer.right(12));
    QCOMPARE(wrapped.fields.rmcpData, QByteArray(16, '\x01'));
    const Result bad = run(rsp(1, 1, pong(), trailer.mid(1)), ProtocolRmcpRsp);
    QVERIFY(bad.fields.rspIntegrityData.isEmpty());
    QCOMPARE(bad.fields.rmcpData, QByteArray(16, '\x01') + trailer.mid(1));
    QCOMPARE(run(hex("06 00 05 06 00 00 11 be 10 ff 00 0b 01 02"), ProtocolRmcp).fields.rmcpData, hex("01 02"));
}

void TestRmcpCheck::truncatedMessagesStayInBounds_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("protocolType");
    QTest::newRow("plain reset with options")
        << hex("06 00 2a 06 00 00 11 be 10 3c 00 0b 00 00 11 be 01 00 02 60 20 12 34") << ProtocolRmcp;
    QTest::newRow("rsp pong with trailer") << rsp(5, 6, pong(), hex("00 00 02 06") + integrity) << ProtocolRmcpRsp;
    QTest::newRow("rsp ack with trailer") << rsp(5, 6, hex("06 00 05 86"), hex("00 00 02 06") + integrity)
                                          << ProtocolRmcpRsp;
}

// Every cut of a valid datagram is reported as an error, and each header
// field is either what the full datagram holds or 0 when its bytes are gone.
void TestRmcpCheck::truncatedMessagesStayInBounds()
{
    QFETCH(QByteArray, message);
    QFETCH(int, protocolType);
    const Result full = run(message, protocolType);
    QVERIFY(full.ok);
    const int o = messageOffset(protocolType);
    for (int n = 0; n < message.size(); ++n) {
        // A copy of exactly n bytes, so ASan sees any read past the cut.
        const QByteArray cut(message.constData(), n);
        const Result r = run(cut, protocolType);
        const QByteArray where = QByteArray("cut at ") + QByteArray::number(n);
        QVERIFY2(r.findings.status() == ASF_PACKET_ERROR, where);
        QVERIFY2(r.findings.info().contains(QLatin1String("size")), where + ": " + r.findings.info().toUtf8());
        const auto expect = [&](int end, auto value, auto fullValue) { return n >= end ? fullValue : decltype(value)(0); };
        QCOMPARE(r.fields.version, expect(o + 1, r.fields.version, full.fields.version));
        QCOMPARE(r.fields.sequenceNr, expect(o + 3, r.fields.sequenceNr, full.fields.sequenceNr));
        QCOMPARE(r.fields.rspSessionId, protocolType == ProtocolRmcpRsp ? expect(4, 0u, full.fields.rspSessionId) : 0u);
        QCOMPARE(r.fields.rspSequenceNumber,
                 protocolType == ProtocolRmcpRsp ? expect(8, 0u, full.fields.rspSequenceNumber) : 0u);
        if (!full.fields.isAcknowledge) {
            QCOMPARE(r.fields.ianaEnterpriseNr, expect(o + 8, 0u, full.fields.ianaEnterpriseNr));
            QCOMPARE(r.fields.messageType, expect(o + 9, r.fields.messageType, full.fields.messageType));
            QCOMPARE(r.fields.dataLength, expect(o + 12, r.fields.dataLength, full.fields.dataLength));
        }
        QVERIFY2(!r.fields.haveRspTail, where);
        QVERIFY(r.fields.rspIntegrityData.isEmpty());
    }
}

// Random and crafted bytes: every datagram gets a name and a finding, is
// shown without trouble, and nothing reads outside it (the sanitizer build
// watches the reads).
void TestRmcpCheck::hostileDatagrams()
{
    QRandomGenerator random(0x5eed);
    for (int i = 0; i < 20000; ++i) {
        const int n = int(random.bounded(80));
        QByteArray bytes(n, '\0');
        for (char &b : bytes)
            b = char(random.bounded(256));
        // Lean towards plausible headers so the deeper paths run too.
        const int protocolType = (i & 1) ? ProtocolRmcpRsp : ProtocolRmcp;
        const int o = messageOffset(protocolType);
        if (i % 3 && n > o + 3)
            bytes[o] = 0x06;
        if (i % 5 == 0 && n > o + 3)
            bytes[o + 3] = char(0x86);
        if (i % 7 == 0 && n > o + 11)
            bytes[o + 11] = char(qMax(0, n - o - 12 - int(random.bounded(20))));
        const QByteArray exact(bytes.constData(), n);
        const Result r = run(exact, protocolType);
        QVERIFY(r.findings.info().startsWith(r.fields.messageTypeName + QLatin1Char('\t')));
        QVERIFY(r.findings.status() >= ASF_PACKET_ERROR && r.findings.status() <= ASF_PACKET_OK);
        QVERIFY(r.fields.rmcpData.size() <= qMax(0, n - o - 12));
        if (r.fields.haveRspTail)
            QCOMPARE(r.fields.rspIntegrityData.size(), IntegrityDataSize);

        // Presentation of the same bytes: whole forms, and every decoder on them as data.
        QVERIFY(textForm(r.fields, exact, protocolType).endsWith(QLatin1String("\n ----\n")));
        QCOMPARE(displayModel(r.fields, exact, protocolType, "RMCP", 0).box(FieldId::RmcpData).value,
                 r.fields.isAcknowledge ? QString() : displayDataText(r.fields));
        const CodeText &entry = messageTypeTable()[size_t(i) % messageTypeTable().size()];
        qsizetype consumed = -1;
        decodeDataSection(entry.value, exact, &consumed);
        QVERIFY(consumed >= 0 && consumed <= n);
    }
}

void TestRmcpCheck::recheckKeepsOutsideFindings()
{
    RmcpFields fields;
    PacketFindings findings{QString()};
    // A sender marks what it could not build; a later check must keep it.
    findings.setError();
    fields.setFieldStatus(FieldId::RmcpData, ASF_PACKET_ERROR, QStringLiteral("error: error evaluate data string"));
    fields.setFieldStatus(FieldId::SequenceNr, ASF_PACKET_WARNING, QStringLiteral("expected 4"));
    QVERIFY(!checkMessage(hex("06 00 2a 06 00 00 11 be 10 3c 00 0b") + QByteArray(11, '\0'), ProtocolRmcp, fields,
                          findings));
    QCOMPARE(findings.status(), ASF_PACKET_ERROR);
    QCOMPARE(findings.info(), QStringLiteral("Reset\t"));
    QCOMPARE(fields.status(FieldId::RmcpData).text, QStringLiteral("error: error evaluate data string"));
    QCOMPARE(fields.status(FieldId::SequenceNr).status, ASF_PACKET_WARNING);

    // Data Length is judged afresh each time; the values come from the new bytes only.
    PacketFindings second{QString()};
    QVERIFY(!checkMessage(hex("06 00 05 06 00 00 11 be 80 07 00 09"), ProtocolRmcp, fields, second));
    QCOMPARE(fields.status(FieldId::DataLength).status, ASF_PACKET_ERROR);
    PacketFindings third{QString()};
    QVERIFY(checkMessage(hex("06 00 05 86"), ProtocolRmcp, fields, third));
    QCOMPARE(fields.status(FieldId::DataLength).status, ASF_PACKET_OK);
    QVERIFY(fields.isAcknowledge);
    QCOMPARE(fields.ianaEnterpriseNr, 0u);
    QCOMPARE(fields.dataLength, quint8(0));
    QVERIFY(fields.rmcpData.isEmpty());
    QCOMPARE(fields.messageType, quint8(0));
}

QTEST_GUILESS_MAIN(TestRmcpCheck)
#include "tst_rmcpcheck.moc"
