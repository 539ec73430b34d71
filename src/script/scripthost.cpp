#include "script/scripthost.h"

#include "core/trace.h"
#include "script/scriptobjects.h"

#include <QEventLoop>
#include <QFile>
#include <QJSEngine>
#include <QJSValueIterator>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velquor::script {

namespace {

ScriptHost *g_current = nullptr;
QtMessageHandler g_previousHandler = nullptr;

// The engine only warns about an error thrown in a function connected to a
// signal; while a test runs, such a warning fails the test.
void catchHandlerErrors(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const QRegularExpression jsError(QStringLiteral("^\\S+:\\d+: \\w*Error: "));
    if (type == QtWarningMsg && g_current && g_current->thread() == QThread::currentThread()
        && jsError.match(message).hasMatch()) {
        QString text = message;
        if (text.startsWith(QLatin1String("file://")))
            text = text.mid(7);
        else if (text.startsWith(QLatin1String("file:")))
            text = text.mid(5);
        // Not traced from here (a message inside the handler would bypass
        // it): the warning itself goes on to the trace below.
        g_current->recordFailure(QStringLiteral("error in a connected function: %1").arg(text), false);
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        qt_message_output(type, context, message);
}

// Published before the project, so a test can call them like built-ins.
const char *const GlobalsGlue = "function wait(ms) { __velquor.wait(Number(ms)); }\n"
                                "function fail(text) { __velquor.fail(String(text)); }\n"
                                "function expect(condition, text) {\n"
                                "  return __velquor.expect(!!condition, text === undefined ? '' : String(text));\n"
                                "}\n"
                                "function input(prompt, defaultText) {\n"
                                "  var r = __velquor.input(prompt == null ? '' : String(prompt),\n"
                                "                          defaultText == null ? '' : String(defaultText));\n"
                                "  return r.ok ? r.text : null;\n"
                                "}\n"
                                "function inputNumber(prompt, defaultValue, min, max) {\n"
                                "  var r = __velquor.inputNumber(prompt == null ? '' : String(prompt), Number(defaultValue),\n"
                                "                                min == null ? -2147483647 : Number(min),\n"
                                "                                max == null ? 2147483647 : Number(max));\n"
                                "  return r.ok ? r.value : null;\n"
                                "}\n";

// Own function-valued members of a class and of its prototype; static ones
// are called on the class, the others on a new instance.
const char *const MembersScript =
    "(function (C) {\n"
    "  var r = [];\n"
    "  function add(o, isStatic, skip) {\n"
    "    Object.getOwnPropertyNames(o).forEach(function (n) {\n"
    "      if (skip.indexOf(n) >= 0) return;\n"
    "      var d = Object.getOwnPropertyDescriptor(o, n);\n"
    "      if (d && typeof d.value === 'function') r.push({ name: n, isStatic: isStatic });\n"
    "    });\n"
    "  }\n"
    "  if (C.prototype) add(C.prototype, false, ['constructor']);\n"
    "  add(C, true, ['prototype', 'length', 'name', 'caller', 'arguments']);\n"
    "  return r;\n"
    "})";

QStringList ownNames(const QJSValue &object)
{
    QStringList names;
    QJSValueIterator it(object);
    while (it.hasNext()) {
        it.next();
        names << it.name();
    }
    return names;
}

// Ends a test from another thread when a script runs past its time limit
// without ever reaching a wait (a busy loop never lets a timer fire).
class Watchdog
{
public:
    Watchdog(int ms, std::function<void()> expire)
    {
        if (ms <= 0)
            return;
        m_thread = std::thread([this, ms, expire = std::move(expire)] {
            std::unique_lock lock(m_mutex);
            if (!m_cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_done; }))
                expire();
        });
    }
    ~Watchdog()
    {
        if (!m_thread.joinable())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace

QString ScriptError::text() const
{
    if (fileName.isEmpty())
        return message;
    if (line <= 0)
        return QStringLiteral("%1: %2").arg(fileName, message);
    return QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(message);
}

ScriptHost::ScriptHost(QObject *parent) : QObject(parent), m_globalsObject(std::make_unique<ScriptGlobals>(this))
{
    registerScriptTypes();
    m_globalsObject->setObjectName(QStringLiteral("__velquor"));
    evaluateSource(QString());
}

ScriptHost::~ScriptHost()
{
    if (g_current == this)
        g_current = nullptr;
    m_engine.reset();
}

ScriptHost *ScriptHost::current()
{
    return g_current;
}

void ScriptHost::addObject(QObject *object)
{
    if (!object)
        return;
    m_objects.emplace_back(object);
    QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    if (m_engine)
        m_engine->globalObject().setProperty(object->objectName(), m_engine->newQObject(object));
}

bool ScriptHost::load(const QString &fileName)
{
    m_fileName = fileName;
    m_edited = false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // A missing project leaves an empty one, which is never saved over
        // whatever may later appear under that name.
        m_loaded = false;
        m_source.clear();
        evaluateSource(QString());
        m_lastError = {QStringLiteral("cannot read the script project: %1").arg(file.errorString()), fileName, 0};
        emit evaluated(false);
        return false;
    }
    m_loaded = true;
    m_source = QString::fromUtf8(file.readAll());
    return evaluate();
}

bool ScriptHost::setSource(const QString &source)
{
    if (source != m_source) {
        m_source = source;
        m_edited = true;
    }
    return evaluate();
}

bool ScriptHost::evaluate()
{
    if (m_running) {
        m_lastError = {QStringLiteral("a test is running"), QString(), 0};
        return false;
    }
    const bool ok = evaluateSource(m_source);
    emit evaluated(ok);
    return ok;
}

bool ScriptHost::save()
{
    if (!m_loaded)
        return false;
    if (!m_edited)
        return true;
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        m_lastError = {QStringLiteral("cannot save the script project: %1").arg(file.errorString()), m_fileName, 0};
        return false;
    }
    const QByteArray bytes = m_source.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        m_lastError = {QStringLiteral("cannot save the script project: %1").arg(file.errorString()), m_fileName, 0};
        return false;
    }
    m_edited = false;
    return true;
}

void ScriptHost::publishGlobals()
{
    QJSValue global = m_engine->globalObject();
    global.setProperty(m_globalsObject->objectName(), m_engine->newQObject(m_globalsObject.get()));
    QJSEngine::setObjectOwnership(m_globalsObject.get(), QJSEngine::CppOwnership);
    for (const QPointer<QObject> &object : m_objects)
        if (object)
            global.setProperty(object->objectName(), m_engine->newQObject(object.data()));
    m_engine->evaluate(QString::fromLatin1(GlobalsGlue), QStringLiteral("<globals>"));
}

bool ScriptHost::evaluateSource(const QString &source)
{
    // A fresh engine each time: functions deleted in the editor disappear.
    m_engine = std::make_unique<QJSEngine>();
    m_engine->installExtensions(QJSEngine::ConsoleExtension);
    m_classes.clear();
    m_globals.clear();
    m_lastError = {};
    publishGlobals();
    const QStringList before = ownNames(m_engine->globalObject());

    // Top-level class declarations stay out of the global object: publish
    // every class the source declares in the same evaluation (appended, so
    // line numbers stay those of the file).
    static const QRegularExpression classDecl(QStringLiteral("\\bclass\\s+([A-Za-z_$][\\w$]*)"));
    QStringList classNames;
    QString program = source;
    program += QStringLiteral("\n;");
    for (auto it = classDecl.globalMatch(source); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (classNames.contains(name))
            continue;
        classNames << name;
        program += QStringLiteral("if (typeof %1 === 'function') this.%1 = %1;").arg(name);
    }
    const QString file = m_fileName.isEmpty() ? QStringLiteral("velquor.qsa") : m_fileName;
    const QJSValue result = m_engine->evaluate(program, file, 1);
    if (result.isError()) {
        m_lastError = errorOf(result, file);
        // A fault found only in the publishing lines behind the source (an
        // unclosed bracket) belongs to the source's end.
        const int lines = int(source.count(QLatin1Char('\n'))) + 1;
        if (m_lastError.line > lines)
            m_lastError.line = lines;
        trace(QStringLiteral("script error: %1\n").arg(m_lastError.text()));
        return false;
    }
    buildListing(classNames, before);
    return true;
}

void ScriptHost::buildListing(const QStringList &classNames, const QStringList &before)
{
    QJSValue global = m_engine->globalObject();
    const QJSValue members = m_engine->evaluate(QString::fromLatin1(MembersScript));
    const QSet<QString> known(before.begin(), before.end());
    for (const QString &name : ownNames(global)) {
        if (known.contains(name))
            continue;
        const QJSValue value = global.property(name);
        if (!value.isCallable())
            continue;
        if (classNames.contains(name)) {
            if (!name.startsWith(QLatin1String("__")))
                continue;
            ScriptClass c{name, {}};
            const QJSValue list = members.call({value});
            const int n = list.property(QStringLiteral("length")).toInt();
            for (int i = 0; i < n; ++i) {
                const QJSValue m = list.property(quint32(i));
                c.functions.push_back({name, m.property(QStringLiteral("name")).toString(),
                                       m.property(QStringLiteral("isStatic")).toBool()});
            }
            std::sort(c.functions.begin(), c.functions.end(),
                      [](const ScriptFunction &a, const ScriptFunction &b) { return a.name < b.name; });
            m_classes.push_back(std::move(c));
        } else {
            m_globals.push_back({QString(), name, false});
        }
    }
    std::sort(m_classes.begin(), m_classes.end(),
              [](const ScriptClass &a, const ScriptClass &b) { return a.name < b.name; });
    std::sort(m_globals.begin(), m_globals.end(),
              [](const ScriptFunction &a, const ScriptFunction &b) { return a.name < b.name; });
}

ScriptError ScriptHost::errorOf(const QJSValue &value, const QString &fallbackFile)
{
    ScriptError e;
    e.message = value.property(QStringLiteral("message")).toString();
    if (e.message.isEmpty())
        e.message = value.toString();
    const QString name = value.property(QStringLiteral("name")).toString();
    if (!name.isEmpty() && name != QLatin1String("Error"))
        e.message = name + QStringLiteral(": ") + e.message;
    e.fileName = value.property(QStringLiteral("fileName")).toString();
    if (e.fileName.isEmpty())
        e.fileName = fallbackFile;
    else if (const QUrl url(e.fileName); url.isLocalFile())
        e.fileName = url.toLocalFile();
    e.line = value.property(QStringLiteral("lineNumber")).toInt();
    return e;
}

std::vector<ScriptFunction> ScriptHost::resolve(const QString &name) const
{
    auto findClass = [this](const QString &c) -> const ScriptClass * {
        for (const ScriptClass &k : m_classes)
            if (k.name == c || k.name == QLatin1String("__") + c)
                return &k;
        return nullptr;
    };
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        if (const ScriptClass *c = findClass(name.left(dot)))
            for (const ScriptFunction &f : c->functions)
                if (f.name == name.mid(dot + 1))
                    return {f};
        return {};
    }
    for (const ScriptFunction &f : m_globals)
        if (f.name == name)
            return {f};
    if (const ScriptClass *c = findClass(name))
        return c->functions;
    return {};
}

void ScriptHost::stop()
{
    if (!m_running)
        return;
    m_stopped = true;
    m_engine->setInterrupted(true);
    for (const QPointer<QObject> &loop : m_loops)
        if (auto *l = qobject_cast<QEventLoop *>(loop.data()))
            l->quit();
}

void ScriptHost::recordFailure(const QString &text, bool traced)
{
    m_failures << text;
    if (traced)
        trace(QStringLiteral("error: test failed: %1\n").arg(text));
    emit failureRecorded(text);
}

RunResult ScriptHost::run(const ScriptFunction &function)
{
    RunResult r;
    const QString label = function.className.isEmpty() ? function.name : function.className + QLatin1Char('.') + function.name;
    if (m_running) {
        r.outcome = RunResult::Error;
        r.error.message = QStringLiteral("a test is running already");
        return r;
    }
    m_running = true;
    m_stopped = false;
    m_timedOut = false;
    m_failures.clear();
    m_deadline = m_timeLimitMs > 0 ? QDeadlineTimer(m_timeLimitMs) : QDeadlineTimer(QDeadlineTimer::Forever);
    ScriptHost *outer = g_current;
    g_current = this;
    const QtMessageHandler previous = qInstallMessageHandler(catchHandlerErrors);
    if (previous != catchHandlerErrors)
        g_previousHandler = previous;
    emit runStarted(label);
    QElapsedTimer clock;
    clock.start();

    QJSValue result;
    {
        QJSEngine *engine = m_engine.get();
        Watchdog watchdog(m_timeLimitMs, [this, engine] {
            m_timedOut = true;
            engine->setInterrupted(true);
        });
        QJSValue global = engine->globalObject();
        if (function.className.isEmpty()) {
            QJSValue f = global.property(function.name);
            result = f.isCallable() ? f.call()
                                    : engine->evaluate(QStringLiteral("throw new ReferenceError('%1 is not a function')").arg(function.name));
        } else {
            QJSValue c = global.property(function.className);
            QJSValue self = function.isStatic ? c : c.callAsConstructor();
            if (self.isError()) {
                result = self;
            } else {
                QJSValue f = self.property(function.name);
                result = f.isCallable() ? f.callWithInstance(self)
                                        : engine->evaluate(QStringLiteral("throw new ReferenceError('%1 is not a function')").arg(label));
            }
        }
    }
    m_engine->setInterrupted(false);
    if (!outer)
        qInstallMessageHandler(g_previousHandler);
    g_current = outer;
    r.elapsedMs = clock.elapsed();
    r.failures = m_failures;
    if (m_timedOut || m_stopped) {
        r.outcome = RunResult::TimedOut;
        r.error.message = m_timedOut ? QStringLiteral("time limit of %1 ms reached").arg(m_timeLimitMs)
                                     : QStringLiteral("stopped");
        trace(QStringLiteral("error: %1: %2\n").arg(label, r.error.message));
    } else if (result.isError()) {
        r.outcome = RunResult::Error;
        r.error = errorOf(result, m_fileName);
        trace(QStringLiteral("script error: %1\n").arg(r.error.text()));
    } else if (!m_failures.isEmpty()) {
        r.outcome = RunResult::Failed;
    }
    m_running = false;
    emit runFinished(label, int(r.outcome));
    return r;
}

bool ScriptHost::waitFor(double timeoutMs, const std::function<bool()> &done,
                         const std::function<QMetaObject::Connection(const std::function<void()> &)> &arm)
{
    if (done())
        return true;
    ScriptHost *host = g_current;
    qint64 ms = std::isfinite(timeoutMs) && timeoutMs > 0 ? qint64(std::min(timeoutMs, double(INT_MAX))) : 0;
    bool capped = false;
    if (host) {
        if (host->m_stopped || host->m_timedOut)
            return done();
        if (!host->m_deadline.isForever() && host->m_deadline.remainingTime() <= ms) {
            ms = host->m_deadline.remainingTime();
            capped = true;
        }
    }
    // A nested loop, not a sleep: sockets, timers and retransmissions go on
    // while the script waits.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    bool timerFired = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&loop, &timerFired] {
        timerFired = true;
        loop.quit();
    });
    QMetaObject::Connection armed;
    if (arm)
        armed = arm([&loop, &done] {
            if (done())
                loop.quit();
        });
    if (host)
        host->m_loops.emplace_back(&loop);
    timer.start(int(ms));
    loop.exec();
    QObject::disconnect(armed);
    if (host) {
        host->m_loops.pop_back();
        // Woken by the test's time limit: the test ends here.
        if (capped && timerFired && !done()) {
            host->m_timedOut = true;
            host->m_engine->setInterrupted(true);
        }
    }
    return done();
}

void ScriptGlobals::wait(double ms)
{
    ScriptHost::waitFor(ms, [] { return false; });
}

void ScriptGlobals::fail(const QString &text)
{
    m_host->recordFailure(text);
}

bool ScriptGlobals::expect(bool condition, const QString &text)
{
    if (!condition)
        m_host->recordFailure(text.isEmpty() ? QStringLiteral("expectation not met") : text);
    return condition;
}

QVariantMap ScriptGlobals::input(const QString &prompt, const QString &defaultText)
{
    QString text = defaultText;
    bool ok = true;
    if (const auto &hook = m_host->textInputHook())
        ok = hook(prompt, defaultText, &text);
    else
        trace(QStringLiteral("script input(\"%1\"): no dialog shown, default returned\n").arg(prompt));
    return {{QStringLiteral("ok"), ok}, {QStringLiteral("text"), ok ? text : QString()}};
}

QVariantMap ScriptGlobals::inputNumber(const QString &prompt, double defaultValue, double min, double max)
{
    // A range the dialog can show: no NaN, bounds in order, the default inside.
    if (std::isnan(min))
        min = -2147483647;
    if (std::isnan(max))
        max = 2147483647;
    if (min > max)
        std::swap(min, max);
    if (std::isnan(defaultValue))
        defaultValue = std::clamp(0.0, min, max);
    defaultValue = std::clamp(defaultValue, min, max);

    double value = defaultValue;
    bool ok = true;
    if (const auto &hook = m_host->numberInputHook()) {
        ok = hook(prompt, defaultValue, min, max, &value);
        // The script relies on the range it asked for.
        if (ok && !std::isnan(value))
            value = std::clamp(value, min, max);
        else if (ok)
            value = defaultValue;
    } else {
        trace(QStringLiteral("script inputNumber(\"%1\"): no dialog shown, default returned\n").arg(prompt));
    }
    return {{QStringLiteral("ok"), ok}, {QStringLiteral("value"), value}};
}

} // namespace velquor::script
