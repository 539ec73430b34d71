#include "blockprinter.h"

#include "core/asfpacket.h"
#include "core/textformat.h"
#include "pet/asfpetpacket.h"
#include "rmcp/asfrmcppacket.h"

namespace velquor {

namespace {

constexpr char DashLine[] = "------------------------------------------------------------------------------------\n";

// The text form of the records the checkers make, straight into the buffer.
void writeTextForm(TextBuffer &out, const ASF_Packet &packet)
{
    if (const auto *pet = qobject_cast<const ASF_PET_Packet *>(&packet))
        pet->writeTextForm(out);
    else if (const auto *rmcp = qobject_cast<const ASF_RMCP_Packet *>(&packet))
        rmcp->writeTextForm(out);
    else
        out << packet.textForm();
}

} // namespace

BlockPrinter::BlockPrinter(FILE *out) : m_out(out)
{
    m_block.reserve(8192);
}

void BlockPrinter::record(std::unique_ptr<ASF_Packet> packet)
{
    ++m_count;
    // The block logfile::block() builds for a saved log, written piece by piece.
    TextBuffer &out = m_block;
    out.clear();
    const quint32 t = packet->timestamp();
    out << DashLine << "| ";
    out.appendPadded(m_count, 5, ' ');
    out << " - " << packet->protocol() << " - ";
    // timestampText(): "%02u:%02u:%02u:%03u", hours past 24 too.
    out.appendPadded(t / 3600000u, 2, '0');
    out << ':';
    out.appendPadded((t % 3600000u) / 60000u, 2, '0');
    out << ':';
    out.appendPadded((t % 60000u) / 1000u, 2, '0');
    out << ':';
    out.appendPadded(t % 1000u, 3, '0');
    out << " - " << directionName(packet->direction()) << "\n|     status/info: " << packet->info() << "\n\n";
    writeTextForm(out, *packet);
    out << "\n|\n" << DashLine;
    if (out.isAscii()) {
        std::fwrite(out.data(), 1, size_t(out.size()), m_out);
    } else {
        const QByteArray latin1 = out.toLatin1();
        std::fwrite(latin1.constData(), 1, size_t(latin1.size()), m_out);
    }
    m_worst = qMin(m_worst, packet->status());
}

} // namespace velquor
