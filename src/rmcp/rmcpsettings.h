#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace velquor::rmcp {

// Bytes typed as hex text (data strings, the RSP pad, keys): pairs of hex
// digits with blanks, tabs, CR or LF between the pairs. A lone digit at the
// very end is ignored, and reading stops after maxBytes bytes (the rest of
// the text is not looked at). Any other character, or a blank inside a
// pair, makes the whole text invalid: no value.
std::optional<QByteArray> readHexText(QStringView text, int maxBytes);

// A managed client's address as typed: four decimal numbers 0..255 joined
// by dots, or an IPv6 address; nothing around it. Shorthands the system
// resolver would accept ("10.1", "16909060") are refused: the tester must
// see the address that is used.
std::optional<QHostAddress> parseIpAddress(QStringView text);

constexpr quint16 PlainRmcpPort = 623;
constexpr quint16 SecureRmcpPort = 664;
constexpr int KeyBytes = 20;

enum RspRole { OperatorRole = 0, AdministratorRole = 1 };
enum KeyIndex { OperatorKey = 0, AdministratorKey = 1, GeneratorKey = 2 };

// The three RSP keys read from their texts for a session in role.
struct KeyTranslation
{
    std::array<QByteArray, 3> keys;
    std::array<bool, 3> valid{true, true, true};
    // The role's own key and the Generator Key must be valid; the other
    // role's key is then just empty.
    bool ok = true;
};

// An RMCP page's configuration as one value: what its dialog's fields
// hold, as typed. The page, the dialog and scripts fill it; the handler
// reads its numbers when it takes the settings over (applyConfig) and the
// connection its address, port and RSP part when it connects.
struct RmcpSettings
{
    QString address;
    int portIndex = 0; // 0: 623, otherwise 664
    QString responseTime = QStringLiteral("2000");
    bool retransmissionOn = false;
    QString repeats = QStringLiteral("3");
    bool rspOn = false;
    int role = AdministratorRole;
    QString name;
    QString operatorKey = QStringLiteral("7c7c7c7c 7c7c7c7c 7c7c7c7c 7c7c7c7c 7c7c7c7c");
    QString administratorKey = QStringLiteral("3E3E3E3E 3E3E3E3E 3E3E3E3E 3E3E3E3E 3E3E3E3E");
    QString generatorKey = QStringLiteral("5D5D5D5D 5D5D5D5D 5D5D5D5D 5D5D5D5D 5D5D5D5D");

    quint16 port() const { return portIndex == 0 ? PlainRmcpPort : SecureRmcpPort; }
    std::optional<QHostAddress> clientAddress() const { return parseIpAddress(address); }
    // The response time in ms and the repeat count as decimal numbers; 0
    // for a text that is none (applyConfig refuses a time below 1 ms and a
    // negative count).
    int responseTimeMs() const;
    int repeatCount() const;
    KeyTranslation translateKeys() const;

    bool operator==(const RmcpSettings &other) const = default;
};

} // namespace velquor::rmcp
