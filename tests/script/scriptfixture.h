#pragma once

#include "core/logclock.h"
#include "script/scripthost.h"
#include "script/scriptrunner.h"

#include <QTest>
#include <memory>

namespace velquor::test {

// The runner's handlers and script objects on a manual clock, with source
// as the project; run() calls one listed function by name.
struct ScriptFixture
{
    explicit ScriptFixture(const QString &source)
        : runner(std::make_unique<ManualLogClock>())
    {
        loaded = runner.host().setSource(source);
    }

    script::RunResult run(const QString &name)
    {
        const auto functions = runner.host().resolve(name);
        if (functions.size() != 1) {
            script::RunResult r;
            r.outcome = script::RunResult::Error;
            r.error.message = QStringLiteral("no function ") + name;
            return r;
        }
        return runner.host().run(functions.front());
    }

    // run(name) must pass; the failures or error say why not.
    bool passes(const QString &name)
    {
        const script::RunResult r = run(name);
        if (r.outcome != script::RunResult::Passed)
            qWarning() << name << r.outcome << r.failures << r.error.text();
        return r.outcome == script::RunResult::Passed;
    }

    script::ScriptRunner runner;
    bool loaded = false;
};

} // namespace velquor::test
