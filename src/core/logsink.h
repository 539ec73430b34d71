#pragma once

#include <QString>

namespace velquor {

// Where protocol logic reports findings that belong to no packet: a text line
// with a status (-1, 0, 1), split by the short-long convention when listed.
class LogSink
{
public:
    virtual ~LogSink() = default;
    virtual void logLevel(int status, const QString &text) = 0;
};

} // namespace velquor
