// Measures what the conversion run and the job list cost on top of the encoder, and what
// running several encoders at once gains. Run by bench/bench_run.sh; prints plain lines.
//
//   runbench run PARALLEL OUTDIR FILE...   converts FILE... through the main window's
//                                          "开始压缩" with PARALLEL encoders; prints seconds
//   runbench add FILE...                   adds FILE... to the job list; prints seconds and
//                                          the longest gap between two repaints

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

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
        PaintWatch watch;
        form.ListView1->viewport()->installEventFilter(&watch);
        QElapsedTimer clock;
        clock.start();
        watch.sinceLast.start();
        for (int i = 2; i < args.size(); ++i) {
            form.AddMediaFile(args[i]);
            QCoreApplication::processEvents();
        }
        std::printf("added %d rows in %.3f s; %d repaints, longest gap %lld ms\n", form.ListView1->rowCount(),
                    clock.elapsed() / 1000.0, watch.paints, static_cast<long long>(watch.longestGapMs));
        return form.ListView1->rowCount() == args.size() - 2 ? 0 : 1;
    }

    const int parallel = args[2].toInt();
    App().ChannelChoice = QStringLiteral("1- 立体声");
    App().QualityChoice = QStringLiteral("2- FM 广播音质");
    if (auto *box = form.findChild<QLineEdit *>(QStringLiteral("txtOutput")))
        box->setText(args[3]);
    App().TargetFolder = args[3];
    for (int i = 4; i < args.size(); ++i)
        form.AddMediaFile(args[i]);

    form.StartDiet();
    frmMonitor *monitor = form.monitorWindow();
    // Skip the window's one-second pause before the run; time the run alone.
    monitor->Timer1->stop();
    QEventLoop loop;
    QObject::connect(monitor, &frmMonitor::unloaded, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    monitor->DietMediaFile(parallel);
    loop.exec();
    int done = 0;
    for (int row = 0; row < form.ListView1->rowCount(); ++row)
        done += form.ListView1->status(row) == JobStatus::Done;
    std::printf("converted %d of %d files with %d at once in %.3f s\n", done, form.ListView1->rowCount(), parallel,
                clock.elapsed() / 1000.0);
    return done == form.ListView1->rowCount() ? 0 : 1;
}
