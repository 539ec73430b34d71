// --pet: each datagram runs the listener's receive path offline, with
// heartbeat checking off: the trap check, then the heartbeat rule or the
// sequence analysis. The listener's repeating timer is simulated on the
// capture's clock, so records that expire print their lines in time order.

#include "pet/asfpetpacket.h"
#include "checker.h"
#include "pet/petanalysis.h"
#include "pet/pettrace.h"
#include "core/trace.h"

namespace velquor {

namespace {

class PetChecker final : public DatagramChecker, private LogSink
{
public:
    explicit PetChecker(RecordSink &sink) : m_sink(sink), m_analysis(&m_clock, this)
    {
        m_period = m_analysis.timerPeriod();
        m_nextTick = quint64(m_period);
    }

    void advanceTo(quint32 ms) override
    {
        while (m_nextTick <= ms)
            tick();
    }

    void datagram(const UdpDatagram &datagram, quint32 ms) override
    {
        m_clock.setElapsed(ms);
        const QByteArray &bytes = datagram.payload;
        auto packet = std::make_unique<ASF_PET_Packet>(0);
        packet->setDirection(ASF_Packet::Received);
        packet->setTimestamp(ms);
        if (traceEnabled())
            trace(pet::incomingTraceText(bytes, int(bytes.size()), ms));
        packet->setData(bytes, int(bytes.size()));
        const pet::TrapFacts facts{ms, packet->data(), packet->sequenceNumber(), packet->isHeartbeat()};
        int retransmissions = packet->retransmissionCount();
        m_analysis.analyseReceived(*packet, facts, retransmissions);
        packet->setRetransmissionCount(retransmissions);
        m_sink.record(std::move(packet));
    }

    // Ticks on until every remembered trap has expired.
    void finishCapture() override
    {
        while (m_analysis.recordCount() != 0 && m_nextTick <= 0xffffffffULL)
            tick();
    }

private:
    void tick()
    {
        m_clock.setElapsed(quint32(m_nextTick));
        m_analysis.checkHeartbeatDue();
        m_analysis.expireRetransmissionRecords();
        m_nextTick += quint64(m_period);
    }

    void logLevel(int status, const QString &text) override
    {
        m_sink.record(ASF_LogPacket::fromText(m_clock.elapsed(), status, text));
    }

    RecordSink &m_sink;
    ManualLogClock m_clock;
    pet::PetAnalysis m_analysis;
    int m_period = pet::MaxTimerPeriod;
    quint64 m_nextTick = 0;
};

} // namespace

std::unique_ptr<DatagramChecker> makePetChecker(RecordSink &sink)
{
    return std::make_unique<PetChecker>(sink);
}

} // namespace velquor
