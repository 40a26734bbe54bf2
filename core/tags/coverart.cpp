#include "core/tags/coverart.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QtDebug>

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/media/coverimage.h"

namespace Sveltra {

namespace {

// A picture file bigger than this is no cover anyone made for a player; it is not read.
constexpr qint64 MaxCoverFileBytes = 64 * 1024 * 1024;
// Covers kept: enough for the albums of one run converted side by side.
constexpr int CachedCovers = 8;

// The covers made last, newest first, by the hash of the picture they were made from. A cover
// that could not be made is kept too (empty), so it is tried and logged once.
class CoverCache
{
public:
    QByteArray made(const QByteArray &picture, const QString &origin)
    {
        const QByteArray key = QCryptographicHash::hash(picture, QCryptographicHash::Sha1);
        {
            QMutexLocker lock(&m_mutex);
            for (qsizetype i = 0; i < m_entries.size(); ++i) {
                if (m_entries[i].first == key) {
                    m_entries.move(i, 0);
                    return m_entries.first().second;
                }
            }
        }
        QString error;
        const QByteArray small = CoverImage::MakeSmall(picture, &error);
        if (small.isEmpty())
            qWarning("The cover of %s is left out: %s", qPrintable(origin), qPrintable(error));
        QMutexLocker lock(&m_mutex);
        m_entries.prepend({key, small});
        while (m_entries.size() > CachedCovers)
            m_entries.removeLast();
        return small;
    }

private:
    QMutex m_mutex;
    QList<std::pair<QByteArray, QByteArray>> m_entries;
};

CoverCache &cache()
{
    static CoverCache instance;
    return instance;
}

// True for a regular file, links followed (a link to a device or a pipe is none).
bool isRegularFile(const QString &path)
{
    struct stat facts
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &facts) == 0 && S_ISREG(facts.st_mode);
}

// The bytes of a picture file: only of a regular file (a name swapped for a link to /dev/zero or
// a pipe after it was chosen is refused when it is opened, without waiting for a writer), and
// only when it holds no more than the cover limit, read up to that limit whatever its size
// claimed. Empty, with the reason in *error, otherwise.
QByteArray readPictureFile(const QString &path, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return {};
    }
    struct stat facts
    {
    };
    QByteArray bytes;
    if (::fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        *error = QStringLiteral("it is no regular file");
    } else if (facts.st_size > MaxCoverFileBytes) {
        *error = QStringLiteral("it is %1 bytes").arg(qint64(facts.st_size));
    } else {
        bytes.resize(qsizetype(facts.st_size));
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, std::size_t(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        bytes.truncate(got); // a file cut short meanwhile gives what it holds
    }
    ::close(fd);
    return bytes;
}

} // namespace

QString CoverFileBeside(const QString &sourcePath)
{
    if (sourcePath.isEmpty())
        return {};
    const QDir folder = QFileInfo(sourcePath).absoluteDir();
    const QStringList files = folder.entryList(QDir::Files | QDir::Readable | QDir::Hidden, QDir::Name);
    for (const char *stem : {"cover", "folder", "front", "album"}) {
        for (const char *suffix : {".jpg", ".jpeg", ".png"}) {
            const QString wanted = QLatin1String(stem) + QLatin1String(suffix);
            for (const QString &name : files) {
                if (name.compare(wanted, Qt::CaseInsensitive) == 0 && isRegularFile(folder.filePath(name)))
                    return folder.filePath(name);
            }
        }
    }
    return {};
}

QByteArray SmallFrontCover(const QByteArray &given, const QList<EmbeddedPicture> &embedded, const QString &sourcePath)
{
    // Each in turn until one can be made: a damaged embedded cover gives way to the folder's.
    if (!given.isEmpty()) {
        const QByteArray small = cache().made(given, sourcePath.isEmpty() ? QStringLiteral("the disc") : sourcePath);
        if (!small.isEmpty())
            return small;
    }
    if (const EmbeddedPicture *front = FrontPicture(embedded)) {
        const QByteArray small = cache().made(front->data, sourcePath);
        if (!small.isEmpty())
            return small;
    }
    const QString file = CoverFileBeside(sourcePath);
    if (file.isEmpty())
        return {};
    QString error;
    const QByteArray picture = readPictureFile(file, &error);
    if (!error.isEmpty()) {
        qWarning("The cover %s is left out: %s", qPrintable(file), qPrintable(error));
        return {};
    }
    return cache().made(picture, file);
}

} // namespace Sveltra
