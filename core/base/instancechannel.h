#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace Sveltra {

// The hand-over between a second start and the copy already running for the same user: the
// second start sends the files and folders it was given over a local socket, the running copy
// takes them into its job list and the second start ends. Only the copy that holds the
// InstanceGuard listens, so at most one server exists per user.
//
// The message: the four bytes "SVO1", the length of the rest as a 32-bit big-endian number,
// then the absolute paths in UTF-8, each ended by a NUL byte (the one byte no path can hold).
// The running copy answers with one byte 'K' once it has the paths.
namespace InstanceChannel {

// The socket of this user: beside the instance lock, in the runtime folder.
QString DefaultName();

// The longest message a running copy reads (far more than any command line can carry).
constexpr int MaxMessageBytes = 16 * 1024 * 1024;
// What a running copy holds for all its unfinished hand-overs together, and how many it serves
// at once: a connection that would take more is dropped.
constexpr qint64 MaxHeldBytes = 2 * qint64(MaxMessageBytes);
constexpr int MaxConnections = 16;

QByteArray EncodeMessage(const QStringList &paths);

// Sends the paths to the running copy and waits for its answer. A copy that is still loading
// may not listen yet, so connecting is retried until the time is up. Returns false with the
// reason (in English, for the terminal) when the copy did not take them.
bool SendToRunningCopy(const QString &name, const QStringList &paths, int timeoutMs, QString *error = nullptr);

} // namespace InstanceChannel

// The running copy's end. User-interface thread; connections are read as data arrives, and one
// that stays incomplete for 10 seconds, is too long or is not a message is dropped. A message's
// stated length is set against MaxHeldBytes as soon as its header is in, before its body is
// read, so unfinished messages never hold more than that between them.
class InstanceServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstanceServer)

public:
    explicit InstanceServer(QString name = InstanceChannel::DefaultName(), QObject *parent = nullptr);
    ~InstanceServer() override;

    // Starts listening, accessible to this user only. A socket left behind by a copy that
    // crashed is removed first: the caller holds the instance lock, so no live copy owns it.
    bool listen();
    QString name() const { return m_name; }
    // The bytes of unfinished hand-overs held now.
    qint64 heldBytes() const;

signals:
    // The paths of one hand-over, in the order the other start was given them.
    void pathsReceived(const QStringList &paths);

private:
    void accept();
    void read(QLocalSocket *socket);
    void drop(QLocalSocket *socket, const char *why);

    struct Pending
    {
        QByteArray buffer;
        qint64 stated = -1; // the body length its header states, once read: counted against MaxHeldBytes
    };
    QString m_name;
    QLocalServer *m_server = nullptr;
    QHash<QLocalSocket *, Pending> m_pending;
    qint64 m_stated = 0; // the stated lengths of the messages in m_pending
};

} // namespace Sveltra
