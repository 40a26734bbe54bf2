#pragma once

#include <QObject>
#include <QString>

namespace Sveltra {

// What the program tells the desktop over the session bus, outside its own windows: the
// progress on its launcher or taskbar entry (the com.canonical.Unity.LauncherEntry signal that
// KDE Plasma, Dock and other docks read, for application://sveltra.desktop) and notifications
// (org.freedesktop.Notifications). Every call is asynchronous; without a session bus or without
// a notification server nothing is shown and nothing waits. User-interface thread.
class DesktopBus final : public QObject
{
    Q_OBJECT

public:
    explicit DesktopBus(QObject *parent = nullptr);
    ~DesktopBus() override;

    // The share done, 0.0 to 1.0, on the launcher entry; visible false takes it away.
    static void SetLauncherProgress(double progress, bool visible);

    // Shows a notification. When the server offers actions, it carries one with actionText as
    // its label, and choosing it emits actionInvoked(). Replaces the previous notification of
    // this object while that is still shown.
    void notify(const QString &summary, const QString &body, const QString &actionText = {});

signals:
    void actionInvoked();

private slots:
    void onActionInvoked(uint id, const QString &key);
    void onNotificationClosed(uint id, uint reason);

private:
    void send(const QString &summary, const QString &body, const QString &actionText, bool withActions);

    uint m_id = 0; // the server's number of the notification shown last, 0 when none is
    bool m_connected = false;
};

} // namespace Sveltra
