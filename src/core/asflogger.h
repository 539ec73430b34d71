#pragma once

#include "core/logclock.h"
#include "core/logsink.h"

#include <QObject>
#include <QString>
#include <memory>

class ASF_Packet;
class PacketLogModel;

// The packet log of one page, without widgets: it counts and lists records,
// adds the text lines handlers and the limit write, traces each row, saves
// the list to a file and announces every row. It owns the records it lists
// and the last one appended, even after a clear. A PacketLogView shows it.
class ASF_Logger : public QObject, public velquor::LogSink
{
    Q_OBJECT

public:
    ASF_Logger();
    ~ASF_Logger() override;

    // Whether records are listed. A log lists once a view shows it (or a
    // program without windows asks it to); until then it counts records and
    // refuses them, as a logger never given a list always has.
    void setListing(bool on) { m_listing = on; }
    bool isListing() const { return m_listing; }
    // False when not listing; otherwise removes the rows (the count stays).
    bool initList();
    void setTimeBase(velquor::LogClock *clock) { m_clock = clock; }

    // Takes ownership of the record. Returns false when it was refused (not
    // listing, or the limit was passed); a refused record is deleted.
    bool appendPacket(ASF_Packet *packet);
    bool appendPacket(std::unique_ptr<ASF_Packet> packet);

    // Text lines: the part before the first '-' becomes the row's info, the
    // rest the detail message. The format versions are cut to 999 bytes.
    void log(const QString &text);
    void log(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void logLevel(int status, const QString &text) override;
    void logLevel(int status, const char *format, ...) __attribute__((format(printf, 3, 4)));

    quint32 packetCount() const { return m_packetCount; }
    PacketLogModel *model() const { return m_model; }
    const QString &lastFileName() const { return m_lastFileName; }

    static constexpr int LineLimit = 1000;

public slots:
    void clearLog();
    void setMaxSize(unsigned size);
    unsigned getMaxSize() { return m_maxPackets; }
    ASF_Packet *getLastAsfPacket();
    QByteArray getLastPacketData();
    // False when the file cannot be written or there is no list to save;
    // saveFailed() then says why.
    bool writeLogToFilename();
    bool writeLogToFilename(const QString &filename);
    bool writeLogToFilename(const QString &filename, bool bTraceLog);

signals:
    void newPacketSignal();
    // clearLog() removed the rows: views drop the record they show.
    void cleared();
    // A save failed; the text says why (for a file, as traced).
    void saveFailed(const QString &text);

private:
    void traceRow(const ASF_Packet &record);
    bool failSave(const QString &text, bool traced);
    void clearRows();

    quint32 m_packetCount = 0;
    unsigned m_maxPackets = 200000;
    bool m_listing = false;
    velquor::LogClock *m_clock = nullptr;
    PacketLogModel *m_model = nullptr; // owned (child of this)
    ASF_Packet *m_lastPacket = nullptr; // listed, or kept past a clear below
    std::unique_ptr<ASF_Packet> m_keptLastPacket;
    QString m_lastFileName;
};
