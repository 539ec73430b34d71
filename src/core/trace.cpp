#include "core/trace.h"

#include "core/textformat.h"
#include "core/tracelog.h"

#include <QMessageLogger>
#include <atomic>
#include <cstdarg>

namespace velquor {

namespace {
std::atomic<bool> g_traceEnabled{true};
thread_local int t_silenced = 0;
}

TraceSilence::TraceSilence()
{
    ++t_silenced;
}

TraceSilence::~TraceSilence()
{
    --t_silenced;
}

void setTraceEnabled(bool on)
{
    g_traceEnabled.store(on, std::memory_order_relaxed);
}

bool traceSilenced()
{
    return t_silenced != 0;
}

bool traceEnabled()
{
    return t_silenced == 0 && g_traceEnabled.load(std::memory_order_relaxed);
}

void trace(const QString &text)
{
    if (!traceEnabled())
        return;
    QMessageLogger().debug("%s", text.toUtf8().constData());
}

void traceF(const char *format, ...)
{
    if (!traceEnabled())
        return;
    va_list ap;
    va_start(ap, format);
    const QString text = QString::vasprintf(format, ap);
    va_end(ap);
    trace(text);
}

void traceDeferred(qsizetype size, std::function<QString()> build)
{
    if (!traceEnabled())
        return;
    if (TraceLog *log = TraceLog::takingMessages())
        log->appendDeferred(size, std::move(build));
    else
        trace(build());
}

} // namespace velquor
