#pragma once

#include <QString>
#include <span>

namespace velquor::rmcp {

struct CodeText
{
    int value;
    const char *text;
};

// Text of value in table, or fallback.
QString lookup(std::span<const CodeText> table, int value, const QString &fallback);

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

std::span<const CodeText> messageTypeTable();
QString unknownMessageTypeName(); // "Unkown message type"
QString acknowledgeName();        // "Acknowledge"
// Name of a message type, "Unkown message type" for codes not in the table.
QString messageTypeName(int type);
bool isReservedMessageType(int type); // 0x01..0x0F
bool isResponseType(int type);        // 0x40..0x44 and 0xC1

// The Data Length a message type must carry.
struct DataLengthRule
{
    bool known = false;        // types without a rule are not checked
    int allowed[2] = {-1, -1}; // one or two allowed lengths
    bool warningOnly = false;  // a different length is a warning, not an error
    bool allows(int length) const { return length == allowed[0] || length == allowed[1]; }
};
DataLengthRule dataLengthRule(int type);

// Decoding tables of the data sections.
std::span<const CodeText> specialCommandTable();
QString specialCommandText(int value); // default "Reserved or OEM (%02X)"
std::span<const CodeText> systemCapabilitiesTable();
std::span<const CodeText> bootOptionsFirstByteTable();  // every bit has a text
std::span<const CodeText> bootOptionsSecondByteTable(); // every bit has a text
std::span<const CodeText> systemStateTable();
QString systemStateText(int value); // empty for values not in the table
std::span<const CodeText> rspStatusTable();
QString rspStatusText(int value); // default "Unknown"
std::span<const CodeText> roleTable();
QString roleText(int value); // default "Reserved"

} // namespace velquor::rmcp
