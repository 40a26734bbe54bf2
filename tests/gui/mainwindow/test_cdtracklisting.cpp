// CD tracks from a disc image made at test time, named by a CDDB peer on 127.0.0.1: the folder
// tree shows the opened image on top, the file list shows its tracks with their lengths, adding them fills rows from CDDB with
// one lookup, a run rips and encodes them, and an unknown disc or a silent server falls back to TRACKnn.

#include <QDir>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "core/base/appstate.h"
#include "core/base/instanceguard.h"
#include "core/cd/audiograbber.h"
#include "core/joblist/jobrules.h"
#include "core/settings/settings.h"
#include "gui/dialogs/frmmonitor.h"
#include "gui/mainwindow/cdtracklisting.h"
#include "gui/mainwindow/filelist.h"
#include "gui/mainwindow/foldertree.h"
#include "gui/mainwindow/form1.h"
#include "gui/mainwindow/joblist.h"
#include "gui/skin/picturebutton.h"
#include "tests/support/cdimage.h"
#include "tests/support/httppeer.h"
#include "tests/support/loadedform.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;

class TestCdTracks : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TestCd::Image m_image;

    QString track(int n) const { return m_image.cuePath + QStringLiteral("/Track%1.cda").arg(n, 2, 10, QLatin1Char('0')); }

    static TestSupport::HttpReply knownDisc(const TestSupport::HttpRequest &request)
    {
        if (CddbCmd(request).startsWith(QLatin1String("cddb query")))
            return {200, QStringLiteral("200 misc 1a2b3c03 歌手 / 专辑\r\n").toUtf8()};
        if (CddbCmd(request).startsWith(QLatin1String("cddb read")))
            return {200,
                    QStringLiteral("210 misc 1a2b3c03 CD database entry follows (until terminating `.')\r\n"
                                   "# xmcd\r\nDISCID=1a2b3c03\r\nDTITLE=歌手 / 专辑\r\nDYEAR=2001\r\nDGENRE=流行\r\n"
                                   "TTITLE0=第一首\r\nTTITLE1=AC/DC: 二\r\nTTITLE2=第三\r\nEXTD=\r\n.\r\n")
                        .toUtf8()};
        return {404, {}};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(TestCd::MakeImage(&m_image, m_dir.path(), QStringLiteral("碟片"), {{1.0, 440}, {2.0, 660}, {3.0, 880}}, false, 2,
                                  30));
        App().EncoderProgram = QStringLiteral(SVELTRA_BIN_DIR "/fastencc");
    }

    void init()
    {
        App() = ApplicationState();
        App().EncoderProgram = QStringLiteral(SVELTRA_BIN_DIR "/fastencc");
    }

    void knownDiscIsListedNamedAndConverted()
    {
        TestSupport::HttpPeer peer;
        peer.handler = knownDisc;
        TestSupport::LoadedForm loaded;
        Form1 &form = loaded.form;
        QCOMPARE(loaded.loaded, Form1::LoadResult::Loaded);
        form.AudioGrabber1->SetCddbBaseUrl(CddbUrl(peer));

        // The image is a folder of tracks in the file list.
        form.XListView1->setFolderPath(m_image.cuePath);
        QTRY_COMPARE(form.XListView1->FolderPath(), m_image.cuePath);
        form.XListView1->selectNames(
            {QStringLiteral("Track01.cda"), QStringLiteral("Track02.cda"), QStringLiteral("Track03.cda")});
        QStringList listed;
        for (auto item = form.XListView1->FirstSelected(); item; item = form.XListView1->NextSelected())
            listed << item->Path();
        QCOMPARE(listed, (QStringList{track(1), track(2), track(3)}));

        form.AddSelectedFiles();
        JobList *list = form.ListView1;
        QTRY_VERIFY_WITH_TIMEOUT(!list->isAdding(), 20000);
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(peer.requests.size(), 2); // one query and one read for the whole disc
        QCOMPARE(list->cell(0, JobColumn::Title), QStringLiteral("第一首"));
        QCOMPARE(list->cell(1, JobColumn::Title), QStringLiteral("AC/DC: 二"));
        QCOMPARE(list->cell(0, JobColumn::Album), QStringLiteral("专辑"));
        QCOMPARE(list->cell(0, JobColumn::Artist), QStringLiteral("歌手"));
        QCOMPARE(list->cell(0, JobColumn::Genre), QStringLiteral("流行"));
        QCOMPARE(list->topLevelItem(2)->toolTip(JobColumn::Title), QStringLiteral("曲名来自 CDDB"));
        QCOMPARE(list->cell(0, JobColumn::SourcePath), m_image.cuePath + QLatin1Char('/'));
        QCOMPARE(list->cell(1, JobColumn::PlayTime), QStringLiteral("00:00:02"));
        QCOMPARE(list->cell(1, JobColumn::Size), CdSizeEstimateText(qint64(m_image.trackSectors(2)) * 1000 / 75));
        QCOMPARE(list->cell(0, JobColumn::Year), QString());
        QCOMPARE(list->status(2), int(JobStatus::Queued));
        QCOMPARE(App().LastLookupDrive, form.AudioGrabber1->CurrentDrive());

        // Convert them.
        const QString out = m_dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        form.findChild<QLineEdit *>(QStringLiteral("txtOutput"))->setText(out);
        App().ChannelChoice = QStringLiteral("1- 立体声");
        App().QualityChoice = QStringLiteral("1- CD 音质");
        form.StartDiet();
        QSignalSpy unloaded(form.monitorWindow(), &frmMonitor::unloaded);
        QVERIFY(unloaded.wait(60000));
        const QStringList names = {QStringLiteral("D-CD-01-第一首.MP3"), QStringLiteral("D-CD-02-AC／DC： 二.MP3"),
                                   QStringLiteral("D-CD-03-第三.MP3")};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(list->status(i), int(JobStatus::Done));
            QCOMPARE(list->cell(i, JobColumn::Target), out + QLatin1Char('/') + names[i]);
        }
        const TestMedia::Probe probe = TestMedia::probe(out + QLatin1Char('/') + names[1]);
        QCOMPARE(probe.tags().value(QStringLiteral("title")).toString(), QStringLiteral("AC/DC: 二"));
        QCOMPARE(probe.tags().value(QStringLiteral("album")).toString(), QStringLiteral("专辑"));
        QCOMPARE(probe.tags().value(QStringLiteral("artist")).toString(), QStringLiteral("歌手"));
        // What the disc's entry says beyond the row: track of the disc's tracks, year, genre, and
        // the disc artist as album artist.
        QCOMPARE(probe.tags().value(QStringLiteral("track")).toString(), QStringLiteral("2/3"));
        QCOMPARE(probe.tags().value(QStringLiteral("date")).toString(), QStringLiteral("2001"));
        QCOMPARE(probe.tags().value(QStringLiteral("genre")).toString(), QStringLiteral("流行"));
        QCOMPARE(probe.tags().value(QStringLiteral("album_artist")).toString(), QStringLiteral("歌手"));
    }

    void openedImageIsAFolderOnTopOfTheTree()
    {
        QTemporaryDir home;
        SettingsFile settings(home.filePath(QStringLiteral("Sveltra.ini")));
        InstanceGuard guard(home.filePath(QStringLiteral("lock")));
        Form1 form(settings, guard);
        form.Form_Load();
        FolderTreeView *tree = form.findChild<FolderTreeView *>(QStringLiteral("XTreeView1"));
        FileListView *files = form.findChild<FileListView *>(QStringLiteral("XListView1"));
        QVERIFY(tree && files);
        QAbstractItemModel *model = tree->model();
        const auto topPaths = [&] {
            QStringList paths;
            for (int row = 0; row < model->rowCount(); ++row)
                paths << model->index(row, 0).data(QFileSystemModel::FilePathRole).toString();
            return paths;
        };
        QVERIFY(!topPaths().contains(m_image.cuePath));
        QCOMPARE(topPaths().last(), QDir::rootPath());

        // Opening the image in the file list makes it a drive: a folder above the file system.
        files->setFolderPath(m_image.cuePath);
        QStringList top = topPaths();
        const int row = int(top.indexOf(m_image.cuePath));
        QVERIFY(row >= 0);
        QCOMPARE(top.last(), QDir::rootPath());
        QCOMPARE(model->index(row, 0).data().toString(), QStringLiteral("碟片.cue"));
        QCOMPARE(tree->currentFolder(), m_image.cuePath);

        // Its tracks, each with the size of its audio and its play length.
        const QModelIndex root = files->rootIndex();
        QCOMPARE(files->model()->rowCount(root), 3);
        for (int n = 1; n <= 3; ++n) {
            const qint64 sectors = m_image.trackSectors(n);
            QCOMPARE(files->model()->index(n - 1, 0, root).data().toString(),
                     QStringLiteral("Track%1.cda").arg(n, 2, 10, QLatin1Char('0')));
            QCOMPARE(files->model()->index(n - 1, 1, root).data().toString(),
                     QLocale::system().formattedDataSize(44 + sectors * 2352));
            QCOMPARE(files->model()->index(n - 1, 4, root).data().toString(), FormatDuration(sectors * 1000 / 75));
        }
        QCOMPARE(files->model()->index(2, 4, root).data().toString(), QStringLiteral("00:00:03"));

        // Away and back through the tree; opening the image again adds no second row.
        tree->setCurrentIndex(model->index(model->rowCount() - 1, 0));
        QCOMPARE(files->FolderPath(), QDir::toNativeSeparators(QDir::rootPath()));
        tree->setCurrentIndex(model->index(row, 0));
        QCOMPARE(files->FolderPath(), m_image.cuePath);
        QCOMPARE(files->model()->rowCount(files->rootIndex()), 3);
        files->setFolderPath(m_image.cuePath);
        QCOMPARE(topPaths(), top);
    }

    void unknownDiscOrSilentServerGiveTrackTitles_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("202") << false;
        QTest::newRow("no answer") << true;
    }

    void unknownDiscOrSilentServerGiveTrackTitles()
    {
        QFETCH(bool, silent);
        TestSupport::HttpPeer peer;
        peer.handler = [silent](const TestSupport::HttpRequest &) {
            return silent ? TestSupport::HttpReply::silent() : TestSupport::HttpReply{200, "202 No match found\r\n"};
        };
        TestSupport::LoadedForm loaded;
        Form1 &form = loaded.form;
        QCOMPARE(loaded.loaded, Form1::LoadResult::Loaded);
        form.AudioGrabber1->SetCddbBaseUrl(CddbUrl(peer));
        form.AudioGrabber1->CddbTimeoutMs = 1500;

        QElapsedTimer clock;
        clock.start();
        form.AddMediaFile(track(1));
        QVERIFY(clock.elapsed() < 5000);
        form.AddMediaFile(track(3));
        QCOMPARE(form.ListView1->rowCount(), 2);
        QCOMPARE(form.ListView1->cell(0, JobColumn::Title), QStringLiteral("TRACK01"));
        QCOMPARE(form.ListView1->cell(1, JobColumn::Title), QStringLiteral("TRACK03"));
        QCOMPARE(form.ListView1->cell(1, JobColumn::Album), QString());
        QCOMPARE(form.ListView1->topLevelItem(0)->toolTip(JobColumn::Title), QString()); // nothing named it
        QCOMPARE(peer.requests.size(), 1); // the second track does not look the disc up again

        // A track of a drive that does not exist adds nothing.
        form.AddMediaFile(QStringLiteral("/dev/nothing/Track01.cda"));
        QCOMPARE(form.ListView1->rowCount(), 2);

        // Tracks named on a command line that can become no row are named with their reason: of
        // an image that does not open, of one that is gone, a track the disc does not have.
        const QString damaged = m_dir.filePath(QStringLiteral("坏.cue"));
        QFile sheet(damaged);
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("FILE \"nothing here\"\nTRACK zero\n\x01\x02\n");
        sheet.close();
        form.AddMediaFiles(
            {damaged + QStringLiteral("/Track01.cda"), m_dir.filePath(QStringLiteral("gone.cue/Track02.cda")), track(7)});
        QTRY_VERIFY_WITH_TIMEOUT(!form.ListView1->isAdding(), 20000);
        QCOMPARE(form.ListView1->rowCount(), 2);
        auto *notice = form.findChild<QMessageBox *>(QStringLiteral("RefusedNotice"));
        QVERIFY(notice);
        QCOMPARE(notice->text(),
                 QStringLiteral("以下 2 个文件找不到，未添加：\nTrack02.cda\nTrack07.cda\n\n"
                                "以下 1 个文件所在的 CD 映像或光盘无法读取，未添加：\nTrack01.cda"));
        notice->close();
    }

    // The stop picture pressed while the first of two tracks is ripped: the run ends at once, the
    // main window comes back, both rows stay queued and the run's temporary folder is gone.
    void stopWhileRippingWithATrackWaiting()
    {
        TestCd::Image image;
        const QString discDir = m_dir.filePath(QStringLiteral("long"));
        QVERIFY(QDir().mkpath(discDir));
        QVERIFY(TestCd::MakeImage(&image, discDir, QStringLiteral("长碟"), {{60.0, 330}, {2.0, 440}}, false));
        QTemporaryDir temp;
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", temp.path().toUtf8());
        TestSupport::HttpPeer peer;
        peer.handler = [](const TestSupport::HttpRequest &) { return TestSupport::HttpReply{200, "202 No match found\r\n"}; };
        TestSupport::LoadedForm loaded;
        Form1 &form = loaded.form;
        form.AudioGrabber1->SetCddbBaseUrl(CddbUrl(peer));
        form.show();
        for (int n : {1, 2})
            form.AddMediaFile(image.cuePath + QStringLiteral("/Track%1.cda").arg(n, 2, 10, QLatin1Char('0')));
        QCOMPARE(form.ListView1->rowCount(), 2);
        const QString out = m_dir.filePath(QStringLiteral("stopped"));
        QVERIFY(QDir().mkpath(out));
        form.findChild<QLineEdit *>(QStringLiteral("txtOutput"))->setText(out);

        form.StartDiet();
        frmMonitor *monitor = form.monitorWindow();
        QVERIFY(monitor && form.isHidden());
        QSignalSpy unloaded(monitor, &frmMonitor::unloaded);
        QTRY_COMPARE_WITH_TIMEOUT(monitor->MonitorState, MonitorPhase::Ripping, 10000);
        QTest::mouseClick(monitor->imgExit, Qt::LeftButton);
        QVERIFY(unloaded.count() == 1 || unloaded.wait(5000));
        QVERIFY(!form.isHidden());
        QCOMPARE(form.ListView1->status(0), int(JobStatus::Queued));
        QCOMPARE(form.ListView1->status(1), int(JobStatus::Queued));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
        QTRY_COMPARE(QDir(temp.path()).entryList({QStringLiteral("sveltra-*")}, QDir::AllEntries | QDir::Hidden), QStringList());
        qputenv("TMPDIR", oldTemp);
    }

    void sizeEstimates()
    {
        QCOMPARE(CdSizeEstimateText(1000), QStringLiteral("180224"));
        QCOMPARE(CdSizeEstimateText(1234), QStringLiteral("222396.416"));
        QCOMPARE(CdSizeEstimateText(0), QStringLiteral("0"));
        // The sectors come back exactly from the length the grabber rounds down.
        for (qint64 sectors = 0; sectors < 80 * 60 * 75; ++sectors)
            QCOMPARE(CdTrackAudioBytes(sectors * 1000 / 75), 44 + sectors * 2352);
        QCOMPARE(CdTrackAudioBytes(-1), -1);
    }
};

QTEST_MAIN(TestCdTracks)
#include "test_cdtracklisting.moc"
