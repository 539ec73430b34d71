#include "pet/pettrace.h"

#include "core/textformat.h"

namespace velquor::pet {

namespace {

// "30 6e 02 01  00 04 ..." after a label padded to 15 characters with its line feed.
constexpr HexLayout traceRows{.label = "\n%d - %d:", .labelWidth = 15, .byteStyle = HexLayout::BlankAfter,
                              .groupBytes = 4, .footer = "\n", .rowCount = HexLayout::AtLeastOne};

} // namespace

QString traceHexDumpText(const QByteArray &bytes, int n)
{
    return hexDumpString(QByteArrayView(bytes).first(qBound(0, n, int(bytes.size()))), traceRows);
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
