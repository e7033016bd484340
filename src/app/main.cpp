#include "app/TRAppDelegate.h"
#include "commandline/AppInstance.h"
#include "commandline/CommandLine.h"
#include "commandline/ResourceLimits.h"
#include "commandline/UnixSignals.h"
#include "instance/SingleInstance.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {
QStringList argumentList(int argc, char **argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list.append(QString::fromLocal8Bit(argv[i]));
    return list;
}

// Whether a platform plugin has something to connect to; one chosen explicitly decides itself.
bool hasDesktop() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

void describeApplication() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(Settings::organization));
    QCoreApplication::setApplicationName(QString::fromLatin1(Settings::application));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVIK_VERSION));
}
} // namespace

int main(int argc, char **argv) {
    ResourceLimits::raiseDescriptorLimit();
    ResourceLimits::ignoreFileSizeSignal();

    QString error;
    const std::optional<CommandLine::Options> options =
        CommandLine::parse(argumentList(argc, argv), &error);
    if (!options) {
        std::fprintf(stderr, "tarvik: %s\n%s", error.toLocal8Bit().constData(),
                     CommandLine::usage().toLocal8Bit().constData());
        return CommandLine::Error;
    }
    if (options->mode != CommandLine::Mode::Tray) {
        QCoreApplication app(argc, argv);
        describeApplication();
        return CommandLine::run(*options);
    }

    if (!hasDesktop()) {
        // Qt would abort with a bare "could not connect to display".
        std::fprintf(stderr, "tarvik: there is no desktop here to show the tray on (neither "
                             "DISPLAY nor WAYLAND_DISPLAY is set);\n"
                             "on a machine without a desktop, run tarvik --headless\n");
        return CommandLine::Error;
    }
    QApplication app(argc, argv);
    describeApplication();
    QApplication::setQuitOnLastWindowClosed(false);
    SingleInstance instance(QString::fromLatin1(AppInstance::identifier));
    if (const std::optional<int> code = AppInstance::claim(instance))
        return *code;
    AppInstance::serve(instance);
    // A session ending (or `kill`) quits normally, so the instance lock and socket are released.
    UnixSignals stop;
    QObject::connect(&stop, &UnixSignals::received, &app, &QCoreApplication::quit);
    TRAppDelegate delegate;
    AppDelegate::setCurrent(&delegate);
    QTimer::singleShot(0, &delegate, &TRAppDelegate::setUp);
    const int code = QApplication::exec();
    AppDelegate::setCurrent(nullptr);
    return code;
}
