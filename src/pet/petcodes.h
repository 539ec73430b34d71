#pragma once

#include <QtGlobal>

// Names of the coded fields of a Platform Event Trap.
namespace velquor::pet {

// A code table: rows {code, text} ended by a row whose text is null. Rows
// need not be sorted; the first row with a matching code wins.
struct CodeRow
{
    quint8 code;
    const char *text;
};

const char *lookup(quint8 code, const CodeRow *table, const char *defaultText);

extern const CodeRow sensorTypeTable[];  // bits 23..16 of the specific trap
extern const CodeRow eventTypeTable[];   // bits 15..8
extern const CodeRow assertionTable[];   // bit 7 of the offset byte (0 or 1)
extern const CodeRow severityTable[];
extern const CodeRow languageTable[];
extern const CodeRow entityNameTable[];  // 0x00..0x26

inline constexpr char UnknownType[] = "Unknown or reserved type";

// Offset table of a generic event type (0x01..0x0C), or null.
const CodeRow *genericOffsetTable(quint8 eventType);
// Offset table of a sensor type for sensor-specific events (0x6F), or null.
const CodeRow *sensorOffsetTable(quint8 sensorType);

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
