// The capture reader over any file: pcap and pcapng of every link type it
// takes. Properties: no frame is read outside its captured bytes (each is
// parsed again from a copy of exactly that size), a payload lies inside its
// frame and is the frame's bytes there, an untruncated payload has the
// length its UDP header gives, and times follow the exact arithmetic.

#include "capture.h"
#include "fuzzcheck.h"

#include <QtEndian>
#include <cstring>
#include <memory>

using namespace velquor;

namespace {

__int128 clampToInt64(__int128 v)
{
    const __int128 max = std::numeric_limits<qint64>::max(), min = std::numeric_limits<qint64>::min();
    return v > max ? max : v < min ? min : v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0; // fmemopen wants at least one byte
    FILE *stream = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!stream)
        return 0;
    CaptureClock clock;
    bool haveFirst = false;
    qint64 first = 0;
    readUdpDatagrams(stream, [&](const UdpDatagram &d, const CaptureFrame &frame) {
        // Again from a copy of exactly the captured bytes: a read past them
        // is a heap overflow the sanitizer reports.
        std::unique_ptr<unsigned char[]> exact(new unsigned char[frame.captured]);
        if (frame.captured)
            std::memcpy(exact.get(), frame.bytes, frame.captured);
        UdpDatagram again;
        FUZZ_CHECK(udpFromFrame(frame.linkType, exact.get(), frame.captured, frame.wireLength, &again));
        FUZZ_CHECK(again.payload == d.payload && again.payloadOffset == d.payloadOffset
                   && again.sourcePort == d.sourcePort && again.destinationPort == d.destinationPort
                   && again.truncated == d.truncated);

        FUZZ_CHECK(d.payloadOffset >= 8 && d.payloadOffset + size_t(d.payload.size()) <= frame.captured,
                   QStringLiteral("payload at %1 + %2, frame %3").arg(d.payloadOffset).arg(d.payload.size()).arg(frame.captured));
        FUZZ_CHECK(std::memcmp(frame.bytes + d.payloadOffset, d.payload.constData(), size_t(d.payload.size())) == 0);
        const unsigned char *udp = frame.bytes + d.payloadOffset - 8;
        FUZZ_CHECK(qFromBigEndian<quint16>(udp) == d.sourcePort && qFromBigEndian<quint16>(udp + 2) == d.destinationPort);
        const int udpLength = qFromBigEndian<quint16>(udp + 4);
        if (!d.truncated)
            FUZZ_CHECK(d.payload.size() == qMax(0, udpLength - 8) && frame.captured >= frame.wireLength);
        else
            FUZZ_CHECK(d.payload.size() < udpLength - 8 || frame.captured < frame.wireLength);

        const __int128 exactMicros = __int128(frame.seconds) * 1000000 + frame.microseconds;
        FUZZ_CHECK(d.timeMicros == clampToInt64(exactMicros));
        if (!haveFirst) {
            haveFirst = true;
            first = d.timeMicros;
        }
        const __int128 since = (__int128(d.timeMicros) - first) / 1000;
        const quint32 expected = since <= 0 ? 0 : since > 0xffffffff ? 0xffffffffu : quint32(since);
        FUZZ_CHECK(clock.elapsed(d.timeMicros) == expected);
    }, nullptr);
    return 0;
}
