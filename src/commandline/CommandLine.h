#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The scripting face of the engine: one round and an exit code, a headless monitor, and import and
// export of the stored list. Without arguments `tarvik` is the tray application instead, and
// `tarvikd` (the server program, which has no tray) the headless monitor.
class CommandLine {
public:
    enum class Program { Tarvik, Tarvikd };
    enum class Mode { Tray, Check, Headless, Import, Export, Help, Version };
    struct Options {
        Program program = Program::Tarvik;
        Mode mode = Mode::Tray;
        bool json = false;
        QString file;    // for import and export; "-" exports to stdout
        QString metrics; // --headless: where to serve /metrics, as typed; empty for nowhere
    };

    // Exit codes of --check; 2 is also every usage or I/O error.
    enum ExitCode { AllUp = 0, AnyDown = 1, Error = 2 };

    // Nothing (and the reason in `error`) when the arguments are not a valid command.
    static std::optional<Options> parse(const QStringList &arguments, QString *error,
                                        Program program = Program::Tarvik);
    static QString usage(Program program = Program::Tarvik);

    // Runs a non-tray mode to completion; needs a QCoreApplication.
    static int run(const Options &options);
    // The start of either program: raises the process's limits, reads the arguments and runs a
    // mode that needs no desktop under a QCoreApplication of its own. Nothing when `tarvik` is to
    // be the tray application; otherwise the exit code.
    static std::optional<int> runUnlessTray(int argc, char **argv, Program program);

private:
    static int check(bool json);
    static int headless(bool json, const QString &metrics);
    static int importFile(const QString &file);
    static int exportFile(const QString &file);
};
