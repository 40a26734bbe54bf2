#include "core/sync/syncexecute.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <cstdio>

#include "core/joblist/jobrules.h"
#include "core/joblist/mediainforeader.h"
#include "core/media/audioinformation.h"
#include "core/media/mediatag.h"
#include "core/output/outputfinish.h"
#include "core/playlist/playlist.h"
#include "core/tags/outputtag.h"

namespace Sveltra {

namespace {

QString FolderOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

bool IsUnder(const QString &path, const QString &folder)
{
    return path.startsWith(folder + QLatin1Char('/'));
}

// Removes folder and the folders above it that are left empty, up to (not) the player folder.
void RemoveEmptyFolders(QString folder, const QString &player)
{
    while (IsUnder(folder, player) && QDir().rmdir(folder))
        folder = FolderOf(folder);
}

// The tag an output of source carries: what a run would write, with the output's own user texts
// (its loudness) kept and stamp as its mark.
MediaTag TagFor(const QString &source, const SourceStamp &stamp, const QString &output)
{
    AudioInformation reader;
    const MediaInfo info = ReadMediaInfo(reader, source);
    MediaTag tag;
    tag.Title = info.title.trimmed().isEmpty() ? QFileInfo(source).completeBaseName() : info.title.trimmed();
    tag.Album = info.album.trimmed();
    tag.Artist = info.artist.trimmed();
    tag.Year = info.year > 0 ? QString::number(info.year) : QString();
    tag.SourcePath = source;
    tag.SourceStamp = stamp.text();
    for (const auto &text : ReadUserTexts(output)) {
        if (text.first != SourceStampFrameName())
            tag.UserTexts << text;
    }
    return tag;
}

// Writes a tag into a copy of output that takes target's name; the output goes once the copy has
// it. False, and everything as it was, when any step fails.
bool RewriteInto(const QString &output, const QString &target, const MediaTag &tag, QString *detail)
{
    if (!QDir().mkpath(FolderOf(target))) {
        *detail = QStringLiteral("cannot make the folder");
        return false;
    }
    const bool inPlace = target == output;
    *detail = ChangeThroughCopy(output, target, inPlace, [&tag](const QString &work) {
        QString error;
        if (!SetMP3Tag(work, tag, &error))
            return QString(QStringLiteral("cannot write the tag: ") + error);
        return ReadSourceStamp(work) == tag.SourceStamp ? QString() : QStringLiteral("the mark does not read back");
    });
    if (!detail->isEmpty())
        return false;
    if (!inPlace && !QFile::remove(output))
        qWarning("Cannot remove %s after its copy took its place", qPrintable(output));
    return true;
}

// Gives a finished output a new mark: a copy beside it takes the mark and replaces it.
bool Restamp(const QString &output, const QString &stamp, QString *detail)
{
    *detail = ChangeThroughCopy(output, output, true, [&stamp](const QString &work) {
        return WriteSourceStamp(work, stamp) && ReadSourceStamp(work) == stamp ? QString()
                                                                               : QStringLiteral("the mark does not read back");
    });
    return detail->isEmpty();
}

QString Relative(const SyncPlan &plan, const QString &path)
{
    return QDir(plan.player).relativeFilePath(path);
}

} // namespace

void ApplyFileChanges(const SyncPlan &plan, SyncResult &result)
{
    if (!plan.refusal.isEmpty())
        return;
    const auto ours = [&](const QString &path) {
        // A last check before a file is moved or removed: it lies under the player folder and still
        // carries this library's mark (or the mark the plan read from it).
        if (!IsUnder(path, plan.player) || QFileInfo(path).isSymLink())
            return false;
        const auto stamp = SourceStamp::parse(ReadSourceStamp(path));
        return stamp.has_value();
    };
    for (const SyncItem &item : plan.items) {
        if (item.kind != SyncItem::Kind::Gone)
            continue;
        if (!ours(item.output) || !QFile::remove(item.output)) {
            ++result.failed;
            result.problems << QCoreApplication::translate("Sveltra::Sync", "无法删除：%1").arg(Relative(plan, item.output));
            qWarning("Sync: cannot remove %s", qPrintable(item.output));
            continue;
        }
        ++result.removed;
        result.touched.insert(FolderOf(item.output));
        RemoveEmptyFolders(FolderOf(item.output), plan.player);
    }
    for (const SyncItem &item : plan.items) {
        if (item.kind != SyncItem::Kind::Moved && item.kind != SyncItem::Kind::TagsOnly)
            continue;
        QString detail;
        bool ok = ours(item.output) && IsUnder(item.target, plan.player);
        if (!ok) {
            detail = QStringLiteral("the output is no longer ours");
        } else if (item.retag) {
            ok = RewriteInto(item.output, item.target, TagFor(item.source, item.stamp, item.output), &detail);
        } else {
            ok = QDir().mkpath(FolderOf(item.target)) && NameWithoutReplacing(item.output, item.target);
            if (!ok)
                detail = QStringLiteral("the name is taken or cannot be written");
        }
        if (!ok) {
            ++result.failed;
            result.problems << (item.kind == SyncItem::Kind::Moved
                                    ? QCoreApplication::translate("Sveltra::Sync", "无法移动：%1")
                                    : QCoreApplication::translate("Sveltra::Sync", "无法改标签：%1"))
                                   .arg(Relative(plan, item.output));
            qWarning("Sync: %s: %s", qPrintable(item.output), qPrintable(detail));
            continue;
        }
        if (item.kind == SyncItem::Kind::Moved)
            ++result.moved;
        else
            ++result.retagged;
        result.touched.insert(FolderOf(item.output));
        result.touched.insert(FolderOf(item.target));
        if (item.output != item.target)
            RemoveEmptyFolders(FolderOf(item.output), plan.player);
    }
}

SyncRows::SyncRows(const SyncPlan &plan)
    : m_library(plan.library)
{
    AudioInformation reader;
    for (int i = 0; i < plan.items.size(); ++i) {
        const SyncItem &item = plan.items[i];
        if (item.kind != SyncItem::Kind::New && item.kind != SyncItem::Kind::Changed)
            continue;
        const MediaInfo info = ReadMediaInfo(reader, item.source);
        const QString name = QFileInfo(item.source).fileName();
        Row row;
        row.item = i;
        row.cells = QStringList(JobColumn::Count);
        row.cells[JobColumn::Name] = name;
        row.cells[JobColumn::Source] = name;
        row.cells[JobColumn::SourcePath] = FolderOf(item.source) + QLatin1Char('/');
        row.cells[JobColumn::Size] = QString::number(info.fileSize);
        row.cells[JobColumn::PlayTime] = FormatDuration(info.duration);
        row.cells[JobColumn::Title] = info.title.isEmpty() ? UntitledPlaceholder() : info.title;
        row.cells[JobColumn::Album] = info.album;
        row.cells[JobColumn::Artist] = info.artist;
        row.cells[JobColumn::Year] = QString::number(info.year);
        row.cells[JobColumn::Comment] = info.comment;
        m_rows.append(row);
    }
}

void FinishSync(const SyncPlan &plan, const SyncRows &rows, SyncResult &result)
{
    if (!plan.refusal.isEmpty())
        return;
    for (int row = 0; row < rows.rowCount(); ++row) {
        const SyncItem &item = plan.items[rows.item(row)];
        const int status = rows.status(row);
        if (status != JobStatus::Done && status != JobStatus::Damaged) {
            ++result.failed;
            const QString note = rows.note(row);
            result.problems
                << (note.isEmpty() ? QCoreApplication::translate("Sveltra::Sync", "没有压缩：%1").arg(item.relative)
                                   : QCoreApplication::translate("Sveltra::Sync", "没有压缩：%1（%2）").arg(item.relative, note));
            continue;
        }
        ++result.encoded;
        const QString target = rows.cell(row, JobColumn::Target);
        result.touched.insert(FolderOf(target));
        // The run marks what it knows; the sync adds the audio, the tags and the library.
        std::optional<SourceStamp> stamp = SourceStamp::parse(ReadSourceStamp(target));
        if (stamp) {
            stamp->audioHash = item.stamp.audioHash;
            stamp->tagsHash = item.stamp.tagsHash;
            stamp->libraryKey = item.stamp.libraryKey;
            QString detail;
            if (!Restamp(target, stamp->text(), &detail)) {
                result.problems
                    << QCoreApplication::translate("Sveltra::Sync", "无法写入同步标记：%1").arg(Relative(plan, target));
                qWarning("Sync: cannot mark %s: %s", qPrintable(target), qPrintable(detail));
            }
        }
        // An earlier output of the source made elsewhere or with another profile goes once the new one is whole.
        if (item.kind == SyncItem::Kind::Changed && !item.output.isEmpty() && item.output != target
            && IsUnder(item.output, plan.player) && QFileInfo::exists(item.output)) {
            if (QFile::remove(item.output)) {
                result.touched.insert(FolderOf(item.output));
                RemoveEmptyFolders(FolderOf(item.output), plan.player);
            }
        }
    }
    const PlaylistUpdate lists = UpdatePlaylists(plan.player, plan.libraryKey, result.touched);
    result.playlistsWritten = lists.written;
    result.problems += lists.problems;
    for (const QString &folder : std::as_const(result.touched))
        RemoveEmptyFolders(folder, plan.player);
}

QString SyncResultText(const SyncResult &result)
{
    return (result.failed > 0
                ? QCoreApplication::translate("Sveltra::Sync", "同步结束：压缩 %1，移动 %2，改标签 %3，删除 %4，失败 %5")
                : QCoreApplication::translate("Sveltra::Sync", "同步完成：压缩 %1，移动 %2，改标签 %3，删除 %4，失败 %5"))
        .arg(result.encoded)
        .arg(result.moved)
        .arg(result.retagged)
        .arg(result.removed)
        .arg(result.failed);
}

} // namespace Sveltra
