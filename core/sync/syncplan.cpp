#include "core/sync/syncplan.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>

#include <algorithm>

#include "core/media/audioinformation.h"
#include "core/run/runsummary.h"

namespace Sveltra {

namespace {
// Room kept free beyond what the plan adds: a tag's working copy, the lists, the estimates' error.
constexpr qint64 FitMargin = qint64(8) << 20;
} // namespace

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
