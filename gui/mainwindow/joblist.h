#pragma once

#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <deque>

#include "core/joblist/addrefusal.h"
#include "core/joblist/jobrows.h"
#include "core/joblist/mediainforeader.h"

class QMessageBox;

namespace Sveltra {

class AudioInformation;

// The job list `ListView1`: one row per file or CD track to slim, fourteen text columns and a
// status icon (5 queued, 4 done, 3 failed). The conversion run reads and writes the rows by
// position. Lives on the user-interface thread.
//
// Many paths at once (a drop, "添加", the command line) are read by a MediaInfoReader on worker
// threads; their rows are appended here in the order given, a slice at a time between turns of
// the event loop, so the window keeps repainting while a whole library comes in. The queued
// rows' paths are kept in a hash for the duplicate test; rows change through the methods below
// (or are removed, which the hash notices), never by writing an item's status directly.
class JobList final : public QTreeWidget, public JobRows
{
    Q_OBJECT

public:
    // The audio information component belongs to the main window and outlives the list.
    explicit JobList(AudioInformation &info, QWidget *parent = nullptr);
    ~JobList() override;

    // Adds at most one row for the path: refuses a duplicate of a queued row with a message
    // box, skips what is not readable audio (saying why in the status bar), and shows progress
    // in the status bar. Done before it returns, unless an add of many is still running: then
    // the path is queued behind it.
    void AddMediaFile(const QString &path);
    // Adds the paths in the order given, each as AddMediaFile would (a folder: the audio files
    // inside it and its subfolders, in name order, walked on a worker thread), and returns at
    // once: addingFinished() follows when the last one is in. Paths given while an add is
    // running come after its own. Whatever of the add cannot become a row (not found, a name
    // that cannot be read, not audio, a duplicate) is named, with its reason, in the status bar
    // and in one notice that waits for no answer (AddRefusal). byHand: the user's own add (a
    // drop, "添加"), where a single duplicate gets the duplicate box instead.
    void AddMediaFiles(const QStringList &paths, bool byHand = false);
    // True from AddMediaFiles until addingFinished().
    bool isAdding() const { return m_adding; }
    // True when a queued row holds exactly this path.
    bool IsDuplicate(const QString &path) const;
    void RemoveSelected();
    // Asks first; only OK empties the list.
    void RemoveAll();

    int rowCount() const override { return topLevelItemCount(); }
    QString cell(int row, int column) const override;
    void setCell(int row, int column, const QString &text) override;
    int status(int row) const override;
    void setStatus(int row, int status) override;
    void setNote(int row, const QString &note) override;
    QString note(int row) const override;
    QString baseFolder(int row) const override;
    bool reconvert(int row) const override;
    void setReconvert(int row, bool on);
    // The full source path of a row: its folder cell followed by its file-name cell.
    QString sourcePath(int row) const;

    // Appends a row in the given state; cells beyond the given texts stay empty. Used by the
    // add paths above and by the CD track listing.
    QTreeWidgetItem *appendRow(const QStringList &cells, int status = JobStatus::Queued);
    // A path handed on (a CD track) that could not become a row: named with the other refusals
    // of the add that is running, else in the status bar at once.
    void refuseAdd(const QString &path, AddRefusal reason);

signals:
    // A text for the status bar's message panel.
    void statusMessage(const QString &message);
    // A drop that carries no file list: add the selection of the program's own file list.
    void addSelectionRequested();
    // A path whose type is "CDA": the CD track listing adds it.
    void cdTrackRequested(const QString &path);
    // An add of many has put its last row in (or refused it).
    void addingFinished();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    Qt::DropActions supportedDropActions() const override;

private:
    void ListView1_OLEDragDrop(const QMimeData *dropped);

    // Applies read results in order for a slice of time, then yields to the event loop.
    void applyResults();
    // Applies one result: a row into `rows` (not yet in the list), a duplicate's box, a CD
    // track handed on, or a refusal noted.
    void applyOne(const MediaInfo &info, QList<QTreeWidgetItem *> &rows);
    void insertRows(QList<QTreeWidgetItem *> &rows);
    void finishAdding();
    void showDuplicateBox(const QString &path);
    QTreeWidgetItem *newRow(const QStringList &cells, int status);
    const QIcon &statusIcon(int status) const;
    void countQueuedPath(const QString &path, int change);
    void rebuildQueuedPaths() const;

    AudioInformation &m_info;
    MediaInfoReader *m_reader = nullptr;
    std::deque<MediaInfo> m_results; // read, not yet applied
    QTimer m_applyTimer;
    bool m_adding = false;
    bool m_applying = false;
    bool m_byHand = false;
    QList<RefusedPath> m_refused; // paths of that add that did not become rows
    QPointer<QMessageBox> m_refusedNotice;

    // Paths of the queued rows, with how many rows hold each; rebuilt after rows went away.
    mutable QHash<QString, int> m_queuedPaths;
    mutable bool m_queuedPathsStale = false;
    bool m_inserting = false;
    mutable QHash<int, QIcon> m_icons;
};

} // namespace Sveltra
