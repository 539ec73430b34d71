// The trace log without its view: the bounded buffer and the message handler.

#include "core/tracebuffer.h"
#include "core/tracelog.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

using namespace velquor;

class TestTraceLog : public QObject
{
    Q_OBJECT

private slots:
    void trimKeepsTheNewestText();
    void handlerTakesDebugAndWarningMessages();
    void messagesFromOtherThreadsGoElsewhere();
};

void TestTraceLog::trimKeepsTheNewestText()
{
    TraceBuffer buffer;
    buffer.append(QString(TraceBuffer::TrimAt, QLatin1Char('a')));
    QCOMPARE(buffer.text().size(), 110000); // at the limit: no trim yet
    buffer.append(QStringLiteral("b"));     // 110001 characters
    QCOMPARE(buffer.text(), QString(89999, QLatin1Char('a')) + QLatin1Char('b'));

    // A large message alone is bounded too.
    TraceBuffer big;
    big.append(QString(250000, QLatin1Char('x')) + QStringLiteral("end"));
    QCOMPARE(big.text().size(), 90000);
    QVERIFY(big.text().endsWith(QStringLiteral("xend")));
}

void TestTraceLog::handlerTakesDebugAndWarningMessages()
{
    {
        TraceLog trace;
        QSignalSpy changed(&trace, &TraceLog::changed);
        QVERIFY(TraceLog::activeText().isEmpty());
        trace.install();
        qDebug("debug %d\n", 1);
        qWarning("warning\n");
        QCOMPARE(trace.text(), QStringLiteral("debug 1\nwarning\n"));
        QCOMPARE(TraceLog::activeText(), trace.text());
        QCOMPARE(changed.count(), 1); // once until the change is taken
        QCOMPARE(trace.takeUpdate().text, trace.text());
        qDebug("more");
        QCOMPARE(changed.count(), 2);
    }
    // Destroyed: the previous handler is back and nothing dangles.
    QVERIFY(TraceLog::activeText().isEmpty());
    qDebug("after the trace log is gone");
}

void TestTraceLog::messagesFromOtherThreadsGoElsewhere()
{
    TraceLog trace;
    trace.install();
    QThread *worker = QThread::create([] { qDebug("from a worker\n"); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    qDebug("from the GUI thread\n");
    QCOMPARE(trace.text(), QStringLiteral("from the GUI thread\n"));
}

QTEST_GUILESS_MAIN(TestTraceLog)
#include "tst_tracelog.moc"
