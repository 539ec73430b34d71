#include "core/packetstatus.h"

#include "core/textformat.h"
#include "core/trace.h"

#include <cstdarg>

namespace velquor {

void PacketFindings::setInfo(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    m_info = boundedVFormat(InfoLimit, format, ap);
    va_end(ap);
}

void PacketFindings::appendInfo(const QString &text)
{
    if (m_info.isEmpty())
        m_info = text;
    else
        m_info += QStringLiteral(" -") + text;
}

void PacketFindings::appendInfo(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    const QString text = boundedVFormat(InfoLimit, format, ap);
    va_end(ap);
    appendInfo(text);
}

void PacketFindings::warning(const QString &text)
{
    setWarning();
    appendInfo(text);
    if (traceEnabled())
        trace(QStringLiteral("\tWarning: %1\n").arg(text));
}

void PacketFindings::error(const QString &text)
{
    setError();
    appendInfo(text);
    if (traceEnabled())
        trace(QStringLiteral("\tError:   %1\n").arg(text));
}

} // namespace velquor
