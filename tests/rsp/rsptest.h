#pragma once

// A console session manager over the in-memory network with a manual clock
// and a seeded random source, and a managed client the test scripts. The
// client's messages and hashes are built here by hand, not by the library.

#include "core/asflogger.h"
#include "core/logclock.h"
#include "core/memorynetwork.h"
#include "core/packetlogmodel.h"
#include "core/randomsource.h"
#include "rmcp/asfrmcppacket.h"
#include "rsp/qrsp.h"
#include "rsp/qrssp.h"
#include "support/capture.h"
#include "support/testdata.h"

#include <QCoreApplication>
#include <QMessageAuthenticationCode>
#include <QtEndian>
#include <deque>

namespace rsptest {

using velquor::test::hex;

inline QByteArray hmac(const QByteArray &key, const QByteArray &data)
{
    return QMessageAuthenticationCode::hash(data, key, QCryptographicHash::Sha1);
}

inline QByteArray be32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

// The suites trace a lot; only what a TraceCapture collects matters.
inline void quietTrace()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (type != QtDebugMsg)
            qt_message_output(type, context, text);
    });
}

inline void settle()
{
    for (int i = 0; i < 8; ++i)
        QCoreApplication::processEvents();
}

// RSP header, RMCP header with sequence number rmcpSeq, ASF header, data.
inline QByteArray message(quint32 sid, quint32 rspSeq, quint8 rmcpSeq, quint8 type, quint8 tag, const QByteArray &data)
{
    return be32(sid) + be32(rspSeq) + char(6) + char(0) + char(rmcpSeq) + char(6) + hex("000011be") + char(type)
           + char(tag) + char(0) + char(data.size()) + data;
}

// Each line occurs in text, in this order.
inline bool inOrder(const QString &text, const QStringList &lines)
{
    qsizetype at = 0;
    for (const QString &line : lines) {
        if ((at = text.indexOf(line, at)) < 0)
            return false;
        at += line.size();
    }
    return true;
}

// Fails the HMAC's start or end on the n-th call from now (0: never).
class FailingHmac : public velquor::rsp::Hmac
{
public:
    int failInitAt = 0, failEndAt = 0;
    bool init(QByteArrayView key) override { return --failInitAt != 0 && inner.init(key); }
    void add(QByteArrayView data) override { inner.add(data); }
    bool end(QByteArray &result) override { return inner.end(result) && --failEndAt != 0; }

private:
    velquor::rsp::QtHmac inner;
};

// The listed values first, then a seeded generator's.
class ScriptedRandom : public velquor::RandomSource
{
public:
    std::deque<quint32> values;
    velquor::SeededRandomSource seeded{4711};
    quint32 next32() override
    {
        const quint32 v = values.empty() ? seeded.next32() : values.front();
        if (!values.empty())
            values.pop_front();
        return v;
    }
    void fill(char *data, qsizetype size) override { seeded.fill(data, size); }
};

struct Bench
{
    velquor::ManualLogClock clock;
    ScriptedRandom random;
    FailingHmac hashes;
    velquor::MemoryNetwork network;
    velquor::MemoryDatagramSocket client{&network}; // the managed client, 127.0.0.1:664
    ASF_Logger log;
    std::unique_ptr<QRsp> rsp;
    QRsp *console = nullptr; // the manager the client talks to, when not rsp
    std::deque<QByteArray> got;   // from the console, not yet looked at
    std::vector<QByteArray> sent; // all the console sent
    int clientSent = 0;

    // The client's side.
    QByteArray sidc = hex("0000002a"), rc = QByteArray(16, '\x11'), guid = QByteArray(16, '\x22');
    QByteArray operatorKey = QByteArray(20, '\x7c'), adminKey = QByteArray(20, '\x3e'),
               generatorKey = QByteArray(20, '\x5d');
    QByteArray sidm, rm, sik, name;
    int role = 1;
    quint8 clientSeq = 0;  // RMCP sequence number of its next message; 255: wants no acknowledge
    quint32 secureSeq = 0; // RSP sequence number of its last secured message

    Bench()
    {
        client.bind(QHostAddress::LocalHost, 664);
        log.setListing(true);
        log.setTimeBase(&clock);
        velquor::rsp::Environment env{&clock, &random, &hashes,
                                      [this] { return std::make_unique<velquor::MemoryDatagramSocket>(&network); }};
        rsp = std::make_unique<QRsp>(QHostAddress::LocalHost, nullptr, "QRSP_Instance", env);
        rsp->setOwnerLog(&log);
    }
    QRssp *session() const { return rsp->sessions().isEmpty() ? nullptr : rsp->sessions().back(); }
    int init(bool noAck = false, const QString &user = QStringLiteral("tester"), int period = 1000)
    {
        name = user.size() <= 16 ? user.toLatin1() : QByteArray();
        return rsp->initSession(role, operatorKey, adminKey, generatorKey, period, noAck, user);
    }
    // The console's next datagram, or empty.
    QByteArray next()
    {
        for (int i = 0; i < 20 && got.empty(); ++i) {
            settle();
            std::vector<velquor::ReceivedDatagram> in;
            client.readPending(in);
            for (auto &d : in) {
                got.push_back(d.data);
                sent.push_back(d.data);
            }
        }
        QByteArray d = got.empty() ? QByteArray() : got.front();
        if (!got.empty())
            got.pop_front();
        return d;
    }
    int drain() // how many more the console sends
    {
        int n = 0;
        while (!next().isEmpty())
            ++n;
        return n;
    }
    void send(const QByteArray &datagram, bool wait = true)
    {
        client.writeDatagram(datagram, QHostAddress::LocalHost, (console ? console : rsp.get())->socket()->localPort());
        ++clientSent;
        if (wait)
            settle();
    }
    static QByteArray ack(const QByteArray &d)
    {
        QByteArray a = d.left(12);
        a[11] = char(quint8(a[11]) | 0x80);
        return a;
    }
    quint8 seq() { return clientSeq == 255 ? 255 : clientSeq++; }
    // The client's answer to request d of step 0 (Presence Ping), 1 (Open
    // Session Request) or 2 (RAKP Message 1), hashed with key if given.
    QByteArray reply(int step, const QByteArray &d, const QByteArray *key = nullptr)
    {
        const quint8 tag = quint8(d[17]);
        if (step == 0)
            return message(0, 0, seq(), 0x40, tag, hex("000011be 00000000 81 80 000000000000"));
        if (step == 1) {
            sidm = d.mid(20, 4);
            return message(0, 0, seq(), 0x43, tag, hex("00000000") + sidm + sidc + hex("01000008 01000000 02000008 01000000"));
        }
        rm = d.mid(24, 16);
        const QByteArray tail = QByteArray(1, char(role ? 1 : 0)) + char(name.size()) + name;
        sik = hmac(generatorKey, rm + rc + tail);
        const QByteArray code = hmac(key ? *key : role ? adminKey : operatorKey, sidm + sidc + rm + rc + guid + tail);
        return message(0, 0, seq(), 0xc1, tag, hex("00000000") + sidm + rc + guid + code);
    }
    // A message of the client inside the session.
    QByteArray secured(const QByteArray &inner, quint32 rspSeq)
    {
        const int pad = 4 - (inner.size() + 2) % 4;
        const QByteArray d = sidc + be32(rspSeq) + inner + QByteArray(pad, '\0') + char(pad) + char(6);
        return d + hmac(sik, d).left(12);
    }
    QByteArray securedPing(quint32 rspSeq) { return secured(message(0, 0, seq(), 0x80, 1, {}).mid(8), rspSeq); }
    // Drives the creation up to the console's request of a step (3: RAKP
    // Message 3), acknowledged unless the console asked for none.
    QByteArray upTo(int step, bool noAck = false, bool clientAcks = true, const QString &user = QStringLiteral("tester"))
    {
        clientSeq = clientAcks ? 0 : 255;
        if (init(noAck, user) != 0)
            return QByteArray();
        return drive(step, noAck, clientAcks);
    }
    // The same for a creation the console has already started.
    QByteArray drive(int step, bool noAck = false, bool clientAcks = true)
    {
        QByteArray d = next();
        for (int i = 0;; ++i) {
            if (!noAck)
                send(ack(d));
            if (i == step)
                return d;
            send(reply(i, d));
            if (clientAcks)
                next(); // the console's acknowledge
            d = next();
        }
    }
    bool establish(bool noAck = false)
    {
        upTo(3, noAck);
        return session() && session()->phase == velquor::rsp::PhaseMsgTransfer;
    }

    int records() const { return log.model()->size(); }
    ASF_Packet *record(int i) const { return log.model()->packetAt(i < 0 ? records() + i : i); }
    ASF_RMCP_Packet *lastReceived() const
    {
        for (int i = records() - 1; i >= 0; --i) {
            if (record(i)->direction() == ASF_Packet::Received)
                return qobject_cast<ASF_RMCP_Packet *>(record(i));
        }
        return nullptr;
    }
};

} // namespace rsptest
