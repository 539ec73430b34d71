#include "core/asfpacket.h"
#include "support/capture.h"
#include "core/rowtree.h"
#include "core/textformat.h"

#include <QTextStream>
#include <QtTest>

using namespace velquor;
using velquor::test::TraceCapture;

class TestPacketRecord : public QObject
{
    Q_OBJECT

private slots:
    void statusWorstWins();
    void appendInfoJoining_data();
    void appendInfoJoining();
    void formattedInfoIsCutAt300Bytes();
    void findingsAreTracedVerbatim();
    void hexDumpText_data();
    void hexDumpText();
    void dumpsNeverWalkPastTheBytes();
    void timestampText_data();
    void timestampText();
    void logLineTextForm();
    void cloneCopiesEveryField();
    void markItemOnRowTree();
};

void TestPacketRecord::statusWorstWins()
{
    TraceCapture trace;
    ASF_Packet p(0);
    p.warning(QStringLiteral("w"));
    QCOMPARE(p.status(), ASF_PACKET_WARNING);
    p.error(QStringLiteral("e"));
    p.warning(QStringLiteral("w"));
    QCOMPARE(p.getAsfPacketStatus(), ASF_PACKET_ERROR); // a warning never lowers an error
    p.setOk();
    QCOMPARE(p.status(), ASF_PACKET_OK); // only setOk/setStatus undo it
}

void TestPacketRecord::appendInfoJoining_data()
{
    QTest::addColumn<bool>("logLine");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QString>("expected");
    // A plain record starts with the info " ", which is not empty.
    QTest::newRow("plain, one") << false << QStringList{"x"} << "  -x";
    QTest::newRow("plain, two") << false << QStringList{"x", "y"} << "  -x -y";
    // A log line starts empty: the first text stands alone.
    QTest::newRow("empty, one") << true << QStringList{"x"} << "x";
    QTest::newRow("empty, two") << true << QStringList{"x", "y"} << "x -y";
}

void TestPacketRecord::appendInfoJoining()
{
    QFETCH(bool, logLine);
    QFETCH(QStringList, parts);
    QFETCH(QString, expected);
    std::unique_ptr<ASF_Packet> p = logLine ? std::make_unique<ASF_LogPacket>(0) : std::make_unique<ASF_Packet>(0);
    for (const QString &part : parts)
        p->appendInfo(part);
    QCOMPARE(p->info(), expected);
}

void TestPacketRecord::formattedInfoIsCutAt300Bytes()
{
    ASF_Packet p(0);
    const QByteArray fits(299, 'a');
    QByteArray out = test::captureStdout([&] { p.setInfo("%s", fits.constData()); });
    QCOMPARE(out, QByteArray());
    QCOMPARE(p.info().size(), 299);

    const QByteArray tooLong(300, 'b');
    out = test::captureStdout([&] { p.setInfo("%s", tooLong.constData()); });
    QCOMPARE(out, QByteArray("error string too long\n"));
    QCOMPARE(p.info(), QString(299, QLatin1Char('b')));

    ASF_LogPacket line(0);
    out = test::captureStdout([&] { line.appendInfo("%s-%d", tooLong.constData(), 7); });
    QCOMPARE(out, QByteArray("error string too long\n"));
    QCOMPARE(line.info(), QString(299, QLatin1Char('b')));
}

void TestPacketRecord::findingsAreTracedVerbatim()
{
    TraceCapture trace;
    ASF_LogPacket p(0);
    p.warning(QStringLiteral("100% done"));
    p.error(QStringLiteral("%s %d"));
    QCOMPARE(p.info(), QStringLiteral("100% done -%s %d"));
    QCOMPARE(trace.text(), QStringLiteral("\tWarning: 100% done\n\tError:   %s %d\n"));
}

void TestPacketRecord::hexDumpText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QByteArray() << "\tHex Dump:\n\t0 - 4: \n";
    QTest::newRow("four") << QByteArray::fromHex("0a0b0c0d") << "\tHex Dump:\n\t0 - 4:  0a 0b 0c 0d\n\t4 - 8: \n";
    QTest::newRow("six") << QByteArray::fromHex("010203040506")
                         << "\tHex Dump:\n\t0 - 4:  01 02 03 04\n\t4 - 8:  05 06\n";
    QTest::newRow("ff is not sign-extended") << QByteArray::fromHex("ff80") << "\tHex Dump:\n\t0 - 4:  ff 80\n";
}

void TestPacketRecord::hexDumpText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    ASF_Packet p(0);
    p.setData(bytes);
    QCOMPARE(p.textForm(), expected);
    // Both text forms write the one text.
    QString streamed;
    QTextStream stream(&streamed);
    p.writeToStream(stream);
    stream.flush();
    FILE *f = std::tmpfile();
    p.writeToFile(f);
    std::rewind(f);
    char buffer[256] = {0};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    QCOMPARE(streamed + '|' + QString::fromLatin1(buffer, qsizetype(n)), expected + '|' + expected);
}

void TestPacketRecord::dumpsNeverWalkPastTheBytes()
{
    ASF_Packet p(0);
    p.setData(QByteArray::fromHex("0102"), 1000); // a count larger than the bytes
    QCOMPARE(p.textForm(), QStringLiteral("\tHex Dump:\n\t0 - 4:  01 02\n"));
    QCOMPARE(p.getAsfPacketDataSize(), 2.0);
    p.setData(QByteArray::fromHex("0102"), -5);
    QCOMPARE(p.textForm(), QStringLiteral("\tHex Dump:\n\t0 - 4: \n"));
}

void TestPacketRecord::timestampText_data()
{
    QTest::addColumn<quint32>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0u << "00:00:00:000";
    QTest::newRow("mixed") << 3723004u << "01:02:03:004";
    QTest::newRow("past a day") << 90000000u << "25:00:00:000";
    QTest::newRow("top of range") << 4294967295u << "1193:02:47:295";
}

void TestPacketRecord::timestampText()
{
    QFETCH(quint32, ms);
    QFETCH(QString, text);
    QCOMPARE(velquor::timestampText(ms), text);
}

void TestPacketRecord::logLineTextForm()
{
    ASF_LogPacket line(0);
    QCOMPARE(line.textForm(), QString());
    line.setLogMessage(QStringLiteral("a<br>b<BR>c<b>d</b>e<br/>f"));
    // Only the lower-case breaks become line feeds; every other tag goes.
    QCOMPARE(line.textForm(), QStringLiteral("a\nbcde\nf"));
    QCOMPARE(line.getLogMessage(), QStringLiteral("a<br>b<BR>c<b>d</b>e<br/>f"));
}

void TestPacketRecord::cloneCopiesEveryField()
{
    ASF_LogPacket line(1234);
    line.setData(QByteArray::fromHex("c0ffee"));
    line.setDirection(ASF_Packet::Sent);
    line.setProtocol(QStringLiteral("X"));
    line.setInfo(QStringLiteral("info"));
    line.setError();
    line.setLogMessage(QStringLiteral("msg"));
    const std::unique_ptr<ASF_Packet> copy = line.clone();
    const auto fields = [](const ASF_Packet &p) {
        return QVariantList{p.data(), p.timestamp(), p.direction(), p.protocol(), p.info(), p.status(),
                            qobject_cast<const ASF_LogPacket *>(&p)->logMessage()};
    };
    QCOMPARE(fields(*copy), fields(line));
    QCOMPARE(copy->parent(), nullptr);
}

void TestPacketRecord::markItemOnRowTree()
{
    RowTree tree;
    Row *root = tree.addTop(QStringLiteral("root"));
    Row *group = root->addChild(QStringLiteral("group"));
    Row *field = group->addChild(QStringLiteral("field"));
    ASF_Packet p(0);
    p.markItemWarning(field, QStringLiteral("warning: w"));
    QCOMPARE(field->info, QStringLiteral("warning: w"));
    QCOMPARE(field->mark, RowMark::Warning);
    QCOMPARE(group->mark, RowMark::Warning);
    QCOMPARE(root->mark, RowMark::None); // only the direct parent
    QCOMPARE(p.status(), ASF_PACKET_WARNING);
    QCOMPARE(p.info(), QStringLiteral("  -warning: w"));

    p.markItemError(root, QStringLiteral("error: e"));
    p.markItemWarning(group, QStringLiteral("warning: again"));
    QCOMPARE(p.status(), ASF_PACKET_ERROR);
}

QTEST_GUILESS_MAIN(TestPacketRecord)
#include "tst_packetrecord.moc"
