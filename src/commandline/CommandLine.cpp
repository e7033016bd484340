#include "commandline/CommandLine.h"

#include "commandline/AppInstance.h"
#include "commandline/HeadlessRunner.h"
#include "commandline/HostListFile.h"
#include "commandline/OutputFormatter.h"
#include "commandline/ResourceLimits.h"
#include "instance/InstanceProtocol.h"
#include "monitoring/HostStore.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

std::optional<int> CommandLine::runUnlessTray(int argc, char **argv,
                                              ArgumentParser::Program program) {
    ResourceLimits::raiseDescriptorLimit();
    ResourceLimits::ignoreFileSizeSignal();

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    ArgumentParser parser(program);
    QString error;
    const std::optional<ArgumentParser::Options> options = parser.parse(arguments, &error);
    if (options && options->mode == ArgumentParser::Mode::Tray)
        return std::nullopt;
    // The tray application makes its own QApplication; everything else, the usage included
    // (it names the program as started), runs under this one.
    QCoreApplication app(argc, argv);
    Settings::nameApplication();
    if (!options) {
        OutputFormatter::complain(error);
        std::fputs(parser.helpText().toLocal8Bit().constData(), stderr);
        return Error;
    }
    return run(*options, parser);
}

int CommandLine::run(const ArgumentParser::Options &options, const ArgumentParser &parser) {
    switch (options.mode) {
    case ArgumentParser::Mode::Check:
        return HeadlessRunner(options.json).check();
    case ArgumentParser::Mode::Headless:
        return HeadlessRunner(options.json).monitor(options.metrics);
    case ArgumentParser::Mode::Import:
        return importFile(options.file);
    case ArgumentParser::Mode::Export:
        return exportFile(options.file);
    case ArgumentParser::Mode::Help:
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case ArgumentParser::Mode::Version:
        OutputFormatter::print(QStringLiteral("Tarvik ") + QCoreApplication::applicationVersion());
        return 0;
    case ArgumentParser::Mode::Tray:
        break;
    }
    return Error;
}

int CommandLine::importFile(const QString &file) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        OutputFormatter::complain(
            QStringLiteral("cannot read %1: %2").arg(file, input.errorString()));
        return Error;
    }
    QString why;
    // One byte past the limit is enough to know the file is too large.
    const QByteArray bytes = input.read(InstanceProtocol::maxPayloadSize + 1);
    // The running tray takes no message above this size; a list it would refuse must not be
    // stored first, or its next save would write its old list over the import.
    if (bytes.size() > InstanceProtocol::maxPayloadSize) {
        OutputFormatter::complain(
            QStringLiteral("%1 is larger than %2 bytes, the most an import may be; the stored "
                           "list is unchanged")
                .arg(file)
                .arg(InstanceProtocol::maxPayloadSize));
        return Error;
    }
    const std::optional<HostList> hosts = HostListFile::read(bytes, &why);
    if (!hosts) {
        OutputFormatter::complain(
            QStringLiteral("%1 is not a host list (%2); the stored list is unchanged")
                .arg(file, why));
        return Error;
    }
    // Reading first keeps a copy of a stored list that is about to be replaced unread.
    HostStore::read();
    if (!HostStore::write(*hosts)) {
        OutputFormatter::complain(QStringLiteral("could not write %1").arg(Settings::fileName()));
        return Error;
    }
    if (const std::optional<int> code =
            AppInstance::handOverImport(bytes, qsizetype(hosts->size())))
        return *code;
    OutputFormatter::print(QStringLiteral("imported %1 hosts").arg(hosts->size()));
    return 0;
}

int CommandLine::exportFile(const QString &file) {
    std::optional<HostList> stored = HeadlessRunner::storedHosts();
    if (!stored)
        return Error;
    const QByteArray json = HostListFile::write(*stored).value_or(QByteArrayLiteral("[]"));
    if (file == u"-") {
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        std::fputc('\n', stdout);
        return 0;
    }
    QSaveFile output(file);
    if (!output.open(QIODevice::WriteOnly) || output.write(json) != json.size() ||
        !output.commit()) {
        output.cancelWriting();
        OutputFormatter::complain(
            QStringLiteral("cannot write %1: %2").arg(file, output.errorString()));
        return Error;
    }
    return 0;
}
