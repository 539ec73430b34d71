#include "pet/petpresentation.h"

#include "pet/petcodes.h"

namespace velquor::pet {

namespace {

// Rows of the forms that are not fields of the trap.
constexpr char RootLabel[] = "PLATFORM EVENT TRAP";
constexpr char ClientAddressLabel[] = "client address"; // the agent address again, below the root
constexpr char ClientAddressTextLabel[] = "Client address";
constexpr char UnknownDataLabel[] = "Unkown Data";

// The three parts of the specific-trap value, with their rows' labels.
struct SpecificPart
{
    const char *label;
    const char *textLabel; // the text form's, tabs included
    int shift;
    CodeTable names;
};
const SpecificPart specificParts[] = {
    {"Event Sensor Type", "Event Sensor Type", 16, sensorTypeTable},
    {"Event Type", "Event Type\t", 8, eventTypeTable},
};
constexpr char EventOffsetLabel[] = "Event Offset";

const HexLayout unknownTreeRows{.rowBytes = UnknownDataRowBytes, .label = "%d",
                                .byteStyle = HexLayout::BlankBetween};
const HexLayout unknownTextRows{.header = "!\tUnkown Data\tsize %d", .rowBytes = UnknownDataRowBytes,
                                .label = "\t\t%d: ", .byteStyle = HexLayout::BlankBetween, .rowEnd = "\n"};

QString L(const char *text)
{
    return QString::fromLatin1(text);
}

template<typename... Args>
QString fmt(const char *format, Args... args)
{
    TextBuffer out;
    out.appendf(format, args...);
    return out.toString();
}

bool finding(const PetTrap &t, Element e, Form form)
{
    return t.has(e) && hasFinding(trapField(e), t, form);
}

QString findingIn(const PetTrap &t, Element e, Form form)
{
    return findingText(trapField(e), t, form);
}

RowMark markOf(const TrapField &f)
{
    return f.error ? RowMark::Error : RowMark::Warning;
}

const char *assertionText(const SpecificTrap &s)
{
    return codeName(assertionTable, s.deassertion() ? 1 : 0, "Unexpected");
}

// Value and Data of a fixed PET data field, as form shows them; finding
// tells whether the form finds one on it.
void appendPetValue(TextBuffer &out, const TrapField &f, const PetTrap &t, Form form, bool finding)
{
    const quint32 v = t.value(f.element);
    switch (f.show) {
    case Show::HexGroups:
        for (int i = 0; i < f.size; ++i) {
            if (i && i % 4 == 0)
                out << ' ';
            out.appendHex(t.pet(f.offset + i), 2, i / 4 < f.upperGroups);
        }
        break;
    case Show::Number:
        if (finding)
            out << "Unspecified";
        else
            out.appendNumber(v);
        break;
    case Show::Named:
        if (const char *name = codeName(f.names, int(v), nullptr))
            out << name;
        else
            out.appendf(form == Form::Tree ? f.treeUnnamed : f.textUnnamed, int(v));
        break;
    case Show::SourceType:
        out << sourceTypeName(quint8(v)).name;
        break;
    case Show::Entity:
        out << entityName(quint8(v));
        break;
    default:
        break;
    }
}

bool hasDataColumn(const TrapField &f)
{
    return f.show != Show::HexGroups;
}

void appendPetData(TextBuffer &out, const TrapField &f, const PetTrap &t, bool finding)
{
    if (f.unspecifiedData && finding) {
        out << f.unspecifiedData;
    } else {
        out << "0x";
        out.appendHex(t.value(f.element), 2 * f.size, true);
    }
}

template<typename Fn>
QString text(Fn &&write)
{
    TextBuffer out;
    write(out);
    return out.toString();
}

// --- tree -------------------------------------------------------------------

class TreeForm
{
public:
    TreeForm(const PetTrap &trap, bool expanded) : t(trap), expanded(expanded) {}
    RowTree build(int retransmissionCount);

private:
    // False where the tree ends: an element not reached, or no PET data to show.
    bool addField(const TrapField &f);
    void addSpecificTrap(const TrapField &f);
    void addPetField(const TrapField &f);
    void mark(Row *row, const TrapField &f) { RowTree::mark(row, markOf(f), findingIn(t, f.element, Form::Tree)); }
    Row *parentRow(Parent p) { return p == Parent::Misc ? misc : p == Parent::OctetString ? octets : root; }

    const PetTrap &t;
    const bool expanded;
    RowTree tree;
    Row *root = nullptr, *misc = nullptr, *octets = nullptr, *pdu = nullptr;
};

RowTree TreeForm::build(int retransmissionCount)
{
    if (finding(t, Element::MessageTag, Form::Tree))
        tree.insertErrorRow(RowMark::Error, findingIn(t, Element::MessageTag, Form::Tree));
    root = tree.addTop(L(RootLabel));
    root->open = true;
    misc = root->addChild(L("Misc"));
    misc->open = expanded;
    misc->addChild(L("Received packet size"), QString::number(t.size));
    if (finding(t, Element::MessageLength, Form::Tree))
        tree.insertErrorRow(RowMark::Error, findingIn(t, Element::MessageLength, Form::Tree));
    misc->addChild(L("Indicated packet size"), QString::number(t.size));
    misc->addChild(L("retransmission #"), QString::number(retransmissionCount));

    for (const TrapField &f : trapFields().subspan(size_t(Element::Version))) {
        if (!t.has(f.element) || !addField(f))
            break;
    }

    const int unknown = t.unknownSize();
    if (unknown > 0) {
        const int start = t.unknownStart();
        Row *row = root->addChild(L(UnknownDataLabel), fmt("size %d", unknown));
        row->nameMark = RowMark::Warning;
        for (const auto &[label, bytes] : hexDumpRows(QByteArrayView(t.data).sliced(start, unknown), unknownTreeRows,
                                                      start))
            row->addChild(label, bytes);
    }
    if (t.truncated())
        tree.insertErrorRow(RowMark::Error, t.truncationText());
    return std::move(tree);
}

bool TreeForm::addField(const TrapField &f)
{
    const Element e = f.element;
    const QString label = f.label ? L(f.label) : QString();
    switch (f.show) {
    case Show::VersionPlusOne:
        misc->addChild(label, QString::number(int(t.value(e) + 1)));
        break;
    case Show::Text: {
        Row *row = parentRow(f.parent)->addChild(label, QString::fromLatin1(t.textOf(e)));
        if (hasFinding(f, t, Form::Tree))
            mark(row, f);
        if (e == Element::AgentAddress)
            root->addChild(L(ClientAddressLabel), QString::fromLatin1(t.textOf(e)));
        break;
    }
    case Show::PduType:
        pdu = misc->addChild(label);
        pdu->data = t.has(Element::PduLength) ? fmt("0x%02X 0x%02X", t.value(e), t.value(Element::PduLength))
                                              : fmt("0x%02X", t.value(e));
        if (hasFinding(f, t, Form::Tree))
            mark(pdu, f);
        break;
    case Show::None:
        if (e == Element::PduLength) {
            if (hasFinding(f, t, Form::Tree)) {
                mark(pdu, f);
                pdu->value = fmt("0x%02X", t.value(e));
            } else {
                pdu->value = L("TRAP-V1 (4)");
            }
        }
        break;
    case Show::TrapType: {
        Row *row = root->addChild(label);
        if (hasFinding(f, t, Form::Tree)) {
            row->value = fmt("0x%x", t.value(e));
            mark(row, f);
        } else {
            row->value = L("Enterprise Specific (6)");
        }
        break;
    }
    case Show::SpecificTrap:
        addSpecificTrap(f);
        break;
    case Show::SignedNumber:
        root->addChild(label, QString::number(int(t.value(e))));
        break;
    case Show::Octets: {
        octets = root->addChild(label, fmt("%d octets", t.octetLength()));
        octets->open = expanded;
        if (hasFinding(f, t, Form::Tree)) {
            mark(octets, f);
            return false; // no PET data rows
        }
        break;
    }
    case Show::OemRecords: {
        Row *oem = octets->addChild(label);
        oem->open = expanded;
        for (const OemField &r : t.oemRecords) {
            const QString bytes = text([&](TextBuffer &out) {
                appendHexRun(out, QByteArrayView(t.data).sliced(r.dataStart, r.dataCount), true);
            });
            oem->addChild(fmt("Type: %d%d Length: %d", r.type7(), r.type6(), r.length()), bytes);
        }
        break;
    }
    default:
        addPetField(f);
        break;
    }
    return true;
}

void TreeForm::addSpecificTrap(const TrapField &f)
{
    const SpecificTrap s = t.specific();
    Row *specific = root->addChild(L(f.label), QString(), fmt("0x%08X", t.value(f.element)));
    specific->open = expanded;
    for (const SpecificPart &part : specificParts) {
        const quint8 code = quint8(t.value(f.element) >> part.shift);
        specific->addChild(L(part.label), L(codeName(part.names, code, UnknownType)), fmt("0x%02X", code));
    }
    Row *offset = specific->addChild(L(EventOffsetLabel), QString(), fmt("0x%02X", s.offsetByte));
    offset->open = expanded;
    offset->addChild(fmt("%s Event", assertionText(s)), QString(), fmt("0x%02X", s.offsetByte));
    const OffsetName name = offsetName(s.eventType, s.sensorType, s.offset());
    Row *offsetRow = offset->addChild(L(name.text), QString(),
                                      name.kind == OffsetKind::Table ? fmt("0x%02X", s.offset()) : QString());
    if (hasFinding(f, t, Form::Tree))
        mark(offsetRow, f);
}

void TreeForm::addPetField(const TrapField &f)
{
    const bool finding = hasFinding(f, t, Form::Tree);
    const QString value = text([&](TextBuffer &out) { appendPetValue(out, f, t, Form::Tree, finding); });
    const QString data =
        hasDataColumn(f) ? text([&](TextBuffer &out) { appendPetData(out, f, t, finding); }) : QString();
    Row *row = octets->addChild(L(f.label), value, data);
    if (finding)
        mark(row, f);
}

// --- text form ----------------------------------------------------------------

// Piece by piece; a few pieces end without a line feed, as saved logs have
// always had them.
class TextForm
{
public:
    TextForm(TextBuffer &buffer, const PetTrap &trap) : out(buffer), t(trap) {}
    void build(int retransmissionCount);

private:
    bool writeField(const TrapField &f);
    void writeSpecificTrap(const TrapField &f);
    void writePetField(const TrapField &f);
    // The field's finding line, when it has one.
    void findingLine(const TrapField &f) { findingLine(f, hasFinding(f, t, Form::Text)); }
    void findingLine(const TrapField &f, bool finding)
    {
        if (!finding)
            return;
        out << f.textPrefix;
        appendFinding(out, f, t, Form::Text);
        if (f.textLineFeed)
            out << '\n';
    }
    const char *indent(Parent p) const { return p == Parent::Root ? "\t" : "\t\t"; }

    TextBuffer &out;
    const PetTrap &t;
};

void TextForm::build(int retransmissionCount)
{
    if (t.has(Element::MessageTag))
        findingLine(trapField(Element::MessageTag));
    out << "  " << RootLabel << "\n\tMisc\n\t\tReceived packet size ";
    out.appendNumber(t.size);
    out << '\n';
    if (t.has(Element::MessageLength))
        findingLine(trapField(Element::MessageLength));
    out << "\t\tIndicated packet size ";
    out.appendNumber(t.size);
    out << "\n\t\tretransmission # ";
    out.appendNumber(retransmissionCount);
    out << '\n';

    for (const TrapField &f : trapFields().subspan(size_t(Element::Version))) {
        if (!t.has(f.element) || !writeField(f))
            break;
    }

    const int unknown = t.unknownSize();
    if (unknown > 0)
        appendHexDump(out, QByteArrayView(t.data).sliced(t.unknownStart(), unknown), unknownTextRows,
                      t.unknownStart());
    if (t.truncated()) {
        if (!out.endsWith('\n'))
            out << '\n';
        out << "!!\t" << t.truncationText() << '\n';
    }
    appendHexDump(out, QByteArrayView(t.data).first(t.size), hexlayout::PacketDump);
}

bool TextForm::writeField(const TrapField &f)
{
    const Element e = f.element;
    switch (f.show) {
    case Show::VersionPlusOne:
        out << indent(f.parent) << f.label << '\t';
        out.appendNumber(int(t.value(e) + 1));
        out << '\n';
        break;
    case Show::Text:
        out << indent(f.parent) << f.label << '\t';
        if (e == Element::AgentAddress && hasFinding(f, t, Form::Text)) {
            findingLine(f); // in place of the address, no line feed
        } else {
            out.appendLatin1(t.textOf(e));
            out << '\n';
            findingLine(f);
        }
        if (e == Element::AgentAddress) {
            out << '\t' << ClientAddressTextLabel << '\t';
            out.appendLatin1(t.textOf(e));
            out << '\n';
        }
        break;
    case Show::PduType:
        out << indent(f.parent) << f.label << "\t0x";
        out.appendHex(t.value(e), 2, true);
        if (t.has(Element::PduLength)) {
            out << " 0x";
            out.appendHex(t.value(Element::PduLength), 2, true);
        }
        out << '\n';
        findingLine(f);
        break;
    case Show::None:
        if (e == Element::PduLength)
            findingLine(f);
        break;
    case Show::TrapType:
        out << indent(f.parent) << f.textLabel;
        if (hasFinding(f, t, Form::Text))
            out.appendf("\t0x%x", t.value(e));
        else
            out << "\tEnterprise Specific (6)\n";
        findingLine(f);
        break;
    case Show::SpecificTrap:
        writeSpecificTrap(f);
        break;
    case Show::SignedNumber:
        out << indent(f.parent) << f.label << '\t';
        out.appendNumber(int(t.value(e)));
        out << '\n';
        break;
    case Show::Octets:
        out << indent(f.parent) << f.label << '\t';
        out.appendNumber(t.octetLength());
        out << " octets\n";
        if (hasFinding(f, t, Form::Text)) {
            findingLine(f);
            return false; // no PET data lines
        }
        break;
    case Show::OemRecords:
        out << indent(f.parent) << f.label << '\n';
        for (const OemField &r : t.oemRecords) {
            out.appendf("\t\t\tType: %d%d Length: %d\n\t\t", r.type7(), r.type6(), r.length());
            appendHexRun(out, QByteArrayView(t.data).sliced(r.dataStart, r.dataCount), true, " ", "0x");
            out << '\n';
        }
        break;
    default:
        writePetField(f);
        break;
    }
    return true;
}

void TextForm::writeSpecificTrap(const TrapField &f)
{
    const SpecificTrap s = t.specific();
    out << indent(f.parent) << f.label << "\t0x";
    out.appendHex(t.value(f.element), 8, true);
    out << '\n';
    for (const SpecificPart &part : specificParts) {
        const quint8 code = quint8(t.value(f.element) >> part.shift);
        out << "\t\t" << part.textLabel << '\t' << codeName(part.names, code, UnknownType) << "\t0x";
        out.appendHex(code, 2, true);
        out << '\n';
    }
    out << "\t\t" << EventOffsetLabel << "\t\t0x";
    out.appendHex(s.offsetByte, 2, true);
    out << "\n\t\t\t" << assertionText(s) << " Event\t\t0x";
    out.appendHex(s.offsetByte, 2, true);
    out << '\n';
    const OffsetName name = offsetName(s.eventType, s.sensorType, s.offset());
    out << "\t\t\t" << name.text << "\t0x";
    out.appendHex(s.offset(), 2, true);
    // The OEM and the not-valid lines end without a line feed.
    if (name.kind == OffsetKind::Table || name.kind == OffsetKind::NotSpecified)
        out << '\n';
    findingLine(f);
}

void TextForm::writePetField(const TrapField &f)
{
    const bool finding = hasFinding(f, t, Form::Text);
    out << indent(f.parent) << f.label << '\t';
    appendPetValue(out, f, t, Form::Text, finding);
    if (hasDataColumn(f)) {
        out << '\t';
        appendPetData(out, f, t, finding);
    }
    out << '\n';
    findingLine(f, finding);
}

} // namespace

RowTree buildPetRowTree(const PetTrap &trap, int retransmissionCount, bool expanded)
{
    return TreeForm(trap, expanded).build(retransmissionCount);
}

void writePetTextForm(TextBuffer &out, const PetTrap &trap, int retransmissionCount)
{
    TextForm(out, trap).build(retransmissionCount);
}

QString petTextForm(const PetTrap &trap, int retransmissionCount)
{
    TextBuffer out;
    out.reserve(3000);
    writePetTextForm(out, trap, retransmissionCount);
    return out.toString();
}

} // namespace velquor::pet
