#pragma once

// Test helpers: collect the trace (Qt debug output) and what a piece of code
// prints on standard output.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace velquor::test {

// Collects debug messages while alive.
class TraceCapture
{
public:
    TraceCapture()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&TraceCapture::handler);
    }
    ~TraceCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    const QString &text() const { return m_text; }
    void clear() { m_text.clear(); }

private:
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (s_current && type == QtDebugMsg)
            s_current->m_text += message;
    }
    static inline TraceCapture *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    QString m_text;
};

// Runs fn with standard output sent to a temporary file; returns what it printed.
inline QByteArray captureStdout(const std::function<void()> &fn)
{
    std::fflush(stdout);
    FILE *tmp = std::tmpfile();
    const int saved = dup(fileno(stdout));
    dup2(fileno(tmp), fileno(stdout));
    fn();
    std::fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);
    std::rewind(tmp);
    QByteArray out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, tmp)) > 0)
        out.append(buffer, qsizetype(n));
    std::fclose(tmp);
    return out;
}

} // namespace velquor::test
