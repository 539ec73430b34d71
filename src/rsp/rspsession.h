#pragma once

#include "rsp/rsphmac.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <memory>

class ASF_RMCP_Packet;

namespace velquor::rsp {

// Phases of a session.
enum Phase { PhaseIdle, PhaseDiscovery, PhaseCreation, PhaseMsgTransfer, PhaseTermination, PhaseEnd };
// The message to send or await next while a session is created or closed.
enum MessageState {
    MsIdle,
    MsSendReq,
    MsWaitReqAck,
    MsWaitResp,
    MsSendRespAck,
    MsSendRakp1,
    MsWaitRakp1Ack,
    MsWaitRakp2,
    MsSendRakp2Ack,
    MsSendRakp3,
    MsWaitRakp3Ack,
    MsEnd,
};
// What sessionStatus() reports.
enum SessionStatus { StatusCreated, StatusCreationFailed, StatusClosed, StatusClosingFailed };

// Names in the trace; out-of-range values read "?".
const char *phaseName(int phase);
const char *messageStateName(int state);

constexpr int WindowSize = 32;     // sequence numbers a session remembers
constexpr int MaxWaitingMessages = 32; // received messages not yet fetched
constexpr int MaxKeySize = 20;
constexpr int MaxUserName = 16;

struct SessionSettings
{
    int role = 1; // 0 Operator, 1 Administrator
    QByteArray operatorKey, administratorKey, generatorKey; // cut to 20 bytes
    int timerPeriod = 0;                                    // ms; 0 or less: no time-out
    bool noAcknowledge = false; // own messages ask for no acknowledge (RMCP sequence number 255)
    QString userName;           // longer than 16 bytes: the empty name
};

// One session's identities, keys, counters and receive lists. The manager's
// steps read and write them; QRssp adds the timer.
class Session
{
public:
    explicit Session(const SessionSettings &settings);
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;
    virtual ~Session();

    quint32 sidm() const;
    quint32 sidc() const;
    // The key of the role asked for: Administrator Key when ROLEm is set.
    const QByteArray &roleKey() const { return kx.rolem ? administratorKey : operatorKey; }

    KeyExchange kx; // SIDm, SIDc (network order as on the wire), Rm, Rc, GUIDc, ROLEm, UNAMEm
    QByteArray operatorKey, administratorKey, generatorKey;
    QByteArray sik; // Session Integrity Key, once RAKP Message 2 matched
    int role = 1;
    int timerPeriod = 0;
    bool noAcknowledge = false;

    int phase = PhaseIdle;
    int phaseBeforeTermination = PhaseMsgTransfer;
    int status = StatusCreated;
    int retries = 3; // restarts of the creation left, plus one
    QString info;    // the last finding: a checked packet's info, or the time-out

    quint32 outgoingSequence = 0;        // incremented before each secured send
    quint8 expectedTag = 0;              // of the last request composed
    quint8 expectedRmcpSequence = 0xFF;  // from the client; 255: none yet
    bool peerWantsNoAck = false;         // the client's last message carried RMCP sequence number 255
    bool ackWritten = false;

    QByteArray received;                              // the datagram a step works on
    std::unique_ptr<ASF_RMCP_Packet> receivedPacket;  // its record, logged once by the step
    QByteArray lastSent;                              // request or acknowledge, for acknowledge checks

    std::deque<QByteArray> window;  // accepted datagrams inside the receive window
    std::deque<QByteArray> toFetch; // accepted messages waiting for recvMsg
    quint32 windowEnd = 0;          // highest sequence number accepted
};

} // namespace velquor::rsp
