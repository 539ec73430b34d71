#include "rsp/qrsplink.h"

#include "core/datagramsocket.h"
#include "rmcp/asfrmcphandler.h"
#include "rsp/qrssp.h"

namespace velquor::rsp {

QRspLink::QRspLink(const QHostAddress &peer, ASF_RMCP_Handler *owner, QObject *parent, Environment env)
    : rmcp::RspManager(parent), m_rsp(new QRsp(peer, this, "QRSP_Instance", std::move(env)))
{
    if (owner)
        m_rsp->setOwnerLog(owner->logger());
    connect(m_rsp, &QRsp::sessionStatus, this, &RspManager::sessionStatus);
    connect(m_rsp, &QRsp::msgReceived, this, &RspManager::msgReceived);
}

QRspLink::~QRspLink() = default;

bool QRspLink::hasSession(QRssp *session) const
{
    return session && m_rsp->sessions().contains(session);
}

int QRspLink::initSession(const rmcp::RspSessionParameters &p)
{
    return m_rsp->initSession(p.role, p.operatorKey, p.administratorKey, p.generatorKey, p.timerPeriod,
                              p.noAcknowledge, p.userName);
}

bool QRspLink::termSession(QRssp *session)
{
    return m_rsp->termSession(session);
}

bool QRspLink::sendMsg(ASF_RMCP_Packet *packet, QRssp *session)
{
    return m_rsp->sendMsg(packet, session);
}

bool QRspLink::sendMsg(ASF_RMCP_Packet *packet, QRssp *session, const rmcp::RspOverrides &overrides)
{
    return m_rsp->sendMsg(packet, session, overrides);
}

QByteArray QRspLink::recvMsg(QRssp *session)
{
    const QByteArray bytes = m_rsp->recvMsg(session);
    // The page reads a null array as "nothing waiting".
    return bytes.isEmpty() ? QByteArray() : bytes;
}

qint64 QRspLink::writeRaw(const QByteArray &bytes)
{
    if (!usable() || !m_rsp->socket())
        return -1;
    return m_rsp->socket()->write(bytes);
}

int QRspLink::socketError() const
{
    return m_rsp->socket() ? m_rsp->socket()->lastError() : SocketUnknownError;
}

int QRspLink::sessionStatusCode(QRssp *session) const
{
    return hasSession(session) ? session->getStatus() : -1;
}

QString QRspLink::sessionInfo(QRssp *session) const
{
    return hasSession(session) ? session->getInfo() : QString();
}

quint8 QRspLink::sessionClientSequenceNumber(QRssp *session) const
{
    return hasSession(session) ? session->expectedSequenceNumber() : quint8(0xFF);
}

void QRspLink::setSessionClientSequenceNumber(QRssp *session, quint8 number)
{
    if (hasSession(session))
        session->setExpectedSequenceNumber(number);
}

void QRspLink::setSessionResponseTime(QRssp *session, int ms)
{
    if (!hasSession(session))
        return;
    session->setTimerPeriod(ms);
    if (session->timerActive())
        session->startTimeout();
}

void QRspLink::retire()
{
    m_rsp->retire();
    RspManager::retire();
}

rmcp::RspManagerFactory qrspManagerFactory(Environment env)
{
    return [env](const QHostAddress &address, ASF_RMCP_Handler *owner, QObject *parent) -> rmcp::RspManager * {
        Environment e = env;
        if (!e.clock && owner)
            e.clock = owner->clock();
        auto *link = new QRspLink(address, owner, parent, e);
        if (!link->usable()) {
            delete link;
            return nullptr;
        }
        return link;
    };
}

void registerQRspManager(Environment env)
{
    rmcp::setDefaultRspManagerFactory(qrspManagerFactory(std::move(env)));
}

} // namespace velquor::rsp
