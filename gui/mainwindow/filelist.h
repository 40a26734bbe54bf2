#pragma once

#include <QStringList>
#include <QTreeView>

#include <optional>

#include "core/browse/filepattern.h"
#include "gui/mainwindow/virtualfolder.h"

class QFileIconProvider;
class QFileSystemModel;
class QStandardItemModel;

namespace Sveltra {

class FileListFilter;

// One entry of the file list, as the selection walk and ItemActivated hand it out.
class FileItem final
{
public:
    FileItem() = default;
    FileItem(const QString &path, bool folder)
        : m_path(path)
        , m_folder(folder)
    {
    }

    // The full path, folder and file name, with the platform's separators.
    const QString &Path() const { return m_path; }
    bool isFolder() const { return m_folder; }

private:
    QString m_path;
    bool m_folder = false;
};

// The file list `XListView1`: the files and sub-folders of one folder, folders first, then by
// name; only files whose names match FilePattern are listed. Several items can be selected;
// dragging them out carries their paths as file URLs (so both the job list and a file manager
// take them). Opening a folder (double click, Enter) shows it; opening a file raises
// ItemActivated. Backspace and Alt+Up show the parent folder. User-interface thread only.
class FileListView final : public QTreeView
{
    Q_OBJECT

public:
    explicit FileListView(QWidget *parent = nullptr);
    ~FileListView() override;

    QString FilePattern() const { return m_pattern.text(); }
    void setFilePattern(const QString &pattern);

    // The folder shown, with the platform's separators. Setting a folder that does not exist
    // (or an empty text) shows the home folder instead; the reason goes to the log.
    QString FolderPath() const;
    void setFolderPath(const QString &path);

    // The selection walk in the list's order. FirstSelected starts it over from the current
    // selection; NextSelected gives the item after the one most recently returned, or nothing
    // after the last.
    std::optional<FileItem> FirstSelected();
    std::optional<FileItem> NextSelected();

    // The item a row of the view stands for.
    std::optional<FileItem> itemAt(const QModelIndex &index) const;
    // Selects the entries of the current folder with these file names (tests, keyboard
    // helpers); names not listed are ignored.
    void selectNames(const QStringList &names);

    void setVirtualFolderProvider(VirtualFolderProvider *provider);

signals:
    // A file was opened (double click or Enter). The item is the one opened; the program adds
    // the whole selection.
    void ItemActivated(const Sveltra::FileItem &item);
    // The folder shown changed (by setFolderPath, or by opening a folder in the list).
    void folderPathChanged(const QString &path);
    // The file system finished reading the folder shown.
    void folderLoaded(const QString &path);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void openIndex(const QModelIndex &index);
    void showParentFolder();
    // The name column takes the room the other columns leave, never less than its designed
    // width, so names get longer as the list grows; once the user sizes it by hand, it stays.
    void fitNameColumn();

    QFileSystemModel *m_fsModel = nullptr;
    QStandardItemModel *m_virtualModel = nullptr;
    FileListFilter *m_filter = nullptr;
    QFileIconProvider *m_icons = nullptr;
    VirtualFolderProvider *m_provider = nullptr;
    Sveltra::FilePattern m_pattern{QStringLiteral("*.*")};
    QString m_folder; // '/'-separated, cleaned
    QStringList m_walk;
    QList<bool> m_walkFolders;
    qsizetype m_walkNext = 0;
    bool m_nameFollowsWidth = true;
    bool m_fittingName = false;
};

} // namespace Sveltra

Q_DECLARE_METATYPE(Sveltra::FileItem)
