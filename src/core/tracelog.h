#pragma once

#include "core/tracebuffer.h"

#include <QObject>
#include <QtMessageHandler>

namespace velquor {

// Collects all diagnostic output (Qt debug and warning messages) in a
// bounded buffer, once installed as the process's message handler. Needs no
// widgets: the Trace Log page shows it through a TraceLogView, and a program
// without windows can collect and save it all the same.
class TraceLog : public QObject
{
    Q_OBJECT

public:
    explicit TraceLog(QObject *parent = nullptr);
    ~TraceLog() override;

    // Makes this the process-wide message handler.
    void install();
    bool isInstalled() const;

    void append(const QString &text);
    // A text built only if it is read (see TraceBuffer::appendDeferred).
    void appendDeferred(qsizetype size, TraceBuffer::Builder build);
    QString text() const { return m_buffer.text(); }

    // What changed since the last call (see TraceBuffer::takeUpdate).
    TraceBuffer::Update takeUpdate();

    // The text of the installed trace log, empty when none is installed.
    static QString activeText();
    // The installed trace log, when it takes messages from the calling thread
    // now; deferred texts go to it directly instead of through Qt's handler.
    static TraceLog *takingMessages();

public slots:
    void clear();

signals:
    // Text came since the last takeUpdate(); said once until it is taken.
    void changed();
    void cleared();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    void noteChange();

    TraceBuffer m_buffer;
    bool m_changeSignalled = false;
    QtMessageHandler m_previous = nullptr;
};

} // namespace velquor
