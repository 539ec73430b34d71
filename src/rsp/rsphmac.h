#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <initializer_list>
#include <memory>

namespace velquor::rsp {

// HMAC-SHA1 as the session uses it: start with a key, feed the pieces, take
// the 20-byte result. Start and end may fail; the session reports each
// failure with its own text, so a test engine makes them fail on purpose.
class Hmac
{
public:
    virtual ~Hmac() = default;
    virtual bool init(QByteArrayView key) = 0;
    virtual void add(QByteArrayView data) = 0;
    virtual bool end(QByteArray &result) = 0;
};

// Over QMessageAuthenticationCode; never fails.
class QtHmac final : public Hmac
{
public:
    QtHmac();
    ~QtHmac() override;
    bool init(QByteArrayView key) override;
    void add(QByteArrayView data) override;
    bool end(QByteArray &result) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

constexpr int HashSize = 20;

struct HashResult
{
    enum Outcome { Ok, InitFailed, EndFailed };
    Outcome outcome = Ok;
    QByteArray value; // HashSize bytes when Ok
    bool ok() const { return outcome == Ok; }
};

HashResult hmacSha1(Hmac &hmac, QByteArrayView key, std::initializer_list<QByteArrayView> pieces);

// Equal sizes and bytes, looking at every byte whatever the first difference:
// the time taken tells nothing about how much of a code was right.
bool sameBytes(QByteArrayView a, QByteArrayView b);

// The values the key exchange hashes, as they stand in the messages.
struct KeyExchange
{
    QByteArray sidm = QByteArray(4, '\0');
    QByteArray sidc = QByteArray(4, '\0');
    QByteArray rm = QByteArray(16, '\0');
    QByteArray rc = QByteArray(16, '\0');
    QByteArray guidc = QByteArray(16, '\0');
    quint8 rolem = 0;
    QByteArray uname; // 0 to 16 bytes; its length is ULENGTHm
};

// The RAKP Message 2 hash (keyed with the role's key), the Session Integrity
// Key (keyed with the Generator Key) and the RAKP Message 3 code.
HashResult rakp2Hash(Hmac &hmac, QByteArrayView roleKey, const KeyExchange &kx);
HashResult sessionIntegrityKey(Hmac &hmac, QByteArrayView generatorKey, const KeyExchange &kx);
HashResult rakp3Code(Hmac &hmac, QByteArrayView roleKey, const KeyExchange &kx);

} // namespace velquor::rsp
