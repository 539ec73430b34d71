#pragma once

#include "core/datagramsocket.h"
#include "core/logclock.h"
#include "pet/petanalysis.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace velquor {
class PacketViewRegistry;
}

class ASF_Logger;
class PacketLogView;
class PETConfig;
class QLabel;
class QTimer;
class QWidget;

// The PET page widgets the handler drives; any of them may be null.
struct PetPageWidgets
{
    QWidget *logFrame = nullptr;      // PET_ShowLog_Frame
    QWidget *packetFrame = nullptr;   // PET_ShowPacket_Frame
    QLabel *statusLamp = nullptr;     // PETStatusLED: listening or not
    QLabel *receiveLamp = nullptr;    // pixmapLabel1: flashes per datagram
    QLabel *heartbeatLamp = nullptr;  // PETHeartbeatLED
    QLabel *addressLabel = nullptr;   // PETIPAddress
    QLabel *portLabel = nullptr;      // PETIPPort
    const velquor::PacketViewRegistry *views = nullptr; // builds the detail views
};

// Receiving end of the PET page: reads every datagram of the socket that its
// configuration dialog binds, checks and analyses each trap, logs it and
// drives the page's lamps. Time comes from the shared log clock only.
class ASF_PET_Handler : public QObject
{
    Q_OBJECT

public:
    using SocketFactory = std::function<std::unique_ptr<velquor::DatagramSocket>()>;

    ASF_PET_Handler(const PetPageWidgets &page, velquor::LogClock *clock, QObject *parent = nullptr,
                    const char *name = "PET");
    ~ASF_PET_Handler() override;

    ASF_Logger *logger() const { return m_logger.get(); }
    PacketLogView *logView() const { return m_logView.get(); }
    // The configuration dialog, created on first use and kept.
    PETConfig *dialog();
    PETConfig *existingDialog() const { return m_dialog.get(); }

    // Takes the heartbeat settings from the dialog's fields.
    void applyHeartbeatSettings();
    // The user cleared the log: clears it, forgets the remembered traps and
    // restarts the shared clock and the timer.
    void restart();

    // Reads every datagram waiting on the socket.
    void readDatagram(velquor::DatagramSocket *socket);
    // The receive path for one datagram.
    void receiveDatagram(const QByteArray &bytes);
    void traceHexDump(const QByteArray &bytes, int n);

    QHostAddress localAddress() const { return m_address; }
    void setLocalAddress(const QHostAddress &address) { m_address = address; }
    quint16 port() const { return m_port; }
    void setPort(quint16 port) { m_port = port; }
    bool heartbeatCheck() const { return m_analysis.heartbeatCheck(); }
    quint32 heartbeatInterval() const { return m_analysis.interval(); }
    float heartbeatTolerance() const { return m_analysis.tolerance(); }
    void setHeartbeatTolerance(float minutes) { m_analysis.setTolerance(minutes); }
    bool heartbeatMissing() const { return m_analysis.heartbeatMissing(); }
    const velquor::pet::PetAnalysis &analysis() const { return m_analysis; }

    // The bound socket while listening (owned by the dialog).
    velquor::DatagramSocket *socket() const { return m_socket; }
    void setSocket(velquor::DatagramSocket *socket) { m_socket = socket; }
    bool isListening() const { return m_socket != nullptr; }
    // Sockets for the dialog to bind; UDP with a large receive queue unless replaced.
    void setSocketFactory(SocketFactory factory) { m_socketFactory = std::move(factory); }
    std::unique_ptr<velquor::DatagramSocket> createSocket();

    // Page feedback used by the dialog.
    void setStatusLamp(const QString &image);
    void showAddress(const QString &address);
    void showPort(const QString &port);

    // Image names the lamps show now.
    QString statusLampImage() const { return m_statusImage; }
    QString receiveLampImage() const { return m_receiveImage; }
    QString heartbeatLampImage() const { return m_heartbeatImage; }
    int timerInterval() const;
    bool timerActive() const;
    const QTimer *receiveLampTimer() const { return m_receiveLampTimer; }
    const QTimer *heartbeatLampTimer() const { return m_heartbeatLampTimer; }
    quint64 datagramsRead() const { return m_datagramsRead; }

    // The socket receive queue asked for by the default socket factory.
    static constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;
    static constexpr int LampFlashMs = 150;

public slots:
    void configure();
    void doTimer();
    void setReceiveLED_Off();
    void setReceiveLED_Green();
    void setReceiveLED_Red();
    void setHeartbeatLED_Off();
    void setHeartbeatLED_Green();
    void setHeartbeatLED_Red();

private:
    void setLamp(QLabel *label, QString &state, const char *image);
    void applyEffect(const velquor::pet::PetAnalysis::SettingsEffect &effect);
    void heartbeatLampAfterFlash();

    PetPageWidgets m_page;
    velquor::LogClock *m_clock;
    QHostAddress m_address;
    quint16 m_port = 162;
    velquor::pet::PetAnalysis m_analysis;
    std::unique_ptr<ASF_Logger> m_logger;
    std::unique_ptr<PacketLogView> m_logView;
    std::unique_ptr<PETConfig> m_dialog;
    QTimer *m_timer;
    QTimer *m_receiveLampTimer;
    QTimer *m_heartbeatLampTimer;
    velquor::pet::Lamp m_heartbeatAfterFlash = velquor::pet::Lamp::Green;
    velquor::DatagramSocket *m_socket = nullptr;
    SocketFactory m_socketFactory;
    std::vector<velquor::ReceivedDatagram> m_batch;
    quint64 m_datagramsRead = 0;

    QString m_statusImage = QStringLiteral("ledred.png");
    QString m_receiveImage = QStringLiteral("ledoff.png");
    QString m_heartbeatImage = QStringLiteral("ledoff.png");
};
