#include "core/asflogger.h"
#include "core/asfpacket.h"
#include "support/capture.h"
#include "core/logconfig.h"
#include "core/packetlogmodel.h"
#include "core/tracelog.h"

#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace velquor;
using velquor::test::TraceCapture;

namespace {

const QString dashes = QString(84, QLatin1Char('-')) + QLatin1Char('\n');

QString expectedBanner(const QString &name, const QDateTime &when)
{
    return dashes + "|           Velquor Log File\n|                 " + name + " saved\n|           "
           + when.toString(Qt::TextDate) + "\n" + dashes;
}

// The save time, read back from a default file name ".yyMMdd.hh.mm.ss".
QDateTime timeFromName(const QString &fileName)
{
    const QString suffix = fileName.section(QLatin1Char('.'), 1);
    QDateTime when = QDateTime::fromString(suffix, QStringLiteral("yyMMdd.hh.mm.ss"));
    return when.addYears(100); // two-digit years parse into the 1900s
}

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QMessageBox *saveErrorBox()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("saveErrorBox") && w->isVisible())
            return qobject_cast<QMessageBox *>(w);
    return nullptr;
}

} // namespace

class TestLogFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void savedPacketLogIsExact();
    void savingEmptyLogWritesBannerAndListsTheSave();
    void failingSaveReportsAndChangesNothing();
    void loggerWithoutListSavesNothing();
    void traceLogFile();
    void showLogFile();
    void loggingDialogReportsSettings();

private:
    QTemporaryDir m_dir;
    QString m_oldCwd;
    std::unique_ptr<TraceCapture> m_trace;
};

void TestLogFiles::init()
{
    QVERIFY(m_dir.isValid());
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    QDir().mkdir(QStringLiteral("log"));
    m_trace = std::make_unique<TraceCapture>();
}

void TestLogFiles::cleanup()
{
    m_trace.reset();
    QDir::setCurrent(m_oldCwd);
    QDir(m_dir.path() + "/log").removeRecursively();
}

void TestLogFiles::savedPacketLogIsExact()
{
    QWidget window;
    auto *frame = new QFrame(&window);
    ManualLogClock clock;
    ASF_Logger logger;
    logger.setObjectName(QStringLiteral("RMCP1"));
    logger.setLogFrame(frame);
    logger.initList();
    logger.setTimeBase(&clock);

    auto p = std::make_unique<ASF_Packet>(3723004);
    p->setData(QByteArray::fromHex("0102030405"));
    p->setDirection(ASF_Packet::Sent);
    p->setProtocol(QStringLiteral("RMCP"));
    p->setInfo(QStringLiteral("as listed"));
    ASF_Packet *raw = p.get();
    logger.appendPacket(std::move(p));
    raw->setInfo(QStringLiteral("changed later")); // the file shows the row's text
    clock.setElapsed(90000000);
    logger.logLevel(ASF_PACKET_ERROR, QStringLiteral("short-long<br>text <b>bold</b>"));

    QVERIFY(logger.writeLogToFilename());
    const QString name = logger.lastFileName();
    QVERIFY2(name.startsWith(QStringLiteral("log/RMCP1.")), qPrintable(name));
    const QByteArray expected = (expectedBanner(QStringLiteral("RMCP1"), timeFromName(name))
                                 + dashes + "|     1 - RMCP - 01:02:03:004 - sent\n|     status/info: as listed\n\n"
                                 + "\tHex Dump:\n\t0 - 4:  01 02 03 04\n\t4 - 8:  05\n" + "\n|\n" + dashes
                                 + dashes + "|     2 - LOG - 25:00:00:000 - \n|     status/info: short\n\n"
                                 + "long\ntext bold" + "\n|\n" + dashes)
                                    .toLatin1();
    QCOMPARE(readFile(name), expected);

    // The save itself becomes the last row, but is not in the file.
    QCOMPARE(logger.model()->size(), 3);
    QCOMPARE(logger.getLastAsfPacket()->info(), QStringLiteral("saved log to file \"%1\"").arg(name));
    QVERIFY(m_trace->text().contains(
        QStringLiteral("\n--------------------------------------\nRMCP1: saved log to file \"%1\"\n"
                       "--------------------------------------\n").arg(name)));

    // An explicit name is used as given; a second save truncates.
    QVERIFY(logger.writeLogToFilename(QStringLiteral("log/explicit.txt")));
    const QByteArray first = readFile(QStringLiteral("log/explicit.txt"));
    logger.clearLog();
    QVERIFY(logger.writeLogToFilename(QStringLiteral("log/explicit.txt")));
    QVERIFY(readFile(QStringLiteral("log/explicit.txt")).size() < first.size());
}

void TestLogFiles::savingEmptyLogWritesBannerAndListsTheSave()
{
    QWidget window;
    ASF_Logger logger;
    logger.setObjectName(QStringLiteral("PET"));
    logger.setLogFrame(new QFrame(&window));
    logger.initList();
    QVERIFY(logger.writeLogToFilename(QString()));
    const QString name = logger.lastFileName();
    QCOMPARE(readFile(name), expectedBanner(QStringLiteral("PET"), timeFromName(name)).toLatin1());
    QCOMPARE(logger.model()->size(), 1);
}

void TestLogFiles::failingSaveReportsAndChangesNothing()
{
    QDir(QStringLiteral("log")).removeRecursively(); // the program never creates it
    QWidget window;
    ASF_Logger logger;
    logger.setObjectName(QStringLiteral("PET"));
    logger.setLogFrame(new QFrame(&window));
    logger.initList();
    QVERIFY(!logger.writeLogToFilename());
    QCOMPARE(logger.model()->size(), 0); // no "saved" line
    QVERIFY(logger.lastFileName().isEmpty());
    QVERIFY2(m_trace->text().startsWith(QStringLiteral("PET: save log to file log/PET.")), qPrintable(m_trace->text()));
    QVERIFY(m_trace->text().contains(QStringLiteral(" failed (")));

    // The user is told without the save blocking the caller.
    QMessageBox *box = saveErrorBox();
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QCOMPARE(box->windowTitle(), QStringLiteral("Error Saving Log"));
    QVERIFY(box->text().contains(QStringLiteral("save log to file")));
    box->close();
}

void TestLogFiles::loggerWithoutListSavesNothing()
{
    ASF_Logger logger;
    logger.setObjectName(QStringLiteral("X"));
    QVERIFY(!logger.writeLogToFilename(QStringLiteral("log/none.txt")));
    QVERIFY(!QFile::exists(QStringLiteral("log/none.txt")));
    QMessageBox *box = saveErrorBox();
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("log item missing"));
    box->close();
}

void TestLogFiles::traceLogFile()
{
    QPlainTextEdit view;
    TraceLog traceLog(&view);
    traceLog.install();
    qDebug("first line\n\nsecond ");
    qDebug("continued\n");
    ASF_Logger traceLogger;
    traceLogger.setObjectName(QStringLiteral("TraceLog"));
    QVERIFY(traceLogger.writeLogToFilename(QString(), true));
    const QString name = traceLogger.lastFileName();
    QCOMPARE(readFile(name), (expectedBanner(QStringLiteral("TraceLog"), timeFromName(name))
                              + "| first line\n| second continued\n").toLatin1());
    // The save is traced to the view afterwards, and no list got a line.
    QVERIFY(traceLog.text().endsWith(QStringLiteral("TraceLog: saved log to file \"%1\"\n--------------------------------------\n").arg(name)));
}

void TestLogFiles::showLogFile()
{
    ASF_Logger logger;
    QVERIFY(!logger.showLogFile(QString())); // nothing saved yet
    QVERIFY(!logger.showLogFile(QStringLiteral("log/missing")));
    QFile f(QStringLiteral("log/shown"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("line one\nline two\n");
    f.close();
    QString shown;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (auto *view = dialog->findChild<QPlainTextEdit *>())
            shown = view->toPlainText();
        dialog->accept();
    });
    QVERIFY(logger.showLogFile(QStringLiteral("log/shown")));
    QCOMPARE(shown, QStringLiteral("line one\nline two\n"));
}

void TestLogFiles::loggingDialogReportsSettings()
{
    LogConfig dialog(nullptr, "T E S T");
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Configure Logging"));
    auto *following = dialog.findChild<QRadioButton *>(QStringLiteral("logConfigLogFollowing_RadioButton"));
    auto *group = dialog.findChild<QWidget *>(QStringLiteral("logConfigLogFollowing_ButtonGroup"));
    QVERIFY(following && group);
    QVERIFY(!group->isEnabled());
    following->setChecked(true);
    QVERIFY(group->isEnabled());
    dialog.logFilename->setText(QStringLiteral("x.log"));
    const QByteArray out = test::captureStdout([&] { dialog.log_update_config(); });
    QCOMPARE(out, QByteArray("1 Logging Configuration:\nlog following\nLog Filename:  x.log\n"));
}

QTEST_MAIN(TestLogFiles)
#include "tst_logfiles.moc"
