// The file list on a real folder: patterns, order, the selection walk, opening items, dragging
// out, and virtual folders (tracks with their lengths, an image file opened as a folder).

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QMimeData>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "gui/mainwindow/filelist.h"
#include "tests/support/browsefixtures.h"

using namespace Sveltra;
using namespace TestBrowse;

namespace {

// The names the list shows, top to bottom.
QStringList shownNames(FileListView &list)
{
    QStringList names;
    const QModelIndex root = list.rootIndex();
    for (int row = 0; row < list.model()->rowCount(root); ++row)
        names << list.model()->index(row, 0, root).data().toString();
    return names;
}

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return QDir::toNativeSeparators(m_dir.filePath(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *name : {"b.mp3", "A.MP3", "10.mp3", "2.mp3", "c.wav", "d.wma", "e.txt", "README", "[live] 歌曲.mp3",
                                 ".hidden.mp3", "x.cue"})
            touch(m_dir.filePath(QString::fromUtf8(name)));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("sub/inner")));
        touch(m_dir.filePath(QStringLiteral("sub/s.mp3")));
    }

    void patternsFilterFilesAndKeepFolders()
    {
        FileListView list;
        list.setFilePattern(QStringLiteral("*.*"));
        showFolder(list, m_dir.path());
        QTRY_COMPARE(
            shownNames(list),
            (QStringList{QStringLiteral("sub"), QStringLiteral("[live] 歌曲.mp3"), QStringLiteral("2.mp3"),
                         QStringLiteral("10.mp3"), QStringLiteral("A.MP3"), QStringLiteral("b.mp3"), QStringLiteral("c.wav"),
                         QStringLiteral("d.wma"), QStringLiteral("e.txt"), QStringLiteral("README"), QStringLiteral("x.cue")}));

        list.setFilePattern(QStringLiteral("*.MP3"));
        QCOMPARE(list.FilePattern(), QStringLiteral("*.MP3"));
        QTRY_COMPARE(shownNames(list),
                     (QStringList{QStringLiteral("sub"), QStringLiteral("[live] 歌曲.mp3"), QStringLiteral("2.mp3"),
                                  QStringLiteral("10.mp3"), QStringLiteral("A.MP3"), QStringLiteral("b.mp3")}));
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
        // Dates in the interface's language, whatever the system's locale (C.UTF-8 would give
        // English month names).
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        const QString date = list.model()->index(1, 3, root).data().toString();
        QLocale::setDefault(before);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}/\\d{1,2}/\\d{1,2} \\d{1,2}:\\d{2}$")).match(date).hasMatch(),
                 qPrintable(date));
    }

    void nameColumnTakesTheRoomOfAWiderList()
    {
        FileListView list;
        list.resize(400, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QHeaderView *header = list.header();
        auto others = [&] { return header->sectionSize(1) + header->sectionSize(2) + header->sectionSize(3); };
        // Narrow: the designed width, the rest scrolls.
        QCOMPARE(header->sectionSize(0), 220);
        list.resize(1000, 300);
        QTRY_COMPARE(header->sectionSize(0), list.viewport()->width() - others());
        list.resize(400, 300);
        QTRY_COMPARE(header->sectionSize(0), 220);
        // Sized by hand, it stays as the user left it.
        header->resizeSection(0, 300);
        list.resize(1000, 300);
        QTest::qWait(50);
        QCOMPARE(header->sectionSize(0), 300);
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
        QCOMPARE(data->urls(),
                 (QList<QUrl>{QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("2.mp3"))),
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

    void virtualFoldersListTheirEntries()
    {
        FakeDrives drives;
        FileListView list;
        list.setVirtualFolderProvider(&drives);
        list.setFilePattern(QStringLiteral("*.CDA"));

        list.setFolderPath(QStringLiteral("/dev/fakecd"));
        QCOMPARE(list.FolderPath(), QDir::toNativeSeparators(QStringLiteral("/dev/fakecd")));
        QCOMPARE(shownNames(list),
                 (QStringList{QStringLiteral("Track01.cda"), QStringLiteral("Track02.cda"), QStringLiteral("Track10.cda")}));

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
        QCOMPARE(cells(1),
                 (QStringList{QLocale::system().formattedDataSize(44), QLocale::system().formattedDataSize(1985244), QString()}));
        QCOMPARE(cells(2), QStringList(3, QStringLiteral("CD 音轨")));
        QCOMPARE(cells(4), (QStringList{QStringLiteral("00:00:00"), QStringLiteral("00:00:11"), QStringLiteral("00:03:25")}));
        QVERIFY(list.header()->sectionSize(4) > 40);
        // Shown as name, length, size and type: tracks have no date.
        QCOMPARE(list.header()->visualIndex(4), 1);
        QVERIFY(list.header()->isSectionHidden(3));
        // Sorted by length, longest first; then by size, the unknown size with the smallest.
        list.sortByColumn(4, Qt::DescendingOrder);
        QCOMPARE(shownNames(list),
                 (QStringList{QStringLiteral("Track10.cda"), QStringLiteral("Track02.cda"), QStringLiteral("Track01.cda")}));
        list.sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(shownNames(list),
                 (QStringList{QStringLiteral("Track10.cda"), QStringLiteral("Track01.cda"), QStringLiteral("Track02.cda")}));
        list.sortByColumn(4, Qt::AscendingOrder);
        QCOMPARE(shownNames(list),
                 (QStringList{QStringLiteral("Track01.cda"), QStringLiteral("Track02.cda"), QStringLiteral("Track10.cda")}));

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
    }
};

QTEST_MAIN(TestFileList)
#include "test_filelist.moc"
