#include "instance/InstanceClient.h"

#include "instance/InstanceProtocol.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

#include <algorithm>

namespace {
InstanceClient::Answer noAnswer(const QString &why) {
    return {InstanceClient::Outcome::NoAnswer, {}, why};
}

int remaining(const QDeadlineTimer &deadline) {
    return int(std::max<qint64>(1, deadline.remainingTime()));
}
} // namespace

InstanceClient::Answer InstanceClient::request(const QString &socketPath, const QByteArray &command,
                                               const QByteArray &payload, int timeoutMs) {
    if (socketPath.isEmpty())
        return {Outcome::NoInstance, {}, QStringLiteral("no runtime folder")};
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(remaining(deadline))) {
        const auto error = socket.error();
        if (error == QLocalSocket::ServerNotFoundError ||
            error == QLocalSocket::ConnectionRefusedError)
            return {Outcome::NoInstance, {}, socket.errorString()};
        return noAnswer(socket.errorString());
    }
    socket.write(InstanceProtocol::message(command, payload));
    while (socket.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket.waitForBytesWritten(remaining(deadline)))
            return noAnswer(QStringLiteral("the request could not be sent: ") +
                            socket.errorString());
    }
    QByteArray buffer;
    QByteArray answerCommand, answerPayload;
    for (;;) {
        switch (InstanceProtocol::take(buffer, &answerCommand, &answerPayload)) {
        case InstanceProtocol::Take::Message:
            if (answerCommand == InstanceProtocol::ok)
                return {Outcome::Answered, answerPayload, {}};
            if (answerCommand == InstanceProtocol::refused)
                return {Outcome::Refused, {}, QString::fromUtf8(answerPayload)};
            return noAnswer(QStringLiteral("an answer that is neither yes nor no"));
        case InstanceProtocol::Take::Invalid:
            return noAnswer(QStringLiteral("an answer that is not a message"));
        case InstanceProtocol::Take::Incomplete:
            break;
        }
        if (socket.bytesAvailable() == 0) {
            if (socket.state() != QLocalSocket::ConnectedState)
                return noAnswer(QStringLiteral("the instance closed the connection"));
            if (deadline.hasExpired() || !socket.waitForReadyRead(remaining(deadline)))
                return noAnswer(QStringLiteral("no answer in time"));
        }
        buffer += socket.readAll();
    }
}
