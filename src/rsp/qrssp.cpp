#include "rsp/qrssp.h"

#include "rsp/qrsp.h"

#include <QTimer>

QRssp::QRssp(const velquor::rsp::SessionSettings &settings, QRsp *manager)
    : velquor::rsp::Session(settings), m_manager(manager), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &QRssp::timerExpired);
}

QRssp::~QRssp() = default;

bool QRssp::timerActive() const
{
    return m_timer->isActive();
}

void QRssp::startTimeout()
{
    if (timerPeriod > 0)
        m_timer->start(timerPeriod);
}

void QRssp::stopTimeout()
{
    m_timer->stop();
}

void QRssp::timerExpired()
{
    if (m_manager && !m_manager->isRetired())
        m_manager->m_machine.timerExpired(*this);
}
