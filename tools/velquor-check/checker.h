#pragma once

#include "capture.h"

#include <QString>
#include <memory>

class ASF_Packet;

namespace velquor {

// Receives the records a checker produces, in log order.
class RecordSink
{
public:
    virtual ~RecordSink() = default;
    virtual void record(std::unique_ptr<ASF_Packet> packet) = 0;
};

// Runs one protocol's receive path offline. The driver calls advanceTo()
// before each datagram and once more at the end of a capture, so timer-driven
// findings appear in time order.
class DatagramChecker
{
public:
    virtual ~DatagramChecker() = default;
    // Whether this checker takes the datagram (capture files may mix traffic).
    virtual bool accepts(const UdpDatagram &datagram) const { (void)datagram; return true; }
    virtual void advanceTo(quint32 ms) { (void)ms; }
    virtual void datagram(const UdpDatagram &datagram, quint32 ms) = 0;
    // End of a capture file: report what would still fall due.
    virtual void finishCapture() {}
};

// The checkers main() offers: --pet, --rmcp (protocol type 3), --rsp (4).
std::unique_ptr<DatagramChecker> makePetChecker(RecordSink &sink);
std::unique_ptr<DatagramChecker> makeRmcpChecker(RecordSink &sink, int protocolType);

} // namespace velquor
