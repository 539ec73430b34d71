#pragma once

#include <QString>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace velquor {

// The widgets of the PET page. The PET handler shows its lamps and the bound
// address here, and the page mirrors its configuration dialog.
struct PetPage
{
    QWidget *page = nullptr; // PET_Page
    QGroupBox *statusGroup = nullptr;
    QLabel *ipAddressLabel = nullptr, *portLabel = nullptr, *statusLabel = nullptr, *heartbeatLabel = nullptr;
    QLabel *PETIPAddress = nullptr;
    QLabel *PETIPPort = nullptr;
    QLabel *PETStatusLED = nullptr;    // listening
    QLabel *pixmapLabel1 = nullptr;    // receive
    QLabel *PETHeartbeatLED = nullptr; // heartbeat
    QGroupBox *configGroup = nullptr;
    QLabel *PETIPAdr_lb = nullptr, *PETIPPort_lb = nullptr;
    QLineEdit *PETIPAdr = nullptr;
    QLineEdit *PETIPPort_2 = nullptr;
    QRadioButton *PETHeartbeat = nullptr;
    QLabel *interval_text = nullptr;
    QLineEdit *PETHeartbeatInterval = nullptr;
    QLabel *intvalMin_text = nullptr;
    QLineEdit *PETHeartbeatInterval_2 = nullptr;
    QLabel *intvalMin_text_2 = nullptr;
    QLabel *textLabel1 = nullptr; // "Status:"
    QLabel *status_textLabel = nullptr;
    QPushButton *PETConfigConnect_Button = nullptr;
    QFrame *PET_ShowLog_Frame = nullptr;
    QFrame *PET_ShowPacket_Frame = nullptr;
    QPushButton *clearLog_button = nullptr;
    QPushButton *savePETLogButton = nullptr;
};

// The widgets of one RMCP page. Page 2 has the same widgets; their object
// names carry the suffix "_3" (the frames and log buttons are named apart).
struct RmcpPage
{
    QWidget *page = nullptr; // RMCP_Page1 / RMCP_Page2
    QGroupBox *clientGroup = nullptr;
    QLabel *ipAddressLabel = nullptr, *portLabel = nullptr, *responseTimeLabel = nullptr, *msLabel = nullptr;
    QLineEdit *RMCPIPAdr = nullptr;
    QComboBox *RMCPIPPort = nullptr;
    QLineEdit *retransmissionInterval = nullptr;
    QGroupBox *retransmissionGroup = nullptr;
    QRadioButton *retransmissionOn_radioButton = nullptr;
    QRadioButton *retransmissionOff_radioButton = nullptr;
    QLabel *repeatsLabel = nullptr;
    QLineEdit *retransmissionNr = nullptr;
    QGroupBox *rspGroup = nullptr;
    QRadioButton *RSPOn_radioButton = nullptr;
    QRadioButton *RSPOff_radioButton = nullptr;
    QGroupBox *RSP_Config = nullptr;
    QRadioButton *RSPOperator_radioButton = nullptr;
    QRadioButton *RSPAdministrator_radioButton = nullptr;
    QLabel *nameLabel = nullptr, *oKeyLabel = nullptr, *aKeyLabel = nullptr, *gKeyLabel = nullptr;
    QLineEdit *uName = nullptr;
    QLineEdit *oKey = nullptr;
    QLineEdit *aKey = nullptr;
    QLineEdit *gKey = nullptr;
    QLabel *statusLabel = nullptr; // "Status:"
    QLabel *status_textLabel_2 = nullptr;
    QPushButton *RMCPConfigConnect_Button = nullptr;
    QPushButton *RMCPDisconfigConnect_Button = nullptr;
    QFrame *rmcpControlFrame = nullptr;
    QFrame *RMCP_ShowLog_Frame = nullptr;
    QFrame *RMCP_ShowPacket_Frame = nullptr;
    QPushButton *rmcpClearLog_button = nullptr;
    QPushButton *saveLogButton = nullptr; // saveRMCP1LogButton / saveRMCP2LogButton
};

struct TraceLogPage
{
    QWidget *page = nullptr; // TraceLogPage
    QPlainTextEdit *traceLOGtextEdit = nullptr;
    QPushButton *traceLogClearButton = nullptr;
    QPushButton *saveTraceLogButton = nullptr;
};

// Build the page's widgets and layouts inside page (texts are set by retranslate).
PetPage buildPetPage(QWidget *page);
RmcpPage buildRmcpPage(QWidget *page, int number);
TraceLogPage buildTraceLogPage(QWidget *page);

void retranslate(PetPage &p);
void retranslate(RmcpPage &p);
void retranslate(TraceLogPage &p);

// The object name of an RMCP page widget: page 1 uses base, page 2 its own name.
QString rmcpObjectName(const char *base, int number);

} // namespace velquor
