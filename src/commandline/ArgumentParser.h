#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

// What either program is asked to do, read from its arguments. Both take the same options;
// they differ in what no mode means: `tarvik` is then the tray application, `tarvikd` (the server
// program, which has no tray) the headless monitor.
class ArgumentParser {
public:
    enum class Program { Tarvik, Tarvikd };
    enum class Mode { Tray, Check, Headless, Import, Export, Help, Version };
    struct Options {
        Mode mode = Mode::Tray;
        bool json = false;
        QString file;    // for import and export; "-" exports to stdout
        QString metrics; // --headless: where to serve /metrics, as typed; empty for nowhere
    };

    explicit ArgumentParser(Program program = Program::Tarvik);

    // Nothing (and the reason in `error`) when the arguments, the program's name first, are not
    // a valid command.
    std::optional<Options> parse(const QStringList &arguments, QString *error);
    // The usage, options and what each does; the program's name is the one it was started by,
    // so a QCoreApplication must exist.
    QString helpText() const;

private:
    std::optional<Options> interpret(bool parsed, QString *error) const;

    Program program_;
    QCommandLineParser parser_;
};
