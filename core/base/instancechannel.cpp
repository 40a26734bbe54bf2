#include "core/base/instancechannel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <unistd.h>

#include "core/base/instanceguard.h"

namespace Sveltra {

namespace {

constexpr char Magic[] = {'S', 'V', 'O', '1'};
constexpr int HeaderBytes = 8;
constexpr char Taken = 'K';
constexpr int IncompleteLimitMs = 10000;

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
        m_pending.insert(socket, QByteArray());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
        QTimer::singleShot(IncompleteLimitMs, socket, [this, socket] {
            if (m_pending.contains(socket)) {
                qWarning("InstanceServer: a hand-over stayed incomplete; dropped");
                m_pending.remove(socket);
                socket->abort();
            }
        });
        if (socket->bytesAvailable() > 0)
            read(socket);
    }
}

void InstanceServer::read(QLocalSocket *socket)
{
    auto it = m_pending.find(socket);
    if (it == m_pending.end())
        return;
    QByteArray &buffer = it.value();
    buffer += socket->readAll();
    if (buffer.size() < HeaderBytes)
        return;

    const quint32 length = qFromBigEndian<quint32>(buffer.constData() + 4);
    if (!buffer.startsWith(QByteArray::fromRawData(Magic, sizeof Magic)) || length > quint32(InstanceChannel::MaxMessageBytes)) {
        qWarning("InstanceServer: a connection sent no hand-over; dropped");
        m_pending.erase(it);
        socket->abort();
        return;
    }
    if (quint32(buffer.size() - HeaderBytes) < length)
        return;

    QStringList paths;
    const QByteArray body = buffer.mid(HeaderBytes, length);
    for (const QByteArray &part : body.split('\0')) {
        if (!part.isEmpty())
            paths << QFile::decodeName(part);
    }
    m_pending.erase(it);
    socket->putChar(Taken);
    socket->flush();
    socket->disconnectFromServer();
    emit pathsReceived(paths);
}

} // namespace Sveltra
