#include "capture.h"

#include <pcap/pcap.h>

#include <limits>

namespace velquor {

namespace {

quint16 be16(const unsigned char *p)
{
    return quint16((p[0] << 8) | p[1]);
}

// Points at the network-layer header of a frame and tells its version
// (4 or 6), or returns nullptr.
const unsigned char *networkHeader(int linkType, const unsigned char *frame, size_t captured, size_t *offset)
{
    size_t o = 0;
    quint16 etherType = 0;
    switch (linkType) {
    case DLT_EN10MB:
        if (captured < 14)
            return nullptr;
        etherType = be16(frame + 12);
        o = 14;
        while ((etherType == 0x8100 || etherType == 0x88a8) && captured >= o + 4) { // VLAN tags
            etherType = be16(frame + o + 2);
            o += 4;
        }
        break;
    case DLT_LINUX_SLL:
        if (captured < 16)
            return nullptr;
        etherType = be16(frame + 14);
        o = 16;
        break;
#ifdef DLT_LINUX_SLL2
    case DLT_LINUX_SLL2:
        if (captured < 20)
            return nullptr;
        etherType = be16(frame);
        o = 20;
        break;
#endif
    case DLT_NULL:
    case DLT_LOOP:
        if (captured < 4)
            return nullptr;
        o = 4; // address family; the IP version byte below tells the rest
        break;
    case DLT_RAW:
#ifdef DLT_IPV4
    case DLT_IPV4:
    case DLT_IPV6:
#endif
        o = 0;
        break;
    default:
        return nullptr;
    }
    if (etherType != 0 && etherType != 0x0800 && etherType != 0x86dd)
        return nullptr;
    if (o >= captured)
        return nullptr;
    *offset = o;
    return frame + o;
}

} // namespace

bool udpFromFrame(int linkType, const unsigned char *frame, size_t captured, size_t wireLength, UdpDatagram *out)
{
    size_t o = 0;
    const unsigned char *ip = networkHeader(linkType, frame, captured, &o);
    if (!ip)
        return false;
    const size_t avail = captured - o;
    const int version = ip[0] >> 4;
    size_t udpOffset = 0;
    if (version == 4) {
        if (avail < 20)
            return false;
        const size_t ihl = size_t(ip[0] & 0x0f) * 4;
        if (ihl < 20 || avail < ihl || ip[9] != 17)
            return false;
        const quint16 fragment = be16(ip + 6);
        if ((fragment & 0x1fff) != 0) // not the first fragment: no UDP header here
            return false;
        udpOffset = ihl;
    } else if (version == 6) {
        if (avail < 40 || ip[6] != 17)
            return false;
        udpOffset = 40;
    } else {
        return false;
    }
    if (avail < udpOffset + 8)
        return false;
    const unsigned char *udp = ip + udpOffset;
    out->sourcePort = be16(udp);
    out->destinationPort = be16(udp + 2);
    const size_t udpLength = be16(udp + 4);
    const size_t payloadLength = udpLength >= 8 ? udpLength - 8 : 0;
    const size_t present = avail - udpOffset - 8;
    const size_t take = qMin(payloadLength, present);
    out->payload = QByteArray(reinterpret_cast<const char *>(udp + 8), qsizetype(take));
    out->payloadOffset = o + udpOffset + 8;
    out->truncated = take < payloadLength || captured < wireLength;
    return true;
}

qint64 captureTimeMicros(qint64 seconds, qint64 microseconds)
{
    constexpr qint64 Max = std::numeric_limits<qint64>::max();
    constexpr qint64 Min = std::numeric_limits<qint64>::min();
    qint64 micros = 0;
    if (__builtin_mul_overflow(seconds, qint64(1000000), &micros))
        return seconds < 0 ? Min : Max;
    qint64 sum = 0;
    if (__builtin_add_overflow(micros, microseconds, &sum))
        return microseconds < 0 ? Min : Max;
    return sum;
}

quint32 CaptureClock::elapsed(qint64 timeMicros)
{
    if (!m_first)
        m_first = timeMicros;
    if (timeMicros <= *m_first)
        return 0;
    // The difference of two signed 64-bit counts always fits unsigned.
    const quint64 ms = (quint64(timeMicros) - quint64(*m_first)) / 1000;
    return quint32(qMin<quint64>(ms, 0xffffffffULL));
}

namespace {

bool readCapture(pcap_t *pcap, const std::function<void(const UdpDatagram &, const CaptureFrame &)> &onDatagram,
                 QString *error)
{
    const int linkType = pcap_datalink(pcap);
    // Classic pcap files keep the seconds as an unsigned 32-bit field
    // (good until 2106), which the library hands on sign-extended from 2038
    // on; pcapng files (major version 1) have 64-bit time stamps.
    const bool classic = pcap_major_version(pcap) >= 2;
    pcap_pkthdr *header = nullptr;
    const u_char *bytes = nullptr;
    int rc;
    while ((rc = pcap_next_ex(pcap, &header, &bytes)) == 1) {
        const qint64 seconds = classic ? qint64(quint32(header->ts.tv_sec)) : qint64(header->ts.tv_sec);
        const CaptureFrame frame{linkType, bytes, header->caplen, header->len, seconds, qint64(header->ts.tv_usec)};
        UdpDatagram datagram;
        if (!udpFromFrame(linkType, frame.bytes, frame.captured, frame.wireLength, &datagram))
            continue;
        datagram.timeMicros = captureTimeMicros(frame.seconds, frame.microseconds);
        onDatagram(datagram, frame);
    }
    const bool ok = rc == PCAP_ERROR_BREAK; // end of file
    if (!ok && error)
        *error = QString::fromLocal8Bit(pcap_geterr(pcap));
    pcap_close(pcap);
    return ok;
}

} // namespace

bool readUdpDatagrams(const QString &fileName, const std::function<void(const UdpDatagram &)> &onDatagram,
                      QString *error)
{
    char errbuf[PCAP_ERRBUF_SIZE] = {0};
    pcap_t *pcap = pcap_open_offline_with_tstamp_precision(fileName.toLocal8Bit().constData(),
                                                           PCAP_TSTAMP_PRECISION_MICRO, errbuf);
    if (!pcap) {
        if (error)
            *error = QString::fromLocal8Bit(errbuf);
        return false;
    }
    return readCapture(pcap, [&](const UdpDatagram &datagram, const CaptureFrame &) { onDatagram(datagram); }, error);
}

bool readUdpDatagrams(FILE *stream,
                      const std::function<void(const UdpDatagram &, const CaptureFrame &)> &onDatagram,
                      QString *error)
{
    char errbuf[PCAP_ERRBUF_SIZE] = {0};
    pcap_t *pcap = pcap_fopen_offline_with_tstamp_precision(stream, PCAP_TSTAMP_PRECISION_MICRO, errbuf);
    if (!pcap) {
        std::fclose(stream); // the library closes it only once it has taken it
        if (error)
            *error = QString::fromLocal8Bit(errbuf);
        return false;
    }
    return readCapture(pcap, onDatagram, error);
}

} // namespace velquor
