#pragma once

#include "core/packetstatus.h"
#include "core/rowtree.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdio>
#include <memory>
#include <variant>

class QTextStream;
class ASF_Packet;

// A logged record kept small: its bytes and what checking them does not
// give again, with the function that builds the record from them. A log
// keeps a flood of received datagrams so, and builds a record again when
// it is asked for one.
struct CompactRecord
{
    using Build = std::unique_ptr<ASF_Packet> (*)(const CompactRecord &);
    Build build = nullptr;
    QByteArray data;
    quint32 timestamp = 0;
    qint32 extra = 0; // the record type's own state
    qint8 direction = 0;
    qint8 status = 0;
    // The stored info is only what follows the info that checking the bytes
    // gives again (mostly nothing).
    bool infoDerived = false;

    QString storedInfo() const;
    // As it stands (a row's text while its record is kept), or packed: a
    // text of Latin-1 characters (findings are) in half the room, a long
    // one deflated, as the analysis's lists of warnings repeat their lines.
    void setStoredInfo(const QString &text, bool pack);
    static constexpr qsizetype DeflateFrom = 128; // shorter texts gain little

private:
    bool m_deflated = false; // (beside the flags above: rows are many)
    std::variant<QString, QByteArray> m_info; // the text, or its Latin-1 bytes
};

// One logged datagram or text line. Scripts read it through its slots; the
// logger lists it and writes its text form; the widget libraries build its
// detail view (PacketViewRegistry).
class ASF_Packet : public QObject, public velquor::PacketFindings
{
    Q_OBJECT

public:
    enum Direction { Received = 0, NoDirection = 1, Sent = 2 };
    enum ProtocolType { PlainPacket = 0, LogLine = 1, PetTrap = 2, Rmcp = 3, RmcpRsp = 4 };

    explicit ASF_Packet(unsigned timestamp, QObject *parent = nullptr, const char *name = nullptr);
    ~ASF_Packet() override;

    // Stores a copy of the bytes, then runs check().
    void setData(const QByteArray &bytes, int count);
    void setData(const QByteArray &bytes) { setData(bytes, int(bytes.size())); }
    void setTimestamp(unsigned ms) { m_timestamp = ms; }
    void setDirection(int direction) { m_direction = direction; }
    void setProtocol(const QString &label) { m_protocol = label; }
    void setProtocolType(int type) { m_protocolType = type; }
    void setShowExpanded(int on) { m_showExpanded = on; }

    const QByteArray &data() const { return m_data; }
    // Bytes the dumps may walk: the count given to setData, bounded by the array.
    int dataSize() const { return qBound(0, m_dataSize, int(m_data.size())); }
    quint32 timestamp() const { return m_timestamp; }
    int direction() const { return m_direction; }
    int protocolType() const { return m_protocolType; }
    const QString &protocol() const { return m_protocol; }
    int showExpanded() const { return m_showExpanded; }

    // Finding marked on a row of this record's decoded tree: raises the
    // status and adds the text to the info as warning()/error() do.
    void markItemWarning(velquor::Row *row, const QString &text);
    void markItemError(velquor::Row *row, const QString &text);

    // The text form for log files; built once by textForm() for both.
    virtual void writeToStream(QTextStream &stream);
    virtual void writeToFile(FILE *file);
    virtual QString textForm() const;
    virtual bool check();
    virtual std::unique_ptr<ASF_Packet> clone() const;

    // This record as a compact row, if that builds it again exactly (the
    // same bytes, texts, status and state); false when it does not, or the
    // record type has no builder. Costs one build and check.
    bool toCompact(CompactRecord &out) const;

public slots:
    QByteArray getAsfPacketData();
    double getAsfPacketDataSize();
    QString getAsfPacketInfo();
    int getAsfPacketProtcolType();
    int getAsfPacketStatus();
    double getAsfPacketTimestamp();
    int getAsfPacketDirection();

protected:
    ASF_Packet(unsigned timestamp, const QString &initialInfo, int protocolType, const QString &protocol);
    // Copies the base fields (bytes through setData, so clones are checked again).
    void copyBaseTo(ASF_Packet &target) const;
    // The builder of this record type for compact rows (none here), and the
    // state of its own a compact row carries.
    virtual CompactRecord::Build compactBuild() const { return nullptr; }
    virtual qint32 compactExtra() const { return 0; }
    // Whether other, of the same type, holds the same state (the base fields here).
    virtual bool sameState(const ASF_Packet &other) const;
    // For builders: the fields a compact row keeps, bytes checked again
    // without tracing (their findings were traced when they arrived).
    void restoreFrom(const CompactRecord &row);

private:
    void restoreInfo(const CompactRecord &row);

    QByteArray m_data;
    int m_dataSize = 0;
    quint32 m_timestamp = 0;
    int m_direction = NoDirection;
    int m_protocolType = PlainPacket;
    QString m_protocol;
    int m_showExpanded = 0;
};

// A text line written into a packet log; its message may hold HTML.
class ASF_LogPacket : public ASF_Packet
{
    Q_OBJECT

public:
    explicit ASF_LogPacket(unsigned timestamp);
    // A log line from a text: before the first '-' the info, after it the message.
    static std::unique_ptr<ASF_LogPacket> fromText(unsigned timestamp, int status, const QString &text);

    void setLogMessage(const QString &text) { m_logMessage = text; }
    const QString &logMessage() const { return m_logMessage; }

    QString textForm() const override;
    std::unique_ptr<ASF_Packet> clone() const override;

public slots:
    QString getLogMessage();

private:
    QString m_logMessage;
};
