#include "pet/petcompose.h"

namespace velquor::pet {

namespace {

// INTEGER contents: big-endian, as few bytes as hold the value, with a
// leading zero byte where the top bit would make it negative (up to four
// bytes, what the readers take).
QByteArray integerContents(quint32 value)
{
    int size = 1;
    while (size < 4 && (value >> (8 * size)) != 0)
        ++size;
    if (size < 4 && (value >> (8 * size - 1)) & 1)
        ++size;
    QByteArray out;
    for (int i = size - 1; i >= 0; --i)
        out.append(char(quint8(value >> (8 * i))));
    return out;
}

void appendBase128(QByteArray &out, quint32 value)
{
    char groups[5];
    int n = 0;
    do {
        groups[n++] = char(value & 0x7F);
        value >>= 7;
    } while (value);
    while (n > 1)
        out.append(char(groups[--n] | 0x80));
    out.append(groups[0]);
}

// Dotted text to OBJECT IDENTIFIER contents; the first two arcs share one byte.
QByteArray oidContents(const QByteArray &dotted)
{
    const QList<QByteArray> arcs = dotted.split('.');
    QByteArray out;
    if (dotted.isEmpty())
        return out;
    out.append(char(quint8(arcs.value(0).toUInt() * 40 + arcs.value(1).toUInt())));
    for (qsizetype i = 2; i < arcs.size(); ++i)
        appendBase128(out, arcs[i].toUInt());
    return out;
}

QByteArray bigEndian(quint32 value, int size)
{
    QByteArray out;
    for (int i = size - 1; i >= 0; --i)
        out.append(char(quint8(value >> (8 * i))));
    return out;
}

QByteArray fixedBytes(const QByteArray &bytes, int size)
{
    return bytes.left(size) + QByteArray(qMax(0, size - int(bytes.size())), '\0');
}

} // namespace

TrapValues alertTrap(quint16 sequence)
{
    TrapValues v;
    v.set(Element::MessageTag, 0x30)
        .set(Element::Version, 0)
        .set(Element::PduType, 0xA4)
        .set(Element::AgentAddress, 0xC0A80001)
        .set(Element::GenericTrap, 6)
        .set(Element::SpecificTrap, 0x00076F01) // processor, sensor-specific, thermal trip
        .set(Element::TimeStamp, 300);
    v.setText(Element::Community, "public")
        .setText(Element::Enterprise, EnterpriseOid)
        .setText(Element::Name, PetDataOid);
    v.guid = QByteArray::fromHex("0102030405060708090a0b0c0d0e0f10");
    v.set(Element::SequenceNumber, sequence)
        .set(Element::LocalTimestamp, 0x00010203)
        .set(Element::UtcOffset, 0)
        .set(Element::TrapSourceType, 0x68)
        .set(Element::EventSourceType, 0x68)
        .set(Element::EventSeverity, 0x10)
        .set(Element::SensorDevice, 1)
        .set(Element::SensorNumber, 2)
        .set(Element::Entity, 7)
        .set(Element::EntityInstance, 1)
        .set(Element::LanguageCode, 0x19)
        .set(Element::ManufacturerId, 3183)
        .set(Element::SystemId, 0x0102);
    v.eventData = QByteArray::fromHex("a1a2a3a4a5a6a7a8");
    v.oem = QByteArray(1, char(OemEndMarker));
    return v;
}

TrapValues heartbeatTrap(quint16 sequence)
{
    TrapValues v = alertTrap(sequence);
    v.set(Element::SpecificTrap, 0x00256F00).set(Element::Entity, 0x17);
    return v;
}

QByteArray composePetTrap(const TrapValues &v, const TrapFaults &faults)
{
    QByteArray out;
    out.reserve(128);
    // Where each length byte went, to fill in once the rest is written.
    std::array<int, ElementCount> lengthAt;
    lengthAt.fill(-1);

    for (const TrapField &f : trapFields()) {
        const size_t e = size_t(f.element);
        const quint8 tag = faults.tag[e].value_or(f.tag);
        auto element = [&](const QByteArray &contents) {
            out.append(char(tag));
            out.append(char(quint8(faults.length[e].value_or(quint8(contents.size())))));
            out.append(contents);
        };
        switch (f.encoding) {
        case Encoding::Byte:
            if (f.rule == Rule::NotRemaining) { // a length byte: the bytes after it
                lengthAt[e] = int(out.size());
                out.append('\0');
            } else {
                out.append(char(quint8(v.value(f.element))));
            }
            break;
        case Encoding::Integer:
            element(integerContents(v.value(f.element)));
            break;
        case Encoding::OctetString:
            element(v.textOf(f.element));
            break;
        case Encoding::ObjectId:
            element(oidContents(v.textOf(f.element)));
            break;
        case Encoding::IpAddress:
            element(bigEndian(v.value(f.element), 4));
            break;
        case Encoding::SequenceHeader:
        case Encoding::OctetStringHeader:
            out.append(char(tag));
            lengthAt[e] = int(out.size());
            out.append('\0');
            break;
        case Encoding::PetData:
            if (f.size <= 4)
                out.append(bigEndian(v.value(f.element), f.size));
            else
                out.append(fixedBytes(f.element == Element::Guid ? v.guid : v.eventData, f.size));
            break;
        case Encoding::OemFields:
            out.append(v.oem);
            break;
        }
    }
    const int petEnd = int(out.size());
    out.append(faults.trailer);

    for (size_t e = 0; e < lengthAt.size(); ++e) {
        if (lengthAt[e] < 0)
            continue;
        // The OCTET STRING holds the PET data; every other length runs to the end.
        const int end = Element(e) == Element::OctetString ? petEnd : int(out.size());
        const int computed = end - lengthAt[e] - 1;
        out[lengthAt[e]] = char(faults.length[e].value_or(quint8(computed)));
    }
    if (faults.cutAt >= 0)
        out.truncate(faults.cutAt);
    return out;
}

} // namespace velquor::pet
