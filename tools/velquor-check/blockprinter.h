#pragma once

#include "checker.h"
#include "core/textformat.h"

#include <cstdio>

namespace velquor {

// Prints each record as the block a saved packet log holds for its row,
// numbering rows as the log does, and remembers the worst status.
class BlockPrinter : public RecordSink
{
public:
    explicit BlockPrinter(FILE *out);
    void record(std::unique_ptr<ASF_Packet> packet) override;

    int worstStatus() const { return m_worst; }
    quint32 count() const { return m_count; }

private:
    FILE *m_out;
    TextBuffer m_block; // one block at a time, its storage kept
    quint32 m_count = 0;
    int m_worst = 1;
};

} // namespace velquor
