#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QThread>

// NetworkManager for tests, on a system bus of the test's own: the State, Connectivity and
// PrimaryConnection properties, read through Properties.GetAll, and PropertiesChanged when the
// test sets a new State. It answers from a thread of its own, because Qt's network information
// reads it with a blocking call from the main thread.
class FakeNetworkManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint State READ state)
    Q_PROPERTY(uint Connectivity READ connectivity)
    Q_PROPERTY(QDBusObjectPath PrimaryConnection READ primaryConnection)
    Q_PROPERTY(uint Metered READ metered)
public:
    static constexpr uint disconnected = 20;
    static constexpr uint connectedLocal = 50;
    static constexpr uint connectedGlobal = 70;

    FakeNetworkManager(const QString &address, uint state);
    ~FakeNetworkManager() override;
    bool isRegistered() const { return registered_; }

    // Changes State and announces it, as NetworkManager does.
    void setState(uint state);

    uint state() const { return state_; }
    uint connectivity() const { return state_ == connectedGlobal ? 4 : 1; }
    QDBusObjectPath primaryConnection() const { return QDBusObjectPath(QStringLiteral("/")); }
    uint metered() const { return 0; }

private:
    QThread thread_;
    QDBusConnection bus_;
    uint state_;
    bool registered_ = false;
};
