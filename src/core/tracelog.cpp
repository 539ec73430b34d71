#include "core/tracelog.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace velquor {

static TraceLog *s_active = nullptr;
static bool s_inHandler = false;

TraceLog::TraceLog(QObject *parent) : QObject(parent) {}

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

TraceLog *TraceLog::takingMessages()
{
    // Messages from other threads, or raised while a message is being
    // handled, go to the console: the log belongs to the GUI thread.
    const bool guiThread = QCoreApplication::instance()
                           && QThread::currentThread() == QCoreApplication::instance()->thread();
    return guiThread && !s_inHandler ? s_active : nullptr;
}

void TraceLog::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    TraceLog *self = s_active;
    if (type == QtFatalMsg) {
        std::fputs(message.toLocal8Bit().constData(), stderr);
        std::fputc('\n', stderr);
        std::abort();
    }
    if (!takingMessages()) {
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

void TraceLog::noteChange()
{
    if (m_changeSignalled)
        return;
    m_changeSignalled = true;
    emit changed();
}

void TraceLog::append(const QString &text)
{
    m_buffer.append(text);
    noteChange();
}

void TraceLog::appendDeferred(qsizetype size, TraceBuffer::Builder build)
{
    m_buffer.appendDeferred(size, std::move(build));
    noteChange();
}

TraceBuffer::Update TraceLog::takeUpdate()
{
    m_changeSignalled = false;
    return m_buffer.takeUpdate();
}

void TraceLog::clear()
{
    m_buffer.clear();
    emit cleared();
}

} // namespace velquor
