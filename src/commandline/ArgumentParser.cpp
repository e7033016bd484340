#include "commandline/ArgumentParser.h"

#include "metrics/ListenAddress.h"

#include <QHash>

namespace {
// How an option is written on the command line, for messages: the parser keeps names bare.
QString dashed(const QString &name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

std::optional<ArgumentParser::Mode> modeOf(const QString &name) {
    using Mode = ArgumentParser::Mode;
    static const QHash<QString, Mode> modes{
        {QStringLiteral("check"), Mode::Check},   {QStringLiteral("headless"), Mode::Headless},
        {QStringLiteral("import"), Mode::Import}, {QStringLiteral("export"), Mode::Export},
        {QStringLiteral("h"), Mode::Help},        {QStringLiteral("help"), Mode::Help},
        {QStringLiteral("v"), Mode::Version},     {QStringLiteral("version"), Mode::Version}};
    const auto it = modes.constFind(name);
    return it == modes.cend() ? std::nullopt : std::optional<Mode>(*it);
}
} // namespace

ArgumentParser::ArgumentParser(Program program)
    : program_(program) {
    // No option is a letter that could be run together with another, so "-check" is "--check".
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QString check = QStringLiteral(
        "check every stored active host once, then exit: 0 all up, 1 any down, 2 error or offline");
    const QString metrics = QStringLiteral(
        "serve the last results as Prometheus metrics at http://ADDR:PORT/metrics (PORT alone: "
        "loopback)");
    const QCommandLineOption import(
        QStringLiteral("import"),
        QStringLiteral("replace the stored host list with FILE (the stored JSON format)"),
        QStringLiteral("FILE"));
    const QCommandLineOption exportTo(
        QStringLiteral("export"),
        QStringLiteral("write the stored host list to FILE, or to stdout"),
        QStringLiteral("FILE|-"));
    if (program == Program::Tarvikd) {
        parser_.setApplicationDescription(QStringLiteral(
            "Without a mode, checks the stored hosts on the stored frequency until SIGINT,\n"
            "SIGTERM or SIGHUP, printing rounds, results and state changes."));
        parser_.addOptions(
            {QCommandLineOption(
                 QStringLiteral("json"),
                 QStringLiteral("print each of those as one JSON object a line (with --check "
                                "too)")),
             QCommandLineOption(QStringLiteral("metrics"), QStringLiteral("also ") + metrics,
                                QStringLiteral("ADDR:PORT")),
             QCommandLineOption(QStringLiteral("check"), check),
             QCommandLineOption(QStringLiteral("headless"), QStringLiteral("the same as no mode")),
             import, exportTo});
    } else {
        parser_.setApplicationDescription(QStringLiteral(
            "Without options, starts the tray application; a mode below runs without it."));
        parser_.addOptions(
            {QCommandLineOption(QStringLiteral("check"), check),
             QCommandLineOption(
                 QStringLiteral("headless"),
                 QStringLiteral("check on the stored frequency without tray or windows until "
                                "SIGINT, SIGTERM or SIGHUP, printing rounds, results and state "
                                "changes; for machines without a desktop")),
             QCommandLineOption(
                 QStringLiteral("json"),
                 QStringLiteral("with --check or --headless, print one JSON object a line")),
             QCommandLineOption(QStringLiteral("metrics"),
                                QStringLiteral("with --headless, also ") + metrics,
                                QStringLiteral("ADDR:PORT")),
             import, exportTo});
    }
    parser_.addOptions(
        {QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("show this help")),
         QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                            QStringLiteral("show the version"))});
}

QString ArgumentParser::helpText() const {
    return parser_.helpText();
}

std::optional<ArgumentParser::Options> ArgumentParser::parse(const QStringList &arguments,
                                                             QString *error) {
    const bool parsed = parser_.parse(arguments);
    if (!parser_.unknownOptionNames().isEmpty()) {
        // Named as typed, with one dash or two.
        const QString name = parser_.unknownOptionNames().first();
        QString typed = dashed(name);
        for (const QString &argument : arguments.mid(1)) {
            const QString option = argument.section(u'=', 0, 0);
            if (option == u'-' + name || option == QStringLiteral("--") + name) {
                typed = option;
                break;
            }
        }
        *error = QStringLiteral("unknown option %1").arg(typed);
        return std::nullopt;
    }
    if (!parser_.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unknown option %1").arg(parser_.positionalArguments().first());
        return std::nullopt;
    }
    return interpret(parsed, error);
}

std::optional<ArgumentParser::Options> ArgumentParser::interpret(bool parsed,
                                                                 QString *error) const {
    Options options;
    // The server program has no tray: without a mode it monitors, as `tarvik --headless` does.
    if (program_ == Program::Tarvikd)
        options.mode = Mode::Headless;
    bool modeSet = false;
    // Which of its values an option's nth appearance took; a value option has a single name.
    QHash<QString, qsizetype> seen;
    // Walked in the order typed, so the first mistake is the one reported.
    for (const QString &name : parser_.optionNames()) {
        const qsizetype occurrence = seen[name]++;
        if (const std::optional<Mode> mode = modeOf(name)) {
            if (modeSet) {
                *error =
                    QStringLiteral("%1 cannot be combined with another mode").arg(dashed(name));
                return std::nullopt;
            }
            options.mode = *mode;
            modeSet = true;
        }
        const QStringList values = parser_.values(name);
        const QString value = occurrence < values.size() ? values.at(occurrence) : QString();
        if (name == u"json") {
            options.json = true;
        } else if (name == u"metrics") {
            if (value.isEmpty()) {
                *error = QStringLiteral("--metrics needs ADDR:PORT or PORT");
                return std::nullopt;
            }
            options.metrics = value;
            if (!ListenAddress::parse(value, error))
                return std::nullopt;
        } else if (name == u"import" || name == u"export") {
            if (value.isEmpty() || (options.mode == Mode::Import && value == u"-")) {
                *error = QStringLiteral("%1 needs a file").arg(dashed(name));
                return std::nullopt;
            }
            options.file = value;
        }
    }
    // Anything else the parser refused, such as a value given to an option that takes none.
    if (!parsed) {
        *error = parser_.errorText();
        return std::nullopt;
    }
    if (options.json && options.mode != Mode::Check && options.mode != Mode::Headless) {
        *error = QStringLiteral("--json goes with --check or --headless");
        return std::nullopt;
    }
    if (!options.metrics.isEmpty() && options.mode != Mode::Headless) {
        *error = QStringLiteral("--metrics goes with --headless");
        return std::nullopt;
    }
    return options;
}
