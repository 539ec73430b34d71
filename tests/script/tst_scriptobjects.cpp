#include "scriptfixture.h"
#include "support/capture.h"
#include "support/workdir.h"

#include "core/asflogger.h"
#include "core/packetlogmodel.h"
#include "core/asfpacket.h"
#include "pet/asfpethandler.h"
#include "pet/asfpetpacket.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpconnection.h"
#include "script/scriptobjects.h"

#include <QJSEngine>
#include <QMetaMethod>
#include <QPointer>
#include <QUdpSocket>

using namespace velquor;
using namespace velquor::script;
using velquor::test::ScriptFixture;
using velquor::test::TraceCapture;

class TstScriptObjects : public QObject
{
    Q_OBJECT

private slots:
    // Each call's result and the trace line it writes (empty: none).
    void argumentChecks_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("traceLine");
        const QString none;
        QTest::newRow("seq 255") << "RMCP1.setConsolSequenceNumber(255)" << "true" << none;
        QTest::newRow("seq 256") << "RMCP1.setConsolSequenceNumber(256)" << "false"
                                 << "script RMCP_HANDLER.setConsolSequenceNumber() called with wrong value\n";
        QTest::newRow("seq -1") << "RMCP1.setConsolSequenceNumber(-1)" << "false"
                                << "script RMCP_HANDLER.setConsolSequenceNumber() called with wrong value\n";
        QTest::newRow("seq 0xFFFFFFFF") << "RMCP1.setConsolSequenceNumber(0xFFFFFFFF)" << "false"
                                        << "script RMCP_HANDLER.setConsolSequenceNumber() called with wrong value\n";
        QTest::newRow("tag 0x100000000") << "RMCP2.setConsolMessageTag(0x100000000)" << "false"
                                         << "script RMCP_HANDLER.setConsolMessageTag() called with wrong value\n";
        QTest::newRow("next 256") << "RMCP1.setNextClientSequenceNumber(256)" << "0"
                                  << "script RMCP_HANDLER.setNextClientSequenceNumber() called with wrong value\n";
        QTest::newRow("next 0x1FF") << "RMCP1.setNextClientSequenceNumber(0x1FF)" << "255"
                                    << "script RMCP_HANDLER.setNextClientSequenceNumber() called with wrong value\n";
        QTest::newRow("next 7") << "RMCP1.setNextClientSequenceNumber(7)" << "7" << none;
        QTest::newRow("response 0") << "RMCP1.setClientResponseTime(0)" << "0"
                                    << "script RMCP_HANDLER.setClientResponseTime called with wrong value\n";
        QTest::newRow("response 0xFFFFFFFF") << "RMCP1.setClientResponseTime(0xFFFFFFFF)" << "0"
                                             << "script RMCP_HANDLER.setClientResponseTime called with wrong value\n";
        QTest::newRow("response 1") << "RMCP1.setClientResponseTime(1)" << "1" << none;
        QTest::newRow("repeats -1") << "RMCP1.setNumberOfRetransmissions(-1)" << "3"
                                    << "script RMCP_HANDLER.setNumberOfRetransmissions called with wrong value\n";
        QTest::newRow("repeats 0") << "RMCP1.setNumberOfRetransmissions(0)" << "0" << none;
        QTest::newRow("config port first") << "RMCP1.setConfiguration('bad', 624, 1, 1, false, 0, '', '', '')" << "false"
                                           << "script RMCP_HANDLER.configure() error: bad client port\n";
        QTest::newRow("config address") << "RMCP1.setConfiguration('1.2.3', 664, 1, 1, false, 0, '', '', '')" << "false"
                                        << "script RMCP_HANDLER.configure() error: bad IP address";
        QTest::newRow("config time") << "RMCP1.setConfiguration('10.0.0.1', 623, -1, 1, false, 0, '', '', '')" << "false"
                                     << "script RMCP_HANDLER.configure() bad client Response Time\n";
        QTest::newRow("config repeats") << "RMCP1.setConfiguration('10.0.0.1', 623, 1, -1, false, 0, '', '', '')" << "false"
                                        << "script RMCP_HANDLER.configure() bad max. Retransmissions\n";
        QTest::newRow("config ok") << "RMCP1.setConfiguration('10.0.0.1', 664, 100, 2, false, 0, '', '', '')" << "true" << none;
        QTest::newRow("pet address") << "PET.setConfiguration('300.1.1.1', 162, false, 10, 0.5)" << "false"
                                     << "script PET_HANDLER.setConfiguration() error: bad IP address";
        QTest::newRow("plain port 0") << "RMCP1.setPlainRmcpPort(0)" << "false"
                                      << "script RMCP_HANDLER.setPlainRmcpPort() called with wrong value\n";
        QTest::newRow("secure port 65536") << "RMCP1.setSecureRmcpPort(65536)" << "false"
                                           << "script RMCP_HANDLER.setSecureRmcpPort() called with wrong value\n";
    }
    void argumentChecks()
    {
        QFETCH(QString, call);
        QFETCH(QString, result);
        QFETCH(QString, traceLine);
        ScriptFixture fx(QStringLiteral("function t() { return String(%1); }").arg(call));
        QJSEngine *engine = fx.runner.host().engine();
        TraceCapture capture;
        const QJSValue value = engine->evaluate(QStringLiteral("t()"));
        QVERIFY2(!value.isError(), qPrintable(value.toString()));
        QCOMPARE(value.toString(), result);
        QCOMPARE(capture.text(), traceLine);
    }

    // Refused values leave the handler as it was; accepted ones reach the
    // handler's settings, which the page and the next connect use.
    void settersReachTheHandler()
    {
        ScriptFixture fx(R"(
function t() {
  RMCP1.setConsolSequenceNumber(9);
  RMCP1.setConsolSequenceNumber(256);
  RMCP1.setClientResponseTime(1500);
  RMCP1.setClientResponseTime(0);
  RMCP1.setNumberOfRetransmissions(5);
  RMCP1.setDoRetransmissions(true);
  RMCP2.setConfiguration('192.168.1.9', 664, 700, 0, true, 0, 'user', '01 02', '03');
}
)");
        QVERIFY(fx.passes("t"));
        ASF_RMCP_Handler *h1 = fx.runner.rmcpHandler(1);
        QCOMPARE(int(h1->consoleSequenceNumber()), 9);
        QCOMPARE(h1->clientResponseTime(), 1500);
        QCOMPARE(h1->config().responseTime, QString("1500"));
        QCOMPARE(h1->config().repeats, QString("5"));
        QVERIFY(h1->config().retransmissionOn);
        const rmcp::RmcpSettings &s2 = fx.runner.rmcpHandler(2)->config();
        QCOMPARE(s2.address, QString("192.168.1.9"));
        QCOMPARE(s2.portIndex, 1);
        QVERIFY(!s2.retransmissionOn && s2.rspOn);
        QCOMPARE(s2.role, int(rmcp::OperatorRole));
        QCOMPARE(s2.operatorKey, QString("01 02"));
        QCOMPARE(fx.runner.rmcpHandler(2)->clientResponseTime(), 700);
    }

    // Without a window the runner's pages still open RSP sessions, on the
    // secure port the script gives: the session's first datagram reaches it.
    void rspConnectReachesTheSecurePort()
    {
        QUdpSocket client;
        QVERIFY(client.bind(QHostAddress::LocalHost, 0));
        ScriptFixture fx(QStringLiteral(R"(
function t() {
  expect(RMCP1.setSecureRmcpPort(%1), "port");
  expect(RMCP1.setConfiguration('127.0.0.1', 664, 1000, 0, true, 1, 'u', '01', '02'), "configured");
  RMCP1.connect();
  expect(RMCP2.setConfiguration('127.0.0.1', 664, 1000, 0, true, 1, 'u', '01', '02'), "configured");
  RMCP2.connect();
}
)").arg(client.localPort()));
        QVERIFY(fx.passes("t"));
        QCOMPARE(fx.runner.rmcpHandler(1)->connection()->state().status, QString("Waiting for RSP data phase"));
        // No secure port given: the session starts towards 664 all the same.
        QCOMPARE(fx.runner.rmcpHandler(2)->connection()->state().status, QString("Waiting for RSP data phase"));
        QVERIFY(client.waitForReadyRead(3000));
        QVERIFY(client.pendingDatagramSize() > 0);
    }

    void logLevelClampsAndNullRecords()
    {
        ScriptFixture fx(R"(
function levels() {
  PET_LOG.logLevel(5, "high");
  expect(PET_LOG.getLastAsfPacket().getAsfPacketStatus() === 1, "5 -> ok");
  PET_LOG.logLevel(-0x80000000, "low");
  expect(PET_LOG.getLastAsfPacket().getAsfPacketStatus() === -1, "low -> error");
  PET_LOG.logLevel(0, "warn");
  expect(PET_LOG.getLastAsfPacket().getAsfPacketStatus() === 0, "0 stays a warning");
}
function nullRecord() { PET_LOG.convertAsfPacketToRMCP(null); }
function wrongType() {
  PET_LOG.log("a line");
  var p = PET_LOG.getLastAsfPacket();
  expect(PET_LOG.convertAsfPacketToRMCP(p) === null, "a log line is no RMCP record");
  expect(PET_LOG.convertAsfPacketToPET(p) === null, "nor a trap");
  expect(PET_LOG.convertAsfPacketToLog(p).getLogMessage() === "", "but a log line");
}
)");
        QVERIFY(fx.passes("levels"));
        QVERIFY(fx.passes("wrongType"));
        const RunResult r = fx.run("nullRecord");
        QCOMPARE(r.outcome, RunResult::Error);
        QVERIFY2(r.error.message.contains("no record given"), qPrintable(r.error.message));
    }

    // getPacket(n) is the row numbered n + 2, bounded by the list.
    void getPacketNumbering()
    {
        ScriptFixture fx(R"(
function info(n) { var p = RMCP1_LOG.getPacket(n); return p === null ? "none" : p.getAsfPacketInfo(); }
function empty() { expect(info(0) === "none", "empty list"); expect(RMCP1_LOG.getLastPacketNumber() === 0, "no rows"); }
function three() {
  RMCP1_LOG.log("r1"); RMCP1_LOG.log("r2"); RMCP1_LOG.log("r3");
  expect(info(0) === "r2", "0 -> row 2: " + info(0));
  expect(info(1) === "r3", "1 -> row 3");
  expect(info(5) === "r3", "5 -> last row");
  expect(info(-1) === "r1" && info(-100) === "r1", "negative -> first row");
  expect(info(0xFFFFFFFF) === "r3", "huge -> last row");
  expect(RMCP1_LOG.getLastPacketNumber() === 3, "No. of the last row");
}
)");
        QVERIFY(fx.passes("empty"));
        QVERIFY(fx.passes("three"));
    }

    void wholeThirtyTwoBitValues()
    {
        // No connection: the record is logged as sent (and failed) with its fields.
        ScriptFixture fx(R"(
function t() {
  RMCP1.send(6, 0, true, 0x1FF, 0x106, 0xFFFFFFFF, 0x180, true, 0x2AB, 0, 0, "", 0);
  var r = RMCP1_LOG.convertAsfPacketToRMCP(Helpers.sent());
  expect(r !== null, "the request is logged");
  expect(r.getIanaEnterpriseNr() === 4294967295, "IANA whole: " + r.getIanaEnterpriseNr());
  expect(r.getSequenceNr() === 0xFF && r.getMessageClass() === 6, "low 8 bits");
  expect(r.getMessageType() === 0x80 && r.getMessageTag() === 0xAB, "type and tag low 8 bits");
  expect(RMCP1_LOG.getMaxSize() === 200000, "max size");
  RMCP1_LOG.setMaxSize(0xFFFFFFFF);
  expect(RMCP1_LOG.getMaxSize() === 4294967295, "max size whole: " + RMCP1_LOG.getMaxSize());
}
class Helpers {
  static sent() {
    for (var n = RMCP1_LOG.getLastPacketNumber(); n >= 1; --n) {
      var p = RMCP1_LOG.getPacket(n - 2);
      if (p.getAsfPacketDirection() === 2) return p;
    }
    return null;
  }
}
)");
        QVERIFY(fx.passes("t"));
    }

    // However many functions connect, each runs once per record.
    void signalForwardedOnce()
    {
        ScriptFixture fx(R"(
var a = 0, b = 0;
function fa() { ++a; }
function fb() { ++b; }
function connectTwo() { RMCP1_LOG.newPacketSignal.connect(fa); RMCP1_LOG.newPacketSignal.connect(fb); }
function logOne() { RMCP1_LOG.log("x"); expect(a === 1 && b === 1, "once each: " + a + " " + b); }
function disconnectTwo() { RMCP1_LOG.newPacketSignal.disconnect(fa); RMCP1_LOG.newPacketSignal.disconnect(fb); }
function logAgain() { RMCP1_LOG.log("y"); expect(a === 1 && b === 1, "no more calls"); }
)");
        QVERIFY(fx.passes("connectTwo"));
        QVERIFY(fx.passes("logOne"));
        QVERIFY(fx.passes("disconnectTwo"));
        QVERIFY(fx.passes("logAgain"));
    }

    void recordsSurviveGarbageCollection()
    {
        ScriptFixture fx(R"(
function t() {
  RMCP1_LOG.log("kept");
  for (var i = 0; i < 1000; ++i) { RMCP1_LOG.getLastAsfPacket(); RMCP1_LOG.getPacket(0); }
}
function after() { expect(RMCP1_LOG.getLastAsfPacket().getAsfPacketInfo() === "kept", "still there"); }
)");
        QVERIFY(fx.passes("t"));
        QPointer<ASF_Packet> record = fx.runner.rmcpHandler(1)->logger()->getLastAsfPacket();
        QVERIFY(record);
        fx.runner.host().engine()->collectGarbage();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(record);
        QVERIFY(fx.passes("after"));
    }
    // The viewer gets the given name, or the file saved last when the name is
    // empty; files it could not read never reach it; without a viewer the
    // call fails with a trace line.
    void showLogFile()
    {
        test::WorkingDirectory wd;
        ScriptFixture fx(R"(
function saveThenShow() { RMCP1_LOG.log("x"); expect(RMCP1_LOG.saveLogToFile("log/one.log"), "saved"); return RMCP1_LOG.showLogFile(""); }
function show(name) { return RMCP1_LOG.showLogFile(name); }
)");
        QVERIFY(fx.loaded);
        auto *log = qobject_cast<Logger *>(fx.runner.host().engine()->globalObject().property("RMCP1_LOG").toQObject());
        QVERIFY(log);
        QJSEngine *engine = fx.runner.host().engine();

        // Headless: readable file, still false, and the trace says why.
        {
            TraceCapture capture;
            QCOMPARE(engine->evaluate("saveThenShow()").toBool(), false);
            QVERIFY2(capture.text().contains("showLogFile(): no viewer"), qPrintable(capture.text()));
        }

        QStringList shown;
        bool answer = true;
        log->setViewerHook([&](const QString &name) {
            shown << name;
            return answer;
        });
        QCOMPARE(engine->evaluate("show('')").toBool(), true);
        QCOMPARE(engine->evaluate("show(null)").toBool(), true);
        {
            QFile other("other.log");
            QVERIFY(other.open(QIODevice::WriteOnly));
        }
        QCOMPARE(engine->evaluate("show('other.log')").toBool(), true);
        answer = false;
        QCOMPARE(engine->evaluate("show('other.log')").toBool(), false);
        QCOMPARE(shown, QStringList({"log/one.log", "log/one.log", "other.log", "other.log"}));

        // Missing, a directory, or nothing saved yet: false, silently.
        TraceCapture capture;
        answer = true;
        QCOMPARE(engine->evaluate("show('missing.log')").toBool(), false);
        QCOMPARE(engine->evaluate("show('log')").toBool(), false);
        QCOMPARE(engine->evaluate("PET_LOG.showLogFile('')").toBool(), false);
        QCOMPARE(shown.size(), 4);
        QCOMPARE(capture.text(), QString());
    }

    // Every public slot of every script object and record, called from a
    // script with hostile arguments (and too few): script errors at most,
    // never a crash, and the objects work afterwards.
    void hostileArguments()
    {
        test::WorkingDirectory wd;
        ScriptFixture fx("function after() { RMCP1_LOG.log('alive'); expect(RMCP1_LOG.getLastAsfPacket().getAsfPacketInfo() === 'alive', 'alive'); }");
        fx.runner.host().setTimeLimit(20000);
        // Records of every kind in the logs.
        fx.runner.petHandler()->receiveDatagram(QByteArray::fromHex("3082001e0201000406707562"));
        fx.runner.rmcpHandler(1)->sendPacketRsp(6, 0, false, 0, 6, 4542, 0x80, false, 0, 0, 0, QString(), 0);
        fx.runner.rmcpHandler(2)->logger()->log(QStringLiteral("line-detail"));

        QJSEngine *engine = fx.runner.host().engine();
        QJSValue global = engine->globalObject();
        QList<QPair<QString, QObject *>> targets;
        for (const char *name : {"PET", "PET_LOG", "RMCP1", "RMCP1_LOG", "RMCP2", "RMCP2_LOG"})
            targets << qMakePair(QString::fromLatin1(name), global.property(QLatin1String(name)).toQObject());
        targets << qMakePair(QStringLiteral("PET_LOG.getLastAsfPacket()"),
                             static_cast<QObject *>(fx.runner.petHandler()->logger()->getLastAsfPacket()));
        targets << qMakePair(QStringLiteral("RMCP1_LOG.getPacket(-1)"),
                             static_cast<QObject *>(fx.runner.rmcpHandler(1)->logger()->model()->packetAt(0)));
        targets << qMakePair(QStringLiteral("RMCP2_LOG.getLastAsfPacket()"),
                             static_cast<QObject *>(fx.runner.rmcpHandler(2)->logger()->getLastAsfPacket()));
        QString calls;
        int count = 0;
        for (const auto &[expr, object] : targets) {
            QVERIFY2(object, qPrintable(expr));
            const QMetaObject *meta = object->metaObject();
            for (int i = QObject::staticMetaObject.methodCount(); i < meta->methodCount(); ++i) {
                const QMetaMethod m = meta->method(i);
                if (m.methodType() != QMetaMethod::Slot || m.access() != QMetaMethod::Public)
                    continue;
                const QString name = QString::fromLatin1(m.name());
                // Waits get finite times below; the rest every hostile value.
                const bool wait = name.startsWith(QLatin1String("wait"));
                calls += QStringLiteral("probe(function (v) { return %1.%2(%3); }, %4);\n")
                             .arg(expr, name, QStringList(m.parameterCount(), QStringLiteral("v")).join(QLatin1Char(',')),
                                  wait ? QStringLiteral("true") : QStringLiteral("false"));
                calls += QStringLiteral("try { %1.%2(); } catch (e) {}\n").arg(expr, name);
                ++count;
            }
        }
        QVERIFY(count > 100);
        const QString script = QStringLiteral(R"(
(function () {
  var values = [null, undefined, NaN, Infinity, -Infinity, -0, 0xFFFFFFFF, -0x80000001, Math.pow(2, 53), 1e308,
                "", "abc", "300.1.1.1", "-", "\u0000\uFFFF", "ff ff zz", {}, [], [1, 2], RMCP1, PET_LOG,
                function () {}, true, -1, 256];
  var calls = 0;
  function probe(f, isWait) {
    values.forEach(function (v) {
      if (isWait && typeof v === "number" && !(v < 100)) return;
      try { f(v); } catch (e) {}
      ++calls;
    });
  }
  %1
  return calls;
})())").arg(calls);
        const QJSValue result = engine->evaluate(script);
        QVERIFY2(!result.isError(), qPrintable(result.toString()));
        QVERIFY(result.toInt() > count * 20);
        QVERIFY(fx.passes("after"));
    }
};

QTEST_GUILESS_MAIN(TstScriptObjects)
#include "tst_scriptobjects.moc"
