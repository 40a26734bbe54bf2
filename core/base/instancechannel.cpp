#include "core/base/instancechannel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>

#include <unistd.h>

#include "core/base/instanceguard.h"

namespace Sveltra {

namespace {

constexpr char Magic[] = {'S', 'V', 'O', '1'};
constexpr int HeaderBytes = 8;
constexpr char Taken = 'K';
constexpr int IncompleteLimitMs = 10000;
// Read a piece at a time: the socket's own buffer never holds a whole message.
constexpr qint64 SocketBufferBytes = 64 * 1024;

} // namespace

QString InstanceChannel::DefaultName()
{
    return QFileInfo(InstanceGuard::DefaultLockPath()).dir().filePath(QStringLiteral("sveltra-%1.socket").arg(getuid()));
}

QByteArray InstanceChannel::EncodeMessage(const QStringList &paths)
{
    QByteArray body;
    for (const QString &path : paths)
        body += QFile::encodeName(path) + '\0';
    QByteArray message(Magic, sizeof Magic);
    char length[4];
    qToBigEndian(quint32(body.size()), length);
    message.append(length, sizeof length);
    return message + body;
}

bool InstanceChannel::SendToRunningCopy(const QString &name, const QStringList &paths, int timeoutMs, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QByteArray message = EncodeMessage(paths);
    if (message.size() - HeaderBytes > MaxMessageBytes)
        return fail(QStringLiteral("too many paths for one hand-over"));

    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        // Never talk to a socket another user planted where ours belongs.
        const QFileInfo file(name);
        if (file.exists() && file.ownerId() != getuid())
            return fail(QStringLiteral("%1 belongs to another user").arg(name));
        socket.connectToServer(name);
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired())
            return fail(QStringLiteral("the running copy does not answer at %1: %2").arg(name, socket.errorString()));
        // The running copy holds the lock but may not listen yet while it loads.
        QThread::msleep(100);
    }

    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime()))))
            return fail(QStringLiteral("cannot send the paths: %1").arg(socket.errorString()));
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return fail(QStringLiteral("the running copy did not confirm the paths: %1").arg(socket.errorString()));
    }
    char answer = 0;
    if (!socket.getChar(&answer) || answer != Taken)
        return fail(QStringLiteral("the running copy refused the paths"));
    socket.disconnectFromServer();
    return true;
}

InstanceServer::InstanceServer(QString name, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::accept);
}

InstanceServer::~InstanceServer()
{
    // Closing removes the socket file, so the next start does not meet a dead one.
    m_server->close();
}

bool InstanceServer::listen()
{
    if (m_server->isListening())
        return true;
    if (m_server->listen(m_name))
        return true;
    if (m_server->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(m_name);
        if (m_server->listen(m_name))
            return true;
    }
    qWarning("InstanceServer: cannot listen at %s: %s; later starts cannot hand files to this copy", qPrintable(m_name),
             qPrintable(m_server->errorString()));
    return false;
}

void InstanceServer::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_pending.size() >= InstanceChannel::MaxConnections) {
            qWarning("InstanceServer: too many hand-overs at once; one dropped");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(SocketBufferBytes);
        m_pending.insert(socket, Pending());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            if (const auto it = m_pending.constFind(socket); it != m_pending.cend()) {
                m_stated -= std::max<qint64>(0, it->stated);
                m_pending.erase(it);
            }
            socket->deleteLater();
        });
        QTimer::singleShot(IncompleteLimitMs, socket, [this, socket] {
            if (m_pending.contains(socket))
                drop(socket, "a hand-over stayed incomplete");
        });
        if (socket->bytesAvailable() > 0)
            read(socket);
    }
}

qint64 InstanceServer::heldBytes() const
{
    qint64 held = 0;
    for (const Pending &pending : m_pending)
        held += pending.buffer.size();
    return held;
}

void InstanceServer::drop(QLocalSocket *socket, const char *why)
{
    qWarning("InstanceServer: %s; dropped", why);
    if (const auto it = m_pending.constFind(socket); it != m_pending.cend()) {
        m_stated -= std::max<qint64>(0, it->stated);
        m_pending.erase(it);
    }
    socket->abort();
}

void InstanceServer::read(QLocalSocket *socket)
{
    auto it = m_pending.find(socket);
    if (it == m_pending.end())
        return;
    Pending &pending = it.value();
    if (pending.stated < 0) {
        pending.buffer += socket->read(HeaderBytes - pending.buffer.size());
        if (pending.buffer.size() < HeaderBytes)
            return;
        const quint32 length = qFromBigEndian<quint32>(pending.buffer.constData() + 4);
        if (!pending.buffer.startsWith(QByteArray::fromRawData(Magic, sizeof Magic))
            || length > quint32(InstanceChannel::MaxMessageBytes))
            return drop(socket, "a connection sent no hand-over");
        if (m_stated + length > InstanceChannel::MaxHeldBytes)
            return drop(socket, "unfinished hand-overs hold too much");
        pending.stated = length;
        m_stated += pending.stated;
    }
    const qint64 whole = HeaderBytes + pending.stated;
    pending.buffer += socket->read(whole - pending.buffer.size());
    if (pending.buffer.size() < whole)
        return;

    QStringList paths;
    const QByteArray body = pending.buffer.mid(HeaderBytes);
    m_stated -= pending.stated;
    m_pending.erase(it);
    for (const QByteArray &part : body.split('\0')) {
        if (!part.isEmpty())
            paths << QFile::decodeName(part);
    }
    socket->putChar(Taken);
    socket->flush();
    socket->disconnectFromServer();
    emit pathsReceived(paths);
}

} // namespace Sveltra
