#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <functional>
#include <optional>

namespace velquor {

// One UDP datagram of a capture file.
struct UdpDatagram
{
    qint64 timeMicros = 0; // capture time stamp, see captureTimeMicros()
    quint16 sourcePort = 0;
    quint16 destinationPort = 0;
    QByteArray payload;
    bool truncated = false; // the capture holds fewer bytes than were sent
    size_t payloadOffset = 0; // where the payload starts in its frame
};

// One captured frame as the file holds it, with its time stamp as the
// library read it (classic pcap seconds already taken unsigned).
struct CaptureFrame
{
    int linkType = 0;
    const unsigned char *bytes = nullptr;
    size_t captured = 0;
    size_t wireLength = 0;
    qint64 seconds = 0;
    qint64 microseconds = 0;
};

// Reads every UDP datagram (over IPv4 or IPv6, on Ethernet, Linux cooked,
// loopback or raw IP links) of a pcap or pcapng file, in file order. Returns
// false with a message in error when the file cannot be read.
bool readUdpDatagrams(const QString &fileName, const std::function<void(const UdpDatagram &)> &onDatagram,
                      QString *error);
// The same from an open stream, which it closes; each datagram comes with
// the frame it was taken from.
bool readUdpDatagrams(FILE *stream,
                      const std::function<void(const UdpDatagram &, const CaptureFrame &)> &onDatagram,
                      QString *error);

// Extracts the UDP datagram from one captured frame of the given link type;
// false when the frame holds no (first-fragment) UDP datagram.
bool udpFromFrame(int linkType, const unsigned char *frame, size_t captured, size_t wireLength,
                  UdpDatagram *out);

// A capture time stamp as microseconds since 1970 in a signed 64-bit count.
// Time stamps outside that range (about 292000 years either side of 1970;
// pcapng interface offsets can put them there) are clamped to its ends.
// The microseconds need not be below one second.
qint64 captureTimeMicros(qint64 seconds, qint64 microseconds);

// Time on the log clock for the datagrams of one capture: milliseconds since
// its first datagram, whatever the sign of that datagram's time. A datagram
// stamped before the first is at 0; the clock stops at its end, 2^32 - 1 ms
// (about 49.7 days) after the first.
class CaptureClock
{
public:
    quint32 elapsed(qint64 timeMicros);

private:
    std::optional<qint64> m_first;
};

} // namespace velquor
