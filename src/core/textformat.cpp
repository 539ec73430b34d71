#include "core/textformat.h"

#include <cstdio>
#include <vector>

namespace velquor {

QString boundedVFormat(int limit, const char *format, va_list ap)
{
    std::vector<char> buffer(size_t(qMax(limit, 1)));
    va_list copy;
    va_copy(copy, ap);
    const int needed = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (needed < 0)
        return QString();
    if (needed >= limit) {
        std::fputs("error string too long\n", stdout);
        std::fflush(stdout);
    }
    // vsnprintf already cut the text to limit - 1 bytes.
    return QString::fromUtf8(buffer.data());
}

QString boundedFormat(int limit, const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    const QString text = boundedVFormat(limit, format, ap);
    va_end(ap);
    return text;
}

QString timestampText(quint32 t)
{
    // Every row and trace line shows one; snprintf into a small buffer is
    // several times cheaper than QString::asprintf.
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%02u:%02u:%02u:%03u", t / 3600000u, (t % 3600000u) / 60000u,
                                (t % 60000u) / 1000u, t % 1000u);
    return QString::fromLatin1(text, n);
}

QString directionText(int direction)
{
    switch (direction) {
    case 0:
        return QStringLiteral("received");
    case 2:
        return QStringLiteral("sent");
    default:
        return QString();
    }
}

static int walkCount(const QByteArray &data, int count)
{
    return qBound(0, count, int(data.size()));
}

static const char hexDigits[] = "0123456789abcdef";

static void appendHexByte(QString &out, char byte)
{
    const auto b = static_cast<unsigned char>(byte);
    out += QLatin1Char(hexDigits[b >> 4]);
    out += QLatin1Char(hexDigits[b & 0x0f]);
}

QString hexDumpText(const QByteArray &data, int count)
{
    // Built as 8-bit text: saving a long log writes one dump per row.
    const int n = walkCount(data, count);
    QByteArray out;
    out.reserve(24 + n * 7);
    out += "\tHex Dump:\n\t0 - 4: ";
    char label[40];
    for (int i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        out += ' ';
        out += hexDigits[b >> 4];
        out += hexDigits[b & 0x0f];
        if ((i + 1) % 4 == 0)
            out.append(label, std::snprintf(label, sizeof label, "\n\t%d - %d: ", i + 1, i + 5));
    }
    out += '\n';
    return QString::fromLatin1(out);
}

QStringList hexDumpViewLines(const QByteArray &data, int count)
{
    const int n = walkCount(data, count);
    QStringList lines;
    QString line = QStringLiteral("0 - 4:\t");
    for (int i = 0; i < n; ++i) {
        line += QLatin1Char(' ');
        appendHexByte(line, data[i]);
        if ((i + 1) % 4 == 0) {
            lines << line;
            line = QStringLiteral("%1 - %2:\t").arg(i + 1).arg(i + 5);
        }
    }
    lines << line;
    return lines;
}

QString padded(const QString &s, int width)
{
    return s.size() >= width ? s : s + QString(width - s.size(), QLatin1Char(' '));
}

} // namespace velquor
