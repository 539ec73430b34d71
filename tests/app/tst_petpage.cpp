// The PET page and its dialog wired to the real PET handler: start-up
// defaults, connecting from the page or the dialog, the lamps, the heartbeat
// fields, traffic into the page's log, the detail view, clear and save.

#include "app/mainwidow.h"
#include "app/petpagehandler.h"
#include "app/standardhandlers.h"
#include "core/asflogger.h"
#include "core/imagesource.h"
#include "core/packetlogmodel.h"
#include "core/packetlogview.h"
#include "core/tracelog.h"
#include "pet/asfpethandler.h"
#include "pet/petconfig.h"
#include "support/pettrapbuilder.h"
#include "support/workdir.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QtTest>

using namespace velquor;

namespace {

// The workbench with its PET page running.
struct Workbench
{
    MainWidow w;
    PetPageHandler *pet = nullptr;

    bool start()
    {
        registerStandardHandlers(w);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w) || !QTest::qWaitFor([this] { return w.traceLog()->isInstalled(); }))
            return false;
        pet = static_cast<PetPageHandler *>(w.pageHandler(MainWidow::PetPageId));
        return pet != nullptr;
    }
    const PetPage &page() const { return w.petPage(); }
    PETConfig *dialog() const { return pet->dialog(); }
    ASF_PET_Handler *handler() const { return pet->handler(); }
    void connectFromPage(const QString &address, const QString &port = QStringLiteral("0"))
    {
        page().PETIPAdr->setText(address);
        page().PETIPPort_2->setText(port);
        QTest::mouseClick(page().PETConfigConnect_Button, Qt::LeftButton);
    }
};

bool shows(const QLabel *lamp, const char *image)
{
    return lamp->pixmap().toImage() == velquor::image(QLatin1String(image)).toImage();
}

} // namespace

class TestPetPage : public QObject
{
    Q_OBJECT

private slots:
    void startupShowsTheDialogDefaults();
    void connectingShowsOnPageAndDialog();
    void heartbeatFieldsReachTheHandler();
    void trafficLandsInThePageLogWithDetailView();
    void clearAndSaveReachTheHandler();
};

void TestPetPage::startupShowsTheDialogDefaults()
{
    Workbench b;
    b.w.petPage().PETIPPort_2->setText(QStringLiteral("999")); // overwritten by the dialog's value
    QVERIFY(b.start());
    const PetPage &page = b.page();
    QCOMPARE(QStringList({page.PETIPAdr->text(), page.PETIPPort_2->text(), page.PETHeartbeatInterval->text(),
                          page.PETHeartbeatInterval_2->text(), page.status_textLabel->text()}),
             QStringList({"", "162", "10", "0.5", "not listening"}));
    QVERIFY(!page.PETHeartbeat->isChecked());
    QVERIFY(!b.handler()->isListening());
    QCOMPARE(b.pet->logView()->listView()->parentWidget(), page.PET_ShowLog_Frame);
    QVERIFY(!b.dialog()->isVisible()); // the start-up only fills it

    // A second press on the page button shows the dialog; quitting closes it.
    QTest::mouseClick(b.w.pageButton(MainWidow::PetPageId), Qt::LeftButton);
    QVERIFY(b.dialog()->isVisible());
    b.w._closeMain();
    QVERIFY(!b.dialog()->isVisible());
}

void TestPetPage::connectingShowsOnPageAndDialog()
{
    Workbench b;
    QVERIFY(b.start());
    const PetPage &page = b.page();
    page.PETIPAddress->setText(QStringLiteral("10.0.0.1"));
    b.connectFromPage(QStringLiteral("not an address"));
    QCOMPARE(page.status_textLabel->text(), QStringLiteral("error: bad IP address"));
    QCOMPARE(page.PETIPAddress->text(), QStringLiteral("0.0.0.0"));
    QVERIFY(shows(page.PETStatusLED, "ledred.png"));

    b.connectFromPage(QStringLiteral("127.0.0.1"));
    QCOMPARE(page.status_textLabel->text(), QStringLiteral("Connected"));
    QCOMPARE(page.PETConfigConnect_Button->text(), QStringLiteral("Reconnect"));
    QCOMPARE(b.dialog()->PETIPAdr->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(page.PETIPAddress->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(page.PETIPPort->text(), QString::number(b.handler()->socket()->localPort()));
    QVERIFY(shows(page.PETStatusLED, "ledgreen.png"));

    // A failed bind: the button offers to connect again.
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::LocalHost, 0));
    b.connectFromPage(QStringLiteral("127.0.0.1"), QString::number(holder.localPort()));
    QCOMPARE(page.status_textLabel->text(), QStringLiteral("error: device is already bound"));
    QCOMPARE(b.dialog()->PETConfigConnect_Button->text(), QStringLiteral("Connect"));
    QCOMPARE(page.PETConfigConnect_Button->text(), QStringLiteral("Connect"));
    QVERIFY(shows(page.PETStatusLED, "ledred.png"));

    // Connecting in the dialog itself shows on the page as well.
    b.dialog()->PETIPAdr->setText(QStringLiteral("bad"));
    QTest::mouseClick(b.dialog()->PETConfigConnect_Button, Qt::LeftButton);
    QCOMPARE(page.status_textLabel->text(), QStringLiteral("error: bad IP address"));
    QCOMPARE(page.PETIPAdr->text(), QStringLiteral("bad"));
}

void TestPetPage::heartbeatFieldsReachTheHandler()
{
    Workbench b;
    QVERIFY(b.start());
    PETConfig *dialog = b.dialog();
    // The radio button enables the interval with it.
    dialog->PETHeartbeat->click();
    QVERIFY(dialog->PETHeartbeatInterval->isEnabled());
    dialog->PETHeartbeat->click();
    QVERIFY(!dialog->PETHeartbeatInterval->isEnabled());

    // OK hands the fields to the handler; the lamp on the page follows it.
    dialog->PETHeartbeat->setChecked(true);
    dialog->PETHeartbeatInterval->setText(QStringLiteral("2"));
    dialog->PETHeartbeatInterval_2->setText(QStringLiteral("0.25"));
    QTest::mouseClick(dialog->buttonOk, Qt::LeftButton);
    QCOMPARE(b.handler()->heartbeatInterval(), 120000u);
    QCOMPARE(b.handler()->timerInterval(), 14999);
    QVERIFY(shows(b.page().PETHeartbeatLED, "ledgreen.png"));
    QCOMPARE(b.page().PETHeartbeatInterval->text(), QStringLiteral("2"));

    // configure() fills the dialog from the settings in force.
    dialog->PETHeartbeat->setChecked(false);
    dialog->PETHeartbeatInterval->setText(QStringLiteral("99"));
    b.w.pet_config();
    QVERIFY(dialog->PETHeartbeat->isChecked());
    QCOMPARE(dialog->PETHeartbeatInterval->text(), QStringLiteral("2"));

    // From the page, the heartbeat settings apply even when the bind fails.
    b.page().PETHeartbeat->setChecked(false);
    b.connectFromPage(QStringLiteral("bad"));
    QVERIFY(!b.handler()->heartbeatCheck());
    QVERIFY(shows(b.page().PETHeartbeatLED, "ledoff.png"));
}

void TestPetPage::trafficLandsInThePageLogWithDetailView()
{
    Workbench b;
    QVERIFY(b.start());
    const PetPage &page = b.page();
    b.connectFromPage(QStringLiteral("127.0.0.1"));
    QUdpSocket sender;
    QCOMPARE(sender.writeDatagram(pettest::validTrap(), QHostAddress::LocalHost, b.handler()->socket()->localPort()),
             qint64(pettest::validTrap().size()));
    PacketLogModel *model = b.handler()->logger()->model();
    QTRY_COMPARE(model->rowCount(), 1);
    QCOMPARE(model->rowTexts(0).protocol + '|' + model->rowTexts(0).direction, QStringLiteral("PET|received"));
    QTRY_VERIFY(shows(page.pixmapLabel1, "ledgreen.png"));
    QTRY_VERIFY(shows(page.pixmapLabel1, "ledoff.png"));

    // The detail frame stays out of the way until a row is activated; then
    // it shows the trap's tree.
    QVERIFY(!page.PET_ShowPacket_Frame->isVisible());
    QTreeView *list = b.pet->logView()->listView();
    QTRY_VERIFY(list->visualRect(model->index(0, 0)).isValid());
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->visualRect(model->index(0, 1)).center());
    QVERIFY(page.PET_ShowPacket_Frame->isVisible());
    auto *tree = page.PET_ShowPacket_Frame->findChild<QTreeWidget *>(QStringLiteral("listView"));
    QVERIFY(tree);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("PLATFORM EVENT TRAP"));
}

void TestPetPage::clearAndSaveReachTheHandler()
{
    velquor::test::WorkingDirectory dir;
    {
        Workbench b;
        QVERIFY(b.start());
        ASF_PET_Handler *pet = b.handler();
        pet->receiveDatagram(pettest::validTrap());
        pet->receiveDatagram(QByteArray()); // an empty datagram is logged too

        QTest::mouseClick(b.page().savePETLogButton, Qt::LeftButton);
        QFile file(pet->logger()->lastFileName());
        QVERIFY2(file.fileName().startsWith(QStringLiteral("log/PET.")), qPrintable(file.fileName()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("  PLATFORM EVENT TRAP\n"));
        QCOMPARE(text.count("|     status/info: "), 2);
        QCOMPARE(pet->logger()->model()->size(), 3); // the save is listed

        QTest::mouseClick(b.page().clearLog_button, Qt::LeftButton);
        QCOMPARE(pet->logger()->model()->size(), 0);
    }
}

QTEST_MAIN(TestPetPage)
#include "tst_petpage.moc"
