#include "pet/petsettings.h"

#include "core/datagramsocket.h"

namespace velquor::pet {

PetSettings PetSettings::fromTexts(const QString &address, const QString &port, bool heartbeatCheck,
                                   const QString &interval, const QString &tolerance)
{
    PetSettings s;
    if (!s.address.setAddress(address))
        s.address = QHostAddress();
    s.port = quint16(port.toInt(nullptr, 10) & 0xffff);
    s.heartbeatCheck = heartbeatCheck;
    const qint64 minutes = interval.toInt(nullptr, 10);
    s.heartbeatInterval = quint32(quint64(minutes * 60000));
    s.heartbeatTolerance = tolerance.toFloat();
    return s;
}

QString ListenerState::statusText() const
{
    switch (outcome) {
    case BadAddress:
        return QStringLiteral("error: bad IP address");
    case BindFailed:
        return socketErrorText(errorCode);
    case Listening:
        return QStringLiteral("Connected");
    case NotListening:
        break;
    }
    return QStringLiteral("not listening");
}

} // namespace velquor::pet
