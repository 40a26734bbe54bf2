// The job list and a whole conversion through the real windows: adding files of each kind,
// duplicates, removing, drops, and a run (and a cancelled run) from "开始压缩" to the rows'
// outcomes, with the real fastencc.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

#include <stdio.h>
#include <unistd.h>

#include "core/base/appstate.h"
#include "core/base/instanceguard.h"
#include "core/joblist/jobrules.h"
#include "core/media/audioinformation.h"
#include "core/settings/settings.h"
#include "gui/dialogs/frmmonitor.h"
#include "gui/mainwindow/form1.h"
#include "gui/mainwindow/joblist.h"
#include "gui/skin/picturebutton.h"
#include "tests/support/boxanswerer.h"
#include "tests/support/loadedform.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;
using TestSupport::BoxAnswerer;

namespace {

QMimeData *urlData(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    data->setUrls(urls);
    return data;
}

// Drags data over the list and drops it, as a file manager does: offering a move or a copy
// and, with Shift held, proposing the move. Returns the proposed action, then the action the
// list settled on at the entry, the move over it and the drop (IgnoreAction where it refused).
QList<Qt::DropAction> drop(JobList *list, QMimeData *dropped, Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction)
{
    const std::unique_ptr<QMimeData> data(dropped);
    const QPoint at = list->viewport()->rect().center();
    const auto settled = [](const QDropEvent &event) { return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction; };
    QDragEnterEvent enter(at, offered, data.get(), Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    QDragMoveEvent move(at, offered, data.get(), Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(list->viewport(), &move);
    QDropEvent dropEvent(QPointF(at), offered, data.get(), Qt::LeftButton, Qt::ShiftModifier);
    const Qt::DropAction proposed = dropEvent.proposedAction();
    QApplication::sendEvent(list->viewport(), &dropEvent);
    return {proposed, settled(enter), settled(move), settled(dropEvent)};
}

} // namespace

class TestJobList : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(TestMedia::makeTone(path(QStringLiteral("tone.wav")), 3.0));
        QVERIFY(TestMedia::convert(path(QStringLiteral("tone.wav")), path(QStringLiteral("中文.mp3")),
                                   {QStringLiteral("-metadata"), QStringLiteral("title=夜曲"), QStringLiteral("-metadata"),
                                    QStringLiteral("album=十一月"), QStringLiteral("-metadata"), QStringLiteral("artist=歌手"),
                                    QStringLiteral("-metadata"), QStringLiteral("date=2006"), QStringLiteral("-metadata"),
                                    QStringLiteral("comment=好"), QStringLiteral("-id3v2_version"), QStringLiteral("3")}));
        QVERIFY(TestMedia::makeId3v1OnlyMp3(path(QStringLiteral("tone.wav")), path(QStringLiteral("old.mp3")), "Old"));
        QVERIFY(TestMedia::convert(path(QStringLiteral("tone.wav")), path(QStringLiteral("song.wma")),
                                   {QStringLiteral("-c:a"), QStringLiteral("wmav2")}));
        App().EncoderProgram = QStringLiteral(SVELTRA_BIN_DIR "/fastencc");
    }

    void addsEachKindAndRefusesDuplicates()
    {
        AudioInformation info;
        JobList list(info);
        QSignalSpy messages(&list, &JobList::statusMessage);
        const QString mp3 = path(QStringLiteral("中文.mp3"));
        // Offered a move, the list takes a copy: the file manager must not delete the files.
        const QList<Qt::DropAction> copy{Qt::MoveAction, Qt::CopyAction, Qt::CopyAction, Qt::CopyAction};
        QCOMPARE(drop(&list,
                      urlData({mp3, path(QStringLiteral("old.mp3")), path(QStringLiteral("tone.wav")),
                               path(QStringLiteral("song.wma"))})),
                 copy);
        QTRY_VERIFY_WITH_TIMEOUT(!list.isAdding(), 20000);
        QCOMPARE(list.rowCount(), 4);
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages.first().first().toString(), QStringLiteral("获取媒体文件信息"));
        QCOMPARE(messages.last().first().toString(), QStringLiteral("IDLE"));

        const QStringList first = {QStringLiteral("中文.mp3"),
                                   QStringLiteral("夜曲"),
                                   m_dir.path() + QLatin1Char('/'),
                                   QStringLiteral("中文.mp3"),
                                   QStringLiteral("00:00:03"),
                                   QString::number(QFileInfo(mp3).size()),
                                   QString(),
                                   QString(),
                                   QString(),
                                   QStringLiteral("十一月"),
                                   QStringLiteral("歌手"),
                                   QStringLiteral("2006"),
                                   QStringLiteral("好"),
                                   QString()};
        for (int c = 0; c < JobColumn::Count; ++c)
            QCOMPARE(list.cell(0, c), first[c]);
        QCOMPARE(list.status(0), int(JobStatus::Queued));
        QCOMPARE(list.cell(1, JobColumn::Title), QStringLiteral("Old")); // read again in ID3v1 mode
        QCOMPARE(list.cell(2, JobColumn::Title), QStringLiteral("Unknown"));
        QCOMPARE(list.cell(2, JobColumn::Year), QStringLiteral("0"));
        QCOMPARE(list.cell(3, JobColumn::PlayTime), QStringLiteral("00:00:03"));

        BoxAnswerer answer(QMessageBox::Ok);
        list.AddMediaFile(mp3);
        QCOMPARE(list.rowCount(), 4);
        QCOMPARE(answer.seen, QStringList{QStringLiteral("重复的文件名|重复的文件名: ") + mp3});

        // A converted row no longer counts; different letter case is a different path.
        list.setStatus(0, JobStatus::Done);
        list.AddMediaFile(mp3);
        QCOMPARE(list.rowCount(), 5);
        QVERIFY(!list.IsDuplicate(mp3.toUpper()));
        QCOMPARE(answer.seen.size(), 1);
        // The test follows every way a row changes: failed again queued, removed, emptied, a CD
        // track's row put in, a source cell rewritten.
        const QString wav = path(QStringLiteral("tone.wav"));
        list.setStatus(0, JobStatus::Failed);
        QVERIFY(list.IsDuplicate(mp3));
        delete list.takeTopLevelItem(4);
        QVERIFY(!list.IsDuplicate(mp3));
        list.setStatus(0, JobStatus::Queued);
        QVERIFY(list.IsDuplicate(mp3));
        list.setCell(2, JobColumn::Source, QStringLiteral("other.wav"));
        QVERIFY(!list.IsDuplicate(wav));
        QVERIFY(list.IsDuplicate(m_dir.path() + QStringLiteral("/other.wav")));
        list.setCell(2, JobColumn::Source, QStringLiteral("tone.wav"));
        list.appendRow({QStringLiteral("Track01.cda"), QString(), QStringLiteral("/dev/sr0/"), QStringLiteral("Track01.cda")});
        QVERIFY(list.IsDuplicate(QStringLiteral("/dev/sr0/Track01.cda")));
        QVERIFY(list.IsDuplicate(wav));
        list.clear();
        QVERIFY(!list.IsDuplicate(wav));
        list.AddMediaFile(wav);
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(answer.seen.size(), 1);

        // A drop without files asks for the file browser's selection.
        QSignalSpy selection(&list, &JobList::addSelectionRequested);
        auto *plain = new QMimeData;
        plain->setText(QStringLiteral("text"));
        QCOMPARE(drop(&list, plain), copy);
        QCOMPARE(selection.size(), 1);

        // A source that allows nothing but a move is refused.
        const int rows = list.rowCount();
        QCOMPARE(drop(&list, urlData({path(QStringLiteral("tone.wav"))}), Qt::MoveAction),
                 (QList<Qt::DropAction>{Qt::MoveAction, Qt::IgnoreAction, Qt::IgnoreAction, Qt::IgnoreAction}));
        QCOMPARE(list.rowCount(), rows);
    }

    void aDroppedLibraryComesInInOrderAndSaysWhatItRefused()
    {
        // Twenty files dropped, three of which are no audio: a file, a folder walked in name
        // order (numbers by value, subfolders where they sort), another file. Two lengths of
        // tone, so that a result put on the wrong row shows.
        QTemporaryDir lib;
        const QString shortTone = lib.filePath(QStringLiteral("short.wav")), longTone = lib.filePath(QStringLiteral("long.wav"));
        QVERIFY(TestMedia::makeTone(shortTone, 1.0));
        QVERIFY(TestMedia::makeTone(longTone, 2.0));
        const QString root = lib.filePath(QStringLiteral("音乐"));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/CD 2")) && QDir().mkpath(root + QStringLiteral("/CD 10")));
        QStringList rows; // as they must come in
        QStringList lengths;
        const auto tone = [&](const QString &file, bool isLong) {
            QVERIFY(QFile::copy(isLong ? longTone : shortTone, file));
            rows << file;
            lengths << (isLong ? QStringLiteral("00:00:02") : QStringLiteral("00:00:01"));
        };
        const auto junk = [&](const QString &file) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4000, 'x'));
        };
        const QString first = lib.filePath(QStringLiteral("first.wav")), last = lib.filePath(QStringLiteral("last.wav"));
        tone(first, true);
        for (const char *name : {"1.wav", "2.wav", "10.wav"})
            tone(root + QLatin1Char('/') + QLatin1String(name), rows.size() % 2 == 0);
        junk(root + QStringLiteral("/bad3.flac"));
        QFile(root + QStringLiteral("/cover.jpg")).open(QIODevice::WriteOnly); // not audio by name: not taken
        for (const char *disc : {"/CD 2/", "/CD 10/"}) {
            for (int track = 1; track <= 6; ++track)
                tone(root + QLatin1String(disc) + QStringLiteral("%1.wav").arg(track, 2, 10, QLatin1Char('0')), track % 2 == 0);
        }
        junk(root + QStringLiteral("/CD 2/bad1.mp3"));
        junk(root + QStringLiteral("/CD 10/bad2.wav"));
        tone(last, false);
        QCOMPARE(rows.size(), 17);

        AudioInformation info;
        JobList list(info);
        QSignalSpy messages(&list, &JobList::statusMessage);
        QSignalSpy finished(&list, &JobList::addingFinished);
        BoxAnswerer answer(QMessageBox::Ok);
        drop(&list, urlData({first, root, last}));
        QVERIFY(list.isAdding());
        // Added while the drop is still coming in: after it, with the duplicate box in its place.
        list.AddMediaFile(first);
        list.AddMediaFile(shortTone);
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(answer.seen, QStringList{QStringLiteral("重复的文件名|重复的文件名: ") + first});

        rows << shortTone;
        lengths << QStringLiteral("00:00:01");
        QCOMPARE(list.rowCount(), rows.size());
        for (int row = 0; row < rows.size(); ++row) {
            QCOMPARE(list.sourcePath(row), rows[row]);
            QCOMPARE(list.cell(row, JobColumn::PlayTime), lengths[row]);
            QCOMPARE(list.status(row), int(JobStatus::Queued));
            // The folder's rows remember it (their outputs keep their place under it).
            QCOMPARE(list.baseFolder(row), rows[row].startsWith(root + QLatin1Char('/')) ? root : QString());
        }

        // Said once: in the status bar after "IDLE", and in one notice that waits for no answer.
        QStringList said;
        for (const QList<QVariant> &m : std::as_const(messages))
            said << m.first().toString();
        QCOMPARE(said,
                 (QStringList{QStringLiteral("获取媒体文件信息"), QStringLiteral("IDLE"),
                              QStringLiteral("3 个文件无法作为音频读取，未添加：bad3.flac 等")}));
        const QList<QMessageBox *> notices = list.findChildren<QMessageBox *>(QStringLiteral("RefusedNotice"));
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices[0]->isVisible() && !notices[0]->isModal());
        QCOMPARE(notices[0]->text(), QStringLiteral("以下 3 个文件无法作为音频读取，未添加：\nbad3.flac\nbad1.mp3\nbad2.wav"));
        QVERIFY(notices[0]->detailedText().contains(root + QStringLiteral("/CD 10/bad2.wav")));
        // Every picture in it has a name a screen reader can say.
        for (const QLabel *label : notices[0]->findChildren<QLabel *>()) {
            if (!label->pixmap().isNull())
                QVERIFY2(!label->accessibleName().isEmpty(), qPrintable(label->objectName()));
        }

        // One file that cannot be read, given alone: the status bar names it, no notice.
        notices[0]->close();
        messages.clear();
        list.AddMediaFile(root + QStringLiteral("/bad3.flac"));
        QCOMPARE(messages.last().first().toString(), QStringLiteral("无法作为音频读取，未添加：bad3.flac"));
        QTest::qWait(50);
        QVERIFY(list.findChildren<QMessageBox *>(QStringLiteral("RefusedNotice")).isEmpty());
        QCOMPARE(answer.seen.size(), 1);
    }

    // A folder walked never gives back what the program wrote: the output folder inside it is
    // passed over, and an output that lies beside its sources (a run into the folder it read) is
    // known by its mark; the notice says so in one line. Named on their own, the output folder's
    // files are read, its marked outputs still refused.
    void aFolderWalkLeavesTheProgramsOutputsOut()
    {
        QTemporaryDir lib;
        const QString source = lib.filePath(QStringLiteral("song.wav")), plain = lib.filePath(QStringLiteral("plain.mp3"));
        const QString out = lib.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        QVERIFY(TestMedia::makeTone(source, 1.0));
        QVERIFY(TestMedia::convert(source, plain, {QStringLiteral("-b:a"), QStringLiteral("64k")}));
        const QString inOut = out + QStringLiteral("/D-song.MP3"), beside = lib.filePath(QStringLiteral("D-old.MP3"));
        for (const QString &output : {inOut, beside}) {
            QVERIFY(QFile::copy(plain, output));
            QVERIFY(WriteSourceStamp(output, QStringLiteral("made here")));
        }
        const QString usersOwn = out + QStringLiteral("/mine.wav");
        QVERIFY(QFile::copy(source, usersOwn));

        const QString target = App().TargetFolder;
        const auto restore = qScopeGuard([target] { App().TargetFolder = target; });
        App().TargetFolder = out + QLatin1Char('/');
        AudioInformation info;
        JobList list(info);
        QSignalSpy finished(&list, &JobList::addingFinished);
        list.AddMediaFiles({lib.path()});
        QVERIFY(finished.wait(30000));
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.sourcePath(0), plain);
        QCOMPARE(list.sourcePath(1), source);
        auto *notice = list.findChild<QMessageBox *>(QStringLiteral("RefusedNotice"));
        QVERIFY(notice);
        QCOMPARE(notice->text(), QStringLiteral("3 个文件在输出文件夹中或是 Sveltra 压缩出来的文件，未作为原文件添加。"));
        QVERIFY(notice->detailedText().contains(inOut) && notice->detailedText().contains(beside));
        notice->close();

        list.clear();
        list.AddMediaFiles({out});
        QVERIFY(finished.wait(30000));
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(list.sourcePath(0), usersOwn);
    }

    // Whatever of one add cannot become a row is named in one notice that waits for no answer,
    // a paragraph per reason: not there (a missing path, a link to nothing), a name that is not
    // UTF-8, not audio, already queued. Fifty duplicates make one notice, not fifty boxes; one
    // duplicate added by hand keeps its box.
    void everyRefusalOfAnAddIsNamedInOneNotice()
    {
        QTemporaryDir lib;
        const QString good = lib.filePath(QStringLiteral("good.wav"));
        QVERIFY(TestMedia::makeTone(good, 1.0));
        QStringList queued;
        for (int i = 0; i < 50; ++i) {
            queued << lib.filePath(QStringLiteral("q%1.wav").arg(i));
            QVERIFY(QFile::copy(good, queued.last()));
        }
        const QString notAudio = lib.filePath(QStringLiteral("notes.wav"));
        {
            QFile f(notAudio);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4000, 'x'));
        }
        const QString missing = lib.filePath(QStringLiteral("missing.wav"));
        const QString link = lib.filePath(QStringLiteral("link.wav"));
        QVERIFY(QFile::link(lib.filePath(QStringLiteral("gone.wav")), link));
        // A real WAV file whose name is Latin-1: its bytes do not survive decoding as UTF-8.
        const QByteArray latin1 = QFile::encodeName(lib.path()) + "/caf\xe9.wav";
        QVERIFY(::rename(QFile::encodeName(queued.last()).constData(), latin1.constData()) == 0);
        // QTemporaryDir cannot remove a name it cannot decode: the test does.
        const auto removeLatin1 = qScopeGuard([latin1] { ::unlink(latin1.constData()); });
        queued.removeLast();
        const QString unreadable = QFile::decodeName(latin1);
        QVERIFY(!QFileInfo::exists(unreadable));

        AudioInformation info;
        JobList list(info);
        QSignalSpy finished(&list, &JobList::addingFinished);
        QSignalSpy messages(&list, &JobList::statusMessage);
        list.AddMediaFiles(queued);
        QVERIFY(finished.wait(30000));
        QCOMPARE(list.rowCount(), 49);
        const auto visibleNotices = [&list] {
            QList<QMessageBox *> shown;
            for (QMessageBox *box : list.findChildren<QMessageBox *>(QStringLiteral("RefusedNotice"))) {
                if (box->isVisible())
                    shown << box;
            }
            return shown;
        };
        QVERIFY(visibleNotices().isEmpty());

        // As a hand-over brings them: everything named, no box.
        BoxAnswerer answer(QMessageBox::Ok);
        list.AddMediaFiles(QStringList{good, notAudio, missing} + queued.mid(0, 2) + QStringList{link, unreadable});
        QVERIFY(finished.wait(30000));
        QCOMPARE(list.rowCount(), 50);
        QVERIFY(answer.seen.isEmpty());
        QCOMPARE(messages.last().first().toString(), QStringLiteral("6 个文件未添加：notes.wav 等"));
        QList<QMessageBox *> notices = visibleNotices();
        QCOMPARE(notices.size(), 1);
        QVERIFY(!notices[0]->isModal());
        QCOMPARE(notices[0]->text(),
                 QStringLiteral("以下 2 个文件找不到，未添加：\nmissing.wav\nlink.wav\n\n"
                                "以下 1 个文件的文件名无法读取，未添加：\n")
                     + GetFileName(unreadable)
                     + QStringLiteral("\n\n以下 1 个文件无法作为音频读取，未添加：\nnotes.wav\n\n"
                                      "以下 2 个文件已在压缩列表中（重复的文件名），未添加：\nq0.wav\nq1.wav"));
        QVERIFY(notices[0]->detailedText().contains(QStringLiteral("找不到文件：\n") + missing + QLatin1Char('\n') + link));

        // Forty-nine queued files dropped again: one notice, its names cut at twenty.
        drop(&list, urlData(queued));
        QVERIFY(finished.wait(30000));
        QVERIFY(answer.seen.isEmpty());
        QTRY_COMPARE(visibleNotices().size(), 1);
        notices = visibleNotices();
        QVERIFY(
            notices[0]->text().startsWith(QStringLiteral("以下 49 个文件已在压缩列表中（重复的文件名），未添加：\nq0.wav\n")));
        QVERIFY(notices[0]->text().endsWith(QStringLiteral("\nq19.wav\n……")));
        QCOMPARE(messages.last().first().toString(), QStringLiteral("49 个文件未添加：q0.wav 等"));

        // One duplicate dropped by hand: its own box, no notice.
        notices[0]->close();
        drop(&list, urlData({good}));
        QVERIFY(finished.wait(30000));
        QCOMPARE(answer.seen, QStringList{QStringLiteral("重复的文件名|重复的文件名: ") + good});
        QTRY_VERIFY(visibleNotices().isEmpty());
        QCOMPARE(list.rowCount(), 50);
    }

    void removingRows()
    {
        AudioInformation info;
        JobList list(info);
        for (int i = 1; i <= 4; ++i)
            list.appendRow({QStringLiteral("r%1").arg(i)});
        list.topLevelItem(1)->setSelected(true);
        list.topLevelItem(2)->setSelected(true);
        list.RemoveSelected();
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.cell(0, 0), QStringLiteral("r1"));
        QCOMPARE(list.cell(1, 0), QStringLiteral("r4"));

        {
            BoxAnswerer cancel(QMessageBox::Cancel);
            list.RemoveAll();
            QCOMPARE(cancel.seen, QStringList{QStringLiteral("确认全部删除|您真的想要删除所有项目吗？")});
            QCOMPARE(cancel.defaults, QList<QMessageBox::StandardButton>{QMessageBox::Cancel});
        }
        QCOMPARE(list.rowCount(), 2);
        BoxAnswerer ok(QMessageBox::Ok);
        list.RemoveAll();
        QCOMPARE(list.rowCount(), 0);
    }

    void aRunThroughTheWindows()
    {
        TestSupport::LoadedForm loaded;
        Form1 &form = loaded.form;
        QCOMPARE(loaded.loaded, Form1::LoadResult::Loaded);
        form.show();
        App().ChannelChoice = QStringLiteral("2- 单声道");
        App().QualityChoice = QStringLiteral("2- FM 广播音质");
        const QString out = path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        App().TargetFolder = out;
        if (auto *box = form.findChild<QLineEdit *>(QStringLiteral("txtOutput")))
            box->setText(out);

        form.AddMediaFile(path(QStringLiteral("中文.mp3")));
        form.AddMediaFile(path(QStringLiteral("tone.wav")));
        QFile bad(path(QStringLiteral("bad.wav")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(100, 'x'));
        bad.close();
        form.ListView1->appendRow({QStringLiteral("bad.wav"), QStringLiteral("Bad"), m_dir.path() + QLatin1Char('/'),
                                   QStringLiteral("bad.wav"), QString(), QStringLiteral("100")});
        QCOMPARE(form.ListView1->rowCount(), 3);

        form.StartDiet();
        frmMonitor *monitor = form.monitorWindow();
        QVERIFY(monitor);
        QVERIFY(form.isHidden());
        QCOMPARE(monitor->PicFile1->accessibleName(), QStringLiteral("000"));
        QCOMPARE(monitor->imgExit->accessibleName(), QStringLiteral("停止"));
        QCOMPARE(monitor->windowTitle(), QStringLiteral("Sveltra"));
        QSignalSpy unloaded(monitor, &frmMonitor::unloaded);
        QVERIFY(unloaded.wait(120000));
        QVERIFY(form.isVisible());
        QVERIFY(!form.monitorWindow() || !form.monitorWindow()->isVisible());

        const QString target = out + QStringLiteral("/D-Mono-FM-中文.mp3");
        QCOMPARE(form.ListView1->status(0), int(JobStatus::Done));
        QCOMPARE(form.ListView1->cell(0, JobColumn::Target), target);
        QVERIFY(form.ListView1->cell(0, JobColumn::Ratio).endsWith(QLatin1Char('%')));
        QCOMPARE(form.ListView1->status(1), int(JobStatus::Done));
        QCOMPARE(form.ListView1->cell(1, JobColumn::Target), out + QStringLiteral("/D-Mono-FM-tone.MP3"));
        QCOMPARE(form.ListView1->status(2), int(JobStatus::Failed));
        QCOMPARE(App().TargetFolder, out + QLatin1Char('/'));

        const TestMedia::Probe probe = TestMedia::probe(target);
        QCOMPARE(probe.stream.value(QStringLiteral("channels")).toInt(), 1);
        QCOMPARE(probe.tags().value(QStringLiteral("title")).toString(), QStringLiteral("夜曲"));
        QCOMPARE(probe.tags().value(QStringLiteral("encoder")).toString(), QStringLiteral("Sveltra Version 4"));
        QCOMPARE(probe.tags().value(QStringLiteral("comment")).toString(), QStringLiteral("好")); // the source's, kept

        // The monitor's animation: the caption grows a row of marks, never past four.
        QCOMPARE(frmMonitor::ArrowCount >= 1 && frmMonitor::ArrowCount <= 4, true);
        QVERIFY(frmMonitor::ProgressValue % 5 == 0 && frmMonitor::ProgressValue < 100);
    }

    void cancellingARunThroughTheExitPicture()
    {
        TestSupport::LoadedForm loaded;
        Form1 &form = loaded.form;
        QCOMPARE(loaded.loaded, Form1::LoadResult::Loaded);
        App().ChannelChoice = QStringLiteral("1- 立体声");
        App().QualityChoice = QStringLiteral("1- CD 音质");
        const QString out = path(QStringLiteral("cancel/"));
        QVERIFY(QDir().mkpath(out));
        App().TargetFolder = out;
        if (auto *box = form.findChild<QLineEdit *>(QStringLiteral("txtOutput")))
            box->setText(out);
        const QString longWav = path(QStringLiteral("long.wav"));
        QVERIFY(TestMedia::makeTone(longWav, 900.0, 44100, 2, 330));
        form.AddMediaFile(longWav);
        QCOMPARE(form.ListView1->rowCount(), 1);

        form.StartDiet();
        frmMonitor *monitor = form.monitorWindow();
        QSignalSpy unloaded(monitor, &frmMonitor::unloaded);
        QTRY_COMPARE_WITH_TIMEOUT(monitor->MonitorState, MonitorPhase::Encoding, 10000);
        QTest::qWait(300);
        QTest::mouseClick(monitor->imgExit, Qt::LeftButton);
        QVERIFY(unloaded.wait(5000));
        QCOMPARE(form.ListView1->status(0), int(JobStatus::Queued));
        QCOMPARE(form.ListView1->cell(0, JobColumn::Target), QString());
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(form.isVisible());
    }
};

QTEST_MAIN(TestJobList)
#include "test_joblist.moc"
