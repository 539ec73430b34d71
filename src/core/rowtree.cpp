#include "core/rowtree.h"

namespace velquor {

static std::unique_ptr<Row> makeRow(const QString &name, const QString &value, const QString &data)
{
    auto row = std::make_unique<Row>();
    row->name = name;
    row->value = value;
    row->data = data;
    return row;
}

Row *Row::addChild(const QString &n, const QString &v, const QString &d)
{
    children.push_back(makeRow(n, v, d));
    Row *row = children.back().get();
    row->parent = this;
    return row;
}

Row *RowTree::addTop(const QString &name, const QString &value, const QString &data)
{
    m_top.push_back(makeRow(name, value, data));
    return m_top.back().get();
}

Row *RowTree::insertTopFirst(const QString &name, const QString &value, const QString &data)
{
    m_top.insert(m_top.begin(), makeRow(name, value, data));
    return m_top.front().get();
}

Row *RowTree::insertErrorRow(RowMark m, const QString &text)
{
    Row *row = insertTopFirst(QString());
    mark(row, m, text);
    return row;
}

void RowTree::mark(Row *row, RowMark m, const QString &text)
{
    if (!row)
        return;
    row->info = text;
    row->mark = m;
    if (row->parent)
        row->parent->mark = m;
}

static const Row *findIn(const std::vector<std::unique_ptr<Row>> &rows, const QString &name)
{
    for (const auto &row : rows) {
        if (row->name == name)
            return row.get();
        if (row->open) {
            if (const Row *hit = findIn(row->children, name))
                return hit;
        }
    }
    return nullptr;
}

const Row *RowTree::find(const QString &name) const
{
    return findIn(m_top, name);
}

static int countIn(const std::vector<std::unique_ptr<Row>> &rows)
{
    int n = 0;
    for (const auto &row : rows)
        n += 1 + countIn(row->children);
    return n;
}

int RowTree::rowCount() const
{
    return countIn(m_top);
}

} // namespace velquor
