#include "pet/pettrap.h"

#include "pet/asn1.h"
#include "core/packetstatus.h"
#include "pet/petcodes.h"

#include <cstring>

namespace velquor::pet {

std::span<const TrapField> trapFields()
{
    using E = Element;
    // Where the forms word or judge a finding differently from the check,
    // the difference is kept here as saved logs have it: the check prints
    // the PDU length in hex ("%x"), the forms in decimal; the tree's PDU type
    // finding names 0xa4; the check warns for a source type 0xFF, which the
    // forms call "Unspecified" without a warning. The text form ends the
    // OCTET STRING, Event Source Type and Sensor Number finding lines without
    // a line feed and puts the agent address and trap type findings on the
    // value's line.
    static const TrapField fields[] = {
        {.element = E::MessageTag, .encoding = Encoding::Byte, .rule = Rule::NotEqual, .a = 0x30, .error = true,
         .args = Args::PositionValue, .finding = "error: byte %d wrong sequence 0x%02hhx expected 0x30",
         .textPrefix = "!!"},
        {.element = E::MessageLength, .encoding = Encoding::Byte, .rule = Rule::NotRemaining, .error = true,
         .args = Args::SizeValue, .finding = "error: wrong length: packet size %d != indicated %d (+2)",
         .textPrefix = "!!\t\t\t  "},
        {.element = E::Version, .encoding = Encoding::Integer, .tag = 0x02, .label = "SNMP Version",
         .parent = Parent::Misc, .show = Show::VersionPlusOne},
        {.element = E::Community, .encoding = Encoding::OctetString, .tag = 0x04, .label = "SNMP Community",
         .parent = Parent::Misc, .show = Show::Text},
        {.element = E::PduType, .encoding = Encoding::Byte, .label = "SNMP PDU Type", .parent = Parent::Misc,
         .show = Show::PduType, .rule = Rule::NotEqual, .a = 0xA4, .error = true, .args = Args::Value,
         .finding = "error: PDU Type not TRAP-V1 (4), got %x",
         .treeFinding = "error: PDU Type not TRAP-V1 (4) 0xa4, got %x", .textPrefix = "!!\t\t\t"},
        {.element = E::PduLength, .encoding = Encoding::Byte, .rule = Rule::NotRemaining, .error = true,
         .args = Args::RemainingValue, .finding = "error: expected remaining length %d, got %x",
         .treeFinding = "error: expected remaining length %d, got %d",
         .textFinding = "error: expected remaining length %d, got %d", .textPrefix = "!!\t\t\t"},
        {.element = E::Enterprise, .encoding = Encoding::ObjectId, .tag = 0x06, .label = "SNMP Enterprise",
         .parent = Parent::Misc, .show = Show::Text, .rule = Rule::TextNotEqual, .expected = EnterpriseOid,
         .error = true, .args = Args::ExpectedText, .finding = "error: wrong enterprise OID expected %s, got %s",
         .textPrefix = "!!\t\t\t"},
        // Shown twice: in Misc and as the client address below the root. The
        // text form shows its finding in place of the address.
        {.element = E::AgentAddress, .encoding = Encoding::IpAddress, .tag = 0x40, .label = "SNMP Agent address",
         .parent = Parent::Misc, .show = Show::Text, .rule = Rule::Unreadable,
         .error = true, .finding = "error: agent address wrong", .textPrefix = "!! ", .textLineFeed = false},
        {.element = E::GenericTrap, .encoding = Encoding::Integer, .tag = 0x02, .label = "Trap Type",
         .textLabel = "Trap Type ", .parent = Parent::Root, .show = Show::TrapType, .rule = Rule::NotEqual, .a = 6,
         .error = true, .args = Args::Value,
         .finding = "error: trap type, expected Enterprise Specific (6), got %d", .textPrefix = "!!\t"},
        // The finding is marked on the offset row below it; its text ends in a line feed.
        {.element = E::SpecificTrap, .encoding = Encoding::Integer, .tag = 0x02, .label = "Specific trap type",
         .parent = Parent::Root, .show = Show::SpecificTrap, .rule = Rule::InvalidEventType, .error = true,
         .finding = "error: Event offset not valid\n", .textPrefix = "!!\t\t\t\t", .textLineFeed = false},
        {.element = E::TimeStamp, .encoding = Encoding::Integer, .tag = 0x43, .label = "Timestamp",
         .parent = Parent::Root, .show = Show::SignedNumber},
        {.element = E::VariableBindings, .encoding = Encoding::SequenceHeader, .tag = 0x30},
        {.element = E::VariableBinding, .encoding = Encoding::SequenceHeader, .tag = 0x30},
        {.element = E::Name, .encoding = Encoding::ObjectId, .tag = 0x06, .label = "Object identifier",
         .parent = Parent::Root, .show = Show::Text, .rule = Rule::TextNotEqual, .expected = PetDataOid,
         .error = true, .args = Args::ExpectedText, .finding = "error: wrong OID expected %s, got %s",
         .textPrefix = "!!\t\t"},
        {.element = E::OctetString, .encoding = Encoding::OctetStringHeader, .tag = 0x04, .label = "OCTET STRING",
         .parent = Parent::Root, .show = Show::Octets, .rule = Rule::Outside, .a = MinPetDataLength,
         .b = MaxPetDataLength, .error = true, .args = Args::ShortLongValue,
         .finding = "error: OCTET STRING too %s (%d octets)", .textPrefix = "!!\t\t", .textLineFeed = false},

        // PET data.
        {.element = E::Guid, .encoding = Encoding::PetData, .offset = 0, .size = 16, .label = "GUID",
         .parent = Parent::OctetString, .show = Show::HexGroups, .upperGroups = 1},
        {.element = E::SequenceNumber, .encoding = Encoding::PetData, .offset = 16, .size = 2,
         .label = "Sequence # / Cookie", .parent = Parent::OctetString, .show = Show::Number, .rule = Rule::Zero,
         .finding = "warning: Sequence # / Cookiewrong is unspecified", .textPrefix = "!\t\t\t",
         .unspecifiedData = "0x00"},
        {.element = E::LocalTimestamp, .encoding = Encoding::PetData, .offset = 18, .size = 4,
         .label = "Local Timestamp", .parent = Parent::OctetString, .show = Show::Number, .rule = Rule::Zero,
         .finding = "warning: Local Timestamp is unspecified", .textPrefix = "!\t\t\t", .unspecifiedData = "0x0000"},
        {.element = E::UtcOffset, .encoding = Encoding::PetData, .offset = 22, .size = 2, .label = "UTC Offset",
         .parent = Parent::OctetString, .show = Show::Number, .rule = Rule::AllOnes,
         .finding = "warning: UTC Offset is unspecified", .textPrefix = "!\t\t\t", .unspecifiedData = "0xFFFF"},
        {.element = E::TrapSourceType, .encoding = Encoding::PetData, .offset = 24, .size = 1,
         .label = "Trap Source Type", .parent = Parent::OctetString, .show = Show::SourceType, .rule = Rule::Above,
         .a = 0x6F, .formRule = Rule::UnknownSource, .finding = "warning: Trap Source Type unkown",
         .textPrefix = "!\t\t\t"},
        {.element = E::EventSourceType, .encoding = Encoding::PetData, .offset = 25, .size = 1,
         .label = "Event Source Type", .parent = Parent::OctetString, .show = Show::SourceType, .rule = Rule::Above,
         .a = 0x6F, .formRule = Rule::UnknownSource, .finding = "warning: Event Source Type unkown",
         .textPrefix = "!\t\t\t", .textLineFeed = false},
        {.element = E::EventSeverity, .encoding = Encoding::PetData, .offset = 26, .size = 1,
         .label = "Event Severity", .parent = Parent::OctetString, .show = Show::Named, .names = severityTable,
         .treeUnnamed = "Unknown severity 0x%02X", .textUnnamed = "Unknown severity"},
        {.element = E::SensorDevice, .encoding = Encoding::PetData, .offset = 27, .size = 1, .label = "Sensor Device",
         .parent = Parent::OctetString, .show = Show::Number, .rule = Rule::AllOnes,
         .finding = "warning: Sensor Device is unspecified", .textPrefix = "!\t\t\t"},
        {.element = E::SensorNumber, .encoding = Encoding::PetData, .offset = 28, .size = 1, .label = "Sensor Number",
         .parent = Parent::OctetString, .show = Show::Number, .rule = Rule::ZeroOrAllOnes,
         .finding = "warning: Sensor Number is unspecified", .textPrefix = "!\t\t\t", .textLineFeed = false},
        {.element = E::Entity, .encoding = Encoding::PetData, .offset = 29, .size = 1, .label = "Entity",
         .parent = Parent::OctetString, .show = Show::Entity, .rule = Rule::Inside, .a = 0x27, .b = 0x8F,
         .finding = "warning: Entity field uses reseverd value", .textPrefix = "!\t\t\t"},
        {.element = E::EntityInstance, .encoding = Encoding::PetData, .offset = 30, .size = 1,
         .label = "Entity Instance", .parent = Parent::OctetString, .show = Show::Number, .rule = Rule::Zero,
         .finding = "warning: Entity Instance is unspecified", .textPrefix = "!\t\t\t"},
        {.element = E::EventData, .encoding = Encoding::PetData, .offset = 31, .size = 8, .label = "Event Data",
         .parent = Parent::OctetString, .show = Show::HexGroups, .upperGroups = 2},
        {.element = E::LanguageCode, .encoding = Encoding::PetData, .offset = 39, .size = 1, .label = "Language Code",
         .parent = Parent::OctetString, .show = Show::Named, .names = languageTable,
         .treeUnnamed = "Unknown language %d", .textUnnamed = "Unknown language"},
        {.element = E::ManufacturerId, .encoding = Encoding::PetData, .offset = 40, .size = 4,
         .label = "Manufacturer ID", .parent = Parent::OctetString, .show = Show::Number},
        {.element = E::SystemId, .encoding = Encoding::PetData, .offset = 44, .size = 2, .label = "System ID",
         .parent = Parent::OctetString, .show = Show::Number},
        // The forms show what follows the PET data as unknown data instead.
        {.element = E::OemCustomFields, .encoding = Encoding::OemFields, .offset = PetFixedLength,
         .label = "OEM Custom Fields", .parent = Parent::OctetString, .show = Show::OemRecords,
         .rule = Rule::DataAfterEnd, .error = true, .args = Args::EndPosition,
         .finding = "error: unkown data after byte %d", .checkOnly = true},
    };
    static_assert(std::size(fields) == ElementCount);
    return fields;
}

const TrapField &trapField(Element e)
{
    return trapFields()[size_t(e)];
}

const char *elementName(Element e)
{
    // The header elements as the truncation finding names them.
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
    case Element::Complete: return "";
    default: return trapField(e).label;
    }
}

FieldSpan fieldSpan(Element e)
{
    const TrapField &f = trapField(e);
    if (f.encoding != Encoding::PetData)
        return {0, 0};
    return {f.offset, f.size};
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

// --- findings -------------------------------------------------------------------

static bool violates(Rule rule, const TrapField &f, const PetTrap &t)
{
    const quint32 v = t.value(f.element);
    switch (rule) {
    case Rule::None:
        return false;
    case Rule::NotEqual:
        return v != f.a;
    case Rule::NotRemaining:
        return int(v) != t.size - t.position[size_t(f.element)] - 1;
    case Rule::TextNotEqual:
        return t.textOf(f.element) != f.expected;
    case Rule::Unreadable:
        return !t.agentOk;
    case Rule::InvalidEventType:
        return !isValidEventType(t.specific().eventType);
    case Rule::Outside:
        return qint32(v) < qint32(f.a) || qint32(v) > qint32(f.b);
    case Rule::Zero:
        return v == 0;
    case Rule::AllOnes:
        return v == (f.size >= 4 ? 0xFFFFFFFFu : (1u << (8 * f.size)) - 1);
    case Rule::ZeroOrAllOnes:
        return v == 0 || violates(Rule::AllOnes, f, t);
    case Rule::Above:
        return v > f.a;
    case Rule::Inside:
        return v >= f.a && v <= f.b;
    case Rule::UnknownSource:
        return !sourceTypeName(quint8(v)).known;
    case Rule::DataAfterEnd:
        return t.endPos != t.size;
    }
    return false;
}

bool hasFinding(const TrapField &f, const PetTrap &t, Form form)
{
    if (form != Form::Check && (f.checkOnly || f.formRule != Rule::None))
        return !f.checkOnly && violates(f.formRule, f, t);
    return violates(f.rule, f, t);
}

void appendFinding(TextBuffer &out, const TrapField &f, const PetTrap &t, Form form)
{
    const char *format = f.finding;
    if (form == Form::Tree && f.treeFinding)
        format = f.treeFinding;
    if (form == Form::Text && f.textFinding)
        format = f.textFinding;
    const size_t e = size_t(f.element);
    const int v = int(t.number[e]);
    switch (f.args) {
    case Args::None:
        out << format;
        break;
    case Args::PositionValue:
        out.appendf(format, t.position[e], v);
        break;
    case Args::SizeValue:
        out.appendf(format, t.size, v);
        break;
    case Args::Value:
        out.appendf(format, v);
        break;
    case Args::RemainingValue:
        out.appendf(format, t.size - t.position[e] - 1, v);
        break;
    case Args::ExpectedText:
        // Not printf: a failed read leaves the text of the read before it,
        // the community perhaps, which may hold any byte, a zero too.
        for (const char *p = format; *p; ++p) {
            if (p[0] == '%' && p[1] == 's') {
                out.appendLatin1(p == std::strstr(format, "%s") ? QByteArrayView(f.expected) : t.textOf(f.element));
                ++p;
            } else {
                out << *p;
            }
        }
        break;
    case Args::ShortLongValue:
        out.appendf(format, v < int(f.a) ? "short" : "long", v);
        break;
    case Args::EndPosition:
        out.appendf(format, t.endPos);
        break;
    }
}

QString findingText(const TrapField &f, const PetTrap &t, Form form)
{
    TextBuffer out;
    appendFinding(out, f, t, form);
    return out.toString();
}

// --- the walk -------------------------------------------------------------------

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
        for (const TrapField &field : trapFields()) {
            t.position[size_t(field.element)] = pos;
            if (!read(field))
                break;
            if (f && hasFinding(field, t, Form::Check))
                report(field);
        }
        if (t.truncated() && f)
            f->error(t.truncationText());
        // Only a trap whose event and entity were both seen can be a heartbeat.
        t.isHeartbeat = t.has(Element::Entity) && t.specific().isHeartbeatEvent() && t.value(Element::Entity) == 0x17;
        t.sequenceNumber = t.has(Element::SequenceNumber) ? t.value(Element::SequenceNumber) : 0;
        return std::move(t);
    }

private:
    void report(const TrapField &field)
    {
        const QString text = findingText(field, t, Form::Check);
        if (field.error)
            f->error(text);
        else
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

    bool read(const TrapField &field);
    void readOem();

    PacketFindings *f;
    const uchar *d;
    int n = 0;
    int pos = 0;
    PetTrap t;
    // The readers share one text, so a failed read shows what the read
    // before it left behind.
    QByteArray text;
    asn1::ReadStatus status = asn1::ReadStatus::Ok;
};

// Reads one element into t; false when the walk ends there.
bool Walker::read(const TrapField &field)
{
    using namespace asn1;
    const Element e = field.element;
    quint32 &value = t.number[size_t(e)];
    switch (field.encoding) {
    case Encoding::Byte:
        if (pos >= n)
            return !stop(e, false);
        value = d[pos++];
        return true;
    case Encoding::Integer:
        value = readInteger(d, pos, n, options());
        return !stopped(e);
    case Encoding::OctetString:
        readOctetString(d, pos, n, text, options());
        t.setText(e, text);
        return !stopped(e);
    case Encoding::ObjectId:
        readObjectIdentifier(d, pos, n, text, options());
        t.setText(e, text);
        return !stopped(e);
    case Encoding::IpAddress: {
        const int start = pos;
        t.agentOk = readIpAddress(d, pos, n, text, options());
        t.setText(e, text);
        if (t.agentOk)
            value = quint32(d[start + 2]) << 24 | quint32(d[start + 3]) << 16 | quint32(d[start + 4]) << 8
                  | d[start + 5];
        return !stopped(e);
    }
    case Encoding::SequenceHeader:
        value = quint32(readSequenceHeader(d, pos, n, options()));
        return !stopped(e);
    case Encoding::OctetStringHeader:
        value = quint32(readOctetStringHeader(d, pos, n, options()));
        if (stopped(e))
            return false;
        // The PET data is decoded whatever the length says.
        t.petStart = pos;
        return true;
    case Encoding::PetData: {
        const int start = t.petStart + field.offset;
        t.position[size_t(e)] = start;
        if (start + field.size > n)
            return !stop(e, start < n);
        if (field.size <= 4)
            value = t.petValue(field.offset, field.size);
        else
            (e == Element::Guid ? t.guid : t.eventData) = t.data.mid(start, field.size);
        return true;
    }
    case Encoding::OemFields:
        readOem();
        return true;
    }
    return true;
}

void Walker::readOem()
{
    // OEM custom fields: records up to the end marker or the end of the data.
    pos = t.petStart + trapField(Element::OemCustomFields).offset;
    t.position[size_t(Element::OemCustomFields)] = pos;
    while (pos < n && d[pos] != OemEndMarker) {
        OemField field;
        field.typeLength = d[pos];
        field.dataStart = pos + 1;
        field.dataCount = qBound(0, n - field.dataStart, field.length());
        t.oemRecords.push_back(field);
        pos += 1 + field.length();
    }
    pos += 1; // the end marker (or where it should have been)
    const int oemStart = t.position[size_t(Element::OemCustomFields)];
    t.oem = t.data.mid(oemStart, qMin(pos, n) - oemStart);

    if (pos < n) {
        asn1::ReadStatus ignored;
        asn1::readSequenceHeader(d, pos, n, {&ignored, f != nullptr});
    }
    t.endPos = pos;
}

} // namespace

PetTrap walkPetTrap(const QByteArray &data, int n, PacketFindings *findings)
{
    // A record's text form or tree walks its bytes again right after the
    // check walked them (velquor-check prints every trap so). The walk reads
    // nothing but the bytes, so the last one is kept and given again for the
    // same bytes; a check always walks, for its findings and trace.
    thread_local struct
    {
        QByteArray data;
        int n = -1;
        PetTrap trap;
    } last;
    n = qBound(0, n, int(data.size()));
    if (!findings && n == last.n && std::memcmp(data.constData(), last.data.constData(), size_t(n)) == 0) {
        PetTrap trap = last.trap;
        trap.data = data;
        return trap;
    }
    PetTrap trap = Walker(data, n, findings).run();
    // Bytes of its own: an array over bytes it does not own
    // (QByteArray::fromRawData) would leave it comparing with bytes the
    // caller has since freed or changed.
    last.data = QByteArray(data.constData(), data.size());
    last.n = n;
    last.trap = trap;
    last.trap.data = last.data;
    return trap;
}

} // namespace velquor::pet
