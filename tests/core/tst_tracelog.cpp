#include "core/tracebuffer.h"
#include "core/tracelog.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QThread>
#include <QtTest>

using namespace velquor;

class TestTraceLog : public QObject
{
    Q_OBJECT

private slots:
    void trimKeepsTheNewestText();
    void viewFollowsTheBufferLazily();
    void handlerTakesDebugAndWarningMessages();
    void messagesFromOtherThreadsDoNotTouchTheView();
    void clearEmptiesBufferAndView();
};

void TestTraceLog::trimKeepsTheNewestText()
{
    TraceBuffer buffer;
    buffer.append(QString(TraceBuffer::TrimAt, QLatin1Char('a')));
    QCOMPARE(buffer.text().size(), 110000); // at the limit: no trim yet
    buffer.append(QStringLiteral("b"));     // 110001 characters
    QCOMPARE(buffer.text().size(), 90000);
    QCOMPARE(buffer.text(), QString(89999, QLatin1Char('a')) + QLatin1Char('b'));

    // A large message alone is bounded too.
    TraceBuffer big;
    big.append(QString(250000, QLatin1Char('x')) + QStringLiteral("end"));
    QCOMPARE(big.text().size(), 90000);
    QVERIFY(big.text().endsWith(QStringLiteral("xend")));
}

void TestTraceLog::viewFollowsTheBufferLazily()
{
    QPlainTextEdit view;
    TraceLog trace(&view);
    trace.append(QStringLiteral("no line feed "));
    trace.append(QStringLiteral("continues\nnext"));
    QCOMPARE(trace.text(), QStringLiteral("no line feed continues\nnext"));
    QTRY_COMPARE(view.toPlainText(), QStringLiteral("no line feed continues\nnext"));

    trace.append(QString(TraceBuffer::TrimAt, QLatin1Char('z')));
    trace.flush();
    QCOMPARE(view.toPlainText().size(), TraceBuffer::Keep);
    QCOMPARE(view.toPlainText(), trace.text());
    QCOMPARE(view.textCursor().position(), view.document()->characterCount() - 1);
}

void TestTraceLog::handlerTakesDebugAndWarningMessages()
{
    QPlainTextEdit view;
    {
        TraceLog trace(&view);
        QVERIFY(TraceLog::activeText().isEmpty());
        trace.install();
        QVERIFY(trace.isInstalled());
        qDebug("debug %d\n", 1);
        qWarning("warning\n");
        QCOMPARE(trace.text(), QStringLiteral("debug 1\nwarning\n"));
        QCOMPARE(TraceLog::activeText(), trace.text());
        trace.flush();
        QCOMPARE(view.toPlainText(), QStringLiteral("debug 1\nwarning\n"));
    }
    // Destroyed: the previous handler is back and nothing dangles.
    QVERIFY(TraceLog::activeText().isEmpty());
    qDebug("after the trace log is gone");
}

void TestTraceLog::messagesFromOtherThreadsDoNotTouchTheView()
{
    QPlainTextEdit view;
    TraceLog trace(&view);
    trace.install();
    QThread *worker = QThread::create([] { qDebug("from a worker\n"); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    qDebug("from the GUI thread\n");
    QCOMPARE(trace.text(), QStringLiteral("from the GUI thread\n"));
}

void TestTraceLog::clearEmptiesBufferAndView()
{
    QPlainTextEdit view;
    TraceLog trace(&view);
    trace.append(QStringLiteral("something\n"));
    trace.flush();
    trace.clear();
    QCOMPARE(trace.text(), QString());
    QCOMPARE(view.toPlainText(), QString());
    trace.append(QStringLiteral("again"));
    trace.flush();
    QCOMPARE(view.toPlainText(), QStringLiteral("again"));
}

QTEST_MAIN(TestTraceLog)
#include "tst_tracelog.moc"
