// tarvikd, the server program: the engine and the command line without any tray, so it starts
// and runs where there is no desktop and no GUI library at all.
#include "commandline/CommandLine.h"

int main(int argc, char **argv) {
    return CommandLine::runUnlessTray(argc, argv, ArgumentParser::Program::Tarvikd)
        .value_or(CommandLine::Error);
}
