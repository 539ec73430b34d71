#pragma once

#include <QString>

namespace velquor {

// The text of the Trace Log page. Bounded: once it passes TrimAt characters
// only the last Keep remain. The view mirrors it lazily (see takeUpdate).
class TraceBuffer
{
public:
    static constexpr int TrimAt = 110000;
    static constexpr int Keep = 90000;

    void append(const QString &text);
    void clear();
    const QString &text() const { return m_text; }

    // What changed since the last call: either text to add to the view, or
    // (replace == true) the whole text to show instead.
    struct Update
    {
        bool replace = false;
        QString text;
    };
    Update takeUpdate();
    bool hasUpdate() const { return m_replace || m_shown < m_text.size(); }

private:
    QString m_text;
    qsizetype m_shown = 0;
    bool m_replace = false;
};

} // namespace velquor
