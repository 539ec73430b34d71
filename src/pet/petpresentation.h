#pragma once

#include "pet/pettrap.h"
#include "core/rowtree.h"
#include "core/textformat.h"

#include <QString>

namespace velquor::pet {

// The tree form of a walked trap. Findings are marked on rows only; the
// record's status and info are the check's business. With expanded off only
// the root is open.
RowTree buildPetRowTree(const PetTrap &trap, int retransmissionCount, bool expanded);

// The text form written to log files, hex dump included.
void writePetTextForm(TextBuffer &out, const PetTrap &trap, int retransmissionCount);
QString petTextForm(const PetTrap &trap, int retransmissionCount);

// "Unkown Data" rows hold this many bytes each.
inline constexpr int UnknownDataRowBytes = 10;

} // namespace velquor::pet
