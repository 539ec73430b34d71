// velquor-check --rmcp / --rsp: each datagram becomes a received RMCP record
// checked as the workbench checks it; no request tracking.

#include "rmcp/asfrmcppacket.h"
#include "checker.h"
#include "rmcp/rmcplayout.h"

namespace velquor {

namespace {

constexpr quint16 RmcpPort = 623;
constexpr quint16 RspPort = 664;

class RmcpChecker : public DatagramChecker
{
public:
    RmcpChecker(RecordSink &sink, int defaultProtocolType) : m_sink(sink), m_defaultType(defaultProtocolType) {}

    bool accepts(const UdpDatagram &d) const override { return protocolTypeOf(d) != 0; }

    void datagram(const UdpDatagram &d, quint32 ms) override
    {
        // Hex input has no ports: the option decides.
        const bool fromCapture = d.sourcePort != 0 || d.destinationPort != 0;
        const int type = fromCapture ? protocolTypeOf(d) : m_defaultType;
        if (type == 0)
            return;
        auto packet = std::make_unique<ASF_RMCP_Packet>(ms);
        packet->setProtocolType(type);
        packet->setProtocol(type == rmcp::ProtocolRmcpRsp ? QStringLiteral("RMCP/RSP") : QStringLiteral("RMCP"));
        packet->setDirection(ASF_Packet::Received);
        packet->setData(d.payload);
        m_sink.record(std::move(packet));
    }

private:
    // The destination port decides first, so a console's request and the
    // client's answer (from the same well-known port) are read alike.
    static int protocolTypeOf(const UdpDatagram &d)
    {
        for (quint16 port : {d.destinationPort, d.sourcePort}) {
            if (port == RmcpPort)
                return rmcp::ProtocolRmcp;
            if (port == RspPort)
                return rmcp::ProtocolRmcpRsp;
        }
        return 0;
    }

    RecordSink &m_sink;
    int m_defaultType;
};

} // namespace

std::unique_ptr<DatagramChecker> makeRmcpChecker(RecordSink &sink, int protocolType)
{
    return std::make_unique<RmcpChecker>(sink, protocolType);
}

} // namespace velquor
