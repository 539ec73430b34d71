#pragma once

#include "rmcp/rmcpdisplaymodel.h"

#include <QWidget>
#include <array>

class ASF_RMCP_Packet;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTextEdit;

// Detail view of one RMCP record: header and trailer fields in boxes coloured
// by their status, the decoded data section, and a hex page.
class RMCP_Display : public QWidget
{
    Q_OBJECT

public:
    explicit RMCP_Display(QWidget *parent = nullptr, const char *name = nullptr);
    ~RMCP_Display() override;

    void showModel(const velquor::rmcp::DisplayModel &model);

public slots:
    // Switches between the field page and the hex page.
    void displayHex();
    virtual void languageChange();

private:
    QWidget *boxWidget(velquor::rmcp::FieldId id) const;

    QLabel *m_title = nullptr;
    QGroupBox *m_directionGroup = nullptr;
    QRadioButton *m_sent = nullptr;
    QRadioButton *m_received = nullptr;
    QGroupBox *m_typeGroup = nullptr;
    QRadioButton *m_request = nullptr;
    QRadioButton *m_response = nullptr;
    QRadioButton *m_ack = nullptr;
    QPushButton *m_hexButton = nullptr;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_infoPage = nullptr;
    QWidget *m_hexPage = nullptr;
    QFrame *m_rspFrame = nullptr;
    QTextEdit *m_data = nullptr;
    QTextEdit *m_hex = nullptr;
    std::array<QLineEdit *, velquor::rmcp::FieldCount> m_boxes{};
    std::array<QLabel *, velquor::rmcp::FieldCount> m_labels{};
};

namespace velquor {

class PacketViewRegistry;

// The detail view of an RMCP record, object name "RMCP_DISPLAY".
RMCP_Display *createRmcpView(ASF_RMCP_Packet &packet, QWidget *parent);

// Makes the registry build RMCP records' views with createRmcpView().
void registerRmcpViews(PacketViewRegistry &views);

} // namespace velquor
