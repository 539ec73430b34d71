// velquor-check --pet, run as a program: output blocks, exit codes, capture
// files with retransmissions and expiry.

#include "asfpetpacket.h"
#include "logfileformat.h"
#include "pettestutil.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <pcap/pcap.h>

using namespace pettest;

namespace {

struct Run
{
    int exitCode = -1;
    QString out, err;
};

Run check(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(VELQUOR_CHECK_BINARY), arguments);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLatin1(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

Run checkHex(const QByteArray &bytes)
{
    return check({QStringLiteral("--pet"), QStringLiteral("--hex"), QString::fromLatin1(bytes.toHex())});
}

// The block a saved log holds for this datagram as the only record.
QString expectedBlock(const QByteArray &bytes)
{
    ASF_PET_Packet packet(0);
    packet.setDirection(ASF_Packet::Received);
    packet.setData(bytes, int(bytes.size()));
    return velquor::logfile::block(velquor::logRowTexts(1, QStringLiteral("PET"), 0, 0, packet.info()),
                                   packet.textForm());
}

struct Frame
{
    qint64 micros;
    QByteArray payload;
};

// An Ethernet/IPv4/UDP capture file to port 162.
bool writeCapture(const QString &path, const std::vector<Frame> &frames)
{
    pcap_t *dead = pcap_open_dead(DLT_EN10MB, 65535);
    if (!dead)
        return false;
    pcap_dumper_t *dumper = pcap_dump_open(dead, path.toLocal8Bit().constData());
    if (!dumper) {
        pcap_close(dead);
        return false;
    }
    for (const Frame &f : frames) {
        QByteArray frame = hex("020000000001 020000000002 0800");
        const int udpLength = 8 + int(f.payload.size());
        frame += hex("4500") + be(20 + udpLength, 2) + hex("00000000 4011 0000 0a000002 0a000001");
        frame += be(1024, 2) + be(162, 2) + be(udpLength, 2) + hex("0000") + f.payload;
        pcap_pkthdr header{};
        header.ts.tv_sec = f.micros / 1000000;
        header.ts.tv_usec = f.micros % 1000000;
        header.caplen = header.len = bpf_u_int32(frame.size());
        pcap_dump(reinterpret_cast<u_char *>(dumper), &header, reinterpret_cast<const u_char *>(frame.constData()));
    }
    pcap_dump_close(dumper);
    pcap_close(dead);
    return true;
}

struct Header
{
    QString number, protocol, time, direction, info;
};

// The row headers of the printed blocks, in order.
std::vector<Header> headers(const QString &out)
{
    static const QRegularExpression re(QStringLiteral("\\| ([ 0-9]{5}) - (\\S+) - (\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d) - (\\w*)\n"
                                                      "\\|     status/info: ((?:.|\n)*?)\n\n"));
    std::vector<Header> found;
    auto it = re.globalMatch(out);
    while (it.hasNext()) {
        const auto m = it.next();
        found.push_back({m.captured(1), m.captured(2), m.captured(3), m.captured(4), m.captured(5)});
    }
    return found;
}

} // namespace

class TestVelquorCheckPet : public QObject
{
    Q_OBJECT

private slots:
    void exactBlockForOneDatagram_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("good trap") << validTrap() << 0;
        QTest::newRow("sequence 0") << trapWithSequence(0) << 1;
        QTest::newRow("heartbeat") << heartbeatTrap(3) << 0;
        QTest::newRow("cut") << validTrap().left(70) << 2;
    }
    void exactBlockForOneDatagram()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, exitCode);
        const Run run = checkHex(bytes);
        QCOMPARE(run.exitCode, exitCode);
        QString expected = expectedBlock(bytes);
        if (bytes == heartbeatTrap(3)) // the listener's heartbeat rule
            expected.replace(QLatin1String("status/info:  \n"), QLatin1String("status/info: Heartbeat\n"));
        QCOMPARE(run.out, expected);
    }

    void exactTextOfAShortDatagram()
    {
        const Run run = check({QStringLiteral("--pet"), QStringLiteral("--hex"), QStringLiteral("30 00")});
        QCOMPARE(run.exitCode, 2);
        const QString dashes(84, QLatin1Char('-'));
        QCOMPARE(run.out, dashes + QStringLiteral("\n|     1 - PET - 00:00:00:000 - received\n"
                                                  "|     status/info:   -error: trap ends after 2 bytes, SNMP version missing\n\n"
                                                  "  PLATFORM EVENT TRAP\n\tMisc\n\t\tReceived packet size 2\n"
                                                  "\t\tIndicated packet size 2\n\t\tretransmission # 0\n"
                                                  "!!\terror: trap ends after 2 bytes, SNMP version missing\n"
                                                  " Packet Hex Dump (size 2):\n ----\n    0 - 15:    30 00\n ----\n"
                                                  "\n|\n")
                              + dashes + QLatin1Char('\n'));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("no input") << QStringList{QStringLiteral("--pet")};
        QTest::newRow("odd hex") << QStringList{QStringLiteral("--pet"), QStringLiteral("--hex"), QStringLiteral("300")};
        QTest::newRow("not hex") << QStringList{QStringLiteral("--pet"), QStringLiteral("--hex"), QStringLiteral("zz")};
        QTest::newRow("hex and file") << QStringList{QStringLiteral("--pet"), QStringLiteral("--hex"), QStringLiteral("30"),
                                                     QStringLiteral("x.pcap")};
        QTest::newRow("missing file") << QStringList{QStringLiteral("--pet"), QStringLiteral("/nonexistent/x.pcap")};
        QTest::newRow("not a capture") << QStringList{QStringLiteral("--pet"), QStringLiteral(VELQUOR_CHECK_BINARY)};
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const Run run = check(arguments);
        QCOMPARE(run.exitCode, 3);
        QVERIFY(run.err.startsWith(QLatin1String("velquor-check: ")));
        QVERIFY(run.out.isEmpty());
    }

    void help()
    {
        const Run run = check({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QLatin1String("--pet")));
        QVERIFY(run.out.contains(QLatin1String("Exit status")));
    }

    void captureWithRetransmissionsAndExpiry()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pet.pcap"));
        const qint64 t0 = 1700000000LL * 1000000;
        const qint64 s = 1000000;
        QVERIFY(writeCapture(path, {
                                       {t0, trapWithSequence(1)},
                                       {t0 + 10 * s, trapWithSequence(1)},
                                       {t0 + 20 * s, trapWithSequence(1)},
                                       {t0 + 30 * s, trapWithSequence(2)},
                                       {t0 + 31 * s, trapWithSequence(3)},
                                       {t0 + 41 * s, trapWithSequence(3)},
                                       {t0 + 200 * s, heartbeatTrap(9)},
                                       {t0 + 200 * s + 500000, trapWithSequence(4)},
                                   }));
        const Run run = check({QStringLiteral("--pet"), path});
        QCOMPARE(run.exitCode, 2); // the once-retransmitted trap's line is an error line
        const auto rows = headers(run.out);
        QCOMPARE(rows.size(), size_t(11));
        const QStringList expected = {
            QStringLiteral("    1|PET|00:00:00:000|received| "),
            QStringLiteral("    2|PET|00:00:10:000|received|retransmission (1) for packet received at 0"),
            QStringLiteral("    3|PET|00:00:20:000|received|retransmission (2) for packet received at 0"),
            QStringLiteral("    4|PET|00:00:30:000|received| "),
            QStringLiteral("    5|PET|00:00:31:000|received| "),
            QStringLiteral("    6|PET|00:00:41:000|received|retransmission (1) for packet received at 31000"),
            // The first timer tick after they expired (ticks every 29999 ms).
            QStringLiteral("    7|LOG|00:02:59:994||warning: insufficient nr. of retransmissions (1)\nfor packet received at 31000"),
            QStringLiteral("    8|LOG|00:02:59:994||warning: insufficient nr. of retransmissions (0)\nfor packet received at 30000"),
            QStringLiteral("    9|PET|00:03:20:000|received|Heartbeat"),
            QStringLiteral("   10|PET|00:03:20:500|received| "),
            // What would still expire at the end of the file.
            QStringLiteral("   11|LOG|00:05:29:989||warning: insufficient nr. of retransmissions (0)\nfor packet received at 200500"),
        };
        for (size_t i = 0; i < rows.size(); ++i) {
            const Header &h = rows[i];
            QCOMPARE(QStringList({h.number, h.protocol, h.time, h.direction, h.info}).join(QLatin1Char('|')),
                     expected.value(int(i)));
        }
        // A log line's block carries its long form.
        QVERIFY(run.out.contains(QLatin1String("for packet received at 31000\n\nThe Alert Standard Format Specification "
                                               "describes in\nchapter 5.1.5.2 messages without retransmission.\nSince 1 "
                                               "retransmissions were received, this does not\napply here\n|\n")));
    }

    void captureWithoutUdp()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("empty.pcap"));
        QVERIFY(writeCapture(path, {}));
        const Run run = check({QStringLiteral("--pet"), path});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestVelquorCheckPet)
#include "pet_check.moc"
