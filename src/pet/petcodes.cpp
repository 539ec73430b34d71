#include "pet/petcodes.h"

namespace velquor::pet {

namespace {

const CodeName sensorTypeRows[] = {
    {0x00, "Reserved"},
    {0x01, "Temperature"},
    {0x02, "Voltage"},
    {0x03, "Current"},
    {0x04, "Fan"},
    {0x05, "Physical Security"},
    {0x06, "Platform Security Violation Attempt"},
    {0x07, "Processor"},
    {0x08, "Power Supply"},
    {0x09, "Power Unit"},
    {0x0A, "Cooling Device"},
    {0x0B, "Other Units-based Sensor"},
    {0x0C, "Memory"},
    {0x0D, "Drive Slot"},
    {0x0E, "POST Memory Resize"},
    {0x0F, "POST Error"},
    {0x10, "Event Logging Disabled"},
    {0x11, "Watchdog 1"},
    {0x12, "System Event"},
    {0x13, "Critical Interrupt"},
    {0x14, "Button"},
    {0x15, "Module / Board"},
    {0x16, "Microcontroller / Coprocessor"},
    {0x17, "Add-in Card"},
    {0x18, "Chassis"},
    {0x19, "Chip Set"},
    {0x1A, "Other FRU"},
    {0x1B, "Cable / Interconnect"},
    {0x1C, "Terminator"},
    {0x1D, "System Boot Initiated"},
    {0x1E, "Boot Error"},
    {0x1F, "OS Boot"},
    {0x20, "OS Critical Stop"},
    {0x21, "Slot / Connector"},
    {0x22, "System Power ACPI State"},
    {0x23, "Watchdog 2"},
    {0x24, "Platform Alert"},
    {0x25, "Entity Presence"},
    {0x26, "Monitor ASIC / IC"},
    {0x27, "LAN"},
};

const CodeName eventTypeRows[] = {
    {0x01, "Threshold-based"},
    {0x02, "DMI-based Usage State"},
    {0x03, "Digital / Discrete Event"},
    {0x04, "Digital / Discrete Event"},
    {0x05, "Digital / Discrete Event"},
    {0x06, "Digital / Discrete Event"},
    {0x07, "DMI-based Severity Event"},
    {0x08, "DMI-based Availability Status"},
    {0x09, "DMI-based Availability Status"},
    {0x0A, "DMI-based Availability Status"},
    {0x0B, "Other Availability Status"},
    {0x0C, "ACPI Device Power"},
    {0x6F, "Sensor-specific"},
    {0x70, "OEM"}, {0x71, "OEM"}, {0x72, "OEM"}, {0x73, "OEM"},
    {0x74, "OEM"}, {0x75, "OEM"}, {0x76, "OEM"}, {0x77, "OEM"},
    {0x78, "OEM"}, {0x79, "OEM"}, {0x7A, "OEM"}, {0x7B, "OEM"},
    {0x7C, "OEM"}, {0x7D, "OEM"}, {0x7E, "OEM"}, {0x7F, "OEM"},
};

const CodeName assertionRows[] = {
    {0x00, "Assertion"},
    {0x01, "Deassertion"},
};

const CodeName severityRows[] = {
    {0x00, "Unspecified"},
    {0x01, "Monitor"},
    {0x02, "Information"},
    {0x04, "OK"},
    {0x08, "Non-critical Condition"},
    {0x10, "Critical Condition"},
    {0x20, "Non-recoverable Condition"},
};

const CodeName languageRows[] = {
    {0x01, "Afar (aa)"},
    {0x02, "Abkhazian (ab)"},
    {0x03, "Afrikaans (af)"},
    {0x04, "Amharic (am)"},
    {0x05, "Arabic (ar)"},
    {0x06, "Assamese (as)"},
    {0x07, "Aymara (ay)"},
    {0x08, "Azerbaijani (az)"},
    {0x09, "Bashkir (ba)"},
    {0x0A, "Byelorussian (be)"},
    {0x0B, "Bulgarian (bg)"},
    {0x0C, "Bihari (bh)"},
    {0x0D, "Bislama (bi)"},
    {0x0E, "Bengali; Bangla (bn)"},
    {0x0F, "Tibetan (bo)"},
    {0x10, "Breton (br)"},
    {0x11, "Catalan (ca)"},
    {0x12, "Corsican (co)"},
    {0x13, "Czech (cs)"},
    {0x14, "Welsh (cy)"},
    {0x15, "Danish (da)"},
    {0x16, "German (de)"},
    {0x17, "Bhutani (dz)"},
    {0x18, "Greek (el)"},
    {0x19, "English (en)"},
    {0x1A, "Esperanto (eo)"},
    {0x1B, "Spanish (es)"},
    {0x1C, "Estonian (et)"},
    {0x1D, "Basque (eu)"},
    {0x1E, "Persian (fa)"},
    {0x1F, "Finnish (fi)"},
    {0x20, "Fiji (fj)"},
    {0x21, "Urdu (ur)"},
    {0x22, "French (fr)"},
    {0x23, "Uzbek (uz)"},
    {0x24, "Irish (ga)"},
    {0x25, "Scots Gaelic (gd)"},
    {0x26, "Galician (gl)"},
    {0x27, "Guarani (gn)"},
    {0x28, "Gujarati (gu)"},
    {0x29, "Hausa (ha)"},
    {0x2A, "Hebrew (formerly iw) (he)"},
    {0x2B, "Hindi (hi)"},
    {0x2C, "Croatian (hr)"},
    {0x2D, "Hungarian (hu)"},
    {0x2E, "Armenian (hy)"},
    {0x2F, "Vietnamese (vi)"},
    {0x30, "Indonesian (formerly in) (id)"},
    {0x31, "Wolof (wo)"},
    {0x32, "Xhosa (xh)"},
    {0x33, "Icelandic (is)"},
    {0x34, "Italian (it)"},
    {0x35, "Yoruba (yo)"},
    {0x36, "Japanese (ja)"},
    {0x37, "Javanese (jw)"},
    {0x38, "Georgian (ka)"},
    {0x39, "Kazakh (kk)"},
    {0x3A, "Zhuang (za)"},
    {0x3B, "Cambodian (km)"},
    {0x3C, "Kannada (kn)"},
    {0x3D, "Korean (ko)"},
    {0x3E, "Kashmiri (ks)"},
    {0x3F, "Kurdish (ku)"},
    {0x40, "Kirghiz (ky)"},
    {0x41, "Chinese (zh)"},
    {0x42, "Lingala (ln)"},
    {0x43, "Laothian (lo)"},
    {0x44, "Lithuanian (lt)"},
    {0x45, "Latvian, Lettish (lv)"},
    {0x46, "Malagasy (mg)"},
    {0x47, "Maori (mi)"},
    {0x48, "Macedonian (mk)"},
    {0x49, "Malayalam (ml)"},
    {0x4A, "Mongolian (mn)"},
    {0x4B, "Moldavian (mo)"},
    {0x4C, "Marathi (mr)"},
    {0x4D, "Malay (ms)"},
    {0x4E, "Maltese (mt)"},
    {0x4F, "Burmese (my)"},
    {0x50, "Ukrainian (uk)"},
    {0x51, "Nepali (ne)"},
    {0x52, "Dutch (nl)"},
    {0x53, "Norwegian (no)"},
    {0x54, "Occitan (oc)"},
    {0x55, "(Afan) Oromo (om)"},
    {0x56, "Oriya (or)"},
    {0x57, "Punjabi (pa)"},
    {0x58, "Polish (po)"},
    {0x59, "Pashto, Pushto (ps)"},
    {0x5A, "Portuguese (pt)"},
    {0x5B, "Quechua (qu)"},
    {0x5C, "Zulu (zu)"},
    {0x5D, "Kirundi (rn)"},
    {0x5E, "Romanian (ro)"},
    {0x5F, "Russian (ru)"},
    {0x60, "Kinyarwanda (rw)"},
    {0x61, "Sanskrit (sa)"},
    {0x62, "Sindhi (sd)"},
    {0x63, "Sangho (sg)"},
    {0x64, "Serbo-Croatian (sh)"},
    {0x65, "Sinhalese (si)"},
    {0x66, "Slovak (sk)"},
    {0x67, "Slovenian (sl)"},
    {0x68, "Samoan (sm)"},
    {0x69, "Shona (sn)"},
    {0x6A, "Somali (so)"},
    {0x6B, "Albanian (sq)"},
    {0x6C, "Serbian (sr)"},
    {0x6D, "Siswati (ss)"},
    {0x6E, "Sesotho (st)"},
    {0x6F, "Sundanese (su)"},
    {0x70, "Swedish (sv)"},
    {0x71, "Swahili (sw)"},
    {0x72, "Tamil (ta)"},
    {0x73, "Telugu (te)"},
    {0x74, "Tajik (tg)"},
    {0x75, "Thai (th)"},
    {0x76, "Tigrinya (ti)"},
    {0x77, "Turkmen (tk)"},
    {0x78, "Tagalog (tl)"},
    {0x79, "Setswana (tn)"},
    {0x7A, "Tonga (to)"},
    {0x7B, "Turkish (tr)"},
    {0x7C, "Tsonga (ts)"},
    {0x7D, "Tatar (tt)"},
    {0x7E, "Twi (tw)"},
    {0x7F, "Uighur (ug)"},
    {0x81, "Nauru (na)"},
    {0x82, "Faeroese (fo)"},
    {0x83, "Frisian (fy)"},
    {0x84, "Interlingua (ia)"},
    {0x85, "Volapuk (vo)"},
    {0x86, "Interlingue (ie)"},
    {0x87, "Inupiak (ik)"},
    {0x88, "Yiddish (formerly ji) (yi)"},
    {0x89, "Inuktitut (iu)"},
    {0x8A, "Greenlandic (kl)"},
    {0x8B, "Latin (la)"},
    {0x8C, "Rhaeto-Romance (rm)"},
    {0xFF, "Unspecified"},
};

// Codes as IPMI assigns them; 0x26 has no name here and shows "Reserved".
const CodeName entityNameRows[] = {
    {0x00, "Unspecified"},
    {0x01, "Other"},
    {0x02, "Unknown"},
    {0x03, "Processor"},
    {0x04, "Disk or Disk Bay"},
    {0x05, "Peripheral Bay"},
    {0x06, "System Management Module"},
    {0x07, "System Board"},
    {0x08, "Memory Module"},
    {0x09, "Processor Module"},
    {0x0A, "Power Supply"},
    {0x0B, "Add-in Card"},
    {0x0C, "Front Panel Board"},
    {0x0D, "Back Panel Board"},
    {0x0E, "Power System Board"},
    {0x0F, "Drive Backplane"},
    {0x10, "System-internal Expansion Board"},
    {0x11, "Other System Board"},
    {0x12, "Processor Board"},
    {0x13, "Power Unit / Power Domain"},
    {0x14, "Power Module / Converter"},
    {0x15, "Power Management / Power Distribution Board"},
    {0x16, "Chassis Back Panel Board"},
    {0x17, "System Chassis"},
    {0x18, "Sub-Chassis"},
    {0x19, "Other Chassis Board"},
    {0x1A, "Disk Drive Bay"},
    {0x1B, "Peripheral Bay"},
    {0x1C, "Device Bay"},
    {0x1D, "Fan / Cooling Device"},
    {0x1E, "Cooling Unit"},
    {0x1F, "Cable / Interconnect"},
    {0x20, "Memory Device"},
    {0x21, "System Management Software"},
    {0x22, "BIOS"},
    {0x23, "Operating System"},
    {0x24, "System Bus"},
    {0x25, "Group"},
};

} // namespace

const CodeTable sensorTypeTable = sensorTypeRows;
const CodeTable eventTypeTable = eventTypeRows;
const CodeTable assertionTable = assertionRows;
const CodeTable severityTable = severityRows;
const CodeTable languageTable = languageRows;
const CodeTable entityNameTable = entityNameRows;

namespace {

const CodeName genericOffsets01[] = {
    {0x00, "Lower Non-critical - going low"},
    {0x01, "Lower Non-critical - going high"},
    {0x02, "Lower Critical - going low"},
    {0x03, "Lower Critical - going high"},
    {0x04, "Lower Non-recoverable - going low"},
    {0x05, "Lower Non-recoverable - going high"},
    {0x06, "Upper Non-critical - going low"},
    {0x07, "Upper Non-critical - going high"},
    {0x08, "Upper Critical - going low"},
    {0x09, "Upper Critical - going high"},
    {0x0A, "Upper Non-recoverable - going low"},
    {0x0B, "Upper Non-recoverable - going high"},
};
const CodeName genericOffsets02[] = {
    {0x00, "Transition to Idle"},
    {0x01, "Transition to Active"},
    {0x02, "Transition to Busy"},
};
const CodeName genericOffsets03[] = {
    {0x00, "State Deasserted"},
    {0x01, "State Asserted"},
};
const CodeName genericOffsets04[] = {
    {0x00, "Predictive Failure Deasserted"},
    {0x01, "Predictive Failure Asserted"},
};
const CodeName genericOffsets05[] = {
    {0x00, "Limit Not Exceeded"},
    {0x01, "Limit Exceeded"},
};
const CodeName genericOffsets06[] = {
    {0x00, "Performance Met"},
    {0x01, "Performance Lags"},
};
const CodeName genericOffsets07[] = {
    {0x00, "Transition to OK"},
    {0x01, "Transition to Non-critical from OK"},
    {0x02, "Transition to Critical from Less Severe"},
    {0x03, "Transition to Non-recoverable from Less Severe"},
    {0x04, "Transition to Non-critical from More Severe"},
    {0x05, "Transition to Critical from Non-recoverable"},
    {0x06, "Transition to Non-recoverable"},
    {0x07, "Monitor"},
    {0x08, "Informational"},
};
const CodeName genericOffsets08[] = {
    {0x00, "Device Removed / Device Absent"},
    {0x01, "Device Inserted / Device Present"},
};
const CodeName genericOffsets09[] = {
    {0x00, "Device Disabled"},
    {0x01, "Device Enabled"},
};
const CodeName genericOffsets0A[] = {
    {0x00, "Transition to Running"},
    {0x01, "Transition to In Test"},
    {0x02, "Transition to Power Off"},
    {0x03, "Transition to On Line"},
    {0x04, "Transition to Off Line"},
    {0x05, "Transition to Off Duty"},
    {0x06, "Transition to Degraded"},
    {0x07, "Transition to Power Save"},
    {0x08, "Install Error"},
};
const CodeName genericOffsets0B[] = {
    {0x00, "Redundancy Regained"},
    {0x01, "Redundancy Lost"},
    {0x02, "Redundancy Degraded"},
};
const CodeName genericOffsets0C[] = {
    {0x00, "D0"},
    {0x01, "D1"},
    {0x02, "D2"},
    {0x03, "D3"},
};
const CodeName sensorOffsets05[] = {
    {0x00, "General Chassis Intrusion"},
    {0x01, "Drive Bay Intrusion"},
    {0x02, "I/O Card Area Intrusion"},
    {0x03, "Processor Area Intrusion"},
    {0x04, "LAN Leash Lost"},
    {0x05, "Unauthorized Dock/Undock"},
};
const CodeName sensorOffsets06[] = {
    {0x00, "Secure Mode Violation Attempt"},
    {0x01, "Pre-boot Password Violation - user password"},
    {0x02, "Pre-boot Password Violation Attempt - setup password"},
    {0x03, "Pre-boot Password Violation - network boot password"},
    {0x04, "Other Pre-boot Password Violation"},
    {0x05, "Out-of-band Access Password Violation"},
};
const CodeName sensorOffsets07[] = {
    {0x00, "IERR"},
    {0x01, "Thermal Trip"},
    {0x02, "FRB1/BIST Failure"},
    {0x03, "FRB2/Hang in POST Failure"},
    {0x04, "FRB3/Processor Startup/Initialization Failure"},
    {0x05, "Configuration Error"},
    {0x06, "SM BIOS Error"},
    {0x07, "Processor Presence Detected"},
    {0x08, "Processor Disabled"},
    {0x09, "Terminator Presence Detected"},
};
const CodeName sensorOffsets08[] = {
    {0x00, "Presence Detected"},
    {0x01, "Power Supply Failure Detected"},
    {0x02, "Predictive Failure Asserted"},
};
const CodeName sensorOffsets09[] = {
    {0x00, "Power Off / Power Down"},
    {0x01, "Power Cycle"},
    {0x02, "240VA Power Down"},
    {0x03, "Interlock Power Down"},
    {0x04, "A/C Lost"},
    {0x05, "Soft Power Control Failure"},
    {0x06, "Power Unit Failure Detected"},
};
const CodeName sensorOffsets0C[] = {
    {0x00, "Correctable ECC"},
    {0x01, "Uncorrectable ECC"},
    {0x02, "Parity"},
    {0x03, "Memory Scrub Failed"},
};
const CodeName sensorOffsets10[] = {
    {0x00, "Correctable Memory Error Logging Disabled"},
    {0x01, "Event Type Logging Disabled"},
    {0x02, "Log Area Reset / Cleared"},
    {0x03, "All Event Logging Disabled"},
};
const CodeName sensorOffsets11[] = {
    {0x00, "BIOS Watchdog Reset"},
    {0x01, "OS Watchdog Reset"},
    {0x02, "OS Watchdog Shut Down"},
    {0x03, "OS Watchdog Power Down"},
    {0x04, "OS Watchdog Power Cycle"},
    {0x05, "OS Watchdog NMI"},
    {0x06, "OS Watchdog Expired"},
    {0x07, "OS Watchdog Pre-timeout Interrupt"},
};
const CodeName sensorOffsets12[] = {
    {0x00, "System Reconfigured"},
    {0x01, "OEM System Boot Event"},
    {0x02, "Undetermined System Hardware Failure"},
};
const CodeName sensorOffsets13[] = {
    {0x00, "Front Panel NMI"},
    {0x01, "Bus Timeout"},
    {0x02, "I/O Channel Check NMI"},
    {0x03, "Software NMI"},
    {0x04, "PCI PERR"},
    {0x05, "PCI SERR"},
    {0x06, "EISA Fail Safe Timeout"},
    {0x07, "Bus Correctable Error"},
    {0x08, "Bus Uncorrectable Error"},
    {0x09, "Fatal NMI"},
};
const CodeName sensorOffsets1D[] = {
    {0x00, "Initiated by Power Up"},
    {0x01, "Initiated by Hard Reset"},
    {0x02, "Initiated by Warm Reset"},
    {0x03, "User Requested PXE Boot"},
    {0x04, "Automatic Boot to Diagnostic"},
};
const CodeName sensorOffsets1E[] = {
    {0x00, "No Bootable Media"},
    {0x01, "Non-bootable Diskette Left In Drive"},
    {0x02, "PXE Server Not Found"},
    {0x03, "Invalid Boot Sector"},
    {0x04, "Timeout Waiting For User Selection Of Boot Source"},
};
const CodeName sensorOffsets1F[] = {
    {0x00, "A: Boot Completed"},
    {0x01, "C: Boot Completed"},
    {0x02, "PXE Boot Completed"},
    {0x03, "Diagnostic Boot Completed"},
    {0x04, "CD-ROM Boot Completed"},
    {0x05, "ROM Boot Completed"},
    {0x06, "Boot Completed - Boot Device Not Specified"},
};
const CodeName sensorOffsets20[] = {
    {0x00, "Stop during OS Load / Initialization"},
    {0x01, "Run-time Stop"},
};
const CodeName sensorOffsets21[] = {
    {0x00, "Fault Status Asserted"},
    {0x01, "Identity Status Asserted"},
    {0x02, "Slot / Connector Device Installed / Attached"},
    {0x03, "Slot / Connector Ready for Device Installation"},
    {0x04, "Slot / Connector Ready for Device Removal"},
    {0x05, "Slot Power Is Off"},
    {0x06, "Slot / Connector Device Removal Request"},
    {0x07, "Interlock Asserted"},
};
const CodeName sensorOffsets22[] = {
    {0x00, "S0 / G0"},
    {0x01, "S1"},
    {0x02, "S2"},
    {0x03, "S3"},
    {0x04, "S4"},
    {0x05, "S5 / G2"},
    {0x06, "S4 / S5"},
    {0x07, "G3"},
    {0x08, "S1, S2, S3 or S4"},
    {0x09, "G1"},
};
const CodeName sensorOffsets23[] = {
    {0x00, "Timer Expired"},
    {0x01, "Hard Reset"},
    {0x02, "Power Down"},
    {0x03, "Power Cycle"},
    {0x04, "Reserved"},
    {0x05, "Reserved"},
    {0x06, "Reserved"},
    {0x07, "Reserved"},
    {0x08, "Timer Interrupt"},
};
const CodeName sensorOffsets24[] = {
    {0x00, "Platform Generated Page"},
    {0x01, "Platform Generated LAN Alert"},
    {0x02, "Platform Generated Event Trap"},
    {0x03, "Platform Generated SNMP Trap"},
};
const CodeName sensorOffsets25[] = {
    {0x00, "Entity Present"},
    {0x01, "Entity Absent"},
};
const CodeName sensorOffsets27[] = {
    {0x00, "LAN Heartbeat Lost"},
};

} // namespace

CodeTable genericOffsetTable(quint8 eventType)
{
    static const CodeTable tables[] = {
        genericOffsets01, genericOffsets02, genericOffsets03, genericOffsets04,
        genericOffsets05, genericOffsets06, genericOffsets07, genericOffsets08,
        genericOffsets09, genericOffsets0A, genericOffsets0B, genericOffsets0C,
    };
    if (eventType < 0x01 || eventType > 0x0C)
        return {};
    return tables[eventType - 1];
}

CodeTable sensorOffsetTable(quint8 sensorType)
{
    switch (sensorType) {
    case 0x05: return sensorOffsets05;
    case 0x06: return sensorOffsets06;
    case 0x07: return sensorOffsets07;
    case 0x08: return sensorOffsets08;
    case 0x09: return sensorOffsets09;
    case 0x0C: return sensorOffsets0C;
    case 0x10: return sensorOffsets10;
    case 0x11: return sensorOffsets11;
    case 0x12: return sensorOffsets12;
    case 0x13: return sensorOffsets13;
    case 0x1D: return sensorOffsets1D;
    case 0x1E: return sensorOffsets1E;
    case 0x1F: return sensorOffsets1F;
    case 0x20: return sensorOffsets20;
    case 0x21: return sensorOffsets21;
    case 0x22: return sensorOffsets22;
    case 0x23: return sensorOffsets23;
    case 0x24: return sensorOffsets24;
    case 0x25: return sensorOffsets25;
    case 0x27: return sensorOffsets27;
    default: return {};
    }
}

bool isValidEventType(quint8 t)
{
    return (t >= 0x01 && t <= 0x0C) || t == 0x6F || (t >= 0x70 && t <= 0x7F);
}

OffsetName offsetName(quint8 eventType, quint8 sensorType, quint8 offset)
{
    if (eventType >= 0x01 && eventType <= 0x0C)
        return {OffsetKind::Table, codeName(genericOffsetTable(eventType), offset, "Unknown")};
    if (eventType == 0x6F) {
        if (const CodeTable table = sensorOffsetTable(sensorType); !table.empty())
            return {OffsetKind::Table, codeName(table, offset, "Unknown")};
        return {OffsetKind::NotSpecified, "Not Specified"};
    }
    if (eventType >= 0x70 && eventType <= 0x7F)
        return {OffsetKind::Oem, "OEM"};
    return {OffsetKind::NotValid, "Not valid"};
}

SourceTypeName sourceTypeName(quint8 code)
{
    static const char *const ranges[] = {
        "Platform Firmware", "SMI Handler", "ISV System Management Software", "Alert ASIC",
        "IPMI", "BIOS Vendor", "System Board Set Vendor", "System Integrator",
        "Third Party Add-in", "OSV", "NIC", "System Management Card", "Modem", "ASF 1.0",
    };
    if (code == 0xFF)
        return {"Unspecified", true};
    if (code >= 0x70)
        return {"Unknown", false};
    return {ranges[code / 8], true};
}

const char *entityName(quint8 code)
{
    if (code <= 0x26)
        return codeName(entityNameTable, code, "Reserved");
    if (code <= 0x8F)
        return "Reserved";
    if (code <= 0xAF)
        return "Chassis-specific";
    if (code <= 0xCF)
        return "Board-set-specific";
    return "OEM System Integrator defined";
}

} // namespace velquor::pet
