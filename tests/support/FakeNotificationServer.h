#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

// org.freedesktop.Notifications for tests: records every call and hands out ids from 1.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app;
        uint replaces;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        uint id; // what the server answered
    };

    // Registers on its own connection to `address`, as a separate process would be.
    FakeNotificationServer(const QString &address, QStringList capabilities);
    ~FakeNotificationServer() override;
    bool isRegistered() const { return registered_; }

    // As the server does when the user clicks the notice.
    void invokeAction(uint id, const QString &key);

    std::vector<Call> notifies;
    std::vector<uint> closed;

public Q_SLOTS:
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints,
                int timeout);
    void CloseNotification(uint id);
    QStringList GetCapabilities();

private:
    QDBusConnection bus_;
    QStringList capabilities_;
    uint lastId_ = 0;
    bool registered_ = false;
};
