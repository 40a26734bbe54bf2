#include "tests/support/sessionbus.h"

#include <QDBusConnectionInterface>

#include <csignal>

#include <sys/prctl.h>

namespace TestSupport {

PrivateSessionBus::PrivateSessionBus()
{
    if (!m_dir.isValid())
        return;
    const QString address = QStringLiteral("unix:path=") + m_dir.filePath(QStringLiteral("bus"));
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                           QStringLiteral("--print-address"), QStringLiteral("--address=") + address});
    // A test that dies before its destructor runs takes the daemon with it.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start();
    if (!m_daemon.waitForStarted(10000))
        return;
    // It prints the address once it listens.
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
    }
    const QString printed = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (printed.isEmpty())
        return;
    m_address = printed;
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
}

PrivateSessionBus::~PrivateSessionBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill();
        m_daemon.waitForFinished(1000);
    }
}

QDBusConnection PrivateSessionBus::connect(const QString &name) const
{
    return QDBusConnection::connectToBus(m_address, name);
}

bool FakeNotifications::registerOn(QDBusConnection connection)
{
    return connection.isConnected()
        && connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                     QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)
        && connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint FakeNotifications::Notify(const QString &appName, uint replacesId, const QString &, const QString &summary,
                               const QString &body, const QStringList &actions, const QVariantMap &hints, int)
{
    const uint id = replacesId != 0 ? replacesId : m_nextId++;
    received << Notification{id, appName, replacesId, summary, body, actions, hints};
    emit notified();
    return id;
}

bool LauncherWatcher::listenOn(QDBusConnection connection)
{
    return connection.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"),
                              this, SLOT(Update(QString, QVariantMap)));
}

} // namespace TestSupport
