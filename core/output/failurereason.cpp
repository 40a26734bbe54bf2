#include "core/output/failurereason.h"

#include <QCoreApplication>

#include <algorithm>

namespace Sveltra {

namespace {

bool says(const QString &text, const char *what)
{
    return text.contains(QLatin1String(what), Qt::CaseInsensitive);
}

} // namespace

QString EncoderFailureReason(int exitCode, bool crashed, const QString &errorText)
{
    if (crashed || exitCode >= 128)
        return QCoreApplication::translate("Sveltra::FailureReason", "编码器意外终止");
    switch (exitCode) {
    case 2:
        return QCoreApplication::translate("Sveltra::FailureReason", "编码器不接受这些参数");
    case 3:
        if (says(errorText, "No such file"))
            return QCoreApplication::translate("Sveltra::FailureReason", "源文件不存在");
        if (says(errorText, "Permission denied"))
            return QCoreApplication::translate("Sveltra::FailureReason", "没有读取源文件的权限");
        return QCoreApplication::translate("Sveltra::FailureReason", "源文件无法作为音频读取");
    case 4:
        if (says(errorText, "No space left") || says(errorText, "quota"))
            return DiskFullReason();
        if (says(errorText, "File name too long"))
            return QCoreApplication::translate("Sveltra::FailureReason", "文件名太长");
        if (says(errorText, "No such file"))
            return QCoreApplication::translate("Sveltra::FailureReason", "输出文件夹不存在");
        if (says(errorText, "Permission denied") || says(errorText, "Read-only"))
            return QCoreApplication::translate("Sveltra::FailureReason", "输出文件夹不可写");
        if (says(errorText, "too large"))
            return QCoreApplication::translate("Sveltra::FailureReason", "输出文件超出大小限制");
        return OutputNotWrittenReason();
    case 5:
        return OverwritesSourceReason();
    default:
        return QCoreApplication::translate("Sveltra::FailureReason", "编码失败");
    }
}

QString EncoderNotStartedReason()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "无法启动编码器");
}

QString NoCdDriveReason()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "找不到 CD 驱动器或音轨");
}

QString CdReadFailedReason()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "无法读取 CD 音轨");
}

QString OverwritesSourceReason()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "输出文件会覆盖列表中的源文件");
}

QString NoOutputReason()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "没有生成输出文件");
}

QString DiskFullReason()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "磁盘空间不足");
}

QString OutputNotWrittenReason()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "无法写入输出文件");
}

QString TagWriteFailedReason()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "无法写入输出文件的标签");
}

QString OutputCutShortReason()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "输出文件不完整");
}

QString AlbumTagFailedReason()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "无法写入专辑的音量标签");
}

QString DamagedSourceNote(qint64 decodedMs, qint64 statedMs)
{
    const auto length = [](qint64 ms) {
        const qint64 seconds = std::max<qint64>(0, ms) / 1000;
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    };
    return QCoreApplication::translate("Sveltra::FailureReason", "源文件已损坏：只转换了 %1（应为 %2）")
        .arg(length(decodedMs), length(statedMs));
}

QString KeptAsItWasNote()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "源文件的比特率不高于所选音质，音频已原样保留，未重新编码");
}

QString UpToDateNote()
{
    return QCoreApplication::translate("Sveltra::FailureReason", "已是最新，未重新压缩");
}

} // namespace Sveltra
