#pragma once

#include "sim/simconfig.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

namespace velquor::sim {

// One datagram the simulator sends back.
struct Outgoing
{
    QByteArray bytes;
    int delayMs = 0;
    QString description; // "Presence Pong, seq 0, tag 7"
};

// The RMCP/ASF side of a managed client, without sockets: takes a datagram,
// returns the answers. Only messages with RMCP version 0x06 and the ASF class
// are taken; everything else (too short, another version or class) is passed
// over without an answer, as is the console's own acknowledge.
//
// A message with a sequence number below 255 is acknowledged (RMCP header
// 06 00 seq 86) as soon as its RMCP header is readable. The ASF part is
// acted on only when it is whole: IANA Enterprise Number 4542, Data Length
// equal to the bytes that follow and allowed for the message type. Presence
// Ping, Capabilities Request and System State Request get their response
// unless their message tag is 255 (no response wanted); the control
// requests change the simulated system state:
//   Reset                     a running system restarts (S0); one that is off stays off
//   Power-Up                  S0
//   Unconditional Power-Down  S5 / G2 soft-off
//   Power Cycle Reset         S0
// Responses carry the request's tag and the simulator's own sequence
// numbers, 0 to 254 and round again.
class RmcpResponder
{
public:
    explicit RmcpResponder(const ResponderConfig &config = {});

    // The answers to one datagram, in the order they are to leave (each
    // after its delay).
    std::vector<Outgoing> receive(QByteArrayView datagram);
    // What the last datagram was, for the verbose lines.
    const QString &lastDescription() const { return m_description; }

    quint8 systemState() const { return m_state; }
    int requestsTaken() const { return m_requests; }

    static bool isOff(quint8 state);

private:
    Outgoing response(quint8 type, quint8 tag, QByteArray data);
    quint8 takeSequenceNr();

    ResponderConfig m_config;
    quint8 m_state;
    quint8 m_lastSequenceNr = 0;
    int m_responses = 0;
    int m_requests = 0;
    QString m_description;
};

} // namespace velquor::sim
