#include "core/tracelog.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace velquor {

static TraceLog *s_active = nullptr;
static bool s_inHandler = false;

TraceLog::TraceLog(QPlainTextEdit *view, QObject *parent)
    : QObject(parent), m_view(view), m_flushTimer(new QTimer(this))
{
    // Refreshing a large text view costs milliseconds; ten times a second is
    // as often as anyone can read it, however fast messages arrive.
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(100);
    connect(m_flushTimer, &QTimer::timeout, this, &TraceLog::flush);
}

TraceLog::~TraceLog()
{
    if (s_active == this) {
        qInstallMessageHandler(m_previous);
        s_active = nullptr;
    }
}

void TraceLog::install()
{
    if (s_active == this)
        return;
    s_active = this;
    m_previous = qInstallMessageHandler(&TraceLog::handler);
}

bool TraceLog::isInstalled() const
{
    return s_active == this;
}

QString TraceLog::activeText()
{
    return s_active ? s_active->text() : QString();
}

void TraceLog::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    TraceLog *self = s_active;
    if (type == QtFatalMsg) {
        std::fputs(message.toLocal8Bit().constData(), stderr);
        std::fputc('\n', stderr);
        std::abort();
    }
    // Messages from other threads, or raised while a message is being shown,
    // go to the console: the view belongs to the GUI thread.
    const bool guiThread = QCoreApplication::instance()
                           && QThread::currentThread() == QCoreApplication::instance()->thread();
    if (!self || !guiThread || s_inHandler) {
        if (self && self->m_previous)
            self->m_previous(type, context, message);
        else
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    s_inHandler = true;
    self->append(message);
    s_inHandler = false;
}

void TraceLog::append(const QString &text)
{
    m_buffer.append(text);
    if (m_view && !m_flushTimer->isActive())
        m_flushTimer->start();
}

void TraceLog::clear()
{
    m_buffer.clear();
    flush();
}

void TraceLog::flush()
{
    m_flushTimer->stop();
    if (!m_view || !m_buffer.hasUpdate())
        return;
    const TraceBuffer::Update update = m_buffer.takeUpdate();
    if (update.replace) {
        m_view->setPlainText(update.text);
    } else {
        QTextCursor cursor(m_view->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(update.text);
    }
    // The cursor stays at the end: the newest text is what the user watches.
    m_view->moveCursor(QTextCursor::End);
    m_view->verticalScrollBar()->setValue(m_view->verticalScrollBar()->maximum());
}

} // namespace velquor
