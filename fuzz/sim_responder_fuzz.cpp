// The simulator's request reader over any datagram. Properties: a correct
// simulator answers with nothing, or with an acknowledge of the datagram's
// sequence number and a response with its tag, each of which the
// workbench's own check finds no fault in; whatever the datagram did to the
// simulated system, the System State Response after it is just as clean.
// With every fault on, the reader still reads nothing outside the datagram
// (the input buffer is exactly its size, so ASan sees any such read).

#include "core/packetstatus.h"
#include "core/trace.h"
#include "fuzzcheck.h"
#include "rmcp/rmcpcheck.h"
#include "rmcp/rmcpcompose.h"
#include "rmcp/rmcptables.h"
#include "sim/rmcpresponder.h"

using namespace velquor;
using namespace velquor::rmcp;
using velquor::sim::Outgoing;
using velquor::sim::ResponderConfig;
using velquor::sim::RmcpResponder;

namespace {

RmcpFields checkedClean(const Outgoing &answer)
{
    RmcpFields fields;
    PacketFindings findings;
    const bool ok = checkMessage(answer.bytes, ProtocolRmcp, fields, findings);
    FUZZ_CHECK(ok && findings.info() == fields.messageTypeName + QLatin1Char('\t'),
               QStringLiteral("%1: %2").arg(QString::fromLatin1(answer.bytes.toHex()), findings.info()));
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setTraceEnabled(false);
    const QByteArrayView datagram(data, qsizetype(size));

    RmcpResponder correct;
    const std::vector<Outgoing> answers = correct.receive(datagram);
    FUZZ_CHECK(answers.size() <= 2);
    for (const Outgoing &answer : answers) {
        const RmcpFields f = checkedClean(answer);
        if (f.isAcknowledge) {
            FUZZ_CHECK(f.sequenceNr == data[2] && f.sequenceNr != NoAcknowledgeSequenceNr);
        } else {
            FUZZ_CHECK(f.isResponse && f.messageTag == data[9] && f.messageTag != NoResponseMessageTag);
            FUZZ_CHECK(f.sequenceNr != NoAcknowledgeSequenceNr);
        }
    }
    const std::vector<Outgoing> state = correct.receive(composeRequest(SendListRequest::SystemStateRequest, 255, 1));
    FUZZ_CHECK(state.size() == 1 && checkedClean(state[0]).messageType == TypeSystemStateResponse);

    ResponderConfig faults;
    faults.acknowledge = true;
    faults.responseFirst = true;
    faults.wrongTag = true;
    faults.sequenceFault = ResponderConfig::SequenceFault::Repeat;
    faults.ianaEnterpriseNr = 0;
    faults.lengthFault = ResponderConfig::LengthFault::Size;
    faults.twice = true;
    RmcpResponder faulty(faults);
    for (int i = 0; i < 2; ++i)
        FUZZ_CHECK(faulty.receive(datagram).size() <= 4);
    return 0;
}
