#pragma once

// Datagrams for the RMCP tests, built by hand so the checks are not tested
// against the composer, and a check run on their bytes.

#include "rmcp/rmcpcheck.h"
#include "rmcp/rmcplayout.h"
#include "support/testdata.h"

#include <QByteArray>
#include <QtEndian>

namespace rmcptest {

using velquor::test::hex;

// Sequence number 5, the given type and tag, Data Length = size of data.
inline QByteArray message(quint8 type, const QByteArray &data = {}, quint8 tag = 7)
{
    return hex("06 00 05 06 00 00 11 be") + char(type) + char(tag) + char(0) + char(data.size()) + data;
}

// RSP header, message, and trailer bytes exactly as given.
inline QByteArray rsp(quint32 session, quint32 sequence, const QByteArray &message, const QByteArray &trailer = {})
{
    QByteArray header(velquor::rmcp::RspHeaderSize, '\0');
    qToBigEndian(session, header.data());
    qToBigEndian(sequence, header.data() + 4);
    return header + message + trailer;
}

// Pad, Pad Length and Next Header as given, then 12 bytes of 0xAA.
inline QByteArray trailer(const char *padToNextHeader) { return hex(padToNextHeader) + QByteArray(12, char(0xAA)); }

struct Checked
{
    velquor::rmcp::RmcpFields fields;
    velquor::PacketFindings findings{QString()};
    bool ok = false;
};

inline Checked check(const QByteArray &bytes, int protocolType = velquor::rmcp::ProtocolRmcp)
{
    Checked c;
    c.ok = velquor::rmcp::checkMessage(bytes, protocolType, c.fields, c.findings);
    return c;
}

} // namespace rmcptest
