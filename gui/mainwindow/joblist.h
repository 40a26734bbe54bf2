#pragma once

#include <QTreeWidget>

#include "core/convert/jobrows.h"

namespace Sveltra {

class AudioInformation;

// The job list `ListView1`: one row per file or CD track to slim, fourteen text columns and a
// status icon (5 queued, 4 done, 3 failed). The conversion run reads and writes the rows by
// position. Lives on the user-interface thread.
class JobList final : public QTreeWidget, public JobRows
{
    Q_OBJECT

public:
    // The audio information component belongs to the main window and outlives the list.
    explicit JobList(AudioInformation &info, QWidget *parent = nullptr);

    // Adds at most one row for the path: refuses a duplicate of a queued row with a message
    // box, skips what is not readable audio, and shows progress in the status bar.
    void AddMediaFile(const QString &path);
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
    // The full source path of a row: its folder cell followed by its file-name cell.
    QString sourcePath(int row) const;

    // Appends a row in the given state; cells beyond the given texts stay empty. Used by the
    // add paths above and by the CD track listing.
    QTreeWidgetItem *appendRow(const QStringList &cells, int status = JobStatus::Queued);

signals:
    // A text for the status bar's message panel.
    void statusMessage(const QString &message);
    // A drop that carries no file list: add the selection of the program's own file list.
    void addSelectionRequested();
    // A path whose type is "CDA": the CD track listing adds it.
    void cdTrackRequested(const QString &path);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    Qt::DropActions supportedDropActions() const override;

private:
    void ListView1_OLEDragDrop(const QMimeData *dropped);

    AudioInformation &m_info;
};

} // namespace Sveltra
