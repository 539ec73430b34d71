#include "script/scriptrunner.h"

#include "core/asflogger.h"
#include "core/asfpacket.h"
#include "core/packetstatus.h"
#include "pet/asfpethandler.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/rmcpconnection.h"
#include "rsp/qrsplink.h"
#include "script/scriptobjects.h"

#include <QFile>
#include <QTextStream>
#include <QXmlStreamWriter>

namespace velquor::script {

bool RunnerOptions::parse(const QStringList &arguments, RunnerOptions &options, QString &error)
{
    bool haveName = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        auto value = [&](QString &into) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            into = arguments[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--run")) {
            if (!value(options.name))
                return false;
            haveName = true;
        } else if (a == QLatin1String("--project")) {
            if (!value(options.project))
                return false;
        } else if (a == QLatin1String("--report")) {
            if (!value(options.report))
                return false;
        } else if (a == QLatin1String("--timeout")) {
            if (!value(v))
                return false;
            bool ok = false;
            const int s = v.toInt(&ok);
            if (!ok || s < 1 || s > 86400) {
                error = QStringLiteral("--timeout wants whole seconds from 1 to 86400, not \"%1\"").arg(v);
                return false;
            }
            options.timeoutSeconds = s;
        } else {
            error = QStringLiteral("unknown argument \"%1\"").arg(a);
            return false;
        }
    }
    if (!haveName) {
        error = QStringLiteral("--run NAME is missing");
        return false;
    }
    return true;
}

QString RunnerOptions::usage()
{
    return QStringLiteral("usage: velquor --run NAME [--project FILE] [--report FILE.xml] [--timeout S]\n"
                          "  NAME: Class.function, a global function, or a class (all its functions)\n"
                          "  exit status: 0 all passed, 1 a test failed, 2 script error or time-out, 3 usage error\n");
}

ScriptRunner::ScriptRunner(std::unique_ptr<LogClock> clock)
    : m_clock(clock ? std::move(clock) : std::make_unique<SystemLogClock>())
{
    m_pet = std::make_unique<ASF_PET_Handler>(m_clock.get(), nullptr, "PET");
    m_rmcp[0] = std::make_unique<ASF_RMCP_Handler>(m_clock.get(), nullptr, "RMCP1");
    m_rmcp[1] = std::make_unique<ASF_RMCP_Handler>(m_clock.get(), nullptr, "RMCP2");
    // No window registers the pages' RSP manager here: without it every
    // connect with RSP on would end in "Error initiating RSP".
    for (auto &rmcp : m_rmcp)
        rmcp->connection()->setRspManagerFactory(rsp::qrspManagerFactory());
    m_host = std::make_unique<ScriptHost>();

    auto addLogger = [this](ASF_Logger *logger, const QString &name) {
        auto wrapper = std::make_unique<Logger>(logger, nullptr, name);
        m_host->addObject(wrapper.get());
        m_objects.push_back(std::move(wrapper));
        // Error records of the page logs go into the report of the running test.
        QObject::connect(logger, &ASF_Logger::newPacketSignal, m_host.get(), [this, logger, name] {
            ASF_Packet *p = logger->getLastAsfPacket();
            if (m_errorSink && p && p->getAsfPacketStatus() == ASF_PACKET_ERROR)
                m_errorSink->append(QStringLiteral("%1: %2").arg(name, p->getAsfPacketInfo()));
        });
    };
    auto pet = std::make_unique<PETHandler>(m_pet.get(), nullptr, QStringLiteral("PET"));
    m_host->addObject(pet.get());
    m_objects.push_back(std::move(pet));
    addLogger(m_pet->logger(), QStringLiteral("PET_LOG"));
    for (int i = 0; i < 2; ++i) {
        const QString name = QStringLiteral("RMCP%1").arg(i + 1);
        auto rmcp = std::make_unique<RMCMHandler>(m_rmcp[i].get(), nullptr, name);
        m_host->addObject(rmcp.get());
        m_objects.push_back(std::move(rmcp));
        addLogger(m_rmcp[i]->logger(), name + QStringLiteral("_LOG"));
    }
}

ScriptRunner::~ScriptRunner()
{
    m_host.reset();
    m_objects.clear();
    m_rmcp[1].reset();
    m_rmcp[0].reset();
    m_pet.reset();
}

int ScriptRunner::run(const RunnerOptions &options, QTextStream &out)
{
    m_results.clear();
    const bool loaded = m_host->load(options.project);
    if (!loaded) {
        out << "script error: " << m_host->lastError().text() << "\n";
        if (!options.report.isEmpty()) {
            QFile f(options.report);
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                f.write(junitXml(options.name, {}, m_host->lastError().text()));
        }
        out.flush();
        return ScriptFailure;
    }
    const std::vector<ScriptFunction> functions = m_host->resolve(options.name);
    if (functions.empty()) {
        out << "velquor: no test function \"" << options.name << "\" in " << options.project << "\n";
        out.flush();
        return UsageError;
    }
    m_host->setTimeLimit(options.timeoutSeconds * 1000);
    int code = AllPassed;
    for (const ScriptFunction &f : functions) {
        TestCaseResult tc;
        tc.className = f.className.isEmpty() ? QStringLiteral("(global)") : f.className.mid(f.className.startsWith(QLatin1String("__")) ? 2 : 0);
        tc.name = f.name;
        m_errorSink = &tc.logErrors;
        out << "=== RUN " << tc.className << "." << tc.name << "\n";
        out.flush();
        tc.result = m_host->run(f);
        m_errorSink = nullptr;
        static const char *const words[] = {"PASS", "FAIL", "ERROR", "TIMEOUT"};
        out << "--- " << words[tc.result.outcome] << " " << tc.className << "." << tc.name << " ("
            << tc.result.elapsedMs << " ms)\n";
        for (const QString &t : tc.result.failures)
            out << "    failed: " << t << "\n";
        if (tc.result.outcome == RunResult::Error || tc.result.outcome == RunResult::TimedOut)
            out << "    " << tc.result.error.text() << "\n";
        out.flush();
        if (tc.result.outcome == RunResult::Failed)
            code = std::max(code, int(SomeFailed));
        else if (tc.result.outcome != RunResult::Passed)
            code = ScriptFailure;
        m_results.push_back(std::move(tc));
    }
    if (!options.report.isEmpty()) {
        QFile f(options.report);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(junitXml(options.name, m_results)) < 0) {
            out << "velquor: cannot write the report " << options.report << ": " << f.errorString() << "\n";
            out.flush();
            return ScriptFailure;
        }
    }
    return code;
}

QByteArray ScriptRunner::junitXml(const QString &suiteName, const std::vector<TestCaseResult> &results,
                                  const QString &projectError)
{
    int failures = 0, errors = 0;
    double seconds = 0;
    for (const TestCaseResult &tc : results) {
        failures += tc.result.outcome == RunResult::Failed;
        errors += tc.result.outcome == RunResult::Error || tc.result.outcome == RunResult::TimedOut;
        seconds += tc.result.elapsedMs / 1000.0;
    }
    if (!projectError.isEmpty())
        ++errors;
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("testsuites"));
    w.writeStartElement(QStringLiteral("testsuite"));
    w.writeAttribute(QStringLiteral("name"), suiteName);
    w.writeAttribute(QStringLiteral("tests"), QString::number(results.size() + (projectError.isEmpty() ? 0 : 1)));
    w.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    w.writeAttribute(QStringLiteral("errors"), QString::number(errors));
    w.writeAttribute(QStringLiteral("time"), QString::number(seconds, 'f', 3));
    if (!projectError.isEmpty()) {
        w.writeStartElement(QStringLiteral("testcase"));
        w.writeAttribute(QStringLiteral("classname"), QStringLiteral("project"));
        w.writeAttribute(QStringLiteral("name"), QStringLiteral("load"));
        w.writeStartElement(QStringLiteral("error"));
        w.writeAttribute(QStringLiteral("message"), projectError);
        w.writeEndElement();
        w.writeEndElement();
    }
    for (const TestCaseResult &tc : results) {
        w.writeStartElement(QStringLiteral("testcase"));
        w.writeAttribute(QStringLiteral("classname"), tc.className);
        w.writeAttribute(QStringLiteral("name"), tc.name);
        w.writeAttribute(QStringLiteral("time"), QString::number(tc.result.elapsedMs / 1000.0, 'f', 3));
        switch (tc.result.outcome) {
        case RunResult::Passed:
            break;
        case RunResult::Failed:
            for (const QString &t : tc.result.failures) {
                w.writeStartElement(QStringLiteral("failure"));
                w.writeAttribute(QStringLiteral("message"), t);
                w.writeEndElement();
            }
            break;
        case RunResult::Error:
        case RunResult::TimedOut:
            w.writeStartElement(QStringLiteral("error"));
            w.writeAttribute(QStringLiteral("type"), tc.result.outcome == RunResult::TimedOut ? QStringLiteral("timeout")
                                                                                              : QStringLiteral("script"));
            w.writeAttribute(QStringLiteral("message"), tc.result.error.text());
            w.writeEndElement();
            break;
        }
        if (!tc.logErrors.isEmpty())
            w.writeTextElement(QStringLiteral("system-err"), tc.logErrors.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return bytes;
}

} // namespace velquor::script
