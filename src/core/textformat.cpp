#include "core/textformat.h"

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
    if (needed >= limit) {
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

QString padded(const QString &s, int width)
{
    return s.size() >= width ? s : s + QString(width - s.size(), QLatin1Char(' '));
}

// --- TextBuffer ------------------------------------------------------------

TextBuffer &TextBuffer::operator<<(const QString &s)
{
    for (QChar c : s) {
        if (c.unicode() >= 0x80) {
            const QByteArray utf8 = s.toUtf8();
            m_text.append(utf8.constData(), size_t(utf8.size()));
            m_ascii = false;
            return *this;
        }
    }
    m_text.reserve(m_text.size() + size_t(s.size()));
    for (QChar c : s)
        m_text.push_back(char(c.unicode()));
    return *this;
}

void TextBuffer::appendLatin1(QByteArrayView bytes)
{
    for (char ch : bytes) {
        const auto b = quint8(ch);
        if (b < 0x80) {
            m_text.push_back(ch);
        } else {
            m_text.push_back(char(0xC0 | (b >> 6)));
            m_text.push_back(char(0x80 | (b & 0x3F)));
            m_ascii = false;
        }
    }
}

void TextBuffer::appendNumber(quint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    m_text.append(digits, size_t(end - digits));
}

void TextBuffer::appendNumber(qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    m_text.append(digits, size_t(end - digits));
}

void TextBuffer::appendHex(quint64 value, int digits, bool upper)
{
    const char *set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char text[16];
    digits = qBound(1, digits, 16);
    for (int i = digits - 1; i >= 0; --i) {
        text[i] = set[value & 0x0F];
        value >>= 4;
    }
    m_text.append(text, size_t(digits));
}

void TextBuffer::appendf(const char *format, ...)
{
    const size_t start = m_text.size();
    char small[256];
    va_list ap;
    va_start(ap, format);
    va_list copy;
    va_copy(copy, ap);
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed >= 0 && size_t(needed) < sizeof small) {
        m_text.append(small, size_t(needed));
    } else if (needed > 0) {
        std::vector<char> big(size_t(needed) + 1);
        std::vsnprintf(big.data(), big.size(), format, ap);
        m_text.append(big.data(), size_t(needed));
    }
    va_end(ap);
    for (size_t i = start; i < m_text.size() && m_ascii; ++i)
        m_ascii = quint8(m_text[i]) < 0x80;
}

void TextBuffer::padFrom(qsizetype start, int width)
{
    const qsizetype have = size() - start;
    if (have < width)
        m_text.append(size_t(width - have), ' ');
}

QString TextBuffer::toString() const
{
    return m_ascii ? QString::fromLatin1(m_text.data(), qsizetype(m_text.size()))
                   : QString::fromUtf8(m_text.data(), qsizetype(m_text.size()));
}

QByteArray TextBuffer::toLatin1() const
{
    if (m_ascii)
        return QByteArray(m_text.data(), qsizetype(m_text.size()));
    return toString().toLatin1();
}

// --- hex dumps --------------------------------------------------------------

void appendHexRun(TextBuffer &out, QByteArrayView bytes, bool upper, const char *separator, const char *prefix)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i)
            out << separator;
        out << prefix;
        out.appendHex(quint8(bytes[i]), 2, upper);
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
    out.appendf(l.label, first, first + l.labelSpan);
    out.padFrom(start, l.labelWidth);
}

void appendRowBytes(TextBuffer &out, QByteArrayView row, const HexLayout &l)
{
    for (qsizetype column = 0; column < row.size(); ++column) {
        const bool groupStart = l.groupBytes && column % l.groupBytes == 0 && column > 0;
        const bool groupEnd = l.groupBytes && (column + 1) % l.groupBytes == 0;
        switch (l.byteStyle) {
        case HexLayout::BlankBefore:
            if (groupStart)
                out << ' ';
            out << ' ';
            out.appendHex(quint8(row[column]), 2, l.upper);
            break;
        case HexLayout::BlankAfter:
            out.appendHex(quint8(row[column]), 2, l.upper);
            out << ' ';
            if (groupEnd)
                out << ' ';
            break;
        case HexLayout::BlankBetween:
            if (column)
                out << (groupStart ? "  " : " ");
            out.appendHex(quint8(row[column]), 2, l.upper);
            break;
        }
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
    out.appendf(l.header, int(bytes.size()));
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
