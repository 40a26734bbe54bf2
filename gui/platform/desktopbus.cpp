#include "gui/platform/desktopbus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <QtDebug>

#include <algorithm>

namespace Sveltra {

namespace {

const QString NotificationsService = QStringLiteral("org.freedesktop.Notifications");
const QString NotificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString NotificationsInterface = QStringLiteral("org.freedesktop.Notifications");
const QString OfferedAction = QStringLiteral("open-output-folder");

QDBusMessage notificationsCall(const QString &method)
{
    return QDBusMessage::createMethodCall(NotificationsService, NotificationsPath, NotificationsInterface, method);
}

} // namespace

DesktopBus::DesktopBus(QObject *parent)
    : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    m_connected = true;
    bus.connect(NotificationsService, NotificationsPath, NotificationsInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(uint, QString)));
    bus.connect(NotificationsService, NotificationsPath, NotificationsInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(onNotificationClosed(uint, uint)));
}

DesktopBus::~DesktopBus() = default;

void DesktopBus::SetLauncherProgress(double progress, bool visible)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/com/canonical/unity/launcherentry/sveltra"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), std::clamp(progress, 0.0, 1.0));
    properties.insert(QStringLiteral("progress-visible"), visible);
    signal << QStringLiteral("application://sveltra.desktop") << properties;
    bus.send(signal);
}

void DesktopBus::notify(const QString &summary, const QString &body, const QString &actionText)
{
    if (!m_connected)
        return;
    if (actionText.isEmpty()) {
        send(summary, body, {}, false);
        return;
    }
    // Actions only where the server shows them (GetCapabilities lists "actions").
    auto *watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(notificationsCall(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, summary, body, actionText](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QStringList> reply = *w;
        w->deleteLater();
        if (reply.isError())
            qWarning("Notifications: no server answers (%s)", qPrintable(reply.error().message()));
        send(summary, body, actionText, !reply.isError() && reply.value().contains(QStringLiteral("actions")));
    });
}

void DesktopBus::send(const QString &summary, const QString &body, const QString &actionText, bool withActions)
{
    QDBusMessage call = notificationsCall(QStringLiteral("Notify"));
    QStringList actions;
    if (withActions)
        actions << OfferedAction << actionText;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("sveltra"));
    call << QStringLiteral("Sveltra") << m_id << QStringLiteral("sveltra") << summary << body << actions << hints << qint32(-1);
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        if (reply.isError()) {
            qWarning("Notifications: the notification was not shown (%s)", qPrintable(reply.error().message()));
            return;
        }
        m_id = reply.value();
    });
}

void DesktopBus::onActionInvoked(uint id, const QString &key)
{
    if (id == 0 || id != m_id)
        return;
    if (key == OfferedAction)
        emit actionInvoked();
}

void DesktopBus::onNotificationClosed(uint id, uint)
{
    if (id == m_id)
        m_id = 0;
}

} // namespace Sveltra
