#pragma once

#include "rmcp/rmcpfields.h"

#include <QByteArrayView>
#include <QString>

namespace velquor::rmcp {

// "\t" ok, "!\t" warning, "!!\t" error.
QString statusMarker(int status);

// Field values as the text form writes them, each followed by a tab.
QString value8Text(quint8 value);       // "0x%02X\t"
QString value32Text(quint32 value);     // "00 00 11 BE\t"
QString bytesText(QByteArrayView bytes); // "0D 0E 0A\t"

// The data section of a message type decoded into text-form lines, as far
// as data holds bytes; consumed tells how many bytes the lines cover.
QString decodeDataSection(int messageType, QByteArrayView data, qsizetype *consumed);

// "Unkown data:" and the bytes in rows of ten; first is the offset of rest
// in the data section.
QString unknownDataText(QByteArrayView rest, qsizetype first);

// " Packet Hex Dump (size %d):" and sixteen bytes a row.
QString packetHexDumpText(QByteArrayView bytes);

// The whole text form of a record: header fields with their status, the
// decoded data section, undecoded data and the hex dump.
QString textForm(const RmcpFields &fields, QByteArrayView bytes, int protocolType);

} // namespace velquor::rmcp
