#pragma once

#include <QDir>
#include <QTemporaryDir>

namespace velquor::test {

// Makes a fresh temporary directory the working directory while alive, with
// the "log" directory the workbench saves into unless told otherwise.
class WorkingDirectory
{
public:
    explicit WorkingDirectory(bool withLog = true) : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(m_dir.path());
        if (withLog)
            QDir().mkdir(QStringLiteral("log"));
    }
    ~WorkingDirectory() { QDir::setCurrent(m_previous); }
    WorkingDirectory(const WorkingDirectory &) = delete;
    WorkingDirectory &operator=(const WorkingDirectory &) = delete;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

} // namespace velquor::test
