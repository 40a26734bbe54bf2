#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <memory>

#include "core/joblist/addrefusal.h"

namespace Sveltra {

class AudioInformation;

// What a job-list row shows of one media file, as the audio information component reads it.
struct MediaInfo
{
    QString path;
    bool wasRead = false; // false for a path handed on unread (a CD track)
    qint64 duration = 0;  // milliseconds; 0 or less: not audio we can read
    qint64 fileSize = 0;
    QString title;
    QString album;
    QString artist;
    int year = 0;
    QString comment;
    QString error; // why it could not be read, in English, for the log
    // Why it is no row (read, and not audio we can read): not there, its name, or its content.
    AddRefusal refusal = AddRefusal::None;
    // The folder given to the reader that held this file (its walk found it), or empty for a
    // file given on its own.
    QString baseFolder;
};

// Reads one file the way a row is filled: the format's main tag first, and for an MP3 whose
// main tag has no title the ID3v1 tag instead. Uses (and leaves behind) info's readings.
MediaInfo ReadMediaInfo(AudioInformation &info, const QString &path);

// Reads the media information of many files on worker threads and hands the results back in
// the order the paths were given, in batches, on the thread that owns the reader. Paths given
// by later calls of read() come after those of earlier ones. A folder among the paths stands
// for the audio files inside it and its subfolders, in name order (AudioFilesIn). Paths whose
// type is "CDA" are not read (they are handed back with wasRead false) so that their owner can
// add them in turn. Each file found in a folder carries that folder as its baseFolder.
//
// A folder walked never gives this program's own outputs: the output folder where it lies
// inside the folder walked (the files in it are handed back unread), and any MP3 that carries
// the program's mark (ReadSourceStamp), both refused as AddRefusal::OwnOutput. Files named on
// their own are read whatever they are.
//
// The reader and its signals live on its owner's thread; the workers only touch the shared
// work queue and post a wake-up to the owner. Destroying the reader cancels what is left and
// waits for the files being read at that moment.
class MediaInfoReader final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MediaInfoReader)

public:
    // threads: the number of workers; 0 takes one per core.
    explicit MediaInfoReader(QObject *parent = nullptr, int threads = 0);
    ~MediaInfoReader() override;

    // Queues the paths behind any still being read; outputFolder is the folder the run writes
    // to at the time of the call (empty for none).
    void read(const QStringList &paths, const QString &outputFolder = {});
    // Drops every path not yet delivered; nothing more is delivered for them.
    void cancel();
    // Paths (and folders) given and not yet delivered; 0 when everything is out.
    int pending() const;

signals:
    // The next results, in order. Delivered from the owner's event loop.
    void batchReady(const QList<Sveltra::MediaInfo> &infos);
    // Every path given so far has been delivered.
    void finished();

private:
    struct Queue;
    void deliver();
    void startWorkers();

    std::shared_ptr<Queue> m_queue;
    QThreadPool m_pool;
};

} // namespace Sveltra
