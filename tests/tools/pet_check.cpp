// velquor-check --pet, run as a program: output blocks, exit codes, a capture
// file with retransmissions and expiry.

#include "pet/asfpetpacket.h"
#include "pet/petcompose.h"
#include "core/logfileformat.h"
#include "support/pcapwriter.h"
#include "support/pettrapbuilder.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "support/toolrun.h"

using namespace pettest;

namespace {

using Run = velquor::test::ToolRun;
const auto check = velquor::test::runCheckTool;

// The row headers of the printed blocks, in order: number, protocol, time,
// direction and info, joined by '|'.
QStringList headers(const QString &out)
{
    static const QRegularExpression re(QStringLiteral("\\| ([ 0-9]{5}) - (\\S+) - (\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d) - (\\w*)\n"
                                                      "\\|     status/info: ((?:.|\n)*?)\n\n"));
    QStringList found;
    for (auto it = re.globalMatch(out); it.hasNext();) {
        const auto m = it.next();
        found << QStringList{m.captured(1), m.captured(2), m.captured(3), m.captured(4), m.captured(5)}.join(QLatin1Char('|'));
    }
    return found;
}

} // namespace

class TestVelquorCheckPet : public QObject
{
    Q_OBJECT

private slots:
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

    // The block a saved log holds for the datagram as its only record; the
    // exit code follows the worst status (a cut datagram: 2, above).
    void blockAsTheLogSavesIt_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("good trap") << validTrap() << 0;
        QTest::newRow("warning") << trapWithSequence(0) << 1;
        // Latin-1 and a zero byte from the datagram in the info and the text
        // (the failed name read shows the community).
        velquor::pet::TrapValues odd = velquor::pet::alertTrap(3);
        odd.setText(Element::Community, QByteArray("p\xe9\0b\xff", 5));
        velquor::pet::TrapFaults faults;
        faults.tag[size_t(Element::Enterprise)] = 0x04;
        faults.tag[size_t(Element::Name)] = 0x04;
        QTest::newRow("community of any bytes") << velquor::pet::composePetTrap(odd, faults) << 2;
    }
    void blockAsTheLogSavesIt()
    {
        QFETCH(QByteArray, bytes);
        const Run run = check({QStringLiteral("--pet"), QStringLiteral("--hex"), QString::fromLatin1(bytes.toHex())});
        QTEST(run.exitCode, "exitCode");
        ASF_PET_Packet packet(0);
        packet.setData(bytes, int(bytes.size()));
        const auto row = velquor::logRowTexts(1, QStringLiteral("PET"), 0, 0, packet.info());
        QCOMPARE(run.out, velquor::logfile::block(row, packet.textForm()));
    }

    // The trace only with --trace, and then the reader failures with the findings.
    void trace()
    {
        const QString trap = QString::fromLatin1(trapWithSequence(0).left(60).toHex());
        const Run quiet = check({QStringLiteral("--pet"), QStringLiteral("--hex"), trap});
        const Run traced = check({QStringLiteral("--pet"), QStringLiteral("--hex"), trap, QStringLiteral("--trace")});
        QCOMPARE(quiet.err, QString());
        QCOMPARE(traced.out, quiet.out);
        QVERIFY2(traced.err.startsWith(QLatin1String("\n--------------------------------------\n"
                                                      "PET  - Incomming data (60 bytes) time: 00:00:00:000 -\n"
                                                      "\n0 - 15:       30 6e 02 01  00 04 06 70")),
                 qPrintable(traced.err));
        QVERIFY2(traced.err.contains(QLatin1String("\terror: asn1: data underrun\n\tError:   error: trap ends after")),
                 qPrintable(traced.err));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("no input") << QStringList{QStringLiteral("--pet")};
        QTest::newRow("odd hex") << QStringList{QStringLiteral("--pet"), QStringLiteral("--hex"), QStringLiteral("300")};
        QTest::newRow("blank inside a pair")
            << QStringList{QStringLiteral("--pet"), QStringLiteral("--hex"), QStringLiteral("3 000")};
        QTest::newRow("hex twice") << QStringList{QStringLiteral("--pet"), QStringLiteral("--hex"), QStringLiteral("30"),
                                                  QStringLiteral("--hex"), QStringLiteral("3000")};
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
        QVERIFY2(run.err.startsWith(QLatin1String("velquor-check: ")), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    void blankInsideAPairIsNamed()
    {
        const Run run = check({QStringLiteral("--pet"), QStringLiteral("--hex"), QStringLiteral("30 0 000")});
        QCOMPARE(run.err, QStringLiteral("velquor-check: --hex wants pairs of hexadecimal digits; the blank at "
                                         "character 5 splits a pair (blanks go between pairs)\n"
                                         "Try 'velquor-check --help'.\n"));
    }

    void captureWithRetransmissionsAndExpiry()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pet.pcap"));
        const qint64 t0 = 1700000000LL * 1000000;
        const qint64 s = 1000000;
        std::vector<CapturedUdp> datagrams;
        for (const auto &[at, bytes] : std::vector<std::pair<qint64, QByteArray>>{
                 {0, trapWithSequence(1)},
                 {10 * s, trapWithSequence(1)},
                 {20 * s, trapWithSequence(1)},
                 {30 * s, trapWithSequence(2)},
                 {31 * s, trapWithSequence(3)},
                 {41 * s, trapWithSequence(3)},
                 {200 * s, heartbeatTrap(9)},
                 {200 * s + 500000, trapWithSequence(4)},
             })
            datagrams.push_back({1024, 162, bytes, t0 + at});
        QString error;
        QVERIFY2(writeUdpCapture(path, datagrams, &error), qPrintable(error));
        const Run run = check({QStringLiteral("--pet"), path});
        QCOMPARE(run.exitCode, 2); // the once-retransmitted trap's line is an error line
        QCOMPARE(headers(run.out),
                 QStringList({
                     QStringLiteral("    1|PET|00:00:00:000|received| "),
                     QStringLiteral("    2|PET|00:00:10:000|received|retransmission (1) for packet received at 0"),
                     QStringLiteral("    3|PET|00:00:20:000|received|retransmission (2) for packet received at 0"),
                     QStringLiteral("    4|PET|00:00:30:000|received| "),
                     QStringLiteral("    5|PET|00:00:31:000|received| "),
                     QStringLiteral("    6|PET|00:00:41:000|received|retransmission (1) for packet received at 31000"),
                     // The first timer tick after they expired (ticks every 29999 ms).
                     QStringLiteral("    7|LOG|00:02:59:994||warning: insufficient nr. of retransmissions (1)\n"
                                    "for packet received at 31000"),
                     QStringLiteral("    8|LOG|00:02:59:994||warning: insufficient nr. of retransmissions (0)\n"
                                    "for packet received at 30000"),
                     QStringLiteral("    9|PET|00:03:20:000|received|Heartbeat"),
                     QStringLiteral("   10|PET|00:03:20:500|received| "),
                     // What would still expire at the end of the file.
                     QStringLiteral("   11|LOG|00:05:29:989||warning: insufficient nr. of retransmissions (0)\n"
                                    "for packet received at 200500"),
                 }));
        // A log line's block carries its long form after the short one.
        QVERIFY(run.out.contains(QLatin1String("for packet received at 31000\n\nThe Alert ")));
    }
};

QTEST_GUILESS_MAIN(TestVelquorCheckPet)
#include "pet_check.moc"
