#include "core/tracebuffer.h"

namespace velquor {

void TraceBuffer::append(const QString &text)
{
    m_text += text;
    if (m_text.size() > TrimAt) {
        m_text = m_text.right(Keep);
        m_replace = true;
        m_shown = 0;
    }
}

void TraceBuffer::clear()
{
    m_text.clear();
    m_replace = true;
    m_shown = 0;
}

TraceBuffer::Update TraceBuffer::takeUpdate()
{
    Update update;
    if (m_replace) {
        update.replace = true;
        update.text = m_text;
    } else {
        update.text = m_text.mid(m_shown);
    }
    m_replace = false;
    m_shown = m_text.size();
    return update;
}

} // namespace velquor
