#pragma once

// Shared by the tests of the file list and the folder tree: a file made on the spot, a folder
// shown and listed, and CD drives that need no drive.

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include "gui/mainwindow/filelist.h"
#include "gui/mainwindow/virtualfolder.h"

namespace TestBrowse {

inline void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

// Shows the folder and waits until the file system has listed it.
inline void showFolder(Sveltra::FileListView &list, const QString &folder)
{
    QSignalSpy loaded(&list, &Sveltra::FileListView::folderLoaded);
    list.setFolderPath(folder);
    if (loaded.isEmpty())
        QVERIFY(loaded.wait(5000));
    QTRY_VERIFY(list.model()->rowCount(list.rootIndex()) > 0);
}

// A drive that is always there, and every image a folder of the same three tracks; with
// imagesBecomeDrives an image is a drive too once its tracks are listed, as an opened one is.
class FakeDrives final : public Sveltra::VirtualFolderProvider
{
public:
    QStringList roots{QStringLiteral("/dev/fakecd")};
    bool imagesBecomeDrives = false;

    bool isVirtualFolder(const QString &path) const override
    {
        return roots.contains(path) || path.endsWith(QLatin1String(".cue"));
    }
    QList<Sveltra::VirtualEntry> entries(const QString &folder) override
    {
        if (imagesBecomeDrives && !roots.contains(folder))
            roots << folder;
        return {{QStringLiteral("Track02.cda"), 1985244, 11253},
                {QStringLiteral("Track01.cda"), 44, 0},
                {QStringLiteral("Track10.cda"), -1, 205000}};
    }
    QStringList rootFolders() const override { return roots; }
};

} // namespace TestBrowse
