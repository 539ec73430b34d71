// The detail view of an RMCP record, rendered offscreen.

#include "asfrmcppacket.h"
#include "rmcpcompose.h"
#include "rmcpdisplay.h"
#include "rmcpdisplaymodel.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QtTest>

using namespace velquor::rmcp;

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

const QColor warningColour(255, 255, 127);
const QColor errorColour(255, 85, 85);

QColor base(QWidget *w) { return w->palette().color(QPalette::Base); }

template <typename T>
T *child(QWidget *view, const char *name)
{
    T *w = view->findChild<T *>(QLatin1String(name));
    if (!w)
        qWarning("no child %s", name);
    return w;
}

} // namespace

class TestRmcpDisplay : public QObject
{
    Q_OBJECT

private slots:
    void plainMessage();
    void wrappedAcknowledge();
    void missingTrailer();
    void hexToggle();
    void renderedColours();
};

void TestRmcpDisplay::plainMessage()
{
    QWidget frame;
    ASF_RMCP_Packet p(0);
    p.setDirection(0);
    // Version error, data length warning (Open Session Request with 24 bytes).
    p.setData(hex("05 00 05 06 00 00 11 be 83 07 00 18 11 22 33 44") + QByteArray(20, '\0'));
    std::unique_ptr<QWidget> view(p.createView(&frame));

    QVERIFY(qobject_cast<RMCP_Display *>(view.get()));
    QCOMPARE(view->objectName(), QStringLiteral("RMCP_DISPLAY"));
    QCOMPARE(view->parentWidget(), &frame);
    QCOMPARE(view->windowTitle(), QStringLiteral("RMCP Display"));
    QCOMPARE(child<QLabel>(view.get(), "titleLabel")->text(),
             QStringLiteral("<b> <font color=\"#5265d0\" size=\"+1\">RMCP: Open Session Request</font></b>"));
    QVERIFY(child<QRadioButton>(view.get(), "RCMPPacketDirectionReceived")->isChecked());
    QVERIFY(!child<QRadioButton>(view.get(), "RCMPPacketDirectionSent")->isChecked());
    QVERIFY(child<QRadioButton>(view.get(), "RCMPPacketTypeRequest")->isChecked());
    QVERIFY(!child<QRadioButton>(view.get(), "RCMPPacketTypeResponse")->isChecked());
    QVERIFY(!child<QRadioButton>(view.get(), "RCMPPacketTypeAck")->isChecked());

    auto *version = child<QLineEdit>(view.get(), "RCMPPacketVersion");
    QCOMPARE(version->text(), QStringLiteral("05"));
    QCOMPARE(version->toolTip(), QStringLiteral("should be set to 0x06; ASF RMCP Version 1"));
    QCOMPARE(base(version), errorColour);
    auto *length = child<QLineEdit>(view.get(), "RCMPPacketDataLength");
    QCOMPARE(length->text(), QStringLiteral("18"));
    QCOMPARE(base(length), warningColour);
    QCOMPARE(length->toolTip(), QStringLiteral("Warning: Check data size for type of message"));
    auto *type = child<QLineEdit>(view.get(), "RCMPPacketMessageType");
    QCOMPARE(type->text(), QStringLiteral("83"));
    QCOMPARE(type->toolTip(), QStringLiteral("Open Session Request"));
    auto *iana = child<QLineEdit>(view.get(), "RCMPPacketIANANr");
    QCOMPARE(iana->text(), QStringLiteral("00 00 11 BE"));
    QLineEdit plainEdit;
    QCOMPARE(base(iana), base(&plainEdit));
    QCOMPARE(child<QLineEdit>(view.get(), "RCMPPacketReserved1")->text(), QStringLiteral("00"));
    QCOMPARE(child<QLineEdit>(view.get(), "RCMPPacketSequenceNr")->text(), QStringLiteral("05"));
    QCOMPARE(child<QLineEdit>(view.get(), "RCMPPacketMessageClass")->text(), QStringLiteral("06"));
    QCOMPARE(child<QLineEdit>(view.get(), "RCMPPacketMessageTag")->text(), QStringLiteral("07"));
    QCOMPARE(child<QLineEdit>(view.get(), "RCMPPacketReserved2")->text(), QStringLiteral("00"));
    QVERIFY(child<QTextEdit>(view.get(), "RCMPPacketData")
                ->toPlainText()
                .startsWith(QStringLiteral("Mgt Console Session ID: 11 22 33 44\nAuthentication Payload(s):\n")));
    // A plain message has no RSP part to show.
    QVERIFY(child<QFrame>(view.get(), "RSP_Generic")->isHidden());

    // The same view shows the next record afresh.
    ASF_RMCP_Packet pong(0);
    pong.setData(hex("06 00 05 06 00 00 11 be 40 07 00 10") + QByteArray(16, '\0'));
    auto *display = qobject_cast<RMCP_Display *>(view.get());
    display->showModel(displayModel(pong.fields(), pong.data(), pong.protocolType(), pong.protocol(), 0));
    QVERIFY(child<QRadioButton>(view.get(), "RCMPPacketTypeResponse")->isChecked());
    QVERIFY(!child<QRadioButton>(view.get(), "RCMPPacketTypeRequest")->isChecked());
    QCOMPARE(base(version), base(&plainEdit));
    QCOMPARE(version->toolTip(), QString());
}

void TestRmcpDisplay::wrappedAcknowledge()
{
    ASF_RMCP_Packet p(0);
    p.setProtocolType(4);
    p.setProtocol(QStringLiteral("RMCP/RSP"));
    p.setDirection(2);
    RspWrap wrap;
    wrap.sessionId = 0x01020304;
    wrap.sequenceNumber = 5;
    wrap.padLength = 3;
    wrap.integrityData = falseIntegrityData();
    p.setData(composeRspMessage(composeAcknowledge(9), wrap));
    std::unique_ptr<QWidget> view(p.createView(nullptr));

    QCOMPARE(child<QLabel>(view.get(), "titleLabel")->text(),
             QStringLiteral("<b> <font color=\"#5265d0\" size=\"+1\">RMCP/RSP: Acknowledge</font></b>"));
    QVERIFY(child<QRadioButton>(view.get(), "RCMPPacketDirectionSent")->isChecked());
    QVERIFY(child<QRadioButton>(view.get(), "RCMPPacketTypeAck")->isChecked());
    QVERIFY(!child<QFrame>(view.get(), "RSP_Generic")->isHidden());
    QCOMPARE(child<QLineEdit>(view.get(), "rspSessionID")->text(), QStringLiteral("01 02 03 04"));
    QCOMPARE(child<QLineEdit>(view.get(), "rspSequenceNumber")->text(), QStringLiteral("00 00 00 05"));
    QCOMPARE(child<QLineEdit>(view.get(), "rspPad")->text(), QStringLiteral("00 00"));
    QCOMPARE(child<QLineEdit>(view.get(), "rspNextHeader")->text(), QStringLiteral("06"));
    QCOMPARE(child<QLineEdit>(view.get(), "rspIntegrityData")->text(),
             QStringLiteral("0D 0E 0A 0D 0B 0E 0E 0F 0D 0E 0A 0D"));
    auto *padLength = child<QLineEdit>(view.get(), "rspPadLength");
    QCOMPARE(padLength->text(), QStringLiteral("03"));
    QCOMPARE(base(padLength), errorColour);
    QCOMPARE(padLength->toolTip(), QStringLiteral("Length 3 not equal calculated length 2"));
    QCOMPARE(child<QLineEdit>(view.get(), "RCMPPacketSequenceNr")->text(), QStringLiteral("09"));
    QCOMPARE(child<QLineEdit>(view.get(), "RCMPPacketIANANr")->text(), QString());
}

void TestRmcpDisplay::missingTrailer()
{
    ASF_RMCP_Packet p(0);
    p.setProtocolType(4);
    p.setProtocol(QStringLiteral("RMCP/RSP"));
    RspWrap wrap;
    wrap.sessionId = 1;
    p.setData(composeRspMessage(composeRequest(SendListRequest::PresencePing, 1, 2), wrap).chopped(2));
    std::unique_ptr<QWidget> view(p.createView(nullptr));
    for (const char *name : {"rspPad", "rspPadLength", "rspNextHeader", "rspIntegrityData"}) {
        auto *box = child<QLineEdit>(view.get(), name);
        QCOMPARE(base(box), errorColour);
        QCOMPARE(box->toolTip(), QStringLiteral("missing or wrong packet size"));
    }
    QCOMPARE(base(child<QLineEdit>(view.get(), "RCMPPacketDataLength")), errorColour);
    QCOMPARE(child<QLineEdit>(view.get(), "rspSessionID")->toolTip(), QString());
}

void TestRmcpDisplay::hexToggle()
{
    ASF_RMCP_Packet p(0);
    p.setData(composeRequest(SendListRequest::CapabilitiesRequest, 0x10, 0x20) + hex("ff ee ee ee ee"));
    std::unique_ptr<QWidget> view(p.createView(nullptr));
    auto *button = child<QPushButton>(view.get(), "displayHex_button");
    auto *stack = view->findChild<QStackedWidget *>();
    auto *hexEdit = child<QTextEdit>(view.get(), "textEditHex");
    QCOMPARE(button->text(), QStringLiteral("Hex"));
    QVERIFY(!stack->currentWidget()->isAncestorOf(hexEdit));

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("Info"));
    QVERIFY(stack->currentWidget()->isAncestorOf(hexEdit));
    QCOMPARE(hexEdit->toPlainText(), QStringLiteral("0 - 15:         06 00 10 06  00 00 11 be  81 20 00 00  ff ee ee ee\n"
                                                    "16 - 31:        ee"));
    QCOMPARE(hexEdit->font().family(), QStringLiteral("Courier"));

    QMetaObject::invokeMethod(view.get(), "displayHex");
    QCOMPARE(button->text(), QStringLiteral("Hex"));
    QVERIFY(stack->currentWidget()->isAncestorOf(child<QLineEdit>(view.get(), "RCMPPacketVersion")));
    // Retranslating keeps the button naming the other page.
    QMetaObject::invokeMethod(view.get(), "languageChange");
    QCOMPARE(button->text(), QStringLiteral("Hex"));
}

void TestRmcpDisplay::renderedColours()
{
    ASF_RMCP_Packet p(0);
    p.setData(hex("05 00 05 06 00 00 11 be 83 07 00 18") + QByteArray(24, '\0'));
    std::unique_ptr<QWidget> view(p.createView(nullptr));
    view->resize(900, 500);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    // Sample inside the frame, left of any text.
    const auto pixel = [](QWidget *w) { return QColor(w->grab().toImage().pixel(3, w->height() / 2)); };
    QCOMPARE(pixel(child<QLineEdit>(view.get(), "RCMPPacketVersion")), errorColour);
    QCOMPARE(pixel(child<QLineEdit>(view.get(), "RCMPPacketDataLength")), warningColour);
    QLineEdit plainEdit;
    QCOMPARE(pixel(child<QLineEdit>(view.get(), "RCMPPacketMessageTag")), base(&plainEdit));
}

QTEST_MAIN(TestRmcpDisplay)
#include "tst_rmcpdisplay.moc"
