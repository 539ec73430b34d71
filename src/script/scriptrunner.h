#pragma once

#include "core/logclock.h"
#include "script/scripthost.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class ASF_PET_Handler;
class ASF_RMCP_Handler;
class QTextStream;

namespace velquor::script {

class Logger;
class PETHandler;
class RMCMHandler;

// Options of "velquor --run".
struct RunnerOptions
{
    QString name;
    QString project = QStringLiteral("scripts/velquor.qsa");
    QString report;
    int timeoutSeconds = 60;

    // Parses the arguments after the program name; false with error set on a usage error.
    static bool parse(const QStringList &arguments, RunnerOptions &options, QString &error);
    static QString usage();
};

// One test function's result for the report.
struct TestCaseResult
{
    QString className; // without "__"; "(global)" for global functions
    QString name;
    RunResult result;
    QStringList logErrors; // error records the page logs got during the test
};

// Runs test functions without a window: the handlers and logs the pages
// would have, the script objects over them, and the project.
class ScriptRunner
{
public:
    enum ExitCode { AllPassed = 0, SomeFailed = 1, ScriptFailure = 2, UsageError = 3 };

    explicit ScriptRunner(std::unique_ptr<LogClock> clock = nullptr);
    ~ScriptRunner();

    ScriptHost &host() { return *m_host; }
    ASF_PET_Handler *petHandler() const { return m_pet.get(); }
    ASF_RMCP_Handler *rmcpHandler(int number) const { return m_rmcp[number == 2 ? 1 : 0].get(); }

    // Runs options.name from options.project; writes the report when asked.
    // Progress lines go to out. Returns an ExitCode.
    int run(const RunnerOptions &options, QTextStream &out);

    const std::vector<TestCaseResult> &results() const { return m_results; }

    static QByteArray junitXml(const QString &suiteName, const std::vector<TestCaseResult> &results,
                               const QString &projectError = QString());

private:
    std::unique_ptr<LogClock> m_clock;
    std::unique_ptr<ASF_PET_Handler> m_pet;
    std::unique_ptr<ASF_RMCP_Handler> m_rmcp[2];
    std::unique_ptr<ScriptHost> m_host;
    std::vector<std::unique_ptr<QObject>> m_objects;
    std::vector<TestCaseResult> m_results;
    QStringList *m_errorSink = nullptr;
};

} // namespace velquor::script
