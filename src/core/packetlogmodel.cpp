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

quint16 PacketLogModel::protocolIndex(const QString &protocol)
{
    const auto it = std::find(m_protocols.begin(), m_protocols.end(), protocol);
    if (it != m_protocols.end())
        return quint16(it - m_protocols.begin());
    // Code names the protocols, a handful; should a table ever fill up,
    // further rows show the last name in it.
    if (m_protocols.size() < MaxProtocols)
        m_protocols.push_back(protocol);
    return quint16(m_protocols.size() - 1);
}

QString PacketLogModel::infoText(const Entry &e) const
{
    return e.row.infoDerived ? build(e)->info() : e.row.storedInfo();
}

std::unique_ptr<ASF_Packet> PacketLogModel::build(const Entry &e) const
{
    return e.row.build(e.row);
}

int PacketLogModel::compare(const Entry &x, const QString &xInfo, const Entry &y, const QString &yInfo) const
{
    switch (m_sortColumn) {
    case ProtocolColumn:
        return protocolText(x).compare(protocolText(y));
    case TimeColumn:
        return x.row.timestamp < y.row.timestamp ? -1 : (x.row.timestamp > y.row.timestamp ? 1 : 0);
    case DirectionColumn:
        return directionText(x.row.direction).compare(directionText(y.row.direction));
    case InfoColumn:
        return xInfo.compare(yInfo);
    default:
        return 0;
    }
}

bool PacketLogModel::lessThan(const Entry &x, const QString &xInfo, int a, const Entry &y, const QString &yInfo,
                              int b) const
{
    int c = compare(x, xInfo, y, yInfo);
    if (c == 0)
        c = a < b ? -1 : (a > b ? 1 : 0); // ties keep arrival order
    return m_sortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
}

void PacketLogModel::makeCompact(Entry &e)
{
    ASF_Packet *record = e.packet.get();
    if (!record || e.kept)
        return;
    // Only while the record still shows the row's texts: they stay fixed.
    if (record->info() != e.row.storedInfo() || record->status() != e.row.status || record->protocol() != protocolText(e))
        return;
    CompactRecord compact;
    if (!record->toCompact(compact) || compact.timestamp != e.row.timestamp || compact.direction != e.row.direction)
        return;
    e.row = std::move(compact);
    e.packet.reset();
}

int PacketLogModel::compactRows() const
{
    return int(std::count_if(m_rows.begin(), m_rows.end(), [](const Entry &e) { return !e.packet; }));
}

void PacketLogModel::keepNewest()
{
    if (!m_rows.empty())
        m_rows.back().kept = true;
}

ASF_Packet *PacketLogModel::append(std::unique_ptr<ASF_Packet> packet, quint32 number)
{
    ASF_Packet *record = packet.get();
    Entry entry{std::move(packet), {}, number, protocolIndex(record->protocol())};
    entry.row.setStoredInfo(record->info(), false);
    entry.row.timestamp = record->timestamp();
    entry.row.direction = qint8(record->direction());
    entry.row.status = qint8(record->status());
    // The newest row keeps its record: the logger hands it out as the last one.
    if (!m_rows.empty())
        makeCompact(m_rows.back());
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
    const bool byInfo = m_sortColumn == InfoColumn;
    const QString info = byInfo ? infoText(entry) : QString();
    const auto pos = std::lower_bound(m_order.begin(), m_order.end(), arrival, [&](int a, int) {
        const Entry &x = m_rows[size_t(a)];
        return lessThan(x, byInfo ? infoText(x) : QString(), a, entry, info, arrival);
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
    const Entry &e = entryAt(row);
    if (!e.packet) {
        e.packet = build(e);
        e.row.setStoredInfo(e.packet->info(), false); // the row's text: just built from it
        e.row.infoDerived = false;
    }
    e.kept = true;
    return e.packet.get();
}

LogRowTexts PacketLogModel::rowTexts(int row) const
{
    const Entry &e = entryAt(row);
    return logRowTexts(e.number, protocolText(e), e.row.timestamp, e.row.direction, infoText(e));
}

QString PacketLogModel::textForm(int row) const
{
    const Entry &e = entryAt(row);
    return e.packet ? e.packet->textForm() : build(e)->textForm();
}

int PacketLogModel::rowStatus(int row) const
{
    return entryAt(row).row.status;
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
            return protocolText(e);
        case TimeColumn:
            return timestampText(e.row.timestamp);
        case DirectionColumn:
            return directionText(e.row.direction);
        case InfoColumn:
            return infoText(e);
        default:
            return {};
        }
    }
    if (role == StatusRole && index.column() == InfoColumn)
        return int(e.row.status);
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
        // Compact rows give their info by checking their bytes again: once
        // each here, not at every comparison.
        std::vector<QString> infos;
        if (column == InfoColumn) {
            infos.reserve(m_rows.size());
            for (const Entry &e : m_rows)
                infos.push_back(infoText(e));
        }
        static const QString none;
        std::sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            return lessThan(m_rows[size_t(a)], infos.empty() ? none : infos[size_t(a)], a, m_rows[size_t(b)],
                            infos.empty() ? none : infos[size_t(b)], b);
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
