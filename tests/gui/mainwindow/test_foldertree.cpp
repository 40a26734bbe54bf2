// The folder tree on a real folder: following the file list and leading it, drives and opened
// images above the file system, and the tree's model on its own against the model tester.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLocale>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

#include "gui/mainwindow/filelist.h"
#include "gui/mainwindow/foldertree.h"
#include "tests/support/browsefixtures.h"

using namespace Sveltra;
using namespace TestBrowse;

namespace {

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

} // namespace

class TestFolderTree : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return QDir::toNativeSeparators(m_dir.filePath(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *name : {"a.mp3", "x.cue"})
            touch(m_dir.filePath(QString::fromUtf8(name)));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("sub/inner")));
        touch(m_dir.filePath(QStringLiteral("sub/s.mp3")));
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

    void treeShowsDrivesAboveTheFileSystem()
    {
        FakeDrives drives;
        drives.imagesBecomeDrives = true;
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
        // The hidden columns a screen reader reads speak the interface's language: the type and
        // the date (the file system model's would be "Drive", "Folder", the system's locale).
        const QLocale systems;
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        QCOMPARE(model->index(1, 2).data().toString(), QStringLiteral("驱动器"));
        QCOMPARE(tree.currentIndex().siblingAtColumn(2).data().toString(), QStringLiteral("文件夹"));
        const QString date = tree.currentIndex().siblingAtColumn(3).data().toString();
        QLocale::setDefault(systems);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}/\\d{1,2}/\\d{1,2} \\d{1,2}:\\d{2}$")).match(date).hasMatch(),
                 qPrintable(date));
        QVERIFY(tree.visualRect(drive).top() < tree.visualRect(model->index(1, 0)).top());

        // Clicking the drive lists its tracks; clicking a folder goes back to the files.
        tree.scrollToTop();
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(drive).center());
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(QStringLiteral("/dev/fakecd")));
        QCOMPARE(list.model()->rowCount(list.rootIndex()), 3); // the drive's tracks
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

    void listChoosesVirtualFoldersToo()
    {
        FakeDrives drives;
        drives.imagesBecomeDrives = true;
        FolderTreeView tree;
        FileListView list;
        list.setVirtualFolderProvider(&drives);
        tree.setVirtualFolderProvider(&drives);
        tree.setLinkedFileView(&list);

        // A drive the list shows is chosen in the tree.
        list.setFolderPath(QStringLiteral("/dev/fakecd"));
        QCOMPARE(tree.currentFolder(), QDir::toNativeSeparators(QStringLiteral("/dev/fakecd")));

        // An image opened in the list is a drive: once the tree reads the drives again it is
        // there, chosen.
        showFolder(list, m_dir.path());
        list.setFolderPath(m_dir.filePath(QStringLiteral("x.cue")));
        QCOMPARE(list.FolderPath(), path(QStringLiteral("x.cue")));
        QVERIFY(tree.currentFolder().isEmpty());
        tree.refreshVirtualFolders();
        QCOMPARE(tree.model()->index(1, 0).data().toString(), QStringLiteral("x.cue"));
        QCOMPARE(tree.currentFolder(), path(QStringLiteral("x.cue")));
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
        QCOMPARE(topNames(),
                 (QStringList{drive.name, image.name, QStringLiteral("0"), QStringLiteral("a"), QStringLiteral("b")}));
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

QTEST_MAIN(TestFolderTree)
#include "test_foldertree.moc"
