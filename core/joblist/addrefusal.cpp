#include "core/joblist/addrefusal.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include "core/joblist/jobrules.h"

namespace Sveltra {

namespace {

constexpr AddRefusal Order[] = {AddRefusal::NotFound,       AddRefusal::NameUnreadable, AddRefusal::NotAudio,
                                AddRefusal::DiscUnreadable, AddRefusal::Duplicate,      AddRefusal::OwnOutput};

// "以下 N 个文件<phrase>，未添加：" for each reason.
QString Phrase(AddRefusal reason)
{
    switch (reason) {
    case AddRefusal::NotFound:
        return QCoreApplication::translate("Sveltra::AddRefusal", "找不到");
    case AddRefusal::NameUnreadable:
        return QCoreApplication::translate("Sveltra::AddRefusal", "的文件名无法读取");
    case AddRefusal::NotAudio:
        return QCoreApplication::translate("Sveltra::AddRefusal", "无法作为音频读取");
    case AddRefusal::DiscUnreadable:
        return QCoreApplication::translate("Sveltra::AddRefusal", "所在的 CD 映像或光盘无法读取");
    case AddRefusal::Duplicate:
        return QCoreApplication::translate("Sveltra::AddRefusal", "已在压缩列表中（重复的文件名）");
    case AddRefusal::OwnOutput:
        return QCoreApplication::translate("Sveltra::AddRefusal", "在输出文件夹中或是 Sveltra 压缩出来的文件");
    case AddRefusal::None:
        break;
    }
    return QString();
}

QList<RefusedPath> WithReason(const QList<RefusedPath> &refused, AddRefusal reason)
{
    QList<RefusedPath> group;
    for (const RefusedPath &r : refused) {
        if (r.reason == reason)
            group << r;
    }
    return group;
}

} // namespace

AddRefusal RefusalOfUnreadable(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return AddRefusal::NotAudio;
    return path.contains(QChar::ReplacementCharacter) ? AddRefusal::NameUnreadable : AddRefusal::NotFound;
}

QString RefusalText(AddRefusal reason)
{
    switch (reason) {
    case AddRefusal::NotFound:
        return QCoreApplication::translate("Sveltra::AddRefusal", "找不到文件");
    case AddRefusal::NameUnreadable:
        return QCoreApplication::translate("Sveltra::AddRefusal", "文件名无法读取");
    case AddRefusal::NotAudio:
        return QCoreApplication::translate("Sveltra::AddRefusal", "无法作为音频读取");
    case AddRefusal::DiscUnreadable:
        return QCoreApplication::translate("Sveltra::AddRefusal", "CD 映像或光盘无法读取");
    case AddRefusal::Duplicate:
        return QCoreApplication::translate("Sveltra::AddRefusal", "重复的文件名");
    case AddRefusal::OwnOutput:
        return QCoreApplication::translate("Sveltra::AddRefusal", "Sveltra 的输出文件");
    case AddRefusal::None:
        break;
    }
    return QString();
}

QString RefusedStatusLine(const QList<RefusedPath> &refused)
{
    if (refused.isEmpty())
        return QString();
    const QString first = GetFileName(refused.first().path);
    const AddRefusal reason = refused.first().reason;
    const bool oneReason = WithReason(refused, reason).size() == refused.size();
    if (oneReason && reason == AddRefusal::NotAudio)
        return RefusedFilesMessage(static_cast<int>(refused.size()), first);
    if (refused.size() == 1)
        return QCoreApplication::translate("Sveltra::AddRefusal", "%1，未添加：%2").arg(RefusalText(reason), first);
    return QCoreApplication::translate("Sveltra::AddRefusal", "%n 个文件未添加：%2 等", nullptr, int(refused.size())).arg(first);
}

QString RefusedNoticeText(const QList<RefusedPath> &refused, int names)
{
    QStringList paragraphs;
    int left = names;
    for (const AddRefusal reason : Order) {
        const QList<RefusedPath> group = WithReason(refused, reason);
        if (group.isEmpty())
            continue;
        if (reason == AddRefusal::OwnOutput) {
            paragraphs << QCoreApplication::translate("Sveltra::AddRefusal", "%n 个文件%2，未作为原文件添加。", nullptr,
                                                      int(group.size()))
                              .arg(Phrase(reason));
            continue;
        }
        QStringList lines{
            QCoreApplication::translate("Sveltra::AddRefusal", "以下 %n 个文件%2，未添加：", nullptr, int(group.size()))
                .arg(Phrase(reason))};
        for (const RefusedPath &r : group) {
            if (left <= 0) {
                lines << QStringLiteral("……");
                break;
            }
            lines << GetFileName(r.path);
            --left;
        }
        paragraphs << lines.join(QLatin1Char('\n'));
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

QString RefusedNoticeDetails(const QList<RefusedPath> &refused)
{
    QStringList paragraphs;
    for (const AddRefusal reason : Order) {
        const QList<RefusedPath> group = WithReason(refused, reason);
        if (group.isEmpty())
            continue;
        //: After the reason, before the list of files it refused.
        QStringList lines{RefusalText(reason) + QCoreApplication::translate("Sveltra::AddRefusal", "：")};
        for (const RefusedPath &r : group)
            lines << r.path;
        paragraphs << lines.join(QLatin1Char('\n'));
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace Sveltra
