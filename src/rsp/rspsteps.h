#pragma once

// The steps of the session manager, shared by its source files.

#include "core/packetstatus.h"
#include "rmcp/rmcpfields.h"
#include "rsp/rspmachine.h"

#include <QString>
#include <optional>

class ASF_Packet;

namespace velquor::rsp {

struct RspMachine::Steps
{
    RspMachine &m;

    // Common parts.
    quint32 now() const;
    const char *phase(const Session &s) const { return phaseName(s.phase); }
    const char *state() const { return messageStateName(m.m_messageState); }
    void log(std::unique_ptr<ASF_Packet> packet);
    void logReceived(Session &s);
    void logLine(int status, const QString &text);
    void record(const QByteArray &message);
    void write(const QByteArray &datagram);
    void traceOutgoing(const QByteArray &datagram);
    bool sendMessage(Session &s, int type);
    void sendAck(Session &s);
    void advance(Session &s);
    bool awaits(const Session &s) const;
    void report(Session &s, int status);
    void mark(Session &s, rmcp::FieldId field, int fieldStatus, const QString &fieldText, const QString &info,
              int level = ASF_PACKET_ERROR);
    void badAcknowledge(Session &s);
    void outOfState(Session &s);

    // Phases.
    void reader(Session &s);
    void writer(Session &s);
    void discoveryReader(Session &s);
    void discoveryWriter(Session &s);
    void creationReader(Session &s);
    void creationWriter(Session &s);
    void creationErrorEnd(Session &s, const char *step);
    void messageTransferReader(Session &s);
    void terminationReader(Session &s);
    void terminationWriter(Session &s);
    void terminationErrorEnd(Session &s);

    // Messages (rspmessages.cpp).
    std::optional<QByteArray> compose(Session &s, int type);
    quint8 nextTag(Session &s);
    QByteArray newSidm();
    bool getMsg(Session &s, int size);
    bool acknowledgeMatches(const Session &s) const;
    bool checkHeader(Session &s);
    bool checkAsfHeader(Session &s, int type);
    bool checkData(Session &s, int type);
    bool checkMessage(Session &s, int type)
    {
        return checkHeader(s) && checkAsfHeader(s, type) && checkData(s, type);
    }

    // Secured transfer (rsptransfer.cpp).
    enum class Integrity { Good, Bad, HashFailed };
    Integrity checkIntegrity(const Session &s, QByteArrayView datagram, QByteArray &expected);
    void markIntegrity(Session &s, const QByteArray &expected);
    Session *lookup(ASF_RMCP_Packet *packet, Session *session, const char *caller);
};

// Trace lines of a refused hash step.
void traceHashFailure(HashResult::Outcome outcome);
// Hex digits of bytes, upper case, run together.
QString hexRun(QByteArrayView bytes);

} // namespace velquor::rsp
