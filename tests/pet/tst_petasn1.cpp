// BER readers: values, positions, status, failure texts, and that no read
// goes past the limit.

#include "pet/asn1.h"
#include "support/capture.h"
#include "support/pettrapbuilder.h"

#include <QtTest>

using namespace velquor::asn1;
using pettest::hex;

Q_DECLARE_METATYPE(velquor::asn1::ReadStatus)

namespace {

enum Reader { Integer, Octets, SequenceHeader, OctetsHeader, IpAddress, ObjectId };

// Runs a reader on a copy of bytes that ends exactly at the limit, so the
// sanitizer build catches any read past it. The result is the number read, or
// the text ("keep" when the reader left it), after "!" when it returned false.
QString read(int reader, const QByteArray &bytes, int &pos, ReadOptions options)
{
    std::vector<uchar> buffer(bytes.begin(), bytes.end());
    const uchar *d = buffer.empty() ? nullptr : buffer.data();
    const int n = int(buffer.size());
    QByteArray text = "keep";
    bool ok = true;
    switch (reader) {
    case Integer: return QString::number(readInteger(d, pos, n, options));
    case SequenceHeader: return QString::number(readSequenceHeader(d, pos, n, options));
    case OctetsHeader: return QString::number(readOctetStringHeader(d, pos, n, options));
    case Octets: ok = readOctetString(d, pos, n, text, options); break;
    case IpAddress: ok = readIpAddress(d, pos, n, text, options); break;
    case ObjectId: ok = readObjectIdentifier(d, pos, n, text, options); break;
    }
    return QString::fromLatin1(ok ? text : '!' + text);
}

} // namespace

class TestPetAsn1 : public QObject
{
    Q_OBJECT

private slots:
    void readers_data()
    {
        QTest::addColumn<int>("reader");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("endPos");
        QTest::addColumn<ReadStatus>("status");
        QTest::addColumn<QString>("trace");
        const QString underrun = QStringLiteral("\terror: asn1: data underrun\n");
        const QString badOid = QStringLiteral("\terror: asn1: can not decode object identifier\n");
        auto row = [](const char *name, int reader, const char *bytes, const char *result, int endPos, ReadStatus status,
                      const QString &trace = QString()) {
            QTest::newRow(name) << reader << hex(bytes) << QString::fromLatin1(result) << endPos << status << trace;
        };
        row("integer ff is 255", Integer, "0201ff", "255", 3, ReadStatus::Ok);
        row("timeticks", Integer, "43040000012c", "300", 6, ReadStatus::Ok);
        row("negative keeps bits", Integer, "0204fffffffe", "4294967294", 6, ReadStatus::Ok);
        row("empty integer is 0", Integer, "0200", "0", 2, ReadStatus::Ok);
        row("integer of 5", Integer, "02050102030405", "0", 2, ReadStatus::BadSize,
            QStringLiteral("\terror: asn1: exceeding system integer\n"));
        row("integer tag", Integer, "0401ff", "0", 0, ReadStatus::WrongTag,
            QStringLiteral("\terror: asn1: integer expected, got 0x4\n"));
        row("integer cut", Integer, "020301", "0", 2, ReadStatus::CutShort, underrun);
        row("no length byte", Integer, "02", "0", 0, ReadStatus::CutShort, underrun);
        row("nothing", Integer, "", "0", 0, ReadStatus::Missing, underrun);
        row("octets", Octets, "0403616263ff", "abc", 5, ReadStatus::Ok);
        row("octets cut", Octets, "040561", "!keep", 2, ReadStatus::CutShort, underrun);
        row("octets tag", Octets, "0201", "!keep", 0, ReadStatus::WrongTag,
            QStringLiteral("\terror: asn1: octet string expected, got 2\n"));
        // Only the header is read; the length is not compared with the data.
        row("sequence header", SequenceHeader, "307f", "127", 2, ReadStatus::Ok);
        row("sequence tag", SequenceHeader, "3100", "-1", 0, ReadStatus::WrongTag,
            QStringLiteral("\terror: asn1: sequence expected, got 31\n"));
        row("sequence cut", SequenceHeader, "30", "-1", 0, ReadStatus::CutShort, underrun);
        row("octets header", OctetsHeader, "0490", "144", 2, ReadStatus::Ok);
        row("octets header tag", OctetsHeader, "0230", "-1", 0, ReadStatus::WrongTag,
            QStringLiteral("\terror: asn1: octet string expected, got 2\n"));
        row("ip", IpAddress, "4004c0a80001", "192.168.0.1", 6, ReadStatus::Ok);
        row("ip of 6", IpAddress, "4006c0a80001aaaa", "!keep", 2, ReadStatus::BadSize,
            QStringLiteral("\terror: asn1: IP address wrong size\n"));
        row("ip tag", IpAddress, "4104c0a80001", "!keep", 0, ReadStatus::WrongTag,
            QStringLiteral("\terror: asn1: 0x40 expected, got 41\n"));
        row("ip cut", IpAddress, "4004c0a8", "!keep", 2, ReadStatus::CutShort, underrun);
        row("enterprise oid", ObjectId, "06092b06010401986f0101", "1.3.6.1.4.1.3183.1.1", 11, ReadStatus::Ok);
        row("first byte only", ObjectId, "06012b", "1.3", 3, ReadStatus::Ok);
        row("first byte not base 128", ObjectId, "0601ff", "6.15", 3, ReadStatus::Ok);
        row("four-byte arc", ObjectId, "06052bffffff7f", "1.3.268435455", 7, ReadStatus::Ok);
        row("five-byte arc", ObjectId, "06072b8181818101 05", "1.3.2113665.5", 9, ReadStatus::BadContents, badOid);
        // The contents end inside an arc: nothing past them is read.
        row("open arc at end", ObjectId, "06032b0186 0203", "1.3.1", 5, ReadStatus::BadContents, badOid);
        row("empty oid", ObjectId, "0600", "", 2, ReadStatus::Ok);
        row("oid cut", ObjectId, "06092b0601", "!keep", 2, ReadStatus::CutShort, underrun);
        row("oid tag", ObjectId, "0409", "!keep", 0, ReadStatus::WrongTag,
            QStringLiteral("\terror: asn1: object identifier expected, got 4\n"));
    }
    void readers()
    {
        QFETCH(int, reader);
        QFETCH(QByteArray, bytes);
        QFETCH(ReadStatus, status);
        velquor::test::TraceCapture trace;
        int pos = 0;
        ReadStatus got = ReadStatus(-1);
        QTEST(read(reader, bytes, pos, {&got}), "result");
        QTEST(pos, "endPos");
        QCOMPARE(got, status);
        QTEST(trace.text(), "trace");
    }

    // Every reader on every prefix of a mixed element run, from every start:
    // never a read past the limit (the sanitizer build checks), the position
    // never beyond it, and quiet readers trace nothing.
    void neverPastLimit()
    {
        velquor::test::TraceCapture trace;
        const QByteArray all = hex("3081 0205ffffffffff 0403616263 4004c0a80001 06092b06010401986f0101 06048181818f 43020102");
        for (int size = 0; size <= all.size(); ++size) {
            for (int start = 0; start <= size; ++start) {
                for (int reader = Integer; reader <= ObjectId; ++reader) {
                    int pos = start;
                    read(reader, all.left(size), pos, {nullptr, false});
                    QVERIFY(pos >= start && pos <= size);
                }
            }
        }
        QCOMPARE(trace.text(), QString());
    }
};

QTEST_APPLESS_MAIN(TestPetAsn1)
#include "tst_petasn1.moc"
