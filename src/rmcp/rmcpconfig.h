#pragma once

#include "rmcp/rmcpsettings.h"

#include <QDialog>

class ASF_RMCP_Handler;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QRssp;

// Configuration dialog of an RMCP page: the managed client's address and
// port, response time, retransmission and RSP settings, and the
// connection's status and buttons. Its fields are a view of the handler's
// configuration: every edit goes there at once, and what scripts or the
// page set there shows here. Widgets are public so the page can mirror them.
class RMCPConfig : public QDialog
{
    Q_OBJECT

public:
    explicit RMCPConfig(ASF_RMCP_Handler *handler, QWidget *parent = nullptr);
    ~RMCPConfig() override;

    // The settings the fields hold.
    velquor::rmcp::RmcpSettings settings() const;

    QLabel *statusCaption;
    QLabel *status_textLabel;
    QPushButton *RMCPConfigConnect_Button;
    QPushButton *RMCPDisconfigConnect_Button;
    QPushButton *buttonOk;
    QPushButton *buttonCancel;
    QGroupBox *managedClientGroup;
    QLabel *ipAddressLabel, *portLabel;
    QLineEdit *RMCPIPAdr;
    QComboBox *RMCPIPPort;
    QLabel *responseTimeLabel, *msLabel;
    QLineEdit *retransmissionInterval;
    QGroupBox *retransmissionGroup;
    QRadioButton *retransmissionOn_radioButton;
    QRadioButton *retransmissionOff_radioButton;
    QLabel *repeatsLabel;
    QLineEdit *retransmissionNr;
    QGroupBox *rspGroup;
    QRadioButton *RSPOn_radioButton;
    QRadioButton *RSPOff_radioButton;
    QGroupBox *RSP_Config;
    QRadioButton *RSPOperator_radioButton;
    QRadioButton *RSPAdministrator_radioButton;
    QLabel *nameLabel, *oKeyLabel, *aKeyLabel, *gKeyLabel;
    QLineEdit *uName;
    QLineEdit *oKey;
    QLineEdit *aKey;
    QLineEdit *gKey;

public slots:
    void RMCPToggleConnection();
    void RMCPConnect();
    void RMCPDisconnect();
    void RMCPKillConnection();
    void RSPSessionCreated(QRssp *new_rssp);
    void RSPReceive(QRssp *rssp);
    void ASFSocketReveive();
    // Takes the settings over and closes.
    void doOK();
    void PortChanged(const QString &qstr);
    void languageChange();

private:
    void showSettings();
    void storeSettings();
    void showConnectionState();

    ASF_RMCP_Handler *m_handler;
    bool m_showing = false;
};
