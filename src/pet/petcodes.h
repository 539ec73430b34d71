#pragma once

#include "core/textformat.h"

// Names of the coded fields of a Platform Event Trap.
namespace velquor::pet {

extern const CodeTable sensorTypeTable;  // bits 23..16 of the specific trap
extern const CodeTable eventTypeTable;   // bits 15..8
extern const CodeTable assertionTable;   // bit 7 of the offset byte (0 or 1)
extern const CodeTable severityTable;
extern const CodeTable languageTable;
extern const CodeTable entityNameTable;  // 0x00..0x26

inline constexpr char UnknownType[] = "Unknown or reserved type";

// Offset table of a generic event type (0x01..0x0C), or none.
CodeTable genericOffsetTable(quint8 eventType);
// Offset table of a sensor type for sensor-specific events (0x6F), or none.
CodeTable sensorOffsetTable(quint8 sensorType);

// 0x01..0x0C, 0x6F and 0x70..0x7F.
bool isValidEventType(quint8 eventType);

// How the offset of an event is named.
enum class OffsetKind {
    Table,        // from a generic or sensor-specific table ("Unknown" when not in it)
    NotSpecified, // sensor-specific event of a sensor type without a table
    Oem,          // OEM event types
    NotValid,     // any other event type: a finding
};
struct OffsetName
{
    OffsetKind kind;
    const char *text;
};
OffsetName offsetName(quint8 eventType, quint8 sensorType, quint8 offset);

// Trap and event source types share one naming by ranges.
struct SourceTypeName
{
    const char *name;
    bool known;
};
SourceTypeName sourceTypeName(quint8 code);

// Entity naming by ranges; codes 0x00..0x26 by name (default "Reserved").
const char *entityName(quint8 code);
// 0x27..0x8F: reserved, a finding.
inline bool isReservedEntity(quint8 code)
{
    return code >= 0x27 && code <= 0x8F;
}

} // namespace velquor::pet
