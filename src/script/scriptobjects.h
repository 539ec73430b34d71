#pragma once

#include "pet/petsettings.h"

#include <QObject>
#include <QString>
#include <functional>

class ASF_Logger;
class ASF_Packet;
class ASF_LogPacket;
class ASF_PET_Handler;
class ASF_PET_Packet;
class ASF_RMCP_Handler;
class ASF_RMCP_Packet;

namespace velquor::script {

// Makes the record classes known as slot results and arguments (once).
void registerScriptTypes();

// Integer arguments arrive as qint64 and double: an int parameter would turn
// 0xFFFFFFFF into -1 before any range check could see it.

// A page's packet log as scripts see it ("PET_LOG", "RMCP1_LOG", "RMCP2_LOG").
class Logger : public QObject
{
    Q_OBJECT

public:
    // Shows a saved log file (a name that exists and can be read); its result
    // is the slot's. The window opens it in the page's log-view dialog.
    using ViewerHook = std::function<bool(const QString &fileName)>;

    Logger(ASF_Logger *logger, QObject *parent, const QString &name);
    ~Logger() override;

    void setViewerHook(ViewerHook hook) { m_viewerHook = std::move(hook); }

    ASF_Logger *logger() const { return m_logger; }
    // The logger's forwardings into newPacketSignal() (0 or 1).
    int forwardings() const { return m_forwarding ? 1 : 0; }

public slots:
    void clearLog();
    void setMaxSize(double maxNrPacket);
    double getMaxSize();
    void log(const QString &qtext);
    void logLevel(qint64 status, const QString &qtext);
    ASF_Packet *getLastAsfPacket();
    double getLastPacketNumber();
    ASF_Packet *getPacket(double number);
    ASF_RMCP_Packet *convertAsfPacketToRMCP(ASF_Packet *AsfPkt);
    ASF_PET_Packet *convertAsfPacketToPET(ASF_Packet *AsfPkt);
    ASF_LogPacket *convertAsfPacketToLog(ASF_Packet *AsfPkt);
    bool saveLogToFile(const QString &filename);
    bool saveLog();
    // filename, or the file this log was saved to last when empty.
    bool showLogFile(const QString &filename);
    void emitSignal();
    // The next record appended to this log, or null after timeoutMs.
    ASF_Packet *waitForPacket(double timeoutMs);

signals:
    void newPacketSignal();

protected:
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
    bool haveRecord(ASF_Packet *packet, const char *slot);

    ASF_Logger *m_logger;
    int m_listeners = 0;
    QMetaObject::Connection m_forwarding;
    ViewerHook m_viewerHook;
};

// An RMCP handler as scripts see it ("RMCP1", "RMCP2").
class RMCMHandler : public QObject
{
    Q_OBJECT

public:
    RMCMHandler(ASF_RMCP_Handler *handler, QObject *parent, const QString &name);

    ASF_RMCP_Handler *handler() const { return m_handler; }

public slots:
    bool getConnectionState();
    double getConsolSequenceNumber();
    bool setConsolSequenceNumber(qint64 ui);
    double getConsolMessageTag();
    bool setConsolMessageTag(qint64 ui);
    double getNextClientSequenceNumber();
    double setNextClientSequenceNumber(qint64 ui);
    QString getClientIpAddress();
    double getIpPort();
    bool setConfiguration(const QString &clientIpAddress, qint64 clientPort, qint64 clientResponseTime,
                          qint64 maxRetransmissions, bool useRsp, qint64 role, const QString &uName,
                          const QString &key, const QString &generatorKey);
    void activateConfiguration();
    double getNumberOfRetransmissions();
    double setNumberOfRetransmissions(qint64 ui);
    bool getDoRetransmissions();
    bool setDoRetransmissions(bool ui);
    double getClientResponseTime();
    double setClientResponseTime(qint64 ui);
    void connect();
    void disconnect();
    void killConnection();
    void send(qint64 version, qint64 reserved1, bool ownSeqNr, qint64 sequenceNr, qint64 messageClass,
              double ianaEnterpriseNr, qint64 messageType, bool ownMsgTag, qint64 messageTag, qint64 reserved2,
              qint64 dataLength, const QString &dataString, qint64 rspSend);
    void sendRSP(qint64 version, qint64 reserved1, bool ownSeqNr, qint64 sequenceNr, qint64 messageClass,
                 double ianaEnterpriseNr, qint64 messageType, bool ownMsgTag, qint64 messageTag, qint64 reserved2,
                 qint64 dataLength, const QString &dataString, qint64 rspSend, bool sendTail, bool ownSessionID,
                 double sessionID, bool ownRspSequenceNumber, double rspSequenceNumber, bool ownPad,
                 const QString &pad, bool ownPadLenght, qint64 padLength, bool ownNextHeader, qint64 nextHeader,
                 bool falseInterityData);

    // Additions for unattended tests.
    // The port that "623" stands for on the next connect (a simulator's port).
    bool setPlainRmcpPort(qint64 port);
    // The port that "664" stands for on the next connect with RSP on.
    bool setSecureRmcpPort(qint64 port);
    // Waits until the request being tracked has ended; true when it has.
    bool waitIdle(double timeoutMs);
    // Whether a request is being tracked (acknowledge or response outstanding).
    bool isBusy();
    // The RSP session's status code, -1 without a session.
    double getRspSessionStatus();

private:
    void createDialog();

    ASF_RMCP_Handler *m_handler;
};

// The PET handler as scripts see it ("PET"). Its configuration store stands
// in for the PET configuration dialog; the window shows it on the dialog and
// the page through the view hook and connects through the connect hook.
class PETHandler : public QObject
{
    Q_OBJECT

public:
    struct ConfigTexts
    {
        QString address, port, interval, tolerance;
        bool heartbeatCheck = false;
    };
    using ViewHook = std::function<void(const ConfigTexts &)>;
    using ConnectHook = std::function<void()>;

    PETHandler(ASF_PET_Handler *handler, QObject *parent, const QString &name);

    ASF_PET_Handler *handler() const { return m_handler; }
    void setViewHook(ViewHook hook) { m_viewHook = std::move(hook); }
    void setConnectHook(ConnectHook hook) { m_connectHook = std::move(hook); }
    const ConfigTexts &configTexts() const { return m_texts; }

public slots:
    bool getConnectionState();
    QString getConsolIpAddress();
    double getConsolIpPort();
    bool checkHeartbeat();
    double getHeartbeatInterval();
    double getHeartbeatTolerance();
    bool setConfiguration(const QString &consolIpAddress, qint64 consolPort, bool checkHeartbeat,
                          qint64 heartbeatInterval, double heartbeatTolerance);
    void connect();

private:
    ASF_PET_Handler *m_handler;
    ConfigTexts m_texts;
    ViewHook m_viewHook;
    ConnectHook m_connectHook;
};

} // namespace velquor::script
