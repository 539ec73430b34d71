// The script objects under hostile calls: the input picks, call by call, an
// object (PET, PET_LOG, RMCP1, RMCP1_LOG, RMCP2, RMCP2_LOG, a record out of
// a log, or the global helpers), one of its public slots, how many
// arguments it gets and each argument (null, undefined, NaN, infinities,
// out-of-range and negative numbers, wrong types, objects whose conversion
// throws, huge strings, and strings and numbers made of the input's own
// bytes). The calls become one test function that the headless runner's
// host runs, its handlers on an in-memory network.
//
// Properties: no crash; every call returns or throws a script Error (never
// anything else, and nothing escapes the test function); the test ends
// neither in a script error nor by its time limit; afterwards no test is
// running and no wait is left, and the objects still work.
//
// Input: a sequence of calls, each [object][slot][argument count mode]
// then per argument [value] (a value that takes the input's bytes reads a
// length byte and that many bytes).

#include "core/asflogger.h"
#include "core/logclock.h"
#include "core/memorynetwork.h"
#include "core/trace.h"
#include "fuzzcheck.h"
#include "pet/asfpethandler.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/rmcpconnection.h"
#include "rsp/qrsplink.h"
#include "script/scripthost.h"
#include "script/scriptrunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QJSEngine>
#include <QMetaMethod>
#include <QTemporaryDir>
#include <algorithm>

using namespace velquor;
using namespace velquor::script;
using velquor::fuzz::ByteReader;

namespace {

const char *const Objects[] = {
    "PET",   "PET_LOG",  "RMCP1", "RMCP1_LOG", "RMCP2", "RMCP2_LOG", "PET_LOG.getLastAsfPacket()",
    "RMCP1_LOG.getPacket(-1)", "RMCP2_LOG.getLastAsfPacket()",
};
constexpr int ObjectCount = int(sizeof Objects / sizeof Objects[0]);

// The global helpers, with their argument counts.
const struct
{
    const char *name;
    int arguments;
} Globals[] = {{"wait", 1}, {"fail", 1}, {"expect", 2}, {"input", 2}, {"inputNumber", 4}};

const char *const Values[] = {
    "null", "undefined", "NaN", "Infinity", "-Infinity", "-0", "0", "1", "-1", "255", "256", "65535", "65536",
    "0xFFFFFFFF", "-0x80000001", "Math.pow(2, 53)", "1e308", "-1e308", "0.5", "''", "'abc'", "'10.0.0.2'",
    "'127.0.0.1'", "'300.1.1.1'", "'-'", "'\\u0000\\uFFFF\\uD800'", "'ff ff zz'", "'06 00 ff 06'", "'623'",
    "'x'.repeat(200000)", "'ab '.repeat(30000)", "{}", "[]", "[1, 2]", "({ valueOf: function () { return 7; } })",
    "({ toString: function () { throw new Error('conversion'); } })",
    "({ valueOf: function () { throw new Error('conversion'); } })", "RMCP1", "PET_LOG",
    "RMCP1_LOG.getLastAsfPacket()", "function () {}", "true", "false", "Symbol('s')", "new Date(0)",
    "new ArrayBuffer(8)",
};
constexpr int ValueCount = int(sizeof Values / sizeof Values[0]);

// A JS string literal of n input bytes (each one UTF-16 unit, so any byte
// sequence stays a valid literal).
QString bytesLiteral(ByteReader &in)
{
    const int n = in.byte();
    QString out = QStringLiteral("'");
    for (int i = 0; i < n; ++i) {
        const int low = in.byte();
        const int high = in.byte() & 1 ? 0xD800 : 0; // lone surrogates too
        out += QStringLiteral("\\u%1").arg(low | high, 4, 16, QLatin1Char('0'));
    }
    return out + QLatin1Char('\'');
}

QString value(ByteReader &in, bool waitSlot, bool fileSlot)
{
    const int choice = in.byte();
    // File names only from the fixed values: bytes of the input could name
    // a path outside the scratch directory.
    if (fileSlot)
        return QString::fromLatin1(Values[choice % ValueCount]);
    // Waits take only short times, so a run stays fast; everything else is
    // left to the wait's own argument handling.
    if (waitSlot)
        return choice % 3 == 0 ? QString::fromLatin1(Values[choice % 8]) : QString::number(choice % 20);
    if (choice < ValueCount)
        return QString::fromLatin1(Values[choice]);
    if (choice < 200)
        return QString::number(qint32(uint32_t(in.byte()) << 24 | uint32_t(in.byte()) << 16 | in.word()));
    if (choice < 230)
        return QString::number(double(int(in.word()) - 32768) / 7.0, 'g', 17);
    return bytesLiteral(in);
}

QStringList publicSlots(const QMetaObject *meta, QList<int> *counts)
{
    QStringList names;
    for (int i = QObject::staticMetaObject.methodCount(); i < meta->methodCount(); ++i) {
        const QMetaMethod m = meta->method(i);
        if (m.methodType() != QMetaMethod::Slot || m.access() != QMetaMethod::Public)
            continue;
        names << QString::fromLatin1(m.name());
        *counts << m.parameterCount();
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    // Bad arguments are traced; nobody reads it here.
    setTraceEnabled(false);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return -1;
    ByteReader in(data, size);

    // Scripts save logs under names of their choosing: into a scratch
    // directory (with the "log" folder saveLog() writes to) while the input
    // runs, not the caller's, whose relative paths stay valid in between.
    static QTemporaryDir scratch;
    static const bool ready = scratch.isValid() && QDir(scratch.path()).mkdir(QStringLiteral("log"));
    FUZZ_CHECK(ready);
    const QString callerDirectory = QDir::currentPath();
    FUZZ_CHECK(QDir::setCurrent(scratch.path()));

    MemoryNetwork net;
    {
        auto memorySocket = [&net]() -> std::unique_ptr<DatagramSocket> {
            return std::make_unique<MemoryDatagramSocket>(&net);
        };
        ScriptRunner runner(std::make_unique<ManualLogClock>());
        runner.petHandler()->setSocketFactory(memorySocket);
        for (int n = 1; n <= 2; ++n) {
            ASF_RMCP_Handler *h = runner.rmcpHandler(n);
            h->connection()->setSocketFactory(memorySocket);
            rsp::Environment env;
            env.socketFactory = memorySocket;
            h->connection()->setRspManagerFactory(rsp::qrspManagerFactory(env));
        }
        ScriptHost &host = runner.host();
        // Records of every kind in the logs.
        runner.petHandler()->receiveDatagram(QByteArray::fromHex("3082001e0201000406707562"));
        runner.rmcpHandler(1)->sendPacketRsp(6, 0, false, 0, 6, 4542, 0x80, false, 0, 0, 0, QString(), 0);
        runner.rmcpHandler(2)->logger()->log(QStringLiteral("line"));

        // The objects' slots, read once: every run sets up the same kinds.
        static QStringList slotNames[ObjectCount];
        static QList<int> slotCounts[ObjectCount];
        if (slotNames[0].isEmpty()) {
            FUZZ_CHECK(host.setSource(QStringLiteral("function alive() { return 1; }")));
            for (int i = 0; i < ObjectCount; ++i) {
                const QString target = QString::fromLatin1(Objects[i]);
                QObject *qobject = host.engine()->evaluate(target).toQObject();
                FUZZ_CHECK(qobject, target);
                slotNames[i] = publicSlots(qobject->metaObject(), &slotCounts[i]);
                FUZZ_CHECK(!slotNames[i].isEmpty(), target);
            }
        }

        QString body;
        for (int call = 0; call < 8 && !in.atEnd(); ++call) {
            const int objectIndex = in.byte() % (ObjectCount + 1);
            QString target, name;
            int count = 0;
            if (objectIndex == ObjectCount) {
                const auto &g = Globals[in.byte() % (sizeof Globals / sizeof Globals[0])];
                name = QString::fromLatin1(g.name);
                count = g.arguments;
            } else {
                target = QString::fromLatin1(Objects[objectIndex]);
                const int slot = in.byte() % int(slotNames[objectIndex].size());
                name = target + QLatin1Char('.') + slotNames[objectIndex][slot];
                count = slotCounts[objectIndex][slot];
            }
            switch (in.byte() % 4) {
            case 1: count = 0; break;
            case 2: count = std::max(0, count - 1); break;
            case 3: count += 2; break;
            default: break;
            }
            const QString slotName = name.section(QLatin1Char('.'), -1);
            const bool waitSlot = slotName.startsWith(QLatin1String("wait"));
            const bool fileSlot = slotName.contains(QLatin1String("File"));
            QStringList arguments;
            for (int i = 0; i < count; ++i)
                arguments << value(in, waitSlot, fileSlot);
            body += QStringLiteral("  try { %1(%2); ++returned; } catch (e) { check(e, %3); }\n")
                        .arg(name, arguments.join(QStringLiteral(", ")), QString::number(call));
        }

        const QString source = QStringLiteral(R"(
function alive() {
  return typeof RMCP1.getConnectionState() === "boolean" && typeof PET_LOG.getMaxSize() === "number" &&
         typeof RMCP2.getClientIpAddress() === "string";
}
function t() {
  var returned = 0, bad = [];
  function check(e, call) { if (!(e instanceof Error)) bad.push(call + ": " + typeof e + " " + String(e)); }
%1
  if (bad.length) throw "not an Error: " + bad.join("; ");
  return returned;
}
)").arg(body);
        FUZZ_CHECK(host.setSource(source), host.lastError().text() + QLatin1Char('\n') + source);
        host.setTimeLimit(20000);
        const auto functions = host.resolve(QStringLiteral("t"));
        FUZZ_CHECK(functions.size() == 1);
        const RunResult result = host.run(functions.front());
        FUZZ_CHECK(result.outcome == RunResult::Passed || result.outcome == RunResult::Failed,
                   QStringLiteral("outcome %1: %2\n%3").arg(result.outcome).arg(result.error.text(), source));
        FUZZ_CHECK(!host.running());
        FUZZ_CHECK(ScriptHost::current() == nullptr);

        // The objects still answer.
        const QJSValue alive = host.engine()->evaluate(QStringLiteral("alive()"));
        FUZZ_CHECK(alive.toBool(), alive.toString());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QDir::setCurrent(callerDirectory);
    return 0;
}
