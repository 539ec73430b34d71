#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

class ASF_RMCP_Packet;

namespace velquor::rmcp {

// Tracking states: what the console waits for after a request.
enum TrackingState {
    S_NONE = 0,
    S_WAIT_ACK = 2,
    S_WAIT_RESPONSE = 3,
    S_WAIT_ACK_RESPONSE = 4,
};
// In S_WAIT_ACK_RESPONSE: which of the two comes next.
enum Expectation { ExpectNothing = 0, ExpectAcknowledge = 1, ExpectResponse = 2 };

// The RMCP header bytes of a datagram that tracking and acknowledging read,
// found behind the RSP header for protocol type 4. whole is false when the
// datagram ends before the RMCP header does; the message tag is 0xFF when
// it ends before the ASF message header does.
struct RmcpHeader
{
    bool whole = false;
    bool acknowledge = false;
    quint8 sequenceNr = 0;
    quint8 messageTag = 0xFF;
};
RmcpHeader rmcpHeaderOf(const ASF_RMCP_Packet &record);

// One request tracked at a time until its acknowledge and response have
// come, retransmitted on every tick of the handler's timer, and the
// client's own sequence numbers. Widget- and timer-free: the handler calls
// start() after a send, received() for each received record and tick() on
// each timer period, and does what they return. Times are ms on the shared
// log clock.
class RequestTracker
{
public:
    RequestTracker();
    ~RequestTracker();

    int state() const { return m_state; }
    int expectation() const { return m_expectation; }
    bool tracking() const { return m_state != S_NONE; }
    int retransmissionCount() const { return m_count; }
    quint32 sentTime() const { return m_sentTime; }
    quint8 expectedMessageTag() const { return m_expectedTag; }
    const ASF_RMCP_Packet *pending() const { return m_pending.get(); }
    // Changes whenever tracking starts or stops: code that sent or logged in
    // between can tell whether it still deals with the same request.
    quint64 generation() const { return m_generation; }

    quint8 expectedClientSequenceNumber() const { return m_expectedClientSeq; }
    void setExpectedClientSequenceNumber(quint8 number) { m_expectedClientSeq = number; }

    bool retransmissionOn() const { return m_retransmissionOn; }
    int maxRetransmissions() const { return m_maxRetransmissions; }
    void setRetransmissionOn(bool on) { m_retransmissionOn = on; }
    void setMaxRetransmissions(int count) { m_maxRetransmissions = count; }

    // A request went out: tracks it unless one is tracked already or it is
    // an acknowledge, or it wants neither acknowledge nor response. True
    // when tracking started (the handler starts its timer).
    bool start(const ASF_RMCP_Packet &sent);
    // Ends the tracking (stopTracking).
    void stop();
    // The log was cleared: no tracking, no expectations.
    void reset();
    // A send failed: nothing is expected of the client any more. The
    // expected message tag of a request still tracked stays.
    void sendFailed();

    // Judges a received record against the client's numbering and the
    // tracked request; marks it. True when an acknowledge is due.
    bool received(ASF_RMCP_Packet &record);

    // What a timer tick asks of the handler.
    struct Step
    {
        enum Kind {
            Nothing,
            Retransmit, // send pendingCopy() again; text is its trace and its info
            Failed,     // record (marked) goes to the log; tracking has stopped
            Stray,      // the log gets text as an error line; tracking has stopped
        };
        Kind kind = Nothing;
        QString text;
        std::unique_ptr<ASF_RMCP_Packet> record;
    };
    Step tick(quint32 now);
    // For Retransmit: a copy of the pending request to send, its info
    // already the retransmission text.
    std::unique_ptr<ASF_RMCP_Packet> pendingCopy() const;
    // The copy was sent (ok) or not: marks it, takes it as the pending
    // request if the same tracking still runs, and returns a copy for the log.
    std::unique_ptr<ASF_RMCP_Packet> retransmitted(const ASF_RMCP_Packet &sent, bool ok, quint64 generation);

private:
    void judge(ASF_RMCP_Packet &record);
    void expectFromPending();

    int m_state = S_NONE;
    int m_expectation = ExpectNothing;
    std::unique_ptr<ASF_RMCP_Packet> m_pending;
    int m_count = 0;
    quint32 m_sentTime = 0;
    quint8 m_expectedTag = 0xFF;
    quint8 m_expectedClientSeq = 0xFF;
    bool m_retransmissionOn = false;
    int m_maxRetransmissions = 3;
    quint64 m_generation = 0;
};

} // namespace velquor::rmcp
