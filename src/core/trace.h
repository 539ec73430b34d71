#pragma once

#include <QString>
#include <functional>

namespace velquor {

// Diagnostic output goes through Qt's debug messages, so it reaches the
// Trace Log page once its message handler is installed and the console before.
void trace(const QString &text);
void traceF(const char *format, ...) __attribute__((format(printf, 1, 2)));

// A trace text built only if somebody reads it: the Trace Log page keeps its
// newest 90000 to 110000 characters, so in a burst most texts would be
// trimmed away unread. size must be exactly the size of what build()
// returns. Without an installed trace log to take it, the text is built and
// traced at once, as trace() does.
void traceDeferred(qsizetype size, std::function<QString()> build);

// Off, trace() and traceF() drop their text at once, and code that builds a
// costly trace text asks first. On by default; velquor-check turns it off
// unless it prints the trace.
void setTraceEnabled(bool on);
bool traceEnabled();

// While one lives, this thread traces nothing: a record built again from
// its bytes (a compact log row shown or saved) checks them again, and its
// findings were traced when it arrived.
class TraceSilence
{
public:
    TraceSilence();
    ~TraceSilence();
    TraceSilence(const TraceSilence &) = delete;
    TraceSilence &operator=(const TraceSilence &) = delete;
};
// Whether a TraceSilence lives on this thread; the note on a cut finding
// text is left out then too.
bool traceSilenced();

} // namespace velquor
