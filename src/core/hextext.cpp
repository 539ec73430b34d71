#include "core/hextext.h"

namespace velquor {

namespace {

int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

HexTextResult parseHexText(QStringView text)
{
    HexTextResult result;
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    qsizetype digits = 0;
    qsizetype badAt = -1, splitAt = -1;
    int high = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const int v = digitValue(c);
        if (v >= 0) {
            if (digits % 2 == 0)
                high = v;
            else
                bytes.append(char((high << 4) | v));
            ++digits;
        } else if (isBlank(c)) {
            if (digits % 2 != 0 && splitAt < 0)
                splitAt = i;
        } else if (badAt < 0) {
            badAt = i;
        }
    }
    if (badAt >= 0) {
        result.fault = HexTextResult::BadCharacter;
        result.position = badAt;
    } else if (digits % 2 != 0) {
        result.fault = HexTextResult::OddDigits;
        result.position = text.size();
    } else if (splitAt >= 0) {
        result.fault = HexTextResult::SplitPair;
        result.position = splitAt;
    } else {
        result.bytes = bytes;
    }
    return result;
}

} // namespace velquor
