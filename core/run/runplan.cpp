#include "core/run/runplan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPair>
#include <QSet>
#include <QtDebug>

#include <sys/stat.h>

#include "core/cd/audiograbber.h"
#include "core/joblist/celltexts.h"
#include "core/joblist/jobrows.h"
#include "core/joblist/jobrules.h"
#include "core/media/audioinformation.h"
#include "core/output/failurereason.h"
#include "core/output/naming.h"
#include "core/profile/encoderoptions.h"

namespace Sveltra {

namespace {

using FileId = QPair<quint64, quint64>;

// The file a path names, by device and inode, so another name for it (a link) is the same.
std::optional<FileId> fileIdentity(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileId(static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino));
}

bool isCdTrack(const QString &name)
{
    return MediaType(name) == QLatin1String("CDA");
}

// The row's own texts, trimmed; the list's "Unknown" is no title: a player shows the file's name.
MediaTag rowTag(const JobRows &rows, int row, const QString &source, bool cd)
{
    MediaTag tag;
    tag.Title = rows.cell(row, JobColumn::Title).trimmed();
    if (tag.Title == UntitledPlaceholder() && !cd)
        tag.Title = QFileInfo(source).completeBaseName();
    tag.Album = rows.cell(row, JobColumn::Album).trimmed();
    tag.Artist = rows.cell(row, JobColumn::Artist).trimmed();
    tag.Year = rows.cell(row, JobColumn::Year).trimmed();
    if (!cd)
        tag.SourcePath = source;
    return tag;
}

// A CD track's drive: the one whose name is the track path's folder.
void findDrive(PlannedRow &planned, const RunSettings &settings)
{
    QString folder = QFileInfo(planned.source).path();
    if (folder.endsWith(QDir::separator()) && folder.size() > 1)
        folder.chop(1);
    planned.cdDrive = settings.cdDriveFor ? settings.cdDriveFor(folder) : QString();
    planned.cdTrack = CdTrackNumber(planned.source);
    if (planned.cdDrive.isEmpty() || planned.cdTrack == 0) {
        planned.kind = PlannedKind::Fail;
        planned.reason = NoCdDriveReason();
        planned.detail = QStringLiteral("no drive holds the track");
    }
}

// Albums: the tracks of one CD, or one title, album artist (else artist) and number of discs.
// Only albums with a row to convert are looked at closer, so a rerun that converts nothing reads
// no tags; their kept rows join them with what their outputs' tags say of their loudness.
void planAlbums(RunPlan &plan)
{
    QSet<QString> converting;
    for (const PlannedRow &p : std::as_const(plan.rows)) {
        if (p.kind == PlannedKind::Encode)
            converting.insert(p.tag.Album);
    }
    QList<AlbumMember> members;
    QList<int> indexes;
    for (int i = 0; i < plan.rows.size(); ++i) {
        PlannedRow &p = plan.rows[i];
        if (p.kind == PlannedKind::Fail || (p.tag.Album.isEmpty() && p.cdTrack == 0) || !converting.contains(p.tag.Album))
            continue;
        p.member = AlbumMember{p.cdDrive, p.tag.Album, p.cdTrack > 0, p.tag.Artist, 0};
        if (p.cdTrack == 0) {
            const AlbumIdentity identity = ReadAlbumIdentity(p.source);
            if (!identity.albumArtist.isEmpty())
                p.member.artist = identity.albumArtist;
            p.member.discTotal = identity.discTotal;
        }
        if (p.kind == PlannedKind::Keep)
            p.keptLoudness = ReadTrackLoudness(ReadUserTexts(p.target.target));
        members << p.member;
        indexes << i;
    }
    const QList<int> groups = AlbumGroups(members);
    QHash<int, int> albumOfGroup;
    for (int m = 0; m < groups.size(); ++m) {
        if (groups[m] < 0)
            continue;
        auto it = albumOfGroup.find(groups[m]);
        if (it == albumOfGroup.end()) {
            it = albumOfGroup.insert(groups[m], static_cast<int>(plan.albums.size()));
            plan.albums.append(QList<int>{});
        }
        plan.rows[indexes[m]].album = *it;
        plan.albums[*it] << indexes[m];
    }
    // An album of kept rows alone (its only new track failed to plan) is no album of this run.
    for (QList<int> &album : plan.albums) {
        if (std::none_of(album.begin(), album.end(), [&plan](int i) { return plan.rows[i].kind == PlannedKind::Encode; })) {
            for (int i : album)
                plan.rows[i].album = -1;
            album.clear();
        }
    }
}

} // namespace

const PlannedRow *RunPlan::find(int row) const
{
    const auto it = std::find_if(rows.begin(), rows.end(), [row](const PlannedRow &p) { return p.row == row; });
    return it == rows.end() ? nullptr : &*it;
}

RunPlan PlanRun(const JobRows &rows, const RunSettings &settings)
{
    RunPlan plan;
    plan.outputFolder = settings.outputFolder;
    plan.prefix = OutputPrefix(settings.channelChoice, settings.qualityChoice);
    plan.options = BuildEncoderArgs(settings.channelChoice, settings.qualityChoice);
    plan.level = settings.level;

    // A target never writes over a file the list converts (this row's or another's).
    QSet<FileId> sources;
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (const auto identity = fileIdentity(rows.cell(row, JobColumn::SourcePath) + rows.cell(row, JobColumn::Source)))
            sources.insert(*identity);
    }
    TargetAssigner targets(plan.outputFolder, plan.prefix, plan.options, plan.level);
    targets.setProtected([&sources](const QString &path) {
        const auto identity = fileIdentity(path);
        return identity && sources.contains(*identity);
    });
    const QStringList options = EncoderOptionList(plan.options);
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (rows.status(row) != JobStatus::Queued)
            continue;
        PlannedRow planned;
        planned.row = row;
        const QString name = rows.cell(row, JobColumn::Source);
        planned.source = rows.cell(row, JobColumn::SourcePath) + name;
        const bool cd = isCdTrack(name);
        TargetRequest request;
        request.name = name;
        request.source = planned.source;
        request.title = rows.cell(row, JobColumn::Title);
        request.baseFolder = rows.baseFolder(row);
        request.reconvert = rows.reconvert(row);
        request.cdTrack = cd;
        request.size = static_cast<qint64>(NumericValue(rows.cell(row, JobColumn::Size)));
        planned.target = targets.assign(request);
        planned.kind = planned.target.upToDate ? PlannedKind::Keep : PlannedKind::Encode;
        planned.tag = rowTag(rows, row, planned.source, cd);
        planned.tag.SourceStamp = planned.target.stamp;
        planned.encoderArguments = options;
        if (cd && planned.kind == PlannedKind::Encode)
            findDrive(planned, settings);
        plan.rows << planned;
    }
    planAlbums(plan);
    return plan;
}

void AddCdTrackFacts(MediaTag &tag, const CdTrackFacts &facts)
{
    for (auto [field, value] : {std::pair{&tag.Track, facts.Track}, std::pair{&tag.Disc, facts.Disc},
                                std::pair{&tag.Genre, facts.Genre}, std::pair{&tag.AlbumArtist, facts.AlbumArtist}}) {
        if (!value.isEmpty())
            *field = value;
    }
    if (tag.Year.trimmed().isEmpty())
        tag.Year = facts.Year;
    if (!facts.Cover.isEmpty())
        tag.Cover = facts.Cover;
}

QList<RunLoudness::Row> LoudnessRows(const RunPlan &plan, const std::function<QString(int row)> &measuredWav)
{
    QList<RunLoudness::Row> rows;
    for (const PlannedRow &p : plan.rows) {
        if (p.kind == PlannedKind::Fail || (p.kind == PlannedKind::Keep && p.album < 0))
            continue;
        RunLoudness::Row row{p.row, p.cdTrack > 0 ? QString() : p.source, p.encoderArguments, p.member, false};
        if (p.kind == PlannedKind::Keep) {
            row.keptTarget = p.target.target;
            row.kept = p.keptLoudness;
        } else if (p.cdTrack > 0 && plan.level) {
            // Ripped once, before any track is encoded: measured, then encoded from the same file.
            row.source = measuredWav(p.row);
            row.madeLater = true;
        }
        rows << row;
    }
    return rows;
}

} // namespace Sveltra
