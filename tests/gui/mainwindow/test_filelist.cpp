// The folder tree and the file list on a real folder: patterns, order, the selection walk,
// opening items, dragging out, the link between tree and list, and virtual folders (drives on
// top of the tree, tracks with their lengths in the list). The tree's model on its own, against
// the model tester.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "gui/mainwindow/filelist.h"
#include "gui/mainwindow/foldertree.h"

using namespace Sveltra;

namespace {

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

// The names the list shows, top to bottom.
QStringList shownNames(FileListView &list)
{
    QStringList names;
    const QModelIndex root = list.rootIndex();
    for (int row = 0; row < list.model()->rowCount(root); ++row)
        names << list.model()->index(row, 0, root).data().toString();
    return names;
}

// Shows the folder and waits until the file system has listed it.
void showFolder(FileListView &list, const QString &folder)
{
    QSignalSpy loaded(&list, &FileListView::folderLoaded);
    list.setFolderPath(folder);
    if (loaded.isEmpty())
        QVERIFY(loaded.wait(5000));
    QTRY_VERIFY(list.model()->rowCount(list.rootIndex()) > 0);
}

// The entry of a folder of the tree with this name, once the file system has read the folder;
// invalid after five seconds without it.
QModelIndex childNamed(QAbstractItemModel *model, const QModelIndex &parent, const QString &name)
{
    if (model->canFetchMore(parent))
        model->fetchMore(parent);
    QModelIndex found;
    const auto find = [&] {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            if (model->index(row, 0, parent).data().toString() == name)
                found = model->index(row, 0, parent);
        }
        return found.isValid();
    };
    return QTest::qWaitFor(find, 5000) ? found : QModelIndex();
}

// A drive that is always there; an image becomes a drive once its tracks are listed.
class FakeDrives final : public VirtualFolderProvider
{
public:
    QStringList roots{QStringLiteral("/dev/fakecd")};

    bool isVirtualFolder(const QString &path) const override
    {
        return roots.contains(path) || path.endsWith(QLatin1String(".cue"));
    }
    QList<VirtualEntry> entries(const QString &folder) override
    {
        if (!roots.contains(folder))
            roots << folder;
        return {{QStringLiteral("Track02.cda"), 1985244, 11253},
                {QStringLiteral("Track01.cda"), 44, 0},
                {QStringLiteral("Track10.cda"), -1, 205000}};
    }
    QStringList rootFolders() const override { return roots; }
};

} // namespace

class TestFileBrowser : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return QDir::toNativeSeparators(m_dir.filePath(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *name : {"b.mp3", "A.MP3", "10.mp3", "2.mp3", "c.wav", "d.wma", "e.txt", "README",
                                 "[live] 歌曲.mp3", ".hidden.mp3", "x.cue"})
            touch(m_dir.filePath(QString::fromUtf8(name)));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("sub/inner")));
        touch(m_dir.filePath(QStringLiteral("sub/s.mp3")));
    }

    void patternsFilterFilesAndKeepFolders()
    {
        FileListView list;
        list.setFilePattern(QStringLiteral("*.*"));
        showFolder(list, m_dir.path());
        QTRY_COMPARE(shownNames(list),
                     (QStringList{QStringLiteral("sub"), QStringLiteral("[live] 歌曲.mp3"), QStringLiteral("2.mp3"),
                                  QStringLiteral("10.mp3"), QStringLiteral("A.MP3"), QStringLiteral("b.mp3"),
                                  QStringLiteral("c.wav"), QStringLiteral("d.wma"), QStringLiteral("e.txt"),
                                  QStringLiteral("README"), QStringLiteral("x.cue")}));

        list.setFilePattern(QStringLiteral("*.MP3"));
        QCOMPARE(list.FilePattern(), QStringLiteral("*.MP3"));
        QTRY_COMPARE(shownNames(list), (QStringList{QStringLiteral("sub"), QStringLiteral("[live] 歌曲.mp3"),
                                                    QStringLiteral("2.mp3"), QStringLiteral("10.mp3"),
                                                    QStringLiteral("A.MP3"), QStringLiteral("b.mp3")}));
        list.setFilePattern(QStringLiteral("*.WMA"));
        QTRY_COMPARE(shownNames(list), (QStringList{QStringLiteral("sub"), QStringLiteral("d.wma")}));
        list.setFilePattern(QStringLiteral("*.CDA"));
        QTRY_COMPARE(shownNames(list), QStringList{QStringLiteral("sub")});

        // The type column speaks the program's language.
        list.setFilePattern(QStringLiteral("*.wma"));
        const QModelIndex root = list.rootIndex();
        QTRY_COMPARE(list.model()->rowCount(root), 2);
        QCOMPARE(list.model()->index(0, 2, root).data().toString(), QStringLiteral("文件夹"));
        QCOMPARE(list.model()->index(1, 2, root).data().toString(), QStringLiteral("WMA 文件"));
        QCOMPARE(list.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("名称"));
    }

    void unknownFoldersFallBackToHome()
    {
        FileListView list;
        QSignalSpy changed(&list, &FileListView::folderPathChanged);
        showFolder(list, m_dir.path());
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(m_dir.path()));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("does not exist")));
        list.setFolderPath(m_dir.filePath(QStringLiteral("missing")));
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(QDir::homePath()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("does not exist")));
        list.setFolderPath(QString());
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(QDir::homePath()));
        // A file is not a folder either.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("does not exist")));
        list.setFolderPath(m_dir.filePath(QStringLiteral("b.mp3")));
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(QDir::homePath()));
        QCOMPARE(changed.last().at(0).toString(), list.FolderPath());

        // A trailing separator is the same folder.
        list.setFolderPath(m_dir.path() + QLatin1Char('/'));
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(m_dir.path()));
    }

    void selectionWalkFollowsTheListOrder()
    {
        FileListView list;
        list.setFilePattern(QStringLiteral("*.MP3"));
        showFolder(list, m_dir.path());
        QTRY_COMPARE(shownNames(list).size(), 6);

        QVERIFY(!list.FirstSelected());
        QVERIFY(!list.NextSelected());

        // Selected in another order than the list shows them.
        list.selectNames({QStringLiteral("b.mp3"), QStringLiteral("2.mp3"), QStringLiteral("10.mp3")});
        auto item = list.FirstSelected();
        QVERIFY(item);
        QCOMPARE(item->Path(), path(QStringLiteral("2.mp3")));
        QVERIFY(!item->isFolder());
        QCOMPARE(list.NextSelected()->Path(), path(QStringLiteral("10.mp3")));
        QCOMPARE(list.NextSelected()->Path(), path(QStringLiteral("b.mp3")));
        QVERIFY(!list.NextSelected());
        QVERIFY(!list.NextSelected());
        // Starting over gives the first again.
        QCOMPARE(list.FirstSelected()->Path(), path(QStringLiteral("2.mp3")));

        // Folders are walked too, and say so.
        list.selectNames({QStringLiteral("sub"), QStringLiteral("A.MP3")});
        item = list.FirstSelected();
        QCOMPARE(item->Path(), path(QStringLiteral("sub")));
        QVERIFY(item->isFolder());
        QCOMPARE(list.NextSelected()->Path(), path(QStringLiteral("A.MP3")));

        // Dragging carries file URLs in the list's order, one per entry.
        list.selectNames({QStringLiteral("b.mp3"), QStringLiteral("2.mp3")});
        std::unique_ptr<QMimeData> data(list.model()->mimeData(list.selectionModel()->selectedIndexes()));
        QVERIFY(data);
        QCOMPARE(data->urls(), (QList<QUrl>{QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("2.mp3"))),
                                            QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("b.mp3")))}));
        QCOMPARE(list.model()->supportedDragActions(), Qt::CopyAction);
    }

    void openingFilesAndFolders()
    {
        FileListView list;
        list.resize(500, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.setFilePattern(QStringLiteral("*.*"));
        showFolder(list, m_dir.path());
        QTRY_VERIFY(shownNames(list).contains(QStringLiteral("c.wav")));
        QSignalSpy activated(&list, &FileListView::ItemActivated);

        // Enter on a file raises ItemActivated with that file.
        list.selectNames({QStringLiteral("c.wav")});
        list.setCurrentIndex(list.selectionModel()->selectedRows().value(0));
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.at(0).at(0).value<FileItem>().Path(), path(QStringLiteral("c.wav")));

        // A double click on a file does too.
        const QModelIndex wav = list.selectionModel()->selectedRows().value(0);
        const QPoint at = list.visualRect(wav).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(activated.size(), 2);

        // Opening a folder shows it instead.
        list.selectNames({QStringLiteral("sub")});
        list.setCurrentIndex(list.selectionModel()->selectedRows().value(0));
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(activated.size(), 2);
        QCOMPARE(list.FolderPath(), path(QStringLiteral("sub")));
        QTRY_COMPARE(shownNames(list), (QStringList{QStringLiteral("inner"), QStringLiteral("s.mp3")}));

        // Backspace goes back up.
        QTest::keyClick(&list, Qt::Key_Backspace);
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(m_dir.path()));
        QTest::keyClick(&list, Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(QFileInfo(m_dir.path()).path()));
    }

    void treeAndListFollowEachOther()
    {
        FolderTreeView tree;
        FileListView list;
        QCOMPARE(tree.objectName(), QStringLiteral("XTreeView1"));
        QCOMPARE(list.objectName(), QStringLiteral("XListView1"));
        QVERIFY(!tree.accessibleName().isEmpty());
        QVERIFY(!list.accessibleName().isEmpty());

        showFolder(list, m_dir.path());
        tree.setLinkedFileView(&list);
        QCOMPARE(tree.LinkedFileView(), &list);
        QCOMPARE(tree.currentFolder(), QDir::toNativeSeparators(m_dir.path()));

        // Choosing a folder in the tree shows it in the list.
        const QModelIndex dir = tree.currentIndex();
        const QModelIndex sub = childNamed(tree.model(), dir, QStringLiteral("sub"));
        QVERIFY(sub.isValid());
        tree.setCurrentIndex(sub);
        QCOMPARE(list.FolderPath(), path(QStringLiteral("sub")));

        // The list's folder, set from outside, is selected in the tree.
        list.setFolderPath(m_dir.filePath(QStringLiteral("sub/inner")));
        QCOMPARE(tree.currentFolder(), path(QStringLiteral("sub/inner")));
        QCOMPARE(list.FolderPath(), path(QStringLiteral("sub/inner")));

        // Unlinked, the tree no longer drives the list.
        tree.setLinkedFileView(nullptr);
        tree.setCurrentIndex(dir);
        QCOMPARE(tree.currentFolder(), QDir::toNativeSeparators(m_dir.path()));
        QCOMPARE(list.FolderPath(), path(QStringLiteral("sub/inner")));
    }

    void virtualFoldersListTheirEntries()
    {
        FakeDrives drives;
        FolderTreeView tree;
        FileListView list;
        list.setVirtualFolderProvider(&drives);
        tree.setVirtualFolderProvider(&drives);
        tree.setLinkedFileView(&list);
        list.setFilePattern(QStringLiteral("*.CDA"));

        list.setFolderPath(QStringLiteral("/dev/fakecd"));
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(QStringLiteral("/dev/fakecd")));
        QCOMPARE(shownNames(list), (QStringList{QStringLiteral("Track01.cda"), QStringLiteral("Track02.cda"),
                                                QStringLiteral("Track10.cda")}));
        QCOMPARE(tree.currentFolder(), QDir::toNativeSeparators(QStringLiteral("/dev/fakecd")));

        // Tracks show their size like files, and their play length in a column of its own.
        QAbstractItemModel *model = list.model();
        const QModelIndex root = list.rootIndex();
        QCOMPARE(model->columnCount(root), 5);
        QCOMPARE(model->headerData(4, Qt::Horizontal).toString(), QStringLiteral("播放时间"));
        const auto cells = [&](int column) {
            QStringList texts;
            for (int row = 0; row < model->rowCount(root); ++row)
                texts << model->index(row, column, root).data().toString();
            return texts;
        };
        QCOMPARE(cells(1), (QStringList{QLocale::system().formattedDataSize(44), QLocale::system().formattedDataSize(1985244),
                                        QString()}));
        QCOMPARE(cells(2), QStringList(3, QStringLiteral("CD 音轨")));
        QCOMPARE(cells(4), (QStringList{QStringLiteral("00:00:00"), QStringLiteral("00:00:11"), QStringLiteral("00:03:25")}));
        QVERIFY(list.header()->sectionSize(4) > 40);
        // Shown as name, length, size and type: tracks have no date.
        QCOMPARE(list.header()->visualIndex(4), 1);
        QVERIFY(list.header()->isSectionHidden(3));
        // Sorted by length, longest first; then by size, the unknown size with the smallest.
        list.sortByColumn(4, Qt::DescendingOrder);
        QCOMPARE(shownNames(list), (QStringList{QStringLiteral("Track10.cda"), QStringLiteral("Track02.cda"),
                                                QStringLiteral("Track01.cda")}));
        list.sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(shownNames(list), (QStringList{QStringLiteral("Track10.cda"), QStringLiteral("Track01.cda"),
                                                QStringLiteral("Track02.cda")}));
        list.sortByColumn(4, Qt::AscendingOrder);
        QCOMPARE(shownNames(list), (QStringList{QStringLiteral("Track01.cda"), QStringLiteral("Track02.cda"),
                                                QStringLiteral("Track10.cda")}));

        list.selectNames({QStringLiteral("Track02.cda")});
        QCOMPARE(list.FirstSelected()->Path(), QDir::toNativeSeparators(QStringLiteral("/dev/fakecd/Track02.cda")));
        list.setFilePattern(QStringLiteral("*.MP3"));
        QVERIFY(shownNames(list).isEmpty());

        // Back on the file system an image file is a folder: listed whatever the pattern,
        // among the folders, and opened as a folder of tracks.
        // Files have no play length: the column goes, and so does sorting by it.
        list.setFilePattern(QStringLiteral("*.CDA"));
        showFolder(list, m_dir.path());
        QTRY_COMPARE(shownNames(list), (QStringList{QStringLiteral("sub"), QStringLiteral("x.cue")}));
        QCOMPARE(list.model()->columnCount(list.rootIndex()), 4);
        QCOMPARE(list.header()->sortIndicatorSection(), 0);
        QVERIFY(!list.header()->isSectionHidden(3));
        for (int column = 0; column < 4; ++column)
            QCOMPARE(list.header()->visualIndex(column), column);
        QCOMPARE(list.model()->index(1, 2, list.rootIndex()).data().toString(), QStringLiteral("CD 映像"));
        QVERIFY(!list.model()->index(1, 0, list.rootIndex()).data(Qt::DecorationRole).value<QIcon>().isNull());
        list.selectNames({QStringLiteral("x.cue"), QStringLiteral("sub")});
        QVERIFY(list.FirstSelected()->isFolder());
        QVERIFY(list.NextSelected()->isFolder());
        list.selectNames({QStringLiteral("x.cue")});
        QSignalSpy activated(&list, &FileListView::ItemActivated);
        emit list.activated(list.selectionModel()->selectedRows().value(0));
        QCOMPARE(activated.size(), 0);
        QCOMPARE(list.FolderPath(), path(QStringLiteral("x.cue")));
        QCOMPARE(shownNames(list).size(), 3);

        // Opened, the image is a drive: once the tree reads the drives again it is there, chosen.
        QVERIFY(tree.currentFolder().isEmpty());
        tree.refreshVirtualFolders();
        QCOMPARE(tree.model()->index(1, 0).data().toString(), QStringLiteral("x.cue"));
        QCOMPARE(tree.currentFolder(), path(QStringLiteral("x.cue")));
    }

    void treeShowsDrivesAboveTheFileSystem()
    {
        FakeDrives drives;
        FolderTreeView tree;
        FileListView list;
        tree.resize(300, 400);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        list.setVirtualFolderProvider(&drives);
        tree.setVirtualFolderProvider(&drives);
        showFolder(list, m_dir.filePath(QStringLiteral("sub")));
        tree.setLinkedFileView(&list);
        QAbstractItemModel *model = tree.model();

        // The drive first, a folder without sub-folders, then the file system's root.
        QCOMPARE(model->rowCount(), 2);
        const QModelIndex drive = model->index(0, 0);
        QCOMPARE(drive.data().toString(), QStringLiteral("fakecd"));
        QCOMPARE(drive.data(Qt::ToolTipRole).toString(), QDir::toNativeSeparators(QStringLiteral("/dev/fakecd")));
        QVERIFY(!drive.data(Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(!model->hasChildren(drive));
        QCOMPARE(model->index(1, 0).data(QFileSystemModel::FilePathRole).toString(), QDir::rootPath());
        QCOMPARE(tree.currentFolder(), path(QStringLiteral("sub")));
        QVERIFY(tree.visualRect(drive).top() < tree.visualRect(model->index(1, 0)).top());

        // Clicking the drive lists its tracks; clicking a folder goes back to the files.
        tree.scrollToTop();
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(drive).center());
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(QStringLiteral("/dev/fakecd")));
        QCOMPARE(shownNames(list).size(), 3);
        list.setFolderPath(m_dir.filePath(QStringLiteral("sub")));
        const QModelIndex sub = tree.currentIndex();
        QCOMPARE(sub.data().toString(), QStringLiteral("sub"));

        // A drive added keeps the folder chosen, its branch open, and the list where it is.
        QSignalSpy listMoved(&list, &FileListView::folderPathChanged);
        drives.roots << QStringLiteral("/dev/othercd");
        tree.refreshVirtualFolders();
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("othercd"));
        QCOMPARE(tree.currentFolder(), path(QStringLiteral("sub")));
        QCOMPARE(tree.currentIndex(), sub);
        QVERIFY(tree.isExpanded(sub.parent()));
        QVERIFY(listMoved.isEmpty());

        // A drive that goes away while chosen does not send the list elsewhere.
        tree.scrollToTop();
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(model->index(1, 0)).center());
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(QStringLiteral("/dev/othercd")));
        listMoved.clear();
        drives.roots = QStringList{QStringLiteral("/dev/fakecd")};
        tree.refreshVirtualFolders();
        QCOMPARE(model->rowCount(), 2);
        QVERIFY(listMoved.isEmpty());
        QVERIFY(tree.currentFolder().isEmpty());

        // The keyboard reaches the drive from the root's row.
        tree.setFocus();
        tree.setCurrentIndex(model->index(1, 0));
        QTest::keyClick(tree.viewport(), Qt::Key_Home);
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(QStringLiteral("/dev/fakecd")));
    }

    void treeModelPutsFoldersOnTop()
    {
        QStandardItemModel source;
        auto *b = new QStandardItem(QStringLiteral("b"));
        b->appendRow(new QStandardItem(QStringLiteral("b1")));
        source.appendRow(b);
        source.appendRow(new QStandardItem(QStringLiteral("a")));
        FolderTreeModel model(&source);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto topNames = [&] {
            QStringList names;
            for (int row = 0; row < model.rowCount(); ++row)
                names << model.index(row, 0).data().toString();
            return names;
        };
        const FolderTreeModel::Folder drive{QStringLiteral("/dev/sr0"), QStringLiteral("CD 驱动器 (/dev/sr0)"), {}};
        const FolderTreeModel::Folder image{QStringLiteral("/m/碟片.cue"), QStringLiteral("碟片.cue"), {}};

        model.setFolders({drive});
        QCOMPARE(topNames(), (QStringList{drive.name, QStringLiteral("b"), QStringLiteral("a")}));
        QPersistentModelIndex b1 = model.index(0, 0, model.index(1, 0));
        QCOMPARE(b1.data().toString(), QStringLiteral("b1"));
        QCOMPARE(model.mapToSource(b1), source.index(0, 0, source.index(0, 0)));
        QCOMPARE(model.mapFromSource(source.index(1, 0)), model.index(2, 0));
        QVERIFY(!model.mapToSource(model.index(0, 0)).isValid());

        // The source sorts its own rows; the folder stays first and kept indexes follow.
        QPersistentModelIndex a = model.index(2, 0);
        model.sort(0);
        QCOMPARE(topNames(), (QStringList{drive.name, QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(a.row(), 1);
        QCOMPARE(b1.parent().row(), 2);
        QCOMPARE(b1.data().toString(), QStringLiteral("b1"));

        // Rows the source inserts, at the top and below it.
        source.insertRow(0, new QStandardItem(QStringLiteral("0")));
        QCOMPARE(topNames(), (QStringList{drive.name, QStringLiteral("0"), QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(a.row(), 2);
        source.item(2)->appendRow(new QStandardItem(QStringLiteral("b2")));
        QCOMPARE(model.rowCount(b1.parent()), 2);

        // A second folder: the first keeps its row, the source's rows move down.
        QPersistentModelIndex first = model.index(0, 0);
        model.setFolders({drive, image});
        QCOMPARE(topNames(), (QStringList{drive.name, image.name, QStringLiteral("0"), QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(first.row(), 0);
        QCOMPARE(a.row(), 3);
        const QModelIndex imageRow = model.folderIndex(image.path);
        QCOMPARE(imageRow.row(), 1);
        QVERIFY(model.isFolder(imageRow));
        QVERIFY(!model.isFolder(a));
        QCOMPARE(model.folderPath(imageRow), image.path);
        QCOMPARE(imageRow.data(QFileSystemModel::FilePathRole).toString(), image.path);
        QCOMPARE(model.rowCount(imageRow), 0);
        QVERIFY(!model.index(0, 0, imageRow).isValid());
        QCOMPARE(model.flags(imageRow) & Qt::ItemNeverHasChildren, Qt::ItemNeverHasChildren);
        QVERIFY(!model.folderIndex(QStringLiteral("/nowhere")).isValid());

        // Renamed in place; then the first replaced, which replaces what follows it.
        model.setFolders({{drive.path, QStringLiteral("光驱"), {}}, image});
        QCOMPARE(first.data().toString(), QStringLiteral("光驱"));
        model.setFolders({image});
        QVERIFY(!first.isValid());
        QCOMPARE(topNames(), (QStringList{image.name, QStringLiteral("0"), QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(a.row(), 2);

        // Removals and a reset of the source.
        source.removeRow(0);
        QCOMPARE(a.row(), 1);
        QCOMPARE(b1.data().toString(), QStringLiteral("b1"));
        source.clear();
        QCOMPARE(topNames(), QStringList{image.name});
        model.setFolders({});
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_MAIN(TestFileBrowser)
#include "test_filebrowser.moc"
