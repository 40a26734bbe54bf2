#include "core/sync/syncplan.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QMultiHash>
#include <QSet>
#include <QStorageInfo>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <optional>

#include "core/browse/audiofiles.h"
#include "core/media/audioinformation.h"
#include "core/output/naming.h"
#include "core/profile/encoderoptions.h"
#include "core/sync/audiofingerprint.h"

// Deciding a sync's plan: the library's sources and the player's outputs read (the slow reads on
// every core), each source matched to its output by its path's key or, when its path is new, by
// its audio, and every output's place and size.
namespace Sveltra {

namespace {

// A file of FAT32 holds at most 4 GiB less one byte.
constexpr qint64 FatFileLimit = (qint64(4) << 30) - 1;
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

class SyncPlanner
{
public:
    explicit SyncPlanner(const SyncRequest &request)
        : m_request(request)
    {
    }
    SyncPlan plan();

private:
    // Each source with an output: which output, and what it needs.
    struct Decision
    {
        qsizetype source = -1;
        qsizetype output = -1;
        SyncItem::Kind kind = SyncItem::Kind::New;
        bool retag = false;
    };

    bool foldersUsable();
    bool readLibrary();
    void readPlayer();
    void decideOwn();
    void decideMoved();
    void placeItems();
    void addGone();
    QString claimTarget(const Source &source, const QString &ownPath);

    bool sameProfile(const SourceStamp &stamp) const
    {
        return stamp.profile == m_profile && stamp.levelled == m_request.levelled;
    }
    SourceStamp markFor(const Source &source) const;
    QString refused(const char *text, const QString &folder = QString())
    {
        return QCoreApplication::translate("Sveltra::Sync", text).arg(folder);
    }

    const SyncRequest &m_request;
    SyncPlan m_plan;
    QString m_profile;
    QList<Source> m_sources;
    QHash<QString, qsizetype> m_sourceByKey;
    QSet<QString> m_taken; // every entry of the player, case-folded, as FAT and exFAT compare names
    QList<Output> m_outputs;
    QList<Decision> m_decisions;
    QList<qsizetype> m_unmatched; // sources without an output of their path
    QHash<QString, int> m_limits; // folder → its longest file name
    QSet<QString> m_claimed;
};

SourceStamp SyncPlanner::markFor(const Source &source) const
{
    SourceStamp stamp{source.path, source.size, source.modifiedMs, m_profile, m_request.levelled};
    stamp.tagsHash = source.tagsHash;
    stamp.libraryKey = m_plan.libraryKey;
    if (source.print)
        stamp.audioHash = source.print->hash;
    return stamp;
}

SyncPlan SyncPlanner::plan()
{
    if (!foldersUsable() || !readLibrary())
        return m_plan;
    readPlayer();
    decideOwn();
    decideMoved();
    placeItems();
    addGone();
    return m_plan;
}

bool SyncPlanner::foldersUsable()
{
    const QFileInfo library(m_request.library);
    const QFileInfo player(m_request.player);
    if (m_request.library.trimmed().isEmpty() || !library.isDir())
        m_plan.refusal = refused(QT_TRANSLATE_NOOP("Sveltra::Sync", "音乐库文件夹不存在：%1。什么都没有改动。"),
                                 m_request.library);
    else if (!library.isReadable() || !library.isExecutable())
        m_plan.refusal = refused(QT_TRANSLATE_NOOP("Sveltra::Sync", "无法读取音乐库文件夹：%1。什么都没有改动。"),
                                 m_request.library);
    else if (m_request.player.trimmed().isEmpty() || !player.isDir())
        m_plan.refusal = refused(QT_TRANSLATE_NOOP("Sveltra::Sync", "播放器文件夹不存在：%1。请先插好播放器或存储卡。"),
                                 m_request.player);
    else if (!player.isWritable())
        m_plan.refusal = refused(QT_TRANSLATE_NOOP("Sveltra::Sync", "无法写入播放器文件夹：%1。"), m_request.player);
    if (!m_plan.refusal.isEmpty())
        return false;
    m_plan.library = Clean(library.canonicalFilePath());
    m_plan.player = Clean(player.canonicalFilePath());
    if (IsInsideOrAt(m_plan.library, m_plan.player)) {
        m_plan.refusal = QCoreApplication::translate("Sveltra::Sync", "音乐库不能在播放器文件夹里面。什么都没有改动。");
        return false;
    }
    m_plan.libraryKey = LibraryKey(m_plan.library);
    m_plan.prefix = OutputPrefix(m_request.channelChoice, m_request.qualityChoice);
    m_plan.options = BuildEncoderArgs(m_request.channelChoice, m_request.qualityChoice);
    m_profile = StampProfile(m_plan.prefix, m_plan.options);
    return true;
}

// The library's sources, in path order, and a hash of each one's tags; a player folder inside
// the library is no part of it.
bool SyncPlanner::readLibrary()
{
    QDirIterator walk(m_plan.library, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        const QFileInfo info = walk.fileInfo();
        if (IsInsideOrAt(path, m_plan.player) || !IsAudioFileName(info.fileName()) || IsIgnoredLibraryName(info.fileName()))
            continue;
        m_sources.append(Source{path,
                                Relative(path, m_plan.library),
                                info.size(),
                                info.lastModified().toMSecsSinceEpoch(),
                                SourcePathKey(path),
                                {},
                                {}});
    }
    if (m_sources.isEmpty()) {
        m_plan.refusal = QCoreApplication::translate("Sveltra::Sync",
                                                     "音乐库文件夹里没有音频文件：%1。可能是硬盘没有接上或路径写错了；为了安全，"
                                                     "播放器上的文件一个也没有删除。")
                             .arg(QDir::toNativeSeparators(m_plan.library));
        return false;
    }
    std::sort(m_sources.begin(), m_sources.end(), [](const Source &a, const Source &b) { return a.relative < b.relative; });
    ParallelFor(m_sources.size(), m_request.threads,
                [&](qsizetype i) { m_sources[i].tagsHash = SourceTagsHash(m_sources[i].path); });
    for (qsizetype i = 0; i < m_sources.size(); ++i)
        m_sourceByKey.insert(m_sources[i].pathKey, i);
    return true;
}

// Every entry of the player (for names already taken) and, of its MP3 files, the outputs: those
// with the mark of this library, or of a source that is in it now.
void SyncPlanner::readPlayer()
{
    QList<Output> candidates;
    QDirIterator walk(m_plan.player, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        m_taken.insert(path.toCaseFolded());
        const QFileInfo info = walk.fileInfo();
        if (info.isFile() && !info.isSymLink() && info.suffix().compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0)
            candidates.append(Output{path, info.size(), {}, false});
    }
    QList<std::optional<SourceStamp>> stamps(candidates.size());
    ParallelFor(candidates.size(), m_request.threads,
                [&](qsizetype i) { stamps[i] = SourceStamp::parse(ReadSourceStamp(candidates[i].path)); });
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (!stamps[i] || stamps[i]->source.isEmpty() || !stamps[i]->source.startsWith(QLatin1Char('#')))
            continue;
        if (stamps[i]->libraryKey != m_plan.libraryKey && !m_sourceByKey.contains(stamps[i]->sourceKey()))
            continue;
        Output output = candidates[i];
        output.stamp = *stamps[i];
        m_outputs.append(output);
    }
    m_plan.outputsBefore = int(m_outputs.size());
}

// Each source with an output of its own path: unchanged, changed (encoded again) or changed in
// its tags only, which its audio decides; the others are left for decideMoved.
void SyncPlanner::decideOwn()
{
    QMultiHash<QString, qsizetype> outputsByKey;
    for (qsizetype i = 0; i < m_outputs.size(); ++i)
        outputsByKey.insert(m_outputs[i].stamp.sourceKey(), i);
    QList<qsizetype> needPrint;
    for (qsizetype s = 0; s < m_sources.size(); ++s) {
        QList<qsizetype> own = outputsByKey.values(m_sources[s].pathKey);
        if (own.isEmpty()) {
            m_unmatched.append(s);
            needPrint.append(s);
            continue;
        }
        // One output per source: the first of the profile's, the others go.
        std::sort(own.begin(), own.end(), [&](qsizetype a, qsizetype b) {
            const bool pa = sameProfile(m_outputs[a].stamp), pb = sameProfile(m_outputs[b].stamp);
            return pa != pb ? pa : m_outputs[a].path < m_outputs[b].path;
        });
        m_outputs[own.first()].taken = true;
        Decision decision{s, own.first(), SyncItem::Kind::Unchanged, false};
        const SourceStamp &stamp = m_outputs[own.first()].stamp;
        if (!sameProfile(stamp)) {
            decision.kind = SyncItem::Kind::Changed;
            needPrint.append(s);
        } else if (stamp.size != m_sources[s].size || stamp.modifiedMs != m_sources[s].modifiedMs
                   || stamp.tagsHash != m_sources[s].tagsHash || stamp.audioHash.isEmpty()) {
            needPrint.append(s); // the audio decides between a retag and an encode
            decision.kind = SyncItem::Kind::TagsOnly;
        }
        m_decisions.append(decision);
    }
    ParallelFor(needPrint.size(), m_request.threads,
                [&](qsizetype i) { m_sources[needPrint[i]].print = ReadAudioFingerprint(m_sources[needPrint[i]].path); });
    for (Decision &decision : m_decisions) {
        if (decision.kind != SyncItem::Kind::TagsOnly)
            continue;
        const Source &source = m_sources[decision.source];
        const SourceStamp &stamp = m_outputs[decision.output].stamp;
        // An output without an audio hash was made by a plain run: it is of this audio when the
        // source's size and time are those it was made from.
        const bool sameAudio = source.print
            && (stamp.audioHash.isEmpty() ? stamp.size == source.size && stamp.modifiedMs == source.modifiedMs
                                          : stamp.audioHash == source.print->hash);
        decision.kind = sameAudio ? SyncItem::Kind::TagsOnly : SyncItem::Kind::Changed;
        decision.retag = sameAudio;
    }
}

// A source new by its path whose audio an output of this library holds, made with this profile,
// whose own source is gone: renamed or moved. Else it is new.
void SyncPlanner::decideMoved()
{
    QMultiHash<QString, qsizetype> loose;
    for (qsizetype o = 0; o < m_outputs.size(); ++o) {
        const Output &output = m_outputs[o];
        if (!output.taken && output.stamp.libraryKey == m_plan.libraryKey && !output.stamp.audioHash.isEmpty()
            && sameProfile(output.stamp) && !m_sourceByKey.contains(output.stamp.sourceKey()))
            loose.insert(output.stamp.audioHash, o);
    }
    for (qsizetype s : std::as_const(m_unmatched)) {
        Decision decision{s, -1, SyncItem::Kind::New, false};
        const QList<qsizetype> same = m_sources[s].print ? loose.values(m_sources[s].print->hash) : QList<qsizetype>();
        for (qsizetype o : same) {
            if (!m_outputs[o].taken) {
                m_outputs[o].taken = true;
                decision.output = o;
                decision.kind = SyncItem::Kind::Moved;
                decision.retag = true; // its mark names the source's new path
                break;
            }
        }
        m_decisions.append(decision);
    }
    std::sort(m_decisions.begin(), m_decisions.end(), [](const Decision &a, const Decision &b) { return a.source < b.source; });
    // Outputs that are going free their names.
    for (const Output &output : std::as_const(m_outputs)) {
        if (!output.taken)
            m_taken.remove(output.path.toCaseFolded());
    }
}

// The first name of the source's folder on the player that nothing else holds or claimed (its
// own output's name may stay).
QString SyncPlanner::claimTarget(const Source &source, const QString &ownPath)
{
    const QString folder = m_plan.player + QLatin1Char('/') + OutputSubfolder(source.path, m_plan.library);
    auto limit = m_limits.constFind(folder);
    if (limit == m_limits.constEnd())
        limit = m_limits.insert(folder, MaximumFileNameBytes(folder));
    const TargetNameParts parts = TargetFileNameParts(m_plan.prefix, QFileInfo(source.path).fileName(), QString());
    for (int copy = 1;; ++copy) {
        const QString path = folder + FitTargetName(parts, *limit, copy);
        const QString key = path.toCaseFolded();
        if (m_claimed.contains(key) || (m_taken.contains(key) && key != ownPath.toCaseFolded()))
            continue;
        m_claimed.insert(key);
        return path;
    }
}

void SyncPlanner::placeItems()
{
    QStorageInfo storage(m_plan.player);
    m_plan.freeBytes = storage.isValid() ? storage.bytesAvailable() : -1;
    m_plan.fatLimit = IsFatFileSystem(m_plan.player);
    const qint64 bitrate = Bitrate(m_plan.options);
    for (const Decision &decision : std::as_const(m_decisions)) {
        const Source &source = m_sources[decision.source];
        SyncItem item;
        item.kind = decision.kind;
        item.source = source.path;
        item.relative = source.relative;
        item.retag = decision.retag;
        item.stamp = markFor(source);
        item.output = decision.output >= 0 ? m_outputs[decision.output].path : QString();
        item.target = claimTarget(source, item.output);
        const bool elsewhere = !item.output.isEmpty() && item.target != item.output;
        if ((item.kind == SyncItem::Kind::Unchanged || item.kind == SyncItem::Kind::TagsOnly) && elsewhere)
            item.kind = SyncItem::Kind::Moved;
        if (item.kind == SyncItem::Kind::New || item.kind == SyncItem::Kind::Changed) {
            const qint64 ms = source.print ? source.print->durationMs : 0;
            item.added = ms * bitrate / 8000 + TagAllowance;
            if (item.kind == SyncItem::Kind::Changed)
                item.freed = m_outputs[decision.output].size;
            if (m_plan.fatLimit && item.added > FatFileLimit) {
                item.kind = SyncItem::Kind::TooLarge;
                item.added = 0;
                item.freed = 0;
                item.output.clear();
            }
        }
        m_plan.items.append(item);
    }
}

// Outputs no source took: those of this library (only an output marked with its key is ever
// removed) and second outputs of a source that has its own.
void SyncPlanner::addGone()
{
    QList<const Output *> gone;
    for (const Output &output : std::as_const(m_outputs)) {
        if (!output.taken && (output.stamp.libraryKey == m_plan.libraryKey || m_sourceByKey.contains(output.stamp.sourceKey())))
            gone.append(&output);
    }
    std::sort(gone.begin(), gone.end(), [](const Output *a, const Output *b) { return a->path < b->path; });
    for (const Output *output : std::as_const(gone)) {
        SyncItem item;
        item.kind = SyncItem::Kind::Gone;
        item.output = output->path;
        item.relative = Relative(output->path, m_plan.player);
        item.freed = output->size;
        m_plan.items.append(item);
    }
}

} // namespace

QString LibraryKey(const QString &libraryFolder)
{
    return SourcePathKey(Clean(libraryFolder));
}

SyncPlan PlanSync(const SyncRequest &request)
{
    return SyncPlanner(request).plan();
}

} // namespace Sveltra
