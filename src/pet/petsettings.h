#pragma once

#include <QHostAddress>
#include <QString>

namespace velquor::pet {

// The PET listener's settings as one value: the configuration dialog and the
// page produce it from their fields, the handler keeps the one in force.
struct PetSettings
{
    QHostAddress address = QHostAddress(QStringLiteral("0.0.0.0"));
    quint16 port = 162;
    bool heartbeatCheck = false;
    quint32 heartbeatInterval = 600000; // ms
    float heartbeatTolerance = 0.5f;    // minutes

    // From the fields' texts, read as the dialog always read them: the port
    // keeps the low 16 bits of its decimal number (0 when it is none), the
    // interval is whole minutes (the product wraps like the 32-bit field it
    // lands in), the tolerance a decimal number of minutes (0 when none). An
    // address text that is no host address gives a null address, which the
    // listener refuses with "error: bad IP address".
    static PetSettings fromTexts(const QString &address, const QString &port, bool heartbeatCheck,
                                 const QString &interval, const QString &tolerance);

    bool addressValid() const { return !address.isNull(); }
};

// What the page and the dialog show of the listener: whether it listens,
// why not, and where.
struct ListenerState
{
    enum Outcome { NotListening, BadAddress, BindFailed, Listening };

    Outcome outcome = NotListening;
    int errorCode = 0; // the socket error code (1..9) when the bind failed
    QHostAddress address; // bound, while listening
    quint16 port = 0;

    bool listening() const { return outcome == Listening; }
    // "not listening", "error: bad IP address", the socket error's text, "Connected".
    QString statusText() const;
};

} // namespace velquor::pet
