#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdarg>

namespace velquor {

// printf-style text cut to limit - 1 bytes, like a fixed C buffer of limit
// bytes; a cut is reported on stdout with "error string too long\n".
QString boundedVFormat(int limit, const char *format, va_list ap);
QString boundedFormat(int limit, const char *format, ...) __attribute__((format(printf, 2, 3)));

// "%02d:%02d:%02d:%03d"; hours keep counting past 24.
QString timestampText(quint32 ms);

// 0 received, 2 sent, anything else empty.
QString directionText(int direction);

// Hex dump of a plain record, four bytes a line. Walks count bytes but never
// past the end of data.
QString hexDumpText(const QByteArray &data, int count);
// The same dump as the paragraphs of the detail view.
QStringList hexDumpViewLines(const QByteArray &data, int count);

// Pads s with blanks to width characters.
QString padded(const QString &s, int width);

} // namespace velquor
