#include "core/packetlogview.h"

#include "core/asflogger.h"
#include "core/asfpacket.h"
#include "core/imagesource.h"
#include "core/packetlogmodel.h"
#include "core/packetstatus.h"
#include "core/packetviews.h"

#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QTextOption>
#include <QTimer>
#include <QTreeView>

using namespace velquor;

namespace {

// Row heights from the line count alone: the list may hold 200000 rows and
// the view asks for the height of every row between the top and the newest.
// The Status/Info column shows the row's status as the error or warning image.
class PacketLogDelegate : public QStyledItemDelegate
{
public:
    explicit PacketLogDelegate(QObject *parent)
        : QStyledItemDelegate(parent), m_error(image(QStringLiteral("error.png"))),
          m_warning(image(QStringLiteral("warning.png")))
    {
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (m_lineHeight == 0) {
            const QFontMetrics metrics(option.font);
            m_lineHeight = metrics.lineSpacing();
            m_charWidth = metrics.horizontalAdvance(QLatin1Char('M'));
            m_tabStop = qMax(1, int(QTextOption().tabStopDistance()));
            m_oneLine = QStyledItemDelegate::sizeHint(option, index.siblingAtColumn(0)).height();
        }
        if (index.column() != PacketLogModel::InfoColumn)
            return QSize(0, m_oneLine);
        // The list's font is fixed-pitch, so characters times their width is
        // the text width, without laying the text out. A tab (RMCP infos
        // have one after the message name) goes on to the next tab stop:
        // counted as one character the column would be cut right after it.
        const QString text = index.data().toString();
        int lines = 1, widest = 0, x = 0;
        for (int i = 0; i <= text.size(); ++i) {
            if (i == text.size() || text[i] == QLatin1Char('\n')) {
                widest = qMax(widest, x);
                x = 0;
                if (i < text.size())
                    ++lines;
            } else if (text[i] == QLatin1Char('\t')) {
                x = (x / m_tabStop + 1) * m_tabStop;
            } else {
                x += m_charWidth;
            }
        }
        const int icon = option.decorationSize.width() + 4;
        return QSize(widest + icon + 12, m_oneLine + (lines - 1) * m_lineHeight);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() != PacketLogModel::InfoColumn)
            return;
        const int status = index.data(PacketLogModel::StatusRole).toInt();
        if (status != ASF_PACKET_ERROR && status != ASF_PACKET_WARNING)
            return;
        option->icon = status == ASF_PACKET_ERROR ? m_error : m_warning;
        option->features |= QStyleOptionViewItem::HasDecoration;
        const QSize actual = option->icon.actualSize(option->decorationSize);
        option->decorationSize = option->decorationSize.boundedTo(actual);
    }

private:
    QIcon m_error, m_warning;
    mutable int m_lineHeight = 0;
    mutable int m_oneLine = 0;
    mutable int m_charWidth = 0;
    mutable int m_tabStop = 80;
};

QBoxLayout *fillingLayout(QWidget *frame, const char *name)
{
    if (!frame || frame->layout())
        return nullptr;
    auto *layout = new QHBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setObjectName(QString::fromLatin1(name));
    return layout;
}

} // namespace

// Space on the list activates the current row, as a mouse press does.
class LoggerKeyFilter : public QObject
{
public:
    explicit LoggerKeyFilter(PacketLogView *view) : QObject(view), m_view(view) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Space && m_view->m_list) {
                m_view->activateRow(m_view->m_list->currentIndex(), true);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    PacketLogView *m_view;
};

PacketLogView::PacketLogView(ASF_Logger *log, const PacketViewRegistry *views, QObject *parent)
    : QObject(parent), m_log(log), m_views(views)
{
    PacketLogModel *model = log->model();
    // Whether the list follows is decided before the row joins it, from the
    // selection the user left; the follow itself waits for the event loop,
    // since selecting and scrolling lay out the whole list.
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this] { m_follow = m_list && lastRowSelected(); });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_follow)
            return;
        m_followArrival = m_log->model()->size() - 1;
        if (!m_followPending) {
            m_followPending = true;
            QTimer::singleShot(0, this, &PacketLogView::followLastRow);
        }
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { m_followPending = false; });
    connect(log, &ASF_Logger::cleared, this, &PacketLogView::dropDetailView);
    connect(log, &ASF_Logger::saveFailed, this, &showSaveError);
}

PacketLogView::~PacketLogView()
{
    delete m_detailView;
    delete m_list;
    delete m_logFrameLayout;
    delete m_packetFrameLayout;
}

QTreeView *PacketLogView::listView() const
{
    return m_list;
}

QWidget *PacketLogView::detailView() const
{
    return m_detailView;
}

void PacketLogView::setLogFrame(QWidget *frame)
{
    delete m_list;
    if (QBoxLayout *layout = fillingLayout(frame, "LogShow_FrameLayout"))
        m_logFrameLayout = layout;
    auto *list = new QTreeView(frame);
    list->setObjectName(QStringLiteral("loggerListView"));
    QFont font(QStringLiteral("Courier"));
    font.setPointSize(12);
    list->setFont(font);
    list->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    list->setModel(m_log->model());
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
    if (frame && frame->layout())
        frame->layout()->addWidget(list);
    connect(list, &QAbstractItemView::pressed, this, [this](const QModelIndex &index) { activateRow(index, false); });
    list->installEventFilter(new LoggerKeyFilter(this));
    m_list = list;
    list->show();
    m_log->setListing(true);
}

void PacketLogView::setPacketFrame(QWidget *frame)
{
    m_packetFrame = frame;
    if (QBoxLayout *layout = fillingLayout(frame, "LogShowPacket_FrameLayout"))
        m_packetFrameLayout = layout;
}

bool PacketLogView::lastRowSelected() const
{
    PacketLogModel *model = m_log->model();
    if (model->rowCount() == 0 || m_followPending)
        return true;
    return m_list->selectionModel() && m_list->selectionModel()->isRowSelected(model->rowCount() - 1, QModelIndex());
}

void PacketLogView::followLastRow()
{
    m_followPending = false;
    PacketLogModel *model = m_log->model();
    if (!m_list || model->rowCount() == 0)
        return;
    const int row = model->displayRow(m_followArrival);
    if (row < 0)
        return;
    const QModelIndex target = model->index(row, 0);
    m_list->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->scrollTo(target);
    // The info column grows to the widest text in view; measuring costs a
    // layout pass, so a few times a second is enough.
    if (!m_infoResized.isValid() || m_infoResized.elapsed() >= 250) {
        m_list->resizeColumnToContents(PacketLogModel::InfoColumn);
        m_infoResized.start();
    }
}

void PacketLogView::activateRow(const QModelIndex &index, bool fromKeyboard)
{
    if (!index.isValid())
        return;
    ASF_Packet *packet = m_log->model()->packetAt(index.row());
    if (!packet)
        return;
    packet->setShowExpanded(fromKeyboard ? 1 : 0);
    showPacket(packet);
}

void PacketLogView::showPacket(ASF_Packet *packet)
{
    if (!m_packetFrame || !packet || !m_views)
        return;
    delete m_detailView;
    m_detailView = m_views->create(*packet, m_packetFrame);
    if (m_detailView && m_packetFrame->layout())
        m_packetFrame->layout()->addWidget(m_detailView);
    // A page may keep its detail frame out of the way until a row is activated.
    m_packetFrame->show();
}

void PacketLogView::dropDetailView()
{
    delete m_detailView;
}

bool PacketLogView::showLogFile(const QString &filename)
{
    const QString name = filename.isEmpty() ? m_log->lastFileName() : filename;
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

namespace velquor {

void showSaveError(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Error Saving Log"), text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("saveErrorBox"));
    box->open();
}

} // namespace velquor
