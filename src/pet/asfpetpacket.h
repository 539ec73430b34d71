#pragma once

#include "core/asfpacket.h"
#include "core/textformat.h"
#include "pet/pettrap.h"
#include "core/rowtree.h"

#include <QString>

// One received Platform Event Trap. check() walks and checks it once when its
// bytes are set; the tree form, the text form and the script look-ups walk
// it again silently with the same walker.
class ASF_PET_Packet : public ASF_Packet
{
    Q_OBJECT

public:
    explicit ASF_PET_Packet(unsigned timestamp);

    QString textForm() const override;
    // The same text into an 8-bit buffer, as velquor-check prints it.
    void writeTextForm(velquor::TextBuffer &out) const;
    bool check() override;
    std::unique_ptr<ASF_Packet> clone() const override;

    bool isHeartbeat() const { return m_isHeartbeat; }
    quint32 sequenceNumber() const { return m_sequenceNumber; }
    int retransmissionCount() const { return m_retransmissionCount; }
    void setRetransmissionCount(int count) { m_retransmissionCount = count; }

    velquor::pet::PetTrap decode() const;
    // The tree the detail view shows (open rows follow showExpanded).
    velquor::RowTree rowTree() const;

public slots:
    // Column of the first row named name, in display order, entering only
    // open rows; a null string when no row matches.
    QString getValue(const QString &name);
    QString getData(const QString &name);
    QString getInfo(const QString &name);

protected:
    CompactRecord::Build compactBuild() const override;
    qint32 compactExtra() const override { return m_retransmissionCount; }
    bool sameState(const ASF_Packet &other) const override;

private:
    const velquor::Row *lookupRow(const QString &name, velquor::RowTree &tree) const;

    int m_retransmissionCount = 0;
    bool m_isHeartbeat = false;
    quint32 m_sequenceNumber = 0;
};
