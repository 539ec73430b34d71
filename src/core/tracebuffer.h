#pragma once

#include <QString>
#include <deque>
#include <functional>

namespace velquor {

// The text of the Trace Log page. Bounded: once it passes TrimAt characters
// only the last Keep remain. A text may be appended deferred, as its exact
// size and a function that builds it: it is built only when read, so in a
// burst the texts trimmed away before anybody looked cost no formatting,
// and what is read is exactly what appending the texts would have kept.
// The view mirrors it lazily (see takeUpdate).
class TraceBuffer
{
public:
    static constexpr int TrimAt = 110000;
    static constexpr int Keep = 90000;
    using Builder = std::function<QString()>;

    void append(const QString &text);
    // build() must return exactly size characters.
    void appendDeferred(qsizetype size, Builder build);
    void clear();
    QString text() const { return textFrom(0); }
    qsizetype size() const { return m_size; }

    // What changed since the last call: either text to add to the view, or
    // (replace == true) the whole text to show instead.
    struct Update
    {
        bool replace = false;
        QString text;
    };
    Update takeUpdate();
    bool hasUpdate() const { return m_replace || m_shown < m_size; }

private:
    struct Entry
    {
        qsizetype size;
        mutable QString text;
        mutable Builder build; // until built
    };
    void add(Entry entry);
    // The kept text from offset (0 = its first kept character) to the end.
    QString textFrom(qsizetype offset) const;

    std::deque<Entry> m_entries;
    qsizetype m_skip = 0; // characters of the first entry trimmed away
    qsizetype m_size = 0; // characters kept
    qsizetype m_shown = 0;
    bool m_replace = false;
};

} // namespace velquor
