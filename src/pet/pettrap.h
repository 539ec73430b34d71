#pragma once

#include <QByteArray>
#include <QString>
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

// One walk over a datagram, as the check, the tree and the text form see it.
// Elements before `reached` were in the datagram; the walk stopped at
// `reached` (Complete when it went through).
struct PetTrap
{
    QByteArray data;
    int size = 0;
    Element reached = Element::Complete;
    bool cutShort = false; // reached had begun but ran past the end

    quint8 messageTag = 0;
    quint8 messageLength = 0;
    quint32 version = 0;
    quint8 pduType = 0;
    quint8 pduLength = 0;
    int pduLengthExpected = 0;
    // The readers share one text, so a failed read shows what the read
    // before it left behind.
    QString community, enterprise, agent, name;
    bool agentOk = false;
    quint32 genericTrap = 0;
    quint32 specificTrapValue = 0;
    SpecificTrap specific;
    quint32 timeTicks = 0;
    int octetLength = -1;
    int petStart = 0; // position of the PET data in the datagram
    std::vector<OemField> oem;
    int endPos = 0; // after the end marker and an optional SEQUENCE header

    bool isHeartbeat = false;
    quint32 sequenceNumber = 0;

    bool has(Element e) const { return int(e) < int(reached); }
    bool truncated() const { return reached != Element::Complete; }
    bool octetLengthInRange() const
    {
        return octetLength >= MinPetDataLength && octetLength <= MaxPetDataLength;
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

} // namespace velquor::pet
