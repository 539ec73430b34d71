#pragma once

// Shared by the RSP suites of velquor-sim: the console's session library
// driven as the RMCP pages drive it, with what it reports collected.

#include "core/asflogger.h"
#include "core/packetlogmodel.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpcompose.h"
#include "rsp/qrsp.h"
#include "rsp/qrssp.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <deque>
#include <functional>
#include <memory>

namespace simrsp {

// The keys and identity both sides are configured with.
inline const QByteArray operatorKey = QByteArray::fromHex("0102030405060708090a0b0c0d0e0f1011121314");
inline const QByteArray administratorKey = QByteArray::fromHex("a1a2a3a4a5a6a7a8a9aa");
inline const QByteArray generatorKey = QByteArray::fromHex("5d5d5d5d");

struct Console
{
    ASF_Logger log;
    std::unique_ptr<QRsp> rsp;
    QList<int> statuses;              // every sessionStatus, in order
    std::vector<QByteArray> received; // every message fetched, RSP header and trailer included
    std::deque<std::unique_ptr<ASF_RMCP_Packet>> packets; // sent, kept for retransmission
    int role = 1;
    int period = 3000;

    explicit Console(quint16 port, velquor::rsp::SocketFactory factory = {})
    {
        log.setListing(true);
        velquor::rsp::Environment env;
        env.port = port;
        env.socketFactory = std::move(factory);
        rsp = std::make_unique<QRsp>(QHostAddress::LocalHost, nullptr, "QRSP_Instance", env);
        rsp->setOwnerLog(&log);
        QObject::connect(rsp.get(), &QRsp::sessionStatus, [this](QRssp *s) { statuses << s->getStatus(); });
        QObject::connect(rsp.get(), &QRsp::msgReceived, [this](QRssp *s) { received.push_back(rsp->recvMsg(s)); });
    }
    QRssp *session() const { return rsp->sessions().isEmpty() ? nullptr : rsp->sessions().back(); }

    // Runs the event loop until done() or the time is up; done() at the end.
    static bool waitFor(const std::function<bool()> &done, int ms = 10000)
    {
        QDeadlineTimer deadline(ms);
        while (!done() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return done();
    }
    // Runs the event loop for ms, for what must not come.
    static void idle(int ms)
    {
        waitFor([] { return false; }, ms);
    }
    // The status the creation ends with, -1 when none came.
    int open(bool noAck = false, const QString &user = QStringLiteral("tester"))
    {
        const int before = int(statuses.size());
        if (rsp->initSession(role, operatorKey, administratorKey, generatorKey, period, noAck, user) != 0)
            return -2;
        return waitFor([&] { return statuses.size() > before; }, period + 10000) ? statuses.at(before) : -1;
    }
    int close()
    {
        const int before = int(statuses.size());
        if (!rsp->termSession(session()))
            return -2;
        return waitFor([&] { return statuses.size() > before; }, period + 10000) ? statuses.at(before) : -1;
    }
    // Sends an ASF request inside the session; the packet is kept.
    ASF_RMCP_Packet *send(quint8 type, quint8 tag, quint8 rmcpSeq, const QByteArray &data = {})
    {
        velquor::rmcp::MessageFields m;
        m.sequenceNr = rmcpSeq;
        m.messageType = type;
        m.messageTag = tag;
        m.dataLength = quint8(data.size());
        m.data = data;
        auto packet = std::make_unique<ASF_RMCP_Packet>();
        packet->setData(velquor::rmcp::composeMessage(m));
        packets.push_back(std::move(packet));
        return rsp->sendMsg(packets.back().get(), session()) ? packets.back().get() : nullptr;
    }
    // Waits for n more messages after the first `from`; the RMCP messages
    // inside as hex.
    QStringList messages(qsizetype from, qsizetype n, int ms = 10000)
    {
        waitFor([&] { return qsizetype(received.size()) >= from + n; }, ms);
        QStringList out;
        for (size_t i = size_t(from); i < received.size(); ++i) {
            const QByteArray &d = received[i];
            const int pad = d.size() >= 14 ? quint8(d[d.size() - 14]) : 0;
            out << QString::fromLatin1(d.mid(8, d.size() - 8 - 14 - pad).toHex());
        }
        return out;
    }
    // The infos of the received records logged with an error, in order.
    QStringList errors() const
    {
        QStringList out;
        for (int i = 0; i < log.model()->size(); ++i) {
            ASF_Packet *p = log.model()->packetAt(i);
            if (p->status() == ASF_PACKET_ERROR && p->direction() == ASF_Packet::Received)
                out << p->info();
        }
        return out;
    }
};

} // namespace simrsp
