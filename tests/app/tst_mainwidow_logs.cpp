#include "fakehandler.h"
#include "mainwidow.h"
#include "tracelog.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<QMessageBox *> saveErrorBoxes()
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->objectName() == QLatin1String("saveErrorBox"))
            boxes << box;
    }
    return boxes;
}

QString readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromLatin1(file.readAll());
}

} // namespace

// Saving and clearing: the Trace Log page and the traffic pages' log buttons.
// Each test runs in a fresh working directory.
class TestMainWidowLogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void savesTraceLogIntoLogDirectory();
    void saveWithoutLogDirectoryReportsWithoutBlocking();
    void clearEmptiesViewAndSavedTrace();
    void clearingTraceLeavesPacketLogs();
    void pageSaveWritesItsHandlersLog();
    void pageButtonsWithoutHandlerDoNothing();

private:
    QStringList logFiles() const { return QDir(QStringLiteral("log")).entryList(QDir::Files); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_savedCwd;
};

void TestMainWidowLogs::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_savedCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestMainWidowLogs::cleanup()
{
    qDeleteAll(saveErrorBoxes());
    QDir::setCurrent(m_savedCwd);
    m_dir.reset();
}

void TestMainWidowLogs::savesTraceLogIntoLogDirectory()
{
    QVERIFY(QDir().mkdir(QStringLiteral("log")));
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());
    qDebug("first line\n");
    qDebug("second line\n");

    QTest::mouseClick(w.traceLogPage().saveTraceLogButton, Qt::LeftButton);
    const QStringList files = logFiles();
    QCOMPARE(files.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^TraceLog\\.\\d{6}\\.\\d{2}\\.\\d{2}\\.\\d{2}$")).match(files.front()).hasMatch(),
             qPrintable(files.front()));
    const QString text = readAll(QStringLiteral("log/") + files.front());
    QVERIFY(text.contains(QStringLiteral("|                 TraceLog saved\n")));
    QVERIFY(text.contains(QStringLiteral("| first line\n| second line\n")));
    QVERIFY(saveErrorBoxes().isEmpty());

    // The save reports itself on the page, after the saved text.
    QPlainTextEdit *view = w.traceLogPage().traceLOGtextEdit;
    QTRY_VERIFY(view->toPlainText().contains(QStringLiteral("TraceLog: saved log to file \"log/%1\"").arg(files.front())));
}

void TestMainWidowLogs::saveWithoutLogDirectoryReportsWithoutBlocking()
{
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());

    // Returns at once: the report does not wait for the user.
    w.saveTraceLog();
    const QList<QMessageBox *> boxes = saveErrorBoxes();
    QCOMPARE(boxes.size(), 1);
    QMessageBox *box = boxes.front();
    QVERIFY(box->isVisible());
    QCOMPARE(box->windowTitle(), QStringLiteral("Error Saving Log"));
    QVERIFY2(box->text().startsWith(QStringLiteral("TraceLog: save log to file log/TraceLog.")), qPrintable(box->text()));
    QVERIFY(!QDir(QStringLiteral("log")).exists());
    QTRY_VERIFY(w.traceLogPage().traceLOGtextEdit->toPlainText().contains(QStringLiteral("save log to file")));
    QVERIFY(!w.traceLogPage().traceLOGtextEdit->toPlainText().contains(QStringLiteral("saved log to file")));

    // The user can go on working and save once the directory exists.
    QVERIFY(QDir().mkdir(QStringLiteral("log")));
    w.saveTraceLog();
    QCOMPARE(logFiles().size(), 1);
}

void TestMainWidowLogs::clearEmptiesViewAndSavedTrace()
{
    QVERIFY(QDir().mkdir(QStringLiteral("log")));
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());
    QPlainTextEdit *view = w.traceLogPage().traceLOGtextEdit;
    qDebug("before the clear\n");
    QTRY_VERIFY(view->toPlainText().contains(QStringLiteral("before the clear")));

    QTest::mouseClick(w.traceLogPage().traceLogClearButton, Qt::LeftButton);
    QVERIFY(view->toPlainText().isEmpty());
    qDebug("after the clear\n");
    QTRY_VERIFY(view->toPlainText().contains(QStringLiteral("after the clear")));
    QVERIFY(!view->toPlainText().contains(QStringLiteral("before the clear")));

    w.saveTraceLog();
    const QStringList files = logFiles();
    QCOMPARE(files.size(), 1);
    const QString text = readAll(QStringLiteral("log/") + files.front());
    QVERIFY(text.contains(QStringLiteral("| after the clear\n")));
    QVERIFY(!text.contains(QStringLiteral("before the clear")));
}

void TestMainWidowLogs::clearingTraceLeavesPacketLogs()
{
    QStringList journal;
    MainWidow w;
    installFakeHandlers(w, &journal);
    QTRY_VERIFY(w.traceLog()->isInstalled());
    ASF_Logger *pet = w.pageHandler(MainWidow::PetPageId)->logger();
    pet->log(QStringLiteral("a line-in the PET log"));
    QCOMPARE(pet->packetCount(), 1u);
    QTest::mouseClick(w.traceLogPage().traceLogClearButton, Qt::LeftButton);
    QCOMPARE(pet->packetCount(), 1u);
    QVERIFY(!journal.contains(QStringLiteral("PET:clear")));
}

void TestMainWidowLogs::pageSaveWritesItsHandlersLog()
{
    QVERIFY(QDir().mkdir(QStringLiteral("log")));
    QStringList journal;
    MainWidow w;
    installFakeHandlers(w, &journal);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());

    QPushButton *const saveButtons[] = {w.petPage().savePETLogButton, w.rmcpPage(1).saveLogButton,
                                        w.rmcpPage(2).saveLogButton};
    const char *const names[] = {"PET", "RMCP1", "RMCP2"};
    for (int page = 0; page < 3; ++page) {
        w.pageHandler(page)->logger()->log(QStringLiteral("row of %1").arg(QLatin1String(names[page])));
        w.widgetStack()->setCurrentIndex(page);
        QTest::mouseClick(saveButtons[page], Qt::LeftButton);
        const QStringList files = QDir(QStringLiteral("log")).entryList({QString::fromLatin1(names[page]) + ".*"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        const QString text = readAll(QStringLiteral("log/") + files.front());
        QVERIFY(text.contains(QStringLiteral("row of %1").arg(QLatin1String(names[page]))));
        // Only that page's log is in it.
        for (int other = 0; other < 3; ++other) {
            if (other != page)
                QVERIFY(!text.contains(QStringLiteral("row of %1").arg(QLatin1String(names[other]))));
        }
    }
    QCOMPARE(logFiles().size(), 3);
}

void TestMainWidowLogs::pageButtonsWithoutHandlerDoNothing()
{
    QVERIFY(QDir().mkdir(QStringLiteral("log")));
    MainWidow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.traceLog()->isInstalled());
    QPlainTextEdit *view = w.traceLogPage().traceLOGtextEdit;
    const QString traceBefore = view->toPlainText();

    const QList<QPushButton *> buttons{
        w.petPage().PETConfigConnect_Button, w.petPage().clearLog_button, w.petPage().savePETLogButton,
        w.rmcpPage(1).RMCPConfigConnect_Button, w.rmcpPage(1).RMCPDisconfigConnect_Button,
        w.rmcpPage(1).rmcpClearLog_button, w.rmcpPage(1).saveLogButton, w.rmcpPage(2).RMCPConfigConnect_Button,
        w.rmcpPage(2).RMCPDisconfigConnect_Button, w.rmcpPage(2).rmcpClearLog_button, w.rmcpPage(2).saveLogButton};
    for (int page = 0; page < 3; ++page) {
        w.widgetStack()->setCurrentIndex(page);
        for (QPushButton *button : buttons) {
            if (button->isVisible())
                QTest::mouseClick(button, Qt::LeftButton);
        }
    }
    QVERIFY(logFiles().isEmpty());
    QVERIFY(saveErrorBoxes().isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(view->toPlainText(), traceBefore);
    QCOMPARE(w.petPage().status_textLabel->text(), QStringLiteral("not listening"));
}

QTEST_MAIN(TestMainWidowLogs)
#include "tst_mainwidow_logs.moc"
