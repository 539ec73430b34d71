#include "help/aboutdialog.h"

#include "core/imagesource.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velquor {

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(tr("About Velquor"));

    m_logo = new QLabel(this);
    m_logo->setObjectName(QStringLiteral("logoLabel"));
    m_logo->setPixmap(image(QStringLiteral("logo.png")));
    m_logo->setAlignment(Qt::AlignCenter);

    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("versionLabel"));
    m_version->setTextFormat(Qt::RichText);
    m_version->setText(QStringLiteral("<p align=\"center\">Version: 1.0.2"));
    m_version->setAlignment(Qt::AlignCenter);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("buttonOk"));
    buttons->setCenterButtons(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(12);
    layout->addWidget(m_logo);
    layout->addWidget(m_version);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace velquor
