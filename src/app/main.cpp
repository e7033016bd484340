#include "app/TRAppDelegate.h"
#include "commandline/AppInstance.h"
#include "commandline/CommandLine.h"
#include "commandline/UnixSignals.h"
#include "instance/SingleInstance.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {
// Whether a platform plugin has something to connect to; one chosen explicitly decides itself.
bool hasDesktop() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}
} // namespace

int main(int argc, char **argv) {
    if (const std::optional<int> code =
            CommandLine::runUnlessTray(argc, argv, ArgumentParser::Program::Tarvik))
        return *code;

    if (!hasDesktop()) {
        // Qt would abort with a bare "could not connect to display".
        std::fprintf(stderr, "tarvik: there is no desktop here to show the tray on (neither "
                             "DISPLAY nor WAYLAND_DISPLAY is set);\n"
                             "on a machine without a desktop, run tarvik --headless\n");
        return CommandLine::Error;
    }
    QApplication app(argc, argv);
    Settings::nameApplication();
    QApplication::setQuitOnLastWindowClosed(false);
    SingleInstance instance(QString::fromLatin1(AppInstance::identifier));
    instance.setActiveQuestion(
        [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; });
    if (const std::optional<int> code = AppInstance::claim(instance))
        return *code;
    TRAppDelegate delegate;
    AppInstance::serve(
        instance, [&delegate] { return delegate.hostController(); },
        [&delegate] { delegate.bringForward(); });
    // A session ending (or `kill`) quits normally, so the instance lock and socket are released.
    UnixSignals stop;
    QObject::connect(&stop, &UnixSignals::received, &app, &QCoreApplication::quit);
    AppDelegate::setCurrent(&delegate);
    QTimer::singleShot(0, &delegate, &TRAppDelegate::setUp);
    const int code = QApplication::exec();
    AppDelegate::setCurrent(nullptr);
    return code;
}
