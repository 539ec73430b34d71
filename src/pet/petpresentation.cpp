#include "pet/petpresentation.h"

#include "pet/petcodes.h"

#include <cstdarg>

namespace velquor::pet {

namespace {

QString fmt(const char *format, ...) __attribute__((format(printf, 1, 2)));
QString fmt(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    const QString text = QString::vasprintf(format, ap);
    va_end(ap);
    return text;
}

QString L(const char *text)
{
    return QString::fromLatin1(text);
}

QString wrongSequenceText(const PetTrap &t)
{
    return fmt("error: byte %d wrong sequence 0x%02hhx expected 0x30", 0, t.messageTag);
}

QString wrongLengthText(const PetTrap &t)
{
    return fmt("error: wrong length: packet size %d != indicated %d (+2)", t.size, t.messageLength);
}

bool wrongSequence(const PetTrap &t)
{
    return t.has(Element::MessageTag) && t.messageTag != 0x30;
}

bool wrongLength(const PetTrap &t)
{
    return t.has(Element::MessageLength) && t.messageLength != t.size - 2;
}

QString guidText(const PetTrap &t)
{
    // The first group in upper case, the rest in lower case: as saved logs have it.
    QString s = fmt("%02X%02X%02X%02X", t.pet(0), t.pet(1), t.pet(2), t.pet(3));
    for (int group = 1; group < 4; ++group) {
        const int o = group * 4;
        s += fmt(" %02x%02x%02x%02x", t.pet(o), t.pet(o + 1), t.pet(o + 2), t.pet(o + 3));
    }
    return s;
}

QString eventDataText(const PetTrap &t)
{
    return fmt("%02X%02X%02X%02X %02X%02X%02X%02X", t.pet(31), t.pet(32), t.pet(33), t.pet(34), t.pet(35),
               t.pet(36), t.pet(37), t.pet(38));
}

const char *assertionText(const PetTrap &t)
{
    return lookup(t.specific.deassertion() ? 1 : 0, assertionTable, "Unexpected");
}

} // namespace

RowTree buildPetRowTree(const PetTrap &t, int retransmissionCount, bool expanded)
{
    RowTree tree;
    if (wrongSequence(t))
        tree.insertErrorRow(RowMark::Error, wrongSequenceText(t));

    Row *root = tree.addTop(L("PLATFORM EVENT TRAP"));
    root->open = true;
    Row *misc = root->addChild(L("Misc"));
    misc->open = expanded;
    misc->addChild(L("Received packet size"), QString::number(t.size));
    if (wrongLength(t))
        tree.insertErrorRow(RowMark::Error, wrongLengthText(t));
    misc->addChild(L("Indicated packet size"), QString::number(t.size));
    misc->addChild(L("retransmission #"), QString::number(retransmissionCount));

    auto finish = [&]() -> RowTree {
        const int unknown = t.unknownSize();
        if (unknown > 0) {
            const int start = t.unknownStart();
            Row *row = root->addChild(L("Unkown Data"), fmt("size %d", unknown));
            row->nameMark = RowMark::Warning;
            for (int i = 0; i < unknown; i += UnknownDataRowBytes) {
                QString bytes;
                for (int k = i; k < qMin(unknown, i + UnknownDataRowBytes); ++k) {
                    if (k > i)
                        bytes += QLatin1Char(' ');
                    bytes += fmt("%02hhx", quint8(t.data[start + k]));
                }
                row->addChild(QString::number(start + i), bytes);
            }
        }
        if (t.truncated())
            tree.insertErrorRow(RowMark::Error, t.truncationText());
        return std::move(tree);
    };

    if (!t.has(Element::Version))
        return finish();
    misc->addChild(L("SNMP Version"), QString::number(int(t.version + 1)));
    if (!t.has(Element::Community))
        return finish();
    misc->addChild(L("SNMP Community"), t.community);
    if (!t.has(Element::PduType))
        return finish();
    Row *pdu = misc->addChild(L("SNMP PDU Type"));
    pdu->data = t.has(Element::PduLength) ? fmt("0x%02X 0x%02X", t.pduType, t.pduLength) : fmt("0x%02X", t.pduType);
    if (t.pduType != 0xA4)
        RowTree::mark(pdu, RowMark::Error, fmt("error: PDU Type not TRAP-V1 (4) 0xa4, got %x", t.pduType));
    if (!t.has(Element::PduLength))
        return finish();
    if (t.pduLength == t.pduLengthExpected) {
        pdu->value = L("TRAP-V1 (4)");
    } else {
        RowTree::mark(pdu, RowMark::Error,
                      fmt("error: expected remaining length %d, got %d", t.pduLengthExpected, t.pduLength));
        pdu->value = fmt("0x%02X", t.pduLength);
    }
    if (!t.has(Element::Enterprise))
        return finish();
    Row *enterprise = misc->addChild(L("SNMP Enterprise"), t.enterprise);
    if (t.enterprise != QLatin1String(EnterpriseOid))
        RowTree::mark(enterprise, RowMark::Error,
                      QStringLiteral("error: wrong enterprise OID expected %1, got %2")
                          .arg(QLatin1String(EnterpriseOid), t.enterprise));
    if (!t.has(Element::AgentAddress))
        return finish();
    Row *agent = misc->addChild(L("SNMP Agent address"), t.agent);
    if (!t.agentOk)
        RowTree::mark(agent, RowMark::Error, L("error: agent address wrong"));
    root->addChild(L("client address"), t.agent);

    if (!t.has(Element::GenericTrap))
        return finish();
    Row *trapType = root->addChild(L("Trap Type"));
    if (t.genericTrap == 6) {
        trapType->value = L("Enterprise Specific (6)");
    } else {
        trapType->value = fmt("0x%x", t.genericTrap);
        RowTree::mark(trapType, RowMark::Error,
                      fmt("error: trap type, expected Enterprise Specific (6), got %d", int(t.genericTrap)));
    }

    if (!t.has(Element::SpecificTrap))
        return finish();
    const SpecificTrap &s = t.specific;
    Row *specific = root->addChild(L("Specific trap type"), QString(), fmt("0x%08X", t.specificTrapValue));
    specific->open = expanded;
    specific->addChild(L("Event Sensor Type"), L(lookup(s.sensorType, sensorTypeTable, UnknownType)),
                       fmt("0x%02X", s.sensorType));
    specific->addChild(L("Event Type"), L(lookup(s.eventType, eventTypeTable, UnknownType)),
                       fmt("0x%02X", s.eventType));
    Row *offset = specific->addChild(L("Event Offset"), QString(), fmt("0x%02X", s.offsetByte));
    offset->open = expanded;
    offset->addChild(fmt("%s Event", assertionText(t)), QString(), fmt("0x%02X", s.offsetByte));
    const OffsetName name = offsetName(s.eventType, s.sensorType, s.offset());
    Row *offsetRow = offset->addChild(L(name.text), QString(),
                                      name.kind == OffsetKind::Table ? fmt("0x%02X", s.offset()) : QString());
    if (name.kind == OffsetKind::NotValid)
        RowTree::mark(offsetRow, RowMark::Error, L("error: Event offset not valid\n"));

    if (!t.has(Element::TimeStamp))
        return finish();
    root->addChild(L("Timestamp"), QString::number(int(t.timeTicks)));
    if (!t.has(Element::Name))
        return finish();
    Row *oid = root->addChild(L("Object identifier"), t.name);
    if (t.name != QLatin1String(PetDataOid))
        RowTree::mark(oid, RowMark::Error,
                      QStringLiteral("error: wrong OID expected %1, got %2").arg(QLatin1String(PetDataOid), t.name));
    if (!t.has(Element::OctetString))
        return finish();
    Row *octets = root->addChild(L("OCTET STRING"), fmt("%d octets", t.octetLength));
    octets->open = expanded;
    if (!t.octetLengthInRange()) {
        RowTree::mark(octets, RowMark::Error,
                      fmt("error: OCTET STRING too %s (%d octets)",
                          t.octetLength < MinPetDataLength ? "short" : "long", t.octetLength));
        return finish();
    }

    auto markWarning = [](Row *row, const char *text) { RowTree::mark(row, RowMark::Warning, L(text)); };
    if (!t.has(Element::Guid))
        return finish();
    octets->addChild(L("GUID"), guidText(t));
    if (!t.has(Element::SequenceNumber))
        return finish();
    {
        const quint32 v = t.petValue(16, 2);
        Row *row = octets->addChild(L("Sequence # / Cookie"), v ? QString::number(v) : L("Unspecified"),
                                    v ? fmt("0x%02X%02X", t.pet(16), t.pet(17)) : L("0x00"));
        if (!v)
            markWarning(row, "warning: Sequence # / Cookiewrong is unspecified");
    }
    if (!t.has(Element::LocalTimestamp))
        return finish();
    {
        const quint32 v = t.petValue(18, 4);
        Row *row = octets->addChild(L("Local Timestamp"), v ? QString::number(v) : L("Unspecified"),
                                    v ? fmt("0x%02X%02X%02X%02X", t.pet(18), t.pet(19), t.pet(20), t.pet(21))
                                      : L("0x0000"));
        if (!v)
            markWarning(row, "warning: Local Timestamp is unspecified");
    }
    if (!t.has(Element::UtcOffset))
        return finish();
    {
        const bool unspecified = t.pet(22) == 0xFF && t.pet(23) == 0xFF;
        Row *row = octets->addChild(L("UTC Offset"), unspecified ? L("Unspecified") : QString::number(t.petValue(22, 2)),
                                    unspecified ? L("0xFFFF") : fmt("0x%02X%02X", t.pet(22), t.pet(23)));
        if (unspecified)
            markWarning(row, "warning: UTC Offset is unspecified");
    }
    const struct
    {
        Element element;
        int offset;
        const char *warning;
    } sources[] = {{Element::TrapSourceType, 24, "warning: Trap Source Type unkown"},
                   {Element::EventSourceType, 25, "warning: Event Source Type unkown"}};
    for (const auto &source : sources) {
        if (!t.has(source.element))
            return finish();
        const SourceTypeName st = sourceTypeName(t.pet(source.offset));
        Row *row = octets->addChild(L(elementName(source.element)), L(st.name), fmt("0x%02X", t.pet(source.offset)));
        if (!st.known)
            markWarning(row, source.warning);
    }
    if (!t.has(Element::EventSeverity))
        return finish();
    {
        const quint8 v = t.pet(26);
        const char *nameText = lookup(v, severityTable, nullptr);
        octets->addChild(L("Event Severity"), nameText ? L(nameText) : fmt("Unknown severity 0x%02X", v),
                         fmt("0x%02X", v));
    }
    if (!t.has(Element::SensorDevice))
        return finish();
    {
        const quint8 v = t.pet(27);
        Row *row = octets->addChild(L("Sensor Device"), v == 0xFF ? L("Unspecified") : QString::number(v),
                                    fmt("0x%02X", v));
        if (v == 0xFF)
            markWarning(row, "warning: Sensor Device is unspecified");
    }
    if (!t.has(Element::SensorNumber))
        return finish();
    {
        const quint8 v = t.pet(28);
        const bool unspecified = v == 0xFF || v == 0x00;
        Row *row = octets->addChild(L("Sensor Number"), unspecified ? L("Unspecified") : QString::number(v),
                                    fmt("0x%02X", v));
        if (unspecified)
            markWarning(row, "warning: Sensor Number is unspecified");
    }
    if (!t.has(Element::Entity))
        return finish();
    {
        const quint8 v = t.pet(29);
        Row *row = octets->addChild(L("Entity"), L(entityName(v)), fmt("0x%02X", v));
        if (isReservedEntity(v))
            markWarning(row, "warning: Entity field uses reseverd value");
    }
    if (!t.has(Element::EntityInstance))
        return finish();
    {
        const quint8 v = t.pet(30);
        Row *row = octets->addChild(L("Entity Instance"), v ? QString::number(v) : L("Unspecified"), fmt("0x%02X", v));
        if (!v)
            markWarning(row, "warning: Entity Instance is unspecified");
    }
    if (!t.has(Element::EventData))
        return finish();
    octets->addChild(L("Event Data"), eventDataText(t));
    if (!t.has(Element::LanguageCode))
        return finish();
    {
        const quint8 v = t.pet(39);
        const char *nameText = lookup(v, languageTable, nullptr);
        octets->addChild(L("Language Code"), nameText ? L(nameText) : fmt("Unknown language %d", v), fmt("0x%02X", v));
    }
    if (!t.has(Element::ManufacturerId))
        return finish();
    octets->addChild(L("Manufacturer ID"), QString::number(t.petValue(40, 4)),
                     fmt("0x%02X%02X%02X%02X", t.pet(40), t.pet(41), t.pet(42), t.pet(43)));
    if (!t.has(Element::SystemId))
        return finish();
    octets->addChild(L("System ID"), QString::number(t.petValue(44, 2)), fmt("0x%02X%02X", t.pet(44), t.pet(45)));

    Row *oem = octets->addChild(L("OEM Custom Fields"));
    oem->open = expanded;
    for (const OemField &field : t.oem) {
        QString bytes;
        for (int k = 0; k < field.dataCount; ++k) {
            if (k)
                bytes += QLatin1Char(' ');
            bytes += fmt("%02X", quint8(t.data[field.dataStart + k]));
        }
        oem->addChild(fmt("Type: %d%d Length: %d", field.type7(), field.type6(), field.length()), bytes);
    }
    return finish();
}

namespace {

// Text form, piece by piece; a few pieces end without a line feed, as saved
// logs have always had them.
class TextForm
{
public:
    explicit TextForm(const PetTrap &trap) : t(trap) {}
    QString build(int retransmissionCount);

private:
    void put(const QString &s) { out += s; }
    void put(const char *s) { out += QLatin1String(s); }
    void putf(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list ap;
        va_start(ap, format);
        out += QString::vasprintf(format, ap);
        va_end(ap);
    }
    bool body(int retransmissionCount);
    bool petData();
    void unknownData();
    void hexDump();

    const PetTrap &t;
    QString out;
};

QString TextForm::build(int retransmissionCount)
{
    out.reserve(3000);
    body(retransmissionCount);
    unknownData();
    if (t.truncated()) {
        if (!out.endsWith(QLatin1Char('\n')))
            put("\n");
        put("!!\t");
        put(t.truncationText());
        put("\n");
    }
    hexDump();
    return out;
}

bool TextForm::body(int retransmissionCount)
{
    if (wrongSequence(t))
        putf("!!error: byte %d wrong sequence 0x%02hhx expected 0x30\n", 0, t.messageTag);
    put("  PLATFORM EVENT TRAP\n");
    put("\tMisc\n");
    putf("\t\tReceived packet size %d\n", t.size);
    if (wrongLength(t))
        putf("!!\t\t\t  error: wrong length: packet size %d != indicated %d (+2)\n", t.size, t.messageLength);
    putf("\t\tIndicated packet size %d\n", t.size);
    putf("\t\tretransmission # %d\n", retransmissionCount);
    if (!t.has(Element::Version))
        return false;
    putf("\t\tSNMP Version\t%d\n", int(t.version + 1));
    if (!t.has(Element::Community))
        return false;
    put("\t\tSNMP Community\t");
    put(t.community);
    put("\n");

    if (!t.has(Element::PduType))
        return false;
    put("\t\tSNMP PDU Type");
    if (!t.has(Element::PduLength)) {
        putf("\t0x%02X\n", t.pduType);
        if (t.pduType != 0xA4)
            putf("!!\t\t\terror: PDU Type not TRAP-V1 (4), got %x\n", t.pduType);
        return false;
    }
    putf("\t0x%02X 0x%02X\n", t.pduType, t.pduLength);
    if (t.pduType != 0xA4)
        putf("!!\t\t\terror: PDU Type not TRAP-V1 (4), got %x\n", t.pduType);
    if (t.pduLength != t.pduLengthExpected)
        putf("!!\t\t\terror: expected remaining length %d, got %d\n", t.pduLengthExpected, t.pduLength);

    if (!t.has(Element::Enterprise))
        return false;
    put("\t\tSNMP Enterprise\t" + t.enterprise + "\n");
    if (t.enterprise != QLatin1String(EnterpriseOid))
        put(QStringLiteral("!!\t\t\terror: wrong enterprise OID expected %1, got %2\n")
                .arg(QLatin1String(EnterpriseOid), t.enterprise));

    if (!t.has(Element::AgentAddress))
        return false;
    if (t.agentOk)
        put("\t\tSNMP Agent address\t" + t.agent + "\n");
    else
        put("\t\tSNMP Agent address\t!! error: agent address wrong");
    put("\tClient address\t" + t.agent + "\n");

    if (!t.has(Element::GenericTrap))
        return false;
    put("\tTrap Type ");
    if (t.genericTrap == 6) {
        put("\tEnterprise Specific (6)\n");
    } else {
        putf("\t0x%x", t.genericTrap);
        putf("!!\terror: trap type, expected Enterprise Specific (6), got %d\n", int(t.genericTrap));
    }

    if (!t.has(Element::SpecificTrap))
        return false;
    const SpecificTrap &s = t.specific;
    putf("\tSpecific trap type\t0x%08X\n", t.specificTrapValue);
    putf("\t\tEvent Sensor Type\t%s\t0x%02X\n", lookup(s.sensorType, sensorTypeTable, UnknownType), s.sensorType);
    putf("\t\tEvent Type\t\t%s\t0x%02X\n", lookup(s.eventType, eventTypeTable, UnknownType), s.eventType);
    putf("\t\tEvent Offset\t\t0x%02X\n", s.offsetByte);
    putf("\t\t\t%s Event\t\t0x%02X\n", assertionText(t), s.offsetByte);
    const OffsetName name = offsetName(s.eventType, s.sensorType, s.offset());
    switch (name.kind) {
    case OffsetKind::Table:
        putf("\t\t\t%s\t0x%02X\n", name.text, s.offset());
        break;
    case OffsetKind::NotSpecified:
        putf("\t\t\tNot Specified\t0x%02X\n", s.offset());
        break;
    case OffsetKind::Oem:
        putf("\t\t\tOEM\t0x%02X", s.offset());
        break;
    case OffsetKind::NotValid:
        putf("\t\t\tNot valid\t0x%02X", s.offset());
        put("!!\t\t\t\terror: Event offset not valid\n");
        break;
    }

    if (!t.has(Element::TimeStamp))
        return false;
    putf("\tTimestamp\t%d\n", int(t.timeTicks));
    if (!t.has(Element::Name))
        return false;
    put("\tObject identifier\t" + t.name + "\n");
    if (t.name != QLatin1String(PetDataOid))
        put(QStringLiteral("!!\t\terror: wrong OID expected %1, got %2\n").arg(QLatin1String(PetDataOid), t.name));
    if (!t.has(Element::OctetString))
        return false;
    putf("\tOCTET STRING\t%d octets\n", t.octetLength);
    if (!t.octetLengthInRange()) {
        putf("!!\t\terror: OCTET STRING too %s (%d octets)", t.octetLength < MinPetDataLength ? "short" : "long",
             t.octetLength);
        return false;
    }
    return petData();
}

bool TextForm::petData()
{
    if (!t.has(Element::Guid))
        return false;
    put("\t\tGUID\t" + guidText(t) + "\n");

    if (!t.has(Element::SequenceNumber))
        return false;
    put("\t\tSequence # / Cookie\t");
    if (quint32 v = t.petValue(16, 2)) {
        putf("%u\t", v);
        putf("0x%02X%02X\n", t.pet(16), t.pet(17));
    } else {
        put("Unspecified\t0x00\n");
        put("!\t\t\twarning: Sequence # / Cookiewrong is unspecified\n");
    }

    if (!t.has(Element::LocalTimestamp))
        return false;
    put("\t\tLocal Timestamp\t");
    if (quint32 v = t.petValue(18, 4)) {
        putf("%u\t", v);
        putf("0x%02X%02X%02X%02X\n", t.pet(18), t.pet(19), t.pet(20), t.pet(21));
    } else {
        put("Unspecified\t0x0000\n");
        put("!\t\t\twarning: Local Timestamp is unspecified\n");
    }

    if (!t.has(Element::UtcOffset))
        return false;
    put("\t\tUTC Offset\t");
    if (t.pet(22) == 0xFF && t.pet(23) == 0xFF) {
        put("Unspecified\t0xFFFF\n");
        put("!\t\t\twarning: UTC Offset is unspecified\n");
    } else {
        putf("%u\t", t.petValue(22, 2));
        putf("0x%02X%02X\n", t.pet(22), t.pet(23));
    }

    if (!t.has(Element::TrapSourceType))
        return false;
    {
        const SourceTypeName st = sourceTypeName(t.pet(24));
        put("\t\tTrap Source Type");
        putf("\t%s\t0x%02X\n", st.name, t.pet(24));
        if (!st.known)
            put("!\t\t\twarning: Trap Source Type unkown\n");
    }
    if (!t.has(Element::EventSourceType))
        return false;
    {
        const SourceTypeName st = sourceTypeName(t.pet(25));
        put("\t\tEvent Source Type");
        putf("\t%s\t0x%02X\n", st.name, t.pet(25));
        if (!st.known)
            put("!\t\t\twarning: Event Source Type unkown");
    }

    if (!t.has(Element::EventSeverity))
        return false;
    putf("\t\tEvent Severity\t%s\t", lookup(t.pet(26), severityTable, "Unknown severity"));
    putf("0x%02X\n", t.pet(26));

    if (!t.has(Element::SensorDevice))
        return false;
    put("\t\tSensor Device");
    if (t.pet(27) != 0xFF) {
        putf("\t%u", t.pet(27));
        putf("\t0x%02X\n", t.pet(27));
    } else {
        put("\tUnspecified");
        putf("\t0x%02X\n", t.pet(27));
        put("!\t\t\twarning: Sensor Device is unspecified\n");
    }

    if (!t.has(Element::SensorNumber))
        return false;
    put("\t\tSensor Number");
    if (t.pet(28) != 0xFF && t.pet(28) != 0x00) {
        putf("\t%u", t.pet(28));
        putf("\t0x%02X\n", t.pet(28));
    } else {
        put("\tUnspecified");
        putf("\t0x%02X\n", t.pet(28));
        put("!\t\t\twarning: Sensor Number is unspecified");
    }

    if (!t.has(Element::Entity))
        return false;
    put("\t\tEntity");
    putf("\t%s", entityName(t.pet(29)));
    putf("\t0x%02X\n", t.pet(29));
    if (isReservedEntity(t.pet(29)))
        put("!\t\t\twarning: Entity field uses reseverd value\n");

    if (!t.has(Element::EntityInstance))
        return false;
    put("\t\tEntity Instance");
    if (t.pet(30)) {
        putf("\t%d", t.pet(30));
        putf("\t0x%02X\n", t.pet(30));
    } else {
        put("\tUnspecified");
        putf("\t0x%02X\n", t.pet(30));
        put("!\t\t\twarning: Entity Instance is unspecified\n");
    }

    if (!t.has(Element::EventData))
        return false;
    put("\t\tEvent Data\t" + eventDataText(t) + "\n");

    if (!t.has(Element::LanguageCode))
        return false;
    put("\t\tLanguage Code");
    putf("\t%s", lookup(t.pet(39), languageTable, "Unknown language"));
    putf("\t0x%02X\n", t.pet(39));

    if (!t.has(Element::ManufacturerId))
        return false;
    put("\t\tManufacturer ID");
    putf("\t%u", t.petValue(40, 4));
    putf("\t0x%02X%02X%02X%02X\n", t.pet(40), t.pet(41), t.pet(42), t.pet(43));

    if (!t.has(Element::SystemId))
        return false;
    put("\t\tSystem ID");
    putf("\t%u", t.petValue(44, 2));
    putf("\t0x%02X%02X\n", t.pet(44), t.pet(45));

    put("\t\tOEM Custom Fields\n");
    for (const OemField &field : t.oem) {
        putf("\t\t\tType: %d%d Length: %d\n\t\t", field.type7(), field.type6(), field.length());
        for (int k = 0; k < field.dataCount; ++k)
            putf(k ? " 0x%02X" : "0x%02X", quint8(t.data[field.dataStart + k]));
        put("\n");
    }
    return true;
}

void TextForm::unknownData()
{
    const int unknown = t.unknownSize();
    if (unknown <= 0)
        return;
    const int start = t.unknownStart();
    putf("!\tUnkown Data\tsize %d", unknown);
    for (int i = 0; i < unknown; i += UnknownDataRowBytes) {
        putf("\t\t%d: ", start + i);
        for (int k = i; k < qMin(unknown, i + UnknownDataRowBytes); ++k)
            putf(k > i ? " %02hhx" : "%02hhx", quint8(t.data[start + k]));
        put("\n");
    }
}

void TextForm::hexDump()
{
    static const char digits[] = "0123456789abcdef";
    putf(" Packet Hex Dump (size %d):\n ----", t.size);
    for (int i = 0; i < t.size; ++i) {
        if (i % 16 == 0) {
            QString label = fmt("\n    %d - %d:", i, i + 15);
            while (label.size() < 15)
                label += QLatin1Char(' ');
            put(label);
        } else if (i % 4 == 0) {
            put(" ");
        }
        const auto b = quint8(t.data[i]);
        out += QLatin1Char(' ');
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 0x0f]);
    }
    put("\n ----\n");
}

} // namespace

QString petTextForm(const PetTrap &trap, int retransmissionCount)
{
    return TextForm(trap).build(retransmissionCount);
}

} // namespace velquor::pet
