#include "core/logconfig.h"
#include "core/widgetnames.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>

using velquor::named;

LogConfig::LogConfig(QWidget *parent, const char *name) : QDialog(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    auto *top = new QVBoxLayout(this);

    auto *groups = new QHBoxLayout;
    logConfigView_ButtonGroup = named(new QGroupBox(this), "logConfigView_ButtonGroup");
    auto *viewLayout = new QVBoxLayout(logConfigView_ButtonGroup);
    logConfigViewAll_RadioButton = named(new QRadioButton(logConfigView_ButtonGroup), "logConfigViewAll_RadioButton");
    logConfigViewCustom_RadioButton = named(new QRadioButton(logConfigView_ButtonGroup), "logConfigViewCustom_RadioButton");
    logConfigViewFollowing_RadioButton = named(new QRadioButton(logConfigView_ButtonGroup), "logConfigViewFollowing_RadioButton");
    logConfigViewFollowing_ButtonGroup = named(new QGroupBox(logConfigView_ButtonGroup), "logConfigViewFollowing_ButtonGroup");
    auto *viewChecks = new QVBoxLayout(logConfigViewFollowing_ButtonGroup);
    PET_2 = named(new QCheckBox(logConfigViewFollowing_ButtonGroup), "PET_2");
    RMCP_2 = named(new QCheckBox(logConfigViewFollowing_ButtonGroup), "RMCP_2");
    others_2 = named(new QCheckBox(logConfigViewFollowing_ButtonGroup), "others_2");
    send_2 = named(new QCheckBox(logConfigViewFollowing_ButtonGroup), "send_2");
    receive_2 = named(new QCheckBox(logConfigViewFollowing_ButtonGroup), "receive_2");
    for (QCheckBox *box : {PET_2, RMCP_2, others_2, send_2, receive_2})
        viewChecks->addWidget(box);
    viewLayout->addWidget(logConfigViewAll_RadioButton);
    viewLayout->addWidget(logConfigViewCustom_RadioButton);
    viewLayout->addWidget(logConfigViewFollowing_RadioButton);
    viewLayout->addWidget(logConfigViewFollowing_ButtonGroup);
    logConfigViewAll_RadioButton->setChecked(true);
    logConfigViewFollowing_ButtonGroup->setEnabled(false);
    groups->addWidget(logConfigView_ButtonGroup);

    logConfigLog_ButtonGroup = named(new QGroupBox(this), "logConfigLog_ButtonGroup");
    auto *logLayout = new QVBoxLayout(logConfigLog_ButtonGroup);
    logConfigLogAll_RadioButton = named(new QRadioButton(logConfigLog_ButtonGroup), "logConfigLogAll_RadioButton");
    logConfigLogCustom_RadioButton = named(new QRadioButton(logConfigLog_ButtonGroup), "logConfigLogCustom_RadioButton");
    logConfigLogFollowing_RadioButton = named(new QRadioButton(logConfigLog_ButtonGroup), "logConfigLogFollowing_RadioButton");
    logConfigLogNone_RadioButton = named(new QRadioButton(logConfigLog_ButtonGroup), "logConfigLogNone_RadioButton");
    logConfigLogFollowing_ButtonGroup = named(new QGroupBox(logConfigLog_ButtonGroup), "logConfigLogFollowing_ButtonGroup");
    auto *logChecks = new QVBoxLayout(logConfigLogFollowing_ButtonGroup);
    PET_2_2 = named(new QCheckBox(logConfigLogFollowing_ButtonGroup), "PET_2_2");
    RMCP_2_2 = named(new QCheckBox(logConfigLogFollowing_ButtonGroup), "RMCP_2_2");
    others_2_2 = named(new QCheckBox(logConfigLogFollowing_ButtonGroup), "others_2_2");
    send_2_2 = named(new QCheckBox(logConfigLogFollowing_ButtonGroup), "send_2_2");
    receive_2_2 = named(new QCheckBox(logConfigLogFollowing_ButtonGroup), "receive_2_2");
    for (QCheckBox *box : {PET_2_2, RMCP_2_2, others_2_2, send_2_2, receive_2_2})
        logChecks->addWidget(box);
    logLayout->addWidget(logConfigLogAll_RadioButton);
    logLayout->addWidget(logConfigLogCustom_RadioButton);
    logLayout->addWidget(logConfigLogFollowing_RadioButton);
    logLayout->addWidget(logConfigLogNone_RadioButton);
    logLayout->addWidget(logConfigLogFollowing_ButtonGroup);
    logConfigLogAll_RadioButton->setChecked(true);
    logConfigLogFollowing_ButtonGroup->setEnabled(false);
    groups->addWidget(logConfigLog_ButtonGroup);
    top->addLayout(groups);

    auto *fileRow = new QHBoxLayout;
    log_filename_tag = named(new QLabel(this), "log_filename_tag");
    logFilename = named(new QLineEdit(this), "logFilename");
    log_filename_tag->setBuddy(logFilename);
    getLogFile_toolButton = named(new QToolButton(this), "getLogFile_toolButton");
    fileRow->addWidget(log_filename_tag);
    fileRow->addWidget(logFilename, 1);
    fileRow->addWidget(getLogFile_toolButton);
    top->addLayout(fileRow);

    auto *buttons = new QHBoxLayout;
    buttonHelp = named(new QPushButton(this), "buttonHelp");
    buttonOk = named(new QPushButton(this), "buttonOk");
    buttonCancel = named(new QPushButton(this), "buttonCancel");
    buttonOk->setDefault(true);
    buttons->addWidget(buttonHelp);
    buttons->addStretch(1);
    buttons->addWidget(buttonOk);
    buttons->addWidget(buttonCancel);
    top->addLayout(buttons);

    languageChange();

    connect(logConfigViewFollowing_RadioButton, &QRadioButton::toggled, logConfigViewFollowing_ButtonGroup, &QWidget::setEnabled);
    connect(logConfigLogFollowing_RadioButton, &QRadioButton::toggled, logConfigLogFollowing_ButtonGroup, &QWidget::setEnabled);
    connect(buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(buttonOk, &QPushButton::clicked, this, &LogConfig::log_update_config);
    connect(buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(getLogFile_toolButton, &QToolButton::clicked, this, &LogConfig::getLogFilename);
}

void LogConfig::languageChange()
{
    setWindowTitle(tr("Configure Logging"));
    logConfigView_ButtonGroup->setTitle(tr("View"));
    logConfigViewAll_RadioButton->setText(tr("all"));
    logConfigViewCustom_RadioButton->setText(tr("custom"));
    logConfigViewFollowing_RadioButton->setText(tr("following"));
    logConfigLog_ButtonGroup->setTitle(tr("log"));
    logConfigLogAll_RadioButton->setText(tr("all"));
    logConfigLogCustom_RadioButton->setText(tr("custom"));
    logConfigLogFollowing_RadioButton->setText(tr("following"));
    logConfigLogNone_RadioButton->setText(tr("none"));
    const char *checks[] = {"PET", "RMCP", "others", "send", "receive"};
    QCheckBox *view[] = {PET_2, RMCP_2, others_2, send_2, receive_2};
    QCheckBox *log[] = {PET_2_2, RMCP_2_2, others_2_2, send_2_2, receive_2_2};
    for (int i = 0; i < 5; ++i) {
        view[i]->setText(tr(checks[i]));
        log[i]->setText(tr(checks[i]));
    }
    log_filename_tag->setText(tr("&Logfile"));
    logFilename->setText(QString());
    getLogFile_toolButton->setText(tr("..."));
    buttonHelp->setText(tr("&Help"));
    buttonHelp->setShortcut(QKeySequence(tr("F1")));
    buttonOk->setText(tr("&OK"));
    buttonCancel->setText(tr("&Cancel"));
}

void LogConfig::log_update_config()
{
    std::printf("1 Logging Configuration:\n");
    if (logConfigLogAll_RadioButton->isChecked())
        std::printf("log all\n");
    else if (logConfigLogFollowing_RadioButton->isChecked())
        std::printf("log following\n");
    std::printf("Log Filename:  %s\n", logFilename->text().toLocal8Bit().constData());
    std::fflush(stdout);
}

void LogConfig::getLogFilename()
{
    const QString name = QFileDialog::getSaveFileName(this, QString(), QStringLiteral("./log"), QStringLiteral("*.log"));
    if (!name.isEmpty())
        logFilename->setText(name);
}
