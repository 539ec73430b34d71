// A real SNMPv1 sender: net-snmp's snmptrap sends a PET trap over loopback
// to a listener bound to a free port; the logged record must decode cleanly.

#include "core/asflogger.h"
#include "pet/asfpethandler.h"
#include "pet/asfpetpacket.h"
#include "core/packetlogmodel.h"
#include "support/pettrapbuilder.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace velquor;

class TestPetInterop : public QObject
{
    Q_OBJECT

private slots:
    void snmptrapV1()
    {
        const QString snmptrap = QStandardPaths::findExecutable(QStringLiteral("snmptrap"));
        if (snmptrap.isEmpty())
            QSKIP("snmptrap (Debian package snmp) is not installed");

        ManualLogClock clock;
        ASF_PET_Handler handler(&clock);
        handler.listen(pet::PetSettings::fromTexts(QStringLiteral("127.0.0.1"), QStringLiteral("0"), // a free port
                                                   false, QStringLiteral("10"), QStringLiteral("0.5")));
        QVERIFY(handler.isListening());
        const quint16 port = handler.socket()->localPort();

        pettest::TrapBuilder trap;
        const QString petData = QString::fromLatin1(trap.set(pettest::Element::SequenceNumber, 4711).petData.toHex());

        // No MIB files, configuration or persistent state of the machine.
        QTemporaryDir state;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MIBS"), QString());
        env.insert(QStringLiteral("SNMPCONFPATH"), state.path());
        env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), state.path());
        QProcess sender;
        sender.setProcessEnvironment(env);
        sender.start(snmptrap, {QStringLiteral("-v"), QStringLiteral("1"), QStringLiteral("-c"), QStringLiteral("public"),
                                QStringLiteral("-M"), QStringLiteral("/dev/null"),
                                QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("1.3.6.1.4.1.3183.1.1"),
                                QStringLiteral("192.168.0.1"), QStringLiteral("6"),
                                QString::number(0x076F01), // processor, sensor-specific, thermal trip
                                QStringLiteral("300"), QStringLiteral("1.3.6.1.4.1.3183.1.1.1"), QStringLiteral("x"),
                                petData});
        QVERIFY(sender.waitForFinished(30000));
        QVERIFY2(sender.exitCode() == 0, sender.readAllStandardError().constData());

        QTRY_COMPARE_WITH_TIMEOUT(handler.logger()->model()->size(), 1, 10000);
        auto *received = qobject_cast<ASF_PET_Packet *>(handler.logger()->model()->packetAt(0));
        QVERIFY(received);
        QCOMPARE(received->info(), QStringLiteral(" "));
        QCOMPARE(received->status(), ASF_PACKET_OK);
        // Its minimal encodings (a two-byte time stamp, a three-byte specific
        // trap) are read as well as ours.
        const velquor::pet::PetTrap decoded = received->decode();
        QCOMPARE(decoded.value(pettest::Element::SpecificTrap), 0x00076F01u);
        QCOMPARE(decoded.value(pettest::Element::TimeStamp), 300u);
        QCOMPARE(received->data().mid(decoded.petStart, decoded.octetLength()), trap.petData);
        QCOMPARE(received->sequenceNumber(), 4711u);
    }
};

QTEST_MAIN(TestPetInterop)
#include "tst_petinterop.moc"
