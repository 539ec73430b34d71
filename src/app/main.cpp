#include "app/mainwidow.h"
#include "app/standardhandlers.h"
#include "script/scriptrunner.h"

#include <QApplication>
#include <QTextStream>
#include <cstdio>

namespace {

// Headless, the trace goes to standard output as the Trace Log page would show it.
void traceToStdout(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray bytes = message.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    // Trace texts carry their own line ends; console.log() and warnings do not.
    const bool fromScript = context.category && qstrcmp(context.category, "js") == 0;
    if ((type != QtDebugMsg || fromScript) && !bytes.endsWith('\n'))
        std::fputc('\n', stdout);
    std::fflush(stdout);
}

// "velquor --run NAME ...": runs script tests without a window.
int runHeadless(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    velquor::script::RunnerOptions options;
    QString error;
    if (!velquor::script::RunnerOptions::parse(app.arguments().mid(1), options, error)) {
        QTextStream err(stderr);
        err << "velquor: " << error << "\n" << velquor::script::RunnerOptions::usage();
        return velquor::script::ScriptRunner::UsageError;
    }
    qInstallMessageHandler(traceToStdout);
    int code;
    {
        velquor::script::ScriptRunner runner;
        code = runner.run(options, out);
    }
    qInstallMessageHandler(nullptr);
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--run") == 0)
            return runHeadless(argc, argv);

    QApplication app(argc, argv);
    auto *window = new MainWidow;
    MainWidow::setInstance(window);
    velquor::registerStandardHandlers(*window);
    window->show();
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, &QCoreApplication::quit);
    const int result = app.exec();
    delete window;
    return result;
}
