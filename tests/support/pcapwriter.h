#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// Writes UDP datagrams as Ethernet/IPv4/UDP frames into a pcap file, so tests
// can feed capture readers (our own and independent ones).
struct CapturedUdp
{
    quint16 sourcePort = 0;
    quint16 destinationPort = 0;
    QByteArray payload;
    qint64 timeMicros = 0;
};

bool writeUdpCapture(const QString &path, const std::vector<CapturedUdp> &datagrams, QString *error);
