#include "commandline/AppInstance.h"

#include "commandline/HostListFile.h"
#include "instance/InstanceClient.h"
#include "instance/InstanceProtocol.h"
#include "instance/SingleInstance.h"
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>

namespace {
void say(const QString &line, FILE *stream = stderr) {
    std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stream);
}

QString socketPath() {
    return InstanceProtocol::socketPath(QString::fromLatin1(AppInstance::identifier));
}

QString takeImport(const QByteArray &json, TRHostController *engine) {
    QString why;
    std::optional<HostList> hosts = HostListFile::read(json, &why);
    if (!hosts)
        return QStringLiteral("not a host list (%1)").arg(why);
    const qsizetype count = qsizetype(hosts->size());
    const bool saved = engine ? engine->replaceHosts(std::move(*hosts)) : HostStore::write(*hosts);
    if (!saved)
        return QStringLiteral("could not save the list");
    say(QStringLiteral("tarvik: took %1 hosts from an import").arg(count));
    return {};
}
} // namespace

std::optional<int> AppInstance::claim(SingleInstance &instance) {
    const QDeadlineTimer deadline(claimTimeoutMs);
    for (;;) {
        QString why;
        switch (instance.acquire(&why)) {
        case SingleInstance::Claim::Acquired:
            if (!why.isEmpty())
                say(QStringLiteral("tarvik: ") + why);
            return std::nullopt;
        case SingleInstance::Claim::Unavailable:
            say(QStringLiteral("tarvik: %1; running without the one-instance check").arg(why));
            return std::nullopt;
        case SingleInstance::Claim::HeldElsewhere:
            break;
        }
        // The holder may still be starting (not listening yet) or just quitting (lock not yet
        // free), so both are tried again until the deadline.
        const InstanceClient::Answer answer =
            InstanceClient::request(socketPath(), InstanceProtocol::activate, {},
                                    int(std::max<qint64>(1, deadline.remainingTime())));
        if (answer.outcome == InstanceClient::Outcome::Answered) {
            say(QStringLiteral("tarvik: Tarvik is already running; asked it to come forward"));
            return 0;
        }
        if (deadline.hasExpired()) {
            say(QStringLiteral("tarvik: another Tarvik holds %1 but does not answer (%2)")
                    .arg(InstanceProtocol::lockPath(QString::fromLatin1(identifier)),
                         answer.error));
            return 2;
        }
        QThread::msleep(100);
    }
}

void AppInstance::serve(SingleInstance &instance, std::function<TRHostController *()> engine,
                        std::function<void()> bringForward) {
    QObject::connect(&instance, &SingleInstance::activationRequested, &instance,
                     [bringForward = std::move(bringForward)] {
                         say(QStringLiteral("tarvik: another start asked Tarvik to come forward"));
                         if (bringForward)
                             bringForward();
                     });
    instance.setImportHandler([engine = std::move(engine)](const QByteArray &json) {
        return takeImport(json, engine ? engine() : nullptr);
    });
}

std::optional<int> AppInstance::handOverImport(const QByteArray &json, qsizetype count) {
    if (socketPath().isEmpty()) {
        // Without a runtime folder a running Tarvik cannot be found, so it cannot be ruled out.
        say(QStringLiteral("tarvik: imported %1 hosts, but found no private runtime folder to "
                           "reach a running Tarvik through; if one runs, it may write its own "
                           "list over the imported one")
                .arg(count));
        return 2;
    }
    const InstanceClient::Answer answer =
        InstanceClient::request(socketPath(), InstanceProtocol::importHosts, json, importTimeoutMs);
    switch (answer.outcome) {
    case InstanceClient::Outcome::NoInstance:
        return std::nullopt;
    case InstanceClient::Outcome::Answered:
        say(QStringLiteral("imported %1 hosts and handed them to the running Tarvik").arg(count),
            stdout);
        return 0;
    case InstanceClient::Outcome::Refused:
        say(QStringLiteral("tarvik: the running Tarvik refused the list (%1); it will keep "
                           "its own list and may write it over the imported one")
                .arg(answer.error));
        return 2;
    case InstanceClient::Outcome::NoAnswer:
        break;
    }
    say(QStringLiteral("tarvik: the running Tarvik did not take the list (%1); it may write its "
                       "own list over the imported one")
            .arg(answer.error));
    return 2;
}
