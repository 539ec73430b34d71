#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QJSEngine;
class QJSValue;

namespace velquor::script {

// A function the Scripts panel lists: in a class whose name begins with
// "__", or global (className empty).
struct ScriptFunction
{
    QString className;
    QString name;
    bool isStatic = false;
};

struct ScriptClass
{
    QString name; // with its "__"
    std::vector<ScriptFunction> functions;
};

struct ScriptError
{
    QString message;
    QString fileName;
    int line = 0;
    QString text() const;
};

// What one call of a test function came to.
struct RunResult
{
    enum Outcome { Passed, Failed, Error, TimedOut };
    Outcome outcome = Passed;
    ScriptError error;     // for Error and TimedOut
    QStringList failures;  // fail() and expect() texts, in order
    qint64 elapsedMs = 0;
};

class ScriptGlobals;

// The script project on an ECMAScript engine: loads "velquor.qsa", publishes
// the registered script objects under their object names, lists the test
// functions and runs one. Widget-free; the Scripts panel and the headless
// runner sit on top of it.
class ScriptHost : public QObject
{
    Q_OBJECT

public:
    explicit ScriptHost(QObject *parent = nullptr);
    ~ScriptHost() override;

    // Reads the project file and evaluates it; false when the file cannot be
    // read or does not evaluate (lastError() says why).
    bool load(const QString &fileName);
    // Evaluates source as the project's new contents (the editor's text).
    bool setSource(const QString &source);
    // Evaluates the current source again, in a fresh engine.
    bool evaluate();
    // Writes the source back to the project file when it was loaded
    // successfully and changed since; true when the file holds the source.
    bool save();

    const QString &fileName() const { return m_fileName; }
    const QString &source() const { return m_source; }
    bool loaded() const { return m_loaded; }
    bool edited() const { return m_edited; }
    const ScriptError &lastError() const { return m_lastError; }

    // Script objects stay the caller's; they are published in every evaluation.
    void addObject(QObject *object);

    const std::vector<ScriptClass> &classes() const { return m_classes; }
    const std::vector<ScriptFunction> &globalFunctions() const { return m_globals; }
    // "Class.function" (with or without the class's "__"), a global function
    // name, or a listed class name (all its functions); empty when unknown.
    std::vector<ScriptFunction> resolve(const QString &name) const;

    // 0 means no limit.
    void setTimeLimit(int ms) { m_timeLimitMs = ms; }
    int timeLimit() const { return m_timeLimitMs; }
    RunResult run(const ScriptFunction &function);
    bool running() const { return m_running; }
    // Ends the running test at the next script instruction or wait.
    void stop();

    QJSEngine *engine() const { return m_engine.get(); }

    // How input() and inputNumber() ask the user; false when cancelled. The
    // window sets them; without them (headless) the default is the answer.
    using TextInputHook = std::function<bool(const QString &prompt, const QString &defaultText, QString *text)>;
    using NumberInputHook =
        std::function<bool(const QString &prompt, double defaultValue, double min, double max, double *value)>;
    void setInputHooks(TextInputHook text, NumberInputHook number)
    {
        m_textInput = std::move(text);
        m_numberInput = std::move(number);
    }
    const TextInputHook &textInputHook() const { return m_textInput; }
    const NumberInputHook &numberInputHook() const { return m_numberInput; }

    // The host running a test now (waits end with its time limit), or null.
    static ScriptHost *current();
    // Runs the event loop until done() holds (checked whenever a signal armed
    // by arm() arrives) or timeoutMs passes, at most until the running test's
    // time limit or stop(). Sockets and timers keep being served while a
    // script waits. Returns done().
    static bool waitFor(double timeoutMs, const std::function<bool()> &done,
                        const std::function<QMetaObject::Connection(const std::function<void()> &)> &arm = {});

    void recordFailure(const QString &text, bool traced = true);

signals:
    void evaluated(bool ok);
    void failureRecorded(const QString &text);
    void runStarted(const QString &name);
    void runFinished(const QString &name, int outcome);

private:
    bool evaluateSource(const QString &source);
    void publishGlobals();
    void buildListing(const QStringList &names, const QStringList &before);
    static ScriptError errorOf(const QJSValue &value, const QString &fallbackFile);

    std::unique_ptr<QJSEngine> m_engine;
    std::unique_ptr<ScriptGlobals> m_globalsObject;
    std::vector<QPointer<QObject>> m_objects;
    QString m_fileName;
    QString m_source;
    bool m_loaded = false;
    bool m_edited = false;
    ScriptError m_lastError;
    std::vector<ScriptClass> m_classes;
    std::vector<ScriptFunction> m_globals;
    int m_timeLimitMs = 0;
    bool m_running = false;
    std::atomic_bool m_stopped = false;
    std::atomic_bool m_timedOut = false;
    std::vector<QPointer<QObject>> m_loops; // the waits' nested event loops, innermost last
    QDeadlineTimer m_deadline;
    QStringList m_failures;
    TextInputHook m_textInput;
    NumberInputHook m_numberInput;
};

// The global helpers every test may call: wait(ms), fail(text),
// expect(condition, text), input(prompt, defaultText) and
// inputNumber(prompt, defaultValue, min, max).
class ScriptGlobals : public QObject
{
    Q_OBJECT

public:
    explicit ScriptGlobals(ScriptHost *host) : m_host(host) {}

public slots:
    void wait(double ms);
    void fail(const QString &text);
    bool expect(bool condition, const QString &text);
    // {ok, text} and {ok, value}; the glue turns a cancel into null.
    QVariantMap input(const QString &prompt, const QString &defaultText);
    QVariantMap inputNumber(const QString &prompt, double defaultValue, double min, double max);

private:
    ScriptHost *m_host;
};

} // namespace velquor::script
