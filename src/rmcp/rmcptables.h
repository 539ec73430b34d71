#pragma once

#include "core/textformat.h"

#include <QString>
#include <array>
#include <span>

namespace velquor::rmcp {

// Message types.
enum MessageTypeCode : quint8 {
    TypeReset = 0x10,
    TypePowerUp = 0x11,
    TypeUnconditionalPowerDown = 0x12,
    TypePowerCycleReset = 0x13,
    TypePresencePong = 0x40,
    TypeCapabilitiesResponse = 0x41,
    TypeSystemStateResponse = 0x42,
    TypeOpenSessionResponse = 0x43,
    TypeCloseSessionResponse = 0x44,
    TypePresencePing = 0x80,
    TypeCapabilitiesRequest = 0x81,
    TypeSystemStateRequest = 0x82,
    TypeOpenSessionRequest = 0x83,
    TypeCloseSessionRequest = 0x84,
    TypeRakpMessage1 = 0xC0,
    TypeRakpMessage2 = 0xC1,
    TypeRakpMessage3 = 0xC2,
};

// --- data sections --------------------------------------------------------------

// How the text form writes a data field's line; the lines follow the field's
// bytes, and the first field not all there ends the decoding.
enum class DataLine : quint8 {
    Packed,    // label, then the bytes as "%02X" run together (a blank after every group bytes)
    Spaced,    // label, then the bytes as "%02X" with blanks between
    Repeated,  // Spaced, once more for every further whole field of size bytes
    Rows,      // label, then rows of eight bytes after indent (see rowIndent, rowPrefix, rowLower)
    Named,     // format with the value's name (names, fallback)
    Formatted, // format with the value (one byte)
    None,      // no line of its own: the details say it all
    UserName,  // the user name, as long as the field before says
};

// Lines after a field's own line.
enum class DataDetail : quint8 {
    None,
    BitNames,   // one line per set bit of the value: format with the bit's name (names, fallback)
    ValueName,  // one line: format with the value's name (names, fallback)
    Flag,       // format with "" or "not " and the value shown
    Verbosity,  // the firmware verbosity of bits 5 and 6
};

struct DataDetailDescriptor
{
    DataDetail kind = DataDetail::None;
    int from = 0, bytes = 1;  // the value: these bytes of the field, big-endian
    quint32 mask = 0xFFFFFFFF;
    CodeTable names{};
    const char *format = "";
    const char *fallback = ""; // a "%02X" in it takes the code
    int equals = -1;           // Flag: set when value & mask equals it (-1: when not 0)
    quint32 shownMask = 0xFFFFFFFF;
};

struct DataField
{
    const char *name; // the composer's key
    int size;         // bytes; UserName: from the field before
    DataLine line;
    const char *label = ""; // before the bytes, or the printf format of Named and Formatted
    CodeTable names{};
    const char *fallback = "";
    int group = 0;            // Packed: a blank after every group bytes
    const char *rowIndent = "\t\t";
    const char *rowPrefix = "0x";
    bool rowLower = false;    // Rows: bytes after the first four in lower case
    std::array<DataDetailDescriptor, 3> details{};
    quint64 composeDefault = 0; // what the composer writes when given nothing
};

// The Data Length a message type must carry.
struct DataLengthRule
{
    bool known = false;        // types without a rule are not checked
    int allowed[2] = {-1, -1}; // one or two allowed lengths
    bool warningOnly = false;  // a different length is a warning, not an error
    bool allows(int length) const { return length == allowed[0] || length == allowed[1]; }
};

// Everything about one message type: its name, whether it answers, the data
// length it must have, its data section (decoded lines and composition), and
// its entry in the send list.
struct MessageType
{
    quint8 code;
    const char *name;
    bool response;
    DataLengthRule dataLength;
    std::span<const DataField> data;
    const char *sendLabel = nullptr; // as the send list shows it ("Power-Up"), or none
    bool sendsNoResponseTag = false; // the send list sets tag 0xFF: no response expected
};

// The message types, by code.
std::span<const MessageType> messageTypes();
const MessageType *messageType(int code);

QString unknownMessageTypeName(); // "Unkown message type"
QString acknowledgeName();        // "Acknowledge"
// Name of a message type, "Unkown message type" for codes not in the table.
QString messageTypeName(int type);
bool isReservedMessageType(int type); // 0x01..0x0F
bool isResponseType(int type);        // 0x40..0x44 and 0xC1
DataLengthRule dataLengthRule(int type);

// Code tables of the data sections.
extern const CodeTable specialCommandTable;      // by value; bit by bit for Special Commands Supported
extern const CodeTable systemCapabilitiesTable;  // bit by bit
extern const CodeTable bootOptionsFirstByteTable;  // bit by bit, every bit has a text
extern const CodeTable bootOptionsSecondByteTable; // bit by bit, every bit has a text
extern const CodeTable systemStateTable;
extern const CodeTable rspStatusTable;
extern const CodeTable roleTable;

QString specialCommandText(int value); // default "Reserved or OEM (%02X)"
QString rspStatusText(int value);      // default "Unknown"

} // namespace velquor::rmcp
