#include "core/asflogger.h"

#include "core/asfpacket.h"
#include "core/logfileformat.h"
#include "core/packetlogmodel.h"
#include "core/textformat.h"
#include "core/trace.h"
#include "core/tracelog.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>
#include <cstdarg>

using namespace velquor;

// Row heights from the line count alone: the list may hold 200000 rows and
// the view asks for the height of every row between the top and the newest.
class PacketLogDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (m_lineHeight == 0) {
            const QFontMetrics metrics(option.font);
            m_lineHeight = metrics.lineSpacing();
            m_charWidth = metrics.horizontalAdvance(QLatin1Char('M'));
            m_oneLine = QStyledItemDelegate::sizeHint(option, index.siblingAtColumn(0)).height();
        }
        if (index.column() != PacketLogModel::InfoColumn)
            return QSize(0, m_oneLine);
        // The list's font is fixed-pitch, so characters times their width is
        // the text width, without laying the text out.
        const QString text = index.data().toString();
        int lines = 1, longest = 0, start = 0;
        for (int i = 0; i <= text.size(); ++i) {
            if (i == text.size() || text[i] == QLatin1Char('\n')) {
                longest = qMax(longest, i - start);
                start = i + 1;
                if (i < text.size())
                    ++lines;
            }
        }
        const int icon = option.decorationSize.width() + 4;
        return QSize(longest * m_charWidth + icon + 12, m_oneLine + (lines - 1) * m_lineHeight);
    }

private:
    mutable int m_lineHeight = 0;
    mutable int m_oneLine = 0;
    mutable int m_charWidth = 0;
};

// Space on the list activates the current row, as a mouse press does.
class LoggerKeyFilter : public QObject
{
public:
    explicit LoggerKeyFilter(ASF_Logger *logger) : QObject(logger), m_logger(logger) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Space && m_logger->m_list) {
                m_logger->activateRow(m_logger->m_list->currentIndex(), true);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    ASF_Logger *m_logger;
};

ASF_Logger::ASF_Logger() : QObject(nullptr), m_model(new PacketLogModel(this)), m_followTimer(new QTimer(this))
{
    // Scrolling and selecting force the view to lay out all rows; doing it
    // once per event-loop pass instead of once per row keeps bursts fast.
    m_followTimer->setSingleShot(true);
    m_followTimer->setInterval(0);
    connect(m_followTimer, &QTimer::timeout, this, &ASF_Logger::followLastRow);
}

ASF_Logger::~ASF_Logger()
{
    delete m_detailView;
    delete m_list;
    delete m_logFrameLayout;
    delete m_packetFrameLayout;
}

QTreeView *ASF_Logger::listView() const
{
    return m_list;
}

QWidget *ASF_Logger::detailView() const
{
    return m_detailView;
}

QBoxLayout *ASF_Logger::layoutFor(QWidget *frame, const char *name)
{
    if (!frame || frame->layout())
        return nullptr;
    auto *layout = new QHBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setObjectName(QString::fromLatin1(name));
    return layout;
}

void ASF_Logger::setLogFrame(QWidget *frame)
{
    m_logFrame = frame;
    if (QBoxLayout *layout = layoutFor(frame, "LogShow_FrameLayout"))
        m_logFrameLayout = layout;
}

void ASF_Logger::setPacketFrame(QWidget *frame)
{
    m_packetFrame = frame;
    if (QBoxLayout *layout = layoutFor(frame, "LogShowPacket_FrameLayout"))
        m_packetFrameLayout = layout;
}

bool ASF_Logger::initList()
{
    if (!m_logFrame)
        return false;
    if (m_list) {
        m_model->clear();
        m_followPending = false;
        return true;
    }
    auto *list = new QTreeView(m_logFrame);
    list->setObjectName(QStringLiteral("loggerListView"));
    QFont font(QStringLiteral("Courier"));
    font.setPointSize(12);
    list->setFont(font);
    list->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    list->setModel(m_model);
    list->setItemDelegate(new PacketLogDelegate(list));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setAllColumnsShowFocus(true);
    list->setSortingEnabled(true);
    list->header()->setSortIndicator(PacketLogModel::NumberColumn, Qt::AscendingOrder);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(QHeaderView::Interactive);
    // Measure the rows in view only: the log may hold 200000 of them.
    list->header()->setResizeContentsPrecision(0);
    list->setTextElideMode(Qt::ElideNone);
    list->setColumnWidth(PacketLogModel::NumberColumn, 70);
    list->setColumnWidth(PacketLogModel::ProtocolColumn, 100);
    list->setColumnWidth(PacketLogModel::TimeColumn, 130);
    list->setColumnWidth(PacketLogModel::DirectionColumn, 100);
    if (m_logFrame->layout())
        m_logFrame->layout()->addWidget(list);
    connect(list, &QAbstractItemView::pressed, this,
            [this](const QModelIndex &index) { activateRow(index, false); });
    list->installEventFilter(new LoggerKeyFilter(this));
    m_list = list;
    list->show();
    return true;
}

bool ASF_Logger::lastRowSelected() const
{
    if (!m_list || m_model->size() == 0)
        return true;
    if (m_followPending)
        return true;
    const QModelIndex last = m_model->index(m_model->size() - 1, 0);
    return m_list->selectionModel() && m_list->selectionModel()->isRowSelected(last.row(), QModelIndex());
}

bool ASF_Logger::appendPacket(ASF_Packet *packet)
{
    return appendPacket(std::unique_ptr<ASF_Packet>(packet));
}

bool ASF_Logger::appendPacket(std::unique_ptr<ASF_Packet> packet)
{
    if (!packet)
        return false;
    if (!m_list && !initList())
        return false;
    m_packetCount += 1;
    if (m_packetCount > m_maxPackets)
        return false;

    const bool follow = lastRowSelected();
    std::shared_ptr<ASF_Packet> record(std::move(packet));
    m_model->append(record, m_packetCount);
    const int arrival = m_model->size() - 1;

    const QString time = timestampText(record->timestamp());
    const QString direction = directionText(record->direction());
    const char *format = record->status() == ASF_PACKET_ERROR ? "%1 logging with ERROR: protocol %2 - at %3 - %4\n"
                         : record->status() == ASF_PACKET_WARNING ? "%1 logging with Warning: protocol %2 - at %3 - %4\n"
                                                                   : "%1 Logging : protocol %2 - at %3 - %4\n";
    trace(QString::fromLatin1(format).arg(objectName(), record->protocol(), time, direction)
          + QStringLiteral("\tInfo: %1\n--------------------------------------\n").arg(record->info()));

    if (follow) {
        m_followPending = true;
        m_followArrival = arrival;
        m_followTimer->start();
    }
    m_lastPacket = record;
    if (m_packetCount == m_maxPackets - 1)
        logLevel(ASF_PACKET_ERROR,
                 "maximum number of packets reached (%u), clear log to continue-maximum number of packets reached (%u)\n clear log to continue",
                 m_maxPackets, m_maxPackets);
    emit newPacketSignal();
    return true;
}

void ASF_Logger::followLastRow()
{
    m_followPending = false;
    if (!m_list || m_model->size() == 0)
        return;
    const int row = m_model->displayRow(m_followArrival);
    if (row < 0)
        return;
    const QModelIndex target = m_model->index(row, 0);
    m_list->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->scrollTo(target);
    // The info column grows to the widest text in view; measuring costs a
    // layout pass, so a few times a second is enough.
    if (!m_infoResized.isValid() || m_infoResized.elapsed() >= 250) {
        m_list->resizeColumnToContents(PacketLogModel::InfoColumn);
        m_infoResized.start();
    }
}

void ASF_Logger::log(const QString &text)
{
    logLevel(ASF_PACKET_OK, text);
}

void ASF_Logger::log(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    const QString text = boundedVFormat(LineLimit, format, ap);
    va_end(ap);
    logLevel(ASF_PACKET_OK, text);
}

void ASF_Logger::logLevel(int status, const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    const QString text = boundedVFormat(LineLimit, format, ap);
    va_end(ap);
    logLevel(status, text);
}

void ASF_Logger::logLevel(int status, const QString &text)
{
    appendPacket(ASF_LogPacket::fromText(m_clock ? m_clock->elapsed() : 0, status, text));
}

void ASF_Logger::activateRow(const QModelIndex &index, bool fromKeyboard)
{
    if (!index.isValid())
        return;
    ASF_Packet *packet = m_model->packetAt(index.row());
    if (!packet)
        return;
    packet->setShowExpanded(fromKeyboard ? 1 : 0);
    showPacket(packet);
}

void ASF_Logger::showPacket(ASF_Packet *packet)
{
    if (!m_packetFrame || !packet)
        return;
    delete m_detailView;
    m_detailView = packet->createView(m_packetFrame);
    if (m_detailView && m_packetFrame->layout())
        m_packetFrame->layout()->addWidget(m_detailView);
    // A page may keep its detail frame out of the way until a row is activated.
    m_packetFrame->show();
}

void ASF_Logger::clearLog()
{
    m_model->clear();
    m_followPending = false;
    delete m_detailView;
    m_packetCount = 0;
}

void ASF_Logger::setMaxSize(unsigned size)
{
    if (size < m_maxPackets)
        clearLog();
    m_maxPackets = size;
    initList();
}

QByteArray ASF_Logger::getLastPacketData()
{
    return m_lastPacket ? m_lastPacket->data() : QByteArray();
}

bool ASF_Logger::writeLogToFilename()
{
    return writeLogToFilename(QString(), false);
}

bool ASF_Logger::writeLogToFilename(const QString &filename)
{
    return writeLogToFilename(filename, false);
}

void ASF_Logger::reportSaveError(const QString &text)
{
    // Headless users (the command-line tools, tests without a display) get the trace only.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Error Saving Log"), text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("saveErrorBox"));
    box->open();
}

bool ASF_Logger::writeLogToFilename(const QString &filename, bool bTraceLog)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString name = filename.isEmpty() ? logfile::defaultFileName(objectName(), now) : filename;

    if (!bTraceLog && !m_list) {
        // Nothing to save: say so instead of leaving an empty file behind as a success.
        reportSaveError(QStringLiteral("log item missing"));
        return false;
    }

    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        const QString text = QStringLiteral("%1: save log to file %2 failed (%3)\n")
                                 .arg(objectName(), name, file.errorString());
        trace(text);
        reportSaveError(text);
        return false;
    }
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Latin1);
    out << logfile::banner(objectName(), now);
    if (bTraceLog) {
        out << logfile::traceBody(TraceLog::activeText());
    } else {
        for (int row = 0; row < m_model->size(); ++row)
            out << logfile::block(m_model->rowTexts(row), m_model->packetAt(row)->textForm());
    }
    out.flush();
    file.close();
    if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        const QString text = QStringLiteral("%1: save log to file %2 failed (%3)\n")
                                 .arg(objectName(), name, file.errorString());
        trace(text);
        reportSaveError(text);
        return false;
    }

    if (!bTraceLog)
        log(QStringLiteral("saved log to file \"%1\"").arg(name));
    trace(QStringLiteral("\n--------------------------------------\n%1: saved log to file \"%2\"\n--------------------------------------\n")
              .arg(objectName(), name));
    m_lastFileName = name;
    return true;
}

bool ASF_Logger::showLogFile(const QString &filename)
{
    const QString name = filename.isEmpty() ? m_lastFileName : filename;
    QFile file(name);
    if (name.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QString text = QString::fromLatin1(file.readAll());

    QDialog dialog;
    dialog.setObjectName(QStringLiteral("logFileDialog"));
    dialog.setWindowTitle(name);
    dialog.setMinimumSize(500, 700);
    auto *layout = new QHBoxLayout(&dialog);
    layout->setObjectName(QStringLiteral("loggerLayout"));
    layout->setContentsMargins(11, 11, 11, 11);
    layout->setSpacing(6);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    auto *view = new QPlainTextEdit(&dialog);
    view->setReadOnly(true);
    view->setPlainText(text);
    layout->addWidget(view);
    dialog.exec();
    return true;
}
