#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QThreadPool>

#include "core/loudness/loudness.h"
#include "core/output/outputfinish.h"
#include "core/run/runplaylists.h"

namespace Sveltra {

// The last stage of a row, of an album and of the run, off the user-interface thread: an output
// tagged, checked and named (FinishOutput), an album's texts written into its files (RetagOutput),
// the run's play lists (WriteRunPlaylists). Lives
// on the run's thread; results come back to it from the event loop.
class OutputFinisher final : public QObject
{
    Q_OBJECT

public:
    explicit OutputFinisher(QObject *parent = nullptr);
    // Waits for what is under way; its results are not told.
    ~OutputFinisher() override;

    // Finishes a row's output. source is read for its stated length (empty for a CD track);
    // note is the row's note when it ends converted (a levelling note).
    void finish(int row, const OutputToFinish &output, const QString &source, const QString &note);
    void retag(const QList<AlbumLedger::AlbumFile> &files);
    // The run's play lists: where its outputs go and in which profile, each whole output as its
    // row ends, then, once, the lists written (false when there is nothing to list or they were
    // asked for already); what came of them when listsWritten has come.
    void listOutputsIn(const QString &outputFolder, const QString &profile);
    void listOutput(const QString &target, bool cdTrack, const QString &album) { m_lists.addOutput(target, cdTrack, album); }
    bool writeListsOnce();
    const PlaylistUpdate &listed() const { return m_listed; }
    // Tasks whose results have not come back.
    int pending() const { return m_pending; }

signals:
    void finished(int row, const FinishedOutput &ended);
    // The album's files were written; failed names the rows whose file kept its earlier texts,
    // with the reason.
    void retagged(const QList<AlbumLedger::AlbumFile> &files, const QList<QPair<int, QString>> &failed);
    void listsWritten();

private:
    QThreadPool m_pool;
    int m_pending = 0;
    RunLists m_lists;
    bool m_listsAsked = false;
    PlaylistUpdate m_listed;
};

} // namespace Sveltra
