#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "gui/mainwindow/virtualfolder.h"

namespace Sveltra {

class AudioGrabber;
class JobList;

// CD tracks as job items: adding a TrackNN.cda path finds the drive (or opened disc image)
// whose name is the path's folder, makes sure the grabber has read that disc and looked it up
// in CDDB, and appends a row with the track's length, an estimated size and the CDDB texts.
// Also lists the tracks of drives and images for the file browser. User-interface thread only.
class CdTrackListing final : public QObject, public VirtualFolderProvider
{
    Q_OBJECT

public:
    using StatusMessage = std::function<void(const QString &)>;

    // The grabber and the job list belong to the main window and outlive this object.
    CdTrackListing(AudioGrabber &grabber, JobList &list, StatusMessage status, QObject *parent = nullptr);

    // The CD branch of adding a path to the job list. Adds nothing when no drive matches.
    void AddCdTrack(const QString &path);
    // Re-reads the disc in the grabber's current drive.
    void RefreshCDInfo();
    // Looks the current drive's disc up in CDDB and remembers the drive as looked up.
    void LookupCDDB();

    // The drive (device path or image path) whose name is the folder, opening a .cue sheet as
    // a drive when needed; empty when there is none.
    QString DriveFor(const QString &folder);

    // The file browser's view: drives and .cue images are folders of TrackNN.cda entries, each
    // with its play length and the size of its audio; every drive and opened image is a folder at
    // the top of the tree, named "CD 驱动器 (/dev/sr0)" or by the image's file name.
    bool isVirtualFolder(const QString &path) const override;
    QList<VirtualEntry> entries(const QString &folder) override;
    QStringList rootFolders() const override;
    QString folderDisplayName(const QString &folder) const override;

signals:
    // A disc image was opened as a drive, so rootFolders() has one more folder.
    void rootFoldersChanged();

private:
    int driveIndexFor(const QString &folder);

    AudioGrabber &m_grabber;
    JobList &m_list;
    StatusMessage m_status;
};

// The estimated size of a CD track as the job list shows it: the plain decimal text of
// lengthMs / 1000 × 176 × 1024 (a 1234 ms track gives "222396.416").
QString CdSizeEstimateText(qint64 lengthMs);

// The size of a track's audio as a WAV file (the 44-byte header and 2352 bytes a sector), from
// the track's length in milliseconds as the grabber gives it; -1 for a negative length.
qint64 CdTrackAudioBytes(qint64 lengthMs);

} // namespace Sveltra
