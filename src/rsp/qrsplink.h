#pragma once

#include "rmcp/rsplink.h"
#include "rsp/qrsp.h"

namespace velquor::rsp {

// An RMCP page's RSP manager: QRsp behind the interface the page's
// connection and handler use. It owns its QRsp; a session that is not one
// of that QRsp's (left from a manager the page dropped) is never touched.
class QRspLink final : public rmcp::RspManager
{
    Q_OBJECT

public:
    QRspLink(const QHostAddress &peer, ASF_RMCP_Handler *owner, QObject *parent, Environment env = {});
    ~QRspLink() override;

    QRsp *qrsp() const { return m_rsp; }
    // Whether the socket to the client's secure port could be connected.
    bool usable() const { return m_rsp->connectionState() == QRsp::ConnectionUp; }

    bool hasSession(QRssp *session) const override;
    int initSession(const rmcp::RspSessionParameters &parameters) override;
    bool termSession(QRssp *session) override;
    bool sendMsg(ASF_RMCP_Packet *packet, QRssp *session) override;
    bool sendMsg(ASF_RMCP_Packet *packet, QRssp *session, const rmcp::RspOverrides &overrides) override;
    QByteArray recvMsg(QRssp *session) override;
    qint64 writeRaw(const QByteArray &bytes) override;
    int socketError() const override;
    int sessionStatusCode(QRssp *session) const override;
    QString sessionInfo(QRssp *session) const override;
    quint8 sessionClientSequenceNumber(QRssp *session) const override;
    void setSessionClientSequenceNumber(QRssp *session, quint8 number) override;
    void setSessionResponseTime(QRssp *session, int ms) override;
    void retire() override;

private:
    QRsp *m_rsp; // child
};

// Managers over QRsp on env; unset members of env take the workbench's
// own, the clock the owner page's. A manager whose socket cannot be
// connected is not handed out.
rmcp::RspManagerFactory qrspManagerFactory(Environment env = {});
// Makes QRsp the RSP manager of every RMCP page.
void registerQRspManager(Environment env = {});

} // namespace velquor::rsp
