#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class ASF_Logger;
class ASF_Packet;
class QBoxLayout;
class QModelIndex;
class QTreeView;
class QWidget;

namespace velquor {
class PacketViewRegistry;
}

// Shows a packet log on a page: the list of rows in the log frame, the
// record the user activates in the packet frame. The list follows the newest
// row while the last row is selected; a failed save is shown in a message
// box. Attaching the log frame lets the log list records.
class PacketLogView : public QObject
{
    Q_OBJECT

public:
    PacketLogView(ASF_Logger *log, const velquor::PacketViewRegistry *views, QObject *parent = nullptr);
    ~PacketLogView() override;

    // Builds the list in frame; a frame without a layout gets a horizontal
    // box layout named "LogShow_FrameLayout" that fills it.
    void setLogFrame(QWidget *frame);
    // Where activated records are shown ("LogShowPacket_FrameLayout").
    void setPacketFrame(QWidget *frame);

    // Shows the record in the packet frame, replacing what was shown.
    void showPacket(ASF_Packet *packet);
    // Shows a saved log file (filename, or the log's last one) in a dialog;
    // false when there is none to read.
    bool showLogFile(const QString &filename);

    ASF_Logger *log() const { return m_log; }
    QTreeView *listView() const;
    QWidget *detailView() const;

private:
    void activateRow(const QModelIndex &index, bool fromKeyboard);
    bool lastRowSelected() const;
    void followLastRow();
    void dropDetailView();

    ASF_Logger *m_log;
    const velquor::PacketViewRegistry *m_views;
    QPointer<QTreeView> m_list;
    QPointer<QWidget> m_packetFrame;
    QPointer<QBoxLayout> m_logFrameLayout;
    QPointer<QBoxLayout> m_packetFrameLayout;
    QPointer<QWidget> m_detailView;
    bool m_follow = false;
    bool m_followPending = false;
    int m_followArrival = -1; // the row to select when the follow runs, by arrival
    QElapsedTimer m_infoResized;

    friend class LoggerKeyFilter;
};

namespace velquor {

// Tells the user that a log could not be saved, without waiting for an answer.
void showSaveError(const QString &text);

} // namespace velquor
