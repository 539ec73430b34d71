// velquor-check on capture files whose time stamps sit at the edges: pcapng
// interfaces with time offsets, stamps at the end of the 64-bit range,
// times before 1970, classic pcap after January 2038. Each file is written
// here from hex, field by field.

#include "support/pettrapbuilder.h"
#include "support/toolrun.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

using pettest::hex;

QByteArray le32(quint32 v)
{
    QByteArray out(4, '\0');
    qToLittleEndian(v, out.data());
    return out;
}

// Ethernet, IPv4 and UDP headers (40000 -> port) around a payload.
QByteArray udpFrame(const QByteArray &payload, quint16 port)
{
    QByteArray frame = hex("020000000002 020000000001 0800");
    QByteArray ip = hex("4500 0000 0000 0000 4011 0000 c0a80001 c0a80002");
    qToBigEndian(quint16(20 + 8 + payload.size()), ip.data() + 2);
    QByteArray udp = hex("9c40 0000 0000 0000");
    qToBigEndian(port, udp.data() + 2);
    qToBigEndian(quint16(8 + payload.size()), udp.data() + 4);
    return frame + ip + udp + payload;
}

// pcapng, little-endian: section header, Ethernet interfaces (with an
// if_tsoffset option in seconds when given, 8 bytes little-endian), enhanced
// packet blocks with a 64-bit stamp in microseconds (high word first, as the
// block holds it).
const QByteArray sectionHeader = hex("0a0d0d0a 1c000000 4d3c2b1a 0100 0000 ffffffffffffffff 1c000000");

QByteArray interfaceBlock(const char *offsetHex = nullptr)
{
    if (!offsetHex)
        return hex("01000000 14000000 0100 0000 00000000 14000000");
    return hex("01000000 24000000 0100 0000 00000000") + hex("0e00 0800") + hex(offsetHex) + hex("0000 0000 24000000");
}

QByteArray packetBlock(quint32 interface, const char *stampHighLow, const QByteArray &frame)
{
    QByteArray data = frame;
    while (data.size() % 4)
        data.append('\0');
    const quint32 total = quint32(8 + 20 + data.size() + 4);
    const QByteArray stamp = hex(stampHighLow); // 8 bytes, big-endian for reading
    return hex("06000000") + le32(total) + le32(interface) + le32(qFromBigEndian<quint32>(stamp.constData()))
        + le32(qFromBigEndian<quint32>(stamp.constData() + 4)) + le32(quint32(frame.size()))
        + le32(quint32(frame.size())) + data + le32(total);
}

// Classic pcap, little-endian, microseconds, Ethernet; records with a 32-bit
// seconds field given as hex (big-endian for reading).
const QByteArray pcapHeader = hex("d4c3b2a1 0200 0400 00000000 00000000 ffff0000 01000000");

QByteArray pcapRecord(const char *secondsHex, quint32 micros, const QByteArray &frame)
{
    return le32(qFromBigEndian<quint32>(hex(secondsHex).constData())) + le32(micros) + le32(quint32(frame.size()))
        + le32(quint32(frame.size())) + frame;
}

const QByteArray ping = hex("06 00 ff 06 000011be 80 00 00 00"); // Presence Ping: an ok RMCP record

// The time and info of each printed row, "hh:mm:ss:mmm|info" (an info's
// last newline merges into the blank line after it).
QStringList rows(const QString &out)
{
    static const QRegularExpression re(QStringLiteral("\\| [ 0-9]{5} - \\S+ - (\\d\\d+:\\d\\d:\\d\\d:\\d\\d\\d) - \\w*\n"
                                                      "\\|     status/info: ((?:.|\n)*?)\n\n"));
    QStringList found;
    for (auto it = re.globalMatch(out); it.hasNext();) {
        const auto m = it.next();
        found << m.captured(1) + QLatin1Char('|') + m.captured(2);
    }
    return found;
}

} // namespace

class TestVelquorCheckCapture : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    velquor::test::ToolRun run(const char *option, const QByteArray &file)
    {
        const QString path = dir.filePath(QStringLiteral("capture"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size())
            qFatal("cannot write %s", qPrintable(path));
        f.close();
        return velquor::test::runCheckTool({QLatin1String(option), path});
    }

private slots:
    // Times are milliseconds since the first datagram; a time stamp beyond
    // the signed 64-bit microsecond range is clamped to its end.
    void pcapngTimes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("times");
        const QByteArray frame = udpFrame(ping, 623);
        QTest::newRow("stamp past 2^63 us")
            << sectionHeader + interfaceBlock() + packetBlock(0, "7fffffffffb3b4c0", frame) // 2^63 - 5 s
                   + packetBlock(0, "80000000004c4b40", frame)                            // 2^63 + 5 s: clamped
            << QStringList{"00:00:00:000", "00:00:04:999"};
        // -9.3e12 s puts both outside the range: clamped to the same end.
        QTest::newRow("large negative offset")
            << sectionHeader + interfaceBlock("00b8cdac8af7ffff") + packetBlock(0, "0000000000000000", frame)
                   + packetBlock(0, "0000000000989680", frame)
            << QStringList{"00:00:00:000", "00:00:00:000"};
        // +9e12 s and -9e12 s: the later-stamped datagram first; the other
        // lies before it.
        QTest::newRow("offsets far apart")
            << sectionHeader + interfaceBlock("0090cd792f080000") + interfaceBlock("00703286d0f7ffff")
                   + packetBlock(0, "0000000000000000", frame) + packetBlock(1, "0000000000000000", frame)
                   + packetBlock(0, "00000000004c4b40", frame)
            << QStringList{"00:00:00:000", "00:00:00:000", "00:00:05:000"};
        // Before 1970: -10 s, -5 s, 0 s.
        QTest::newRow("negative times")
            << sectionHeader + interfaceBlock("f6ffffffffffffff") + packetBlock(0, "0000000000000000", frame)
                   + packetBlock(0, "00000000004c4b40", frame) + packetBlock(0, "0000000000989680", frame)
            << QStringList{"00:00:00:000", "00:00:05:000", "00:00:10:000"};
        // The clock ends 2^32 - 1 ms after the first datagram.
        QTest::newRow("past the end of the clock")
            << sectionHeader + interfaceBlock() + packetBlock(0, "0000000000000000", frame)
                   + packetBlock(0, "000003e800000000", frame)
            << QStringList{"00:00:00:000", "1193:02:47:295"};
    }
    void pcapngTimes()
    {
        QFETCH(QByteArray, file);
        const auto r = run("--rmcp", file);
        QCOMPARE(r.exitCode, 0);
        QStringList times;
        for (const QString &row : rows(r.out))
            times << row.section(QLatin1Char('|'), 0, 0);
        QTEST(times, "times");
    }

    // The seconds field of classic pcap is unsigned: times after January
    // 2038 go on counting, and the analysis sees the real spacing.
    void classicPcapAfter2038()
    {
        const QByteArray trap = udpFrame(pettest::trapWithSequence(5), 162);
        const QByteArray file = pcapHeader + pcapRecord("7ffffff6", 0, trap) // 2038-01-19 03:13:58
            + pcapRecord("80000000", 0, trap)                                 // 10 s later
            + pcapRecord("8000003f", 500000, trap);                           // 73.5 s after the first
        const auto r = run("--pet", file);
        const QStringList got = rows(r.out);
        QCOMPARE(got.mid(0, 3),
                 QStringList({"00:00:00:000| ", "00:00:10:000|retransmission (1) for packet received at 0",
                              "00:01:13:500|  -\nwarning: reuse of sequence nr. within 2 min. after\nfirst occurrence "
                              "at 0 missing with 1 retransmission (same contents)"})); // its last "\n" ends the row
    }
};

QTEST_GUILESS_MAIN(TestVelquorCheckCapture)
#include "capture_check.moc"
