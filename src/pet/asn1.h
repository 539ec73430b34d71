#pragma once

#include <QByteArray>
#include <QtGlobal>

// Readers for the few BER elements an SNMPv1 trap uses: one tag byte, one
// length byte (short form only) and the contents. Each reader starts at
// data[pos], advances pos over what it consumed and never reads at or past
// limit. Failures are traced and returned as values; the caller decides what
// they mean for the trap.
namespace velquor::asn1 {

enum class ReadStatus {
    Ok,
    WrongTag,    // pos left on the tag
    Missing,     // no tag byte before limit; pos unchanged
    CutShort,    // the length byte or the contents run past limit
    BadSize,     // an INTEGER over 4 bytes, an IpAddress not of 4
    BadContents, // an OBJECT IDENTIFIER sub-identifier that cannot be decoded
};

// The data ran out inside or before the element.
inline bool isTruncation(ReadStatus s)
{
    return s == ReadStatus::Missing || s == ReadStatus::CutShort;
}

// Optional out-parameters and switches shared by all readers.
struct ReadOptions
{
    ReadStatus *status = nullptr;
    bool trace = true; // write failures to the trace log
};

// INTEGER (0x02) or TimeTicks (0x43) as an unsigned 32-bit value, no sign
// extension; 0 on any error.
quint32 readInteger(const uchar *data, int &pos, int limit, ReadOptions options = {});
// OCTET STRING (0x04): text gets the contents (Latin-1 characters).
bool readOctetString(const uchar *data, int &pos, int limit, QByteArray &text, ReadOptions options = {});
// SEQUENCE (0x30) and OCTET STRING headers: the length byte, or -1.
int readSequenceHeader(const uchar *data, int &pos, int limit, ReadOptions options = {});
int readOctetStringHeader(const uchar *data, int &pos, int limit, ReadOptions options = {});
// IpAddress (0x40, length 4): text gets the dotted quad.
bool readIpAddress(const uchar *data, int &pos, int limit, QByteArray &text, ReadOptions options = {});
// OBJECT IDENTIFIER (0x06): text gets the dotted decimal form. True when the
// contents were read, even if a sub-identifier could not be decoded.
bool readObjectIdentifier(const uchar *data, int &pos, int limit, QByteArray &text, ReadOptions options = {});

} // namespace velquor::asn1
