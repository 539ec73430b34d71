#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

namespace velquor {

// printf-style text cut to limit - 1 bytes, like a fixed C buffer of limit
// bytes; a cut is reported on stdout with "error string too long\n".
QString boundedVFormat(int limit, const char *format, va_list ap);
QString boundedFormat(int limit, const char *format, ...) __attribute__((format(printf, 2, 3)));

// "%02d:%02d:%02d:%03d"; hours keep counting past 24.
QString timestampText(quint32 ms);

// 0 received, 2 sent, anything else empty.
const char *directionName(int direction);
inline QString directionText(int direction) { return QString::fromLatin1(directionName(direction)); }

// Text built piece by piece without QString: the text forms, which
// velquor-check writes by the hundred thousand, go through it. Held as
// UTF-8; toString() gives the QString, toLatin1() the 8-bit text of a log
// file (a text that is all ASCII, as nearly every one is, is not converted).
class TextBuffer
{
public:
    TextBuffer() = default;
    TextBuffer(const TextBuffer &) = delete;
    TextBuffer &operator=(const TextBuffer &) = delete;
    ~TextBuffer() { std::free(m_data); }

    void reserve(qsizetype n)
    {
        if (size_t(n) > m_capacity)
            grow(size_t(n) - m_size);
    }
    void clear()
    {
        m_size = 0;
        m_ascii = true;
    }
    qsizetype size() const { return qsizetype(m_size); }
    bool isEmpty() const { return m_size == 0; }
    bool endsWith(char c) const { return m_size && m_data[m_size - 1] == c; }
    bool isAscii() const { return m_ascii; }
    const char *data() const { return m_data ? m_data : ""; }

    // ASCII text. Inline, so a literal's length and copy are known at compile time.
    TextBuffer &operator<<(const char *s)
    {
        append(s, qsizetype(std::strlen(s)));
        return *this;
    }
    TextBuffer &operator<<(char c)
    {
        if (m_size == m_capacity)
            grow(1);
        m_data[m_size++] = c;
        return *this;
    }
    TextBuffer &operator<<(const QString &s);
    void append(const char *s, qsizetype n)
    {
        if (n <= 0)
            return;
        if (m_size + size_t(n) > m_capacity)
            grow(size_t(n));
        std::memcpy(m_data + m_size, s, size_t(n));
        m_size += size_t(n);
    }
    // Bytes as Latin-1 characters, one each.
    void appendLatin1(QByteArrayView bytes);

    // "%u", "%d".
    void appendNumber(quint64 value);
    void appendNumber(qint64 value);
    void appendNumber(quint32 value) { appendNumber(quint64(value)); }
    void appendNumber(int value) { appendNumber(qint64(value)); }
    // "%5u" is appendPadded(v, 5, ' '), "%03u" appendPadded(v, 3, '0').
    void appendPadded(quint64 value, int width, char fill);
    // digits hexadecimal digits, zero-padded ("%02X" is appendHex(v, 2, true)).
    void appendHex(quint64 value, int digits, bool upper)
    {
        if (digits == 2 && value < 0x100)
            appendHexByte(quint8(value), upper);
        else
            appendHexDigits(value, digits, upper);
    }
    // "%02x" / "%02X".
    void appendHexByte(quint8 byte, bool upper)
    {
        const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        const char pair[2] = {digits[byte >> 4], digits[byte & 0x0F]};
        append(pair, 2);
    }
    // format with "%d" conversions only (and "%%"), one int each in turn:
    // the labels of hex dump rows, which appendf would make costly.
    void appendNumbers(const char *format, int first, int second = 0);
    // printf, for the rare piece the calls above do not cover.
    void appendf(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Blanks until the text since start is width characters long.
    void padFrom(qsizetype start, int width);

    QString toString() const;
    QByteArray toLatin1() const;

private:
    void grow(size_t more);
    void appendHexDigits(quint64 value, int digits, bool upper);

    char *m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    bool m_ascii = true;
};

// Bytes as hexadecimal digit pairs, each after prefix, separated by separator:
// ("0D 0E", " ", "") or ("0xAA 0xBB", " ", "0x") or ("AABB", "", "").
void appendHexRun(TextBuffer &out, QByteArrayView bytes, bool upper, const char *separator = " ",
                  const char *prefix = "");

// Layout of a hex dump: rows of rowBytes bytes, each row a label and its
// bytes. Every hex dump and every block of unknown data of the forms and the
// trace is one of these.
struct HexLayout
{
    enum ByteStyle : quint8 {
        BlankBefore,  // " 0a"
        BlankAfter,   // "0a "
        BlankBetween, // "0a 0b"
    };
    enum RowCount : quint8 {
        AsNeeded,            // no row without bytes
        AtLeastOne,          // a label for no bytes at all
        LabelAfterFullRows,  // a label-only row after the last full row
    };

    const char *header = "";  // before the rows; a "%d" in it takes the byte count
    int rowBytes = 16;
    const char *label = "";   // printf format: the row's first offset, that plus labelSpan
    int labelSpan = 15;
    int labelWidth = 0;       // the label padded with blanks to this many characters
    ByteStyle byteStyle = BlankBefore;
    bool upper = false;
    int groupBytes = 0;       // one more blank between groups of this many bytes of a row
    const char *rowSeparator = "";
    const char *rowEnd = "";
    const char *footer = "";
    RowCount rowCount = AsNeeded;
};

// The dump of bytes; firstOffset is the offset the first label names.
void appendHexDump(TextBuffer &out, QByteArrayView bytes, const HexLayout &layout, int firstOffset = 0);
QString hexDumpString(QByteArrayView bytes, const HexLayout &layout, int firstOffset = 0);
// The rows alone, as (label, bytes) pairs: lines of a view, rows of a tree.
std::vector<std::pair<QString, QString>> hexDumpRows(QByteArrayView bytes, const HexLayout &layout,
                                                     int firstOffset = 0);

// The layouts shared by more than one form.
namespace hexlayout {
// Plain record, text form: "\tHex Dump:\n\t0 - 4:  01 02 03 04\n\t4 - 8:  05\n".
inline constexpr HexLayout PlainText{.header = "\tHex Dump:\n", .rowBytes = 4, .label = "\t%d - %d: ", .labelSpan = 4,
                                     .rowEnd = "\n", .rowCount = HexLayout::LabelAfterFullRows};
// Plain record, detail view: one line per row, "0 - 4:\t 01 02 03 04".
inline constexpr HexLayout PlainView{.rowBytes = 4, .label = "%d - %d:\t", .labelSpan = 4,
                                     .rowCount = HexLayout::LabelAfterFullRows};
// " Packet Hex Dump (size %d):" that ends the PET and RMCP text forms.
inline constexpr HexLayout PacketDump{.header = " Packet Hex Dump (size %d):\n ----", .label = "\n    %d - %d:",
                                      .labelWidth = 15, .groupBytes = 4, .footer = "\n ----\n"};
} // namespace hexlayout

// Hex dump of a plain record, four bytes a line. Walks count bytes but never
// past the end of data.
QString hexDumpText(const QByteArray &data, int count);
// The same dump as the paragraphs of the detail view.
QStringList hexDumpViewLines(const QByteArray &data, int count);

// A code table: codes and their names, unsorted, the first match wins.
struct CodeName
{
    int code;
    const char *text;
};
using CodeTable = std::span<const CodeName>;

// The name of code in table, or fallback.
inline const char *codeName(CodeTable table, int code, const char *fallback)
{
    for (const CodeName &entry : table) {
        if (entry.code == code)
            return entry.text;
    }
    return fallback;
}

} // namespace velquor
