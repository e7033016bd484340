#pragma once

#include <QObject>
#include <QString>

// Whether this machine has a network, as the desktop's network service sees it (Qt's network
// information: NetworkManager first, GLib's monitor otherwise). Disconnected or local-only is
// offline; a backend that cannot tell leaves it Unknown, and the engine judges by itself.
class NetworkWatch : public QObject {
    Q_OBJECT
public:
    enum class State { Unknown, Online, Offline };

    explicit NetworkWatch(QObject *parent = nullptr);
    ~NetworkWatch() override;

    // Loads a backend; false (and Unknown for good) when none loads. Once per process: Qt keeps
    // one backend for everyone.
    bool start();
    State state() const { return state_; }
    QString backend() const { return backend_; }

Q_SIGNALS:
    void stateChanged(NetworkWatch::State state);

private:
    void follow();

    State state_ = State::Unknown;
    QString backend_;
};
