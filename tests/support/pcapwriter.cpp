#include "support/pcapwriter.h"

#include <QtEndian>
#include <pcap/pcap.h>

namespace {

void put16(QByteArray &frame, int at, quint16 value) { qToBigEndian(value, frame.data() + at); }

quint16 ipv4Checksum(const QByteArray &frame, int at)
{
    quint32 sum = 0;
    for (int i = 0; i < 20; i += 2)
        sum += qFromBigEndian<quint16>(frame.constData() + at + i);
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return quint16(~sum);
}

QByteArray udpFrame(const CapturedUdp &d)
{
    const int udpLength = 8 + int(d.payload.size());
    QByteArray frame(14 + 20 + udpLength, '\0');
    // Ethernet: locally administered addresses, IPv4.
    const char macs[12] = {0x02, 0, 0, 0, 0, 0x02, 0x02, 0, 0, 0, 0, 0x01};
    frame.replace(0, 12, QByteArray(macs, 12));
    put16(frame, 12, 0x0800);
    // IPv4 192.168.0.1 -> 192.168.0.2, UDP.
    frame[14] = char(0x45);
    put16(frame, 16, quint16(20 + udpLength));
    frame[22] = char(64);
    frame[23] = char(17);
    const unsigned char addresses[8] = {192, 168, 0, 1, 192, 168, 0, 2};
    frame.replace(26, 8, QByteArray(reinterpret_cast<const char *>(addresses), 8));
    put16(frame, 24, ipv4Checksum(frame, 14));
    // UDP without checksum (0 = none for IPv4).
    put16(frame, 34, d.sourcePort);
    put16(frame, 36, d.destinationPort);
    put16(frame, 38, quint16(udpLength));
    frame.replace(42, d.payload.size(), d.payload);
    return frame;
}

} // namespace

bool writeUdpCapture(const QString &path, const std::vector<CapturedUdp> &datagrams, QString *error)
{
    pcap_t *dead = pcap_open_dead(DLT_EN10MB, 65535);
    if (!dead) {
        *error = QStringLiteral("pcap_open_dead failed");
        return false;
    }
    pcap_dumper_t *dumper = pcap_dump_open(dead, path.toLocal8Bit().constData());
    if (!dumper) {
        *error = QString::fromLocal8Bit(pcap_geterr(dead));
        pcap_close(dead);
        return false;
    }
    for (const CapturedUdp &d : datagrams) {
        const QByteArray frame = udpFrame(d);
        pcap_pkthdr header{};
        header.ts.tv_sec = d.timeMicros / 1000000;
        header.ts.tv_usec = d.timeMicros % 1000000;
        header.caplen = bpf_u_int32(frame.size());
        header.len = bpf_u_int32(frame.size());
        pcap_dump(reinterpret_cast<u_char *>(dumper), &header, reinterpret_cast<const u_char *>(frame.constData()));
    }
    pcap_dump_close(dumper);
    pcap_close(dead);
    return true;
}
