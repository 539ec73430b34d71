#pragma once

#include <QByteArray>
#include <QString>

namespace velquor::pet {

// Hex dump for the trace log: 16 bytes a row in groups of four, each row
// labelled with the offsets of its first and last byte.
QString traceHexDumpText(const QByteArray &bytes, int n);

// What the listener traces for a received datagram of n bytes stamped t:
// a separator, the size and time, then the hex dump.
QString incomingTraceText(const QByteArray &bytes, int n, quint32 t);

} // namespace velquor::pet
