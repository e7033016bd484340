// tarvik-login-item on|off: registers or removes the login helper exactly as Tarvik's "Launch at
// Login" does, for scripts that need it without the tray menu. Copied beside an installed tarvik,
// it resolves the helper the way the installed program does.
#include "platform/LoginItem.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2 || (std::strcmp(argv[1], "on") != 0 && std::strcmp(argv[1], "off") != 0)) {
        std::fputs("usage: tarvik-login-item on|off\n", stderr);
        return 2;
    }
    const bool on = std::strcmp(argv[1], "on") == 0;
    const QString identifier = QString::fromLatin1(LoginItem::helperIdentifier);
    if (!LoginItem::setEnabled(identifier, on)) {
        std::fprintf(stderr, "tarvik-login-item: could not turn launch at login %s\n", argv[1]);
        return 1;
    }
    std::printf("%s\n", LoginItem::entryPath(identifier).toLocal8Bit().constData());
    return 0;
}
