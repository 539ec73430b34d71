#pragma once

// Helpers the PET and RMCP suites share: datagrams from hex text, a row tree
// as lines.

#include "core/rowtree.h"

#include <QByteArray>
#include <QStringList>

namespace velquor::test {

// Pairs of hex digits, blanks allowed between them.
inline QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(QByteArray(digits));
}

// One line per row in display order: an indent per level, then
// "name|value|data|info|" and the marks: "W"/"E" for the Name column's
// image, then for the Info column's, "+" when open.
inline QStringList treeLines(const RowTree &tree)
{
    QStringList out;
    const auto mark = [](RowMark m) {
        return m == RowMark::Error ? QStringLiteral("E") : m == RowMark::Warning ? QStringLiteral("W") : QString();
    };
    const auto add = [&](const auto &self, const std::vector<std::unique_ptr<Row>> &rows, int depth) -> void {
        for (const auto &row : rows) {
            out << QString(depth, QLatin1Char(' ')) + row->name + QLatin1Char('|') + row->value + QLatin1Char('|')
                       + row->data + QLatin1Char('|') + row->info + QLatin1Char('|') + mark(row->nameMark)
                       + mark(row->mark) + (row->open ? QStringLiteral("+") : QString());
            self(self, row->children, depth + 1);
        }
    };
    add(add, tree.top(), 0);
    return out;
}

} // namespace velquor::test
