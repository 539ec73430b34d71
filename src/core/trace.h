#pragma once

#include <QString>

namespace velquor {

// Diagnostic output goes through Qt's debug messages, so it reaches the
// Trace Log page once its message handler is installed and the console before.
void trace(const QString &text);
void traceF(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Off, trace() and traceF() drop their text at once, and code that builds a
// costly trace text asks first. On by default; velquor-check turns it off
// unless it prints the trace.
void setTraceEnabled(bool on);
bool traceEnabled();

} // namespace velquor
