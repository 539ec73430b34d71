#pragma once

// Shared by the velquor-sim suites: answers as the workbench's check judges them.

#include "core/packetstatus.h"
#include "rmcp/rmcpcheck.h"

#include <QByteArray>
#include <QStringList>

namespace simtest {

// Each answer as hex, followed by the check's info when it finds something.
inline QStringList judged(const QList<QByteArray> &answers)
{
    QStringList out;
    for (const QByteArray &bytes : answers) {
        velquor::rmcp::RmcpFields f;
        velquor::PacketFindings findings;
        const bool clean = velquor::rmcp::checkMessage(bytes, 3, f, findings) && findings.info() == f.messageTypeName + '\t';
        out << QString::fromLatin1(bytes.toHex()) + (clean ? QString() : ' ' + findings.info());
    }
    return out;
}

} // namespace simtest
