#include "login/LinuxWorkspace.h"

#include "instance/InstanceClient.h"
#include "instance/InstanceProtocol.h"
#include "login/DesktopEntry.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {
void complain(const QString &line) {
    std::fprintf(stderr, "%s: %s\n", QCoreApplication::applicationName().toLocal8Bit().constData(),
                 line.toLocal8Bit().constData());
}
} // namespace

std::vector<Workspace::RunningApplication> LinuxWorkspace::runningApplications() const {
    std::vector<RunningApplication> running;
    for (const QString &socket : InstanceProtocol::socketPaths()) {
        const InstanceClient::Answer answer =
            InstanceClient::request(socket, InstanceProtocol::query, {}, queryTimeoutMs);
        // A socket nobody answers on is left from a crash: that application does not run.
        if (answer.outcome != InstanceClient::Outcome::Answered)
            continue;
        const QJsonObject about = QJsonDocument::fromJson(answer.payload).object();
        RunningApplication application;
        const QJsonValue identifier = about.value(QStringLiteral("identifier"));
        if (identifier.isString())
            application.desktopIdentifier = identifier.toString();
        application.isActive = about.value(QStringLiteral("active")).toBool(false);
        running.push_back(std::move(application));
    }
    return running;
}

bool LinuxWorkspace::launchApplication(const QString &name) {
    const QString desktopId = desktopIdFor(name);
    if (desktopId.isEmpty()) {
        complain(QStringLiteral("no desktop entry is known for %1").arg(name));
        return false;
    }
    const QString path = DesktopEntry::locate(desktopId);
    if (path.isEmpty()) {
        complain(QStringLiteral("cannot start %1: %2 is in no applications folder")
                     .arg(name, desktopId));
        return false;
    }
    QString why;
    const std::optional<DesktopEntry> entry = DesktopEntry::read(path, &why);
    if (!entry || !entry->launch(&why)) {
        complain(QStringLiteral("cannot start %1: %2").arg(name, why));
        return false;
    }
    return true;
}

void LinuxWorkspace::terminate() {
    QCoreApplication::exit(0);
}

QString LinuxWorkspace::desktopIdFor(const QString &name) {
    if (name == u"Tarvik.app")
        return QStringLiteral("com.morvane.Tarvik.desktop");
    return {};
}
