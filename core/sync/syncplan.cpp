#include "core/sync/syncplan.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QMultiHash>
#include <QStorageInfo>
#include <QThread>
#include <QThreadPool>
#include <QtDebug>

#include <algorithm>
#include <atomic>

#include "core/browse/audiofiles.h"
#include "core/media/audioinformation.h"
#include "core/output/naming.h"
#include "core/profile/encoderoptions.h"
#include "core/run/runsummary.h"
#include "core/sync/audiofingerprint.h"

namespace Sveltra {

namespace {

// A file of FAT32 holds at most 4 GiB less one byte.
constexpr qint64 FatFileLimit = (qint64(4) << 30) - 1;
// Room kept free beyond what the plan adds: a tag's working copy, the lists, the estimates' error.
constexpr qint64 FitMargin = qint64(8) << 20;
// What an output's tag and cover add to its audio, for an estimate.
constexpr qint64 TagAllowance = 64 * 1024;

// Runs work(i) for i in [0, count) on up to threads workers and waits for all of them.
template <typename Work>
void ParallelFor(qsizetype count, int threads, Work work)
{
    if (count == 0)
        return;
    const int workers = std::clamp<int>(threads > 0 ? threads : QThread::idealThreadCount(), 1,
                                        int(std::min<qsizetype>(count, 64)));
    if (workers == 1) {
        for (qsizetype i = 0; i < count; ++i)
            work(i);
        return;
    }
    std::atomic<qsizetype> next{0};
    QThreadPool pool;
    pool.setMaxThreadCount(workers);
    for (int w = 0; w < workers; ++w) {
        pool.start([&] {
            for (qsizetype i = next++; i < count; i = next++)
                work(i);
        });
    }
    pool.waitForDone();
}

struct Source
{
    QString path;
    QString relative;
    qint64 size = 0;
    qint64 modifiedMs = 0;
    QString pathKey;
    QString tagsHash;
    std::optional<AudioFingerprint> print;
};

struct Output
{
    QString path;
    qint64 size = 0;
    SourceStamp stamp;
    bool taken = false; // matched to a source
};

QString Clean(const QString &folder)
{
    QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    return clean;
}

bool IsInsideOrAt(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder == QLatin1String("/") ? folder : folder + QLatin1Char('/'));
}

// The bits per second the encoder is told, from its options; 96 kbit/s when they name none.
qint64 Bitrate(const QString &options)
{
    const QStringList list = EncoderOptionList(options);
    const qsizetype at = list.indexOf(QStringLiteral("-br"));
    const qint64 rate = at >= 0 && at + 1 < list.size() ? list[at + 1].toLongLong() : 0;
    return rate > 0 ? rate : 96000;
}

bool IsFatFileSystem(const QString &folder)
{
    const QString type = QString::fromLatin1(QStorageInfo(folder).fileSystemType()).toLower();
    return type == QLatin1String("vfat") || type == QLatin1String("msdos") || type == QLatin1String("fat")
        || type == QLatin1String("fat32") || type == QLatin1String("fat16");
}

QString Relative(const QString &path, const QString &folder)
{
    return QDir(folder).relativeFilePath(path);
}

} // namespace

QString LibraryKey(const QString &libraryFolder)
{
    return SourcePathKey(Clean(libraryFolder));
}

bool IsIgnoredLibraryName(const QString &name)
{
    // "._x" and ".DS_Store" are hidden names too: one rule covers all three.
    return name.startsWith(QLatin1Char('.'));
}

QString SourceTagsHash(const QString &path)
{
    const SourceTags tags = ReadSourceTags(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (auto it = tags.properties.cbegin(); it != tags.properties.cend(); ++it) {
        hash.addData(it.key().toUtf8());
        hash.addData(QByteArrayView("\0", 1));
        for (const QString &value : it.value()) {
            hash.addData(value.toUtf8());
            hash.addData(QByteArrayView("\1", 1));
        }
    }
    for (const EmbeddedPicture &picture : tags.pictures) {
        hash.addData(QByteArray(QByteArray::number(picture.type) + picture.mimeType.toUtf8()));
        hash.addData(QCryptographicHash::hash(picture.data, QCryptographicHash::Sha1));
    }
    return QString::fromLatin1(hash.result().left(16).toHex());
}

int SyncPlan::count(SyncItem::Kind kind) const
{
    return int(std::count_if(items.begin(), items.end(), [kind](const SyncItem &item) { return item.kind == kind; }));
}

qint64 SyncPlan::addedBytes() const
{
    qint64 total = 0;
    for (const SyncItem &item : items)
        total += item.added;
    return total;
}

qint64 SyncPlan::freedBytes() const
{
    qint64 total = 0;
    for (const SyncItem &item : items)
        total += item.freed;
    return total;
}

bool SyncPlan::fits() const
{
    const qint64 net = addedBytes() - freedBytes();
    return freeBytes < 0 || net <= 0 || net + FitMargin <= freeBytes;
}

bool SyncPlan::removesMostOutputs() const
{
    const int gone = count(SyncItem::Kind::Gone);
    return gone > 0 && gone * 2 > outputsBefore;
}

bool SyncPlan::hasWork() const
{
    return std::any_of(items.begin(), items.end(), [](const SyncItem &item) {
        return item.kind != SyncItem::Kind::Unchanged && item.kind != SyncItem::Kind::TooLarge;
    });
}

SyncPlan PlanSync(const SyncRequest &request)
{
    SyncPlan plan;
    const QFileInfo libraryInfo(request.library);
    if (request.library.trimmed().isEmpty() || !libraryInfo.isDir()) {
        plan.refusal = QCoreApplication::translate("Sveltra::Sync", "音乐库文件夹不存在：%1。什么都没有改动。")
                           .arg(request.library);
        return plan;
    }
    if (!libraryInfo.isReadable() || !libraryInfo.isExecutable()) {
        plan.refusal = QCoreApplication::translate("Sveltra::Sync", "无法读取音乐库文件夹：%1。什么都没有改动。")
                           .arg(request.library);
        return plan;
    }
    const QFileInfo playerInfo(request.player);
    if (request.player.trimmed().isEmpty() || !playerInfo.isDir()) {
        plan.refusal = QCoreApplication::translate("Sveltra::Sync", "播放器文件夹不存在：%1。请先插好播放器或存储卡。")
                           .arg(request.player);
        return plan;
    }
    if (!playerInfo.isWritable()) {
        plan.refusal = QCoreApplication::translate("Sveltra::Sync", "无法写入播放器文件夹：%1。").arg(request.player);
        return plan;
    }
    plan.library = Clean(libraryInfo.canonicalFilePath());
    plan.player = Clean(playerInfo.canonicalFilePath());
    if (IsInsideOrAt(plan.library, plan.player)) {
        plan.refusal = QCoreApplication::translate("Sveltra::Sync", "音乐库不能在播放器文件夹里面。什么都没有改动。");
        return plan;
    }
    plan.libraryKey = LibraryKey(plan.library);
    plan.prefix = OutputPrefix(request.channelChoice, request.qualityChoice);
    plan.options = BuildEncoderArgs(request.channelChoice, request.qualityChoice);
    const QString profile = StampProfile(plan.prefix, plan.options);

    // The library's sources; a player folder inside the library is no part of it.
    QList<Source> sources;
    {
        QDirIterator walk(plan.library, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QString path = walk.next();
            const QFileInfo info = walk.fileInfo();
            if (IsInsideOrAt(path, plan.player) || !IsAudioFileName(info.fileName()) || IsIgnoredLibraryName(info.fileName()))
                continue;
            Source source;
            source.path = path;
            source.relative = Relative(path, plan.library);
            source.size = info.size();
            source.modifiedMs = info.lastModified().toMSecsSinceEpoch();
            source.pathKey = SourcePathKey(path);
            sources.append(source);
        }
    }
    if (sources.isEmpty()) {
        plan.refusal = QCoreApplication::translate("Sveltra::Sync",
                                                   "音乐库文件夹里没有音频文件：%1。可能是硬盘没有接上或路径写错了；为了安全，"
                                                   "播放器上的文件一个也没有删除。")
                           .arg(QDir::toNativeSeparators(plan.library));
        return plan;
    }
    std::sort(sources.begin(), sources.end(), [](const Source &a, const Source &b) { return a.relative < b.relative; });

    // Every entry of the player (for names already taken) and the MP3 files that may be outputs.
    QSet<QString> taken; // case-folded paths, as FAT and exFAT compare names
    QList<Output> candidates;
    {
        QDirIterator walk(plan.player, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                          QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QString path = walk.next();
            taken.insert(path.toCaseFolded());
            const QFileInfo info = walk.fileInfo();
            if (info.isFile() && !info.isSymLink() && info.suffix().compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0)
                candidates.append(Output{path, info.size(), {}, false});
        }
    }

    // The slow reads, on every core: the sources' tags and the candidates' marks.
    QList<std::optional<SourceStamp>> stamps(candidates.size());
    ParallelFor(candidates.size(), request.threads,
                [&](qsizetype i) { stamps[i] = SourceStamp::parse(ReadSourceStamp(candidates[i].path)); });
    ParallelFor(sources.size(), request.threads, [&](qsizetype i) { sources[i].tagsHash = SourceTagsHash(sources[i].path); });

    QHash<QString, qsizetype> sourceByKey;
    for (qsizetype i = 0; i < sources.size(); ++i)
        sourceByKey.insert(sources[i].pathKey, i);
    QList<Output> outputs;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (!stamps[i] || stamps[i]->source.isEmpty() || !stamps[i]->source.startsWith(QLatin1Char('#')))
            continue;
        // Ours: the mark of this library, or of a source that is in it now.
        if (stamps[i]->libraryKey != plan.libraryKey && !sourceByKey.contains(stamps[i]->sourceKey()))
            continue;
        Output output = candidates[i];
        output.stamp = *stamps[i];
        outputs.append(output);
    }
    plan.outputsBefore = int(outputs.size());
    QMultiHash<QString, qsizetype> outputsByKey;
    for (qsizetype i = 0; i < outputs.size(); ++i)
        outputsByKey.insert(outputs[i].stamp.sourceKey(), i);

    const auto sameProfile = [&](const SourceStamp &stamp) {
        return stamp.profile == profile && stamp.levelled == request.levelled;
    };
    const auto markFor = [&](const Source &source) {
        SourceStamp stamp{source.path, source.size, source.modifiedMs, profile, request.levelled};
        stamp.tagsHash = source.tagsHash;
        stamp.libraryKey = plan.libraryKey;
        if (source.print)
            stamp.audioHash = source.print->hash;
        return stamp;
    };

    // Each source with an output of its own path: which output, and what it needs.
    struct Decision
    {
        qsizetype source = -1;
        qsizetype output = -1;
        SyncItem::Kind kind = SyncItem::Kind::New;
        bool retag = false;
    };
    QList<Decision> decisions;
    QList<qsizetype> unmatched; // sources without an output of their path
    QList<qsizetype> needPrint;
    for (qsizetype s = 0; s < sources.size(); ++s) {
        QList<qsizetype> own = outputsByKey.values(sources[s].pathKey);
        if (own.isEmpty()) {
            unmatched.append(s);
            needPrint.append(s);
            continue;
        }
        // One output per source: the first of the profile's, the others go.
        std::sort(own.begin(), own.end(), [&](qsizetype a, qsizetype b) {
            const bool pa = sameProfile(outputs[a].stamp), pb = sameProfile(outputs[b].stamp);
            return pa != pb ? pa : outputs[a].path < outputs[b].path;
        });
        outputs[own.first()].taken = true;
        Decision decision{s, own.first(), SyncItem::Kind::Unchanged, false};
        const SourceStamp &stamp = outputs[own.first()].stamp;
        if (!sameProfile(stamp)) {
            decision.kind = SyncItem::Kind::Changed;
            needPrint.append(s);
        } else if (stamp.size != sources[s].size || stamp.modifiedMs != sources[s].modifiedMs
                   || stamp.tagsHash != sources[s].tagsHash || stamp.audioHash.isEmpty()) {
            needPrint.append(s); // the audio decides between a retag and an encode
            decision.kind = SyncItem::Kind::TagsOnly;
        }
        decisions.append(decision);
    }
    ParallelFor(needPrint.size(), request.threads,
                [&](qsizetype i) { sources[needPrint[i]].print = ReadAudioFingerprint(sources[needPrint[i]].path); });
    for (Decision &decision : decisions) {
        if (decision.kind != SyncItem::Kind::TagsOnly)
            continue;
        const Source &source = sources[decision.source];
        const SourceStamp &stamp = outputs[decision.output].stamp;
        // An output without an audio hash was made by a plain run: it is of this audio when the
        // source's size and time are those it was made from.
        const bool sameAudio = source.print
            && (stamp.audioHash.isEmpty() ? stamp.size == source.size && stamp.modifiedMs == source.modifiedMs
                                          : stamp.audioHash == source.print->hash);
        decision.kind = sameAudio ? SyncItem::Kind::TagsOnly : SyncItem::Kind::Changed;
        decision.retag = sameAudio;
    }

    // A source new by its path whose audio an output of this library holds, made with this
    // profile, whose own source is gone: renamed or moved.
    QMultiHash<QString, qsizetype> loose;
    for (qsizetype o = 0; o < outputs.size(); ++o) {
        if (!outputs[o].taken && outputs[o].stamp.libraryKey == plan.libraryKey && !outputs[o].stamp.audioHash.isEmpty()
            && sameProfile(outputs[o].stamp) && !sourceByKey.contains(outputs[o].stamp.sourceKey()))
            loose.insert(outputs[o].stamp.audioHash, o);
    }
    for (qsizetype s : std::as_const(unmatched)) {
        Decision decision{s, -1, SyncItem::Kind::New, false};
        if (sources[s].print) {
            const QList<qsizetype> same = loose.values(sources[s].print->hash);
            for (qsizetype o : same) {
                if (!outputs[o].taken) {
                    outputs[o].taken = true;
                    decision.output = o;
                    decision.kind = SyncItem::Kind::Moved;
                    decision.retag = true; // its mark names the source's new path
                    break;
                }
            }
        }
        decisions.append(decision);
    }
    std::sort(decisions.begin(), decisions.end(), [](const Decision &a, const Decision &b) { return a.source < b.source; });

    // Outputs that stay where they are keep their names; those going free theirs.
    QSet<QString> keep;
    for (const Decision &decision : std::as_const(decisions)) {
        if (decision.output >= 0)
            keep.insert(outputs[decision.output].path.toCaseFolded());
    }
    for (const Output &output : std::as_const(outputs)) {
        if (!output.taken)
            taken.remove(output.path.toCaseFolded());
    }

    QStorageInfo storage(plan.player);
    plan.freeBytes = storage.isValid() ? storage.bytesAvailable() : -1;
    plan.fatLimit = IsFatFileSystem(plan.player);
    const qint64 bitrate = Bitrate(plan.options);
    QHash<QString, int> limits;
    QSet<QString> claimed;
    for (const Decision &decision : std::as_const(decisions)) {
        const Source &source = sources[decision.source];
        SyncItem item;
        item.kind = decision.kind;
        item.source = source.path;
        item.relative = source.relative;
        item.retag = decision.retag;
        item.stamp = markFor(source);
        const QString ownPath = decision.output >= 0 ? outputs[decision.output].path : QString();
        item.output = ownPath;
        const QString folder = plan.player + QLatin1Char('/') + OutputSubfolder(source.path, plan.library);
        auto limit = limits.constFind(folder);
        if (limit == limits.constEnd())
            limit = limits.insert(folder, MaximumFileNameBytes(folder));
        const TargetNameParts parts = TargetFileNameParts(plan.prefix, QFileInfo(source.path).fileName(), QString());
        for (int copy = 1;; ++copy) {
            const QString path = folder + FitTargetName(parts, *limit, copy);
            const QString key = path.toCaseFolded();
            if (claimed.contains(key))
                continue;
            if (taken.contains(key) && key != ownPath.toCaseFolded())
                continue;
            claimed.insert(key);
            item.target = path;
            break;
        }
        const bool elsewhere = !ownPath.isEmpty() && item.target != ownPath;
        if (item.kind == SyncItem::Kind::Unchanged && elsewhere)
            item.kind = SyncItem::Kind::Moved;
        if (item.kind == SyncItem::Kind::TagsOnly && elsewhere)
            item.kind = SyncItem::Kind::Moved;
        if (item.kind == SyncItem::Kind::New || item.kind == SyncItem::Kind::Changed) {
            const qint64 ms = source.print ? source.print->durationMs : 0;
            item.added = ms * bitrate / 8000 + TagAllowance;
            if (item.kind == SyncItem::Kind::Changed)
                item.freed = outputs[decision.output].size;
            if (plan.fatLimit && item.added > FatFileLimit) {
                item.kind = SyncItem::Kind::TooLarge;
                item.added = 0;
                item.freed = 0;
                item.output.clear();
            }
        }
        plan.items.append(item);
    }
    QList<const Output *> gone;
    for (const Output &output : std::as_const(outputs)) {
        // Only an output marked with this library's key is ever removed.
        if (!output.taken && output.stamp.libraryKey == plan.libraryKey)
            gone.append(&output);
        else if (!output.taken && sourceByKey.contains(output.stamp.sourceKey()))
            gone.append(&output); // a second output of a source that has its own
    }
    std::sort(gone.begin(), gone.end(), [](const Output *a, const Output *b) { return a->path < b->path; });
    for (const Output *output : std::as_const(gone)) {
        SyncItem item;
        item.kind = SyncItem::Kind::Gone;
        item.output = output->path;
        item.relative = Relative(output->path, plan.player);
        item.freed = output->size;
        plan.items.append(item);
    }
    return plan;
}

QString SyncCountsText(const SyncPlan &plan)
{
    using K = SyncItem::Kind;
    QString text = QCoreApplication::translate("Sveltra::Sync", "新增 %1，更新 %2，移动或改名 %3，只改标签 %4，删除 %5，不变 %6")
                       .arg(plan.count(K::New))
                       .arg(plan.count(K::Changed))
                       .arg(plan.count(K::Moved))
                       .arg(plan.count(K::TagsOnly))
                       .arg(plan.count(K::Gone))
                       .arg(plan.count(K::Unchanged));
    if (plan.count(K::TooLarge) > 0)
        text += QCoreApplication::translate("Sveltra::Sync", "，放不下 %1").arg(plan.count(K::TooLarge));
    return text;
}

QStringList SyncPlanLines(const SyncPlan &plan)
{
    if (!plan.refusal.isEmpty())
        return {plan.refusal};
    QStringList lines;
    lines << SyncCountsText(plan);
    const qint64 net = plan.addedBytes() - plan.freedBytes();
    lines << QCoreApplication::translate("Sveltra::Sync", "增加 +%1，释放 −%2，净变化 %3%4")
                 .arg(ByteSizeText(plan.addedBytes()), ByteSizeText(plan.freedBytes()),
                      net < 0 ? QStringLiteral("−") : QStringLiteral("+"), ByteSizeText(std::abs(net)));
    if (plan.freeBytes < 0)
        lines << QCoreApplication::translate("Sveltra::Sync", "播放器可用空间：无法得知");
    else if (plan.fits())
        lines << QCoreApplication::translate("Sveltra::Sync", "播放器可用空间 %1：放得下").arg(ByteSizeText(plan.freeBytes));
    else
        lines << QCoreApplication::translate("Sveltra::Sync", "播放器可用空间 %1：放不下，还差 %2")
                     .arg(ByteSizeText(plan.freeBytes), ByteSizeText(net - plan.freeBytes));
    if (plan.removesMostOutputs()) {
        const int gone = plan.count(SyncItem::Kind::Gone);
        lines << QCoreApplication::translate("Sveltra::Sync", "注意：这次同步会删除播放器上 %1 个文件中的 %n 个，超过一半。",
                                             nullptr, gone)
                     .arg(plan.outputsBefore);
    }
    const QDir player(plan.player);
    for (const SyncItem &item : plan.items) {
        switch (item.kind) {
        case SyncItem::Kind::Gone:
            lines << QCoreApplication::translate("Sveltra::Sync", "删除：%1").arg(player.relativeFilePath(item.output));
            break;
        case SyncItem::Kind::Moved:
            lines << QCoreApplication::translate("Sveltra::Sync", "移动：%1 → %2")
                         .arg(player.relativeFilePath(item.output), player.relativeFilePath(item.target));
            break;
        case SyncItem::Kind::TooLarge:
            lines
                << QCoreApplication::translate("Sveltra::Sync", "放不下：%1（FAT32 上一个文件不能超过 4 GB）").arg(item.relative);
            break;
        case SyncItem::Kind::New:
            lines << QCoreApplication::translate("Sveltra::Sync", "新增：%1").arg(item.relative);
            break;
        case SyncItem::Kind::Changed:
            lines << QCoreApplication::translate("Sveltra::Sync", "重新压缩：%1").arg(item.relative);
            break;
        case SyncItem::Kind::TagsOnly:
            lines << QCoreApplication::translate("Sveltra::Sync", "改标签：%1").arg(item.relative);
            break;
        case SyncItem::Kind::Unchanged:
            break;
        }
    }
    return lines;
}

} // namespace Sveltra
