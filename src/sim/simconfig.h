#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Settings of the managed-client simulator: where it listens, how it
// answers (and which faults it puts into its answers), and which traps it
// sends. Defaults make a correct client.
namespace velquor::sim {

// How the answers to RMCP/ASF requests go wrong on purpose.
struct ResponderConfig
{
    enum class SequenceFault { None, Skip, Repeat };
    enum class LengthFault { None, Size, Type };

    bool acknowledge = true;   // acknowledge requests with a sequence number below 255
    int ackDelayMs = 0;        // acknowledges leave this late
    int responseDelayMs = 0;   // responses leave this late
    bool responseFirst = false; // the response before the acknowledge
    bool wrongTag = false;     // responses carry another tag than the request's
    SequenceFault sequenceFault = SequenceFault::None; // every second own message
    quint32 ianaEnterpriseNr = 4542; // in the ASF header of responses
    LengthFault lengthFault = LengthFault::None;
    int dropFirst = 0;         // requests ignored altogether before the first answer
    bool twice = false;        // every answer sent twice
    quint8 systemState = 0;    // at start: S0 / G0 working
};

// The secure port: keys, identity and the faults of its sessions.
struct RspConfig
{
    bool enabled = false;
    quint16 port = 664;
    QByteArray operatorKey, administratorKey, generatorKey; // up to 20 bytes each
    QByteArray guid = QByteArray(16, '\0');
    QStringList users;         // user names accepted; empty: any
    quint8 openStatus = 0;     // Status Code of every Open Session Response
    quint8 rakpStatus = 0;     // ... of every RAKP Message 2
    quint8 closeStatus = 0;    // ... of every Close Session Response
    bool wrongHash = false;    // RAKP Message 2 with a wrong key-exchange hash
    bool wrongSidm = false;    // Open Session Response and RAKP Message 2 with another SIDm
    bool badIntegrity = false; // secured answers with wrong integrity data
    bool replay = false;       // every secured answer sent twice, same sequence number
    bool stale = false;        // every second secured answer 32 numbers behind
    bool noAck = false;        // acknowledge nothing on the secure port
};

// Which traps go out, and how they go wrong on purpose.
struct TrapConfig
{
    bool enabled = false;
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 162;
    quint32 heartbeatIntervalMs = 600000; // 0: no heartbeats; the first one after one interval
    int missHeartbeats = 0;               // leave out every n-th heartbeat (0: none)
    int alerts = 0;                       // alerts sent from the start, one per alert period
    quint32 alertPeriodMs = 10000;
    int alertRetransmissions = 2;         // sends after the first, same number and bytes
    quint32 alertSpacingMs = 1000;        // between the sends of one alert
    bool changedRetransmissions = false;  // retransmissions with other bytes
    bool malformed = false;               // a wrong PDU type in every trap
    bool truncated = false;               // every trap cut short
};

struct SimConfig
{
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 623;
    bool verbose = false;
    ResponderConfig responder;
    RspConfig rsp;
    TrapConfig traps;
};

// The outcome of reading the command line: a configuration, the help text
// wanted, or what was wrong with the arguments.
struct ParsedArguments
{
    SimConfig config;
    bool help = false;
    QString error; // empty when the arguments were good
};

// Reads the arguments after the program name.
ParsedArguments parseArguments(const QStringList &arguments);
QString usageText();

} // namespace velquor::sim
