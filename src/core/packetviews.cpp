#include "core/packetviews.h"

#include "core/asfpacket.h"
#include "core/textformat.h"

#include <QTextEdit>

namespace velquor {

PacketViewRegistry::PacketViewRegistry()
{
    add(ASF_Packet::staticMetaObject, createHexDumpView);
    add(ASF_LogPacket::staticMetaObject, createLogLineView);
}

void PacketViewRegistry::add(const QMetaObject &recordClass, Builder builder)
{
    for (auto &entry : m_builders) {
        if (entry.first == &recordClass) {
            entry.second = std::move(builder);
            return;
        }
    }
    m_builders.emplace_back(&recordClass, std::move(builder));
}

QWidget *PacketViewRegistry::create(ASF_Packet &record, QWidget *parent) const
{
    for (const QMetaObject *cls = record.metaObject(); cls; cls = cls->superClass()) {
        for (const auto &entry : m_builders) {
            if (entry.first == cls)
                return entry.second(record, parent);
        }
    }
    return nullptr;
}

QWidget *createHexDumpView(ASF_Packet &record, QWidget *parent)
{
    auto *view = new QTextEdit(parent);
    view->setReadOnly(true);
    for (const QString &line : hexDumpViewLines(record.data(), record.dataSize()))
        view->append(line);
    view->show();
    return view;
}

QWidget *createLogLineView(ASF_Packet &record, QWidget *parent)
{
    auto *view = new QTextEdit(parent);
    view->setReadOnly(true);
    view->setAcceptRichText(true);
    view->clear();
    if (auto *line = qobject_cast<ASF_LogPacket *>(&record))
        view->append(line->logMessage());
    view->show();
    return view;
}

} // namespace velquor
