#include "support/PrivateDisplay.h"

PrivateDisplay::PrivateDisplay() {
    // -displayfd: Xvfb takes the first free number and writes it once it accepts connections.
    server_.setProgram(QStringLiteral("Xvfb"));
    server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                          QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("800x600x24")});
    server_.setStandardErrorFile(QProcess::nullDevice());
    server_.start();
    if (!server_.waitForStarted(5000)) {
        error_ = QStringLiteral("Xvfb did not start: ") + server_.errorString();
        return;
    }
    while (!server_.canReadLine() && server_.waitForReadyRead(10000)) {
    }
    const QString number = QString::fromUtf8(server_.readLine()).trimmed();
    if (number.isEmpty()) {
        error_ = QStringLiteral("Xvfb gave no display number");
        return;
    }
    name_ = QLatin1Char(':') + number;
}

PrivateDisplay::~PrivateDisplay() {
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(5000)) {
            server_.kill();
            server_.waitForFinished(5000);
        }
    }
}
