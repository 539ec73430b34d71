#include "pet/asfpethandler.h"

#include "core/asflogger.h"
#include "core/trace.h"
#include "pet/asfpetpacket.h"
#include "pet/pettrace.h"

#include <QTimer>

using namespace velquor;
using velquor::pet::ListenerState;
using velquor::pet::PetSettings;

namespace {

qsizetype digits(quint64 value)
{
    qsizetype n = 1;
    while (value >= 10) {
        value /= 10;
        ++n;
    }
    return n;
}

} // namespace

qsizetype ASF_PET_Handler::incomingTraceSize(int n, quint32 t)
{
    // The separator line, "PET  - Incomming data (", n, " bytes) time: ", the
    // time (hours at least two digits, then ":mm:ss:mmm"), " -\n".
    n = qMax(n, 0);
    qsizetype size = 40 + 23 + digits(quint64(n)) + 14 + qMax<qsizetype>(2, digits(t / 3600000u)) + 10 + 3;
    // The dump: a row label per 16 bytes, "\nfirst - last:" padded to 15;
    // three characters a byte and one more after each fourth; a line feed.
    for (int first = 0; first == 0 || first < n; first += 16)
        size += qMax<qsizetype>(15, 5 + digits(quint64(first)) + digits(quint64(first) + 15));
    return size + 3 * qsizetype(n) + n / 4 + 1;
}

ASF_PET_Handler::ASF_PET_Handler(LogClock *clock, QObject *parent, const char *name)
    : QObject(parent), m_clock(clock), m_address(QHostAddress(QStringLiteral("0.0.0.0"))),
      m_analysis(clock, nullptr), m_logger(std::make_unique<ASF_Logger>()), m_timer(new QTimer(this)),
      m_receiveLampTimer(new QTimer(this)), m_heartbeatLampTimer(new QTimer(this))
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    if (m_clock)
        m_clock->restart();
    m_analysis.restart();

    m_logger->setObjectName(objectName());
    m_logger->setTimeBase(m_clock);
    // The page's log lists whether or not a view shows it: a program may
    // run the handler with its window hidden, or with none.
    m_logger->setListing(true);
    m_analysis.setSink(m_logger.get());
    // A flood of traps that reuse one sequence number must not grow every
    // row with a line per earlier trap (memory quadratic in the rate).
    m_analysis.setReuseWarningLimit(16);

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
    // The analysis reports into the log: the socket goes first, the log last.
    m_socket.reset();
    m_analysis.setSink(nullptr);
    m_logger.reset();
}

PetSettings ASF_PET_Handler::settings() const
{
    PetSettings s;
    s.address = m_address;
    s.port = m_port;
    s.heartbeatCheck = m_analysis.heartbeatCheck();
    s.heartbeatInterval = m_analysis.interval();
    s.heartbeatTolerance = m_analysis.tolerance();
    return s;
}

std::unique_ptr<DatagramSocket> ASF_PET_Handler::createSocket()
{
    if (m_socketFactory)
        return m_socketFactory();
    auto socket = std::make_unique<UdpDatagramSocket>();
    socket->setReceiveBufferSize(ReceiveBufferBytes);
    return socket;
}

void ASF_PET_Handler::setListenerState(const ListenerState &state)
{
    m_state = state;
    emit listenerStateChanged();
}

ListenerState::Outcome ASF_PET_Handler::listen(const PetSettings &settings)
{
    m_socket.reset();
    ListenerState state;
    if (!settings.addressValid()) {
        state.outcome = ListenerState::BadAddress;
        setListenerState(state);
        return state.outcome;
    }
    std::unique_ptr<DatagramSocket> socket = createSocket();
    const int code = socket->bind(settings.address, settings.port);
    if (code != SocketNoError) {
        state.outcome = ListenerState::BindFailed;
        state.errorCode = code;
        setListenerState(state);
        return state.outcome;
    }
    m_socket = std::move(socket);
    connect(m_socket.get(), &DatagramSocket::readyRead, this, [this] { readDatagram(m_socket.get()); });
    m_address = settings.address;
    m_port = settings.port;
    state.outcome = ListenerState::Listening;
    state.address = settings.address;
    // The port actually bound: with port 0 the system picks one.
    state.port = m_socket->localPort();
    setListenerState(state);
    applyHeartbeatSettings(settings);
    return state.outcome;
}

void ASF_PET_Handler::configure()
{
    emit configureRequested();
}

void ASF_PET_Handler::applyHeartbeatSettings(const PetSettings &settings)
{
    applyEffect(m_analysis.applyHeartbeatSettings(settings.heartbeatCheck, settings.heartbeatInterval,
                                                  settings.heartbeatTolerance));
}

void ASF_PET_Handler::applyEffect(const pet::PetAnalysis::SettingsEffect &effect)
{
    if (effect.timerPeriod >= 0)
        m_timer->start(effect.timerPeriod);
    if (effect.heartbeatLamp != Lamp::Unchanged)
        setHeartbeatLamp(effect.heartbeatLamp);
}

void ASF_PET_Handler::restart()
{
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
        receive(datagram.data);
    // The lamp goes off 150 ms after the last datagram of the batch; one
    // timer restart per batch instead of one per datagram.
    if (!m_batch.empty())
        m_receiveLampTimer->start();
    m_batch.clear();
}

void ASF_PET_Handler::receiveDatagram(const QByteArray &bytes)
{
    receive(bytes);
    m_receiveLampTimer->start();
}

void ASF_PET_Handler::receive(const QByteArray &bytes)
{
    ++m_datagramsRead;
    setReceiveLED_Green();
    const int n = int(bytes.size());
    auto packet = std::make_unique<ASF_PET_Packet>(0);
    packet->setDirection(ASF_Packet::Received);
    const quint32 t = m_clock ? m_clock->elapsed() : 0;
    packet->setTimestamp(t);
    // Built only if the trace keeps it: in a burst most of these are trimmed
    // away before anybody reads them.
    traceDeferred(incomingTraceSize(n, t), [bytes, n, t] { return pet::incomingTraceText(bytes, n, t); });
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
    packet->squeezeInfo();
    m_logger->appendPacket(std::move(packet));
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
    setHeartbeatLamp(m_heartbeatAfterFlash == Lamp::Red ? Lamp::Red : Lamp::Green);
}

int ASF_PET_Handler::timerInterval() const
{
    return m_timer->interval();
}

bool ASF_PET_Handler::timerActive() const
{
    return m_timer->isActive();
}

// A lamp signals only when it changes: a burst keeps the receive lamp green
// without a signal per datagram.
void ASF_PET_Handler::setReceiveLamp(Lamp lamp)
{
    if (m_receiveLamp == lamp)
        return;
    m_receiveLamp = lamp;
    emit receiveLampChanged(lamp);
}

void ASF_PET_Handler::setHeartbeatLamp(Lamp lamp)
{
    if (m_heartbeatLamp == lamp)
        return;
    m_heartbeatLamp = lamp;
    emit heartbeatLampChanged(lamp);
}

void ASF_PET_Handler::setReceiveLED_Off() { setReceiveLamp(Lamp::Off); }
void ASF_PET_Handler::setReceiveLED_Green() { setReceiveLamp(Lamp::Green); }
void ASF_PET_Handler::setReceiveLED_Red() { setReceiveLamp(Lamp::Red); }
void ASF_PET_Handler::setHeartbeatLED_Off() { setHeartbeatLamp(Lamp::Off); }
void ASF_PET_Handler::setHeartbeatLED_Green() { setHeartbeatLamp(Lamp::Green); }
void ASF_PET_Handler::setHeartbeatLED_Red() { setHeartbeatLamp(Lamp::Red); }
