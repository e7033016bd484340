// Every test binary starts here: a headless Qt application, a fixed English locale, and a private
// config folder (XDG_CONFIG_HOME and QSettings both point into a temporary directory), so no
// test reads or writes the developer's own settings. The engine's tests run under a
// QCoreApplication, as tarvikd does; the tray's (built with TARVIK_TEST_DESKTOP) under a
// QApplication on the offscreen platform.
#ifdef TARVIK_TEST_DESKTOP
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    const QString config = home.filePath(QStringLiteral("config"));
    QDir().mkpath(config);
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", home.filePath(QStringLiteral("state")).toLocal8Bit());
    // Instance locks and sockets live here, so a test never meets the developer's own Tarvik.
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

#ifdef TARVIK_TEST_DESKTOP
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
