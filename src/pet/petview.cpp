#include "pet/petview.h"

#include "core/packetviews.h"
#include "core/rowtreeview.h"
#include "pet/asfpetpacket.h"

#include <QTreeWidget>

namespace velquor {

QTreeWidget *createPetView(ASF_PET_Packet &packet, QWidget *parent)
{
    QTreeWidget *view = createRowTreeWidget(packet.rowTree(),
                                            {QStringLiteral("Name"), QStringLiteral("Value"), QStringLiteral("Data"),
                                             QStringLiteral("Info")},
                                            parent);
    view->setObjectName(QStringLiteral("listView"));
    QFont font(QStringLiteral("Courier"));
    font.setPointSize(12);
    view->setFont(font);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Text, QColor(15, 15, 15));
    view->setPalette(palette);
    view->show();
    return view;
}

void registerPetViews(PacketViewRegistry &views)
{
    views.add(ASF_PET_Packet::staticMetaObject, [](ASF_Packet &record, QWidget *parent) -> QWidget * {
        return createPetView(static_cast<ASF_PET_Packet &>(record), parent);
    });
}

} // namespace velquor
