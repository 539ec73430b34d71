// The hex-text parser over any text. Properties: it accepts exactly the
// texts of the form blanks, then pairs of hex digits each followed by
// blanks (an independent pattern); what it accepts round-trips (the bytes
// written as hex are the text's digits, and read back give the same bytes);
// what it refuses is refused for a fault found at the position it names.

#include "core/hextext.h"
#include "fuzzcheck.h"

#include <QRegularExpression>

using namespace velquor;

namespace {

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte picks how the rest becomes text, so both 8-bit and
    // UTF-8 inputs reach the parser.
    if (size == 0)
        return 0;
    const char *rest = reinterpret_cast<const char *>(data + 1);
    const QString text = data[0] & 1 ? QString::fromUtf8(rest, qsizetype(size - 1))
                                     : QString::fromLatin1(rest, qsizetype(size - 1));
    static const QRegularExpression pairs(QStringLiteral("\\A[ \\t]*(?:[0-9A-Fa-f]{2}[ \\t]*)*\\z"));
    const HexTextResult r = parseHexText(text);
    FUZZ_CHECK(r.ok() == pairs.match(text).hasMatch(), text);

    if (r.ok()) {
        QString digits;
        for (QChar c : text) {
            if (!isBlank(c))
                digits += c.toLower();
        }
        FUZZ_CHECK(QString::fromLatin1(r.bytes.toHex()) == digits, text);
        const HexTextResult again = parseHexText(QString::fromLatin1(r.bytes.toHex(' ')));
        FUZZ_CHECK(again.ok() && again.bytes == r.bytes, text);
        FUZZ_CHECK(r.position == -1);
        return 0;
    }
    FUZZ_CHECK(r.bytes.isEmpty());
    qsizetype digitsBefore = 0;
    for (qsizetype i = 0; i < r.position && i < text.size(); ++i)
        digitsBefore += isHexDigit(text[i]);
    switch (r.fault) {
    case HexTextResult::BadCharacter:
        FUZZ_CHECK(r.position >= 0 && r.position < text.size(), text);
        FUZZ_CHECK(!isHexDigit(text[r.position]) && !isBlank(text[r.position]), text);
        break;
    case HexTextResult::OddDigits:
        FUZZ_CHECK(r.position == text.size() && digitsBefore % 2 == 1, text);
        break;
    case HexTextResult::SplitPair:
        FUZZ_CHECK(r.position >= 0 && r.position < text.size(), text);
        FUZZ_CHECK(isBlank(text[r.position]) && digitsBefore % 2 == 1, text);
        break;
    case HexTextResult::None:
        FUZZ_CHECK(false, QStringLiteral("refused without a fault"));
    }
    return 0;
}
