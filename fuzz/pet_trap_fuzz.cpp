// The PET trap walk over any datagram, with the record's tree and text forms
// and its script look-ups. Properties:
// - the checked walk and the silent walk of the forms read the same
//   elements with the same values, positions and texts;
// - every position the walk keeps lies inside the datagram, and nothing is
//   read outside it: the datagram and each cut of it are copies of exactly
//   their size (a read past them is a heap overflow the sanitizer reports),
//   and a walk over the first k bytes of the whole datagram reads as the
//   walk over the cut of k bytes (for a few k each input);
// - a walk that ends early is an error whose last finding says where; the
//   text form and the tree carry that finding too;
// - cut at any length k, the walk stops at the first element whose bytes
//   the full walk found beyond k (cut short when it had begun before k), and
//   reads every element before it as the full walk did; a trap whose length
//   byte counts all its bytes is an error at every cut;
// - the text form is the same through both writers and ends with the hex
//   dump of exactly the datagram; the PET data lines of the text form show
//   the data and the start of the value of the tree's rows;
// - every look-up (getValue, getData, getInfo) of every row name answers
//   with the first row of that name that the open rows reach, in display
//   order, and with a null string when none does; a name no row has gives a
//   null string.

#include "core/packetstatus.h"
#include "core/rowtree.h"
#include "core/textformat.h"
#include "fuzzcheck.h"
#include "pet/asfpetpacket.h"
#include "pet/petpresentation.h"
#include "pet/pettrap.h"

#include <QtGlobal>
#include <cstring>
#include <memory>
#include <vector>

using namespace velquor;
using namespace velquor::pet;

namespace {

// A copy of bytes in an allocation of exactly their size, as a QByteArray
// that does not copy it: QByteArray's own allocations hold a terminating
// zero and often more, where a read one past the end would pass unseen.
class Exact
{
public:
    Exact(const void *bytes, size_t size) : m_bytes(new char[size]), m_size(size)
    {
        if (size)
            std::memcpy(m_bytes.get(), bytes, size);
    }
    QByteArray array() const { return QByteArray::fromRawData(m_bytes.get(), qsizetype(m_size)); }

private:
    std::unique_ptr<char[]> m_bytes;
    size_t m_size;
};

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

// Everything one element of a walk read.
QString elementRead(const PetTrap &t, Element e)
{
    return QStringLiteral("%1:%2@%3:%4").arg(elementName(e)).arg(t.value(e)).arg(t.position[size_t(e)]).arg(
        hex(t.textOf(e)));
}

// Everything a walk read.
QString describe(const PetTrap &t)
{
    QString out = QStringLiteral("reached %1 cut %2 size %3 pet %4 end %5 agent %6 heartbeat %7 sequence %8 "
                                 "guid %9 event %10 oem %11\n")
                      .arg(int(t.reached))
                      .arg(t.cutShort)
                      .arg(t.size)
                      .arg(t.petStart)
                      .arg(t.endPos)
                      .arg(t.agentOk)
                      .arg(t.isHeartbeat)
                      .arg(t.sequenceNumber)
                      .arg(hex(t.guid), hex(t.eventData), hex(t.oem));
    for (const OemField &r : t.oemRecords)
        out += QStringLiteral("record %1 at %2 (%3)\n").arg(r.typeLength).arg(r.dataStart).arg(r.dataCount);
    for (int e = 0; e < ElementCount; ++e)
        out += elementRead(t, Element(e)) + QLatin1Char('\n');
    return out;
}

bool sameElement(const PetTrap &a, const PetTrap &b, Element e)
{
    const size_t i = size_t(e);
    return a.number[i] == b.number[i] && a.position[i] == b.position[i] && a.textOf(e) == b.textOf(e);
}

// The same reading, field by field (describe() says how they differ).
bool sameReading(const PetTrap &a, const PetTrap &b)
{
    if (a.reached != b.reached || a.cutShort != b.cutShort || a.size != b.size || a.petStart != b.petStart
        || a.endPos != b.endPos || a.agentOk != b.agentOk || a.isHeartbeat != b.isHeartbeat
        || a.sequenceNumber != b.sequenceNumber || a.guid != b.guid || a.eventData != b.eventData || a.oem != b.oem
        || a.oemRecords.size() != b.oemRecords.size())
        return false;
    for (size_t i = 0; i < a.oemRecords.size(); ++i) {
        const OemField &x = a.oemRecords[i], &y = b.oemRecords[i];
        if (x.typeLength != y.typeLength || x.dataStart != y.dataStart || x.dataCount != y.dataCount)
            return false;
    }
    for (int e = 0; e < ElementCount; ++e) {
        if (!sameElement(a, b, Element(e)))
            return false;
    }
    return true;
}

// Where the datagram must reach for the walk to read element e whole, by
// the full walk's positions: the tag (or byte) and everything the walk took
// up to the next element; a fixed PET data field whole.
int needed(const PetTrap &full, Element e)
{
    const TrapField &f = trapField(e);
    if (f.encoding == Encoding::PetData)
        return full.petStart + f.offset + f.size;
    const int next = e == Element::OctetString ? full.petStart : full.position[size_t(e) + 1];
    return qMax(full.position[size_t(e)] + 1, next);
}

// The layout " Packet Hex Dump" and the detail views use, built here on its own.
QString packetDump(const QByteArray &bytes)
{
    QString out = QStringLiteral(" Packet Hex Dump (size %1):\n ----").arg(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0)
            out += QStringLiteral("\n    %1 - %2:").arg(i).arg(i + 15).leftJustified(15);
        else if (i % 4 == 0)
            out += QLatin1Char(' ');
        out += QLatin1Char(' ') + QString::fromLatin1(bytes.mid(i, 1).toHex());
    }
    return out + QStringLiteral("\n ----\n");
}

// Rows in display order, with whether the look-ups reach them (every row
// above them open).
void collect(const std::vector<std::unique_ptr<Row>> &rows, bool reached,
             std::vector<std::pair<const Row *, bool>> &out)
{
    for (const auto &row : rows) {
        out.emplace_back(row.get(), reached);
        collect(row->children, reached && row->open, out);
    }
}

// The PET data rows below "OCTET STRING" against the text form's lines.
void compareDataRows(const RowTree &tree, const QString &text)
{
    const Row *octets = nullptr;
    std::vector<std::pair<const Row *, bool>> rows;
    collect(tree.top(), true, rows);
    for (const auto &[row, reached] : rows) {
        if (row->name == QLatin1String("OCTET STRING") && row->parent)
            octets = row;
    }
    if (!octets)
        return;
    // Below the OCTET STRING line nothing comes from the datagram but digits.
    const qsizetype from = text.lastIndexOf(QLatin1String("\n\tOCTET STRING\t"));
    FUZZ_CHECK(from >= 0);
    for (const auto &row : octets->children) {
        const TrapField *field = nullptr;
        for (const TrapField &f : trapFields()) {
            if (f.encoding == Encoding::PetData && row->name == QLatin1String(f.label))
                field = &f;
        }
        if (!field)
            continue;
        // "\t\t<name>\t<value>[\t<data>]\n"; the tree names an unnamed code
        // more fully than the text form ("Unknown severity 0x05").
        const QString head = QStringLiteral("\t\t") + row->name + QLatin1Char('\t');
        const qsizetype at = text.indexOf(head, from);
        FUZZ_CHECK(at >= 0, row->name);
        const qsizetype start = at + head.size();
        const QString line = text.mid(start, text.indexOf(QLatin1Char('\n'), start) - start);
        QString value = line, data;
        if (!row->data.isEmpty()) {
            const qsizetype tab = line.lastIndexOf(QLatin1Char('\t'));
            FUZZ_CHECK(tab >= 0, line);
            value = line.left(tab);
            data = line.mid(tab + 1);
        }
        FUZZ_CHECK(data == row->data, QStringLiteral("%1: text %2, tree %3").arg(row->name, data, row->data));
        FUZZ_CHECK(row->value.startsWith(value), QStringLiteral("%1: text %2, tree %3").arg(row->name, value, row->value));
    }
}

// Each input looks up a share of the names, one column each, so a run
// covers them all at a fraction of the cost (each look-up builds the tree
// again).
void checkLookups(ASF_PET_Packet &packet, size_t share)
{
    const RowTree tree = packet.rowTree();
    std::vector<std::pair<const Row *, bool>> rows;
    collect(tree.top(), true, rows);
    QStringList names{QStringLiteral("no such row")};
    for (const auto &[row, reached] : rows) {
        if (!names.contains(row->name))
            names << row->name;
    }
    const auto column = [](const QString &s) { return s.isNull() ? QStringLiteral("") : s; };
    for (qsizetype i = qsizetype(share % 4); i < names.size(); i += 4) {
        const QString &name = names[i];
        const Row *expected = nullptr;
        for (const auto &[row, reached] : rows) {
            if (reached && row->name == name) {
                expected = row;
                break;
            }
        }
        // One column a name, in turn.
        QString found, wanted;
        switch ((size_t(i) / 4 + share / 4) % 3) {
        case 0:
            found = packet.getValue(name);
            wanted = expected ? column(expected->value) : QString();
            break;
        case 1:
            found = packet.getData(name);
            wanted = expected ? column(expected->data) : QString();
            break;
        default:
            found = packet.getInfo(name);
            wanted = expected ? column(expected->info) : QString();
            break;
        }
        FUZZ_CHECK(found.isNull() == wanted.isNull() && found == wanted,
                   QStringLiteral("%1: %2 instead of %3").arg(name, found, wanted));
    }
}

// The silent walk of the first k bytes against the walk of all of them:
// where it stops, and what it read before.
void checkCut(const PetTrap &full, const QByteArray &whole, int k)
{
    const Exact cut(whole.constData(), size_t(k));
    const PetTrap t = walkPetTrap(cut.array(), k, nullptr);
    Element stop = full.reached;
    for (int e = 0; e < int(full.reached) && e < int(Element::OemCustomFields); ++e) {
        if (needed(full, Element(e)) > k) {
            stop = Element(e);
            break;
        }
    }
    FUZZ_CHECK(t.reached == stop, QStringLiteral("cut at %1: reached %2, expected %3\n%4")
                                      .arg(k)
                                      .arg(elementName(t.reached), elementName(stop), describe(full)));
    if (t.truncated())
        FUZZ_CHECK(t.cutShort == (t.position[size_t(stop)] < k));
    for (int e = 0; e < int(t.reached) && e < int(Element::OemCustomFields); ++e)
        FUZZ_CHECK(sameElement(t, full, Element(e)),
                   QStringLiteral("cut at %1: %2 != %3").arg(k).arg(elementRead(t, Element(e)), elementRead(full, Element(e))));
}

// The check of the first k bytes: an error with the truncation finding last
// when the walk ended early; an error anyway when the length byte counted
// every byte of the whole; the same on the first k bytes of the whole array.
void checkCutChecked(const PetTrap &full, const QByteArray &whole, int k)
{
    const Exact cut(whole.constData(), size_t(k));
    PacketFindings findings, again;
    const PetTrap t = walkPetTrap(cut.array(), k, &findings);
    const PetTrap front = walkPetTrap(whole, k, &again);
    FUZZ_CHECK(sameReading(front, t), describe(front) + QStringLiteral("----\n") + describe(t));
    FUZZ_CHECK(again.info() == findings.info() && again.status() == findings.status());
    if (t.truncated()) {
        FUZZ_CHECK(findings.status() == ASF_PACKET_ERROR);
        FUZZ_CHECK(findings.info().endsWith(QStringLiteral(" -") + t.truncationText()), findings.info());
    }
    if (full.size >= 2 && quint8(whole[1]) == full.size - 2)
        FUZZ_CHECK(findings.status() == ASF_PACKET_ERROR, findings.info());
}

void discard(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The check traces as it goes; the texts are built, then dropped here.
    qInstallMessageHandler(discard);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1500) // a datagram on an Ethernet; larger inputs only cost time
        return 0;
    const Exact exact(data, size);
    const QByteArray bytes = exact.array();
    const int n = int(size);

    // The forms' silent walk first, then the check: walks of their own.
    const PetTrap silent = walkPetTrap(bytes, n, nullptr);
    PacketFindings findings;
    const PetTrap checked = walkPetTrap(bytes, n, &findings);
    FUZZ_CHECK(sameReading(silent, checked),
               QStringLiteral("silent:\n%1checked:\n%2").arg(describe(silent), describe(checked)));

    const PetTrap &t = checked;
    for (int e = 0; e < int(t.reached) && e < int(Element::OemCustomFields); ++e) {
        const TrapField &f = trapField(Element(e));
        const int end = f.encoding == Encoding::PetData ? t.position[size_t(e)] + f.size : t.position[size_t(e)] + 1;
        FUZZ_CHECK(t.position[size_t(e)] >= 0 && end <= n, elementRead(t, Element(e)));
    }
    for (const OemField &r : t.oemRecords)
        FUZZ_CHECK(r.dataStart > 0 && r.dataCount >= 0 && r.dataStart + r.dataCount <= n);
    // Past the end (one past it when the end marker is missing) only with nothing to show.
    FUZZ_CHECK(t.unknownSize() == 0 || (t.unknownStart() >= 0 && t.unknownStart() + t.unknownSize() <= n));
    if (t.truncated()) {
        FUZZ_CHECK(findings.status() == ASF_PACKET_ERROR);
        FUZZ_CHECK(findings.info().endsWith(QStringLiteral(" -") + t.truncationText()), findings.info());
    }

    // The record: the same findings; its forms, look-ups and clone.
    ASF_PET_Packet packet(0);
    packet.setShowExpanded(size % 2);
    packet.setData(bytes, n);
    FUZZ_CHECK(packet.info() == findings.info() && packet.status() == findings.status());
    FUZZ_CHECK(packet.sequenceNumber() == t.sequenceNumber && packet.isHeartbeat() == t.isHeartbeat);

    const QString text = packet.textForm();
    TextBuffer written;
    packet.writeTextForm(written);
    FUZZ_CHECK(written.toString() == text);
    FUZZ_CHECK(text.endsWith(packetDump(bytes)), text);
    const RowTree tree = packet.rowTree();
    FUZZ_CHECK(!tree.top().empty());
    if (t.truncated()) {
        FUZZ_CHECK(text.contains(QStringLiteral("\n!!\t") + t.truncationText() + QLatin1Char('\n')), text);
        FUZZ_CHECK(tree.top().front()->name.isEmpty() && tree.top().front()->info == t.truncationText());
    }
    compareDataRows(tree, text);
    const size_t hash = qHash(QByteArrayView(bytes));
    checkLookups(packet, hash);
    {
        const std::unique_ptr<ASF_Packet> copy = packet.clone();
        FUZZ_CHECK(copy->info() == packet.info() && copy->status() == packet.status() && copy->textForm() == text);
    }

    // Every cut of it silently; a few checked (which cuts, the input decides).
    for (int k = 0; k < n; ++k)
        checkCut(t, bytes, k);
    if (n > 0) {
        checkCutChecked(t, bytes, n - 1);
        for (size_t h = hash, i = 0; i < 3; ++i, h /= 257)
            checkCutChecked(t, bytes, int(h % size_t(n)));
    }
    return 0;
}
