#pragma once

#include <QString>
#include <memory>
#include <vector>

namespace velquor {

enum class RowMark { None, Warning, Error };

// One row of a decoded packet: the widget-free form that the detail views
// render, the script look-ups search and the text forms mirror.
struct Row
{
    QString name, value, data, info;
    RowMark mark = RowMark::None;     // image in the Info column
    RowMark nameMark = RowMark::None; // image in the Name column
    bool open = false;
    Row *parent = nullptr; // none for top-level rows
    std::vector<std::unique_ptr<Row>> children;

    Row *addChild(const QString &name, const QString &value = QString(),
                  const QString &data = QString());
};

class RowTree
{
public:
    Row *addTop(const QString &name, const QString &value = QString(),
                const QString &data = QString());
    // Inserts a row above every top-level row.
    Row *insertTopFirst(const QString &name, const QString &value = QString(),
                        const QString &data = QString());
    // A top-level row without name that carries a finding, above all others.
    Row *insertErrorRow(RowMark mark, const QString &text);

    const std::vector<std::unique_ptr<Row>> &top() const { return m_top; }

    // Marks a finding on a row: text and image in its Info column, the same
    // image on its direct parent.
    static void mark(Row *row, RowMark mark, const QString &text);

    // First row named exactly name, in display order, entering a row's
    // children only while the row is open.
    const Row *find(const QString &name) const;

    int rowCount() const; // all rows, open or not

private:
    std::vector<std::unique_ptr<Row>> m_top;
};

} // namespace velquor
