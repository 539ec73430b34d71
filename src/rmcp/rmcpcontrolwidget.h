#pragma once

#include "rmcp/rmcpsendform.h"

#include <QWidget>
#include <vector>

class ASF_RMCP_Handler;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTextEdit;

// The control panel of an RMCP page: the managed client's status and
// lamps, Connect/Abort, the send list and Send. The message fields that
// Send reads stay hidden until "Fields" shows them; the RSP send modes are
// usable only where RSP is. It shows its handler's connection state and
// drives the handler; it keeps no state of its own. Widgets are public so
// the page and tests reach them.
class RMCPControlWidget : public QWidget
{
    Q_OBJECT

public:
    explicit RMCPControlWidget(ASF_RMCP_Handler *handler, QWidget *parent = nullptr,
                               const char *name = "RMCPControlWidget");
    ~RMCPControlWidget() override;

    ASF_RMCP_Handler *handler() const { return m_handler; }
    // The message fields as typed.
    velquor::rmcp::SendFormTexts formTexts() const;
    QLineEdit *fieldBox(velquor::rmcp::SendFormField field) const;

    QGroupBox *managedClient_Frame;
    QLabel *ipAddressLabel, *portLabel, *roleLabel, *nameLabel, *statusLabel, *rspLabel;
    QLabel *RMCPIPAddress;
    QLabel *RMCPIPPort;
    QFrame *rspRoleName_Frame;
    QLabel *role_text;
    QLabel *name_text;
    QLabel *RMCPStatusLED;
    QLabel *RMCPRSPLED;

    QGroupBox *sendGroup;
    QPushButton *connect_button;
    QPushButton *disconnect_button;
    QComboBox *RCMPcomboBox;
    QPushButton *RCMPSend_Button;
    QPushButton *fields_button;

    QGroupBox *RCMPGenericButtonGroup;
    QLineEdit *RCMPPacketVersion;
    QLineEdit *RCMPPacketReserved1;
    QLineEdit *RCMPPacketSequenceNr;
    QLineEdit *RCMPPacketMessageClass;
    QLineEdit *RCMPPacketIANANr;
    QLineEdit *RCMPPacketMessageType;
    QLineEdit *RCMPPacketMessageTag;
    QLineEdit *RCMPPacketReserved2;
    QLineEdit *RCMPPacketDataLength;
    QTextEdit *RCMPPacketData;
    QRadioButton *sendRSP_radioButton;
    QRadioButton *RSP_Generic_radioButton;
    QFrame *RSP_Generic;
    QLineEdit *RCMPPacketIANANr_2;   // Session ID
    QLineEdit *RCMPPacketIANANr_2_2; // Sequence # (RSP)
    QRadioButton *RSP_Trailer_radioButton;
    QFrame *RSP_Trailer_Frame;
    QLineEdit *RCMPPacketIANANr_2_4;   // Pad
    QLineEdit *RCMPPacketMessageTag_2; // Pad Length
    QLineEdit *RCMPPacketReserved2_2;  // Next Header
    QRadioButton *radioButton8_2;      // False Integrity Data

public slots:
    void RCMPToggleRSPRadioButton(bool on);
    void RCMPToggleRSPGenericRadioButton(bool on);
    // Fills the type and tag fields for the request chosen in the list.
    void RCMPSendComboBox(const QString &text);
    // Translates the fields and lets the handler send; a box that does not
    // translate turns light yellow and nothing is sent.
    void RCMPSendPacket();
    void RCMPConnectionToggle();
    void RCMPConnect();
    void RCMPKillConnection();
    void languageChange();
    // The "Fields" button: shows or hides the message fields.
    void showFields(bool on);

private:
    struct FieldRow
    {
        QLabel *label;
        QWidget *box;
        QLabel *unit; // "h", or null
        const char *text;
    };
    QLineEdit *addField(QWidget *owner, const char *name, const char *label, const char *initial,
                        std::vector<FieldRow> &rows);
    void showConnectionState();
    void enableRspModes();

    ASF_RMCP_Handler *m_handler;
    std::vector<FieldRow> m_rows;
    std::vector<FieldRow> m_rspRows;
    QLabel *m_dataLabel = nullptr;
};
