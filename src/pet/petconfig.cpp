#include "pet/petconfig.h"

#include "pet/asfpethandler.h"
#include "core/datagramsocket.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace velquor;

namespace {

template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

PETConfig::PETConfig(ASF_PET_Handler *handler, QWidget *parent) : QDialog(parent), m_handler(handler)
{
    setObjectName(QStringLiteral("PETConfig"));
    PETIPAdr_lb = named(new QLabel(this), "PETIPAdr_lb");
    PETIPAdr = named(new QLineEdit(this), "PETIPAdr");
    PETIPPort_lb = named(new QLabel(this), "PETIPPort_lb");
    PETIPPort = named(new QLineEdit(this), "PETIPPort");
    PETConfigConnect_Button = named(new QPushButton(this), "PETConfigConnect_Button");
    textLabel1 = named(new QLabel(this), "textLabel1");
    status_textLabel = named(new QLabel(this), "status_textLabel");
    PETHeartbeat = named(new QRadioButton(this), "PETHeartbeat");
    // A lone switch: it must be possible to turn it off again.
    PETHeartbeat->setAutoExclusive(false);
    interval_text = named(new QLabel(this), "interval_text");
    PETHeartbeatInterval = named(new QLineEdit(this), "PETHeartbeatInterval");
    intvalMin_text = named(new QLabel(this), "intvalMin_text");
    PETHeartbeatInterval_2 = named(new QLineEdit(this), "PETHeartbeatInterval_2");
    intvalMin_text_2 = named(new QLabel(this), "intvalMin_text_2");
    buttonOk = named(new QPushButton(this), "buttonOk");
    buttonCancel = named(new QPushButton(this), "buttonCancel");

    PETIPAdr_lb->setBuddy(PETIPAdr);
    PETIPPort_lb->setBuddy(PETIPPort);
    interval_text->setBuddy(PETHeartbeatInterval);
    buttonOk->setAutoDefault(true);
    buttonOk->setDefault(true);

    auto *grid = new QGridLayout(this);
    grid->setObjectName(QStringLiteral("PETConfigLayout"));
    grid->addWidget(PETIPAdr_lb, 0, 0);
    grid->addWidget(PETIPAdr, 0, 1, 1, 2);
    grid->addWidget(PETIPPort_lb, 1, 0);
    grid->addWidget(PETIPPort, 1, 1, 1, 2);
    grid->addWidget(PETConfigConnect_Button, 2, 0);
    grid->addWidget(textLabel1, 2, 1);
    grid->addWidget(status_textLabel, 2, 2);
    grid->addWidget(PETHeartbeat, 3, 0);
    grid->addWidget(interval_text, 4, 0);
    grid->addWidget(PETHeartbeatInterval, 4, 1);
    grid->addWidget(intvalMin_text, 4, 2);
    grid->addWidget(PETHeartbeatInterval_2, 5, 1);
    grid->addWidget(intvalMin_text_2, 5, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buttonOk);
    buttons->addWidget(buttonCancel);
    grid->addLayout(buttons, 6, 0, 1, 3);

    languageChange();

    connect(PETConfigConnect_Button, &QPushButton::clicked, this, &PETConfig::PETConnect);
    connect(buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(buttonOk, &QPushButton::clicked, this, &PETConfig::doOK);
    connect(PETHeartbeat, &QRadioButton::toggled, PETHeartbeatInterval, &QWidget::setEnabled);
}

PETConfig::~PETConfig()
{
    dropSocket();
}

void PETConfig::languageChange()
{
    setWindowTitle(tr("Configure PET"));
    PETIPAdr_lb->setText(tr("local &IP Address:"));
    PETIPPort_lb->setText(tr("&Port:"));
    PETIPPort->setText(QStringLiteral("162"));
    PETConfigConnect_Button->setText(tr("Connect"));
    textLabel1->setText(tr("Status:"));
    status_textLabel->setText(tr("not listening"));
    PETHeartbeat->setText(tr("&Heartbeat"));
    PETHeartbeat->setShortcut(QKeySequence(tr("Alt+H")));
    interval_text->setText(tr("&Interval"));
    PETHeartbeatInterval->setText(QStringLiteral("10"));
    intvalMin_text->setText(tr("min"));
    PETHeartbeatInterval_2->setText(QStringLiteral("0.5"));
    intvalMin_text_2->setText(tr("min. tolerance"));
    buttonOk->setText(tr("&OK"));
    buttonCancel->setText(tr("&Cancel"));
}

void PETConfig::dropSocket()
{
    if (!m_socket)
        return;
    if (m_handler && m_handler->socket() == m_socket.get())
        m_handler->setSocket(nullptr);
    m_socket->disconnect(this);
    m_socket.reset();
}

void PETConfig::PETConnect()
{
    dropSocket();

    QHostAddress address;
    if (!address.setAddress(PETIPAdr->text())) {
        status_textLabel->setText(QStringLiteral("error: bad IP address"));
        m_handler->setStatusLamp(QStringLiteral("ledred.png"));
        m_handler->showAddress(QStringLiteral("0.0.0.0"));
        return;
    }
    const quint16 port = quint16(PETIPPort->text().toInt(nullptr, 10) & 0xffff);
    std::unique_ptr<DatagramSocket> socket = m_handler->createSocket();
    const int code = socket->bind(address, port);
    if (code != SocketNoError) {
        status_textLabel->setText(socketErrorText(code));
        PETConfigConnect_Button->setText(QStringLiteral("Connect"));
        m_handler->setStatusLamp(QStringLiteral("ledred.png"));
        return;
    }
    m_socket = std::move(socket);
    m_handler->showAddress(address.toString());
    // The port actually bound: with port 0 the system picks one.
    m_handler->showPort(QString::number(m_socket->localPort()));
    m_handler->setStatusLamp(QStringLiteral("ledgreen.png"));
    status_textLabel->setText(QStringLiteral("Connected"));
    PETConfigConnect_Button->setText(QStringLiteral("Reconnect"));
    connect(m_socket.get(), &DatagramSocket::readyRead, this, &PETConfig::ASFSocketReveive);
    m_handler->setLocalAddress(address);
    m_handler->setPort(port);
    m_handler->applyHeartbeatSettings();
    m_handler->setSocket(m_socket.get());
}

void PETConfig::ASFSocketReveive()
{
    m_handler->readDatagram(m_socket.get());
}

void PETConfig::doOK()
{
    m_handler->applyHeartbeatSettings();
    close();
}
