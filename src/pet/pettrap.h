#pragma once

#include "core/textformat.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <span>
#include <vector>

namespace velquor {
class PacketFindings;
}

namespace velquor::pet {

inline constexpr char EnterpriseOid[] = "1.3.6.1.4.1.3183.1.1";
inline constexpr char PetDataOid[] = "1.3.6.1.4.1.3183.1.1.1";
inline constexpr int MinPetDataLength = 47;
inline constexpr int MaxPetDataLength = 110;
inline constexpr int PetFixedLength = 46;
inline constexpr quint8 OemEndMarker = 0xC1;

// Elements in the order the walk meets them.
enum class Element {
    MessageTag,
    MessageLength,
    Version,
    Community,
    PduType,
    PduLength,
    Enterprise,
    AgentAddress,
    GenericTrap,
    SpecificTrap,
    TimeStamp,
    VariableBindings,
    VariableBinding,
    Name,
    OctetString,
    // PET data, fixed fields
    Guid,
    SequenceNumber,
    LocalTimestamp,
    UtcOffset,
    TrapSourceType,
    EventSourceType,
    EventSeverity,
    SensorDevice,
    SensorNumber,
    Entity,
    EntityInstance,
    EventData,
    LanguageCode,
    ManufacturerId,
    SystemId,
    // walked to the end of the data, never cut
    OemCustomFields,
    Complete,
};
inline constexpr int ElementCount = int(Element::Complete);

// --- the field table ----------------------------------------------------------

// How an element lies on the wire; the walk reads and the composer writes by it.
enum class Encoding : quint8 {
    Byte,              // a bare byte: message tag and length, PDU type and length
    Integer,           // INTEGER, TimeTicks: tag (see TrapField::tag), length, big-endian contents
    OctetString,
    ObjectId,
    IpAddress,
    SequenceHeader,    // tag and length only: what it holds follows as further elements
    OctetStringHeader, // the same for the OCTET STRING that holds the PET data
    PetData,           // a fixed field of the PET data: offset and size in it, big-endian
    OemFields,         // OEM custom field records up to the end marker
};

// Where the tree puts an element's row; the text form indents by it too.
enum class Parent : quint8 { None, Root, Misc, OctetString };

// How the forms show an element's value.
enum class Show : quint8 {
    None,         // no row of its own
    Number,       // decimal ("Unspecified" when a PET data rule finds it unspecified)
    SignedNumber, // decimal, the 32 bits read as signed
    VersionPlusOne,
    Text,         // the text the reader gave
    PduType,      // one row for type and length
    TrapType,
    SpecificTrap, // the three parts of the value below it
    Octets,       // "%d octets"
    HexGroups,    // groups of four bytes, the first upperGroups of them in capitals
    Named,        // name from a code table
    SourceType,   // range naming of trap and event source types
    Entity,       // range naming of entities
    OemRecords,
};

// Which values of an element are findings.
enum class Rule : quint8 {
    None,
    NotEqual,         // value != a
    NotRemaining,     // a length byte that does not count the bytes after it
    TextNotEqual,     // an OID text other than `expected`
    Unreadable,       // the reader failed
    InvalidEventType, // the event type of the specific trap is not valid
    Outside,          // value outside a..b (signed)
    Zero,             // the field is 0: unspecified
    AllOnes,          // every byte 0xFF: unspecified
    ZeroOrAllOnes,
    Above,            // value > a
    Inside,           // a <= value <= b
    UnknownSource,    // a source type the range naming does not know
    DataAfterEnd,     // bytes after the PET data and an optional SEQUENCE header
};

// The printf arguments a finding text takes.
enum class Args : quint8 {
    None,
    PositionValue,     // position of the element, its value
    SizeValue,         // datagram size, value
    Value,
    RemainingValue,    // what the length should be, value
    ExpectedText,      // the expected text, the text read
    ShortLongValue,    // "short" or "long", value
    EndPosition,       // where the PET data and its trailer end
};

// Texts of a form that says something differently from the check.
enum class Form : quint8 { Check, Tree, Text };

struct TrapField
{
    Element element;
    Encoding encoding;
    quint8 tag = 0;            // BER tag the composer writes
    int offset = 0, size = 0;  // PET data fields: place in the PET data
    const char *label = nullptr;     // name of the tree row
    const char *textLabel = nullptr; // label of the text line when it differs from the row's
    Parent parent = Parent::None;
    Show show = Show::None;
    CodeTable names{};
    const char *treeUnnamed = nullptr; // Show::Named: name of a code without one; "%d"/"%X" take the code
    const char *textUnnamed = nullptr;
    int upperGroups = 0;               // Show::HexGroups
    Rule rule = Rule::None;
    quint32 a = 0, b = 0;
    const char *expected = nullptr;    // Rule::TextNotEqual
    Rule formRule = Rule::None;        // the tree and text form judge by this when not None
    bool error = false;                // a finding is an error, otherwise a warning
    Args args = Args::None;
    const char *finding = nullptr;     // the check's text (printf with args)
    const char *treeFinding = nullptr; // the tree's, when it differs
    const char *textFinding = nullptr; // the text form's, when it differs
    const char *textPrefix = "";       // before a finding line of the text form
    bool textLineFeed = true;          // the finding line ends with a line feed
    bool checkOnly = false;            // the forms show the finding otherwise
    const char *unspecifiedData = nullptr; // Data column of an unspecified value, when not its bytes
};

// Every element of a trap, in walk order.
std::span<const TrapField> trapFields();
const TrapField &trapField(Element e);
const char *elementName(Element e);

// Offset and size of a fixed PET data field (GUID .. System ID).
struct FieldSpan
{
    int offset, size;
};
FieldSpan fieldSpan(Element e);

// The specific-trap value: sensor type, event type and offset byte.
struct SpecificTrap
{
    quint8 sensorType = 0;
    quint8 eventType = 0;
    quint8 offsetByte = 0;
    bool deassertion() const { return offsetByte & 0x80; }
    quint8 offset() const { return offsetByte & 0x0F; }
    bool isHeartbeatEvent() const { return sensorType == 0x25 && eventType == 0x6F && offsetByte == 0x00; }
};
SpecificTrap splitSpecificTrap(quint32 value);

struct OemField
{
    quint8 typeLength = 0;
    int dataStart = 0;
    int dataCount = 0; // bytes present, never past the end of the data
    int type7() const { return (typeLength >> 7) & 1; }
    int type6() const { return (typeLength >> 6) & 1; }
    int length() const { return typeLength & 0x3F; }
};

// The values of a trap's fields: what the walk reads and the composer writes.
struct TrapValues
{
    // Per element: the byte of Byte elements, the number of INTEGERs, the
    // length byte of headers, the value of PET data fields of up to four
    // bytes; the agent address as a 32-bit number.
    std::array<quint32, ElementCount> number{};
    // Community (Latin-1 bytes), enterprise and name (dotted OIDs), agent
    // address (dotted quad); see textOf().
    std::array<QByteArray, 4> texts{};
    QByteArray guid;      // 16 bytes
    QByteArray eventData; // 8 bytes
    // After the fixed fields: OEM records and the end marker, as walked.
    QByteArray oem;

    quint32 value(Element e) const { return number[size_t(e)]; }
    // The text of a text element; empty for the others.
    const QByteArray &textOf(Element e) const
    {
        static const QByteArray none;
        const int slot = textSlot(e);
        return slot < 0 ? none : texts[size_t(slot)];
    }
    static int textSlot(Element e)
    {
        switch (e) {
        case Element::Community: return 0;
        case Element::Enterprise: return 1;
        case Element::AgentAddress: return 2;
        case Element::Name: return 3;
        default: return -1;
        }
    }
    TrapValues &set(Element e, quint32 value)
    {
        number[size_t(e)] = value;
        return *this;
    }
    TrapValues &setText(Element e, const QByteArray &value)
    {
        if (const int slot = textSlot(e); slot >= 0)
            texts[size_t(slot)] = value;
        return *this;
    }
};

// One walk over a datagram, as the check, the tree and the text form see it.
// Elements before `reached` were in the datagram; the walk stopped at
// `reached` (Complete when it went through).
struct PetTrap : TrapValues
{
    QByteArray data;
    int size = 0;
    Element reached = Element::Complete;
    bool cutShort = false; // reached had begun but ran past the end

    std::array<int, ElementCount> position{}; // where each element starts
    bool agentOk = false;
    int petStart = 0; // position of the PET data in the datagram
    std::vector<OemField> oemRecords;
    int endPos = 0; // after the end marker and an optional SEQUENCE header

    bool isHeartbeat = false;
    quint32 sequenceNumber = 0;

    bool has(Element e) const { return int(e) < int(reached); }
    bool truncated() const { return reached != Element::Complete; }
    SpecificTrap specific() const { return splitSpecificTrap(value(Element::SpecificTrap)); }
    int octetLength() const { return int(value(Element::OctetString)); } // -1 for a wrong tag
    bool octetLengthInRange() const
    {
        return octetLength() >= MinPetDataLength && octetLength() <= MaxPetDataLength;
    }
    // Byte of the PET data; only for fields the walk reached.
    quint8 pet(int offset) const { return quint8(data[petStart + offset]); }
    quint32 petValue(int offset, int size) const;

    // The finding that says where the data ended.
    QString truncationText() const;
    // Bytes shown as unknown data: after the PET data (or after an OCTET
    // STRING header whose length is out of range) up to the end.
    int unknownStart() const;
    int unknownSize() const;
};

// Walks the first n bytes of data (n is bounded by the array). With findings
// it checks every field on the way, in order, reporting each finding there
// and tracing reader failures; without, the walk is silent.
PetTrap walkPetTrap(const QByteArray &data, int n, PacketFindings *findings);

// Whether field f of a walked trap carries a finding, as form judges it.
bool hasFinding(const TrapField &f, const PetTrap &t, Form form);
// The finding's text in form.
void appendFinding(TextBuffer &out, const TrapField &f, const PetTrap &t, Form form);
QString findingText(const TrapField &f, const PetTrap &t, Form form);

} // namespace velquor::pet
