#include "core/run/outputfinisher.h"

#include "core/media/mediaprobe.h"
#include "core/output/failurereason.h"

namespace Sveltra {

OutputFinisher::OutputFinisher(QObject *parent)
    : QObject(parent)
{
}

OutputFinisher::~OutputFinisher()
{
    m_pool.waitForDone();
}

void OutputFinisher::finish(int row, const OutputToFinish &output, const QString &source, const QString &note)
{
    ++m_pending;
    m_pool.start([this, row, output, source, note] {
        OutputToFinish stated = output;
        if (!source.isEmpty())
            stated.sourceMs = ProbeDurationMs(source);
        FinishedOutput ended = FinishOutput(stated);
        if (ended.outcome == RowOutcome::Converted && !note.isEmpty())
            ended.note = note;
        else if (ended.outcome == RowOutcome::Copied)
            ended.note = KeptAsItWasNote();
        QMetaObject::invokeMethod(
            this,
            [this, row, ended] {
                --m_pending;
                emit finished(row, ended);
            },
            Qt::QueuedConnection);
    });
}

void OutputFinisher::retag(const QList<AlbumLedger::AlbumFile> &files)
{
    if (files.isEmpty())
        return;
    ++m_pending;
    m_pool.start([this, files] {
        QList<QPair<int, QString>> failed;
        for (const AlbumLedger::AlbumFile &file : files) {
            const QString reason = RetagOutput(file.target, file.texts);
            if (!reason.isEmpty())
                failed << qMakePair(file.row, reason);
        }
        QMetaObject::invokeMethod(
            this,
            [this, files, failed] {
                --m_pending;
                emit retagged(files, failed);
            },
            Qt::QueuedConnection);
    });
}

void OutputFinisher::listOutputsIn(const QString &outputFolder, const QString &profile)
{
    m_lists.outputFolder = outputFolder;
    m_lists.profile = profile;
}

bool OutputFinisher::writeListsOnce()
{
    if (m_lists.isEmpty() || m_listsAsked)
        return false;
    m_listsAsked = true;
    ++m_pending;
    m_pool.start([this, lists = m_lists] {
        const PlaylistUpdate update = WriteRunPlaylists(lists);
        QMetaObject::invokeMethod(
            this,
            [this, update] {
                --m_pending;
                m_listed = update;
                emit listsWritten();
            },
            Qt::QueuedConnection);
    });
    return true;
}

} // namespace Sveltra
