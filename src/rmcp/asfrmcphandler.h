#pragma once

#include "core/datagramsocket.h"
#include "core/logclock.h"
#include "rmcp/requesttracker.h"
#include "rmcp/rmcpsettings.h"
#include "rmcp/rsplink.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <memory>

class ASF_Logger;
class ASF_RMCP_Packet;
class QTimer;

namespace velquor::rmcp {
class RmcpConnection;
}

// The console end of one RMCP page, without widgets: it composes RMCP/ASF
// messages and sends them plainly, raw through the secure port or inside
// the RSP session; reads, checks, acknowledges and logs the client's
// answers; and tracks each request with retransmission. It owns the page's
// log, its retransmission timer, its configuration (what the page's dialog
// shows) and its connection (which opens the sockets and the RSP manager
// and hands them over). Panels, dialogs and scripts drive it through the
// slots and accessors below; time comes from the shared log clock.
class ASF_RMCP_Handler : public QObject
{
    Q_OBJECT

public:
    // How a message is sent.
    enum RMCP_RspSendType {
        RSP_NONE = 0,    // the bytes as they are
        RSP_SESSION = 1, // inside the RSP session (plainly while RSP is not used)
        RSP_GENERIC = 2, // with an RSP header and trailer whose parts the caller may give
    };
    Q_ENUM(RMCP_RspSendType)

    explicit ASF_RMCP_Handler(velquor::LogClock *clock, QObject *parent = nullptr, const char *name = "RMCP1");
    ~ASF_RMCP_Handler() override;

    ASF_Logger *logger() const { return m_logger.get(); }
    velquor::rmcp::RmcpConnection *connection() const { return m_connection; }
    velquor::LogClock *clock() const { return m_clock; }

    // --- what scripts read and set --------------------------------------------
    bool isConnected() const;
    // The last sequence number and message tag chosen automatically; the
    // next automatic one follows it (255 is never chosen).
    quint8 consoleSequenceNumber() const { return m_consoleSeq; }
    void setConsoleSequenceNumber(quint8 number) { m_consoleSeq = number; }
    quint8 consoleMessageTag() const { return m_consoleTag; }
    void setConsoleMessageTag(quint8 tag) { m_consoleTag = tag; }
    // The sequence number expected next from the client; 255: none.
    quint8 expectedClientSequenceNumber() const { return m_tracker.expectedClientSequenceNumber(); }
    void setExpectedClientSequenceNumber(quint8 number) { m_tracker.setExpectedClientSequenceNumber(number); }
    QHostAddress clientAddress() const { return m_address; }
    quint16 port() const { return m_port; }
    void setClient(const QHostAddress &address, quint16 port);
    void setPort(quint16 port);
    int clientResponseTime() const { return m_responseTime; }
    int maxRetransmissions() const { return m_tracker.maxRetransmissions(); }
    bool retransmissionOn() const { return m_tracker.retransmissionOn(); }
    // Timer ticks of the tracked request so far.
    int retransmissionCount() const { return m_tracker.retransmissionCount(); }
    bool useRsp() const { return m_useRsp; }
    // The three setters change the configuration too, so the dialog shows
    // them. A response time below 1 ms and a negative count are refused (false).
    bool setClientResponseTime(int ms);
    bool setMaxRetransmissions(int count);
    void setRetransmissionOn(bool on);

    // --- configuration ------------------------------------------------------------
    // What the page's dialog shows; connecting and applyConfig() read it.
    const velquor::rmcp::RmcpSettings &config() const { return m_config; }
    void setConfig(const velquor::rmcp::RmcpSettings &settings);
    // Whether a configuration exists (configure() ran, or a script set one):
    // the panel's connection buttons need one.
    bool isConfigured() const { return m_configured; }
    void setConfigured() { m_configured = true; }
    // Takes over the configuration's retransmission settings, response time
    // and RSP switch, and the connection's RSP manager and session.
    void applyConfig();

    // --- tracking -------------------------------------------------------------------
    const velquor::rmcp::RequestTracker &tracker() const { return m_tracker; }
    // The panel's Send is enabled while no request is tracked.
    bool sendEnabled() const { return !m_tracker.tracking(); }
    const QTimer *retransmissionTimer() const { return m_timer; }

    // --- set by the connection --------------------------------------------------
    velquor::DatagramSocket *rawSocket() const { return m_socket; }
    void setRawSocket(velquor::DatagramSocket *socket) { m_socket = socket; }
    velquor::rmcp::RspManager *rspManager() const { return m_rsp; }
    QRssp *rspSession() const { return m_rssp; }
    void setRsp(velquor::rmcp::RspManager *manager, QRssp *session);

    // --- receive path -----------------------------------------------------------
    // Reads every datagram waiting on the raw RMCP socket. A wake-up with
    // nothing to read means the client's port was unreachable.
    void readDatagram(velquor::DatagramSocket *socket);
    // One plain datagram, and one message fetched from the RSP session.
    void receiveDatagram(const QByteArray &bytes);
    void receiveRspMessage(const QByteArray &bytes);
    // Judges a received record against the tracked request, logs it and
    // acknowledges it.
    void processPacket(std::unique_ptr<ASF_RMCP_Packet> record);

    // --- the panel's connection buttons -----------------------------------------
    void connectionToggle();
    void connectToClient();
    void killConnection();

    // The text printed on standard output for a socket error code.
    static QString socketErrorDescription(int code);

public slots:
    void clear();
    void sendPacketGeneric(quint8 version, quint8 reserved1, bool ownSeqNr, quint8 sequenceNr, quint8 messageClass,
                           quint32 ianaEnterpriseNr, quint8 messageType, bool ownMsgTag, quint8 messageTag,
                           quint8 reserved2, quint8 dataLength, const QString &dataString, int rspSend,
                           bool sendTail, bool ownSessionID, quint32 sessionID, bool ownRspSequenceNumber,
                           quint32 rspSequenceNumber, bool ownPad, const QString &pad, bool ownPadLenght,
                           quint8 padLength, bool ownNextHeader, quint8 nextHeader, bool falseInterityData);
    void sendPacketRsp(quint8 version, quint8 reserved1, bool ownSeqNr, quint8 sequenceNr, quint8 messageClass,
                       quint32 ianaEnterpriseNr, quint8 messageType, bool ownMsgTag, quint8 messageTag,
                       quint8 reserved2, quint8 dataLength, const QString &dataString, int rspSend);
    // The first length bytes of pdata as a logged record, sent on the session path.
    bool sendData(const QByteArray &pdata, int length);
    bool sendData(ASF_RMCP_Packet *rmcpPacket, int rspSend);
    bool sendData(ASF_RMCP_Packet *rmcpPacket, int rspSend, bool sendTail, bool ownSessionID, quint32 sessionID,
                  bool ownRspSequenceNumber, quint32 rspSequenceNumber, bool ownPad, const QString &pad,
                  bool ownPadLenght, quint8 padLength, bool ownNextHeader, quint8 nextHeader,
                  bool falseInterityData);
    // Fills the configuration from the settings in force and asks the dialog to show it.
    void configure();
    // One retransmission timer tick.
    void doTimer();

signals:
    void configureRequested();
    void configChanged();
    void sendEnabledChanged(bool enabled);

private:
    quint32 now() const { return m_clock ? m_clock->elapsed() : 0; }
    quint8 nextConsoleSequenceNumber();
    quint8 nextConsoleMessageTag();
    bool send(ASF_RMCP_Packet &record, int rspSend, bool track);
    bool sendGeneric(ASF_RMCP_Packet &record, int rspSend, const velquor::rmcp::RspOverrides &overrides, bool track);
    bool sendFailed(ASF_RMCP_Packet &record, const QString &info);
    bool writeFailed(ASF_RMCP_Packet &record, const QString &info, int code);
    bool haveSession() const;
    bool sent(ASF_RMCP_Packet &record, bool track);
    void syncTracking();
    void traceReceived(const QByteArray &bytes);

    velquor::LogClock *m_clock;
    std::unique_ptr<ASF_Logger> m_logger;
    velquor::rmcp::RmcpConnection *m_connection; // child
    QTimer *m_timer;                              // child
    velquor::rmcp::RequestTracker m_tracker;
    velquor::rmcp::RmcpSettings m_config;
    bool m_configured = false;
    quint8 m_consoleSeq = 0xFF;
    quint8 m_consoleTag = 0xFF;
    QHostAddress m_address{QStringLiteral("0.0.0.0")};
    quint16 m_port = velquor::rmcp::PlainRmcpPort;
    int m_responseTime = 2000;
    bool m_useRsp = false;
    bool m_sendEnabled = true;
    QPointer<velquor::DatagramSocket> m_socket;
    QPointer<velquor::rmcp::RspManager> m_rsp;
    QRssp *m_rssp = nullptr;
};
