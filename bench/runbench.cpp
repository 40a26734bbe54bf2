// Measures what the conversion run and the job list cost on top of the encoder, and what
// running several encoders at once gains. Run by bench/bench_run.sh; prints plain lines.
//
//   runbench run PARALLEL OUTDIR FILE...   converts FILE... through the main window's
//                                          "开始压缩" with PARALLEL encoders; prints seconds
//   runbench library PARALLEL OUTDIR DIR   drops the folder DIR, converts it into OUTDIR (its tree
//                                          kept), then queues every row again and runs once more;
//                                          prints the seconds of both runs and what the second did
//   runbench add PATH...                   drops PATH... (files or folders) onto the job list;
//                                          prints seconds until the last row is in, the longest
//                                          gaps between event-loop turns and between repaints,
//                                          peak memory, and the times of selecting all, sorting
//                                          and removing all rows

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <functional>

#include <sys/resource.h>

#include "../tests/support/loadedform.h"
#include "core/base/appstate.h"
#include "core/base/instanceguard.h"
#include "core/settings/settings.h"
#include "gui/dialogs/frmmonitor.h"
#include "gui/mainwindow/form1.h"
#include "gui/mainwindow/joblist.h"

using namespace Sveltra;

namespace {

// Counts the job list's repaints and the longest time without one.
class PaintWatch : public QObject
{
public:
    qint64 longestGapMs = 0;
    int paints = 0;
    QElapsedTimer sinceLast;

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            if (sinceLast.isValid())
                longestGapMs = std::max(longestGapMs, sinceLast.elapsed());
            sinceLast.restart();
            ++paints;
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: runbench run PARALLEL OUTDIR FILE... | runbench add FILE...\n");
        return 2;
    }
    TestSupport::LoadedForm loaded;
    Form1 &form = loaded.form;
    form.show();
    App().EncoderProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/fastencc");

    if (args[1] == QLatin1String("add")) {
        JobList *list = form.ListView1;
        PaintWatch watch;
        list->viewport()->installEventFilter(&watch);
        // The event loop's own pulse: a 10 ms timer, and the longest time between two of its turns.
        QElapsedTimer sinceTurn;
        qint64 longestTurnMs = 0;
        QTimer pulse;
        pulse.setInterval(10);
        QObject::connect(&pulse, &QTimer::timeout, [&] { longestTurnMs = std::max(longestTurnMs, sinceTurn.restart()); });
        QMimeData dropped;
        QList<QUrl> urls;
        for (int i = 2; i < args.size(); ++i)
            urls << QUrl::fromLocalFile(args[i]);
        dropped.setUrls(urls);
        // A drag from a file manager: entering the list, then the drop.
        const auto dropPaths = [&] {
            const QPoint at = list->viewport()->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &enter);
            QDropEvent drop(QPointF(at), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &drop);
        };

        QEventLoop loop;
        QObject::connect(list, &JobList::addingFinished, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        sinceTurn.start();
        watch.sinceLast.start();
        pulse.start();
        dropPaths();
        if (list->isAdding())
            loop.exec();
        const double addSeconds = clock.elapsed() / 1000.0;
        longestTurnMs = std::max(longestTurnMs, sinceTurn.elapsed());
        pulse.stop();
        QCoreApplication::processEvents();
        const int rows = list->rowCount();
        std::printf("added %d rows in %.3f s; longest gap between event-loop turns %lld ms; %d repaints, longest gap "
                    "%lld ms\n",
                    rows, addSeconds, static_cast<long long>(longestTurnMs), watch.paints,
                    static_cast<long long>(watch.longestGapMs));

        const auto timed = [](const char *what, const std::function<void()> &step) {
            QElapsedTimer t;
            t.start();
            step();
            QCoreApplication::processEvents(); // the repaint belongs to it
            std::printf("%s: %.3f s\n", what, t.elapsed() / 1000.0);
        };
        timed("select all", [&] { list->selectAll(); });
        timed("sort by title", [&] { list->sortItems(JobColumn::Title, Qt::AscendingOrder); });
        timed("sort by play time, descending", [&] { list->sortItems(JobColumn::PlayTime, Qt::DescendingOrder); });
        timed("remove the selection (all rows)", [&] { list->RemoveSelected(); });
        dropPaths();
        if (list->isAdding())
            loop.exec();
        QTimer::singleShot(0, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->button(QMessageBox::Ok)->click();
        });
        const int again = list->rowCount();
        timed("remove all (confirmed at once)", [&] { list->RemoveAll(); });
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("peak resident memory with %d rows: %.1f MB\n", std::max(rows, again), usage.ru_maxrss / 1024.0);
        if (rows != again || list->rowCount() != 0)
            std::fprintf(stderr, "rows: %d, then %d; %d left after removing all\n", rows, again, list->rowCount());
        return rows == again && list->rowCount() == 0 ? 0 : 1;
    }

    // One run through "开始压缩" without the window's one-second pause; its seconds.
    const auto timedRun = [&form](int parallel) {
        form.StartDiet();
        frmMonitor *monitor = form.monitorWindow();
        if (!monitor)
            return -1.0;
        monitor->Timer1->stop();
        QEventLoop loop;
        QObject::connect(monitor, &frmMonitor::unloaded, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        monitor->DietMediaFile(parallel);
        loop.exec();
        const double seconds = clock.elapsed() / 1000.0;
        // The monitor goes once it has closed; the next run needs a new one.
        while (form.monitorWindow()) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return seconds;
    };

    if (args[1] == QLatin1String("library") && args.size() == 5) {
        const int parallel = args[2].toInt();
        App().ChannelChoice = QStringLiteral("1- 立体声");
        App().QualityChoice = QStringLiteral("2- FM 广播音质");
        form.findChild<QLineEdit *>(QStringLiteral("txtOutput"))->setText(args[3]);
        JobList *list = form.ListView1;
        QEventLoop adding;
        QObject::connect(list, &JobList::addingFinished, &adding, &QEventLoop::quit);
        list->AddMediaFiles({args[4]});
        if (list->isAdding())
            adding.exec();
        const int rows = list->rowCount();
        const double first = timedRun(parallel);
        int done = 0;
        for (int row = 0; row < rows; ++row) {
            done += list->status(row) == JobStatus::Done;
            list->setStatus(row, JobStatus::Queued);
        }
        const double second = timedRun(parallel);
        int kept = 0;
        for (int row = 0; row < rows; ++row)
            kept += list->status(row) == JobStatus::Done && list->note(row) == QStringLiteral("已是最新，未重新压缩");
        std::printf("first run: converted %d of %d files with %d at once in %.3f s\n", done, rows, parallel, first);
        std::printf("rerun of the unchanged library: %d of %d kept as they were in %.3f s (%.1f %% of the first run)\n", kept,
                    rows, second, second * 100.0 / first);
        return done == rows && kept == rows ? 0 : 1;
    }

    const int parallel = args[2].toInt();
    App().ChannelChoice = QStringLiteral("1- 立体声");
    App().QualityChoice = QStringLiteral("2- FM 广播音质");
    if (auto *box = form.findChild<QLineEdit *>(QStringLiteral("txtOutput")))
        box->setText(args[3]);
    App().TargetFolder = args[3];
    for (int i = 4; i < args.size(); ++i)
        form.AddMediaFile(args[i]);

    const double seconds = timedRun(parallel);
    if (seconds < 0)
        return 1;
    int done = 0;
    for (int row = 0; row < form.ListView1->rowCount(); ++row)
        done += form.ListView1->status(row) == JobStatus::Done;
    std::printf("converted %d of %d files with %d at once in %.3f s\n", done, form.ListView1->rowCount(), parallel, seconds);
    return done == form.ListView1->rowCount() ? 0 : 1;
}
