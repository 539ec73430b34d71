#include "pet/pettrace.h"

namespace velquor::pet {

namespace {

void appendLabel(QString &out, int first)
{
    const qsizetype start = out.size();
    out += QStringLiteral("\n%1 - %2:").arg(first).arg(first + 15);
    while (out.size() - start < 15)
        out += QLatin1Char(' ');
}

} // namespace

QString traceHexDumpText(const QByteArray &bytes, int n)
{
    static const char digits[] = "0123456789abcdef";
    n = qBound(0, n, int(bytes.size()));
    QString out;
    out.reserve(16 + n * 3 + (n / 16) * 16 + n / 4);
    appendLabel(out, 0);
    for (int i = 0; i < n; ++i) {
        if (i > 0 && i % 16 == 0)
            appendLabel(out, i);
        const auto b = quint8(bytes[i]);
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 0x0f]);
        out += QLatin1Char(' ');
        if ((i + 1) % 4 == 0)
            out += QLatin1Char(' ');
    }
    out += QLatin1Char('\n');
    return out;
}

QString incomingTraceText(const QByteArray &bytes, int n, quint32 t)
{
    return QStringLiteral("\n--------------------------------------\n")
           + QString::asprintf("PET  - Incomming data (%ld bytes) time: %02d:%02d:%02d:%03d -\n", long(n),
                               int(t / 3600000u), int((t % 3600000u) / 60000u), int((t % 60000u) / 1000u),
                               int(t % 1000u))
           + traceHexDumpText(bytes, n);
}

} // namespace velquor::pet
