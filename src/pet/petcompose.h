#pragma once

#include "pet/pettrap.h"

#include <QByteArray>
#include <array>
#include <optional>

// Platform Event Traps composed from the values of their fields, by the
// trap's field table: what a managed client sends, well-formed or broken on
// purpose.
namespace velquor::pet {

// A processor thermal trip alert (sensor-specific, asserted) from agent
// 192.168.0.1, community "public", entity 7, every PET field specified.
TrapValues alertTrap(quint16 sequence = 1);
// A heartbeat: Entity Presence, sensor-specific, offset 0 asserted, entity 0x17.
TrapValues heartbeatTrap(quint16 sequence = 1);

// How to break a trap. Tags and lengths not given are the proper ones.
struct TrapFaults
{
    std::array<std::optional<quint8>, ElementCount> tag{};  // another tag byte of a BER element
    std::array<std::optional<quint8>, ElementCount> length{}; // another length byte (message, PDU and BER elements)
    // Bytes after the OEM part: inside every SEQUENCE, outside the OCTET STRING.
    QByteArray trailer;
    int cutAt = -1; // keep only the first cutAt bytes
};

// The datagram of a trap. The composer writes the number of each element
// (the 32-bit agent address, INTEGERs as few bytes as hold them), the texts
// of community, enterprise and name (dotted OIDs), GUID and Event Data, and
// the OEM part as given (records and end marker); length bytes are computed
// (the short form only, cut to 8 bits) unless faults give them.
QByteArray composePetTrap(const TrapValues &values, const TrapFaults &faults = {});

} // namespace velquor::pet
