// The trace log without its view: the bounded buffer and the message handler.

#include "core/tracebuffer.h"
#include "core/tracelog.h"

#include "core/trace.h"
#include "support/capture.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

using namespace velquor;

class TestTraceLog : public QObject
{
    Q_OBJECT

private slots:
    void trimKeepsTheNewestText();
    void deferredTextsReadAsAppendedOnes();
    void deferredTextsAreBuiltOnlyWhenKeptAndRead();
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
}

// Any mix of texts, plain or deferred, long or short, with reads between:
// the buffer holds what plain appending and trimming would have kept.
void TestTraceLog::deferredTextsReadAsAppendedOnes()
{
    QRandomGenerator random(1234);
    TraceBuffer buffer;
    QString reference, shown;
    for (int i = 0; i < 3000; ++i) {
        const int kind = int(random.bounded(100));
        const qsizetype size = kind == 0 ? random.bounded(200000) : random.bounded(300);
        const QString text = QString::number(i).repeated(int(size / 4 + 1)).left(size);
        if (kind % 2)
            buffer.append(text);
        else
            buffer.appendDeferred(text.size(), [text] { return text; });
        reference += text;
        if (reference.size() > TraceBuffer::TrimAt)
            reference = reference.right(TraceBuffer::Keep);
        if (kind < 5) {
            const TraceBuffer::Update update = buffer.takeUpdate();
            shown = update.replace ? update.text : shown + update.text;
            QCOMPARE(shown, reference);
        }
        QCOMPARE(buffer.size(), reference.size());
    }
    QCOMPARE(buffer.text(), reference);
}

void TestTraceLog::deferredTextsAreBuiltOnlyWhenKeptAndRead()
{
    int built = 0;
    const auto line = [&built](int i) {
        return [&built, i] {
            ++built;
            return QStringLiteral("line %1\n").arg(i, 5, 10, QLatin1Char('0'));
        };
    };
    TraceBuffer buffer;
    for (int i = 0; i < 100000; ++i)
        buffer.appendDeferred(11, line(i)); // 1.1 million characters
    QCOMPARE(built, 0);
    QVERIFY(buffer.text().endsWith(QStringLiteral("line 99999\n")));
    QVERIFY(built <= TraceBuffer::TrimAt / 11 + 1); // only what was kept
    const int once = built;
    buffer.text();
    QCOMPARE(built, once); // and each once

    // traceDeferred() goes to the installed trace log unbuilt; without one
    // it is built and traced at once.
    {
        TraceLog trace;
        trace.install();
        built = 0;
        traceDeferred(11, line(1));
        QCOMPARE(built, 0);
        QCOMPARE(trace.text(), QStringLiteral("line 00001\n"));
    }
    test::TraceCapture capture;
    traceDeferred(11, line(2));
    QCOMPARE(capture.text(), QStringLiteral("line 00002\n"));
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
