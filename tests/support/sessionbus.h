#pragma once

// A desktop session bus of the test's own, and a notification server on it, so that what the
// program tells the desktop can be read back without a desktop. PrivateSessionBus starts
// dbus-daemon and points DBUS_SESSION_BUS_ADDRESS at it: create it before anything in the
// process uses the session bus. Both live on the test's thread.

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

namespace TestSupport {

class PrivateSessionBus final
{
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    bool isUp() const { return !m_address.isEmpty(); }
    const QString &address() const { return m_address; }
    // A connection of its own to the bus (not the program's session connection), by name.
    QDBusConnection connect(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

// org.freedesktop.Notifications at /org/freedesktop/Notifications on a connection of its own:
// keeps every notification asked for and answers with increasing numbers.
class FakeNotifications final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification
    {
        uint id = 0;
        QString appName;
        uint replacesId = 0;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };

    // Registers on connection; false when the name is taken or the bus is down.
    bool registerOn(QDBusConnection connection);

    QStringList capabilities{QStringLiteral("body"), QStringLiteral("actions")};
    QList<Notification> received;

    // As a user choosing an action of a notification.
    void invokeAction(uint id, const QString &key) { emit ActionInvoked(id, key); }

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int expireTimeout);
    void CloseNotification(uint id) { emit NotificationClosed(id, 3); }

signals:
    void ActionInvoked(uint id, const QString &actionKey);
    void NotificationClosed(uint id, uint reason);
    void notified();

private:
    uint m_nextId = 1;
};

// Keeps the launcher-entry updates (com.canonical.Unity.LauncherEntry "Update") seen on the bus.
class LauncherWatcher final : public QObject
{
    Q_OBJECT

public:
    struct Entry
    {
        QString appUri;
        QVariantMap properties;
    };

    bool listenOn(QDBusConnection connection);
    QList<Entry> updates;

public slots:
    void Update(const QString &appUri, const QVariantMap &properties) { updates << Entry{appUri, properties}; }
};

} // namespace TestSupport
