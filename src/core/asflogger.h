#pragma once

#include "core/logclock.h"
#include "core/logsink.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class ASF_Packet;
class PacketLogModel;
class QBoxLayout;
class QModelIndex;
class QTimer;
class QTreeView;
class QWidget;

// The packet log of one page. It owns the records it lists (and the last one
// appended, even after a clear), its list view and its detail view.
class ASF_Logger : public QObject, public velquor::LogSink
{
    Q_OBJECT

public:
    ASF_Logger();
    ~ASF_Logger() override;

    void setLogFrame(QWidget *frame);
    void setPacketFrame(QWidget *frame);
    bool initList();
    void setTimeBase(velquor::LogClock *clock) { m_clock = clock; }

    // Takes ownership of the record. Returns false when it was refused (no
    // list, or the limit was passed); a refused record is deleted.
    bool appendPacket(ASF_Packet *packet);
    bool appendPacket(std::unique_ptr<ASF_Packet> packet);

    // Text lines: the part before the first '-' becomes the row's info, the
    // rest the detail message. The format versions are cut to 999 bytes.
    void log(const QString &text);
    void log(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void logLevel(int status, const QString &text) override;
    void logLevel(int status, const char *format, ...) __attribute__((format(printf, 3, 4)));

    void showPacket(ASF_Packet *packet);
    bool showLogFile(const QString &filename);

    quint32 packetCount() const { return m_packetCount; }
    QTreeView *listView() const;
    PacketLogModel *model() const { return m_model; }
    QWidget *detailView() const;
    const QString &lastFileName() const { return m_lastFileName; }

    static constexpr int LineLimit = 1000;

public slots:
    void clearLog();
    void setMaxSize(unsigned size);
    unsigned getMaxSize() { return m_maxPackets; }
    ASF_Packet *getLastAsfPacket() { return m_lastPacket.get(); }
    QByteArray getLastPacketData();
    bool writeLogToFilename();
    bool writeLogToFilename(const QString &filename);
    bool writeLogToFilename(const QString &filename, bool bTraceLog);

signals:
    void newPacketSignal();

private:
    void activateRow(const QModelIndex &index, bool fromKeyboard);
    void followLastRow();
    bool lastRowSelected() const;
    QBoxLayout *layoutFor(QWidget *frame, const char *name);
    void reportSaveError(const QString &text);

    quint32 m_packetCount = 0;
    unsigned m_maxPackets = 200000;
    velquor::LogClock *m_clock = nullptr;
    PacketLogModel *m_model = nullptr; // owned (child of this)
    QPointer<QTreeView> m_list;
    std::shared_ptr<ASF_Packet> m_lastPacket;
    QPointer<QWidget> m_logFrame;
    QPointer<QWidget> m_packetFrame;
    QPointer<QBoxLayout> m_logFrameLayout;
    QPointer<QBoxLayout> m_packetFrameLayout;
    QPointer<QWidget> m_detailView;
    QString m_lastFileName;
    QTimer *m_followTimer = nullptr;
    bool m_followPending = false;
    int m_followArrival = -1; // the row to select when the follow runs, by arrival
    QElapsedTimer m_infoResized;

    friend class LoggerKeyFilter;
};
