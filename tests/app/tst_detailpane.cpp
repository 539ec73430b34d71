// The detail view of an activated row beside the packet list at the
// program's own window size: the list must stay usable, however much room
// the record's detail view would like.

#include "app/mainwidow.h"
#include "app/rmcppagehandler.h"
#include "app/standardhandlers.h"
#include "core/asflogger.h"
#include "core/packetlogmodel.h"
#include "core/packetlogview.h"
#include "core/tracelog.h"
#include "rmcp/asfrmcphandler.h"

#include <QFrame>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

using namespace velquor;

class TestDetailPane : public QObject
{
    Q_OBJECT

private slots:
    void listKeepsItsRoom()
    {
        MainWidow w;
        registerStandardHandlers(w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(QTest::qWaitFor([&w] { return w.traceLog()->isInstalled(); }));
        QTest::mouseClick(w.pageButton(MainWidow::Rmcp1PageId), Qt::LeftButton);
        auto *pages = static_cast<RmcpPageHandler *>(w.pageHandler(MainWidow::Rmcp1PageId));
        // A Presence Pong, whose detail view has a row per field.
        pages->handler()->receiveDatagram(QByteArray::fromHex("06000006000011be40000010000011be000000000100000000000000"));
        PacketLogModel *model = pages->handler()->logger()->model();
        QTreeView *list = pages->logView()->listView();
        QTRY_VERIFY(list->visualRect(model->index(0, 0)).isValid());
        const QFrame *logFrame = w.rmcpPage(1).RMCP_ShowLog_Frame;
        const QFrame *detail = w.rmcpPage(1).RMCP_ShowPacket_Frame;
        const int before = logFrame->height();
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->visualRect(model->index(0, 1)).center());
        QTRY_VERIFY(detail->isVisible());
        QTest::qWait(100); // the splitter's sizes settle
        QVERIFY2(logFrame->height() >= before / 2, qPrintable(QStringLiteral("list %1 of %2").arg(logFrame->height()).arg(before)));
        QVERIFY(list->visualRect(model->index(0, 0)).isValid());
        QVERIFY(logFrame->geometry().bottom() <= w.height());
    }
};

QTEST_MAIN(TestDetailPane)
#include "tst_detailpane.moc"
