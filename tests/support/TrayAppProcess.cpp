#include "support/TrayAppProcess.h"

#include "instance/InstanceClient.h"
#include "instance/InstanceProtocol.h"
#include "support/TestSupport.h"

#include <QProcessEnvironment>

TrayAppProcess::TrayAppProcess(const QString &program, const QString &display) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(program, {});
    process_.waitForStarted(5000);
}

TrayAppProcess::~TrayAppProcess() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString TrayAppProcess::output() {
    output_ += QString::fromLocal8Bit(process_.readAll());
    return output_;
}

bool TrayAppProcess::answers(int ms) {
    const QString socket = InstanceProtocol::socketPath(QStringLiteral("com.morvane.Tarvik"));
    return waitUntil(
        [&] {
            return InstanceClient::request(socket, InstanceProtocol::query, {}, 1000).outcome ==
                   InstanceClient::Outcome::Answered;
        },
        ms);
}
