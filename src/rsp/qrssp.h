#pragma once

#include "rmcp/rsplink.h"
#include "rsp/rspsession.h"

#include <QObject>
#include <QPointer>

class QRsp;
class QTimer;

// One RSP session with the managed client: its values (rsp::Session) and
// its single-shot time-out timer. Created and owned by its QRsp.
class QRssp : public QObject, public velquor::rsp::Session
{
    Q_OBJECT

public:
    QRssp(const velquor::rsp::SessionSettings &settings, QRsp *manager);
    ~QRssp() override;

    // The manager this session belongs to: an owner that replaced its
    // manager tells an old manager's sessions (and signals) by it.
    QRsp *manager() const { return m_manager; }

    int getStatus() const { return status; }
    int getPhase() const { return phase; }
    const QString &getInfo() const { return info; }
    // The RMCP sequence number the client is expected to send next (255:
    // none yet); the RMCP handler and the session hand it to each other.
    quint8 expectedSequenceNumber() const { return expectedRmcpSequence; }
    void setExpectedSequenceNumber(quint8 number) { expectedRmcpSequence = number; }
    // The response time-out, ms; 0 or less: none. Taken at the next start.
    void setTimerPeriod(int ms) { timerPeriod = ms; }
    bool timerActive() const;
    int waitingMessages() const { return int(toFetch.size()); }

    void startTimeout();
    void stopTimeout();

public slots:
    void timerExpired();

private:
    QPointer<QRsp> m_manager;
    QTimer *m_timer;
};
