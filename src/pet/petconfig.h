#pragma once

#include <QDialog>
#include <memory>

class ASF_PET_Handler;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velquor {
class DatagramSocket;
}

// Configuration dialog of the PET listener. Its fields are the handler's
// configuration store (the PET page mirrors them); it binds and holds the
// listening socket. Widgets are public so the main window can mirror them.
class PETConfig : public QDialog
{
    Q_OBJECT

public:
    explicit PETConfig(ASF_PET_Handler *handler, QWidget *parent = nullptr);
    ~PETConfig() override;

    velquor::DatagramSocket *socket() const { return m_socket.get(); }

    QLabel *PETIPAdr_lb;
    QLineEdit *PETIPAdr;
    QLabel *PETIPPort_lb;
    QLineEdit *PETIPPort;
    QPushButton *PETConfigConnect_Button;
    QLabel *textLabel1;
    QLabel *status_textLabel;
    QRadioButton *PETHeartbeat;
    QLabel *interval_text;
    QLineEdit *PETHeartbeatInterval;
    QLabel *intvalMin_text;
    QLineEdit *PETHeartbeatInterval_2;
    QLabel *intvalMin_text_2;
    QPushButton *buttonOk;
    QPushButton *buttonCancel;

public slots:
    // Binds (again) to the address and port of the fields.
    void PETConnect();
    void ASFSocketReveive();
    void doOK();
    void languageChange();

private:
    void dropSocket();

    ASF_PET_Handler *m_handler;
    std::unique_ptr<velquor::DatagramSocket> m_socket;
};
