// The packet log without any widget: rows, limits, text lines, the trace,
// sorting, and saving to files.

#include "core/asflogger.h"
#include "core/asfpacket.h"
#include "core/packetlogmodel.h"
#include "core/textformat.h"
#include "core/tracelog.h"
#include "support/capture.h"
#include "support/workdir.h"

#include <QSignalSpy>
#include <QtTest>

using namespace velquor;
using velquor::test::TraceCapture;

namespace {

std::unique_ptr<ASF_Packet> packet(quint32 ts, const QString &info = QStringLiteral(" "),
                                   const QByteArray &bytes = QByteArray::fromHex("01020304"))
{
    auto p = std::make_unique<ASF_Packet>(ts);
    p->setData(bytes);
    p->setDirection(ASF_Packet::Received);
    p->setProtocol(QStringLiteral("PET"));
    p->setInfo(info);
    return p;
}

// A log that lists, as a page's log once its view is attached.
struct Log
{
    ManualLogClock clock;
    ASF_Logger log;

    explicit Log(const char *name = "PET")
    {
        log.setObjectName(QLatin1String(name));
        log.setListing(true);
        log.setTimeBase(&clock);
    }
    PacketLogModel *model() const { return log.model(); }
    // What a view shows, once it has heard of the rows.
    QString cell(int row, int column) const
    {
        model()->announcePending();
        return model()->index(row, column).data().toString();
    }
    QStringList infos() const
    {
        QStringList out;
        for (int row = 0; row < model()->size(); ++row)
            out << model()->rowTexts(row).info;
        return out;
    }
};

const QString dashes = QString(84, QLatin1Char('-')) + QLatin1Char('\n');

QString expectedBanner(const QString &name, const QString &fileName)
{
    // The save time, read back from the default name ".yyMMdd.hh.mm.ss".
    const QDateTime when = QDateTime::fromString(fileName.section(QLatin1Char('.'), 1), QStringLiteral("yyMMdd.hh.mm.ss"))
                               .addYears(100);
    return dashes + "|           Velquor Log File\n|                 " + name + " saved\n|           "
           + when.toString(Qt::TextDate) + "\n" + dashes;
}

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestPacketLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rowsShowTheRecordAsAppended();
    void rowLimits_data();
    void rowLimits();
    void clearAndMaxSize();
    void withoutViewNothingIsListedUntilAsked();
    void logLineSplitting_data();
    void logLineSplitting();
    void logLinesAreCutAt1000Bytes();
    void appendTracesOneLineByStatus();
    void viewsHearOfRowsInBatches();
    void sortingByColumnKeepsRows();

    void savedLogIsExact();
    void failedSavesAreReportedNotShown();
    void traceLogFile();

private:
    std::unique_ptr<test::WorkingDirectory> m_dir;
    std::unique_ptr<TraceCapture> m_trace;
};

void TestPacketLog::init()
{
    m_dir = std::make_unique<test::WorkingDirectory>();
    m_trace = std::make_unique<TraceCapture>();
}

void TestPacketLog::cleanup()
{
    m_trace.reset();
    m_dir.reset();
}

void TestPacketLog::rowsShowTheRecordAsAppended()
{
    Log l;
    auto p = packet(3723004, QStringLiteral("first"));
    p->setWarning();
    ASF_Packet *raw = p.get();
    QVERIFY(l.log.appendPacket(std::move(p)));
    QCOMPARE(QStringList({l.cell(0, 0), l.cell(0, 1), l.cell(0, 2), l.cell(0, 3), l.cell(0, 4)}),
             QStringList({"    1", "PET", "01:02:03:004", "received", "first"}));
    QCOMPARE(l.model()->index(0, PacketLogModel::InfoColumn).data(PacketLogModel::StatusRole), QVariant(ASF_PACKET_WARNING));

    // Later changes of the record do not change its row.
    raw->setInfo(QStringLiteral("changed"));
    raw->setError();
    QCOMPARE(l.cell(0, 4), QStringLiteral("first"));
    QCOMPARE(l.model()->rowStatus(0), ASF_PACKET_WARNING);

    l.log.appendPacket(packet(5));
    QCOMPARE(l.model()->rowStatus(1), ASF_PACKET_OK);
    QCOMPARE(l.log.getLastAsfPacket()->timestamp(), 5u);
    QCOMPARE(l.log.getLastPacketData(), QByteArray::fromHex("01020304"));
}

void TestPacketLog::rowLimits_data()
{
    QTest::addColumn<unsigned>("maxPackets");
    QTest::addColumn<QStringList>("infos");
    QTest::addColumn<QString>("last");
    QTest::newRow("0: nothing is listed") << 0u << QStringList{} << QString();
    QTest::newRow("1: one row, no limit line") << 1u << QStringList{"r0"} << "r0";
    QTest::newRow("3: two rows and the limit line")
        << 3u << QStringList{"r0", "r1", "maximum number of packets reached (3), clear log to continue"}
        << "maximum number of packets reached (3), clear log to continue";
}

void TestPacketLog::rowLimits()
{
    QFETCH(unsigned, maxPackets);
    QFETCH(QStringList, infos);
    Log l;
    l.log.setMaxSize(maxPackets);
    QStringList announced; // the last packet each time a row is announced
    connect(&l.log, &ASF_Logger::newPacketSignal, this, [&] { announced << l.log.getLastAsfPacket()->info(); });
    int accepted = 0;
    for (int i = 0; i < 5; ++i)
        accepted += l.log.appendPacket(packet(quint32(i), QStringLiteral("r%1").arg(i))) ? 1 : 0;
    QCOMPARE(l.infos(), infos);
    QCOMPARE(accepted, qMin<int>(int(maxPackets), 2));
    // Refused records do not become the last packet.
    QTEST(l.log.getLastAsfPacket() ? l.log.getLastAsfPacket()->info() : QString(), "last");
    if (maxPackets == 3) {
        // The limit line is appended and announced inside the second append:
        // the signal fires twice in a row, both times with the limit line last.
        QCOMPARE(announced, (QStringList{"r0", infos[2], infos[2]}));
        auto *limit = qobject_cast<ASF_LogPacket *>(l.model()->packetAt(2));
        QCOMPARE(limit->status(), ASF_PACKET_ERROR);
        QCOMPARE(limit->logMessage(), QStringLiteral("maximum number of packets reached (3)\n clear log to continue"));
    } else {
        QCOMPARE(announced, infos);
    }
}

void TestPacketLog::clearAndMaxSize()
{
    Log l;
    l.log.appendPacket(packet(1));
    l.log.appendPacket(packet(2, QStringLiteral(" "), QByteArray::fromHex("aabb")));
    QPointer<ASF_Packet> last = l.log.getLastAsfPacket();
    QPointer<ASF_Packet> first = l.model()->packetAt(0);
    QSignalSpy cleared(&l.log, &ASF_Logger::cleared);
    l.log.clearLog();
    QCOMPARE(cleared.count(), 1);
    QCOMPARE(l.model()->size(), 0);
    QVERIFY(last);   // still alive after the clear
    QVERIFY(!first); // the other listed records were released
    QCOMPARE(l.log.getLastPacketData(), QByteArray::fromHex("aabb"));
    l.log.appendPacket(packet(3));
    QCOMPARE(l.cell(0, 0), QStringLiteral("    1"));
    QVERIFY(!last); // replaced by the new last packet

    // A raised limit removes the rows but keeps counting; a lowered one starts again.
    l.log.appendPacket(packet(4));
    l.log.setMaxSize(500000);
    QCOMPARE(l.model()->size(), 0);
    l.log.appendPacket(packet(9));
    QCOMPARE(l.cell(0, 0), QStringLiteral("    3"));
    l.log.setMaxSize(10);
    QCOMPARE(l.log.packetCount(), 0u);
}

void TestPacketLog::withoutViewNothingIsListedUntilAsked()
{
    ASF_Logger log;
    QVERIFY(!log.initList());
    QVERIFY(!log.appendPacket(packet(1)));
    log.log(QStringLiteral("a line"));
    QCOMPARE(log.model()->size(), 0);
    QCOMPARE(log.packetCount(), 0u);
    QCOMPARE(log.getLastAsfPacket(), nullptr);
    QCOMPARE(log.getLastPacketData(), QByteArray());

    // A program without windows lets it list.
    log.setListing(true);
    QVERIFY(log.appendPacket(packet(2)));
    QCOMPARE(log.model()->size(), 1);
}

void TestPacketLog::logLineSplitting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("message");
    QTest::newRow("no dash") << "plain" << "plain" << "";
    QTest::newRow("trailing dash") << "saved-" << "saved" << "";
    QTest::newRow("leading dash") << "-x" << "" << "x";
    QTest::newRow("first dash only") << "a-b-c" << "a" << "b-c";
}

void TestPacketLog::logLineSplitting()
{
    QFETCH(QString, text);
    QFETCH(QString, info);
    QFETCH(QString, message);
    Log l;
    l.clock.setElapsed(61001);
    l.log.logLevel(ASF_PACKET_WARNING, text);
    l.log.log(text); // the same with status ok
    for (int row = 0; row < 2; ++row) {
        auto *line = qobject_cast<ASF_LogPacket *>(l.model()->packetAt(row));
        QCOMPARE(line->info(), info);
        QCOMPARE(line->logMessage(), message);
        QCOMPARE(line->status(), row == 0 ? ASF_PACKET_WARNING : ASF_PACKET_OK);
        QCOMPARE(line->timestamp(), 61001u);
    }
    QCOMPARE(l.cell(0, 1) + '|' + l.cell(0, 3), QStringLiteral("LOG|"));
}

void TestPacketLog::logLinesAreCutAt1000Bytes()
{
    Log l;
    const QByteArray longText(1200, 'z');
    const QByteArray out = test::captureStdout([&] { l.log.log("%s", longText.constData()); });
    QCOMPARE(out, QByteArray("error string too long\n"));
    QCOMPARE(l.log.getLastAsfPacket()->info().size(), 999);
}

void TestPacketLog::appendTracesOneLineByStatus()
{
    const QString expected = QStringLiteral("PET logging with ERROR: protocol PET - at 00:00:01:500 - received\n"
                                            "\tInfo: bad\n--------------------------------------\n"
                                            "PET logging with Warning: protocol LOG - at 00:00:01:500 - \n"
                                            "\tInfo: careful\n--------------------------------------\n"
                                            "PET Logging : protocol LOG - at 00:00:01:500 - \n"
                                            "\tInfo: fine %1\n--------------------------------------\n");
    const auto appendThree = [](Log &l) {
        l.clock.setElapsed(1500);
        auto p = packet(1500, QStringLiteral("bad"));
        p->setError();
        l.log.appendPacket(std::move(p));
        l.log.logLevel(ASF_PACKET_WARNING, QStringLiteral("careful-details"));
        l.log.log(QStringLiteral("fine %1"));
    };
    Log traced;
    m_trace->clear();
    appendThree(traced);
    QCOMPARE(m_trace->text(), expected);

    // Into an installed trace log the lines go unbuilt, sized beforehand:
    // they read the same, whatever the time's width.
    TraceLog traceLog;
    traceLog.install();
    Log deferred;
    appendThree(deferred);
    QCOMPARE(traceLog.text(), expected);
    for (quint32 t : {359999999u, 360000000u, 4294967295u}) {
        traceLog.clear();
        auto p = packet(t, QStringLiteral("late"));
        p->setDirection(ASF_Packet::Sent);
        const QString line = QStringLiteral("PET Logging : protocol PET - at %1 - sent\n\tInfo: late\n"
                                            "--------------------------------------\n").arg(timestampText(t));
        deferred.log.appendPacket(std::move(p));
        QCOMPARE(traceLog.text(), line);
    }
}

void TestPacketLog::viewsHearOfRowsInBatches()
{
    Log l;
    QSignalSpy inserted(l.model(), &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 3; ++i)
        l.log.appendPacket(packet(quint32(i)));
    QCOMPARE(l.model()->size(), 3); // the log sees them at once ...
    QCOMPARE(l.model()->rowCount(), 0); // ... the views from the event loop, in one go
    QVERIFY(!l.model()->index(0, 0).data().isValid());
    QTRY_COMPARE(l.model()->rowCount(), 3);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).mid(1), (QVariantList{0, 2}));

    // A clear before the announcement leaves nothing to announce.
    l.log.appendPacket(packet(3));
    l.log.clearLog();
    QTest::qWait(2 * PacketLogModel::AnnounceIntervalMs);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(l.model()->rowCount(), 0);
}

void TestPacketLog::sortingByColumnKeepsRows()
{
    Log l;
    for (const char *info : {"c", "a", "b"})
        l.log.appendPacket(packet(0, QLatin1String(info)));
    l.model()->sort(PacketLogModel::InfoColumn, Qt::AscendingOrder);
    QCOMPARE(l.infos(), (QStringList{"a", "b", "c"}));
    QCOMPARE(l.cell(0, 0), QStringLiteral("    2"));
    l.log.appendPacket(packet(9, QStringLiteral("bb"))); // goes to its sorted place
    QCOMPARE(l.infos(), (QStringList{"a", "b", "bb", "c"}));
    QCOMPARE(l.model()->displayRow(3), 2);

    l.model()->sort(PacketLogModel::NumberColumn, Qt::DescendingOrder);
    QCOMPARE(l.cell(0, 0), QStringLiteral("    4"));
    l.model()->sort(PacketLogModel::NumberColumn, Qt::AscendingOrder);
    QCOMPARE(l.infos(), (QStringList{"c", "a", "b", "bb"}));
}

void TestPacketLog::savedLogIsExact()
{
    Log l("RMCP1");
    auto p = packet(3723004, QStringLiteral("as listed"), QByteArray::fromHex("0102030405"));
    p->setDirection(ASF_Packet::Sent);
    p->setProtocol(QStringLiteral("RMCP"));
    ASF_Packet *raw = p.get();
    l.log.appendPacket(std::move(p));
    raw->setInfo(QStringLiteral("changed later")); // the file shows the row's text
    l.clock.setElapsed(90000000);
    l.log.logLevel(ASF_PACKET_ERROR, QStringLiteral("short-long<br>text <b>bold</b>"));

    QVERIFY(l.log.writeLogToFilename());
    const QString name = l.log.lastFileName();
    QVERIFY2(name.startsWith(QStringLiteral("log/RMCP1.")), qPrintable(name));
    QCOMPARE(readFile(name), (expectedBanner(QStringLiteral("RMCP1"), name)
                              + dashes + "|     1 - RMCP - 01:02:03:004 - sent\n|     status/info: as listed\n\n"
                              + "\tHex Dump:\n\t0 - 4:  01 02 03 04\n\t4 - 8:  05\n" + "\n|\n" + dashes
                              + dashes + "|     2 - LOG - 25:00:00:000 - \n|     status/info: short\n\n"
                              + "long\ntext bold" + "\n|\n" + dashes)
                                 .toLatin1());
    // The save itself becomes the last row, but is not in the file.
    QCOMPARE(l.log.getLastAsfPacket()->info(), QStringLiteral("saved log to file \"%1\"").arg(name));
    QVERIFY(m_trace->text().endsWith(QStringLiteral("\n--------------------------------------\nRMCP1: saved log to file "
                                                    "\"%1\"\n--------------------------------------\n").arg(name)));

    // An explicit name is used as given; saving again truncates; an empty
    // log writes the banner only.
    l.log.clearLog();
    QVERIFY(l.log.writeLogToFilename(QStringLiteral("log/explicit.txt")));
    const QByteArray banner = readFile(QStringLiteral("log/explicit.txt"));
    QCOMPARE(banner.count('\n'), 5);
    QVERIFY(banner.startsWith(dashes.toLatin1()) && banner.endsWith(dashes.toLatin1()));
    QCOMPARE(l.model()->size(), 1);
}

void TestPacketLog::failedSavesAreReportedNotShown()
{
    Log l;
    QSignalSpy failed(&l.log, &ASF_Logger::saveFailed);
    QDir(QStringLiteral("log")).removeRecursively(); // the program never creates it
    QVERIFY(!l.log.writeLogToFilename());
    QCOMPARE(failed.count(), 1);
    const QString text = failed.at(0).at(0).toString();
    QVERIFY2(text.startsWith(QStringLiteral("PET: save log to file log/PET.")) && text.contains(QStringLiteral(" failed (")),
             qPrintable(text));
    QCOMPARE(m_trace->text(), text);
    QCOMPARE(l.model()->size(), 0); // no "saved" line
    QVERIFY(l.log.lastFileName().isEmpty());

    // A log that never listed has nothing to save.
    QDir().mkdir(QStringLiteral("log"));
    ASF_Logger unlisted;
    QSignalSpy missing(&unlisted, &ASF_Logger::saveFailed);
    QVERIFY(!unlisted.writeLogToFilename(QStringLiteral("log/none.txt")));
    QCOMPARE(missing.at(0).at(0).toString(), QStringLiteral("log item missing"));
    QVERIFY(!QFile::exists(QStringLiteral("log/none.txt")));
}

void TestPacketLog::traceLogFile()
{
    TraceLog traceLog;
    traceLog.install();
    qDebug("first line\n\nsecond ");
    qDebug("continued\n");
    ASF_Logger traceLogger; // never lists: only the trace is saved
    traceLogger.setObjectName(QStringLiteral("TraceLog"));
    QVERIFY(traceLogger.writeLogToFilename(QString(), true));
    const QString name = traceLogger.lastFileName();
    QCOMPARE(readFile(name), (expectedBanner(QStringLiteral("TraceLog"), name) + "| first line\n| second continued\n").toLatin1());
    // The save is traced afterwards, and no list got a line.
    QVERIFY(traceLog.text().endsWith(
        QStringLiteral("TraceLog: saved log to file \"%1\"\n--------------------------------------\n").arg(name)));
    QCOMPARE(traceLogger.model()->size(), 0);
}

QTEST_GUILESS_MAIN(TestPacketLog)
#include "tst_packetlog.moc"
