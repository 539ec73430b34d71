#pragma once

#include "core/packetstatus.h"
#include "rmcp/rmcpfields.h"

#include <QByteArrayView>

namespace velquor::rmcp {

// Cuts a datagram into fields and judges each one. Findings go to the
// fields' statuses and to findings: the info is first set to the message
// name and a tab, then each finding is appended. The record status is never
// reset here, so a status set before (for instance by a sender that could
// not read its data text) survives; field statuses other than DataLength
// also keep what an earlier check or a caller put there.
//
// Never reads outside bytes: fields beyond a short datagram stay 0 and the
// size check reports it. Returns true when findings' status is ok.
bool checkMessage(QByteArrayView bytes, int protocolType, RmcpFields &fields, PacketFindings &findings);

} // namespace velquor::rmcp
