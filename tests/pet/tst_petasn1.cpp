// BER readers: values, positions, failure texts, and that no read goes past
// the limit.

#include "asn1.h"
#include "pettestutil.h"

#include <QtTest>

using namespace velquor::asn1;
using pettest::hex;

Q_DECLARE_METATYPE(velquor::asn1::ReadStatus)

class TestPetAsn1 : public QObject
{
    Q_OBJECT

private:
    // Runs a reader on a copy of bytes that ends exactly at the limit, so
    // the sanitizer build catches any read past it.
    template <typename F>
    static auto onExact(const QByteArray &bytes, F reader)
    {
        std::vector<uchar> buffer(bytes.begin(), bytes.end());
        return reader(buffer.empty() ? nullptr : buffer.data(), int(buffer.size()));
    }

private slots:
    void integer_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("value");
        QTest::addColumn<int>("endPos");
        QTest::addColumn<ReadStatus>("status");
        QTest::addColumn<QString>("trace");
        QTest::newRow("ff is 255") << hex("0201ff") << 255u << 3 << ReadStatus::Ok << QString();
        QTest::newRow("timeticks") << hex("43040000012c") << 300u << 6 << ReadStatus::Ok << QString();
        QTest::newRow("negative keeps bits") << hex("0204fffffffe") << 0xfffffffeu << 6 << ReadStatus::Ok << QString();
        QTest::newRow("empty is 0") << hex("0200") << 0u << 2 << ReadStatus::Ok << QString();
        QTest::newRow("length 5") << hex("02050102030405") << 0u << 2 << ReadStatus::BadSize
                                  << "\terror: asn1: exceeding system integer\n";
        QTest::newRow("wrong tag") << hex("0401ff") << 0u << 0 << ReadStatus::WrongTag
                                   << "\terror: asn1: integer expected, got 0x4\n";
        QTest::newRow("underrun") << hex("020301") << 0u << 2 << ReadStatus::CutShort
                                  << "\terror: asn1: data underrun\n";
        QTest::newRow("no length byte") << hex("02") << 0u << 0 << ReadStatus::CutShort
                                        << "\terror: asn1: data underrun\n";
        QTest::newRow("nothing") << QByteArray() << 0u << 0 << ReadStatus::Missing
                                 << "\terror: asn1: data underrun\n";
    }
    void integer()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, value);
        QFETCH(int, endPos);
        QFETCH(ReadStatus, status);
        QFETCH(QString, trace);
        pettest::TraceCollector collector;
        ReadStatus got = ReadStatus::Ok;
        int pos = 0;
        const quint32 read = onExact(bytes, [&](const uchar *d, int n) { return readInteger(d, pos, n, {&got}); });
        QCOMPARE(read, value);
        QCOMPARE(pos, endPos);
        QCOMPARE(got, status);
        QCOMPARE(collector.text(), trace);
    }

    void octetString()
    {
        pettest::TraceCollector collector;
        int pos = 0;
        QString text = QStringLiteral("old");
        const QByteArray ok = hex("0403616263ff");
        QVERIFY(onExact(ok, [&](const uchar *d, int n) { return readOctetString(d, pos, n, text); }));
        QCOMPARE(pos, 5);
        QCOMPARE(text, QStringLiteral("abc"));

        // A failed read leaves the text as it was.
        pos = 0;
        ReadStatus status;
        QVERIFY(!onExact(hex("040561"), [&](const uchar *d, int n) { return readOctetString(d, pos, n, text, {&status}); }));
        QCOMPARE(status, ReadStatus::CutShort);
        QCOMPARE(pos, 2);
        QCOMPARE(text, QStringLiteral("abc"));
        pos = 0;
        QVERIFY(!onExact(hex("0201"), [&](const uchar *d, int n) { return readOctetString(d, pos, n, text); }));
        QCOMPARE(pos, 0);
        QCOMPARE(collector.text(), QStringLiteral("\terror: asn1: data underrun\n\terror: asn1: octet string expected, got 2\n"));
    }

    void headers()
    {
        pettest::TraceCollector collector;
        int pos = 0;
        // Only the header is consumed; the length is not compared with the data.
        QCOMPARE(onExact(hex("307f"), [&](const uchar *d, int n) { return readSequenceHeader(d, pos, n); }), 0x7f);
        QCOMPARE(pos, 2);
        pos = 0;
        QCOMPARE(onExact(hex("3100"), [&](const uchar *d, int n) { return readSequenceHeader(d, pos, n); }), -1);
        QCOMPARE(pos, 0);
        pos = 0;
        QCOMPARE(onExact(hex("0490"), [&](const uchar *d, int n) { return readOctetStringHeader(d, pos, n); }), 0x90);
        QCOMPARE(pos, 2);
        pos = 0;
        QCOMPARE(onExact(hex("0230"), [&](const uchar *d, int n) { return readOctetStringHeader(d, pos, n); }), -1);
        pos = 0;
        ReadStatus status;
        QCOMPARE(onExact(hex("30"), [&](const uchar *d, int n) { return readSequenceHeader(d, pos, n, {&status}); }), -1);
        QCOMPARE(status, ReadStatus::CutShort);
        QCOMPARE(pos, 0);
        QCOMPARE(collector.text(), QStringLiteral("\terror: asn1: sequence expected, got 31\n"
                                                  "\terror: asn1: octet string expected, got 2\n"
                                                  "\terror: asn1: data underrun\n"));
    }

    void ipAddress_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("endPos");
        QTest::addColumn<QString>("trace");
        QTest::newRow("ok") << hex("4004c0a80001") << true << "192.168.0.1" << 6 << QString();
        QTest::newRow("length 6") << hex("4006c0a80001aaaa") << false << "keep" << 2
                                  << "\terror: asn1: IP address wrong size\n";
        QTest::newRow("wrong tag") << hex("4104c0a80001") << false << "keep" << 0
                                   << "\terror: asn1: 0x40 expected, got 41\n";
        QTest::newRow("underrun") << hex("4004c0a8") << false << "keep" << 2 << "\terror: asn1: data underrun\n";
    }
    void ipAddress()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        QFETCH(QString, text);
        QFETCH(int, endPos);
        QFETCH(QString, trace);
        pettest::TraceCollector collector;
        int pos = 0;
        QString got = QStringLiteral("keep");
        QCOMPARE(onExact(bytes, [&](const uchar *d, int n) { return readIpAddress(d, pos, n, got); }), ok);
        QCOMPARE(got, text);
        QCOMPARE(pos, endPos);
        QCOMPARE(collector.text(), trace);
    }

    void objectIdentifier_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("endPos");
        QTest::addColumn<QString>("trace");
        QTest::newRow("enterprise") << hex("06092b06010401986f0101") << true << "1.3.6.1.4.1.3183.1.1" << 11 << QString();
        QTest::newRow("first byte only") << hex("06012b") << true << "1.3" << 3 << QString();
        QTest::newRow("first byte not base 128") << hex("0601ff") << true << "6.15" << 3 << QString();
        QTest::newRow("four-byte arc") << hex("06052bffffff7f") << true << "1.3.268435455" << 7 << QString();
        QTest::newRow("five-byte arc") << hex("06072b8181818101 05") << true << "1.3.2113665.5" << 9
                                       << "\terror: asn1: can not decode object identifier\n";
        // The contents end inside an arc: nothing past them is read.
        QTest::newRow("open arc at end") << hex("06032b0186 0203") << true << "1.3.1" << 5
                                         << "\terror: asn1: can not decode object identifier\n";
        QTest::newRow("empty") << hex("0600") << true << "" << 2 << QString();
        QTest::newRow("underrun") << hex("06092b0601") << false << "keep" << 2 << "\terror: asn1: data underrun\n";
        QTest::newRow("wrong tag") << hex("0409") << false << "keep" << 0
                                   << "\terror: asn1: object identifier expected, got 4\n";
    }
    void objectIdentifier()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        QFETCH(QString, text);
        QFETCH(int, endPos);
        QFETCH(QString, trace);
        pettest::TraceCollector collector;
        int pos = 0;
        QString got = QStringLiteral("keep");
        QCOMPARE(onExact(bytes, [&](const uchar *d, int n) { return readObjectIdentifier(d, pos, n, got); }), ok);
        QCOMPARE(got, text);
        QCOMPARE(pos, endPos);
        QCOMPARE(collector.text(), trace);
    }

    // Every reader on every prefix of a mixed element run, starting at every
    // position: never past the limit (the sanitizer build checks), position
    // never beyond it.
    void neverPastLimit()
    {
        const QByteArray all = hex("3081 0205ffffffffff 0403616263 4004c0a80001 06092b06010401986f0101 06048181818f 43020102");
        for (int size = 0; size <= all.size(); ++size) {
            const QByteArray bytes = all.left(size);
            for (int start = 0; start <= size; ++start) {
                onExact(bytes, [&](const uchar *d, int n) {
                    QString text;
                    ReadOptions quiet{nullptr, false};
                    int pos = start;
                    readInteger(d, pos, n, quiet);
                    QVERIFY(pos <= n);
                    pos = start;
                    readOctetString(d, pos, n, text, quiet);
                    QVERIFY(pos <= n);
                    pos = start;
                    readSequenceHeader(d, pos, n, quiet);
                    QVERIFY(pos <= n);
                    pos = start;
                    readOctetStringHeader(d, pos, n, quiet);
                    QVERIFY(pos <= n);
                    pos = start;
                    readIpAddress(d, pos, n, text, quiet);
                    QVERIFY(pos <= n);
                    pos = start;
                    readObjectIdentifier(d, pos, n, text, quiet);
                    QVERIFY(pos <= n);
                });
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestPetAsn1)
#include "tst_petasn1.moc"
