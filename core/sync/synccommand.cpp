#include "core/sync/synccommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QThread>

#include <algorithm>

#include "core/base/tempfolder.h"
#include "core/run/conversionrun.h"
#include "core/run/runsummary.h"
#include "core/sync/syncexecute.h"
#include "core/sync/syncplan.h"

namespace Sveltra {

namespace {
void Print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

int RunSyncCommand(const SyncCommand &command, std::FILE *out, std::FILE *err)
{
    SyncRequest request;
    request.library = command.library;
    request.player = command.player;
    request.channelChoice = command.channelChoice;
    request.qualityChoice = command.qualityChoice;
    request.levelled = command.levelled;
    const SyncPlan plan = PlanSync(request);
    if (!plan.refusal.isEmpty()) {
        Print(err, plan.refusal);
        qWarning("Sync refused: library %s, player %s", qPrintable(command.library), qPrintable(command.player));
        return 1;
    }
    for (const QString &line : SyncPlanLines(plan))
        Print(out, line);
    if (!plan.fits()) {
        Print(err, QCoreApplication::translate("Sveltra::Sync", "播放器的空间不够，同步没有开始。"));
        return 1;
    }
    if (plan.removesMostOutputs() && !command.yes) {
        Print(err,
              QCoreApplication::translate("Sveltra::Sync",
                                          "这次同步会删除播放器上一半以上的文件；确认无误请加 --yes 再运行。什么都没有改动。"));
        return 3;
    }
    if (command.dryRun) {
        Print(out, QCoreApplication::translate("Sveltra::Sync", "（试运行：什么都没有改动）"));
        return 0;
    }

    SyncResult result;
    ApplyFileChanges(plan, result);
    SyncRows rows(plan);
    if (rows.rowCount() > 0) {
        OwnedTempFolder temp;
        ConversionRun::Environment env;
        env.rows = &rows;
        const QString folder = plan.player + QLatin1Char('/');
        env.outputFolder = [folder] { return folder; };
        env.channelChoice = [&command] { return command.channelChoice; };
        env.qualityChoice = [&command] { return command.qualityChoice; };
        env.encoderPath = command.encoderPath;
        env.tempBasePath = (temp.isValid() ? temp.path() : GetTempFolder()) + QStringLiteral("/~sveltratmp");
        env.level = command.levelled;
        env.maxParallel = command.maxParallel > 0 ? command.maxParallel : std::max(1, QThread::idealThreadCount());
        ConversionRun run(std::move(env));
        RunSummary summary;
        int ended = 0;
        QObject::connect(&run, &ConversionRun::rowFinished, &run, [&](int row, RowOutcome outcome) {
            summary.addFinishedRow(rows, row, outcome);
            ++ended;
            const bool ok = outcome != RowOutcome::Failed;
            const QString name = QDir(plan.library)
                                     .relativeFilePath(rows.cell(row, JobColumn::SourcePath) + rows.cell(row, JobColumn::Source));
            //: One encode of a sync ended: its number, how many there are, the source.
            const QString line = ok ? QCoreApplication::translate("Sveltra::Sync", "[%1/%2] 完成 %3")
                                          .arg(QString::number(ended), QString::number(rows.rowCount()), name)
                                    : QCoreApplication::translate("Sveltra::Sync", "[%1/%2] 失败 %3：%4")
                                          .arg(QString::number(ended), QString::number(rows.rowCount()), name, rows.note(row));
            Print(out, line);
        });
        QEventLoop loop;
        QObject::connect(&run, &ConversionRun::finished, &loop, &QEventLoop::quit);
        run.start();
        loop.exec();
        summary.setQueuedAtStart(run.queuedAtStart());
        Print(out, RunSummaryText(summary));
    }
    FinishSync(plan, rows, result);
    for (const QString &problem : std::as_const(result.problems))
        Print(err, problem);
    Print(out, SyncResultText(result));
    return result.failed > 0 ? 1 : 0;
}

} // namespace Sveltra
