#include "core/tracelogview.h"

#include "core/tracelog.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

namespace velquor {

TraceLogView::TraceLogView(TraceLog *log, QPlainTextEdit *view, QObject *parent)
    : QObject(parent), m_log(log), m_view(view), m_flushTimer(new QTimer(this))
{
    // Refreshing a large text view costs milliseconds; ten times a second is
    // as often as anyone can read it, however fast messages arrive.
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(100);
    connect(m_flushTimer, &QTimer::timeout, this, &TraceLogView::flush);
    connect(log, &TraceLog::changed, m_flushTimer, [this] {
        if (!m_flushTimer->isActive())
            m_flushTimer->start();
    });
    connect(log, &TraceLog::cleared, this, &TraceLogView::flush);
    flush();
}

void TraceLogView::flush()
{
    m_flushTimer->stop();
    if (!m_view)
        return;
    const TraceBuffer::Update update = m_log->takeUpdate();
    if (update.replace) {
        m_view->setPlainText(update.text);
    } else if (!update.text.isEmpty()) {
        QTextCursor cursor(m_view->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(update.text);
    } else {
        return;
    }
    // The cursor stays at the end: the newest text is what the user watches.
    m_view->moveCursor(QTextCursor::End);
    m_view->verticalScrollBar()->setValue(m_view->verticalScrollBar()->maximum());
}

} // namespace velquor
