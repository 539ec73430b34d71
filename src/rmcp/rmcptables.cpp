#include "rmcp/rmcptables.h"

namespace velquor::rmcp {

QString lookup(std::span<const CodeText> table, int value, const QString &fallback)
{
    for (const CodeText &entry : table) {
        if (entry.value == value)
            return QString::fromLatin1(entry.text);
    }
    return fallback;
}

namespace {

const CodeText messageTypes[] = {
    {0x10, "Reset"},
    {0x11, "Power-up"},
    {0x12, "Unconditional Power-down"},
    {0x13, "Power Cycle Reset"},
    {0x40, "Presence Pong"},
    {0x41, "Capabilities Response"},
    {0x42, "System State Response"},
    {0x43, "Open Session Response"},
    {0x44, "Close Session Response"},
    {0x80, "Presence Ping"},
    {0x81, "Capabilities Request"},
    {0x82, "System State Request"},
    {0x83, "Open Session Request"},
    {0x84, "Close Session Request"},
    {0xC0, "RAKP Message 1"},
    {0xC1, "RAKP Message 2"},
    {0xC2, "RAKP Message 3"},
};

const CodeText specialCommands[] = {
    {0, "NOP"},
    {1, "Force PXE Boot"},
    {2, "Force Hard-drive Boot"},
    {4, "Force Hard-drive Safe-mode Boot"},
    {8, "Force Diagnostic Boot"},
    {16, "Force CD/DVD Boot"},
};

const CodeText systemCapabilities[] = {
    {1, "Power Cycle Reset on secure port"},
    {2, "Power-down on secure port"},
    {4, "Power-up on secure port"},
    {8, "Reset on secure port"},
    {16, "Power Cycle Reset on both ports"},
    {32, "Power-down on both ports"},
    {64, "Power-up on both ports"},
    {128, "Reset on both ports"},
};

const CodeText bootOptionsFirst[] = {
    {1, "bit 0 :Reserved for futur use"},
    {2, "Power Button Lock"},
    {4, "Reset Button Lock"},
    {8, "bit 3 :Reserved for futur use"},
    {16, "bit 4 :Reserved for futur use"},
    {32, "Lock Keyboard"},
    {64, "Sleep Button Lock"},
    {128, "bit 7 :Reserved for futur use"},
};

const CodeText bootOptionsSecond[] = {
    {1, "bit 0 :Reserved for futur use"},
    {2, "bit 1 :Reserved for futur use"},
    {4, "bit 2 :Reserved for futur use"},
    {8, "User Password Bypass"},
    {16, "Forced Progress Events"},
    {32, "Firmware Verbosity/Verbose"},
    {64, "Firmware Verbosity/Quiet"},
    {128, "Configuration Data Reset"},
};

const CodeText systemStates[] = {
    {0, "S0 / G0 working"},
    {1, "S1 sleeping with system h/w & processor context maintained"},
    {2, "S2 sleeping, processor context lost"},
    {3, "S3 sleeping, processor & h/w context lost, memory retained"},
    {4, "S4 non-volatile sleep / suspend-to disk"},
    {5, "S5 / G2 soft-off"},
    {6, "S4 / S5 soft-off, particular S4/S5 state cannot be determined"},
    {7, "G3 / mechanical off"},
    {8, "Sleeping in S1, S2 or S3 state, or Legacy SLEEP state"},
    {9, "G1 sleeping"},
    {10, "S5 entered by override"},
    {11, "Legacy ON state"},
    {12, "Legacy OFF state"},
    {13, "Unknown"},
    {14, "Unknown"},
};

const CodeText rspStatusCodes[] = {
    {0, "No errors"},
    {1, "Insufficient resources to create a session"},
    {2, "Invalid session ID"},
    {3, "Invalid payload type"},
    {4, "Invalid authentication algorithm"},
    {5, "Invalid integrity algorithm"},
    {6, "No matching authentication payload"},
    {7, "No matching integrity payload"},
    {8, "Inactive session ID"},
    {9, "Invalid role"},
    {10, "Unauthorized role"},
    {11, "Insufficient resources to create a session at the requested role"},
    {12, "Invalid name length"},
    {13, "Unauthorized name"},
    {14, "Unauthorized GUID"},
    {15, "Invalid integrity check value"},
};

const CodeText roles[] = {
    {0, "Operator"},
    {1, "Administrator"},
};

} // namespace

std::span<const CodeText> messageTypeTable() { return messageTypes; }
QString unknownMessageTypeName() { return QStringLiteral("Unkown message type"); }
QString acknowledgeName() { return QStringLiteral("Acknowledge"); }

QString messageTypeName(int type)
{
    return lookup(messageTypes, type, unknownMessageTypeName());
}

bool isReservedMessageType(int type) { return type >= 0x01 && type <= 0x0F; }

bool isResponseType(int type)
{
    return (type >= 0x40 && type <= 0x44) || type == 0xC1;
}

DataLengthRule dataLengthRule(int type)
{
    switch (type) {
    case TypeReset:
    case TypePowerUp:
    case TypePowerCycleReset:
        return {true, {0, 11}, false};
    case TypeUnconditionalPowerDown:
    case TypePresencePing:
    case TypeCapabilitiesRequest:
    case TypeSystemStateRequest:
    case TypeCloseSessionRequest:
        return {true, {0, -1}, false};
    case TypePresencePong:
    case TypeCapabilitiesResponse:
        return {true, {16, -1}, false};
    case TypeSystemStateResponse:
        return {true, {4, -1}, false};
    case TypeOpenSessionResponse:
        return {true, {28, -1}, false};
    case TypeCloseSessionResponse:
        return {true, {1, -1}, false};
    case TypeOpenSessionRequest:
        return {true, {20, -1}, true};
    case TypeRakpMessage1:
        return {true, {24, -1}, false};
    case TypeRakpMessage2:
        return {true, {60, -1}, true};
    case TypeRakpMessage3:
        return {true, {28, -1}, true};
    default:
        return {};
    }
}

std::span<const CodeText> specialCommandTable() { return specialCommands; }

QString specialCommandText(int value)
{
    return lookup(specialCommands, value, QString::asprintf("Reserved or OEM (%02X)", unsigned(value)));
}

std::span<const CodeText> systemCapabilitiesTable() { return systemCapabilities; }
std::span<const CodeText> bootOptionsFirstByteTable() { return bootOptionsFirst; }
std::span<const CodeText> bootOptionsSecondByteTable() { return bootOptionsSecond; }
std::span<const CodeText> systemStateTable() { return systemStates; }
QString systemStateText(int value) { return lookup(systemStates, value, QString()); }
std::span<const CodeText> rspStatusTable() { return rspStatusCodes; }
QString rspStatusText(int value) { return lookup(rspStatusCodes, value, QStringLiteral("Unknown")); }
std::span<const CodeText> roleTable() { return roles; }
QString roleText(int value) { return lookup(roles, value, QStringLiteral("Reserved")); }

} // namespace velquor::rmcp
