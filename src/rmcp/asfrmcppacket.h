#pragma once

#include "core/asfpacket.h"
#include "core/textformat.h"
#include "rmcp/rmcpfields.h"

#include <QByteArray>
#include <QString>
#include <memory>

// One RMCP/ASF message, plain (protocol type 3, "RMCP") or behind an RSP
// header (type 4, "RMCP/RSP"; set type and label before the bytes). Giving it
// bytes cuts them into fields and checks each one.
class ASF_RMCP_Packet : public ASF_Packet
{
    Q_OBJECT

public:
    explicit ASF_RMCP_Packet(unsigned timestamp = 0);
    ~ASF_RMCP_Packet() override;

    const velquor::rmcp::RmcpFields &fields() const { return m_fields; }
    // For senders and session code that mark fields after a check.
    velquor::rmcp::RmcpFields &fields() { return m_fields; }
    const QString &messageTypeName() const { return m_fields.messageTypeName; }
    int trailerLength() const { return m_fields.trailerLength; }
    void setTrailerLength(int length) { m_fields.trailerLength = length; }

    QString textForm() const override;
    // The same text into an 8-bit buffer, as velquor-check prints it.
    void writeTextForm(velquor::TextBuffer &out) const;
    bool check() override;
    std::unique_ptr<ASF_Packet> clone() const override;

public slots:
    bool isAcknowledge();
    bool isResponse();
    int getVersion();
    int getVersionStatus();
    void setVersionStatus(int status);
    QString getVersionStatusText();
    void setVersionStatusText(const QString &text);
    int getReserved1();
    int getReserved1Status();
    void setReserved1Status(int status);
    QString getReserved1StatusText();
    void setReserved1StatusText(const QString &text);
    int getSequenceNr();
    int getSequenceNrStatus();
    void setSequenceNrStatus(int status);
    QString getSequenceNrStatusText();
    void setSequenceNrStatusText(const QString &text);
    int getMessageClass();
    int getMessageClassStatus();
    void setMessageClassStatus(int status);
    QString getMessageClassStatusText();
    void setMessageClassStatusText(const QString &text);
    double getIanaEnterpriseNr();
    int getIanaEnterpriseNrStatus();
    void setIanaEnterpriseNrStatus(int status);
    QString getIanaEnterpriseNrStatusText();
    void setIanaEnterpriseNrStatusText(const QString &text);
    int getMessageType();
    int getMessageTypeStatus();
    void setMessageTypeStatus(int status);
    QString getMessageTypeStatusText();
    void setMessageTypeStatusText(const QString &text);
    int getMessageTag();
    int getMessageTagStatus();
    void setMessageTagStatus(int status);
    QString getMessageTagStatusText();
    void setMessageTagStatusText(const QString &text);
    int getReserved2();
    int getReserved2Status();
    void setReserved2Status(int status);
    QString getReserved2StatusText();
    void setReserved2StatusText(const QString &text);
    int getDataLength();
    int getDataLengthStatus();
    void setDataLengthStatus(int status);
    QString getDataLengthStatusText();
    void setDataLengthStatusText(const QString &text);
    QByteArray getRmcpData();
    int getRmcpDataStatus();
    void setRmcpDataStatus(int status);
    QString getRmcpDataStatusText();
    void setRmcpDataStatusText(const QString &text);
    double getRspSessionId();
    int getRspSessionIdStatus();
    void setRspSessionIdStatus(int status);
    QString getRspSessionIdStatusText();
    void setRspSessionIdStatusText(const QString &text);
    double getRspSequenceNumber();
    int getRspSequenceNumberStatus();
    void setRspSequenceNumberStatus(int status);
    QString getRspSequenceNumberStatusText();
    void setRspSequenceNumberStatusText(const QString &text);
    QByteArray getRspPad();
    int getRspPadStatus();
    void setRspPadStatus(int status);
    QString getRspPadStatusText();
    void setRspPadStatusText(const QString &text);
    double getRspPadLength();
    int getRspPadLengthStatus();
    void setRspPadLengthStatus(int status);
    QString getRspPadLengthStatusText();
    void setRspPadLengthStatusText(const QString &text);
    int getRspNextHeader();
    int getRspNextHeaderStatus();
    void setRspNextHeaderStatus(int status);
    QString getRspNextHeaderStatusText();
    void setRspNextHeaderStatusText(const QString &text);
    QByteArray getRspIntegrityData();
    int getRspIntegrityDataStatus();
    void setRspIntegrityDataStatus(int status);
    QString getRspIntegrityDataStatusText();
    void setRspIntegrityDataStatusText(const QString &text);
    bool haveRspTail();

private:
    velquor::rmcp::RmcpFields m_fields;
};
