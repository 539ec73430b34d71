#include "pet/asfpethandler.h"

#include "core/asflogger.h"
#include "core/packetlogview.h"
#include "pet/asfpetpacket.h"
#include "core/imagesource.h"
#include "pet/petconfig.h"
#include "pet/pettrace.h"
#include "core/trace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

using namespace velquor;
using velquor::pet::Lamp;

namespace {

void giveLayout(QWidget *frame, const char *name)
{
    if (!frame || frame->layout())
        return;
    auto *layout = new QHBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setObjectName(QString::fromLatin1(name));
}

} // namespace

ASF_PET_Handler::ASF_PET_Handler(const PetPageWidgets &page, LogClock *clock, QObject *parent, const char *name)
    : QObject(parent), m_page(page), m_clock(clock), m_address(QHostAddress(QStringLiteral("0.0.0.0"))),
      m_analysis(clock, nullptr), m_timer(new QTimer(this)), m_receiveLampTimer(new QTimer(this)),
      m_heartbeatLampTimer(new QTimer(this))
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    if (m_clock)
        m_clock->restart();
    m_analysis.restart();

    giveLayout(m_page.logFrame, "PET_LogShow_FrameLayout");
    giveLayout(m_page.packetFrame, "PET_PacketShow_FrameLayout");
    m_logger = std::make_unique<ASF_Logger>();
    m_logger->setObjectName(objectName());
    m_logView = std::make_unique<PacketLogView>(m_logger.get(), m_page.views);
    if (m_page.logFrame)
        m_logView->setLogFrame(m_page.logFrame);
    m_logView->setPacketFrame(m_page.packetFrame);
    m_logger->setTimeBase(m_clock);
    m_analysis.setSink(m_logger.get());

    // One restartable single-shot timer per lamp: a lamp stays lit until
    // 150 ms after the last datagram, and a burst costs no timer objects.
    m_receiveLampTimer->setSingleShot(true);
    m_receiveLampTimer->setInterval(LampFlashMs);
    connect(m_receiveLampTimer, &QTimer::timeout, this, &ASF_PET_Handler::setReceiveLED_Off);
    m_heartbeatLampTimer->setSingleShot(true);
    m_heartbeatLampTimer->setInterval(LampFlashMs);
    connect(m_heartbeatLampTimer, &QTimer::timeout, this, &ASF_PET_Handler::heartbeatLampAfterFlash);

    connect(m_timer, &QTimer::timeout, this, &ASF_PET_Handler::doTimer);
    m_timer->start(m_analysis.timerPeriod());
}

ASF_PET_Handler::~ASF_PET_Handler()
{
    m_socket = nullptr;
    m_dialog.reset(); // closes the socket it holds
    m_logView.reset();
    m_logger.reset();
}

PETConfig *ASF_PET_Handler::dialog()
{
    if (!m_dialog)
        m_dialog = std::make_unique<PETConfig>(this);
    return m_dialog.get();
}

std::unique_ptr<DatagramSocket> ASF_PET_Handler::createSocket()
{
    if (m_socketFactory)
        return m_socketFactory();
    auto socket = std::make_unique<UdpDatagramSocket>();
    socket->setReceiveBufferSize(ReceiveBufferBytes);
    return socket;
}

void ASF_PET_Handler::configure()
{
    PETConfig *d = dialog();
    d->PETHeartbeat->setChecked(heartbeatCheck());
    d->PETHeartbeatInterval->setEnabled(true);
    d->PETHeartbeatInterval->setText(QString::asprintf("%d", int(heartbeatInterval() / 60000)));
    d->PETHeartbeatInterval->setEnabled(heartbeatCheck());
    d->raise();
}

void ASF_PET_Handler::applyHeartbeatSettings()
{
    PETConfig *d = dialog();
    const bool check = d->PETHeartbeat->isChecked();
    // Minutes as typed; the product wraps like the 32-bit field it lands in.
    const qint64 minutes = d->PETHeartbeatInterval->text().toInt(nullptr, 10);
    const quint32 interval = quint32(quint64(minutes * 60000));
    const float tolerance = d->PETHeartbeatInterval_2->text().toFloat();
    applyEffect(m_analysis.applyHeartbeatSettings(check, interval, tolerance));
}

void ASF_PET_Handler::applyEffect(const pet::PetAnalysis::SettingsEffect &effect)
{
    if (effect.timerPeriod >= 0)
        m_timer->start(effect.timerPeriod);
    switch (effect.heartbeatLamp) {
    case Lamp::Off:
        setHeartbeatLED_Off();
        break;
    case Lamp::Green:
        setHeartbeatLED_Green();
        break;
    case Lamp::Red:
        setHeartbeatLED_Red();
        break;
    case Lamp::Unchanged:
        break;
    }
}

void ASF_PET_Handler::restart()
{
    if (!m_logger)
        trace(QStringLiteral("fatal error can not create logger"));
    else
        m_logger->clearLog();
    if (m_clock)
        m_clock->restart();
    m_analysis.restart();
    m_timer->start(m_analysis.timerPeriod());
}

void ASF_PET_Handler::readDatagram(DatagramSocket *socket)
{
    if (!socket)
        return;
    m_batch.clear();
    socket->readPending(m_batch);
    for (ReceivedDatagram &datagram : m_batch)
        receiveDatagram(datagram.data);
    m_batch.clear();
}

void ASF_PET_Handler::receiveDatagram(const QByteArray &bytes)
{
    ++m_datagramsRead;
    setReceiveLED_Green();
    const int n = int(bytes.size());
    auto packet = std::make_unique<ASF_PET_Packet>(0);
    packet->setDirection(ASF_Packet::Received);
    const quint32 t = m_clock ? m_clock->elapsed() : 0;
    packet->setTimestamp(t);
    trace(pet::incomingTraceText(bytes, n, t));
    packet->setData(bytes, n);

    const pet::TrapFacts facts{t, packet->data(), packet->sequenceNumber(), packet->isHeartbeat()};
    int retransmissions = packet->retransmissionCount();
    const auto effect = m_analysis.analyseReceived(*packet, facts, retransmissions);
    packet->setRetransmissionCount(retransmissions);
    if (effect.flashRed) {
        setHeartbeatLED_Red();
        m_heartbeatAfterFlash = effect.lampAfter;
        m_heartbeatLampTimer->start();
    }
    if (m_logger)
        m_logger->appendPacket(std::move(packet));
    m_receiveLampTimer->start();
}

void ASF_PET_Handler::traceHexDump(const QByteArray &bytes, int n)
{
    trace(pet::traceHexDumpText(bytes, n));
}

void ASF_PET_Handler::doTimer()
{
    if (!m_analysis.checkHeartbeatDue())
        setHeartbeatLED_Red();
    m_analysis.expireRetransmissionRecords();
}

void ASF_PET_Handler::heartbeatLampAfterFlash()
{
    if (m_heartbeatAfterFlash == Lamp::Red)
        setHeartbeatLED_Red();
    else
        setHeartbeatLED_Green();
}

int ASF_PET_Handler::timerInterval() const
{
    return m_timer->interval();
}

bool ASF_PET_Handler::timerActive() const
{
    return m_timer->isActive();
}

void ASF_PET_Handler::setLamp(QLabel *label, QString &state, const char *image)
{
    const QString name = QString::fromLatin1(image);
    if (state == name)
        return;
    state = name;
    if (label)
        label->setPixmap(velquor::image(name));
}

void ASF_PET_Handler::setStatusLamp(const QString &image)
{
    m_statusImage = image;
    if (m_page.statusLamp)
        m_page.statusLamp->setPixmap(velquor::image(image));
}

void ASF_PET_Handler::showAddress(const QString &address)
{
    if (m_page.addressLabel)
        m_page.addressLabel->setText(address);
}

void ASF_PET_Handler::showPort(const QString &port)
{
    if (m_page.portLabel)
        m_page.portLabel->setText(port);
}

void ASF_PET_Handler::setReceiveLED_Off() { setLamp(m_page.receiveLamp, m_receiveImage, "ledoff.png"); }
void ASF_PET_Handler::setReceiveLED_Green() { setLamp(m_page.receiveLamp, m_receiveImage, "ledgreen.png"); }
void ASF_PET_Handler::setReceiveLED_Red() { setLamp(m_page.receiveLamp, m_receiveImage, "ledred.png"); }
void ASF_PET_Handler::setHeartbeatLED_Off() { setLamp(m_page.heartbeatLamp, m_heartbeatImage, "ledoff.png"); }
void ASF_PET_Handler::setHeartbeatLED_Green() { setLamp(m_page.heartbeatLamp, m_heartbeatImage, "ledgreen.png"); }
void ASF_PET_Handler::setHeartbeatLED_Red() { setLamp(m_page.heartbeatLamp, m_heartbeatImage, "ledred.png"); }
