#include "Property.h"

#include "login/DesktopExec.h"

namespace {
QString joined(const QStringList &arguments) {
    QStringList quoted;
    for (const QString &argument : arguments)
        quoted << DesktopExec::quote(argument);
    return quoted.join(u' ');
}
} // namespace

// The input is an Exec line; its first two lines also serve as two arguments to quote.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    const QString exec = QString::fromUtf8(bytes(data, size));

    // Field values with the characters that need quoting, so that expansion meets them.
    DesktopExec::Fields fields;
    fields.icon = QStringLiteral("tar vik");
    fields.name = QStringLiteral("Tarvik \"%c\" $HOME");
    fields.entryPath = QStringLiteral("/usr/share/applications/tar vik.desktop");

    QString why;
    const std::optional<QStringList> arguments = DesktopExec::split(exec, fields, &why);
    if (arguments) {
        property(!arguments->isEmpty() && !arguments->first().isEmpty(),
                 "a line without a program splits", exec);
        // What a line stands for, quoted again, stands for the same arguments.
        const QString again = joined(*arguments);
        const std::optional<QStringList> resplit = DesktopExec::split(again, {}, &why);
        property(resplit == arguments, "quoted arguments do not split back to themselves",
                 exec + QStringLiteral(" -> ") + again + QStringLiteral(": ") + why);
    } else {
        property(!why.isEmpty(), "a refused line without a reason", exec);
    }

    const QStringList lines = exec.split(u'\n');
    if (lines.size() >= 2 && !lines[0].isEmpty()) {
        const QStringList pair = {lines[0], lines[1]};
        const QString line = joined(pair);
        property(DesktopExec::split(line, {}, &why) == pair,
                 "two quoted arguments do not split back to themselves",
                 line + QStringLiteral(": ") + why);
    }
    return 0;
}
