#pragma once

#include <QDateTime>
#include <QString>

namespace velquor {

// The texts of one packet-log row, as listed and as written to log files.
struct LogRowTexts
{
    QString number, protocol, time, direction, info;
};

LogRowTexts logRowTexts(quint32 number, const QString &protocol, quint32 timestamp,
                        int direction, const QString &info);

// Short-long message convention: the text before the first '-' is the row's
// info, the rest its detail message.
struct ShortLong
{
    QString info, message;
};
ShortLong splitShortLong(const QString &text);

namespace logfile {

QString dashLine();
QString defaultFileName(const QString &loggerName, const QDateTime &when);
QString banner(const QString &loggerName, const QDateTime &when);
QString block(const LogRowTexts &row, const QString &packetText);
QString traceBody(const QString &traceText);

} // namespace logfile
} // namespace velquor
