#include "core/asflogger.h"
#include "core/asfpacket.h"
#include "support/capture.h"
#include "core/packetlogmodel.h"

#include <QApplication>
#include <QFrame>
#include <QItemSelectionModel>
#include <QLayout>
#include <QSignalSpy>
#include <QTextEdit>
#include <QTreeView>
#include <QtTest>

using namespace velquor;
using velquor::test::TraceCapture;

namespace {

std::unique_ptr<ASF_Packet> packet(quint32 ts, const QByteArray &bytes = QByteArray::fromHex("01020304"))
{
    auto p = std::make_unique<ASF_Packet>(ts);
    p->setData(bytes);
    p->setDirection(ASF_Packet::Received);
    p->setProtocol(QStringLiteral("PET"));
    return p;
}

// A logger placed in two frames, as a page sets it up.
struct LoggedPage
{
    QWidget window;
    QFrame *logFrame = new QFrame(&window);
    QFrame *packetFrame = new QFrame(&window);
    ManualLogClock clock;
    ASF_Logger logger;

    LoggedPage()
    {
        logger.setObjectName(QStringLiteral("PET"));
        logger.setLogFrame(logFrame);
        logger.setPacketFrame(packetFrame);
        logger.initList();
        logger.setTimeBase(&clock);
        logFrame->setGeometry(0, 0, 600, 300);
        packetFrame->setGeometry(0, 300, 600, 200);
        window.resize(600, 500);
    }
    PacketLogModel *model() const { return logger.model(); }
    QString cell(int row, int column) const
    {
        return model()->data(model()->index(row, column), Qt::DisplayRole).toString();
    }
};

} // namespace

class TestPacketLogger : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_trace = std::make_unique<TraceCapture>(); }
    void cleanup() { m_trace.reset(); }

    void rowsShowTheRecordAsAppended();
    void listViewIsBuiltInTheFrame();
    void rowLimits_data();
    void rowLimits();
    void limitLineSignalsTwiceForOneAppend();
    void clearRestartsNumberingButKeepsLastPacket();
    void setMaxSizeClearsRows();
    void loggerWithoutFrameRefuses();
    void logLineSplitting_data();
    void logLineSplitting();
    void logLinesAreCutAt1000Bytes();
    void appendTracesOneLineByStatus();
    void autoFollowKeepsUserSelection();
    void activationShowsDetailView();
    void sortingByColumnKeepsRowsAndFollowsNewOnes();

private:
    std::unique_ptr<TraceCapture> m_trace;
};

void TestPacketLogger::rowsShowTheRecordAsAppended()
{
    LoggedPage page;
    auto p = packet(3723004);
    p->setInfo(QStringLiteral("first"));
    p->setWarning();
    ASF_Packet *raw = p.get();
    QVERIFY(page.logger.appendPacket(std::move(p)));
    QCOMPARE(page.cell(0, 0), QStringLiteral("    1"));
    QCOMPARE(page.cell(0, 1), QStringLiteral("PET"));
    QCOMPARE(page.cell(0, 2), QStringLiteral("01:02:03:004"));
    QCOMPARE(page.cell(0, 3), QStringLiteral("received"));
    QCOMPARE(page.cell(0, 4), QStringLiteral("first"));
    QVERIFY(!page.model()->data(page.model()->index(0, 4), Qt::DecorationRole).value<QIcon>().isNull());

    // Later changes of the record do not change its row.
    raw->setInfo(QStringLiteral("changed"));
    raw->setOk();
    QCOMPARE(page.cell(0, 4), QStringLiteral("first"));
    QCOMPARE(page.model()->rowStatus(0), ASF_PACKET_WARNING);

    page.logger.appendPacket(packet(5));
    QVERIFY(page.model()->data(page.model()->index(1, 4), Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(page.logger.getLastAsfPacket()->timestamp(), 5u);
    QCOMPARE(page.model()->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Status/Info"));
}

void TestPacketLogger::listViewIsBuiltInTheFrame()
{
    LoggedPage page;
    QTreeView *list = page.logger.listView();
    QVERIFY(list);
    QCOMPARE(list->parentWidget(), page.logFrame);
    QCOMPARE(page.logFrame->layout()->objectName(), QStringLiteral("LogShow_FrameLayout"));
    QCOMPARE(page.packetFrame->layout()->objectName(), QStringLiteral("LogShowPacket_FrameLayout"));
    QVERIFY(page.logger.initList()); // a second call keeps the view
    QCOMPARE(page.logger.listView(), list);
}

void TestPacketLogger::rowLimits_data()
{
    QTest::addColumn<unsigned>("maxPackets");
    QTest::addColumn<int>("appended");
    QTest::addColumn<QStringList>("infos");
    QTest::newRow("0: nothing is listed") << 0u << 4 << QStringList{};
    QTest::newRow("1: one row, no limit line") << 1u << 4 << QStringList{"r0"};
    QTest::newRow("3: two rows and the limit line")
        << 3u << 5 << QStringList{"r0", "r1", "maximum number of packets reached (3), clear log to continue"};
}

void TestPacketLogger::rowLimits()
{
    QFETCH(unsigned, maxPackets);
    QFETCH(int, appended);
    QFETCH(QStringList, infos);
    LoggedPage page;
    page.logger.setMaxSize(maxPackets);
    QSignalSpy spy(&page.logger, &ASF_Logger::newPacketSignal);
    int accepted = 0;
    for (int i = 0; i < appended; ++i) {
        auto p = packet(quint32(i));
        p->setInfo(QStringLiteral("r%1").arg(i));
        accepted += page.logger.appendPacket(std::move(p)) ? 1 : 0;
    }
    QStringList listed;
    for (int row = 0; row < page.model()->size(); ++row)
        listed << page.cell(row, 4);
    QCOMPARE(listed, infos);
    QCOMPARE(spy.count(), infos.size());
    if (maxPackets == 3) {
        QCOMPARE(page.cell(2, 0), QStringLiteral("    3"));
        QCOMPARE(page.model()->rowStatus(2), ASF_PACKET_ERROR);
        auto *limit = qobject_cast<ASF_LogPacket *>(page.model()->packetAt(2));
        QVERIFY(limit);
        QCOMPARE(limit->logMessage(), QStringLiteral("maximum number of packets reached (3)\n clear log to continue"));
        QCOMPARE(accepted, 2);
    }
    // Refused records do not become the last packet.
    if (!infos.isEmpty() && maxPackets == 1)
        QCOMPARE(page.logger.getLastAsfPacket()->info(), QStringLiteral("r0"));
    if (maxPackets == 0)
        QCOMPARE(page.logger.getLastAsfPacket(), nullptr);
}

void TestPacketLogger::limitLineSignalsTwiceForOneAppend()
{
    LoggedPage page;
    page.logger.setMaxSize(3);
    page.logger.appendPacket(packet(1));
    QStringList order;
    connect(&page.logger, &ASF_Logger::newPacketSignal, this,
            [&] { order << page.logger.getLastAsfPacket()->protocol(); });
    page.logger.appendPacket(packet(2));
    // The limit line is appended (and announced) inside the second append, so
    // the signal fires twice in a row and the last packet is the limit line.
    QCOMPARE(order, (QStringList{"LOG", "LOG"}));
    QCOMPARE(page.logger.getLastAsfPacket()->protocol(), QStringLiteral("LOG"));
}

void TestPacketLogger::clearRestartsNumberingButKeepsLastPacket()
{
    LoggedPage page;
    page.logger.appendPacket(packet(1));
    page.logger.appendPacket(packet(2, QByteArray::fromHex("aabb")));
    QPointer<ASF_Packet> last = page.logger.getLastAsfPacket();
    QPointer<ASF_Packet> first = page.model()->packetAt(0);
    page.logger.clearLog();
    QCOMPARE(page.model()->size(), 0);
    QVERIFY(last); // still alive after the clear
    QVERIFY(!first); // the other listed records were released
    QCOMPARE(page.logger.getLastPacketData(), QByteArray::fromHex("aabb"));
    page.logger.appendPacket(packet(3));
    QCOMPARE(page.cell(0, 0), QStringLiteral("    1"));
    QVERIFY(!last); // replaced by the new last packet

    ASF_Logger fresh;
    QCOMPARE(fresh.getLastPacketData(), QByteArray());
    QCOMPARE(fresh.getLastAsfPacket(), nullptr);
}

void TestPacketLogger::setMaxSizeClearsRows()
{
    LoggedPage page;
    for (int i = 0; i < 3; ++i)
        page.logger.appendPacket(packet(quint32(i)));
    page.logger.setMaxSize(500000); // raised: rows go, the counter stays
    QCOMPARE(page.model()->size(), 0);
    QCOMPARE(page.logger.packetCount(), 3u);
    page.logger.appendPacket(packet(9));
    QCOMPARE(page.cell(0, 0), QStringLiteral("    4"));
    page.logger.setMaxSize(10); // lowered: the counter starts again
    QCOMPARE(page.logger.packetCount(), 0u);
    QCOMPARE(page.logger.getMaxSize(), 10u);
}

void TestPacketLogger::loggerWithoutFrameRefuses()
{
    ASF_Logger logger;
    QVERIFY(!logger.initList());
    QVERIFY(!logger.appendPacket(packet(1)));
    QCOMPARE(logger.model()->size(), 0);
    QCOMPARE(logger.getLastAsfPacket(), nullptr);
    logger.showPacket(nullptr); // without a packet frame nothing happens
}

void TestPacketLogger::logLineSplitting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("message");
    QTest::newRow("no dash") << "plain" << "plain" << "";
    QTest::newRow("trailing dash") << "saved-" << "saved" << "";
    QTest::newRow("leading dash") << "-x" << "" << "x";
    QTest::newRow("first dash only") << "a-b-c" << "a" << "b-c";
}

void TestPacketLogger::logLineSplitting()
{
    QFETCH(QString, text);
    QFETCH(QString, info);
    QFETCH(QString, message);
    LoggedPage page;
    page.clock.setElapsed(61001);
    page.logger.logLevel(ASF_PACKET_WARNING, text);
    auto *line = qobject_cast<ASF_LogPacket *>(page.logger.getLastAsfPacket());
    QVERIFY(line);
    QCOMPARE(line->info(), info);
    QCOMPARE(line->logMessage(), message);
    QCOMPARE(line->status(), ASF_PACKET_WARNING);
    QCOMPARE(line->timestamp(), 61001u);
    QCOMPARE(line->direction(), int(ASF_Packet::NoDirection));
    QCOMPARE(page.cell(0, 1), QStringLiteral("LOG"));
    QCOMPARE(page.cell(0, 3), QString());

    page.logger.log(text); // log() is the same with status ok
    QCOMPARE(page.logger.getLastAsfPacket()->status(), ASF_PACKET_OK);
    QCOMPARE(page.logger.getLastAsfPacket()->info(), info);
}

void TestPacketLogger::logLinesAreCutAt1000Bytes()
{
    LoggedPage page;
    const QByteArray longText(1200, 'z');
    const QByteArray out = test::captureStdout([&] { page.logger.log("%s", longText.constData()); });
    QCOMPARE(out, QByteArray("error string too long\n"));
    QCOMPARE(page.logger.getLastAsfPacket()->info().size(), 999);
}

void TestPacketLogger::appendTracesOneLineByStatus()
{
    LoggedPage page;
    page.clock.setElapsed(1500);
    auto p = packet(1500);
    p->setInfo(QStringLiteral("bad"));
    p->setError();
    m_trace->clear();
    page.logger.appendPacket(std::move(p));
    QCOMPARE(m_trace->text(), QStringLiteral("PET logging with ERROR: protocol PET - at 00:00:01:500 - received\n"
                                             "\tInfo: bad\n--------------------------------------\n"));
    m_trace->clear();
    page.logger.logLevel(ASF_PACKET_WARNING, QStringLiteral("careful-details"));
    QCOMPARE(m_trace->text(), QStringLiteral("PET logging with Warning: protocol LOG - at 00:00:01:500 - \n"
                                             "\tInfo: careful\n--------------------------------------\n"));
}

void TestPacketLogger::autoFollowKeepsUserSelection()
{
    LoggedPage page;
    page.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.window));
    QItemSelectionModel *selection = page.logger.listView()->selectionModel();
    page.logger.appendPacket(packet(1));
    page.logger.appendPacket(packet(2));
    QTRY_VERIFY(selection->isRowSelected(1, QModelIndex())); // following the newest row
    page.logger.appendPacket(packet(3));
    QTRY_VERIFY(selection->isRowSelected(2, QModelIndex()));

    // The user picks an older row: new rows must not steal the selection.
    selection->setCurrentIndex(page.model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    page.logger.appendPacket(packet(4));
    QCoreApplication::processEvents();
    QVERIFY(selection->isRowSelected(0, QModelIndex()));
    QVERIFY(!selection->isRowSelected(3, QModelIndex()));

    // Back on the last row: following resumes.
    selection->setCurrentIndex(page.model()->index(3, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    page.logger.appendPacket(packet(5));
    QTRY_VERIFY(selection->isRowSelected(4, QModelIndex()));
}

void TestPacketLogger::activationShowsDetailView()
{
    LoggedPage page;
    page.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.window));
    page.logger.appendPacket(packet(1, QByteArray::fromHex("0a0b0c0d")));
    page.logger.appendPacket(packet(2, QByteArray::fromHex("ff")));
    QTreeView *list = page.logger.listView();
    QCoreApplication::processEvents();
    list->scrollToTop();

    // Mouse press on row 0: detail view of that record, showExpanded off.
    const QRect rect = list->visualRect(page.model()->index(0, 1));
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, rect.center());
    auto *view = qobject_cast<QTextEdit *>(page.logger.detailView());
    QVERIFY(view);
    QCOMPARE(view->parentWidget(), page.packetFrame);
    QCOMPARE(view->toPlainText(), QStringLiteral("0 - 4:\t 0a 0b 0c 0d\n4 - 8:\t"));
    QCOMPARE(page.model()->packetAt(0)->showExpanded(), 0);
    QPointer<QWidget> previous = view;

    // Space on row 1: replaces the detail view, showExpanded on.
    list->setCurrentIndex(page.model()->index(1, 0));
    QTest::keyClick(list, Qt::Key_Space);
    QVERIFY(!previous);
    view = qobject_cast<QTextEdit *>(page.logger.detailView());
    QVERIFY(view);
    QCOMPARE(view->toPlainText(), QStringLiteral("0 - 4:\t ff"));
    QCOMPARE(page.model()->packetAt(1)->showExpanded(), 1);

    // Clearing the log removes the detail view.
    page.logger.clearLog();
    QVERIFY(!page.logger.detailView());
}

void TestPacketLogger::sortingByColumnKeepsRowsAndFollowsNewOnes()
{
    LoggedPage page;
    const char *infos[] = {"c", "a", "b"};
    for (int i = 0; i < 3; ++i) {
        auto p = packet(quint32(i));
        p->setInfo(QString::fromLatin1(infos[i]));
        page.logger.appendPacket(std::move(p));
    }
    page.model()->sort(PacketLogModel::InfoColumn, Qt::AscendingOrder);
    QCOMPARE(page.cell(0, 4), QStringLiteral("a"));
    QCOMPARE(page.cell(0, 0), QStringLiteral("    2"));
    QCOMPARE(page.cell(2, 4), QStringLiteral("c"));
    auto p = packet(9);
    p->setInfo(QStringLiteral("bb"));
    page.logger.appendPacket(std::move(p)); // goes to its sorted place
    QCOMPARE(page.cell(2, 4), QStringLiteral("bb"));
    QCOMPARE(page.model()->displayRow(3), 2);

    page.model()->sort(PacketLogModel::NumberColumn, Qt::DescendingOrder);
    QCOMPARE(page.cell(0, 0), QStringLiteral("    4"));
    page.model()->sort(PacketLogModel::NumberColumn, Qt::AscendingOrder);
    QCOMPARE(page.cell(0, 0), QStringLiteral("    1"));
    QCOMPARE(page.cell(3, 4), QStringLiteral("bb"));
}

QTEST_MAIN(TestPacketLogger)
#include "tst_packetlogger.moc"
