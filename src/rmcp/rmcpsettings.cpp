#include "rmcp/rmcpsettings.h"

#include "core/hextext.h"

namespace velquor::rmcp {

namespace {

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

int decimal(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

std::optional<QByteArray> readHexText(QStringView text, int maxBytes)
{
    // The core reader knows blanks and tabs and wants whole pairs; cut the
    // text where reading stops and turn CR and LF into blanks first.
    QString cut;
    cut.reserve(text.size());
    qsizetype digits = 0;
    const qsizetype wanted = 2 * qsizetype(qMax(maxBytes, 0));
    for (qsizetype i = 0; i < text.size() && digits < wanted; ++i) {
        const QChar c = text[i];
        if (isHexDigit(c))
            ++digits;
        cut += (c == u'\r' || c == u'\n') ? QChar(u' ') : c;
    }
    if (digits % 2 && cut.size() == text.size() && isHexDigit(cut.back()))
        cut.chop(1);
    HexTextResult read = parseHexText(cut);
    if (!read.ok())
        return std::nullopt;
    return read.bytes;
}

std::optional<QHostAddress> parseIpAddress(QStringView text)
{
    if (text.contains(u':')) {
        // IPv6: hex digits, colons and the dots of an embedded IPv4 tail.
        for (QChar c : text) {
            if (!isHexDigit(c) && c != u':' && c != u'.')
                return std::nullopt;
        }
        QHostAddress address;
        if (!address.setAddress(text.toString()) || address.protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
        return address;
    }
    const QList<QStringView> parts = text.split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (QStringView part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return std::nullopt;
        int n = 0;
        for (QChar c : part) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            n = n * 10 + (c.unicode() - u'0');
        }
        if (n > 255)
            return std::nullopt;
        value = (value << 8) | quint32(n);
    }
    return QHostAddress(value);
}

int RmcpSettings::responseTimeMs() const
{
    return decimal(responseTime);
}

int RmcpSettings::repeatCount() const
{
    return decimal(repeats);
}

KeyTranslation RmcpSettings::translateKeys() const
{
    KeyTranslation t;
    const QString *texts[3] = {&operatorKey, &administratorKey, &generatorKey};
    for (int i = 0; i < 3; ++i) {
        const std::optional<QByteArray> key = readHexText(*texts[i], KeyBytes);
        t.valid[i] = key.has_value();
        t.keys[i] = key.value_or(QByteArray());
    }
    const int own = role == OperatorRole ? OperatorKey : AdministratorKey;
    t.ok = t.valid[own] && t.valid[GeneratorKey];
    return t;
}

} // namespace velquor::rmcp
