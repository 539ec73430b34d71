#include "core/imagesource.h"

#include <QPixmapCache>

namespace velquor {

QPixmap image(const QString &name)
{
    const QString path = QStringLiteral(":/images/") + name;
    QPixmap pixmap;
    if (!QPixmapCache::find(path, &pixmap)) {
        pixmap.load(path);
        QPixmapCache::insert(path, pixmap);
    }
    return pixmap;
}

} // namespace velquor
