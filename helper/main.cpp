// tarvik-helper: started by the session at login (see LoginItem), it starts Tarvik and quits.
#include "Helper.h"

#include "login/Workspace.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvik-helper"));
    const std::unique_ptr<Workspace> workspace = Workspace::system();
    Helper helper(*workspace);
    QTimer::singleShot(0, &app, [&helper] { helper.run(); });
    return QCoreApplication::exec();
}
