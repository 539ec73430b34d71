#include "blockprinter.h"

#include "core/asfpacket.h"
#include "core/logfileformat.h"

namespace velquor {

void BlockPrinter::record(std::unique_ptr<ASF_Packet> packet)
{
    ++m_count;
    const LogRowTexts row = logRowTexts(m_count, packet->protocol(), packet->timestamp(),
                                        packet->direction(), packet->info());
    const QByteArray text = logfile::block(row, packet->textForm()).toLatin1();
    std::fwrite(text.constData(), 1, size_t(text.size()), m_out);
    m_worst = qMin(m_worst, packet->status());
}

} // namespace velquor
