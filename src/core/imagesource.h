#pragma once

#include <QPixmap>
#include <QString>

namespace velquor {

// The application's images ("ledgreen.png", "warning.png", ...) by name.
QPixmap image(const QString &name);

} // namespace velquor
