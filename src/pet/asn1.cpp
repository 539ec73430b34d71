#include "pet/asn1.h"

#include "core/trace.h"

#include <charconv>

namespace velquor::asn1 {

namespace {

bool tracing(const ReadOptions &o)
{
    return o.trace && traceEnabled();
}

void report(const ReadOptions &o, ReadStatus status, const char *text)
{
    if (o.status)
        *o.status = status;
    if (text && tracing(o))
        trace(QString::fromLatin1(text));
}

void reportTag(const ReadOptions &o, const char *format, uchar tag)
{
    if (o.status)
        *o.status = ReadStatus::WrongTag;
    if (tracing(o))
        traceF(format, unsigned(tag));
}

// Decimal digits of value at p; returns the end.
char *putNumber(char *p, quint32 value)
{
    return std::to_chars(p, p + 10, value).ptr;
}

void ok(const ReadOptions &o)
{
    if (o.status)
        *o.status = ReadStatus::Ok;
}

const char underrun[] = "\terror: asn1: data underrun\n";

// Tag present and as expected, and the length byte present. Leaves pos
// unchanged and reports when not.
bool header(const uchar *data, int pos, int limit, bool tagOk, const char *tagFormat, const ReadOptions &o)
{
    if (pos < 0 || pos >= limit) {
        report(o, ReadStatus::Missing, underrun);
        return false;
    }
    if (!tagOk) {
        reportTag(o, tagFormat, data[pos]);
        return false;
    }
    if (pos + 1 >= limit) {
        report(o, ReadStatus::CutShort, underrun);
        return false;
    }
    return true;
}

bool tagAt(const uchar *data, int pos, int limit, uchar tag)
{
    return pos >= 0 && pos < limit && data[pos] == tag;
}

} // namespace

quint32 readInteger(const uchar *data, int &pos, int limit, ReadOptions o)
{
    const bool tagOk = pos >= 0 && pos < limit && (data[pos] == 0x02 || data[pos] == 0x43);
    if (!header(data, pos, limit, tagOk, "\terror: asn1: integer expected, got 0x%x\n", o))
        return 0;
    const int length = data[pos + 1];
    pos += 2;
    if (length > 4) {
        report(o, ReadStatus::BadSize, "\terror: asn1: exceeding system integer\n");
        return 0;
    }
    if (pos + length > limit) {
        report(o, ReadStatus::CutShort, underrun);
        return 0;
    }
    quint32 value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | data[pos + i];
    pos += length;
    ok(o);
    return value;
}

bool readOctetString(const uchar *data, int &pos, int limit, QByteArray &text, ReadOptions o)
{
    if (!header(data, pos, limit, tagAt(data, pos, limit, 0x04), "\terror: asn1: octet string expected, got %x\n", o))
        return false;
    const int length = data[pos + 1];
    pos += 2;
    if (pos + length > limit) {
        report(o, ReadStatus::CutShort, underrun);
        return false;
    }
    text = QByteArray(reinterpret_cast<const char *>(data + pos), length);
    pos += length;
    ok(o);
    return true;
}

int readSequenceHeader(const uchar *data, int &pos, int limit, ReadOptions o)
{
    if (!header(data, pos, limit, tagAt(data, pos, limit, 0x30), "\terror: asn1: sequence expected, got %x\n", o))
        return -1;
    const int length = data[pos + 1];
    pos += 2;
    ok(o);
    return length;
}

int readOctetStringHeader(const uchar *data, int &pos, int limit, ReadOptions o)
{
    if (!header(data, pos, limit, tagAt(data, pos, limit, 0x04), "\terror: asn1: octet string expected, got %x\n", o))
        return -1;
    const int length = data[pos + 1];
    pos += 2;
    ok(o);
    return length;
}

bool readIpAddress(const uchar *data, int &pos, int limit, QByteArray &text, ReadOptions o)
{
    if (!header(data, pos, limit, tagAt(data, pos, limit, 0x40), "\terror: asn1: 0x40 expected, got %x\n", o))
        return false;
    const int length = data[pos + 1];
    pos += 2;
    if (length != 4) {
        report(o, ReadStatus::BadSize, "\terror: asn1: IP address wrong size\n");
        return false;
    }
    if (pos + 4 > limit) {
        report(o, ReadStatus::CutShort, underrun);
        return false;
    }
    char dotted[16];
    char *end = dotted;
    for (int i = 0; i < 4; ++i) {
        if (i)
            *end++ = '.';
        end = putNumber(end, data[pos + i]);
    }
    text = QByteArray(dotted, end - dotted);
    pos += 4;
    ok(o);
    return true;
}

bool readObjectIdentifier(const uchar *data, int &pos, int limit, QByteArray &text, ReadOptions o)
{
    if (!header(data, pos, limit, tagAt(data, pos, limit, 0x06),
                "\terror: asn1: object identifier expected, got %x\n", o))
        return false;
    int length = data[pos + 1];
    pos += 2;
    if (pos + length > limit) {
        report(o, ReadStatus::CutShort, underrun);
        return false;
    }
    const int end = pos + length;
    ReadStatus status = ReadStatus::Ok;
    // An empty identifier has no arcs at all.
    if (length == 0) {
        text.clear();
        if (o.status)
            *o.status = status;
        return true;
    }
    // At most "ddd.dd" and 254 arcs of up to ten digits and a dot.
    char dotted[6 + 254 * 11];
    char *out = dotted;
    const uchar first = data[pos++];
    out = putNumber(out, first / 40u);
    *out++ = '.';
    out = putNumber(out, first % 40u);
    while (pos < end) {
        quint32 value = 0;
        int continuation = 0;
        while (pos < end && (data[pos] & 0x80) && continuation < 4) {
            value = value * 128 + (data[pos] & 0x7f);
            ++pos;
            ++continuation;
        }
        if (pos >= end) {
            // The contents end inside a sub-identifier: no final byte to add.
            status = ReadStatus::BadContents;
            if (tracing(o))
                trace(QStringLiteral("\terror: asn1: can not decode object identifier\n"));
            break;
        }
        if (continuation == 4) {
            status = ReadStatus::BadContents;
            if (tracing(o))
                trace(QStringLiteral("\terror: asn1: can not decode object identifier\n"));
            ++pos; // skipped, not added
        } else {
            value = value * 128 + (data[pos] & 0x7f);
            ++pos;
        }
        *out++ = '.';
        out = putNumber(out, value);
    }
    text = QByteArray(dotted, out - dotted);
    if (o.status)
        *o.status = status;
    return true;
}

} // namespace velquor::asn1
