#pragma once

// Runs velquor-check (its path comes from the VELQUOR_CHECK_BINARY
// definition) and collects what it printed.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace velquor::test {

struct ToolRun
{
    int exitCode = -1; // -1: did not end normally within a minute
    QString out, err;
};

inline ToolRun runCheckTool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(VELQUOR_CHECK_BINARY), arguments);
    const bool ended = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, QString::fromLatin1(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace velquor::test
