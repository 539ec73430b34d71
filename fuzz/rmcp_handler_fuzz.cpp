// The RMCP handler's receive path: the input is one datagram from the
// managed client, received plainly and behind an RSP header, against every
// tracking state (nothing tracked; waiting for the acknowledge, the
// response, or both, before and after the acknowledge came), followed by a
// timer tick.
//
// Properties: the tracking state stays one of the four and the expectation
// one of the three; an acknowledge goes out exactly when the datagram has a
// whole RMCP header that is not an acknowledge and not numbered 255, and it
// is that header with bit 7 of the class set; the client's next number
// follows the one received; the log gets the datagram and the acknowledge;
// tracking ends only for the kind of message it waits for; a tick
// retransmits or fails the request and leaves the state valid.

#include "core/asflogger.h"
#include "core/memorynetwork.h"
#include "core/packetlogmodel.h"
#include "core/trace.h"
#include "fuzzcheck.h"
#include "rmcp/asfrmcphandler.h"
#include "rmcp/asfrmcppacket.h"
#include "rmcp/rmcpconnection.h"
#include "rmcp/rmcplayout.h"

#include <QCoreApplication>

using namespace velquor;
using namespace velquor::rmcp;

namespace {

struct Setup
{
    int seq, tag;     // the request; -1: none sent
    bool acknowledged; // its acknowledge came already
};

const Setup setups[] = {
    {-1, -1, false}, {5, 7, false}, {5, 7, true}, {255, 7, false}, {5, 255, false}, {255, 255, false},
};

bool validState(int state)
{
    return state == S_NONE || state == S_WAIT_ACK || state == S_WAIT_RESPONSE || state == S_WAIT_ACK_RESPONSE;
}

void receiveOnce(const QByteArray &datagram, bool rsp, const Setup &setup)
{
    ManualLogClock clock;
    MemoryNetwork net;
    MemoryDatagramSocket client(&net);
    client.bind(QHostAddress(QStringLiteral("10.0.0.2")), 623);
    ASF_RMCP_Handler handler(&clock);
    handler.connection()->setSocketFactory([&net] { return std::make_unique<MemoryDatagramSocket>(&net); });
    RmcpSettings settings;
    settings.address = QStringLiteral("10.0.0.2");
    settings.retransmissionOn = datagram.size() % 2;
    handler.setConfig(settings);
    handler.connection()->connectToClient();
    FUZZ_CHECK(handler.isConnected());

    std::vector<ReceivedDatagram> out;
    if (setup.seq >= 0)
        handler.sendPacketRsp(6, 0, true, quint8(setup.seq), 6, 4542, 0x80, true, quint8(setup.tag), 0, 0, QString(), 0);
    if (setup.acknowledged)
        handler.receiveDatagram(QByteArray::fromHex("06000586"));
    client.readPending(out);
    out.clear();

    const int stateBefore = handler.tracker().state();
    const int expectationBefore = handler.tracker().expectation();
    const int rowsBefore = handler.logger()->model()->size();
    clock.advance(10);
    if (rsp)
        handler.receiveRspMessage(datagram);
    else
        handler.receiveDatagram(datagram);

    const int o = rsp ? RspHeaderSize : 0;
    const bool whole = datagram.size() >= o + RmcpHeaderSize;
    const bool isAck = whole && (quint8(datagram[o + 3]) & AcknowledgeBit);
    const quint8 seq = whole ? quint8(datagram[o + 2]) : 0;
    const bool ackDue = whole && !isAck && seq != NoAcknowledgeSequenceNr;
    client.readPending(out);
    FUZZ_CHECK(out.size() == (ackDue ? 1u : 0u), QStringLiteral("%1 acknowledges").arg(out.size()));
    if (ackDue) {
        const QByteArray expected = datagram.mid(o, 3) + char(quint8(datagram[o + 3]) | AcknowledgeBit);
        FUZZ_CHECK(out[0].data == expected, QString::fromLatin1(out[0].data.toHex()));
    }
    if (whole && !isAck)
        FUZZ_CHECK(handler.expectedClientSequenceNumber() == quint8(seq + 1));
    FUZZ_CHECK(handler.logger()->model()->size() == rowsBefore + 1 + (ackDue ? 1 : 0));

    const RequestTracker &tracker = handler.tracker();
    FUZZ_CHECK(validState(tracker.state()));
    FUZZ_CHECK(tracker.expectation() >= ExpectNothing && tracker.expectation() <= ExpectResponse);
    FUZZ_CHECK(tracker.tracking() == bool(tracker.pending()));
    FUZZ_CHECK(handler.sendEnabled() == !tracker.tracking());
    const auto *record = qobject_cast<ASF_RMCP_Packet *>(handler.logger()->model()->packetAt(rowsBefore));
    FUZZ_CHECK(record && record->direction() == ASF_Packet::Received);
    if (!whole)
        FUZZ_CHECK(record->status() == ASF_PACKET_ERROR);
    if (tracker.state() != stateBefore) {
        // Only what the request waits for moves the tracking on.
        FUZZ_CHECK(tracker.state() == S_NONE);
        const bool endsByAck = stateBefore == S_WAIT_ACK;
        const bool endsByResponse =
            stateBefore == S_WAIT_RESPONSE || (stateBefore == S_WAIT_ACK_RESPONSE && expectationBefore == ExpectResponse);
        FUZZ_CHECK((endsByAck && record->fields().isAcknowledge) || (endsByResponse && record->fields().isResponse));
    }

    const int rowsAfter = handler.logger()->model()->size();
    const bool tracked = tracker.tracking();
    clock.advance(2000);
    handler.doTimer();
    FUZZ_CHECK(validState(tracker.state()));
    if (tracked)
        FUZZ_CHECK(handler.logger()->model()->size() == rowsAfter + 1); // the retransmission or the failure
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    // The handler traces every datagram; nobody reads it here.
    setTraceEnabled(false);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char *>(data), qsizetype(qMin<size_t>(size, 2000)));
    for (const Setup &setup : setups) {
        receiveOnce(datagram, false, setup);
        receiveOnce(datagram, true, setup);
    }
    return 0;
}
