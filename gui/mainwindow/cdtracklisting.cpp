#include "gui/mainwindow/cdtracklisting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTreeWidgetItem>

#include "core/base/appstate.h"
#include "core/cd/audiograbber.h"
#include "core/joblist/jobrules.h"
#include "gui/mainwindow/joblist.h"

namespace Sveltra {

namespace {

QString folderOf(const QString &path)
{
    const QString name = GetFileName(path);
    QString folder = path.left(path.size() - name.size());
    if (folder.size() > 1 && folder.endsWith(QDir::separator()))
        folder.chop(1);
    return folder;
}

bool isCueSheet(const QString &path)
{
    return path.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive) && QFileInfo(path).isFile();
}

} // namespace

qint64 CdTrackAudioBytes(qint64 lengthMs)
{
    if (lengthMs < 0)
        return -1;
    // The length was sectors × 1000 / 75 rounded down, so this gives the sectors back exactly.
    const qint64 sectors = (lengthMs * 75 + 999) / 1000;
    return 44 + sectors * 2352;
}

QString CdSizeEstimateText(qint64 lengthMs)
{
    return QString::number(static_cast<double>(lengthMs) / 1000.0 * 176.0 * 1024.0, 'g', 15);
}

CdTrackListing::CdTrackListing(AudioGrabber &grabber, JobList &list, StatusMessage status, QObject *parent)
    : QObject(parent)
    , m_grabber(grabber)
    , m_list(list)
    , m_status(std::move(status))
{
}

int CdTrackListing::driveIndexFor(const QString &folder)
{
    int index = m_grabber.DriveIndexFor(folder);
    if (index == 0 && isCueSheet(folder)) {
        index = m_grabber.OpenImage(folder);
        if (index > 0)
            emit rootFoldersChanged();
        else
            qWarning("Cannot open the disc image %s: %s", qPrintable(folder), qPrintable(m_grabber.lastError()));
    }
    return index;
}

QString CdTrackListing::DriveFor(const QString &folder)
{
    const int index = driveIndexFor(folder);
    if (index == 0)
        return {};
    const int previous = m_grabber.CurrentDrive();
    m_grabber.SetCurrentDrive(index);
    const QString name = m_grabber.DriveName();
    if (previous > 0)
        m_grabber.SetCurrentDrive(previous);
    return name;
}

void CdTrackListing::AddCdTrack(const QString &path)
{
    const int track = CdTrackNumber(path);
    const QString folder = folderOf(path);
    const int matching = driveIndexFor(folder);
    if (m_grabber.DriveCount() <= 0 || matching == 0) {
        // No drive and no image that opens: said with the add's other refusals, never dropped.
        m_list.refuseAdd(path, QFileInfo::exists(folder) ? AddRefusal::DiscUnreadable : AddRefusal::NotFound);
        return;
    }

    m_grabber.SetCurrentDrive(matching);
    if (m_grabber.TrackCount() == 0 || App().LastLookupDrive != m_grabber.CurrentDrive()) {
        RefreshCDInfo();
        LookupCDDB();
    }
    if (track < m_grabber.FirstTrack() || track >= m_grabber.FirstTrack() + m_grabber.TrackCount()) {
        m_list.refuseAdd(path, m_grabber.TrackCount() == 0 ? AddRefusal::DiscUnreadable : AddRefusal::NotFound);
        return;
    }
    m_grabber.SetCurrentTrack(track);

    const QString name = GetFileName(path);
    const QString title = m_grabber.CddbTrackTitle();
    QStringList cells(JobColumn::Count);
    cells[JobColumn::Name] = name;
    cells[JobColumn::Source] = name;
    cells[JobColumn::SourcePath] = path.left(path.size() - name.size());
    cells[JobColumn::Size] = CdSizeEstimateText(m_grabber.TrackLength());
    cells[JobColumn::PlayTime] = FormatDuration(m_grabber.TrackLength());
    cells[JobColumn::Title] = title.isEmpty() ? QStringLiteral("TRACK%1").arg(track, 2, 10, QLatin1Char('0')) : title;
    cells[JobColumn::Album] = m_grabber.CddbAlbum();
    cells[JobColumn::Artist] = m_grabber.CddbArtist();
    cells[JobColumn::Genre] = m_grabber.CddbGenre();
    QTreeWidgetItem *row = m_list.appendRow(cells);
    // Where the names came from, in the row's tooltip.
    const QString source = NamesSourceName(m_grabber.NamesFrom());
    if (!source.isEmpty())
        m_list.setNote(m_list.indexOfTopLevelItem(row), tr("曲名来自 %1").arg(source));
    m_list.scrollToItem(row);
}

void CdTrackListing::RefreshCDInfo()
{
    m_status(tr("正在刷新 CD 信息 ..."));
    if (m_grabber.CurrentDrive() > 0 && !m_grabber.RefreshDisc())
        qWarning("Cannot read the disc in %s: %s", qPrintable(m_grabber.DriveName()), qPrintable(m_grabber.lastError()));
    m_grabber.DiscSetting1 = 1;
    m_grabber.DiscSetting2 = 4;
    m_grabber.DiscSetting3 = 0;
    QCoreApplication::processEvents();
    m_status(QStringLiteral("IDLE"));
}

void CdTrackListing::LookupCDDB()
{
    m_status(tr("从网络查询 CDDB 信息 ..."));
    m_grabber.CddbServer = QStringLiteral("gnudb.gnudb.org");
    m_grabber.CddbPath = QStringLiteral("/~cddb/cddb.cgi");
    m_grabber.CddbClient = QStringLiteral("Sveltra V4.0");
    m_grabber.CddbEmail = QStringLiteral("support@sveltra.example");
    m_grabber.CddbNumber = QStringLiteral("7000").toInt();
    if (!m_grabber.QueryCddb(0))
        qWarning("CDDB: nothing found for %s: %s", qPrintable(m_grabber.DriveName()), qPrintable(m_grabber.lastError()));
    App().LastLookupDrive = m_grabber.CurrentDrive();
}

bool CdTrackListing::isVirtualFolder(const QString &path) const
{
    return m_grabber.DriveIndexFor(path) > 0 || isCueSheet(path);
}

QList<VirtualEntry> CdTrackListing::entries(const QString &folder)
{
    const int index = driveIndexFor(folder);
    if (index == 0)
        return {};
    // Browsing leaves the grabber's selection as it was.
    const int previousDrive = m_grabber.CurrentDrive();
    const int previousTrack = m_grabber.CurrentTrack();
    m_grabber.SetCurrentDrive(index);
    if (m_grabber.TrackCount() == 0 && !m_grabber.RefreshDisc())
        qWarning("Cannot read the disc in %s: %s", qPrintable(m_grabber.DriveName()), qPrintable(m_grabber.lastError()));
    QList<VirtualEntry> tracks;
    for (int n = m_grabber.FirstTrack(); n < m_grabber.FirstTrack() + m_grabber.TrackCount(); ++n) {
        m_grabber.SetCurrentTrack(n);
        if (!m_grabber.TrackIsAudio())
            continue;
        const qint64 lengthMs = m_grabber.TrackLength();
        tracks.append({CdTrackFileName(n), CdTrackAudioBytes(lengthMs), lengthMs});
    }
    if (previousDrive > 0)
        m_grabber.SetCurrentDrive(previousDrive);
    m_grabber.SetCurrentTrack(previousTrack);
    return tracks;
}

QStringList CdTrackListing::rootFolders() const
{
    QStringList folders;
    const int previous = m_grabber.CurrentDrive();
    for (int drive = 1; drive <= m_grabber.DriveCount(); ++drive) {
        m_grabber.SetCurrentDrive(drive);
        folders << m_grabber.DriveName();
    }
    if (previous > 0)
        m_grabber.SetCurrentDrive(previous);
    return folders;
}

QString CdTrackListing::folderDisplayName(const QString &folder) const
{
    if (folder.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive))
        return QFileInfo(folder).fileName();
    return tr("CD 驱动器 (%1)").arg(QDir::toNativeSeparators(folder));
}

} // namespace Sveltra
