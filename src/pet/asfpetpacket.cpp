#include "pet/asfpetpacket.h"

#include "pet/petpresentation.h"

using namespace velquor;

ASF_PET_Packet::ASF_PET_Packet(unsigned timestamp)
    : ASF_Packet(timestamp, QStringLiteral(" "), PetTrap, QStringLiteral("PET"))
{
}

bool ASF_PET_Packet::check()
{
    const pet::PetTrap trap = pet::walkPetTrap(data(), dataSize(), this);
    m_isHeartbeat = trap.isHeartbeat;
    m_sequenceNumber = trap.sequenceNumber;
    return status() == ASF_PACKET_OK;
}

pet::PetTrap ASF_PET_Packet::decode() const
{
    return pet::walkPetTrap(data(), dataSize(), nullptr);
}

RowTree ASF_PET_Packet::rowTree() const
{
    return pet::buildPetRowTree(decode(), m_retransmissionCount, showExpanded() != 0);
}

QString ASF_PET_Packet::textForm() const
{
    return pet::petTextForm(decode(), m_retransmissionCount);
}

void ASF_PET_Packet::writeTextForm(TextBuffer &out) const
{
    pet::writePetTextForm(out, decode(), m_retransmissionCount);
}

std::unique_ptr<ASF_Packet> ASF_PET_Packet::clone() const
{
    auto copy = std::make_unique<ASF_PET_Packet>(timestamp());
    copyBaseTo(*copy);
    return copy;
}

CompactRecord::Build ASF_PET_Packet::compactBuild() const
{
    return [](const CompactRecord &row) -> std::unique_ptr<ASF_Packet> {
        auto trap = std::make_unique<ASF_PET_Packet>(row.timestamp);
        trap->restoreFrom(row);
        trap->m_retransmissionCount = row.extra;
        return trap;
    };
}

bool ASF_PET_Packet::sameState(const ASF_Packet &other) const
{
    if (!ASF_Packet::sameState(other))
        return false;
    const auto &trap = static_cast<const ASF_PET_Packet &>(other); // same type: checked above
    return m_retransmissionCount == trap.m_retransmissionCount && m_isHeartbeat == trap.m_isHeartbeat
           && m_sequenceNumber == trap.m_sequenceNumber;
}

const Row *ASF_PET_Packet::lookupRow(const QString &name, RowTree &tree) const
{
    tree = rowTree();
    return tree.find(name);
}

namespace {

// A matched row gives a string even when its column is empty.
QString columnText(const QString &text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

} // namespace

QString ASF_PET_Packet::getValue(const QString &name)
{
    RowTree tree;
    const Row *row = lookupRow(name, tree);
    return row ? columnText(row->value) : QString();
}

QString ASF_PET_Packet::getData(const QString &name)
{
    RowTree tree;
    const Row *row = lookupRow(name, tree);
    return row ? columnText(row->data) : QString();
}

QString ASF_PET_Packet::getInfo(const QString &name)
{
    RowTree tree;
    const Row *row = lookupRow(name, tree);
    return row ? columnText(row->info) : QString();
}
