#include "app/mainwidow.h"
#include "app/standardhandlers.h"

#include <QApplication>

int main(int argc, char *argv[])
{
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
