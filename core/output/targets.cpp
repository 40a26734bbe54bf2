#include "core/output/targets.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "core/media/audioinformation.h"
#include "core/output/naming.h"
#include "core/output/outputfinish.h"
#include "core/profile/encoderoptions.h"

namespace Sveltra {

QString SourceStamp::text() const
{
    QString text = QStringLiteral("2\t%1\t%2\t%3\t%4\t%5")
                       .arg(size)
                       .arg(modifiedMs)
                       .arg(profile, levelled ? QStringLiteral("L") : QStringLiteral("-"), sourceKey());
    if (!audioHash.isEmpty())
        text += QStringLiteral("\taudio=") + audioHash;
    if (!tagsHash.isEmpty())
        text += QStringLiteral("\ttags=") + tagsHash;
    if (!libraryKey.isEmpty())
        text += QStringLiteral("\tlib=") + libraryKey;
    return text;
}

QString SourceStamp::sourceKey() const
{
    return source.startsWith(QLatin1Char('#')) ? source : SourcePathKey(source);
}

QString SourcePathKey(const QString &path)
{
    // 128 bits of SHA-256 tell sources apart without carrying a folder or user name onto a card.
    const QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256);
    return QLatin1Char('#') + QString::fromLatin1(digest.left(16).toHex());
}

std::optional<SourceStamp> SourceStamp::parse(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char('\t'));
    if (fields.size() < 5 || (fields[0] != QLatin1String("1") && fields[0] != QLatin1String("2")))
        return std::nullopt;
    SourceStamp stamp;
    bool sizeOk = false;
    bool timeOk = false;
    stamp.size = fields[1].toLongLong(&sizeOk);
    stamp.modifiedMs = fields[2].toLongLong(&timeOk);
    stamp.profile = fields[3];
    if (fields[0] == QLatin1String("2")) {
        // Version 2 keeps a key of the source's path, never the path itself.
        if (fields.size() < 6 || !fields[5].startsWith(QLatin1Char('#')))
            return std::nullopt;
        stamp.levelled = fields[4] == QLatin1String("L");
        stamp.source = fields[5];
        // Further fields name themselves; one this version does not know is passed over.
        for (const QString &field : fields.mid(6)) {
            const qsizetype equals = field.indexOf(QLatin1Char('='));
            if (equals <= 0)
                return std::nullopt;
            const QStringView name = QStringView(field).left(equals);
            const QString value = field.mid(equals + 1);
            if (name == QLatin1String("audio"))
                stamp.audioHash = value;
            else if (name == QLatin1String("tags"))
                stamp.tagsHash = value;
            else if (name == QLatin1String("lib"))
                stamp.libraryKey = value;
        }
    } else {
        stamp.levelled = fields.size() > 5 && fields[4] == QLatin1String("L");
        stamp.source = fields.mid(stamp.levelled ? 5 : 4).join(QLatin1Char('\t'));
    }
    if (!sizeOk || !timeOk || stamp.source.isEmpty())
        return std::nullopt;
    return stamp;
}

std::optional<SourceStamp> SourceStamp::ofFile(const QString &source, const QString &profile, bool levelled)
{
    const QFileInfo info(source);
    if (!info.isFile())
        return std::nullopt;
    return SourceStamp{source, info.size(), info.lastModified().toMSecsSinceEpoch(), profile, levelled};
}

QString StampProfile(const QString &prefix, const QString &options)
{
    return prefix + QLatin1Char(' ') + EncoderOptionList(options).join(QLatin1Char(' '));
}

QString OutputSubfolder(const QString &source, const QString &base)
{
    if (base.isEmpty())
        return {};
    const QString relative = QDir(base).relativeFilePath(QFileInfo(source).path());
    if (relative.isEmpty() || relative == QLatin1String(".") || relative == QLatin1String("..")
        || relative.startsWith(QLatin1String("../")) || QDir::isAbsolutePath(relative))
        return {};
    QString folder;
    for (const QString &part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        folder += SafeFolderName(part) + QDir::separator();
    return folder;
}

TargetAssigner::TargetAssigner(QString outputFolder, QString prefix, QString options, bool levelled)
    : m_output(std::move(outputFolder))
    , m_prefix(std::move(prefix))
    , m_profile(StampProfile(m_prefix, options))
    , m_levelled(levelled)
{
}

int TargetAssigner::nameLimit(const QString &folder)
{
    auto it = m_limits.constFind(folder);
    if (it == m_limits.constEnd())
        it = m_limits.insert(folder, MaximumFileNameBytes(folder));
    return *it;
}

TargetChoice TargetAssigner::assign(const TargetRequest &request)
{
    const std::optional<SourceStamp> own = request.cdTrack
        ? std::optional<SourceStamp>(SourceStamp{request.source, request.size, 0, m_profile, m_levelled})
        : SourceStamp::ofFile(request.source, m_profile, m_levelled);
    const QString folder = m_output + OutputSubfolder(request.source, request.baseFolder);
    const int limit = nameLimit(folder);
    const TargetNameParts parts = TargetFileNameParts(m_prefix, request.name, request.title);

    TargetChoice choice;
    if (own)
        choice.stamp = own->text();
    const QHash<QString, QString> &present = entries(folder);
    for (int copy = 1;; ++copy) {
        QString path = folder + FitTargetName(parts, limit, copy);
        const QString key = path.toCaseFolded();
        if (m_claimed.contains(key))
            continue;
        // FAT and exFAT hold one of "a.MP3" and "A.mp3": a name taken in any letter case is taken.
        const auto there = present.constFind(key);
        if (there != present.constEnd()) {
            path = folder + *there;
            // Only a file this source made with this profile is written over; anything else
            // there (another source's output, the user's own file, a link, a folder) stays.
            const QFileInfo info(path);
            if (!own || !info.isFile() || info.isSymLink() || (m_protected && m_protected(path)))
                continue;
            const std::optional<SourceStamp> theirs = SourceStamp::parse(ReadSourceStamp(path));
            // A CD track's size tells one disc in the drive from another.
            if (!theirs || theirs->sourceKey() != own->sourceKey() || theirs->profile != own->profile
                || (request.cdTrack && theirs->size != own->size))
                continue;
            choice.replaceEarlier = true;
            choice.upToDate = !request.cdTrack && theirs->size == own->size && theirs->modifiedMs == own->modifiedMs
                && theirs->levelled == own->levelled && !request.reconvert;
        }
        m_claimed.insert(key);
        choice.target = path;
        choice.parts = parts;
        choice.nameLimit = limit;
        choice.copy = copy;
        return choice;
    }
}

const QHash<QString, QString> &TargetAssigner::entries(const QString &folder)
{
    auto it = m_entries.find(folder);
    if (it == m_entries.end()) {
        QHash<QString, QString> names;
        const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
        for (const QString &name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            // An output being finished lives under a working name for seconds; one an hour old
            // was left by a run that was killed, and is not whole.
            if (IsWorkName(name)) {
                const QFileInfo work(folder + name);
                if (work.isFile() && !work.isSymLink() && work.lastModified().secsTo(QDateTime::currentDateTime()) > 3600)
                    QFile::remove(work.filePath());
                continue;
            }
            names.insert(QString(folder + name).toCaseFolded(), name);
        }
        it = m_entries.insert(folder, names);
    }
    return *it;
}

} // namespace Sveltra
