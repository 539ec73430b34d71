#include "core/packetlogmodel.h"

#include "core/asfpacket.h"
#include "core/textformat.h"

#include <QTimer>
#include <algorithm>

using namespace velquor;

PacketLogModel::PacketLogModel(QObject *parent) : QAbstractTableModel(parent), m_announceTimer(new QTimer(this))
{
    m_announceTimer->setSingleShot(true);
    connect(m_announceTimer, &QTimer::timeout, this, &PacketLogModel::announcePending);
}

PacketLogModel::~PacketLogModel() = default;

bool PacketLogModel::isArrivalOrder() const
{
    return m_sortColumn == NumberColumn && m_sortOrder == Qt::AscendingOrder;
}

const PacketLogModel::Entry &PacketLogModel::entryAt(int row) const
{
    return m_rows[m_order.empty() ? size_t(row) : size_t(m_order[size_t(row)])];
}

bool PacketLogModel::lessThan(const Entry &x, int a, const Entry &y, int b) const
{
    int c = 0;
    switch (m_sortColumn) {
    case ProtocolColumn:
        c = x.protocol.compare(y.protocol);
        break;
    case TimeColumn:
        c = x.timestamp < y.timestamp ? -1 : (x.timestamp > y.timestamp ? 1 : 0);
        break;
    case DirectionColumn:
        c = directionText(x.direction).compare(directionText(y.direction));
        break;
    case InfoColumn:
        c = x.info.compare(y.info);
        break;
    default:
        break;
    }
    if (c == 0)
        c = a < b ? -1 : (a > b ? 1 : 0); // ties keep arrival order
    return m_sortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
}

ASF_Packet *PacketLogModel::append(std::unique_ptr<ASF_Packet> packet, quint32 number)
{
    ASF_Packet *record = packet.get();
    Entry entry{std::move(packet), record->protocol(), record->info(), number, record->timestamp(),
                qint8(record->direction()), qint8(record->status())};
    const int arrival = int(m_rows.size());
    if (isArrivalOrder()) {
        // New rows wait at the end until the event loop comes round, and at
        // least a tenth of a second after the last announcement.
        m_rows.push_back(std::move(entry));
        if (!m_announceTimer->isActive()) {
            const qint64 since = m_lastAnnounce.isValid() ? m_lastAnnounce.elapsed() : qint64(AnnounceIntervalMs);
            m_announceTimer->start(int(qBound(qint64(0), qint64(AnnounceIntervalMs) - since, qint64(AnnounceIntervalMs))));
        }
        return record;
    }
    // Sorted by a column, a row goes to its place among the others at once.
    announcePending();
    const auto pos = std::lower_bound(m_order.begin(), m_order.end(), arrival, [&](int a, int) {
        return lessThan(m_rows[size_t(a)], a, entry, arrival);
    });
    const int row = int(pos - m_order.begin());
    beginInsertRows(QModelIndex(), row, row);
    m_rows.push_back(std::move(entry));
    m_order.insert(m_order.begin() + row, arrival);
    m_announced = size();
    endInsertRows();
    return record;
}

void PacketLogModel::announcePending()
{
    m_announceTimer->stop();
    if (m_announced >= size())
        return;
    m_lastAnnounce.start();
    beginInsertRows(QModelIndex(), m_announced, size() - 1);
    m_announced = size();
    endInsertRows();
}

std::unique_ptr<ASF_Packet> PacketLogModel::clear()
{
    std::unique_ptr<ASF_Packet> newest = m_rows.empty() ? nullptr : std::move(m_rows.back().packet);
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_order.clear();
    m_announced = 0;
    endResetModel();
    return newest;
}

ASF_Packet *PacketLogModel::packetAt(int row) const
{
    if (row < 0 || row >= size())
        return nullptr;
    return entryAt(row).packet.get();
}

LogRowTexts PacketLogModel::rowTexts(int row) const
{
    const Entry &e = entryAt(row);
    return logRowTexts(e.number, e.protocol, e.timestamp, e.direction, e.info);
}

int PacketLogModel::rowStatus(int row) const
{
    return entryAt(row).status;
}

int PacketLogModel::displayRow(int arrivalIndex) const
{
    if (arrivalIndex < 0 || arrivalIndex >= size())
        return -1;
    if (m_order.empty())
        return arrivalIndex;
    const auto it = std::find(m_order.begin(), m_order.end(), arrivalIndex);
    return it == m_order.end() ? -1 : int(it - m_order.begin());
}

int PacketLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_announced;
}

int PacketLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PacketLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_announced)
        return {};
    const Entry &e = entryAt(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case NumberColumn:
            return QString::asprintf("%5u", e.number);
        case ProtocolColumn:
            return e.protocol;
        case TimeColumn:
            return timestampText(e.timestamp);
        case DirectionColumn:
            return directionText(e.direction);
        case InfoColumn:
            return e.info;
        default:
            return {};
        }
    }
    if (role == StatusRole && index.column() == InfoColumn)
        return int(e.status);
    return {};
}

QVariant PacketLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const headers[] = {"No.", "Protocol", "Time", "Direction", "Status/Info"};
    if (section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(headers[section]);
}

void PacketLogModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    announcePending();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> arrivalOf;
    arrivalOf.reserve(size_t(before.size()));
    for (const QModelIndex &idx : before)
        arrivalOf.push_back(m_order.empty() ? idx.row() : m_order[size_t(idx.row())]);

    m_sortColumn = column;
    m_sortOrder = order;
    if (isArrivalOrder()) {
        m_order.clear();
    } else {
        m_order.resize(m_rows.size());
        for (size_t i = 0; i < m_order.size(); ++i)
            m_order[i] = int(i);
        std::sort(m_order.begin(), m_order.end(), [this](int a, int b) {
            return lessThan(m_rows[size_t(a)], a, m_rows[size_t(b)], b);
        });
    }

    std::vector<int> rowOf(m_rows.size());
    for (size_t row = 0; row < rowOf.size(); ++row)
        rowOf[size_t(m_order.empty() ? int(row) : m_order[row])] = int(row);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(rowOf[size_t(arrivalOf[size_t(i)])], before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
