#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The scripting face of the engine: one round and an exit code, a headless monitor, and import and
// export of the stored list. Without arguments the program is the tray application instead.
class CommandLine {
public:
    enum class Mode { Tray, Check, Headless, Import, Export, Help, Version };
    struct Options {
        Mode mode = Mode::Tray;
        bool json = false;
        QString file;    // for import and export; "-" exports to stdout
        QString metrics; // --headless: where to serve /metrics, as typed; empty for nowhere
    };

    // Exit codes of --check; 2 is also every usage or I/O error.
    enum ExitCode { AllUp = 0, AnyDown = 1, Error = 2 };

    // Nothing (and the reason in `error`) when the arguments are not a valid command.
    static std::optional<Options> parse(const QStringList &arguments, QString *error);
    static QString usage();

    // Runs a non-tray mode to completion; needs a QCoreApplication.
    static int run(const Options &options);

private:
    static int check(bool json);
    static int headless(bool json, const QString &metrics);
    static int importFile(const QString &file);
    static int exportFile(const QString &file);
};
