#include "rmcp/requesttracker.h"

#include "core/textformat.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcplayout.h"

namespace velquor::rmcp {

RmcpHeader rmcpHeaderOf(const ASF_RMCP_Packet &record)
{
    RmcpHeader h;
    const int o = messageOffset(record.protocolType());
    const QByteArrayView bytes = QByteArrayView(record.data()).first(record.dataSize());
    if (bytes.size() < o + RmcpHeaderSize)
        return h;
    h.whole = true;
    h.sequenceNr = quint8(bytes[o + 2]);
    h.acknowledge = quint8(bytes[o + 3]) & AcknowledgeBit;
    if (bytes.size() >= o + MessageHeaderSize)
        h.messageTag = quint8(bytes[o + 9]);
    return h;
}

RequestTracker::RequestTracker() = default;
RequestTracker::~RequestTracker() = default;

bool RequestTracker::start(const ASF_RMCP_Packet &sent)
{
    if (m_state != S_NONE)
        return false;
    const RmcpHeader h = rmcpHeaderOf(sent);
    if (!h.whole || h.acknowledge)
        return false;
    m_expectation = ExpectAcknowledge;
    if (h.sequenceNr == NoAcknowledgeSequenceNr) {
        m_expectedTag = h.messageTag;
        if (h.messageTag == NoResponseMessageTag) {
            m_state = S_NONE;
            m_expectation = ExpectNothing;
            return false;
        }
        m_state = S_WAIT_RESPONSE;
    } else if (h.messageTag != NoResponseMessageTag) {
        m_expectedTag = h.messageTag;
        m_state = S_WAIT_ACK_RESPONSE;
    } else {
        m_state = S_WAIT_ACK;
    }
    std::unique_ptr<ASF_Packet> copy = sent.clone();
    m_pending.reset(static_cast<ASF_RMCP_Packet *>(copy.release()));
    m_count = 0;
    m_sentTime = sent.timestamp();
    ++m_generation;
    return true;
}

void RequestTracker::stop()
{
    m_pending.reset();
    m_state = S_NONE;
    m_expectation = ExpectNothing;
    m_count = 0;
    ++m_generation;
}

void RequestTracker::reset()
{
    stop();
    m_expectedClientSeq = 0xFF;
    m_expectedTag = 0xFF;
}

void RequestTracker::sendFailed()
{
    m_expectedClientSeq = 0xFF;
    // The tracked request's response must still match.
    if (!tracking())
        m_expectedTag = 0xFF;
}

bool RequestTracker::received(ASF_RMCP_Packet &record)
{
    bool acknowledgeDue = false;
    const RmcpHeader h = rmcpHeaderOf(record);
    if (!h.whole) {
        // No sequence number to follow and no header to acknowledge.
        record.setError();
        record.appendInfo(QStringLiteral("error: datagram shorter than an RMCP header"));
    } else if (!h.acknowledge) {
        const quint8 seq = h.sequenceNr;
        if (seq == NoAcknowledgeSequenceNr) {
            record.setWarning();
            record.appendInfo(QStringLiteral("Sequence Nr. is 255, no Acknowledge"));
        }
        if (m_expectedClientSeq != 0xFF && m_expectedClientSeq != seq) {
            record.setWarning();
            record.appendInfo(QStringLiteral("warning: wrong sequence #"));
            record.fields().setFieldStatus(FieldId::SequenceNr, ASF_PACKET_WARNING,
                                           QString::asprintf("expected %d", m_expectedClientSeq));
            m_expectedClientSeq = seq;
        }
        if (m_expectedClientSeq == 0xFF)
            m_expectedClientSeq = seq;
        m_expectedClientSeq = quint8(m_expectedClientSeq + 1);
        acknowledgeDue = seq != NoAcknowledgeSequenceNr;
    }
    judge(record);
    return acknowledgeDue;
}

void RequestTracker::judge(ASF_RMCP_Packet &record)
{
    const RmcpFields &f = record.fields();
    const auto outOfState = [&record](const char *text) {
        record.setError();
        record.appendInfo(QLatin1String(text));
    };
    const auto pendingTime = [this] { return m_pending ? m_pending->timestamp() : m_sentTime; };
    switch (m_state) {
    case S_NONE:
        outOfState("Out of state packet, not expecting anything");
        break;
    case S_WAIT_ACK:
        if (!f.isAcknowledge) {
            outOfState("Out of state packet");
            break;
        }
        record.appendInfo(QStringLiteral("Ack for packet sent at ") + timestampText(pendingTime()));
        stop();
        break;
    case S_WAIT_RESPONSE:
        if (!f.isResponse) {
            outOfState("Out of state packet");
            break;
        }
        record.appendInfo(QStringLiteral("Response for packet sent at ") + timestampText(m_sentTime));
        stop();
        break;
    case S_WAIT_ACK_RESPONSE:
        if (m_expectation == ExpectAcknowledge) {
            if (!f.isAcknowledge) {
                outOfState("Out of state packet, expecting acknowledge");
                break;
            }
            record.appendInfo(QStringLiteral("Ack for packet sent at ") + timestampText(pendingTime()));
            m_expectation = ExpectResponse;
        } else if (!f.isResponse) {
            outOfState("Out of state packet, expecting Response");
        } else if (f.messageTag == m_expectedTag) {
            record.appendInfo(QStringLiteral("Response for packet sent at %1").arg(pendingTime()));
            stop();
        } else {
            outOfState("Received Response but wrong message tag");
            record.fields().setFieldStatus(FieldId::MessageTag, ASF_PACKET_ERROR,
                                           QString::asprintf("expected 0x%02x", m_expectedTag));
        }
        break;
    }
}

RequestTracker::Step RequestTracker::tick(quint32 now)
{
    Step step;
    ++m_count;
    const bool forAcknowledge =
        m_state == S_WAIT_ACK || (m_state == S_WAIT_ACK_RESPONSE && m_expectation == ExpectAcknowledge);
    const bool forResponse =
        m_state == S_WAIT_RESPONSE || (m_state == S_WAIT_ACK_RESPONSE && m_expectation == ExpectResponse);
    if (!m_pending || !(forAcknowledge || forResponse)) {
        step.kind = Step::Stray;
        step.text = m_state == S_NONE ? QStringLiteral("Retransmission timer still running (state S_NONE)!")
                                      : QStringLiteral("Retransmission timer still running !");
        stop();
        return step;
    }
    m_pending->setTimestamp(now);
    const QString sent = timestampText(m_sentTime);
    const QLatin1String waitingFor = forAcknowledge ? QLatin1String("acknowledge") : QLatin1String("response");
    if (m_retransmissionOn && m_count <= m_maxRetransmissions) {
        step.kind = Step::Retransmit;
        step.text = QStringLiteral("Retransmission %1 for packet sent at %2; waiting for %3").arg(m_count).arg(sent, waitingFor);
        m_pending->setInfo(step.text);
        return step;
    }
    m_pending->setError();
    m_pending->setInfo(QStringLiteral("Packet sent at %1 FAILED (after %2 retransmissions), while waiting for %3")
                           .arg(sent)
                           .arg(m_count - 1)
                           .arg(waitingFor));
    step.kind = Step::Failed;
    step.record = pendingCopy();
    stop();
    return step;
}

std::unique_ptr<ASF_RMCP_Packet> RequestTracker::pendingCopy() const
{
    if (!m_pending)
        return nullptr;
    std::unique_ptr<ASF_Packet> copy = m_pending->clone();
    return std::unique_ptr<ASF_RMCP_Packet>(static_cast<ASF_RMCP_Packet *>(copy.release()));
}

std::unique_ptr<ASF_RMCP_Packet> RequestTracker::retransmitted(const ASF_RMCP_Packet &sent, bool ok,
                                                               quint64 generation)
{
    const auto marked = [&sent, ok] {
        std::unique_ptr<ASF_Packet> copy = sent.clone();
        if (ok)
            copy->setWarning();
        else
            copy->setError();
        return std::unique_ptr<ASF_RMCP_Packet>(static_cast<ASF_RMCP_Packet *>(copy.release()));
    };
    if (generation == m_generation && m_pending) {
        m_pending = marked();
        expectFromPending();
    }
    return marked();
}

void RequestTracker::expectFromPending()
{
    const RmcpHeader h = rmcpHeaderOf(*m_pending);
    if (h.sequenceNr != NoAcknowledgeSequenceNr)
        m_expectation = ExpectAcknowledge;
    else if (h.messageTag != NoResponseMessageTag)
        m_expectation = ExpectResponse;
}

} // namespace velquor::rmcp
