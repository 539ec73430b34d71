// The PET page wired to the real PET handler: start-up defaults, connecting
// from the page, traffic into the page's log, the detail view, clear and save.

#include "core/asflogger.h"
#include "core/packetstatus.h"
#include "pet/asfpethandler.h"
#include "app/mainwidow.h"
#include "core/packetlogmodel.h"
#include "core/packetlogview.h"
#include "pet/petconfig.h"
#include "app/petpagehandler.h"
#include "support/pettrapbuilder.h"
#include "app/standardhandlers.h"
#include "core/tracelog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QtTest>

using namespace velquor;

namespace {

ASF_PET_Handler *petHandler(MainWidow &w)
{
    auto *adapter = static_cast<PetPageHandler *>(w.pageHandler(MainWidow::PetPageId));
    return adapter ? adapter->handler() : nullptr;
}

} // namespace

class TestPetPage : public QObject
{
    Q_OBJECT

private slots:
    void startupShowsTheDialogDefaults();
    void connectFromThePageMirrorsTheDialog();
    void trafficLandsInThePageLogWithDetailView();
    void secondPressShowsTheConfiguration();
    void clearAndSaveReachTheHandler();
};

void TestPetPage::startupShowsTheDialogDefaults()
{
    MainWidow w;
    registerStandardHandlers(w);
    const PetPage &page = w.petPage();
    page.PETIPPort_2->setText(QStringLiteral("999")); // overwritten by the dialog's value
    w.show();
    QTRY_VERIFY(w.traceLog()->isInstalled());
    ASF_PET_Handler *pet = petHandler(w);
    QVERIFY(pet);
    QCOMPARE(page.PETIPAdr->text(), QString());
    QCOMPARE(page.PETIPPort_2->text(), QStringLiteral("162"));
    QCOMPARE(page.PETHeartbeatInterval->text(), QStringLiteral("10"));
    QCOMPARE(page.PETHeartbeatInterval_2->text(), QStringLiteral("0.5"));
    QCOMPARE(page.status_textLabel->text(), QStringLiteral("not listening"));
    QVERIFY(!page.PETHeartbeat->isChecked());
    QVERIFY(!pet->isListening());
    QVERIFY(pet->logView()->listView());
    QCOMPARE(pet->logView()->listView()->parentWidget(), page.PET_ShowLog_Frame);
    QVERIFY(!pet->dialog()->isVisible()); // the start-up only fills it
}

void TestPetPage::connectFromThePageMirrorsTheDialog()
{
    MainWidow w;
    registerStandardHandlers(w);
    w.show();
    QTRY_VERIFY(w.traceLog()->isInstalled());
    const PetPage &page = w.petPage();
    ASF_PET_Handler *pet = petHandler(w);

    page.PETIPAdr->setText(QStringLiteral("not an address"));
    QTest::mouseClick(page.PETConfigConnect_Button, Qt::LeftButton);
    QCOMPARE(page.status_textLabel->text(), QStringLiteral("error: bad IP address"));
    QCOMPARE(pet->statusLampImage(), QStringLiteral("ledred.png"));
    QVERIFY(!pet->isListening());

    page.PETIPAdr->setText(QStringLiteral("127.0.0.1"));
    page.PETIPPort_2->setText(QStringLiteral("0")); // any free port
    QTest::mouseClick(page.PETConfigConnect_Button, Qt::LeftButton);
    QCOMPARE(page.status_textLabel->text(), QStringLiteral("Connected"));
    QCOMPARE(page.PETConfigConnect_Button->text(), QStringLiteral("Reconnect"));
    QCOMPARE(pet->dialog()->PETIPAdr->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(page.PETIPAddress->text(), QStringLiteral("127.0.0.1"));
    QVERIFY(page.PETIPPort->text().toInt() > 0);
    QCOMPARE(pet->statusLampImage(), QStringLiteral("ledgreen.png"));
    QVERIFY(pet->isListening());

    // Connecting in the dialog itself shows on the page as well.
    PETConfig *dialog = pet->dialog();
    dialog->PETIPAdr->setText(QStringLiteral("bad"));
    QTest::mouseClick(dialog->PETConfigConnect_Button, Qt::LeftButton);
    QCOMPARE(page.status_textLabel->text(), QStringLiteral("error: bad IP address"));
    QCOMPARE(page.PETIPAdr->text(), QStringLiteral("bad"));
}

void TestPetPage::trafficLandsInThePageLogWithDetailView()
{
    MainWidow w;
    registerStandardHandlers(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());
    const PetPage &page = w.petPage();
    ASF_PET_Handler *pet = petHandler(w);
    page.PETIPAdr->setText(QStringLiteral("127.0.0.1"));
    page.PETIPPort_2->setText(QStringLiteral("0"));
    QTest::mouseClick(page.PETConfigConnect_Button, Qt::LeftButton);
    QVERIFY(pet->isListening());

    QUdpSocket sender;
    const quint16 port = quint16(page.PETIPPort->text().toUInt());
    QCOMPARE(sender.writeDatagram(pettest::validTrap(), QHostAddress::LocalHost, port),
             qint64(pettest::validTrap().size()));
    PacketLogModel *model = pet->logger()->model();
    QTRY_COMPARE(model->size(), 1);
    QCOMPARE(model->rowTexts(0).protocol, QStringLiteral("PET"));
    QCOMPARE(model->rowTexts(0).direction, QStringLiteral("received"));
    QCOMPARE(model->rowStatus(0), int(ASF_PACKET_OK));

    // The detail frame stays out of the way until a row is activated.
    QVERIFY(!page.PET_ShowPacket_Frame->isVisible());
    QTreeView *list = pet->logView()->listView();
    QTRY_VERIFY(list->visualRect(model->index(0, 0)).isValid());
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->visualRect(model->index(0, 1)).center());
    QVERIFY(page.PET_ShowPacket_Frame->isVisible());
    auto *tree = page.PET_ShowPacket_Frame->findChild<QTreeWidget *>(QStringLiteral("listView"));
    QVERIFY(tree);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("PLATFORM EVENT TRAP"));
}

void TestPetPage::secondPressShowsTheConfiguration()
{
    MainWidow w;
    registerStandardHandlers(w);
    w.show();
    QTRY_VERIFY(w.traceLog()->isInstalled());
    QCOMPARE(w.widgetStack()->currentIndex(), int(MainWidow::PetPageId));
    QTest::mouseClick(w.pageButton(MainWidow::PetPageId), Qt::LeftButton);
    PETConfig *dialog = petHandler(w)->dialog();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Configure PET"));
    w._closeMain();
    QVERIFY(!dialog->isVisible());
}

void TestPetPage::clearAndSaveReachTheHandler()
{
    QTemporaryDir dir;
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QDir().mkdir(QStringLiteral("log"));
    {
        MainWidow w;
        registerStandardHandlers(w);
        w.show();
        QTRY_VERIFY(w.traceLog()->isInstalled());
        ASF_PET_Handler *pet = petHandler(w);
        pet->receiveDatagram(pettest::validTrap());
        pet->receiveDatagram(QByteArray()); // an empty datagram is logged too
        QCOMPARE(pet->logger()->model()->size(), 2);

        QTest::mouseClick(w.petPage().savePETLogButton, Qt::LeftButton);
        const QString saved = pet->logger()->lastFileName();
        QVERIFY2(saved.startsWith(QStringLiteral("log/PET.")), qPrintable(saved));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("  PLATFORM EVENT TRAP\n"));
        QCOMPARE(text.count("|     status/info: "), 2);
        QCOMPARE(pet->logger()->model()->size(), 3); // the save is listed

        QTest::mouseClick(w.petPage().clearLog_button, Qt::LeftButton);
        QCOMPARE(pet->logger()->model()->size(), 0);
    }
    QDir::setCurrent(oldCwd);
}

QTEST_MAIN(TestPetPage)
#include "tst_petpage.moc"
