#include "core/rowtreeview.h"

#include "core/imagesource.h"

#include <QHeaderView>
#include <QIcon>
#include <QTreeWidget>

namespace velquor {

static QIcon markIcon(RowMark mark)
{
    switch (mark) {
    case RowMark::Warning:
        return QIcon(image(QStringLiteral("warning.png")));
    case RowMark::Error:
        return QIcon(image(QStringLiteral("error.png")));
    default:
        return QIcon();
    }
}

static void fill(QTreeWidgetItem *item, const Row &row)
{
    item->setText(0, row.name);
    item->setText(1, row.value);
    item->setText(2, row.data);
    item->setText(3, row.info);
    if (row.nameMark != RowMark::None)
        item->setIcon(0, markIcon(row.nameMark));
    if (row.mark != RowMark::None)
        item->setIcon(3, markIcon(row.mark));
    for (const auto &child : row.children)
        fill(new QTreeWidgetItem(item), *child);
    item->setExpanded(row.open);
}

QTreeWidget *createRowTreeWidget(const RowTree &tree, const QStringList &headers, QWidget *parent)
{
    auto *view = new QTreeWidget(parent);
    view->setColumnCount(int(headers.size()));
    view->setHeaderLabels(headers);
    view->setSortingEnabled(false);
    // Items join the view before they are filled, so setExpanded takes effect.
    for (const auto &row : tree.top())
        fill(new QTreeWidgetItem(view), *row);
    view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return view;
}

} // namespace velquor
