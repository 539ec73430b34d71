#include "core/textformat.h"

#include "core/trace.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace velquor {

QString boundedVFormat(int limit, const char *format, va_list ap)
{
    std::vector<char> buffer(size_t(qMax(limit, 1)));
    va_list copy;
    va_copy(copy, ap);
    const int needed = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (needed < 0)
        return QString();
    if (needed >= limit && !traceSilenced()) {
        std::fputs("error string too long\n", stdout);
        std::fflush(stdout);
    }
    // vsnprintf already cut the text to limit - 1 bytes.
    return QString::fromUtf8(buffer.data());
}

QString boundedFormat(int limit, const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    const QString text = boundedVFormat(limit, format, ap);
    va_end(ap);
    return text;
}

QString timestampText(quint32 t)
{
    // Every row and trace line shows one; snprintf into a small buffer is
    // several times cheaper than QString::asprintf.
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%02u:%02u:%02u:%03u", t / 3600000u, (t % 3600000u) / 60000u,
                                (t % 60000u) / 1000u, t % 1000u);
    return QString::fromLatin1(text, n);
}

const char *directionName(int direction)
{
    switch (direction) {
    case 0:
        return "received";
    case 2:
        return "sent";
    default:
        return "";
    }
}

// --- TextBuffer ------------------------------------------------------------

void TextBuffer::grow(size_t more)
{
    const size_t capacity = qMax(qMax(m_capacity * 2, m_size + more), size_t(256));
    auto *data = static_cast<char *>(std::realloc(m_data, capacity));
    if (!data)
        qFatal("TextBuffer: out of memory");
    m_data = data;
    m_capacity = capacity;
}

TextBuffer &TextBuffer::operator<<(const QString &s)
{
    for (QChar c : s) {
        if (c.unicode() >= 0x80) {
            const QByteArray utf8 = s.toUtf8();
            append(utf8.constData(), utf8.size());
            m_ascii = false;
            return *this;
        }
    }
    reserve(size() + s.size());
    for (QChar c : s)
        m_data[m_size++] = char(c.unicode());
    return *this;
}

void TextBuffer::appendLatin1(QByteArrayView bytes)
{
    reserve(size() + 2 * bytes.size());
    for (char ch : bytes) {
        const auto b = quint8(ch);
        if (b < 0x80) {
            m_data[m_size++] = ch;
        } else {
            m_data[m_size++] = char(0xC0 | (b >> 6));
            m_data[m_size++] = char(0x80 | (b & 0x3F));
            m_ascii = false;
        }
    }
}

void TextBuffer::appendNumber(quint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    append(digits, end - digits);
}

void TextBuffer::appendNumber(qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    append(digits, end - digits);
}

void TextBuffer::appendHexDigits(quint64 value, int digits, bool upper)
{
    const char *set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char text[16];
    digits = digits < 1 ? 1 : digits > 16 ? 16 : digits;
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[i] = set[value & 0x0F];
    append(text, digits);
}

void TextBuffer::appendPadded(quint64 value, int width, char fill)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const int n = int(end - digits);
    for (int i = n; i < width; ++i)
        *this << fill;
    append(digits, n);
}

void TextBuffer::appendNumbers(const char *format, int first, int second)
{
    const int values[2] = {first, second};
    int next = 0;
    const char *run = format;
    for (const char *p = format; *p; ++p) {
        if (p[0] != '%')
            continue;
        append(run, p - run);
        if (p[1] == 'd' && next < 2) {
            appendNumber(values[next++]);
        } else if (p[1] == '%') {
            *this << '%';
        } else {
            // Not a "%d": printf takes the rest.
            appendf(p, next < 2 ? values[next] : 0, next < 1 ? values[1] : 0);
            return;
        }
        run = p + 2;
        ++p;
    }
    *this << run;
}

void TextBuffer::appendf(const char *format, ...)
{
    const size_t start = m_size;
    char small[256];
    va_list ap;
    va_start(ap, format);
    va_list copy;
    va_copy(copy, ap);
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed >= 0 && size_t(needed) < sizeof small) {
        append(small, needed);
    } else if (needed > 0) {
        std::vector<char> big(size_t(needed) + 1);
        std::vsnprintf(big.data(), big.size(), format, ap);
        append(big.data(), needed);
    }
    va_end(ap);
    for (size_t i = start; i < m_size && m_ascii; ++i)
        m_ascii = quint8(m_data[i]) < 0x80;
}

void TextBuffer::padFrom(qsizetype start, int width)
{
    for (qsizetype have = size() - start; have < width; ++have)
        *this << ' ';
}

QString TextBuffer::toString() const
{
    return m_ascii ? QString::fromLatin1(data(), size()) : QString::fromUtf8(data(), size());
}

QByteArray TextBuffer::toLatin1() const
{
    if (m_ascii)
        return QByteArray(data(), size());
    return toString().toLatin1();
}

// --- hex dumps --------------------------------------------------------------

void appendHexRun(TextBuffer &out, QByteArrayView bytes, bool upper, const char *separator, const char *prefix)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i)
            out << separator;
        out << prefix;
        out.appendHexByte(quint8(bytes[i]), upper);
    }
}

namespace {

int rowCount(qsizetype n, const HexLayout &l)
{
    const int rows = int((n + l.rowBytes - 1) / l.rowBytes);
    switch (l.rowCount) {
    case HexLayout::AtLeastOne:
        return qMax(rows, 1);
    case HexLayout::LabelAfterFullRows:
        return int(n / l.rowBytes) + 1;
    case HexLayout::AsNeeded:
        break;
    }
    return rows;
}

void appendLabel(TextBuffer &out, const HexLayout &l, int first)
{
    const qsizetype start = out.size();
    out.appendNumbers(l.label, first, first + l.labelSpan);
    out.padFrom(start, l.labelWidth);
}

// Byte b as two hexadecimal digits.
struct HexPairs
{
    char lower[256][2], upper[256][2];
    HexPairs()
    {
        for (int b = 0; b < 256; ++b) {
            lower[b][0] = "0123456789abcdef"[b >> 4];
            lower[b][1] = "0123456789abcdef"[b & 0x0F];
            upper[b][0] = "0123456789ABCDEF"[b >> 4];
            upper[b][1] = "0123456789ABCDEF"[b & 0x0F];
        }
    }
};
const HexPairs hexPairs;

// One row's bytes, built in place and appended at once: dumps are most of
// what velquor-check prints.
void appendRowBytes(TextBuffer &out, QByteArrayView row, const HexLayout &l)
{
    // Locals: the stores into text may alias anything, l included.
    const char(*const pairs)[2] = l.upper ? hexPairs.upper : hexPairs.lower;
    const int group = l.groupBytes;
    const HexLayout::ByteStyle style = l.byteStyle;
    const auto *bytes = reinterpret_cast<const quint8 *>(row.data());
    const qsizetype n = row.size();
    char text[512];
    qsizetype column = 0;
    int inGroup = 0; // bytes of the current group so far
    while (column < n) {
        char *p = text;
        // Five characters a byte at most; flush before the buffer can run over.
        const qsizetype stop = qMin(n, column + qsizetype(sizeof text) / 5);
        for (; column < stop; ++column) {
            const quint8 b = bytes[column];
            if (style == HexLayout::BlankAfter) {
                *p++ = pairs[b][0];
                *p++ = pairs[b][1];
                *p++ = ' ';
                if (++inGroup == group) {
                    *p++ = ' ';
                    inGroup = 0;
                }
                continue;
            }
            if (style == HexLayout::BlankBefore || column) {
                if (inGroup == group && column) {
                    *p++ = ' ';
                    inGroup = 0;
                }
                *p++ = ' ';
            }
            *p++ = pairs[b][0];
            *p++ = pairs[b][1];
            ++inGroup;
        }
        out.append(text, p - text);
    }
}

QByteArrayView rowAt(QByteArrayView bytes, const HexLayout &l, int row)
{
    const qsizetype first = qsizetype(row) * l.rowBytes;
    if (first >= bytes.size())
        return QByteArrayView();
    return bytes.sliced(first, qMin<qsizetype>(l.rowBytes, bytes.size() - first));
}

} // namespace

void appendHexDump(TextBuffer &out, QByteArrayView bytes, const HexLayout &l, int firstOffset)
{
    out.appendNumbers(l.header, int(bytes.size()));
    const int rows = rowCount(bytes.size(), l);
    for (int r = 0; r < rows; ++r) {
        if (r)
            out << l.rowSeparator;
        appendLabel(out, l, firstOffset + r * l.rowBytes);
        appendRowBytes(out, rowAt(bytes, l, r), l);
        out << l.rowEnd;
    }
    out << l.footer;
}

QString hexDumpString(QByteArrayView bytes, const HexLayout &layout, int firstOffset)
{
    TextBuffer out;
    appendHexDump(out, bytes, layout, firstOffset);
    return out.toString();
}

std::vector<std::pair<QString, QString>> hexDumpRows(QByteArrayView bytes, const HexLayout &l, int firstOffset)
{
    std::vector<std::pair<QString, QString>> rows;
    const int count = rowCount(bytes.size(), l);
    for (int r = 0; r < count; ++r) {
        TextBuffer label, row;
        appendLabel(label, l, firstOffset + r * l.rowBytes);
        appendRowBytes(row, rowAt(bytes, l, r), l);
        rows.emplace_back(label.toString(), row.toString());
    }
    return rows;
}

static QByteArrayView walked(const QByteArray &data, int count)
{
    return QByteArrayView(data).first(qBound(0, count, int(data.size())));
}

QString hexDumpText(const QByteArray &data, int count)
{
    return hexDumpString(walked(data, count), hexlayout::PlainText);
}

QStringList hexDumpViewLines(const QByteArray &data, int count)
{
    QStringList lines;
    for (const auto &[label, bytes] : hexDumpRows(walked(data, count), hexlayout::PlainView))
        lines << label + bytes;
    return lines;
}

} // namespace velquor
