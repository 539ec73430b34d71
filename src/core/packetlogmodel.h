#pragma once

#include "core/asfpacket.h"
#include "core/logfileformat.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <deque>
#include <memory>
#include <vector>

class QTimer;

// The rows of a packet log. A row's texts are fixed when it is appended;
// later changes of the record do not change them. Rows keep their records
// alive: the model owns them. Displayed order is arrival order unless the
// user sorts by a column.
// A row whose record can be built again from its bytes (a received trap) is
// kept compact once a newer row arrives, unless its record was handed out:
// a flood of datagrams then costs little more than its bytes. packetAt()
// builds such a record again, and the row keeps it from then on.
// The Status/Info column gives the row's status (StatusRole), which the view
// shows as the error or warning image.
//
// Views hear of appended rows in one insertion on the next event-loop turn,
// and while rows keep coming at most ten times a second, as a large packet
// list does: a tree view lays out all its rows on every insertion, so a
// burst costs a few layouts instead of one per row or per turn. size() and
// the row accessors below see every row at once; rowCount() and data() only
// the rows announced to the views.
class PacketLogModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NumberColumn, ProtocolColumn, TimeColumn, DirectionColumn, InfoColumn, ColumnCount };
    enum Role { StatusRole = Qt::UserRole + 1 };

    explicit PacketLogModel(QObject *parent = nullptr);
    ~PacketLogModel() override;

    // Appends a row numbered number; returns the record, now the model's.
    ASF_Packet *append(std::unique_ptr<ASF_Packet> packet, quint32 number);
    // Removes all rows; the newest record is handed back, the others deleted.
    std::unique_ptr<ASF_Packet> clear();
    // Tells the views of the rows appended since the last announcement now.
    void announcePending();

    static constexpr int AnnounceIntervalMs = 100;

    int size() const { return int(m_rows.size()); }
    // Displayed row -> record / texts. The record stays where it is as long
    // as its row.
    ASF_Packet *packetAt(int row) const;
    velquor::LogRowTexts rowTexts(int row) const;
    // The record's text form, without keeping a record built for it.
    QString textForm(int row) const;
    // The newest row keeps its record (it was handed out).
    void keepNewest();
    // Rows kept compact, for the benchmarks and tests.
    int compactRows() const;
    int rowStatus(int row) const;
    const QString &rowProtocol(int row) const { return protocolText(entryAt(row)); }
    // Displayed row of the row appended as arrivalIndex (0 = first since clear), or -1.
    int displayRow(int arrivalIndex) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    struct Entry
    {
        // Null while the row is compact; built again when asked for.
        mutable std::unique_ptr<ASF_Packet> packet;
        // The row's texts; with the bytes and builder once compact.
        mutable CompactRecord row;
        quint32 number;
        quint16 protocol; // in m_protocols
        mutable bool kept = false; // handed out: never made compact
    };
    static constexpr size_t MaxProtocols = 0xffff;
    quint16 protocolIndex(const QString &protocol);
    const QString &protocolText(const Entry &e) const { return m_protocols[e.protocol]; }

    const Entry &entryAt(int row) const;
    QString infoText(const Entry &e) const;
    std::unique_ptr<ASF_Packet> build(const Entry &e) const;
    void makeCompact(Entry &e);
    int compare(const Entry &x, const QString &xInfo, const Entry &y, const QString &yInfo) const;
    // Order of two entries with their arrival indexes under the current sort.
    bool lessThan(const Entry &x, const QString &xInfo, int a, const Entry &y, const QString &yInfo, int b) const;
    bool isArrivalOrder() const;

    std::vector<QString> m_protocols; // the rows' protocol texts, each once
    std::deque<Entry> m_rows;    // arrival order; grows without moving the rows
    std::vector<int> m_order;    // displayed row -> arrival index; empty = arrival order
    int m_announced = 0;         // rows the views know of; the rest wait at the end
    QTimer *m_announceTimer;
    QElapsedTimer m_lastAnnounce;
    int m_sortColumn = NumberColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
