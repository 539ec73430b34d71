#pragma once

// A console session manager over the in-memory network with a manual
// clock and a seeded random source, and a managed client scripted by the
// test. The client's messages and hashes are built here by hand, not with
// the library's composer.

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

// The suites trace a lot; only what a TraceCapture collects is of interest.
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

// RSP header, RMCP header (sequence number rmcpSeq), ASF header, data.
inline QByteArray message(quint32 sid, quint32 rspSeq, quint8 rmcpSeq, quint8 type, quint8 tag, const QByteArray &data)
{
    return be32(sid) + be32(rspSeq) + char(6) + char(0) + char(rmcpSeq) + char(6) + hex("000011be") + char(type)
           + char(tag) + char(0) + char(data.size()) + data;
}

// Fails the HMAC's start or end on the given calls (1 = the next).
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

// Gives the listed values first, then those of a seeded generator.
class ScriptedRandom : public velquor::RandomSource
{
public:
    std::deque<quint32> values;
    velquor::SeededRandomSource seeded{4711};
    quint32 next32() override
    {
        if (values.empty())
            return seeded.next32();
        const quint32 v = values.front();
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
    velquor::MemoryDatagramSocket client{&network}; // the managed client, on 127.0.0.1:664
    ASF_Logger log;
    std::unique_ptr<QRsp> rsp;
    std::deque<QByteArray> got;  // from the console, not yet looked at
    std::vector<QByteArray> sent; // everything the console sent
    int clientSent = 0;

    // The client's side of the session.
    QByteArray sidc = hex("0000002a"), rc = QByteArray(16, '\x11'), guid = QByteArray(16, '\x22');
    QByteArray operatorKey = QByteArray(20, '\x7c'), adminKey = QByteArray(20, '\x3e'),
               generatorKey = QByteArray(20, '\x5d');
    QByteArray sidm, rm, sik, name;
    quint8 rolem = 1;
    quint8 clientSeq = 0;   // RMCP sequence number of the client's next message; 255: no acknowledge wanted
    quint32 secureSeq = 0;  // RSP sequence number of the client's last secured message

    Bench()
    {
        client.bind(QHostAddress::LocalHost, 664);
        log.setListing(true);
        log.setTimeBase(&clock);
        velquor::rsp::Environment env;
        env.clock = &clock;
        env.random = &random;
        env.hmac = &hashes;
        env.socketFactory = [this] { return std::make_unique<velquor::MemoryDatagramSocket>(&network); };
        rsp = std::make_unique<QRsp>(QHostAddress::LocalHost, nullptr, "QRSP_Instance", env);
        rsp->setOwnerLog(&log);
    }
    QRssp *session() const { return rsp->sessions().isEmpty() ? nullptr : rsp->sessions().back(); }

    int init(bool noAck = false, int role = 1, const QString &user = QStringLiteral("tester"), int period = 1000)
    {
        rolem = role ? 1 : 0;
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
        if (got.empty())
            return QByteArray();
        QByteArray d = got.front();
        got.pop_front();
        return d;
    }
    void send(const QByteArray &datagram)
    {
        client.writeDatagram(datagram, QHostAddress::LocalHost, rsp->socket()->localPort());
        ++clientSent;
        settle();
    }
    static QByteArray ack(const QByteArray &d)
    {
        QByteArray a = d.left(12);
        a[11] = char(quint8(a[11]) | 0x80);
        return a;
    }
    quint8 seq() { return clientSeq == 255 ? 255 : clientSeq++; }
    // The client's answers to the request d.
    QByteArray pong(const QByteArray &d)
    {
        return message(0, 0, seq(), 0x40, quint8(d[17]), hex("000011be 00000000 81 80 000000000000"));
    }
    QByteArray openResponse(const QByteArray &d)
    {
        sidm = d.mid(20, 4);
        return message(0, 0, seq(), 0x43, quint8(d[17]),
                       hex("00000000") + sidm + sidc + hex("01000008 01000000 02000008 01000000"));
    }
    QByteArray rakp2(const QByteArray &d, const QByteArray *key = nullptr)
    {
        rm = d.mid(24, 16);
        const QByteArray tail = QByteArray(1, char(rolem)) + char(name.size()) + name;
        const QByteArray code = hmac(key ? *key : rolem ? adminKey : operatorKey, sidm + sidc + rm + rc + guid + tail);
        sik = hmac(generatorKey, rm + rc + tail);
        return message(0, 0, seq(), 0xc1, quint8(d[17]), hex("00000000") + sidm + rc + guid + code);
    }
    // A message of the client inside the session (its own trailer and integrity).
    QByteArray secured(const QByteArray &inner, quint32 rspSeq)
    {
        const int pad = 4 - (inner.size() + 2) % 4;
        QByteArray d = sidc + be32(rspSeq) + inner + QByteArray(pad, '\0') + char(pad) + char(6);
        return d + hmac(sik, d).left(12);
    }
    QByteArray securedPing(quint32 rspSeq, quint8 tag = 1)
    {
        return secured(message(0, 0, seq(), 0x80, tag, {}).mid(8), rspSeq);
    }

    QByteArray reply(int step, const QByteArray &request)
    {
        return step == 0 ? pong(request) : step == 1 ? openResponse(request) : rakp2(request);
    }
    // Drives the creation up to the console's request of a step (0 Presence
    // Ping, 1 Open Session Request, 2 RAKP Message 1, 3 RAKP Message 3),
    // acknowledged unless the console asked for none. clientAcks: the
    // client wants its messages acknowledged.
    QByteArray upTo(int step, bool noAck = false, bool clientAcks = true, const QString &user = QStringLiteral("tester"))
    {
        clientSeq = clientAcks ? 0 : 255;
        if (init(noAck, 1, user) != 0)
            return QByteArray();
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
    bool establish(bool noAck = false, bool clientAcks = true)
    {
        upTo(3, noAck, clientAcks);
        return session() && session()->phase == velquor::rsp::PhaseMsgTransfer;
    }

    int records() const { return log.model()->size(); }
    ASF_Packet *record(int i) const { return log.model()->packetAt(i < 0 ? records() + i : i); }
    ASF_RMCP_Packet *rmcpRecord(int i) const { return qobject_cast<ASF_RMCP_Packet *>(record(i)); }
    ASF_RMCP_Packet *lastReceived() const
    {
        for (int i = records() - 1; i >= 0; --i) {
            if (record(i)->direction() == ASF_Packet::Received)
                return rmcpRecord(i);
        }
        return nullptr;
    }
    // Reads whatever the console sent until it sends nothing more; how many.
    int drain()
    {
        int n = 0;
        while (!next().isEmpty())
            ++n;
        return n;
    }
};

// Each line occurs in text, in this order.
inline bool inOrder(const QString &text, const QStringList &lines, QString *missing = nullptr)
{
    qsizetype at = 0;
    for (const QString &line : lines) {
        at = text.indexOf(line, at);
        if (at < 0) {
            if (missing)
                *missing = line;
            return false;
        }
        at += line.size();
    }
    return true;
}

} // namespace rsptest
