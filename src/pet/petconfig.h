#pragma once

#include "pet/petsettings.h"

#include <QDialog>

class ASF_PET_Handler;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Configuration dialog of the PET listener. Its fields hold the settings as
// typed (the PET page mirrors them); Connect and OK hand them to the handler
// as a PetSettings value, and the status line follows the handler's
// listener state. Widgets are public so the main window can mirror them.
class PETConfig : public QDialog
{
    Q_OBJECT

public:
    explicit PETConfig(ASF_PET_Handler *handler, QWidget *parent = nullptr);
    ~PETConfig() override;

    // The settings the fields hold.
    velquor::pet::PetSettings settings() const;

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
    // Lets the handler listen (again) on the address and port of the fields.
    void PETConnect();
    void doOK();
    void languageChange();

private:
    void showListenerState();
    // The handler's configure(): its heartbeat settings into the fields.
    void showHeartbeatSettings();

    ASF_PET_Handler *m_handler;
};
