// Hex text of keys and data: pairs of digits, blanks only between pairs.

#include "core/hextext.h"

#include <QtTest>

using velquor::HexTextResult;
using velquor::parseHexText;

class TestHexText : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("blanks only") << " \t " << QByteArray();
        QTest::newRow("packed") << "0600ff06" << QByteArray("\x06\x00\xff\x06", 4);
        QTest::newRow("spaced, both cases") << "06 00 Ff 06" << QByteArray("\x06\x00\xff\x06", 4);
        QTest::newRow("tabs, runs and ends") << "\t06  \t00ff 06 " << QByteArray("\x06\x00\xff\x06", 4);
    }
    void accepted()
    {
        QFETCH(QString, text);
        const HexTextResult r = parseHexText(text);
        QVERIFY(r.ok());
        QTEST(r.bytes, "bytes");
    }

    // A bad character wins over odd digits, odd digits over a split pair;
    // positions count from 0.
    void refused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("position");
        QTest::newRow("split first pair") << "0 600ff06" << int(HexTextResult::SplitPair) << 1;
        QTest::newRow("split later pair") << "0600 f f06 " << int(HexTextResult::SplitPair) << 6;
        QTest::newRow("odd") << "060" << int(HexTextResult::OddDigits) << 3;
        QTest::newRow("odd and split") << "0 60" << int(HexTextResult::OddDigits) << 4;
        QTest::newRow("prefix") << "0x06" << int(HexTextResult::BadCharacter) << 1;
        QTest::newRow("bad after split") << "0 6,0" << int(HexTextResult::BadCharacter) << 3;
        QTest::newRow("newline is no blank") << "06\n00" << int(HexTextResult::BadCharacter) << 2;
        QTest::newRow("non-Latin digit") << QString::fromUtf8("0\xd9\xa6") << int(HexTextResult::BadCharacter) << 1;
    }
    void refused()
    {
        QFETCH(QString, text);
        const HexTextResult r = parseHexText(text);
        QTEST(int(r.fault), "fault");
        QTEST(int(r.position), "position");
        QVERIFY(r.bytes.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestHexText)
#include "tst_hextext.moc"
