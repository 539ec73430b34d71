#pragma once

#include "core/rowtree.h"

#include <QStringList>

class QTreeWidget;
class QWidget;

namespace velquor {

// Renders a decoded row tree as a tree widget (child of parent) with one
// column per header; marks become the warning and error images.
QTreeWidget *createRowTreeWidget(const RowTree &tree, const QStringList &headers, QWidget *parent);

} // namespace velquor
