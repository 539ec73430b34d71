#include "core/trace.h"

#include "core/textformat.h"
#include "core/tracelog.h"

#include <QMessageLogger>
#include <cstdarg>

namespace velquor {

void trace(const QString &text)
{
    QMessageLogger().debug("%s", text.toUtf8().constData());
}

void traceF(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    // Trace texts have no size limit; a large vsnprintf buffer keeps it simple.
    const QString text = QString::vasprintf(format, ap);
    va_end(ap);
    trace(text);
}

void traceDeferred(qsizetype size, std::function<QString()> build)
{
    if (TraceLog *log = TraceLog::takingMessages())
        log->appendDeferred(size, std::move(build));
    else
        trace(build());
}

} // namespace velquor
