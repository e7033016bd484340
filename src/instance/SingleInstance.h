#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One running program per user and identifier. A lock file in the user's runtime folder says who
// runs; the holder listens on a local socket beside it, so a later start can reach it instead of
// starting a second copy. A lock whose holder died is taken over, a live holder's never is.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        Acquired,      // this process is the instance and answers on the socket
        HeldElsewhere, // a live process holds the lock
        Unavailable,   // neither lock nor socket can be had here (see the error)
    };
    // Takes a host list handed over from the command line; returns why it was refused, or nothing.
    using ImportHandler = std::function<QString(const QByteArray &json)>;

    explicit SingleInstance(const QString &identifier, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock and starts listening. Listening can fail with the lock held: the instance
    // then still keeps later starts out, it only cannot be reached (`error` says so).
    Claim acquire(QString *error = nullptr);
    bool isListening() const;
    // Bytes of unfinished requests held now, across all connections.
    qsizetype bufferedBytes() const { return *buffered_; }

    QString identifier() const { return identifier_; }
    void setImportHandler(ImportHandler handler) { importHandler_ = std::move(handler); }
    // Whether this program is the one the user works with now, told to whoever asks who runs;
    // a program without windows never is.
    void setActiveQuestion(std::function<bool()> question) { isActive_ = std::move(question); }

Q_SIGNALS:
    // A later start of the same program asked this one to come forward.
    void activationRequested();

private:
    // Removes an empty or garbled lock that nobody holds and whose socket nobody answers on;
    // true when it is gone and the lock may be taken.
    bool removeUnconfirmedLock(const QString &lockPath, const QString &socketPath);
    void serve(QLocalSocket *socket);
    QByteArray answer(const QByteArray &command, const QByteArray &payload);

    QString identifier_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer *server_ = nullptr; // child of this object
    ImportHandler importHandler_;
    std::function<bool()> isActive_;
    std::shared_ptr<qsizetype> buffered_ = std::make_shared<qsizetype>(0);
};
