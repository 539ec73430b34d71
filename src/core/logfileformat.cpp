#include "core/logfileformat.h"

#include "core/textformat.h"

#include <QStringList>

namespace velquor {

LogRowTexts logRowTexts(quint32 number, const QString &protocol, quint32 timestamp,
                        int direction, const QString &info)
{
    return {QString::asprintf("%5u", number), protocol, timestampText(timestamp),
            directionText(direction), info};
}

ShortLong splitShortLong(const QString &text)
{
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    if (dash < 0)
        return {text, QString()};
    return {text.left(dash), text.mid(dash + 1)};
}

namespace logfile {

QString dashLine()
{
    return QString(84, QLatin1Char('-')) + QLatin1Char('\n');
}

QString defaultFileName(const QString &loggerName, const QDateTime &when)
{
    return QStringLiteral("log/%1%2").arg(loggerName, when.toString(QStringLiteral(".yyMMdd.hh.mm.ss")));
}

QString banner(const QString &loggerName, const QDateTime &when)
{
    return dashLine() + QStringLiteral("|           Velquor Log File\n")
           + QStringLiteral("|                 %1 saved\n").arg(loggerName)
           + QStringLiteral("|           %1\n").arg(when.toString(Qt::TextDate)) + dashLine();
}

QString block(const LogRowTexts &row, const QString &packetText)
{
    return dashLine()
           + QStringLiteral("| %1 - %2 - %3 - %4\n|     status/info: %5\n\n")
                 .arg(row.number, row.protocol, row.time, row.direction, row.info)
           + packetText + QStringLiteral("\n|\n") + dashLine();
}

QString traceBody(const QString &traceText)
{
    QString out;
    const QStringList lines = traceText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines)
        out += QStringLiteral("| ") + line + QLatin1Char('\n');
    return out;
}

} // namespace logfile
} // namespace velquor
