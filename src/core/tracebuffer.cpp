#include "core/tracebuffer.h"

namespace velquor {

void TraceBuffer::append(const QString &text)
{
    if (!text.isEmpty())
        add({text.size(), text, nullptr});
}

void TraceBuffer::appendDeferred(qsizetype size, Builder build)
{
    if (size > 0)
        add({size, QString(), std::move(build)});
}

void TraceBuffer::add(Entry entry)
{
    m_size += entry.size;
    m_entries.push_back(std::move(entry));
    if (m_size <= TrimAt)
        return;
    // Keep the last Keep characters: whole entries before them go unbuilt.
    qsizetype drop = m_size - Keep;
    while (m_entries.front().size - m_skip <= drop) {
        drop -= m_entries.front().size - m_skip;
        m_entries.pop_front();
        m_skip = 0;
    }
    m_skip += drop;
    m_size = Keep;
    m_replace = true;
    m_shown = 0;
}

void TraceBuffer::clear()
{
    m_entries.clear();
    m_skip = 0;
    m_size = 0;
    m_replace = true;
    m_shown = 0;
}

QString TraceBuffer::textFrom(qsizetype offset) const
{
    QString out;
    out.reserve(m_size - offset);
    qsizetype start = -m_skip; // where the current entry begins in the kept text
    for (const Entry &entry : m_entries) {
        const qsizetype end = start + entry.size;
        if (end > offset) {
            if (entry.build) {
                entry.text = entry.build();
                entry.build = nullptr;
                // A wrong size is a fault of the caller; the text keeps the
                // size it was counted with, so the rest stays in place and
                // the fault shows where it is.
                Q_ASSERT(entry.text.size() == entry.size);
                entry.text = entry.text.leftJustified(entry.size, QLatin1Char(' '), true);
            }
            const qsizetype from = qMax<qsizetype>(offset - start, 0);
            out += from == 0 ? entry.text : entry.text.mid(from);
        }
        start = end;
    }
    return out;
}

TraceBuffer::Update TraceBuffer::takeUpdate()
{
    Update update;
    update.replace = m_replace;
    update.text = textFrom(m_replace ? 0 : m_shown);
    m_replace = false;
    m_shown = m_size;
    return update;
}

} // namespace velquor
