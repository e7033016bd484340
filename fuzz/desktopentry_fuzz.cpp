#include "Property.h"

#include "login/DesktopEntry.h"

namespace {
const QString path = QStringLiteral("/usr/share/applications/tarvik.desktop");
}

// The input is the contents of a desktop entry file.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    const QByteArray contents = bytes(data, size);
    QString why;
    const std::optional<DesktopEntry> entry = DesktopEntry::fromData(contents, path, &why);
    if (!entry) {
        property(!why.isEmpty(), "an entry refused without a reason");
        return 0;
    }
    for (const QString &key :
         {QStringLiteral("Exec"), QStringLiteral("Name"), QStringLiteral("Icon"),
          QStringLiteral("Type"), QStringLiteral("Hidden"), QStringLiteral("Path")}) {
        const std::optional<QString> value = entry->value(key);
        if (!value)
            continue;
        // A value written the way the program writes its own entry reads back unchanged.
        const QString escaped = DesktopEntry::escapeValue(*value);
        property(DesktopEntry::unescapeValue(escaped) == *value, "unescaping undoes no escaping",
                 *value + QStringLiteral(" -> ") + escaped);
        const QByteArray rewritten =
            QStringLiteral("[Desktop Entry]\n%1=%2\n").arg(key, escaped).toUtf8();
        const std::optional<DesktopEntry> reread = DesktopEntry::fromData(rewritten, path);
        property(reread && reread->value(key) == value, "a written value reads back changed",
                 QString::fromUtf8(rewritten));
    }
    why.clear();
    const std::optional<QStringList> command = entry->command(&why);
    if (command)
        property(!command->isEmpty() && !command->first().isEmpty(), "a command without program");
    else
        property(!why.isEmpty(), "an Exec line refused without a reason");
    return 0;
}
