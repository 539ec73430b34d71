#pragma once

#include <QMetaObject>
#include <functional>
#include <vector>

class ASF_Packet;
class QWidget;

namespace velquor {

// Builds the detail view of a record: records carry no widgets, so each
// widget library offers the views of its records, and the program registers
// them (registerPetViews, registerRmcpViews). A record without a view of its
// own class gets the view of its nearest base class; plain records (the hex
// dump) and log lines (their message) are known from the start.
class PacketViewRegistry
{
public:
    // A new widget, child of parent, showing the record; the caller owns it.
    using Builder = std::function<QWidget *(ASF_Packet &record, QWidget *parent)>;

    PacketViewRegistry();

    // Builds the views of records of recordClass (and of its subclasses
    // without a view of their own).
    void add(const QMetaObject &recordClass, Builder builder);
    QWidget *create(ASF_Packet &record, QWidget *parent) const;

private:
    std::vector<std::pair<const QMetaObject *, Builder>> m_builders;
};

// The views of the core records.
QWidget *createHexDumpView(ASF_Packet &record, QWidget *parent);
QWidget *createLogLineView(ASF_Packet &record, QWidget *parent);

} // namespace velquor
