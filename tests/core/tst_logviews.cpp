// The widgets over the logs: a packet log's list and detail view, the
// records' detail views, save failures, the trace view and the logging dialog.

#include "core/asflogger.h"
#include "core/asfpacket.h"
#include "core/logconfig.h"
#include "core/packetlogmodel.h"
#include "core/packetlogview.h"
#include "core/packetviews.h"
#include "core/tracelog.h"
#include "core/tracelogview.h"
#include "support/capture.h"

#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeView>
#include <QtTest>

using namespace velquor;

namespace {

std::unique_ptr<ASF_Packet> packet(quint32 ts, const QByteArray &bytes = QByteArray::fromHex("01020304"))
{
    auto p = std::make_unique<ASF_Packet>(ts);
    p->setData(bytes);
    p->setInfo(QStringLiteral("same"));
    return p;
}

// A log shown in two frames of a window, as a page shows it.
struct Page
{
    QWidget window;
    QFrame *logFrame = new QFrame(&window);
    QFrame *packetFrame = new QFrame(&window);
    ASF_Logger log;
    PacketViewRegistry views;
    PacketLogView view{&log, &views};

    Page()
    {
        log.setObjectName(QStringLiteral("PET"));
        view.setLogFrame(logFrame);
        view.setPacketFrame(packetFrame);
        logFrame->setGeometry(0, 0, 600, 300);
        packetFrame->setGeometry(0, 300, 600, 200);
        window.resize(600, 500);
    }
    bool shown()
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    QTreeView *list() const { return view.listView(); }
    QModelIndex index(int row, int column = 0) const { return log.model()->index(row, column); }
    void select(int row) const
    {
        list()->selectionModel()->setCurrentIndex(index(row), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    bool selected(int row) const { return list()->selectionModel()->isRowSelected(row, QModelIndex()); }
};

QMessageBox *saveErrorBox()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("saveErrorBox") && w->isVisible())
            return qobject_cast<QMessageBox *>(w);
    return nullptr;
}

} // namespace

// A record class without a view of its own.
class NoteRecord : public ASF_LogPacket
{
    Q_OBJECT

public:
    using ASF_LogPacket::ASF_LogPacket;
};

class TestLogViews : public QObject
{
    Q_OBJECT

private slots:
    void listIsBuiltInTheFrameAndShowsStatusImages();
    void listFollowsTheNewestRowUnlessTheUserPickedAnother();
    void activationShowsTheRecordsView();
    void viewsComeFromTheNearestRegisteredClass();
    void failedSaveIsShownAndSavedFileCanBeShown();
    void traceViewFollowsTheTraceLogLazily();
    void loggingDialogReportsSettings();
};

void TestLogViews::listIsBuiltInTheFrameAndShowsStatusImages()
{
    Page page;
    QVERIFY(page.log.isListing()); // the view lets the log list
    QCOMPARE(page.list()->parentWidget(), page.logFrame);

    // Rows alike but for their status: the image in the Status/Info column
    // is all that tells them apart.
    for (int status : {ASF_PACKET_ERROR, ASF_PACKET_OK, ASF_PACKET_WARNING}) {
        auto p = packet(0);
        p->setStatus(status);
        page.log.appendPacket(std::move(p));
    }
    QVERIFY(page.shown());
    QTRY_VERIFY(page.list()->visualRect(page.index(2, PacketLogModel::InfoColumn)).isValid());
    const auto cell = [&](int row) {
        const QRect rect = page.list()->visualRect(page.index(row, PacketLogModel::InfoColumn));
        return page.list()->viewport()->grab(QRect(rect.topLeft(), QSize(20, rect.height()))).toImage();
    };
    page.list()->clearSelection();
    const QImage error = cell(0), ok = cell(1), warning = cell(2);
    QVERIFY(error != ok && warning != ok && error != warning);
}

void TestLogViews::listFollowsTheNewestRowUnlessTheUserPickedAnother()
{
    Page page;
    QVERIFY(page.shown());
    page.log.appendPacket(packet(1));
    page.log.appendPacket(packet(2));
    QTRY_VERIFY(page.selected(1));
    page.log.appendPacket(packet(3));
    QTRY_VERIFY(page.selected(2));

    // The user picks an older row: new rows must not steal the selection.
    page.select(0);
    page.log.appendPacket(packet(4));
    QTRY_COMPARE(page.log.model()->rowCount(), 4);
    QCoreApplication::processEvents();
    QVERIFY(page.selected(0) && !page.selected(3));

    // Back on the last row: following resumes.
    page.select(3);
    page.log.appendPacket(packet(5));
    QTRY_VERIFY(page.selected(4));
}

void TestLogViews::activationShowsTheRecordsView()
{
    Page page;
    QVERIFY(page.shown());
    page.log.appendPacket(packet(1, QByteArray::fromHex("0a0b0c0d")));
    auto line = std::make_unique<ASF_LogPacket>(2);
    line->setLogMessage(QStringLiteral("first<br>second <b>bold</b>"));
    page.log.appendPacket(std::move(line));
    QTRY_VERIFY(page.list()->visualRect(page.index(1)).isValid());
    page.packetFrame->hide(); // a page keeps it out of the way until then

    // Mouse press on row 0: the hex dump, showExpanded off.
    QTest::mousePress(page.list()->viewport(), Qt::LeftButton, {}, page.list()->visualRect(page.index(0, 1)).center());
    auto *view = qobject_cast<QTextEdit *>(page.view.detailView());
    QVERIFY(view && page.packetFrame->isVisible());
    QCOMPARE(view->parentWidget(), page.packetFrame);
    QVERIFY(view->isReadOnly());
    QCOMPARE(view->toPlainText(), QStringLiteral("0 - 4:\t 0a 0b 0c 0d\n4 - 8:\t"));
    QCOMPARE(page.log.model()->packetAt(0)->showExpanded(), 0);
    QPointer<QWidget> previous = view;

    // Space on row 1: the log line's message rendered, showExpanded on.
    page.list()->setCurrentIndex(page.index(1));
    QTest::keyClick(page.list(), Qt::Key_Space);
    QVERIFY(!previous);
    view = qobject_cast<QTextEdit *>(page.view.detailView());
    QCOMPARE(view->toPlainText(), QStringLiteral("first\nsecond bold"));
    QCOMPARE(page.log.model()->packetAt(1)->showExpanded(), 1);

    // Clearing the log removes the detail view; new limits alone do not.
    page.log.setMaxSize(300000);
    QVERIFY(page.view.detailView());
    page.log.clearLog();
    QVERIFY(!page.view.detailView());
}

void TestLogViews::viewsComeFromTheNearestRegisteredClass()
{
    PacketViewRegistry views;
    QWidget parent;
    NoteRecord note(0);
    note.setLogMessage(QStringLiteral("note"));
    std::unique_ptr<QWidget> view(views.create(note, &parent));
    QCOMPARE(qobject_cast<QTextEdit *>(view.get())->toPlainText(), QStringLiteral("note"));

    views.add(NoteRecord::staticMetaObject, [](ASF_Packet &record, QWidget *p) -> QWidget * {
        return new QLabel(qobject_cast<ASF_LogPacket *>(&record)->logMessage() + "!", p);
    });
    view.reset(views.create(note, &parent));
    QCOMPARE(qobject_cast<QLabel *>(view.get())->text(), QStringLiteral("note!"));
    QCOMPARE(view->parent(), &parent);
    ASF_LogPacket plainLine(0);
    view.reset(views.create(plainLine, &parent));
    QVERIFY(qobject_cast<QTextEdit *>(view.get()));
}

void TestLogViews::failedSaveIsShownAndSavedFileCanBeShown()
{
    QTemporaryDir dir;
    Page page;
    QVERIFY(!page.log.writeLogToFilename(dir.filePath(QStringLiteral("missing/file"))));
    // Told without the save waiting for the user.
    QMessageBox *box = saveErrorBox();
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("Error Saving Log"));
    QVERIFY(box->text().contains(QStringLiteral("PET: save log to file ")));
    box->close();

    QVERIFY(!page.view.showLogFile(QString())); // nothing saved yet
    QVERIFY(page.log.writeLogToFilename(dir.filePath(QStringLiteral("saved"))));
    QString shown;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        shown = dialog->findChild<QPlainTextEdit *>()->toPlainText();
        dialog->accept();
    });
    QVERIFY(page.view.showLogFile(QString())); // the last file saved
    QVERIFY(shown.contains(QStringLiteral("|                 PET saved\n")));
    QVERIFY(!page.view.showLogFile(dir.filePath(QStringLiteral("missing/file"))));
}

void TestLogViews::traceViewFollowsTheTraceLogLazily()
{
    QPlainTextEdit text;
    TraceLog trace;
    TraceLogView view(&trace, &text);
    trace.append(QStringLiteral("no line feed "));
    trace.append(QStringLiteral("continues\nnext"));
    QCOMPARE(text.toPlainText(), QString()); // not at once ...
    QTRY_COMPARE(text.toPlainText(), QStringLiteral("no line feed continues\nnext")); // ... but soon

    trace.append(QString(TraceBuffer::TrimAt, QLatin1Char('z')));
    view.flush();
    QCOMPARE(text.toPlainText(), trace.text());
    QCOMPARE(text.toPlainText().size(), TraceBuffer::Keep);
    QCOMPARE(text.textCursor().position(), text.document()->characterCount() - 1);

    trace.clear(); // shows at once
    QCOMPARE(text.toPlainText(), QString());
    trace.append(QStringLiteral("again"));
    view.flush();
    QCOMPARE(text.toPlainText(), QStringLiteral("again"));
}

void TestLogViews::loggingDialogReportsSettings()
{
    LogConfig dialog(nullptr, "T E S T");
    auto *following = dialog.findChild<QRadioButton *>(QStringLiteral("logConfigLogFollowing_RadioButton"));
    auto *group = dialog.findChild<QWidget *>(QStringLiteral("logConfigLogFollowing_ButtonGroup"));
    QVERIFY(!group->isEnabled());
    following->setChecked(true);
    QVERIFY(group->isEnabled());
    dialog.logFilename->setText(QStringLiteral("x.log"));
    const QByteArray out = test::captureStdout([&] { dialog.log_update_config(); });
    QCOMPARE(out, QByteArray("1 Logging Configuration:\nlog following\nLog Filename:  x.log\n"));
}

QTEST_MAIN(TestLogViews)
#include "tst_logviews.moc"
