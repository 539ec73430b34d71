// A real SNMPv1 sender: net-snmp's snmptrap sends a PET trap over loopback
// to a listener bound to a free port; the logged record must decode cleanly.

#include "asflogger.h"
#include "asfpethandler.h"
#include "asfpetpacket.h"
#include "packetlogmodel.h"
#include "petconfig.h"
#include "pettestutil.h"

#include <QLineEdit>
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
        QWidget logFrame, packetFrame;
        PetPageWidgets page;
        page.logFrame = &logFrame;
        page.packetFrame = &packetFrame;
        ASF_PET_Handler handler(page, &clock);
        handler.dialog()->PETIPAdr->setText(QStringLiteral("127.0.0.1"));
        handler.dialog()->PETIPPort->setText(QStringLiteral("0")); // a free port
        handler.dialog()->PETConnect();
        QVERIFY(handler.isListening());
        const quint16 port = handler.socket()->localPort();

        pettest::PetFields fields;
        fields.sequence = 4711;
        const QString petData = QString::fromLatin1(fields.bytes().toHex());

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
        auto *trap = qobject_cast<ASF_PET_Packet *>(handler.logger()->model()->packetAt(0));
        QVERIFY(trap);
        QVERIFY2(trap->status() == ASF_PACKET_OK, qPrintable(trap->info()));
        QCOMPARE(trap->info(), QStringLiteral(" "));
        QCOMPARE(trap->sequenceNumber(), 4711u);
        trap->setShowExpanded(1);
        QCOMPARE(trap->getValue(QStringLiteral("SNMP Community")), QStringLiteral("public"));
        QCOMPARE(trap->getValue(QStringLiteral("SNMP Agent address")), QStringLiteral("192.168.0.1"));
        QCOMPARE(trap->getValue(QStringLiteral("Timestamp")), QStringLiteral("300"));
        QCOMPARE(trap->getValue(QStringLiteral("Thermal Trip")), QString(QLatin1String("")));
        QCOMPARE(trap->getValue(QStringLiteral("Sequence # / Cookie")), QStringLiteral("4711"));
        QVERIFY(!trap->textForm().contains(QLatin1Char('!')));
    }
};

QTEST_MAIN(TestPetInterop)
#include "tst_petinterop.moc"
