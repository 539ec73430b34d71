#pragma once

// Builder of PET traps for the tests and benchmarks.

#include "pet/pettrap.h"
#include "support/testdata.h"

#include <QByteArray>
#include <QtGlobal>

namespace pettest {

using velquor::pet::Element;

using velquor::test::hex;

// BER element with a short-form length.
inline QByteArray tlv(quint8 tag, const QByteArray &contents)
{
    return QByteArray(1, char(tag)) + char(quint8(contents.size())) + contents;
}

inline QByteArray be(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char(quint8(value >> (8 * i))));
    return out;
}

// A Trap-PDU in an SNMPv1 message around PET data; lengths are computed.
struct TrapBuilder
{
    quint8 pduType = 0xA4;
    QByteArray enterprise = tlv(0x06, hex("2b06010401986f0101"));
    QByteArray generic = tlv(0x02, hex("06"));
    quint32 specific = 0x00076F01; // processor, sensor-specific, thermal trip
    QByteArray name = tlv(0x06, hex("2b06010401986f010101"));
    quint8 octetTag = 0x04;
    // GUID, sequence 7, local timestamp 0x00010203, UTC offset 0, trap and
    // event source 0x68, severity 0x10, sensor device 1 and number 2, entity
    // 7, instance 1, event data, language 0x19, manufacturer 3183, system ID
    // 0x0102; then the end marker.
    QByteArray petData = hex("0102030405060708090a0b0c0d0e0f10 0007 00010203 0000 68 68 10 01 02 07 01"
                             "a1a2a3a4a5a6a7a8 19 00000c6f 0102 c1");

    // A fixed field of up to four bytes, big-endian.
    TrapBuilder &set(Element field, quint32 value)
    {
        const auto span = velquor::pet::fieldSpan(field);
        petData.replace(span.offset, span.size, be(value, span.size));
        return *this;
    }
    // What follows the fixed fields: OEM records, end marker, extra bytes.
    TrapBuilder &tail(const QByteArray &bytes)
    {
        petData = petData.left(velquor::pet::PetFixedLength) + bytes;
        return *this;
    }

    QByteArray bytes() const
    {
        const QByteArray binding = tlv(0x30, name + tlv(octetTag, petData));
        const QByteArray pdu = enterprise + tlv(0x40, hex("c0a80001")) + generic + tlv(0x02, be(specific, 4))
            + tlv(0x43, hex("0000012c")) + tlv(0x30, binding);
        return tlv(0x30, tlv(0x02, hex("00")) + tlv(0x04, "public") + tlv(pduType, pdu));
    }
};

inline QByteArray validTrap() { return TrapBuilder().bytes(); }

inline QByteArray trapWithSequence(quint16 sequence, quint32 localTimestamp = 0x00010203)
{
    return TrapBuilder().set(Element::SequenceNumber, sequence).set(Element::LocalTimestamp, localTimestamp).bytes();
}

inline QByteArray heartbeatTrap(quint16 sequence = 1)
{
    TrapBuilder trap;
    trap.specific = 0x00256F00;
    return trap.set(Element::Entity, 0x17).set(Element::SequenceNumber, sequence).bytes();
}

} // namespace pettest
