#include "core/output/outputfinish.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <unistd.h>

#include "core/media/audioinformation.h"
#include "core/media/mediaprobe.h"
#include "core/output/failurereason.h"
#include "core/tags/outputtag.h"

namespace Sveltra {

namespace {

// A decoded length this much shorter than the source's header says is damage, not rounding: the
// header of a variable-rate file can be off by a little.
qint64 DamageToleranceMs(qint64 statedMs)
{
    return std::max<qint64>(250, statedMs / 100);
}

// Two MPEG frames at the lowest sample rate the encoder writes: the last frame may be dropped by a
// demuxer that cannot tell where it ends.
constexpr qint64 FrameSlackMs = 150;

bool HasId3v1(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 128 || !file.seek(file.size() - 128))
        return false;
    return file.read(3) == "TAG";
}

// Why writing into folder failed, when the reason is that it is full.
bool OutOfRoom(const QString &path, qint64 needed)
{
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    return storage.isValid() && storage.bytesAvailable() < needed + 64 * 1024;
}

// The checked file: tagged (its mark and ID3v1 tag read back) and holding its audio whole.
QString CheckOutput(const QString &path, const MediaTag &tag, double encodedSeconds)
{
    if (!HasId3v1(path))
        return QStringLiteral("the ID3v1 tag is missing");
    if (!tag.SourceStamp.isEmpty() && ReadSourceStamp(path) != tag.SourceStamp)
        return QStringLiteral("the ID3v2 tag does not read back");
    QString error;
    const qint64 counted = CountedDurationMs(path, &error);
    if (counted < 0)
        return QStringLiteral("the output cannot be read: ") + error;
    if (encodedSeconds >= 0 && counted + FrameSlackMs < std::llround(encodedSeconds * 1000.0))
        return QStringLiteral("the output holds %1 ms of the %2 ms written")
            .arg(counted)
            .arg(std::llround(encodedSeconds * 1000.0));
    return {};
}

// Gives work the name path unless something is there; true when it took it.
bool TakeFreeName(const QString &work, const QString &path, bool replace, int *error)
{
    const QByteArray from = QFile::encodeName(work);
    const QByteArray to = QFile::encodeName(path);
    if (replace) {
        if (::rename(from.constData(), to.constData()) == 0)
            return true;
        *error = errno;
        return false;
    }
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    *error = errno;
    if (*error != EINVAL && *error != ENOSYS)
        return false;
    // A file system without an exclusive rename: a hard link fails where the name exists.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    *error = errno;
    if (*error != EPERM && *error != EOPNOTSUPP)
        return false;
    // Neither (FAT over FUSE and the like): claim the name exclusively, then move over the claim.
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    ::close(fd);
    if (::rename(from.constData(), to.constData()) == 0)
        return true;
    *error = errno;
    ::unlink(to.constData());
    return false;
}

// The first free name of the output: the target, then its " (N)" names.
QString NameOutput(const OutputToFinish &output, QString *failure)
{
    const QString folder = QFileInfo(output.target).path() + QDir::separator();
    QString path = output.target;
    bool replace = output.replaceEarlier;
    for (int copy = output.copy; copy < output.copy + 1000;) {
        int error = 0;
        if (TakeFreeName(output.work, path, replace, &error))
            return path;
        if (error != EEXIST && error != ENOTEMPTY && error != EISDIR) {
            *failure = QString::fromLocal8Bit(std::strerror(error));
            return {};
        }
        qWarning("%s was taken during the run; the output takes the next free name", qPrintable(path));
        replace = false;
        path = folder + FitTargetName(output.parts, output.nameLimit, ++copy);
    }
    *failure = QStringLiteral("no free name");
    return {};
}

} // namespace

QString WorkPathFor(const QString &target)
{
    const QString folder = QFileInfo(target).path() + QDir::separator();
    return folder + QStringLiteral(".sveltra-%1.part").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

bool IsWorkName(const QString &fileName)
{
    return fileName.startsWith(QLatin1String(".sveltra-")) && fileName.endsWith(QLatin1String(".part"));
}

FinishedOutput FinishOutput(const OutputToFinish &output)
{
    FinishedOutput result;
    const auto fail = [&](const QString &reason, const QString &detail) {
        QFile::remove(output.work);
        result.outcome = RowOutcome::Failed;
        result.note = reason;
        result.detail = detail;
        return result;
    };
    const qint64 written = QFileInfo(output.work).size();
    if (written <= 0)
        return fail(NoOutputReason(), QStringLiteral("the encoder left no file"));
    QString error;
    if (!SetMP3Tag(output.work, output.tag, &error))
        return fail(OutOfRoom(output.work, written) ? DiskFullReason() : TagWriteFailedReason(), error);
    error = CheckOutput(output.work, output.tag, output.encodedSeconds);
    if (!error.isEmpty())
        return fail(OutOfRoom(output.work, written) ? DiskFullReason() : OutputCutShortReason(), error);

    result.target = NameOutput(output, &error);
    if (result.target.isEmpty())
        return fail(OutputNotWrittenReason(), QStringLiteral("cannot name the output: ") + error);

    const qint64 decodedMs = std::llround(output.encodedSeconds * 1000.0);
    if (output.encodedSeconds >= 0 && output.sourceMs > 0 && decodedMs + DamageToleranceMs(output.sourceMs) < output.sourceMs) {
        result.outcome = RowOutcome::Damaged;
        result.note = DamagedSourceNote(decodedMs, output.sourceMs);
        result.detail
            = QStringLiteral("the source decoded to %1 ms of the %2 ms its header states").arg(decodedMs).arg(output.sourceMs);
        return result;
    }
    result.outcome = output.copied ? RowOutcome::Copied : RowOutcome::Converted;
    return result;
}

bool NameWithoutReplacing(const QString &from, const QString &to)
{
    int error = 0;
    return TakeFreeName(from, to, false, &error);
}

QString ChangeThroughCopy(const QString &file, const QString &target, bool replace,
                          const std::function<QString(const QString &work)> &change)
{
    const QString work = WorkPathFor(target);
    const auto fail = [&work](const QString &why) {
        QFile::remove(work);
        return why;
    };
    if (!QFile::copy(file, work))
        return fail(QStringLiteral("cannot copy the file"));
    QFile(work).setPermissions(QFile(work).permissions() | QFileDevice::WriteOwner);
    if (const QString error = change(work); !error.isEmpty())
        return fail(error);
    int error = 0;
    if (!TakeFreeName(work, target, replace, &error))
        return fail(QStringLiteral("cannot name the file: ") + QString::fromLocal8Bit(std::strerror(error)));
    return {};
}

QString RetagOutput(const QString &file, const QList<QPair<QString, QString>> &texts)
{
    const auto saying = [&texts](const QString &path) {
        const QList<QPair<QString, QString>> present = ReadUserTexts(path);
        return std::all_of(texts.begin(), texts.end(), [&present](const auto &text) { return present.contains(text); });
    };
    if (saying(file))
        return {};
    const qint64 before = CountedDurationMs(file);
    MediaTag check;
    check.SourceStamp = ReadSourceStamp(file);
    const QString error = ChangeThroughCopy(file, file, true, [&](const QString &work) {
        if (!WriteUserTexts(work, texts))
            return QStringLiteral("cannot write the tag");
        const QString damage = CheckOutput(work, check, before >= 0 ? static_cast<double>(before) / 1000.0 : -1.0);
        if (!damage.isEmpty())
            return damage;
        return saying(work) ? QString() : QStringLiteral("the texts do not read back");
    });
    if (error.isEmpty())
        return {};
    qWarning("Cannot write the album's texts into %s: %s", qPrintable(file), qPrintable(error));
    return OutOfRoom(file, QFileInfo(file).size()) ? DiskFullReason() : AlbumTagFailedReason();
}

} // namespace Sveltra
