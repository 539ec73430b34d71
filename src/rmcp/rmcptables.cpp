#include "rmcp/rmcptables.h"

#include <initializer_list>

namespace velquor::rmcp {

namespace {

const CodeName specialCommands[] = {
    {0, "NOP"},
    {1, "Force PXE Boot"},
    {2, "Force Hard-drive Boot"},
    {4, "Force Hard-drive Safe-mode Boot"},
    {8, "Force Diagnostic Boot"},
    {16, "Force CD/DVD Boot"},
};

const CodeName systemCapabilities[] = {
    {1, "Power Cycle Reset on secure port"},
    {2, "Power-down on secure port"},
    {4, "Power-up on secure port"},
    {8, "Reset on secure port"},
    {16, "Power Cycle Reset on both ports"},
    {32, "Power-down on both ports"},
    {64, "Power-up on both ports"},
    {128, "Reset on both ports"},
};

const CodeName bootOptionsFirst[] = {
    {1, "bit 0 :Reserved for futur use"},
    {2, "Power Button Lock"},
    {4, "Reset Button Lock"},
    {8, "bit 3 :Reserved for futur use"},
    {16, "bit 4 :Reserved for futur use"},
    {32, "Lock Keyboard"},
    {64, "Sleep Button Lock"},
    {128, "bit 7 :Reserved for futur use"},
};

const CodeName bootOptionsSecond[] = {
    {1, "bit 0 :Reserved for futur use"},
    {2, "bit 1 :Reserved for futur use"},
    {4, "bit 2 :Reserved for futur use"},
    {8, "User Password Bypass"},
    {16, "Forced Progress Events"},
    {32, "Firmware Verbosity/Verbose"},
    {64, "Firmware Verbosity/Quiet"},
    {128, "Configuration Data Reset"},
};

const CodeName systemStates[] = {
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

const CodeName rspStatusCodes[] = {
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

const CodeName roles[] = {
    {0, "Operator"},
    {1, "Administrator"},
};

constexpr quint64 AsfIana = 4542;

// Builders of the data-section tables below.
DataField packed(const char *name, int size, const char *label, int group = 0)
{
    return {.name = name, .size = size, .line = DataLine::Packed, .label = label, .group = group};
}
DataField spaced(const char *name, int size, const char *label)
{
    return {.name = name, .size = size, .line = DataLine::Spaced, .label = label};
}
DataField named(const char *name, const char *format, CodeTable names, const char *fallback)
{
    return {.name = name, .size = 1, .line = DataLine::Named, .label = format, .names = names, .fallback = fallback};
}
DataField formatted(const char *name, const char *format)
{
    return {.name = name, .size = 1, .line = DataLine::Formatted, .label = format};
}
DataField rows(const char *name, int size, const char *label, const char *prefix = "0x", bool lower = false,
               const char *indent = "\t\t")
{
    return {.name = name, .size = size, .line = DataLine::Rows, .label = label, .rowIndent = indent,
            .rowPrefix = prefix, .rowLower = lower};
}
DataField detailsOnly(const char *name, int size)
{
    return {.name = name, .size = size, .line = DataLine::None};
}
DataField with(DataField f, std::initializer_list<DataDetailDescriptor> details)
{
    int i = 0;
    for (const DataDetailDescriptor &d : details)
        f.details[i++] = d;
    return f;
}
DataField composedAs(DataField f, quint64 value)
{
    f.composeDefault = value;
    return f;
}
// Lines of the set bits of bytes [from, from + bytes) of a field, masked.
DataDetailDescriptor bitNames(int from, int bytes, quint32 mask, CodeTable names, const char *format,
                        const char *fallback = "")
{
    return {DataDetail::BitNames, from, bytes, mask, names, format, fallback};
}
// "... is %ssupported (%02X)": "not " unless value & mask equals `equals` (-1: is not 0).
DataDetailDescriptor flag(const char *format, quint32 mask, int equals, quint32 shownMask)
{
    return {DataDetail::Flag, 0, 1, mask, {}, format, "", equals, shownMask};
}

// Data sections. Labels and formats keep their tabs and the spellings saved
// logs have ("Quit", "futur").

// Reset, Power-up and Power Cycle Reset with options.
const DataField controlData[] = {
    composedAs(packed("IANA Enterprise Number", 4, "IANA Enterprise Number: "), AsfIana),
    named("Special Command", "Special Command:\n\t- %s\n", specialCommands, "Reserved or OEM (%02X)"),
    spaced("Special Command Parameters", 2, "Special Commands Parameters: "),
    // Bits 5 and 6 of the second byte are one two-bit verbosity setting.
    with(spaced("Boot Options Bit Mask", 2, "Boot Options Bit Mask: "),
         {bitNames(0, 1, 0xFF, bootOptionsFirst, "\t- %s\n"), bitNames(1, 1, 0x9F, bootOptionsSecond, "\t- %s\n"),
          {DataDetail::Verbosity, 1, 1}}),
    spaced("OEM Parameters", 2, "OEM Parameters: "),
};

const DataField presencePongData[] = {
    composedAs(packed("IANA Enterprise Number", 4, "\tIANA Enterprise Number: "), AsfIana),
    packed("OEM", 4, "\tOEM: "),
    with(formatted("Supported Entities", "\tSupported Entities (%02X)\n"),
         {flag("\tIPMI is %ssupported (%02X)\n", 0x80, -1, 0x80),
          flag("\tASF 1.0 is %ssupported (%02X)\n", 0x0F, 1, 0x0F)}),
    with(detailsOnly("Supported Interactions", 1),
         {flag("\tRMCP security extensions are %ssupported (%02X)\n", 0xFF, -1, 0xFF)}),
    packed("Reserved", 6, "\tReserved: ", 4),
};

const DataField capabilitiesResponseData[] = {
    composedAs(packed("IANA Enterprise Number", 4, "\tIANA Enterprise Number: "), AsfIana),
    packed("OEM", 4, "\tOEM: "),
    with(spaced("Special Commands Supported", 2, "\tSpecial Commands Supported: "),
         {bitNames(0, 2, 0xFFFF, specialCommands, "\t\t- %s\n", "Reserved or OEM (%02X)")}),
    with(spaced("System Capabilities Supported", 1, "\tSystem Capabilities Supported: "),
         {bitNames(0, 1, 0xFF, systemCapabilities, "\t\t- %s\n")}),
    // The low two bytes mirror the two bytes of the boot options bit mask.
    with(packed("System Firmware Capabilities Supported", 4, "\tSystem Firmware Capabilities Supported:\t0x"),
         {bitNames(2, 1, 0xFF, bootOptionsFirst, "\t\t- %s\n"), bitNames(3, 1, 0xFF, bootOptionsSecond, "\t\t- %s\n")}),
    packed("Reserved", 1, "\tReserved: "),
};

const DataField systemStateResponseData[] = {
    // A state not in the table gets an empty line.
    with(packed("System State", 1, "\tSystem State: 0x"),
         {{DataDetail::ValueName, 0, 1, 0xFF, systemStates, "\t\t- %s\n"}}),
    with(detailsOnly("Watchdog Timer", 1), {flag("\tWatchdog Timer is %sexpired (%02X)\n", 0x01, -1, 0xFF)}),
    packed("Reserved", 2, "\tReserved: "),
};

const DataField openSessionResponseData[] = {
    named("Status Code", "\tStatus Code:\t\t\t%s\n", rspStatusCodes, "Unknown"),
    packed("Reserved", 3, "\tReserved:\t\t\t0x"),
    spaced("Mgt Console Session ID", 4, "\tMgt Console Session ID: "),
    spaced("Mgt Client Session ID", 4, "\tMgt Client Session ID: "),
    spaced("Authentication Payload", 8, "\tAuthentication Payload: "),
    spaced("Integrity Payload", 8, "\tIntegrity Payload: "),
};

const DataField closeSessionResponseData[] = {
    named("Status Code", "\tStatus Code: %s\n", rspStatusCodes, "Unknown"),
};

const DataField openSessionRequestData[] = {
    spaced("Mgt Console Session ID", 4, "\tMgt Console Session ID: "),
    spaced("Authentication Payload", 8, "\tAuthentication Payload(s):\n\t\t-\t"),
    // Every further payload counts as an integrity payload.
    spaced("Integrity Payload", 8, "\tIntegrity Payload(s):\n\t\t-\t"),
    {.name = "Further Integrity Payloads", .size = 8, .line = DataLine::Repeated, .label = "\t\t-\t"},
};

const DataField rakpMessage1Data[] = {
    spaced("Managed Client Session ID", 4, "\tManaged Client Session ID: "),
    rows("Mgt Console Random Number", 16, "\tMgt Console Random Number:\n"),
    named("Mgt Console User Role", "\tMgt Console User Role:\t\t\t%s\n", roles, "Reserved"),
    packed("Reserved", 2, "\tReserved:\t\t\t"),
    formatted("Mgt Console User Name Length", "\tMgt Console User Name Length:\t%d\n"),
    {.name = "Mgt Console User Name", .size = 0, .line = DataLine::UserName},
};

const DataField rakpMessage2Data[] = {
    named("Status Code", "\tStatus Code:\t%s\n", rspStatusCodes, "Unknown"),
    packed("Reserved", 3, "\tReserved:\t0x"),
    spaced("Mgt Console Session ID", 4, "\tMgt Console Session ID: "),
    rows("Managed Client Random Number", 16, "\tManaged Client Random Number:\n", "0x", true),
    rows("Managed Client GUID", 16, "\tManaged Client GUID:\n", "0x", true),
    rows("Integrity Check Value", 20, "\tIntegrity Check Value:\n", "0X"),
};

const DataField rakpMessage3Data[] = {
    named("Status Code", "\tStatus Code:\t\t\t%s\n", rspStatusCodes, "Unknown"),
    packed("Reserved", 3, "\tReserved:\t\t\t0x"),
    spaced("Managed Client Session ID", 4, "\tManaged Client Session ID: "),
    rows("Integrity Check Value", 20, "Integrity Check Value:\n", "0x", true, "\t\t\t\t"),
};

constexpr DataLengthRule exactly(int length, bool warningOnly = false)
{
    return {true, {length, -1}, warningOnly};
}
constexpr DataLengthRule noneOrOptions{true, {0, 11}, false};

// By code. The send list shows its entries in this order.
const MessageType types[] = {
    {TypeReset, "Reset", false, noneOrOptions, controlData, "Reset", true},
    {TypePowerUp, "Power-up", false, noneOrOptions, controlData, "Power-Up", true},
    {TypeUnconditionalPowerDown, "Unconditional Power-down", false, exactly(0), {}, "Unconditional Power-Down", true},
    {TypePowerCycleReset, "Power Cycle Reset", false, noneOrOptions, controlData, "Power Cycle Reset", true},
    {TypePresencePong, "Presence Pong", true, exactly(16), presencePongData},
    {TypeCapabilitiesResponse, "Capabilities Response", true, exactly(16), capabilitiesResponseData},
    {TypeSystemStateResponse, "System State Response", true, exactly(4), systemStateResponseData},
    {TypeOpenSessionResponse, "Open Session Response", true, exactly(28), openSessionResponseData},
    {TypeCloseSessionResponse, "Close Session Response", true, exactly(1), closeSessionResponseData},
    {TypePresencePing, "Presence Ping", false, exactly(0), {}, "Presence Ping"},
    {TypeCapabilitiesRequest, "Capabilities Request", false, exactly(0), {}, "Capabilities Request"},
    {TypeSystemStateRequest, "System State Request", false, exactly(0), {}, "System State Request"},
    {TypeOpenSessionRequest, "Open Session Request", false, exactly(20, true), openSessionRequestData},
    {TypeCloseSessionRequest, "Close Session Request", false, exactly(0), {}},
    {TypeRakpMessage1, "RAKP Message 1", false, exactly(24), rakpMessage1Data},
    {TypeRakpMessage2, "RAKP Message 2", true, exactly(60, true), rakpMessage2Data},
    {TypeRakpMessage3, "RAKP Message 3", false, exactly(28, true), rakpMessage3Data},
};

} // namespace

const CodeTable specialCommandTable = specialCommands;
const CodeTable systemCapabilitiesTable = systemCapabilities;
const CodeTable bootOptionsFirstByteTable = bootOptionsFirst;
const CodeTable bootOptionsSecondByteTable = bootOptionsSecond;
const CodeTable systemStateTable = systemStates;
const CodeTable rspStatusTable = rspStatusCodes;
const CodeTable roleTable = roles;

std::span<const MessageType> messageTypes() { return types; }

const MessageType *messageType(int code)
{
    for (const MessageType &t : types) {
        if (t.code == code)
            return &t;
    }
    return nullptr;
}

QString unknownMessageTypeName() { return QStringLiteral("Unkown message type"); }
QString acknowledgeName() { return QStringLiteral("Acknowledge"); }

QString messageTypeName(int type)
{
    const MessageType *t = messageType(type);
    return t ? QString::fromLatin1(t->name) : unknownMessageTypeName();
}

bool isReservedMessageType(int type) { return type >= 0x01 && type <= 0x0F; }

bool isResponseType(int type)
{
    const MessageType *t = messageType(type);
    return t && t->response;
}

DataLengthRule dataLengthRule(int type)
{
    const MessageType *t = messageType(type);
    return t ? t->dataLength : DataLengthRule();
}

QString specialCommandText(int value)
{
    if (const char *text = codeName(specialCommands, value, nullptr))
        return QString::fromLatin1(text);
    return QString::asprintf("Reserved or OEM (%02X)", unsigned(value));
}

QString rspStatusText(int value)
{
    return QString::fromLatin1(codeName(rspStatusCodes, value, "Unknown"));
}

} // namespace velquor::rmcp
