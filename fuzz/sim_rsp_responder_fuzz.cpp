// The simulator's secure port over any sequence of datagrams. A session is
// opened first by a console scripted here, so that the input also reaches
// an open session: each piece of input is a datagram sent as it is, or
// (by its first byte) its rest wrapped with the session's SIDm, a sequence
// number from the input and good integrity data. Properties: nothing is
// read outside a datagram (each lives in a buffer of exactly its size);
// every answer is well formed (a bypass answer an RMCP/ASF message; a
// secured one carries an open session's SIDc, a consistent trailer and
// integrity data that the session's key confirms); at most four answers to
// a datagram; never more sessions than the bound.

#include "core/randomsource.h"
#include "core/trace.h"
#include "fuzzcheck.h"
#include "rsp/rsphmac.h"
#include "sim/rspresponder.h"

#include <QtEndian>
#include <memory>

using namespace velquor;
using velquor::fuzz::ByteReader;
using velquor::sim::Outgoing;
using velquor::sim::RspConfig;
using velquor::sim::RspResponder;

namespace {

QByteArray be32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

QByteArray hmac(const QByteArray &key, const QByteArray &data)
{
    rsp::QtHmac h;
    return rsp::hmacSha1(h, key, {data}).value;
}

QByteArray bypass(quint8 type, quint8 tag, const QByteArray &data)
{
    return QByteArray(8, '\0') + QByteArray::fromHex("06000006000011be") + char(type) + char(tag) + char(0)
           + char(data.size()) + data;
}

struct Opened
{
    QByteArray sidm = QByteArray::fromHex("00001234"), sidc, sik;
};

// The console's side of a creation, by hand; the session's values.
Opened open(RspResponder &r, const RspConfig &c)
{
    Opened o;
    r.receive(bypass(0x80, 1, {}));
    const std::vector<Outgoing> open = r.receive(bypass(0x83, 2, o.sidm + QByteArray::fromHex("01000008010000000200000801000000")));
    FUZZ_CHECK(open.size() == 2 && open[1].bytes.size() == 48);
    o.sidc = open[1].bytes.mid(28, 4);
    const QByteArray rm(16, '\x42'), name("fuzz");
    const std::vector<Outgoing> rakp2 =
        r.receive(bypass(0xc0, 3, o.sidc + rm + char(1) + QByteArray(2, '\0') + char(name.size()) + name));
    FUZZ_CHECK(rakp2.size() == 2 && rakp2[1].bytes.size() == 80 && rakp2[1].bytes[20] == '\0');
    rsp::KeyExchange kx;
    kx.sidm = o.sidm;
    kx.sidc = o.sidc;
    kx.rm = rm;
    kx.rc = rakp2[1].bytes.mid(28, 16);
    kx.guidc = rakp2[1].bytes.mid(44, 16);
    kx.rolem = 1;
    kx.uname = name;
    rsp::QtHmac h;
    FUZZ_CHECK(rakp2[1].bytes.mid(60, 20) == rsp::rakp2Hash(h, c.administratorKey, kx).value);
    o.sik = rsp::sessionIntegrityKey(h, c.generatorKey, kx).value;
    const QByteArray code = rsp::rakp3Code(h, c.administratorKey, kx).value;
    r.receive(bypass(0xc2, 4, QByteArray(4, '\0') + o.sidc + code));
    FUZZ_CHECK(r.sessionsOpen() == 1);
    return o;
}

void checkAnswer(const Outgoing &a, const Opened &o, bool sessionAlive)
{
    const QByteArray &d = a.bytes;
    FUZZ_CHECK(d.size() >= 12, QString::fromLatin1(d.toHex()));
    FUZZ_CHECK(d[8] == '\x06' && (quint8(d[11]) & 0x7f) == 6, QString::fromLatin1(d.toHex()));
    if (qFromBigEndian<quint32>(d.constData()) == 0)
        return;
    // Secured: the only session it can belong to is the one opened here
    // (the input cannot complete a creation of its own without the keys).
    FUZZ_CHECK(sessionAlive && d.first(4) == o.sidc, QString::fromLatin1(d.toHex()));
    FUZZ_CHECK(d.size() >= 26 && (d.size() - 12) % 4 == 0);
    const int pad = quint8(d[d.size() - 14]);
    FUZZ_CHECK(pad <= 3 && d[d.size() - 13] == '\x06' && d.size() - 22 - pad >= 4);
    FUZZ_CHECK(d.last(12) == hmac(o.sik, d.first(d.size() - 12)).left(12));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setTraceEnabled(false);
    RspConfig c;
    c.enabled = true;
    c.administratorKey = QByteArray(20, '\x3e');
    c.generatorKey = QByteArray(20, '\x5d');
    SeededRandomSource random(7);
    RspResponder r(c, nullptr, &random);
    const Opened o = open(r, c);
    bool alive = true;

    ByteReader in(data, size);
    for (int n = 0; n < 64 && !in.atEnd(); ++n) {
        const uint8_t how = in.byte();
        const size_t length = in.byte() % 64;
        QByteArray piece;
        for (size_t i = 0; i < length && !in.atEnd(); ++i)
            piece += char(in.byte());
        if (how & 1) {
            // Wrapped with the session's values and trailer.
            piece = o.sidm + be32(how >> 1) + piece;
            const int pad = (4 - (piece.size() + 2) % 4) % 4;
            piece += QByteArray(pad, '\0') + char(pad) + char(6);
            piece += hmac(o.sik, piece).left(12);
        }
        // Exactly the datagram's size, on the heap, for ASan.
        auto exact = std::make_unique<char[]>(size_t(piece.size()) + (piece.isEmpty() ? 1 : 0));
        std::copy(piece.cbegin(), piece.cend(), exact.get());
        const std::vector<Outgoing> answers = r.receive(QByteArrayView(exact.get(), piece.size()));
        FUZZ_CHECK(answers.size() <= 4);
        for (const Outgoing &a : answers)
            checkAnswer(a, o, alive);
        alive = r.sessionsOpen() > 0 && alive;
        FUZZ_CHECK(r.sessionsOpen() + r.sessionsInCreation() <= RspResponder::MaxSessions);
        FUZZ_CHECK(!r.lastDescription().isEmpty());
    }
    return 0;
}
