#include "pet/pettrap.h"

#include "pet/asn1.h"
#include "core/packetstatus.h"
#include "pet/petcodes.h"

namespace velquor::pet {

const char *elementName(Element e)
{
    switch (e) {
    case Element::MessageTag: return "message tag";
    case Element::MessageLength: return "message length";
    case Element::Version: return "SNMP version";
    case Element::Community: return "SNMP community";
    case Element::PduType: return "PDU type";
    case Element::PduLength: return "PDU length";
    case Element::Enterprise: return "enterprise OID";
    case Element::AgentAddress: return "agent address";
    case Element::GenericTrap: return "generic trap type";
    case Element::SpecificTrap: return "specific trap type";
    case Element::TimeStamp: return "time stamp";
    case Element::VariableBindings: return "variable bindings";
    case Element::VariableBinding: return "variable binding";
    case Element::Name: return "object identifier";
    case Element::OctetString: return "OCTET STRING";
    case Element::Guid: return "GUID";
    case Element::SequenceNumber: return "Sequence # / Cookie";
    case Element::LocalTimestamp: return "Local Timestamp";
    case Element::UtcOffset: return "UTC Offset";
    case Element::TrapSourceType: return "Trap Source Type";
    case Element::EventSourceType: return "Event Source Type";
    case Element::EventSeverity: return "Event Severity";
    case Element::SensorDevice: return "Sensor Device";
    case Element::SensorNumber: return "Sensor Number";
    case Element::Entity: return "Entity";
    case Element::EntityInstance: return "Entity Instance";
    case Element::EventData: return "Event Data";
    case Element::LanguageCode: return "Language Code";
    case Element::ManufacturerId: return "Manufacturer ID";
    case Element::SystemId: return "System ID";
    case Element::OemCustomFields: return "OEM Custom Fields";
    case Element::Complete: break;
    }
    return "";
}

FieldSpan fieldSpan(Element e)
{
    switch (e) {
    case Element::Guid: return {0, 16};
    case Element::SequenceNumber: return {16, 2};
    case Element::LocalTimestamp: return {18, 4};
    case Element::UtcOffset: return {22, 2};
    case Element::TrapSourceType: return {24, 1};
    case Element::EventSourceType: return {25, 1};
    case Element::EventSeverity: return {26, 1};
    case Element::SensorDevice: return {27, 1};
    case Element::SensorNumber: return {28, 1};
    case Element::Entity: return {29, 1};
    case Element::EntityInstance: return {30, 1};
    case Element::EventData: return {31, 8};
    case Element::LanguageCode: return {39, 1};
    case Element::ManufacturerId: return {40, 4};
    case Element::SystemId: return {44, 2};
    default: return {0, 0};
    }
}

SpecificTrap splitSpecificTrap(quint32 value)
{
    SpecificTrap s;
    s.sensorType = quint8(value >> 16);
    s.eventType = quint8(value >> 8);
    s.offsetByte = quint8(value);
    return s;
}

quint32 PetTrap::petValue(int offset, int size) const
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | pet(offset + i);
    return value;
}

QString PetTrap::truncationText() const
{
    if (!truncated())
        return QString();
    return QString::asprintf("error: trap ends after %d bytes, %s %s", size, elementName(reached),
                             cutShort ? "cut short" : "missing");
}

int PetTrap::unknownStart() const
{
    if (!has(Element::OctetString))
        return size;
    if (!octetLengthInRange())
        return petStart;
    if (reached != Element::Complete)
        return size; // the PET data itself ran out
    return endPos;
}

int PetTrap::unknownSize() const
{
    return qMax(0, size - unknownStart());
}

namespace {

// One pass over the datagram; with findings it is also the check.
class Walker
{
public:
    Walker(const QByteArray &bytes, int n, PacketFindings *findings)
        : f(findings), d(reinterpret_cast<const uchar *>(bytes.constData()))
    {
        t.data = bytes;
        t.size = qBound(0, n, int(bytes.size()));
        this->n = t.size;
    }

    PetTrap run()
    {
        walk();
        if (t.truncated() && f)
            f->error(t.truncationText());
        // Only a trap whose event and entity were both seen can be a heartbeat.
        t.isHeartbeat = heartbeatEvent && t.has(Element::Entity) && t.pet(29) == 0x17;
        return std::move(t);
    }

private:
    void error(const QString &text)
    {
        if (f)
            f->error(text);
    }
    void warning(const QString &text)
    {
        if (f)
            f->warning(text);
    }
    asn1::ReadOptions options() { return {&status, f != nullptr}; }

    // Stops the walk at e when the last read ran out of data.
    bool stopped(Element e)
    {
        if (!asn1::isTruncation(status))
            return false;
        return stop(e, status == asn1::ReadStatus::CutShort);
    }
    bool stop(Element e, bool cut)
    {
        t.reached = e;
        t.cutShort = cut;
        return true;
    }
    // The fixed PET data field e lies within the data.
    bool field(Element e)
    {
        const FieldSpan span = fieldSpan(e);
        const int start = t.petStart + span.offset;
        if (start + span.size <= n)
            return true;
        stop(e, start < n);
        return false;
    }

    void walk();
    void walkPetData();

    PacketFindings *f;
    const uchar *d;
    int n = 0;
    int pos = 0;
    PetTrap t;
    QString text;
    asn1::ReadStatus status = asn1::ReadStatus::Ok;
    bool heartbeatEvent = false;
};

void Walker::walk()
{
    using namespace asn1;
    if (n < 1) {
        stop(Element::MessageTag, false);
        return;
    }
    t.messageTag = d[0];
    if (d[0] != 0x30)
        error(QString::asprintf("error: byte %d wrong sequence 0x%02hhx expected 0x30", 0, d[0]));
    pos = 1;
    if (n < 2) {
        stop(Element::MessageLength, false);
        return;
    }
    t.messageLength = d[1];
    if (d[1] != n - 2)
        error(QString::asprintf("error: wrong length: packet size %d != indicated %d (+2)", n, d[1]));
    pos = 2;

    t.version = readInteger(d, pos, n, options());
    if (stopped(Element::Version))
        return;
    readOctetString(d, pos, n, text, options());
    t.community = text;
    if (stopped(Element::Community))
        return;

    if (pos >= n) {
        stop(Element::PduType, false);
        return;
    }
    t.pduType = d[pos];
    if (t.pduType != 0xA4)
        error(QString::asprintf("error: PDU Type not TRAP-V1 (4), got %x", t.pduType));
    pos += 1;
    if (pos >= n) {
        stop(Element::PduLength, false);
        return;
    }
    t.pduLength = d[pos];
    t.pduLengthExpected = n - pos - 1;
    if (t.pduLength != t.pduLengthExpected)
        error(QString::asprintf("error: expected remaining length %d, got %x", t.pduLengthExpected, t.pduLength));
    pos += 1;

    readObjectIdentifier(d, pos, n, text, options());
    t.enterprise = text;
    if (stopped(Element::Enterprise))
        return;
    if (text != QLatin1String(EnterpriseOid))
        error(QStringLiteral("error: wrong enterprise OID expected %1, got %2").arg(QLatin1String(EnterpriseOid), text));

    t.agentOk = readIpAddress(d, pos, n, text, options());
    t.agent = text;
    if (stopped(Element::AgentAddress))
        return;
    if (!t.agentOk)
        error(QStringLiteral("error: agent address wrong"));

    t.genericTrap = readInteger(d, pos, n, options());
    if (stopped(Element::GenericTrap))
        return;
    if (t.genericTrap != 6)
        error(QString::asprintf("error: trap type, expected Enterprise Specific (6), got %d", int(t.genericTrap)));

    t.specificTrapValue = readInteger(d, pos, n, options());
    if (stopped(Element::SpecificTrap))
        return;
    t.specific = splitSpecificTrap(t.specificTrapValue);
    heartbeatEvent = t.specific.isHeartbeatEvent();
    if (!isValidEventType(t.specific.eventType))
        error(QStringLiteral("error: Event offset not valid\n"));

    t.timeTicks = readInteger(d, pos, n, options());
    if (stopped(Element::TimeStamp))
        return;
    readSequenceHeader(d, pos, n, options());
    if (stopped(Element::VariableBindings))
        return;
    readSequenceHeader(d, pos, n, options());
    if (stopped(Element::VariableBinding))
        return;

    readObjectIdentifier(d, pos, n, text, options());
    t.name = text;
    if (stopped(Element::Name))
        return;
    if (text != QLatin1String(PetDataOid))
        error(QStringLiteral("error: wrong OID expected %1, got %2").arg(QLatin1String(PetDataOid), text));

    t.octetLength = readOctetStringHeader(d, pos, n, options());
    if (stopped(Element::OctetString))
        return;
    if (!t.octetLengthInRange())
        error(QString::asprintf("error: OCTET STRING too %s (%d octets)",
                                t.octetLength < MinPetDataLength ? "short" : "long", t.octetLength));
    t.petStart = pos;
    walkPetData();
}

void Walker::walkPetData()
{
    if (!field(Element::Guid))
        return;
    if (!field(Element::SequenceNumber))
        return;
    t.sequenceNumber = t.petValue(16, 2);
    if (t.sequenceNumber == 0)
        warning(QStringLiteral("warning: Sequence # / Cookiewrong is unspecified"));
    if (!field(Element::LocalTimestamp))
        return;
    if (t.petValue(18, 4) == 0)
        warning(QStringLiteral("warning: Local Timestamp is unspecified"));
    if (!field(Element::UtcOffset))
        return;
    if (t.pet(22) == 0xFF && t.pet(23) == 0xFF)
        warning(QStringLiteral("warning: UTC Offset is unspecified"));
    if (!field(Element::TrapSourceType))
        return;
    if (t.pet(24) > 0x6F)
        warning(QStringLiteral("warning: Trap Source Type unkown"));
    if (!field(Element::EventSourceType))
        return;
    if (t.pet(25) > 0x6F)
        warning(QStringLiteral("warning: Event Source Type unkown"));
    if (!field(Element::EventSeverity))
        return;
    if (!field(Element::SensorDevice))
        return;
    if (t.pet(27) == 0xFF)
        warning(QStringLiteral("warning: Sensor Device is unspecified"));
    if (!field(Element::SensorNumber))
        return;
    if (t.pet(28) == 0xFF || t.pet(28) == 0x00)
        warning(QStringLiteral("warning: Sensor Number is unspecified"));
    if (!field(Element::Entity))
        return;
    if (isReservedEntity(t.pet(29)))
        warning(QStringLiteral("warning: Entity field uses reseverd value"));
    if (!field(Element::EntityInstance))
        return;
    if (t.pet(30) == 0)
        warning(QStringLiteral("warning: Entity Instance is unspecified"));
    for (Element e : {Element::EventData, Element::LanguageCode, Element::ManufacturerId, Element::SystemId}) {
        if (!field(e))
            return;
    }

    // OEM custom fields: records up to the end marker or the end of the data.
    pos = t.petStart + PetFixedLength;
    while (pos < n && d[pos] != OemEndMarker) {
        OemField field;
        field.typeLength = d[pos];
        field.dataStart = pos + 1;
        field.dataCount = qBound(0, n - field.dataStart, field.length());
        t.oem.push_back(field);
        pos += 1 + field.length();
    }
    pos += 1; // the end marker (or where it should have been)

    if (pos < n) {
        asn1::ReadStatus ignored;
        asn1::readSequenceHeader(d, pos, n, {&ignored, f != nullptr});
    }
    t.endPos = pos;
    if (pos != n)
        error(QString::asprintf("error: unkown data after byte %d", pos));
}

} // namespace

PetTrap walkPetTrap(const QByteArray &data, int n, PacketFindings *findings)
{
    return Walker(data, n, findings).run();
}

} // namespace velquor::pet
