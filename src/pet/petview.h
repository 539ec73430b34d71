#pragma once

class ASF_PET_Packet;
class QTreeWidget;
class QWidget;

namespace velquor {

class PacketViewRegistry;

// The detail view of a trap: its decoded tree, opened as the record's
// showExpanded says.
QTreeWidget *createPetView(ASF_PET_Packet &packet, QWidget *parent);

// Makes the registry build PET records' views with createPetView().
void registerPetViews(PacketViewRegistry &views);

} // namespace velquor
