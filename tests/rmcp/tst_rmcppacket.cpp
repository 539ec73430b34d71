// The RMCP record as scripts and the logger see it: slots, clone, text form.

#include "asfrmcppacket.h"
#include "rmcpcompose.h"

#include <QMetaMethod>
#include <QTextStream>
#include <QtTest>
#include <cstdio>

using namespace velquor::rmcp;

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

const char *const statusFields[] = {"Version",         "Reserved1", "SequenceNr",        "MessageClass",
                                    "IanaEnterpriseNr", "MessageType", "MessageTag",      "Reserved2",
                                    "DataLength",      "RmcpData",  "RspSessionId",      "RspSequenceNumber",
                                    "RspPad",          "RspPadLength", "RspNextHeader",  "RspIntegrityData"};

QByteArray sessionPong()
{
    MessageFields pong;
    pong.sequenceNr = 3;
    pong.messageType = 0x40;
    pong.messageTag = 7;
    pong.dataLength = 16;
    pong.data = QByteArray(16, '\x01');
    RspWrap wrap;
    wrap.sessionId = 0x01020304;
    wrap.sequenceNumber = 0x0A0B0C0D;
    wrap.integrityData = falseIntegrityData();
    return composeRspMessage(composeMessage(pong), wrap);
}

template <typename T>
T call(QObject *object, const char *slot)
{
    T result{};
    const bool invoked = QMetaObject::invokeMethod(object, slot, Qt::DirectConnection,
                                                   QGenericReturnArgument(QMetaType::fromType<T>().name(), &result));
    if (!invoked)
        qWarning("cannot invoke %s", slot);
    return result;
}

} // namespace

class TestRmcpPacket : public QObject
{
    Q_OBJECT

private slots:
    void newRecord();
    void scriptSlotsInOrder();
    void slotsReadFields();
    void fieldStatusSlots();
    void cloneKeepsEverything();
    void textFormsAgree();
};

void TestRmcpPacket::newRecord()
{
    ASF_RMCP_Packet p(42);
    QCOMPARE(p.protocolType(), 3);
    QCOMPARE(p.protocol(), QStringLiteral("RMCP"));
    QCOMPARE(p.direction(), 1);
    QCOMPARE(p.status(), 1);
    QCOMPARE(p.info(), QString());
    QCOMPARE(p.timestamp(), 42u);
    for (const FieldStatus &s : p.fields().statuses) {
        QCOMPARE(s.status, 1);
        QVERIFY(s.text.isEmpty());
    }
    QCOMPARE(p.getVersion(), 0);
    QVERIFY(!p.isAcknowledge());
    QVERIFY(!p.haveRspTail());
    // An empty info takes the first finding without a separator.
    p.appendInfo(QStringLiteral("x"));
    QCOMPARE(p.info(), QStringLiteral("x"));
    p.appendInfo(QStringLiteral("y"));
    QCOMPARE(p.info(), QStringLiteral("x -y"));
}

void TestRmcpPacket::scriptSlotsInOrder()
{
    QStringList expected{"isAcknowledge()", "isResponse()"};
    for (const char *field : statusFields) {
        const QString f = QLatin1String(field);
        expected << "get" + f + "()" << "get" + f + "Status()" << "set" + f + "Status(int)"
                 << "get" + f + "StatusText()" << "set" + f + "StatusText(QString)";
    }
    expected << "haveRspTail()";
    QCOMPARE(expected.size(), 83);

    const QMetaObject &meta = ASF_RMCP_Packet::staticMetaObject;
    QStringList slotList;
    QMap<QString, QString> returnTypes;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod m = meta.method(i);
        if (m.methodType() == QMetaMethod::Slot && m.access() == QMetaMethod::Public) {
            slotList << QString::fromLatin1(m.methodSignature());
            returnTypes[QString::fromLatin1(m.name())] = QLatin1String(m.typeName());
        }
    }
    QCOMPARE(slotList, expected);
    QCOMPARE(returnTypes["getVersion"], QStringLiteral("int"));
    QCOMPARE(returnTypes["getIanaEnterpriseNr"], QStringLiteral("double"));
    QCOMPARE(returnTypes["getRmcpData"], QStringLiteral("QByteArray"));
    QCOMPARE(returnTypes["getRspSessionId"], QStringLiteral("double"));
    QCOMPARE(returnTypes["getRspPadLength"], QStringLiteral("double"));
    QCOMPARE(returnTypes["getRspIntegrityData"], QStringLiteral("QByteArray"));
    QCOMPARE(returnTypes["getVersionStatusText"], QStringLiteral("QString"));
    QCOMPARE(returnTypes["haveRspTail"], QStringLiteral("bool"));
    // The record's own slots come first, from the base class.
    QVERIFY(meta.indexOfSlot("getAsfPacketInfo()") >= 0);
}

void TestRmcpPacket::slotsReadFields()
{
    ASF_RMCP_Packet p(0);
    p.setProtocolType(4);
    p.setProtocol(QStringLiteral("RMCP/RSP"));
    QByteArray bytes = sessionPong();
    bytes[bytes.size() - 14] = char(0xff); // Pad Length -1
    p.setData(bytes);

    QCOMPARE(call<double>(&p, "getRspSessionId"), double(0x01020304));
    QCOMPARE(call<double>(&p, "getRspSequenceNumber"), double(0x0A0B0C0D));
    QCOMPARE(call<double>(&p, "getRspPadLength"), -1.0);
    QCOMPARE(call<int>(&p, "getRspNextHeader"), 6);
    QCOMPARE(call<QByteArray>(&p, "getRspPad"), hex("00 00"));
    QCOMPARE(call<QByteArray>(&p, "getRspIntegrityData"), falseIntegrityData());
    QCOMPARE(call<bool>(&p, "haveRspTail"), true);
    QCOMPARE(call<int>(&p, "getMessageTag"), 7);
    QCOMPARE(call<QByteArray>(&p, "getRmcpData"), QByteArray(16, '\x01'));
    QCOMPARE(call<bool>(&p, "isResponse"), true);
    QCOMPARE(call<int>(&p, "getRspPadLengthStatus"), -1);
    QCOMPARE(call<QString>(&p, "getRspPadLengthStatusText"), QStringLiteral("Length -1 not equal calculated length 2"));
    QCOMPARE(p.info(), QStringLiteral("Presence Pong\t -error: RSP Pad Length"));
    QCOMPARE(call<int>(&p, "getAsfPacketStatus"), -1);
}

void TestRmcpPacket::fieldStatusSlots()
{
    ASF_RMCP_Packet p(0);
    p.setData(composeRequest(SendListRequest::PresencePing, 1, 2));
    QVERIFY(QMetaObject::invokeMethod(&p, "setMessageTagStatus", Q_ARG(int, -1)));
    QVERIFY(QMetaObject::invokeMethod(&p, "setMessageTagStatusText", Q_ARG(QString, QStringLiteral("expected 0x08"))));
    QCOMPARE(p.getMessageTagStatus(), -1);
    QCOMPARE(p.getMessageTagStatusText(), QStringLiteral("expected 0x08"));
    // A field's status is the field's: the record stays as its check left it.
    QCOMPARE(p.status(), 1);
    // Each slot family reaches its own field only.
    p.setRspIntegrityDataStatus(0);
    QCOMPARE(p.getRspIntegrityDataStatus(), 0);
    QCOMPARE(p.getRspNextHeaderStatus(), 1);
    QCOMPARE(p.fields().status(FieldId::RspIntegrityData).status, 0);
    QCOMPARE(p.fields().status(FieldId::MessageTag).text, QStringLiteral("expected 0x08"));
}

void TestRmcpPacket::cloneKeepsEverything()
{
    ASF_RMCP_Packet p(3723004);
    p.setProtocolType(4);
    p.setProtocol(QStringLiteral("RMCP/RSP"));
    p.setDirection(2);
    p.setData(sessionPong());
    p.setTrailerLength(24);
    // Findings marked after the check, as a session or the handler do.
    p.setRspIntegrityDataStatus(-1);
    p.setRspIntegrityDataStatusText(QStringLiteral("error: Integrity data mismatch"));
    p.setSequenceNrStatus(0);
    p.setSequenceNrStatusText(QStringLiteral("expected 2"));
    p.error(QStringLiteral("error: Integrity data mismatch"));

    const std::unique_ptr<ASF_Packet> copy = p.clone();
    auto *c = qobject_cast<ASF_RMCP_Packet *>(copy.get());
    QVERIFY(c);
    QCOMPARE(c->parent(), nullptr);
    QCOMPARE(c->timestamp(), p.timestamp());
    QCOMPARE(c->protocolType(), 4);
    QCOMPARE(c->protocol(), QStringLiteral("RMCP/RSP"));
    QCOMPARE(c->direction(), 2);
    QCOMPARE(c->data(), p.data());
    QCOMPARE(c->info(), p.info());
    QCOMPARE(c->status(), -1);
    QCOMPARE(c->trailerLength(), 24);
    // Parsed as a wrapped message, not as a plain one.
    QCOMPARE(c->getRspSessionId(), double(0x01020304));
    QVERIFY(c->haveRspTail());
    QCOMPARE(c->getMessageTypeStatus(), 1);
    QCOMPARE(c->messageTypeName(), QStringLiteral("Presence Pong"));
    QCOMPARE(c->getRspIntegrityDataStatusText(), QStringLiteral("error: Integrity data mismatch"));
    QCOMPARE(c->getSequenceNrStatus(), 0);
    QCOMPARE(c->getSequenceNrStatusText(), QStringLiteral("expected 2"));
    QCOMPARE(c->textForm(), p.textForm());

    // A plain record is checked again on its copy.
    ASF_RMCP_Packet plain(5);
    plain.setData(hex("06 00 05 86 00"));
    const std::unique_ptr<ASF_Packet> plainCopy = plain.clone();
    QCOMPARE(plainCopy->info(), QStringLiteral("Acknowledge\t -error: wrong size of Ack Packet"));
    QCOMPARE(plainCopy->protocolType(), 3);
}

void TestRmcpPacket::textFormsAgree()
{
    ASF_RMCP_Packet p(0);
    p.setData(hex("05 00 05 06 00 00 11 be 42 07 00 04 03 01 00 00"));
    const QString text = p.textForm();
    QVERIFY(text.startsWith(QStringLiteral("!!\tVersion:\t\t\t0x05\tshould be set to 0x06; ASF RMCP Version 1\n")));
    QVERIFY(text.contains(QStringLiteral("\tSystem State: 0x03\n")));

    QString streamed;
    QTextStream stream(&streamed);
    p.writeToStream(stream);
    stream.flush();
    QCOMPARE(streamed, text);

    FILE *file = std::tmpfile();
    QVERIFY(file);
    p.writeToFile(file);
    std::fflush(file);
    std::rewind(file);
    QByteArray written(4096, '\0');
    written.resize(qsizetype(std::fread(written.data(), 1, size_t(written.size()), file)));
    std::fclose(file);
    QCOMPARE(QString::fromLatin1(written), text);
}

QTEST_MAIN(TestRmcpPacket)
#include "tst_rmcppacket.moc"
