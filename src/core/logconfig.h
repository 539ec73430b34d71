#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

// Logging settings. They are reported on stdout when accepted; the packet
// logs list, save and show every record whatever is chosen here.
class LogConfig : public QDialog
{
    Q_OBJECT

public:
    explicit LogConfig(QWidget *parent = nullptr, const char *name = nullptr);

    QLineEdit *logFilename;

public slots:
    virtual void log_update_config();
    virtual void getLogFilename();

protected slots:
    virtual void languageChange();

private:
    QGroupBox *logConfigView_ButtonGroup;
    QRadioButton *logConfigViewAll_RadioButton;
    QRadioButton *logConfigViewCustom_RadioButton;
    QRadioButton *logConfigViewFollowing_RadioButton;
    QGroupBox *logConfigViewFollowing_ButtonGroup;
    QCheckBox *PET_2, *RMCP_2, *others_2, *send_2, *receive_2;
    QGroupBox *logConfigLog_ButtonGroup;
    QRadioButton *logConfigLogAll_RadioButton;
    QRadioButton *logConfigLogCustom_RadioButton;
    QRadioButton *logConfigLogFollowing_RadioButton;
    QRadioButton *logConfigLogNone_RadioButton;
    QGroupBox *logConfigLogFollowing_ButtonGroup;
    QCheckBox *PET_2_2, *RMCP_2_2, *others_2_2, *send_2_2, *receive_2_2;
    QLabel *log_filename_tag;
    QToolButton *getLogFile_toolButton;
    QPushButton *buttonHelp, *buttonOk, *buttonCancel;
};
