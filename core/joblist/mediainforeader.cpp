#include "core/joblist/mediainforeader.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <deque>
#include <optional>

#include "core/browse/audiofiles.h"
#include "core/joblist/jobrules.h"
#include "core/media/audioinformation.h"

namespace Sveltra {

MediaInfo ReadMediaInfo(AudioInformation &info, const QString &path)
{
    info.TagMode = AudioInformation::TagKind::Main;
    info.ReadFile(path);
    if (MediaType(path) == QLatin1String("MP3") && info.Title.isEmpty()) {
        info.TagMode = AudioInformation::TagKind::Id3v1;
        info.ReadFile(path);
    }
    MediaInfo result;
    result.path = path;
    result.wasRead = true;
    result.duration = info.Duration;
    result.fileSize = info.FileSize;
    result.title = info.Title;
    result.album = info.Album;
    result.artist = info.Artist;
    result.year = info.Year;
    result.comment = info.Comment;
    result.error = info.lastError();
    if (result.duration <= 0)
        result.refusal = RefusalOfUnreadable(path);
    return result;
}

namespace {

// A folder as given and as its links resolve, clean and absolute; empty for no folder.
QStringList FolderForms(const QString &folder)
{
    if (folder.trimmed().isEmpty())
        return {};
    const QFileInfo info(folder);
    QStringList forms{QDir::cleanPath(info.absoluteFilePath())};
    const QString canonical = info.canonicalFilePath();
    forms << (canonical.isEmpty() ? forms.first() : canonical);
    return forms;
}

// True when path lies inside (not at) one of the folder's forms.
bool IsInside(const QString &path, const QStringList &folderForms)
{
    for (const QString &folder : folderForms) {
        if (path.startsWith(folder) && path.size() > folder.size()
            && (folder.endsWith(QLatin1Char('/')) || path.at(folder.size()) == QLatin1Char('/')))
            return true;
    }
    return false;
}

bool IsOwnOutput(const QString &path)
{
    return MediaType(path) == QLatin1String("MP3") && !ReadSourceStamp(path).isEmpty();
}

} // namespace

// The work shared by the owner and its workers. Every path gets a sequence number; the entries
// hold the paths from the first one not yet delivered (number `base`) on.
struct MediaInfoReader::Queue
{
    struct Slot
    {
        QString path;
        QString base;
        bool inOutputFolder = false; // found by a walk in the output folder inside the walked one
        std::optional<MediaInfo> result;
    };
    struct Request
    {
        QStringList paths;
        QString outputFolder;
    };

    QMutex mutex;
    std::deque<Request> intake; // given, folders not yet walked
    qsizetype intakePaths = 0;
    bool walking = false;
    int generation = 0; // counts cancels, so a walk that was cancelled puts nothing in
    std::deque<Slot> entries;
    qint64 base = 0;
    qint64 nextClaim = 0;
    int workers = 0;
    int maxWorkers = 1;
    bool wakePosted = false;
};

MediaInfoReader::MediaInfoReader(QObject *parent, int threads)
    : QObject(parent)
    , m_queue(std::make_shared<Queue>())
{
    qRegisterMetaType<QList<Sveltra::MediaInfo>>();
    m_queue->maxWorkers = threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
    // The readers, and one more thread that walks folders.
    m_pool.setMaxThreadCount(m_queue->maxWorkers + 1);
    m_pool.setObjectName(QStringLiteral("MediaInfoReader"));
}

MediaInfoReader::~MediaInfoReader()
{
    cancel();
    m_pool.waitForDone();
}

void MediaInfoReader::read(const QStringList &paths, const QString &outputFolder)
{
    QMutexLocker lock(&m_queue->mutex);
    m_queue->intake.push_back({paths, outputFolder});
    m_queue->intakePaths += paths.size();
    if (m_queue->walking)
        return;
    m_queue->walking = true;
    // Folders are walked in the given order on a thread of their own, so that a whole library
    // dropped at once never holds up the owner's event loop.
    m_pool.start([queue = m_queue, owner = this] {
        for (;;) {
            Queue::Request given;
            int generation = 0;
            {
                QMutexLocker take(&queue->mutex);
                if (queue->intake.empty()) {
                    queue->walking = false;
                    return;
                }
                given = queue->intake.front();
                generation = queue->generation;
            }
            // The files go into the queue as they are found (a large tree a folder at a time),
            // so reading starts while the walk goes on; the request stays in the intake until
            // it is walked, which keeps pending() above 0.
            bool cancelled = false;
            const auto put = [&](const QStringList &files, const QString &base, const QStringList &outputForms) {
                {
                    QMutexLocker store(&queue->mutex);
                    cancelled = cancelled || generation != queue->generation;
                    if (cancelled)
                        return;
                    for (const QString &file : files)
                        queue->entries.push_back({file, base, IsInside(file, outputForms), std::nullopt});
                }
                owner->startWorkers();
            };
            const QStringList outputForms = FolderForms(given.outputFolder);
            QStringList files;
            for (const QString &path : std::as_const(given.paths)) {
                if (MediaType(path) != QLatin1String("CDA") && QFileInfo(path).isDir()) {
                    put(std::exchange(files, {}), {}, {});
                    const QString base = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
                    // The output folder is passed over only inside the folder walked: a walk of the
                    // output folder itself (or of a folder inside it) is the user's wish.
                    const QStringList baseForms = FolderForms(base);
                    const bool outputInside = std::any_of(outputForms.begin(), outputForms.end(),
                                                          [&](const QString &out) { return IsInside(out, baseForms); });
                    const QStringList skipped = outputInside ? outputForms : QStringList();
                    AudioFilesIn({path}, [&](const QStringList &found) { put(found, base, skipped); });
                } else {
                    files << path;
                }
            }
            put(files, {}, {});
            bool wake = false;
            {
                QMutexLocker done(&queue->mutex);
                if (generation != queue->generation)
                    continue; // cancelled while walking: the intake was emptied
                queue->intake.pop_front();
                queue->intakePaths -= given.paths.size();
                // The owner may have taken every result while this walk went on.
                if (queue->entries.empty() && queue->intake.empty() && !queue->wakePosted) {
                    queue->wakePosted = true;
                    wake = true;
                }
            }
            if (wake)
                QMetaObject::invokeMethod(owner, &MediaInfoReader::deliver, Qt::QueuedConnection);
        }
    });
}

void MediaInfoReader::cancel()
{
    QMutexLocker lock(&m_queue->mutex);
    ++m_queue->generation;
    m_queue->intake.clear();
    m_queue->intakePaths = 0;
    m_queue->base += static_cast<qint64>(m_queue->entries.size());
    m_queue->nextClaim = m_queue->base;
    m_queue->entries.clear();
}

int MediaInfoReader::pending() const
{
    QMutexLocker lock(&m_queue->mutex);
    return static_cast<int>(m_queue->entries.size() + m_queue->intakePaths);
}

void MediaInfoReader::startWorkers()
{
    QMutexLocker lock(&m_queue->mutex);
    const qint64 unclaimed = m_queue->base + static_cast<qint64>(m_queue->entries.size()) - m_queue->nextClaim;
    const qint64 toStart = std::min<qint64>(unclaimed, m_queue->maxWorkers - m_queue->workers);
    for (qint64 i = 0; i < toStart; ++i) {
        ++m_queue->workers;
        // The lambda keeps the queue alive; the reader itself outlives every worker (its
        // destructor waits for the pool), so posting to it is safe.
        m_pool.start([queue = m_queue, owner = this] {
            AudioInformation audio;
            for (;;) {
                QString path;
                QString base;
                bool inOutputFolder = false;
                qint64 number = 0;
                {
                    QMutexLocker claim(&queue->mutex);
                    if (queue->nextClaim >= queue->base + static_cast<qint64>(queue->entries.size())) {
                        --queue->workers;
                        return;
                    }
                    number = queue->nextClaim++;
                    const Queue::Slot &entry = queue->entries[static_cast<std::size_t>(number - queue->base)];
                    path = entry.path;
                    base = entry.base;
                    inOutputFolder = entry.inOutputFolder;
                }
                MediaInfo info;
                if (MediaType(path) == QLatin1String("CDA")) {
                    info.path = path;
                } else if (inOutputFolder) {
                    info.path = path;
                    info.wasRead = true;
                    info.refusal = AddRefusal::OwnOutput;
                    info.error = QStringLiteral("in the output folder");
                } else {
                    info = ReadMediaInfo(audio, path);
                    // What this program wrote is no source of a folder walked: a run into the
                    // folder it reads from would else take its own outputs in again.
                    if (!base.isEmpty() && info.duration > 0 && IsOwnOutput(path)) {
                        info.duration = 0;
                        info.refusal = AddRefusal::OwnOutput;
                        info.error = QStringLiteral("an output of this program");
                    }
                }
                info.baseFolder = base;
                bool wake = false;
                {
                    QMutexLocker store(&queue->mutex);
                    if (number >= queue->base) { // else cancelled meanwhile
                        queue->entries[static_cast<std::size_t>(number - queue->base)].result = std::move(info);
                        // The owner only needs waking when the result it waits for next is in.
                        if (number == queue->base && !queue->wakePosted) {
                            queue->wakePosted = true;
                            wake = true;
                        }
                    }
                }
                if (wake)
                    QMetaObject::invokeMethod(owner, &MediaInfoReader::deliver, Qt::QueuedConnection);
            }
        });
    }
}

void MediaInfoReader::deliver()
{
    QList<MediaInfo> batch;
    bool done = false;
    {
        QMutexLocker lock(&m_queue->mutex);
        m_queue->wakePosted = false;
        while (!m_queue->entries.empty() && m_queue->entries.front().result) {
            batch.append(std::move(*m_queue->entries.front().result));
            m_queue->entries.pop_front();
            ++m_queue->base;
        }
        done = m_queue->entries.empty() && m_queue->intake.empty();
    }
    if (!batch.isEmpty())
        emit batchReady(batch);
    if (done)
        emit finished();
}

} // namespace Sveltra
