// The RMCP record as scripts see it (slots, clone) and its detail view,
// rendered offscreen.

#include "rmcptest.h"

#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcptables.h"
#include "rmcp/rmcpdisplay.h"
#include "rmcp/rmcpdisplaymodel.h"

#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QtTest>

using namespace velquor::rmcp;
using namespace rmcptest;

namespace {

const QByteArray pong = message(TypePresencePong, QByteArray(16, '\x01'));

template <typename T>
T call(QObject *object, const QByteArray &slot)
{
    T result{};
    if (!QMetaObject::invokeMethod(object, slot.constData(), Qt::DirectConnection,
                                   QGenericReturnArgument(QMetaType::fromType<T>().name(), &result)))
        qWarning("cannot invoke %s", slot.constData());
    return result;
}

std::unique_ptr<ASF_RMCP_Packet> record(const QByteArray &bytes, int protocolType, int direction)
{
    auto p = std::make_unique<ASF_RMCP_Packet>(3723004);
    p->setProtocolType(protocolType);
    p->setProtocol(protocolType == ProtocolRmcpRsp ? QStringLiteral("RMCP/RSP") : QStringLiteral("RMCP"));
    p->setDirection(direction);
    p->setData(bytes);
    return p;
}

// What a detail view shows: its title, the checked indicators, and
// "value|tool tip" of the named boxes.
QStringList shown(QWidget *view, std::initializer_list<const char *> boxes)
{
    QStringList out{view->findChild<QLabel *>("titleLabel")->text()};
    for (const QRadioButton *button : view->findChildren<QRadioButton *>()) {
        if (button->isChecked())
            out << button->objectName();
    }
    for (const char *name : boxes) {
        const auto *box = view->findChild<QLineEdit *>(QLatin1String(name));
        out << (box ? box->text() + QLatin1Char('|') + box->toolTip() : QStringLiteral("no box ") + name);
    }
    return out;
}

// Sampled inside the frame, right of the text: the box's own colour whatever the font.
QColor colour(QWidget *view, const char *name)
{
    QWidget *w = view->findChild<QWidget *>(QLatin1String(name));
    if (!w)
        return QColor();
    return QColor(w->grab().toImage().pixel(w->width() - 4, w->height() / 2));
}

} // namespace

class TestRmcpPacket : public QObject
{
    Q_OBJECT

private slots:
    void scriptSlotsInOrder();
    void slotsReachTheirFields();
    void cloneKeepsEverything();
    void detailView();
    void wrappedAcknowledgeView();
};

void TestRmcpPacket::scriptSlotsInOrder()
{
    QStringList expected{"isAcknowledge()", "isResponse()"};
    for (const char *field : {"Version", "Reserved1", "SequenceNr", "MessageClass", "IanaEnterpriseNr", "MessageType",
                              "MessageTag", "Reserved2", "DataLength", "RmcpData", "RspSessionId", "RspSequenceNumber",
                              "RspPad", "RspPadLength", "RspNextHeader", "RspIntegrityData"}) {
        const QString f = QLatin1String(field);
        expected << "get" + f + "()" << "get" + f + "Status()" << "set" + f + "Status(int)"
                 << "get" + f + "StatusText()" << "set" + f + "StatusText(QString)";
    }
    expected << "haveRspTail()";
    QCOMPARE(expected.size(), 83);
    const QMetaObject &meta = ASF_RMCP_Packet::staticMetaObject;
    QStringList slotList;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Slot && meta.method(i).access() == QMetaMethod::Public)
            slotList << QString::fromLatin1(meta.method(i).methodSignature());
    }
    QCOMPARE(slotList, expected);
}

void TestRmcpPacket::slotsReachTheirFields()
{
    // Every value as scripts get it, from a datagram whose fields all differ:
    // 32-bit values and Pad Length (0xFF, read signed) as numbers that do not
    // wrap. A slot of another return type fails the call.
    const QByteArray bytes = hex("01 02 03 04 00 00 11 be 40 05 07 10") + QByteArray(16, '\x01');
    const auto p = record(rsp(0x81020304, 0x0A0B0C0D, bytes, trailer("00 00 ff 09")), ProtocolRmcpRsp, 0);
    ASF_RMCP_Packet *r = p.get();
    QCOMPARE((QVariantList{call<int>(r, "getVersion"), call<int>(r, "getReserved1"), call<int>(r, "getSequenceNr"),
                           call<int>(r, "getMessageClass"), call<double>(r, "getIanaEnterpriseNr"),
                           call<int>(r, "getMessageType"), call<int>(r, "getMessageTag"), call<int>(r, "getReserved2"),
                           call<int>(r, "getDataLength"), call<QByteArray>(r, "getRmcpData"),
                           call<double>(r, "getRspSessionId"), call<double>(r, "getRspSequenceNumber"),
                           call<QByteArray>(r, "getRspPad"), call<double>(r, "getRspPadLength"),
                           call<int>(r, "getRspNextHeader"), call<QByteArray>(r, "getRspIntegrityData")}),
             (QVariantList{1, 2, 3, 4, 4542.0, 0x40, 5, 7, 16, QByteArray(16, '\x01'), double(0x81020304),
                           double(0x0A0B0C0D), QByteArray(2, '\0'), -1.0, 9, QByteArray(12, char(0xAA))}));
    QCOMPARE(call<QString>(r, "getRspPadLengthStatusText"), QStringLiteral("Length -1 not equal calculated length 2"));

    // Each field's slots reach that field; the record keeps the status its check gave it.
    for (int i = 0; i < FieldCount; ++i) {
        const QByteArray status = "set" + QByteArray(fieldName(FieldId(i))) + "Status", text = status + "Text";
        QVERIFY(QMetaObject::invokeMethod(r, status.constData(), Q_ARG(int, i % 2)));
        QVERIFY(QMetaObject::invokeMethod(r, text.constData(), Q_ARG(QString, QString::number(i))));
    }
    for (int i = 0; i < FieldCount; ++i) {
        const QByteArray name = fieldName(FieldId(i));
        QCOMPARE(r->fields().status(FieldId(i)).text, QString::number(i));
        QCOMPARE(call<QString>(r, "get" + name + "StatusText"), QString::number(i));
        QCOMPARE(call<int>(r, "get" + name + "Status"), i % 2);
    }
    QCOMPARE(r->status(), ASF_PACKET_ERROR);
}

void TestRmcpPacket::cloneKeepsEverything()
{
    const auto p = record(rsp(0x01020304, 0x0A0B0C0D, pong, trailer("00 00 02 06")), ProtocolRmcpRsp, 2);
    p->setTrailerLength(24);
    // Findings marked after the check, as a session or the handler do.
    p->setRspIntegrityDataStatusText(QStringLiteral("error: Integrity data mismatch"));
    p->setSequenceNrStatus(0);
    p->error(QStringLiteral("error: Integrity data mismatch"));

    const std::unique_ptr<ASF_Packet> copy = p->clone();
    auto *c = qobject_cast<ASF_RMCP_Packet *>(copy.get());
    QVERIFY(c);
    QCOMPARE(c->parent(), nullptr);
    // Parsed as a wrapped message (session ID, trailer), not as a plain one.
    const auto state = [](ASF_RMCP_Packet *r) {
        return QVariantList{r->timestamp(), r->protocolType(), r->protocol(), r->direction(), r->data(),
                            r->info(), r->status(), r->trailerLength(), r->getRspSessionId(), r->haveRspTail(),
                            r->getRspIntegrityDataStatusText(), r->getSequenceNrStatus(), r->textForm()};
    };
    QCOMPARE(state(c), state(p.get()));
}

void TestRmcpPacket::detailView()
{
    QWidget frame;
    frame.resize(900, 500);
    // Version error, Data Length warning: an Open Session Request of 24 bytes.
    const auto p = record(hex("05 00 05 06 00 00 11 be 83 07 00 18 11 22 33 44 01 00 00 08 01 00 00 00"
                              "02 00 00 08 01 00 00 00 aa bb cc dd"),
                          ProtocolRmcp, 0);
    QWidget *view = velquor::createRmcpView(*p, &frame);
    QVERIFY(qobject_cast<RMCP_Display *>(view) && view->parentWidget() == &frame);
    QCOMPARE(view->objectName() + QLatin1Char('|') + view->windowTitle(), QStringLiteral("RMCP_DISPLAY|RMCP Display"));
    QCOMPARE(shown(view, {"RCMPPacketVersion", "RCMPPacketReserved1", "RCMPPacketSequenceNr", "RCMPPacketMessageClass",
                          "RCMPPacketIANANr", "RCMPPacketMessageType", "RCMPPacketMessageTag", "RCMPPacketReserved2",
                          "RCMPPacketDataLength"}),
             QStringList({"<b> <font color=\"#5265d0\" size=\"+1\">RMCP: Open Session Request</font></b>",
                          "RCMPPacketDirectionReceived", "RCMPPacketTypeRequest",
                          "05|should be set to 0x06; ASF RMCP Version 1", "00|", "05|", "06|", "00 00 11 BE|",
                          "83|Open Session Request", "07|", "00|",
                          "18|Warning: Check data size for type of message"}));
    // The decoded data without leading tabs, undecoded bytes in labelled rows.
    QCOMPARE(view->findChild<QTextEdit *>("RCMPPacketData")->toPlainText(),
             QStringLiteral("Mgt Console Session ID: 11 22 33 44\nAuthentication Payload(s):\n"
                            "-\t01 00 00 08 01 00 00 00\nIntegrity Payload(s):\n-\t02 00 00 08 01 00 00 00\n"
                            "Unkown data:\n20 - 29:        AA BB CC DD"));
    // A plain message has no RSP part to show.
    QVERIFY(view->findChild<QWidget *>("RSP_Generic")->isHidden());

    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QColor plain = QLineEdit().palette().color(QPalette::Base);
    QCOMPARE(colour(view, "RCMPPacketVersion"), QColor(255, 85, 85));
    QCOMPARE(colour(view, "RCMPPacketDataLength"), QColor(255, 255, 127));
    QCOMPARE(colour(view, "RCMPPacketMessageTag"), plain);

    // The hex page, and back; retranslating keeps the button naming the other page.
    auto *button = view->findChild<QPushButton *>("displayHex_button");
    auto *stack = view->findChild<QStackedWidget *>();
    auto *hexEdit = view->findChild<QTextEdit *>("textEditHex");
    QCOMPARE(button->text(), QStringLiteral("Hex"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(stack->currentWidget()->isAncestorOf(hexEdit));
    QCOMPARE(hexEdit->toPlainText(), QStringLiteral("0 - 15:         05 00 05 06  00 00 11 be  83 07 00 18  11 22 33 44\n"
                                                    "16 - 31:        01 00 00 08  01 00 00 00  02 00 00 08  01 00 00 00\n"
                                                    "32 - 47:        aa bb cc dd"));
    QMetaObject::invokeMethod(view, "languageChange");
    QCOMPARE(button->text(), QStringLiteral("Info"));
    QMetaObject::invokeMethod(view, "displayHex");
    QCOMPARE(button->text(), QStringLiteral("Hex"));
    QVERIFY(stack->currentWidget()->isAncestorOf(view->findChild<QLineEdit *>("RCMPPacketVersion")));

    // The same view shows the next record afresh.
    const auto next = record(pong, ProtocolRmcp, 2);
    qobject_cast<RMCP_Display *>(view)->showModel(
        displayModel(next->fields(), next->data(), next->protocolType(), next->protocol(), 2));
    QCOMPARE(shown(view, {"RCMPPacketVersion"}).mid(1),
             QStringList({"RCMPPacketDirectionSent", "RCMPPacketTypeResponse", "06|"}));
    QCOMPARE(colour(view, "RCMPPacketVersion"), plain);
}

void TestRmcpPacket::wrappedAcknowledgeView()
{
    const auto p = record(rsp(0x01020304, 5, hex("06 00 09 86"), trailer("00 00 03 06")), ProtocolRmcpRsp, 2);
    std::unique_ptr<QWidget> view(velquor::createRmcpView(*p, nullptr));
    QVERIFY(!view->findChild<QWidget *>("RSP_Generic")->isHidden());
    // An acknowledge has no ASF header: its boxes stay empty.
    QCOMPARE(shown(view.get(), {"rspSessionID", "rspSequenceNumber", "rspPad", "rspPadLength", "rspNextHeader",
                                "rspIntegrityData", "RCMPPacketSequenceNr", "RCMPPacketIANANr"}),
             QStringList({"<b> <font color=\"#5265d0\" size=\"+1\">RMCP/RSP: Acknowledge</font></b>",
                          "RCMPPacketDirectionSent", "RCMPPacketTypeAck", "01 02 03 04|", "00 00 00 05|", "00 00|",
                          "03|Length 3 not equal calculated length 2", "06|", "AA AA AA AA AA AA AA AA AA AA AA AA|",
                          "09|", "|"}));

    // Without its trailer, the trailer boxes are marked.
    const QByteArray cut = rsp(1, 0, message(TypePresencePing), hex("00 00 02"));
    const DisplayModel m = displayModel(check(cut, ProtocolRmcpRsp).fields, cut, ProtocolRmcpRsp, "RMCP/RSP", 0);
    for (FieldId id : {FieldId::RspPad, FieldId::RspPadLength, FieldId::RspNextHeader, FieldId::RspIntegrityData})
        QCOMPARE(QString::number(m.box(id).status) + m.box(id).toolTip, QStringLiteral("-1missing or wrong packet size"));
    QCOMPARE(m.box(FieldId::RspSessionId).status, ASF_PACKET_OK);
}

QTEST_MAIN(TestRmcpPacket)
#include "tst_rmcppacket.moc"
