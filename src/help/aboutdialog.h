#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace velquor {

// The About box: the logo and the program version.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);

    QLabel *logoLabel() const { return m_logo; }
    QLabel *versionLabel() const { return m_version; }

private:
    QLabel *m_logo;
    QLabel *m_version;
    QPushButton *m_ok;
};

} // namespace velquor
