#pragma once

#include "sim/rmcpresponder.h"
#include "sim/simconfig.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

namespace velquor {
class RandomSource;
}
namespace velquor::rsp {
class Hmac;
}

namespace velquor::sim {

// The secure port of a managed client, without sockets: takes a datagram,
// returns the answers.
//
// Datagrams with Session ID 0 ('Bypass') create sessions: Presence Ping
// (answered with a Pong that advertises RSP), Open Session Request (a new
// SIDc), RAKP Message 1 (Rc, GUID and the key-exchange hash; the Session
// Integrity Key), RAKP Message 3 (its code is checked; only then is the
// session open). Every request with an RMCP sequence number below 255 is
// acknowledged first; the client's own messages ask for acknowledges only
// when the console's did.
//
// Any other Session ID names an open session by the console's SIDm. Its
// datagrams must carry good integrity data and a sequence number inside the
// receive window (newer than the last 32, not seen before); the RMCP message
// inside goes to the plain responder and its answers come back wrapped
// (Session ID SIDc, own sequence numbers, trailer). Close Session Request
// closes the session. Everything else is dropped, and lastDescription() says
// why.
class RspResponder
{
public:
    // inner: the plain responder whose system state the session shares; one
    // of its own when none is given. random: the source of SIDc and Rc; the
    // system's generator when none is given.
    explicit RspResponder(const RspConfig &config = {}, RmcpResponder *inner = nullptr,
                          RandomSource *random = nullptr);
    ~RspResponder();
    RspResponder(const RspResponder &) = delete;
    RspResponder &operator=(const RspResponder &) = delete;

    std::vector<Outgoing> receive(QByteArrayView datagram);
    const QString &lastDescription() const { return m_description; }

    int sessionsOpen() const;
    int sessionsInCreation() const;

    // Sessions kept at most, in creation or open; a new one pushes out the
    // oldest.
    static constexpr int MaxSessions = 16;
    static constexpr int Window = 32;

private:
    struct Session
    {
        QByteArray sidm, sidc, rm, rc, uname, sik;
        quint8 rolem = 0;
        bool open = false;
        quint32 outgoing = 0;        // last own sequence number used
        quint32 windowEnd = 0;       // highest accepted from the console
        std::deque<quint32> window;  // accepted numbers above windowEnd - 32
        int sent = 0;                // secured datagrams sent, for the stale fault
    };

    std::vector<Outgoing> bypass(QByteArrayView d);
    std::vector<Outgoing> secured(QByteArrayView d);
    Session *find(QByteArrayView id, bool bySidm, bool open);
    void remove(const Session *s);
    QByteArray bypassMessage(quint8 type, quint8 tag, const QByteArray &data, bool wantAck);
    void wrap(Session &s, const QByteArray &message, int delayMs, const QString &description,
              std::vector<Outgoing> &out);
    QByteArray newSidc();
    quint8 takeSequenceNr();
    QByteArray hash(QByteArrayView key, std::initializer_list<QByteArrayView> pieces);

    RspConfig m_config;
    std::unique_ptr<RmcpResponder> m_ownInner;
    RmcpResponder *m_inner;
    std::unique_ptr<RandomSource> m_ownRandom;
    RandomSource *m_random;
    std::unique_ptr<rsp::Hmac> m_hmac;
    std::deque<Session> m_sessions;
    quint8 m_bypassSeq = 0; // RMCP sequence number of the next own bypass message
    QString m_description;
};

} // namespace velquor::sim
