#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>

class ASF_RMCP_Handler;
class ASF_RMCP_Packet;
// A session of an RSP manager; opaque to the RMCP library. The header that
// defines it should include this one, so every use of QRssp* as a signal
// argument sees the same declaration.
class QRssp;
Q_DECLARE_OPAQUE_POINTER(QRssp *)

namespace velquor::rmcp {

// Per-field overrides of the RSP header and trailer of one message, for
// negative tests. A flag says whether its value is the caller's.
struct RspOverrides
{
    bool sendTail = false;
    bool ownSessionID = false;
    quint32 sessionID = 0;
    bool ownRspSequenceNumber = false;
    quint32 rspSequenceNumber = 0;
    bool ownPad = false;
    QString pad;
    bool ownPadLength = false;
    quint8 padLength = 0;
    bool ownNextHeader = false;
    quint8 nextHeader = 0;
    bool falseIntegrityData = false;

    // Every part given: the handler builds the datagram without a session.
    bool complete() const
    {
        return ownSessionID && ownRspSequenceNumber && sendTail && ownPad && ownPadLength && ownNextHeader
               && falseIntegrityData;
    }
};

// What a session is started with.
struct RspSessionParameters
{
    int role = 1; // 0 Operator, 1 Administrator
    QByteArray operatorKey, administratorKey, generatorKey;
    int timerPeriod = 0; // ms; 0 or less: no time-out
    bool noAcknowledge = false;
    QString userName;
};

// What an RMCP page needs of the RSP manager towards its managed client
// (the RSP library's QRsp): starting and ending sessions, sending through
// them, fetching what they received, and its socket on the secure port. The
// RSP library implements it; the page's connection creates one through the
// factory below and drops it with deleteLater().
class RspManager : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~RspManager() override = default;

    // Whether the session is one of this manager's: a session pointer left
    // from a manager the page has dropped is not.
    virtual bool hasSession(QRssp *session) const = 0;
    // Starts a session from its Discovery phase: 0, or -1 while another is
    // still in creation. Its outcome comes as sessionStatus().
    virtual int initSession(const RspSessionParameters &parameters) = 0;
    // Starts the Close Session exchange; false for a session not in the list.
    virtual bool termSession(QRssp *session) = 0;
    // Wraps the record in the session's RSP header and trailer and writes
    // it; the record then holds the wrapped datagram (protocol type 4).
    // False when the message was not written.
    virtual bool sendMsg(ASF_RMCP_Packet *packet, QRssp *session) = 0;
    virtual bool sendMsg(ASF_RMCP_Packet *packet, QRssp *session, const RspOverrides &overrides) = 0;
    // The oldest message the session received and nobody fetched yet, RSP
    // header and trailer included; a null array when there is none.
    virtual QByteArray recvMsg(QRssp *session) = 0;
    // Writes bytes unchanged through the manager's socket: bytes written or -1.
    virtual qint64 writeRaw(const QByteArray &bytes) = 0;
    // The socket's code (0..9) for the last failed write.
    virtual int socketError() const = 0;

    // The session's status code (0 created, 1 creation failed, 2 closed,
    // 3 closing failed) and the info text that goes with it.
    virtual int sessionStatusCode(QRssp *session) const = 0;
    virtual QString sessionInfo(QRssp *session) const = 0;
    // The sequence number the session expects next from the client; the
    // page hands its own expectation over before a close.
    virtual quint8 sessionClientSequenceNumber(QRssp *session) const = 0;
    virtual void setSessionClientSequenceNumber(QRssp *session, quint8 number) = 0;
    // The session's response time-out; a running timer takes it at once.
    virtual void setSessionResponseTime(QRssp *session, int ms) = 0;

    // Silences the manager before it is handed to deleteLater(): nothing it
    // does from now on reaches anyone (its signals are disconnected).
    virtual void retire() { disconnect(this, nullptr, nullptr, nullptr); }

signals:
    void sessionStatus(QRssp *session);
    void msgReceived(QRssp *session);
};

// Creates the manager for the managed client at address, with parent as
// its parent and owner's logger for its error lines; null when RSP is not
// available.
using RspManagerFactory = std::function<RspManager *(const QHostAddress &address, ASF_RMCP_Handler *owner,
                                                     QObject *parent)>;

// The factory every page uses unless its connection is given another; the
// RSP library registers itself here. None by default.
void setDefaultRspManagerFactory(RspManagerFactory factory);
const RspManagerFactory &defaultRspManagerFactory();

} // namespace velquor::rmcp
