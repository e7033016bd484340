#pragma once

#include "commandline/ArgumentParser.h"

#include <QString>

#include <optional>

// The start of either program and the scripting face of the engine: the modes that need no
// desktop run here (checks and monitoring through HeadlessRunner, import and export of the stored
// list); without a mode `tarvik` is the tray application instead.
class CommandLine {
public:
    // Exit codes of --check; 2 is also every usage or I/O error.
    enum ExitCode { AllUp = 0, AnyDown = 1, Error = 2 };

    // Raises the process's limits, reads the arguments and runs a mode that needs no desktop
    // under a QCoreApplication of its own. Nothing when `tarvik` is to be the tray application;
    // otherwise the exit code.
    static std::optional<int> runUnlessTray(int argc, char **argv, ArgumentParser::Program program);

private:
    // Runs a non-tray mode to completion; needs a QCoreApplication.
    static int run(const ArgumentParser::Options &options, const ArgumentParser &parser);
    static int importFile(const QString &file);
    static int exportFile(const QString &file);
};
