#include "rsp/rsphmac.h"

#include <QMessageAuthenticationCode>

namespace velquor::rsp {

struct QtHmac::Private
{
    QMessageAuthenticationCode mac{QCryptographicHash::Sha1};
};

QtHmac::QtHmac() : d(std::make_unique<Private>()) {}
QtHmac::~QtHmac() = default;

bool QtHmac::init(QByteArrayView key)
{
    d->mac.setKey(key.toByteArray());
    return true;
}

void QtHmac::add(QByteArrayView data)
{
    d->mac.addData(data.data(), data.size());
}

bool QtHmac::end(QByteArray &result)
{
    result = d->mac.result();
    return true;
}

HashResult hmacSha1(Hmac &hmac, QByteArrayView key, std::initializer_list<QByteArrayView> pieces)
{
    HashResult r;
    if (!hmac.init(key)) {
        r.outcome = HashResult::InitFailed;
        return r;
    }
    for (QByteArrayView piece : pieces)
        hmac.add(piece);
    if (!hmac.end(r.value) || r.value.size() != HashSize) {
        r.outcome = HashResult::EndFailed;
        r.value.clear();
    }
    return r;
}

bool sameBytes(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

namespace {

QByteArray roleAndName(const KeyExchange &kx)
{
    QByteArray out;
    out.append(char(kx.rolem));
    out.append(char(quint8(kx.uname.size())));
    out.append(kx.uname);
    return out;
}

} // namespace

HashResult rakp2Hash(Hmac &hmac, QByteArrayView roleKey, const KeyExchange &kx)
{
    return hmacSha1(hmac, roleKey, {kx.sidm, kx.sidc, kx.rm, kx.rc, kx.guidc, roleAndName(kx)});
}

HashResult sessionIntegrityKey(Hmac &hmac, QByteArrayView generatorKey, const KeyExchange &kx)
{
    return hmacSha1(hmac, generatorKey, {kx.rm, kx.rc, roleAndName(kx)});
}

HashResult rakp3Code(Hmac &hmac, QByteArrayView roleKey, const KeyExchange &kx)
{
    return hmacSha1(hmac, roleKey, {kx.rc, kx.sidm, roleAndName(kx)});
}

} // namespace velquor::rsp
