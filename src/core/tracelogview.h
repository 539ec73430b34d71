#pragma once

#include <QObject>
#include <QPointer>

class QPlainTextEdit;
class QTimer;

namespace velquor {

class TraceLog;

// Mirrors a trace log into the Trace Log page's text view. The view is
// brought up to date at most ten times a second, so traffic bursts cost a
// few repaints rather than one per message; a clear shows at once.
class TraceLogView : public QObject
{
    Q_OBJECT

public:
    TraceLogView(TraceLog *log, QPlainTextEdit *view, QObject *parent = nullptr);

public slots:
    // Brings the view up to date now.
    void flush();

private:
    TraceLog *m_log;
    QPointer<QPlainTextEdit> m_view;
    QTimer *m_flushTimer;
};

} // namespace velquor
