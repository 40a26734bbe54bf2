// The sync window through its real widgets, on a library made at test time: the plan it shows
// before anything happens, its refusals, 取消 leaving the disk as it was, 开始同步 handing the
// plan over, and the question before a sync that removes most of the player's files.

#include <QAccessible>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <optional>

#include "core/sync/synccommand.h"
#include "gui/dialogs/frmsync.h"
#include "tests/support/boxanswerer.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;

namespace {

// Every file under folder, relative, with a hash of its bytes.
QMap<QString, QByteArray> Snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files.insert(QDir(folder).relativeFilePath(path), QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1));
    }
    return files;
}

// A window over the two folders, recording what it hands back.
struct Window
{
    std::optional<SyncPlan> started;
    QStringList remembered;
    frmSync dialog;

    Window(const QString &library, const QString &player)
        : dialog(host(library, player))
    {
    }

    frmSync::Host host(const QString &library, const QString &player)
    {
        frmSync::Host h;
        h.library = library;
        h.player = player;
        h.qualityChoice = QStringLiteral("1- CD 音质");
        h.channelChoice = QStringLiteral("1- 立体声");
        h.rememberFolders = [this](const QString &l, const QString &p) { remembered = {l, p}; };
        h.start = [this](const SyncPlan &plan) { started = plan; };
        return h;
    }

    bool planned()
    {
        return QTest::qWaitFor([this] { return !dialog.isPlanning(); }, 60000);
    }
    QStringList counts() const { return dialog.lblCounts->text().split(QLatin1Char('\n')); }
};

} // namespace

class TestFrmSync : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_library;
    QString m_player;

    bool makeTrack(const QString &relative)
    {
        const QString path = m_library + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        return TestMedia::makeTone(path, 1.0);
    }

private slots:
    void init()
    {
        m_library = m_dir.filePath(QStringLiteral("库 ") + QString::fromLatin1(QTest::currentTestFunction()));
        m_player = m_dir.filePath(QStringLiteral("卡 ") + QString::fromLatin1(QTest::currentTestFunction()));
        QVERIFY(QDir().mkpath(m_player));
        QVERIFY(makeTrack(QStringLiteral("歌手/专辑/01 一.wav")));
        QVERIFY(makeTrack(QStringLiteral("歌手/专辑/02 二.wav")));
        QVERIFY(makeTrack(QStringLiteral("Other/Album/03 three.wav")));
    }

    // The plan of a new player before anything happens: the counts, the bytes, the free space
    // and every file; every control named for a screen reader; 取消 leaves both folders as they
    // were and remembers the folders.
    void showsThePlanAndCancelChangesNothing()
    {
        const auto libraryBefore = Snapshot(m_library);
        Window w(m_library, m_player);
        w.dialog.show();
        QVERIFY(w.planned());

        const QStringList counts = w.counts();
        QCOMPARE(counts.size(), 3);
        QCOMPARE(counts[0], QStringLiteral("新增 3，更新 0，移动或改名 0，只改标签 0，删除 0，不变 0"));
        QVERIFY2(counts[1].startsWith(QStringLiteral("增加 +")) && counts[1].contains(QStringLiteral("，释放 −0 B，净变化 +")),
                 qPrintable(counts[1]));
        QVERIFY2(counts[2].startsWith(QStringLiteral("播放器可用空间 ")) && counts[2].endsWith(QStringLiteral("：放得下")),
                 qPrintable(counts[2]));
        QCOMPARE(w.dialog.plan().count(SyncItem::Kind::New), 3);
        QVERIFY(w.dialog.plan().addedBytes() > 0);
        QVERIFY(w.dialog.plan().freeBytes > 0);
        const QString files = w.dialog.txtPlan->toPlainText();
        QVERIFY2(files.contains(QStringLiteral("新增：歌手/专辑/01 一.wav"))
                     && files.contains(QStringLiteral("新增：Other/Album/03 three.wav")),
                 qPrintable(files));
        QVERIFY(w.dialog.cmdStart->isEnabled());
        QCOMPARE(w.dialog.lblProfile->text(), QStringLiteral("按当前设置压缩：CD 音质，立体声；音量均衡：关"));

        for (QWidget *control : std::initializer_list<QWidget *>{w.dialog.txtLibrary, w.dialog.cmdLibrary, w.dialog.txtPlayer,
                                                                 w.dialog.cmdPlayer, w.dialog.lblCounts, w.dialog.txtPlan,
                                                                 w.dialog.cmdReplan, w.dialog.cmdStart, w.dialog.cmdCancel}) {
            QVERIFY(!control->objectName().isEmpty());
            QVERIFY2(!QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty(),
                     qPrintable(control->objectName()));
            QVERIFY2(control->focusPolicy() & Qt::TabFocus, qPrintable(control->objectName()));
        }

        QTest::mouseClick(w.dialog.cmdCancel, Qt::LeftButton);
        QVERIFY(!w.dialog.isVisible());
        QCOMPARE(w.dialog.result(), int(QDialog::Rejected));
        QVERIFY(!w.started);
        QCOMPARE(w.remembered, QStringList({m_library, m_player}));
        QCOMPARE(Snapshot(m_library), libraryBefore);
        QVERIFY(Snapshot(m_player).isEmpty());
    }

    // A missing player folder or an empty library is the plan's text, with 开始同步 off; the
    // folder typed in afterwards is planned again, and 开始同步 hands that plan over.
    void refusalsDisableStartUntilTheFoldersAreRight()
    {
        const QString missing = m_dir.filePath(QStringLiteral("not plugged in"));
        Window w(m_library, missing);
        w.dialog.show();
        QVERIFY(w.planned());
        QCOMPARE(w.dialog.lblCounts->text(), QStringLiteral("播放器文件夹不存在：%1。请先插好播放器或存储卡。").arg(missing));
        QVERIFY(!w.dialog.cmdStart->isEnabled());

        const QString empty = m_dir.filePath(QStringLiteral("empty library"));
        QVERIFY(QDir().mkpath(empty));
        w.dialog.txtLibrary->setText(empty);
        w.dialog.txtPlayer->setText(m_player);
        w.dialog.replan();
        QVERIFY(w.planned());
        QVERIFY2(w.dialog.lblCounts->text().startsWith(QStringLiteral("音乐库文件夹里没有音频文件：")),
                 qPrintable(w.dialog.lblCounts->text()));
        QVERIFY(!w.dialog.cmdStart->isEnabled());

        // Edited in the box and confirmed with Enter: planned again.
        w.dialog.txtLibrary->setText(m_library + QLatin1Char('/'));
        QTest::keyClick(w.dialog.txtLibrary, Qt::Key_End);
        QTest::keyClick(w.dialog.txtLibrary, Qt::Key_Backspace);
        QTest::keyClick(w.dialog.txtLibrary, Qt::Key_Return);
        QVERIFY(w.dialog.isPlanning());
        QVERIFY(w.planned());
        QVERIFY(w.dialog.cmdStart->isEnabled());
        QTest::mouseClick(w.dialog.cmdStart, Qt::LeftButton);
        QVERIFY(w.started);
        QCOMPARE(w.started->count(SyncItem::Kind::New), 3);
        QCOMPARE(w.dialog.result(), int(QDialog::Accepted));
        QVERIFY(Snapshot(m_player).isEmpty()); // the window itself writes nothing
    }

    // After the library lost most of its sources, 开始同步 asks first; No keeps the window open
    // and hands nothing over, Yes goes ahead.
    void removingMostOutputsAsksFirst()
    {
        SyncCommand command;
        command.library = m_library;
        command.player = m_player;
        command.encoderPath = QStringLiteral(SVELTRA_BIN_DIR "/fastencc");
        command.maxParallel = 2;
        std::FILE *sink = std::tmpfile();
        QCOMPARE(RunSyncCommand(command, sink, sink), 0);
        std::fclose(sink);
        QVERIFY(QDir(m_library + QStringLiteral("/歌手")).removeRecursively());

        const auto playerBefore = Snapshot(m_player);
        Window w(m_library, m_player);
        w.dialog.show();
        QVERIFY(w.planned());
        QCOMPARE(w.dialog.plan().count(SyncItem::Kind::Gone), 2);
        QVERIFY2(w.counts().last().startsWith(QStringLiteral("注意：这次同步会删除播放器上 3 个文件中的 2 个")),
                 qPrintable(w.dialog.lblCounts->text()));
        QVERIFY(w.dialog.txtPlan->toPlainText().contains(QStringLiteral("删除：歌手/专辑/")));

        const QStringList asked = TestSupport::BoxAnswerer::answering(
            [&] { QTest::mouseClick(w.dialog.cmdStart, Qt::LeftButton); }, QMessageBox::No);
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].contains(QStringLiteral("3 个文件中的 2 个")), qPrintable(asked[0]));
        QVERIFY(!w.started);
        QVERIFY(w.dialog.isVisible());
        QCOMPARE(Snapshot(m_player), playerBefore);

        TestSupport::BoxAnswerer::answering([&] { QTest::mouseClick(w.dialog.cmdStart, Qt::LeftButton); }, QMessageBox::Yes);
        QVERIFY(w.started);
        QCOMPARE(w.started->count(SyncItem::Kind::Gone), 2);
    }
};

QTEST_MAIN(TestFrmSync)
#include "test_frmsync.moc"
