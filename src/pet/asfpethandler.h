#pragma once

#include "core/datagramsocket.h"
#include "core/logclock.h"
#include "pet/petanalysis.h"
#include "pet/petsettings.h"

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class ASF_Logger;
class QTimer;

// Receiving end of the PET page, without widgets: it owns the listening
// socket, the packet log and the timers; reads every datagram, checks and
// analyses each trap and logs it. What the page shows leaves it as state
// values and signals (the listener's state, the receive and heartbeat
// lamps); its settings come in as a PetSettings value. Time comes from the
// shared log clock only.
class ASF_PET_Handler : public QObject
{
    Q_OBJECT

public:
    using SocketFactory = std::function<std::unique_ptr<velquor::DatagramSocket>()>;
    using Lamp = velquor::pet::Lamp;

    explicit ASF_PET_Handler(velquor::LogClock *clock, QObject *parent = nullptr, const char *name = "PET");
    ~ASF_PET_Handler() override;

    ASF_Logger *logger() const { return m_logger.get(); }

    // The settings in force: the address and port last bound, the heartbeat
    // settings last applied.
    velquor::pet::PetSettings settings() const;
    const velquor::pet::ListenerState &listenerState() const { return m_state; }
    bool isListening() const { return m_state.listening(); }

    // Binds the listening socket to the settings' address and port, closing
    // the old one first; once bound, takes over the heartbeat settings too.
    velquor::pet::ListenerState::Outcome listen(const velquor::pet::PetSettings &settings);
    // Takes over the heartbeat check, interval and tolerance.
    void applyHeartbeatSettings(const velquor::pet::PetSettings &settings);
    // Sets the tolerance alone (scripts do, before applying the settings).
    void setHeartbeatTolerance(float minutes) { m_analysis.setTolerance(minutes); }
    // The user cleared the log: clears it, forgets the remembered traps and
    // restarts the shared clock and the timer.
    void restart();

    // Reads every datagram waiting on the socket.
    void readDatagram(velquor::DatagramSocket *socket);
    // The receive path for one datagram.
    void receiveDatagram(const QByteArray &bytes);
    void traceHexDump(const QByteArray &bytes, int n);
    // The size of what is traced for a received datagram of n bytes at time t.
    static qsizetype incomingTraceSize(int n, quint32 t);

    QHostAddress localAddress() const { return m_address; }
    quint16 port() const { return m_port; }
    bool heartbeatCheck() const { return m_analysis.heartbeatCheck(); }
    quint32 heartbeatInterval() const { return m_analysis.interval(); }
    float heartbeatTolerance() const { return m_analysis.tolerance(); }
    bool heartbeatMissing() const { return m_analysis.heartbeatMissing(); }
    const velquor::pet::PetAnalysis &analysis() const { return m_analysis; }

    // The bound socket while listening.
    velquor::DatagramSocket *socket() const { return m_socket.get(); }
    // Sockets to bind; UDP with a large receive queue unless replaced.
    void setSocketFactory(SocketFactory factory) { m_socketFactory = std::move(factory); }

    Lamp receiveLamp() const { return m_receiveLamp; }
    Lamp heartbeatLamp() const { return m_heartbeatLamp; }
    int timerInterval() const;
    bool timerActive() const;
    const QTimer *receiveLampTimer() const { return m_receiveLampTimer; }
    quint64 datagramsRead() const { return m_datagramsRead; }

    // The socket receive queue asked for by the default socket factory.
    static constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;
    static constexpr int LampFlashMs = 150;

public slots:
    // Asks the configuration dialog to show the heartbeat settings in force.
    void configure();
    void doTimer();
    void setReceiveLED_Off();
    void setReceiveLED_Green();
    void setReceiveLED_Red();
    void setHeartbeatLED_Off();
    void setHeartbeatLED_Green();
    void setHeartbeatLED_Red();

signals:
    void listenerStateChanged();
    void receiveLampChanged(Lamp lamp);
    void heartbeatLampChanged(Lamp lamp);
    void configureRequested();

private:
    std::unique_ptr<velquor::DatagramSocket> createSocket();
    void receive(const QByteArray &bytes);
    void setListenerState(const velquor::pet::ListenerState &state);
    void setReceiveLamp(Lamp lamp);
    void setHeartbeatLamp(Lamp lamp);
    void applyEffect(const velquor::pet::PetAnalysis::SettingsEffect &effect);
    void heartbeatLampAfterFlash();

    velquor::LogClock *m_clock;
    QHostAddress m_address;
    quint16 m_port = 162;
    velquor::pet::PetAnalysis m_analysis;
    velquor::pet::ListenerState m_state;
    std::unique_ptr<ASF_Logger> m_logger;
    std::unique_ptr<velquor::DatagramSocket> m_socket;
    SocketFactory m_socketFactory;
    QTimer *m_timer;
    QTimer *m_receiveLampTimer;
    QTimer *m_heartbeatLampTimer;
    Lamp m_heartbeatAfterFlash = Lamp::Green;
    Lamp m_receiveLamp = Lamp::Off;
    Lamp m_heartbeatLamp = Lamp::Off;
    std::vector<velquor::ReceivedDatagram> m_batch;
    quint64 m_datagramsRead = 0;
};
