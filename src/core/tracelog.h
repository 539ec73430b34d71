#pragma once

#include "core/tracebuffer.h"

#include <QObject>
#include <QPointer>
#include <QtMessageHandler>

class QPlainTextEdit;
class QTimer;

namespace velquor {

// Collects all diagnostic output (Qt debug and warning messages) in a
// bounded buffer and mirrors it into the Trace Log page's view. The view is
// brought up to date at most ten times a second, so traffic bursts cost a
// few repaints rather than one per message.
class TraceLog : public QObject
{
    Q_OBJECT

public:
    explicit TraceLog(QPlainTextEdit *view, QObject *parent = nullptr);
    ~TraceLog() override;

    // Makes this the process-wide message handler.
    void install();
    bool isInstalled() const;

    void append(const QString &text);
    QString text() const { return m_buffer.text(); }

    // The text of the installed trace log, empty when none is installed.
    static QString activeText();

public slots:
    void clear();
    // Brings the view up to date now.
    void flush();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    TraceBuffer m_buffer;
    QPointer<QPlainTextEdit> m_view;
    QTimer *m_flushTimer;
    QtMessageHandler m_previous = nullptr;
};

} // namespace velquor
