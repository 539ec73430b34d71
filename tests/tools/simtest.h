#pragma once

// Shared by the velquor-sim suites: answers as the workbench's check judges them.

#include "core/packetstatus.h"
#include "rmcp/rmcpcheck.h"
#include "rmcp/rmcplayout.h"

#include <QByteArray>
#include <QStringList>

namespace simtest {

// Each answer as hex, followed by the check's info when it finds something.
template<typename Answers, typename Bytes>
QStringList judged(const Answers &answers, Bytes bytesOf)
{
    QStringList out;
    for (const auto &answer : answers) {
        const QByteArray bytes = bytesOf(answer);
        velquor::rmcp::RmcpFields f;
        velquor::PacketFindings findings;
        const bool ok = velquor::rmcp::checkMessage(bytes, velquor::rmcp::ProtocolRmcp, f, findings);
        const bool clean = ok && findings.info() == f.messageTypeName + QLatin1Char('\t');
        out << QString::fromLatin1(bytes.toHex()) + (clean ? QString() : QLatin1Char(' ') + findings.info());
    }
    return out;
}

} // namespace simtest
