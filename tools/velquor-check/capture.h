#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace velquor {

// One UDP datagram of a capture file.
struct UdpDatagram
{
    qint64 timeMicros = 0; // capture time stamp
    quint16 sourcePort = 0;
    quint16 destinationPort = 0;
    QByteArray payload;
    bool truncated = false; // the capture holds fewer bytes than were sent
};

// Reads every UDP datagram (over IPv4 or IPv6, on Ethernet, Linux cooked,
// loopback or raw IP links) of a pcap or pcapng file, in file order. Returns
// false with a message in error when the file cannot be read.
bool readUdpDatagrams(const QString &fileName, const std::function<void(const UdpDatagram &)> &onDatagram,
                      QString *error);

// Extracts the UDP datagram from one captured frame of the given link type;
// false when the frame holds no (first-fragment) UDP datagram.
bool udpFromFrame(int linkType, const unsigned char *frame, size_t captured, size_t wireLength,
                  UdpDatagram *out);

} // namespace velquor
