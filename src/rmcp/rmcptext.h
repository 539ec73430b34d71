#pragma once

#include "core/textformat.h"
#include "rmcp/rmcpfields.h"

#include <QByteArrayView>
#include <QString>

namespace velquor::rmcp {

// The data section of a message type decoded into text-form lines, as far
// as data holds bytes, by the type's data fields; returns how many bytes the
// lines cover.
qsizetype writeDataSection(TextBuffer &out, int messageType, QByteArrayView data);
QString decodeDataSection(int messageType, QByteArrayView data, qsizetype *consumed);

// Undecoded data bytes in rows of ten, the text form's and the detail
// view's; first is the offset of the first in the data section.
extern const HexLayout unknownDataText;
extern const HexLayout unknownDataView;

// The whole text form of a record: header fields with their status, the
// decoded data section, undecoded data and the hex dump.
void writeTextForm(TextBuffer &out, const RmcpFields &fields, QByteArrayView bytes, int protocolType);
QString textForm(const RmcpFields &fields, QByteArrayView bytes, int protocolType);

} // namespace velquor::rmcp
