#include "scriptfixture.h"
#include "support/capture.h"
#include "support/workdir.h"

#include "core/asflogger.h"
#include "pet/asfpethandler.h"
#include "pet/petsettings.h"

#include <QFile>
#include <QTimer>
#include <QUdpSocket>
#include <QXmlStreamReader>

using namespace velquor;
using namespace velquor::script;
using velquor::test::ScriptFixture;

namespace {

QStringList names(const std::vector<ScriptFunction> &functions)
{
    QStringList out;
    for (const ScriptFunction &f : functions)
        out << f.name;
    return out;
}

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const char *const Listed = R"(
class Helpers { static h() {} }
class __PET_Tests {
  b() { expect(this instanceof __PET_Tests, "instance"); }
  static a() { expect(this === __PET_Tests, "static on the class"); }
  get notAFunction() { return 1; }
}
class __Empty {}
function zeta() {}
function alpha() { Helpers.h(); }
var notListed = 3;
)";

} // namespace

class TstScriptHost : public QObject
{
    Q_OBJECT

private slots:
    void listingRules()
    {
        ScriptFixture fx(QString::fromLatin1(Listed));
        QVERIFY(fx.loaded);
        const ScriptHost &host = fx.runner.host();
        QStringList classes;
        for (const ScriptClass &c : host.classes())
            classes << c.name;
        // Helpers has no "__"; script objects and the built-in helpers
        // (wait, fail, expect) are no tests.
        QCOMPARE(classes, QStringList({"__Empty", "__PET_Tests"}));
        QCOMPARE(names(host.classes()[1].functions), QStringList({"a", "b"}));
        QCOMPARE(names(host.globalFunctions()), QStringList({"alpha", "zeta"}));
        // Everything listed runs: statics on the class, members on an instance.
        QVERIFY(fx.passes("PET_Tests.a"));
        QVERIFY(fx.passes("__PET_Tests.b"));
        QVERIFY(fx.passes("alpha"));
        QCOMPARE(host.resolve("PET_Tests").size(), size_t(2));
        QVERIFY(host.resolve("Helpers").empty());
        QVERIFY(host.resolve("Helpers.h").empty());
        QVERIFY(host.resolve("notListed").empty());
    }

    void scriptErrorsCarryFileAndLine()
    {
        test::WorkingDirectory wd;
        writeFile("p.qsa", "function ok() {}\n\nfunction bad() {\n  nothing();\n}\n");
        ScriptHost host;
        QVERIFY(host.load("p.qsa"));
        RunResult r = host.run(host.resolve("bad").front());
        QCOMPARE(r.outcome, RunResult::Error);
        QCOMPARE(r.error.line, 4);
        QVERIFY2(r.error.text().startsWith("p.qsa:4: ReferenceError"), qPrintable(r.error.text()));
        // A syntax error in the project: no listing, the line of the fault.
        QVERIFY(!host.setSource("function a() {}\nfunction b() { var = 1; }\n"));
        QCOMPARE(host.lastError().line, 2);
        // An unclosed block is reported at the project's end, not behind it.
        QVERIFY(!host.setSource("function a() {}\nfunction b( {\n"));
        QCOMPARE(host.lastError().line, 3);
        QVERIFY(host.globalFunctions().empty());
    }

    void projectSavedOnlyWhenLoadedAndEdited()
    {
        test::WorkingDirectory wd;
        // Missing project: empty, and never written however it is edited.
        ScriptHost missing;
        QVERIFY(!missing.load("absent.qsa"));
        QVERIFY(missing.classes().empty() && missing.globalFunctions().empty());
        QVERIFY(missing.setSource("function t() {}"));
        QVERIFY(!missing.save());
        QVERIFY(!QFile::exists("absent.qsa"));

        writeFile("p.qsa", "function t() {}\n");
        ScriptHost host;
        QVERIFY(host.load("p.qsa"));
        writeFile("p.qsa", "function changedOnDisk() {}\n");
        QVERIFY(host.save()); // unchanged: the file is left alone
        QCOMPARE(readFile("p.qsa"), QByteArray("function changedOnDisk() {}\n"));
        QVERIFY(host.setSource("function u() {}\n"));
        QVERIFY(host.save());
        QCOMPARE(readFile("p.qsa"), QByteArray("function u() {}\n"));
        QCOMPARE(names(host.globalFunctions()), QStringList({"u"}));
    }

    void verdictsAndTimeLimit()
    {
        ScriptFixture fx(R"(
function passes() { expect(true, "never"); }
function fails() { expect(1 === 2, "one is not two"); fail("and more"); }
function spins() { while (true) {} }
function sleeps() { wait(60000); }
function thrower() { undefinedThing(); }
function connected() { RMCP1_LOG.newPacketSignal.connect(thrower); RMCP1_LOG.log("x"); }
)");
        QVERIFY(fx.passes("passes"));
        RunResult r = fx.run("fails");
        QCOMPARE(r.outcome, RunResult::Failed);
        QCOMPARE(r.failures, QStringList({"one is not two", "and more"}));
        // An error in a function connected to a signal fails the test that
        // caused it, although the engine only warns about it.
        r = fx.run("connected");
        QCOMPARE(r.outcome, RunResult::Failed);
        QCOMPARE(r.failures.size(), 1);
        QVERIFY2(r.failures[0].startsWith("error in a connected function: velquor.qsa:6: ReferenceError: undefinedThing"), qPrintable(r.failures[0]));

        fx.runner.host().setTimeLimit(300);
        QElapsedTimer t;
        t.start();
        QCOMPARE(fx.run("spins").outcome, RunResult::TimedOut);
        QCOMPARE(fx.run("sleeps").outcome, RunResult::TimedOut);
        QVERIFY(t.elapsed() < 5000);
        // The engine runs again after an interruption.
        QVERIFY(fx.passes("passes"));
    }

    void waitsServeTheEventLoop()
    {
        ScriptFixture fx(R"(
function waits() { wait(300); }
function datagram() {
  var p = PET_LOG.waitForPacket(3000);
  expect(p !== null, "a record arrived");
  expect(p !== null && PET_LOG.convertAsfPacketToPET(p) !== null, "it is a trap");
}
function nothingComes() { expect(PET_LOG.waitForPacket(50) === null, "null after the time-out"); }
)");
        bool fired = false;
        QTimer::singleShot(20, [&] { fired = true; });
        QVERIFY(fx.passes("waits"));
        QVERIFY(fired);

        // A real datagram, sent only once the script waits, reaches the log.
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
        const quint16 port = probe.localPort();
        probe.close();
        ASF_PET_Handler *pet = fx.runner.petHandler();
        pet::PetSettings s;
        s.address = QHostAddress::LocalHost;
        s.port = port;
        QCOMPARE(pet->listen(s), pet::ListenerState::Listening);
        QUdpSocket sender;
        QTimer::singleShot(50, [&] { sender.writeDatagram(QByteArray("\x30\x03\x02\x01\x00", 5), QHostAddress::LocalHost, port); });
        QVERIFY(fx.passes("datagram"));
        QVERIFY(fx.passes("nothingComes"));
    }

    void runnerExitCodesAndReport()
    {
        test::WorkingDirectory wd;
        writeFile("p.qsa", R"(
class __Suite {
  good() {}
  bad() { RMCP1_LOG.logLevel(-1, "error: seen in the log"); expect(false, "it <failed> & said so"); }
}
class __Broken { oops() { undefinedCall(); } }
function slow() { while (true) {} }
)");
        struct Case { QString name; int code; int tests; };
        const Case cases[] = {
            {"Suite.good", 0, 1}, {"Suite", 1, 2}, {"Broken", 2, 1}, {"slow", 2, 1}, {"Nope", 3, 0},
        };
        for (const Case &c : cases) {
            ScriptRunner runner(std::make_unique<ManualLogClock>());
            RunnerOptions o;
            o.name = c.name;
            o.project = "p.qsa";
            o.report = "r.xml";
            o.timeoutSeconds = 1;
            QFile::remove("r.xml");
            QString out;
            QTextStream stream(&out);
            QCOMPARE(runner.run(o, stream), c.code);
            QCOMPARE(int(runner.results().size()), c.tests);
        }
        // The report of the last run with tests: failures with their texts and
        // the page log's error records.
        ScriptRunner runner(std::make_unique<ManualLogClock>());
        RunnerOptions o;
        o.name = "Suite";
        o.project = "p.qsa";
        o.report = "r.xml";
        QString out;
        QTextStream stream(&out);
        QCOMPARE(runner.run(o, stream), 1);
        QXmlStreamReader xml(readFile("r.xml"));
        int testcases = 0;
        QStringList failures, errs;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("testsuite")) {
                QCOMPARE(xml.attributes().value("tests").toString(), QString("2"));
                QCOMPARE(xml.attributes().value("failures").toString(), QString("1"));
            } else if (xml.name() == QLatin1String("testcase")) {
                ++testcases;
                QCOMPARE(xml.attributes().value("classname").toString(), QString("Suite"));
            } else if (xml.name() == QLatin1String("failure")) {
                failures << xml.attributes().value("message").toString();
            } else if (xml.name() == QLatin1String("system-err")) {
                errs << xml.readElementText();
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(testcases, 2);
        QCOMPARE(failures, QStringList({"it <failed> & said so"}));
        QCOMPARE(errs.size(), 1);
        QVERIFY(errs[0].contains("RMCP1_LOG: error: seen in the log"));

        // A project that cannot be read is a script error, reported as such.
        ScriptRunner missing(std::make_unique<ManualLogClock>());
        o.project = "absent.qsa";
        QCOMPARE(missing.run(o, stream), 2);
        QVERIFY(readFile("r.xml").contains("cannot read the script project"));
    }

    void runnerUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::newRow("minimal") << QStringList({"--run", "T"}) << true;
        QTest::newRow("all") << QStringList({"--run", "A.b", "--project", "x", "--report", "r.xml", "--timeout", "5"}) << true;
        QTest::newRow("no name") << QStringList({"--project", "x"}) << false;
        QTest::newRow("run without value") << QStringList({"--run"}) << false;
        QTest::newRow("timeout zero") << QStringList({"--run", "T", "--timeout", "0"}) << false;
        QTest::newRow("timeout text") << QStringList({"--run", "T", "--timeout", "5s"}) << false;
        QTest::newRow("unknown") << QStringList({"--run", "T", "--verbose"}) << false;
    }
    void runnerUsage()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        RunnerOptions o;
        QString error;
        QCOMPARE(RunnerOptions::parse(args, o, error), ok);
        QCOMPARE(error.isEmpty(), ok);
    }

    // Headless, the defaults come back (the number kept inside its range)
    // and the trace says no dialog was shown; nothing waits for a user.
    void inputHeadless()
    {
        ScriptFixture fx(R"(
function t() {
  expect(input("Name?", "abc") === "abc", "text default");
  expect(input("Name?") === "", "no default");
  expect(inputNumber("N?", 5, 1, 10) === 5, "number default");
  expect(inputNumber("N?", 50, 1, 10) === 10, "default above max");
  expect(inputNumber("N?", NaN, 3, 10) === 3, "NaN default");
  expect(inputNumber("N?", 4, 10, 1) === 4, "bounds swapped");
  expect(inputNumber("N?", 7) === 7, "no bounds");
}
)");
        QVERIFY(fx.loaded);
        test::TraceCapture capture;
        QVERIFY(fx.passes("t"));
        QVERIFY2(capture.text().contains("input(\"Name?\"): no dialog shown, default returned"), qPrintable(capture.text()));
        QCOMPARE(capture.text().count("inputNumber(\"N?\"): no dialog shown"), 5);
    }

    // With a hook the answer comes back, a cancel is null, and an answer
    // outside the asked range is clamped.
    void inputThroughHook()
    {
        ScriptFixture fx(R"(
function t() {
  expect(input("Who?", "d") === "typed", "typed");
  expect(input("Who?", "d") === null, "cancelled text");
  expect(inputNumber("N?", 2, 0, 9) === 8.5, "number");
  expect(inputNumber("N?", 2, 0, 9) === null, "cancelled number");
  expect(inputNumber("N?", 2, 0, 9) === 9, "clamped");
}
)");
        QVERIFY(fx.loaded);
        int textCalls = 0, numberCalls = 0;
        QString seenPrompt, seenDefault;
        double seen[3] = {};
        fx.runner.host().setInputHooks(
            [&](const QString &prompt, const QString &def, QString *text) {
                seenPrompt = prompt;
                seenDefault = def;
                *text = QStringLiteral("typed");
                return ++textCalls == 1;
            },
            [&](const QString &, double def, double min, double max, double *value) {
                seen[0] = def, seen[1] = min, seen[2] = max;
                ++numberCalls;
                *value = numberCalls == 1 ? 8.5 : 1000;
                return numberCalls != 2;
            });
        test::TraceCapture capture;
        QVERIFY(fx.passes("t"));
        QCOMPARE(textCalls, 2);
        QCOMPARE(numberCalls, 3);
        QCOMPARE(seenPrompt, QStringLiteral("Who?"));
        QCOMPARE(seenDefault, QStringLiteral("d"));
        QCOMPARE(seen[0], 2.0);
        QCOMPARE(seen[1], 0.0);
        QCOMPARE(seen[2], 9.0);
        QVERIFY(!capture.text().contains("no dialog shown"));
    }
};

QTEST_GUILESS_MAIN(TstScriptHost)
#include "tst_scripthost.moc"
