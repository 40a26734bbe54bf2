// The main window through its real widgets: the load wiring, the format buttons and typed
// patterns, adding by button, menu, double click and drag, the output folder box and its
// chooser, the two arrangements and the splitter bars, restarting, keyboard reach and
// accessible names, help and the support page.

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>

#include <functional>

#include "core/base/appstate.h"
#include "core/base/instanceguard.h"
#include "core/base/website.h"
#include "core/joblist/jobrows.h"
#include "core/settings/settings.h"
#include "gui/mainwindow/filelist.h"
#include "gui/mainwindow/foldertree.h"
#include "gui/mainwindow/form1.h"
#include "gui/mainwindow/helpwindow.h"
#include "gui/mainwindow/joblist.h"
#include "gui/mainwindow/statusbar.h"
#include "gui/skin/splitbar.h"
#include "tests/support/boxanswerer.h"
#include "tests/support/urlcatcher.h"

using namespace Sveltra;
using TestSupport::BoxAnswerer;

namespace {

// A silent mono 16-bit PCM WAV file of the given length.
void writeWav(const QString &path, int milliseconds)
{
    const quint32 rate = 8000;
    const quint32 dataBytes = rate * 2 * quint32(milliseconds) / 1000;
    QByteArray header;
    auto put32 = [&header](quint32 v) {
        for (int i = 0; i < 4; ++i)
            header.append(char((v >> (8 * i)) & 0xff));
    };
    auto put16 = [&header](quint16 v) {
        header.append(char(v & 0xff));
        header.append(char(v >> 8));
    };
    header.append("RIFF");
    put32(36 + dataBytes);
    header.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    header.append("data");
    put32(dataBytes);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(header);
    f.write(QByteArray(qsizetype(dataBytes), '\0'));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not audio");
}

QStringList shownNames(FileListView *list)
{
    QStringList names;
    const QModelIndex root = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(root); ++row)
        names << list->model()->index(row, 0, root).data().toString();
    return names;
}

// Waits for an add of many to put its last row in.
bool settled(JobList *jobs)
{
    return QTest::qWaitFor([jobs] { return !jobs->isAdding(); }, 20000);
}

QStringList jobNames(JobList *jobs)
{
    settled(jobs);
    QStringList names;
    for (int row = 0; row < jobs->rowCount(); ++row)
        names << jobs->cell(row, JobColumn::Source);
    return names;
}

void sendMouse(QWidget *w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_music;
    QString iniPath() const { return m_dir.filePath(QStringLiteral("Sveltra.ini")); }
    QString lockPath() const { return m_dir.filePath(QStringLiteral("sveltra.lock")); }
    QString music(const QString &name) const { return QDir::toNativeSeparators(m_music + QLatin1Char('/') + name); }

    // Writes settings that open the browser on the music folder and the output box on out.
    void seedSettings(const QString &target)
    {
        SettingsFile settings(iniPath());
        ApplicationState state;
        settings.LoadSettings(state);
        state.SourceFolder = QDir::toNativeSeparators(m_music);
        state.TargetFolder = target;
        QVERIFY(settings.SaveSettings(state));
        App() = ApplicationState();
    }

    // Shows the form and waits until its file list lists the music folder.
    void showLoaded(Form1 &form)
    {
        QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);
        form.InitForm();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(shownNames(form.XListView1).contains(QStringLiteral("one.wav")));
    }

    QToolButton *toolbarButton(Form1 &form, const char *key)
    {
        return form.Toolbar1->findChild<QToolButton *>(QString::fromLatin1(key));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_music = m_dir.filePath(QStringLiteral("音乐"));
        QVERIFY(QDir().mkpath(m_music + QStringLiteral("/sub")));
        for (const char *name : {"one.wav", "two.wav", "three.wav"})
            writeWav(m_music + QLatin1Char('/') + QString::fromLatin1(name), 1000);
        for (const char *name : {"song.mp3", "tune.MP3", "voice.wma", "notes.txt"})
            touch(m_music + QLatin1Char('/') + QString::fromLatin1(name));
    }

    void init()
    {
        QFile::remove(iniPath());
        App() = ApplicationState();
    }

    void loadWiresTheBrowserAndTheOutputBox()
    {
        seedSettings(QStringLiteral("/srv/输出 目录"));
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        Form1 form(settings, guard);
        QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);

        auto *combo = form.findChild<QComboBox *>(QStringLiteral("cbFormat"));
        QVERIFY(combo);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items,
                 (QStringList{QStringLiteral("*.*"), QStringLiteral("*.MP3"), QStringLiteral("*.WAV"), QStringLiteral("*.CDA")}));
        QCOMPARE(combo->currentText(), QStringLiteral("*.*"));
        QVERIFY(combo->isEditable());

        auto *list = form.findChild<FileListView *>(QStringLiteral("XListView1"));
        auto *tree = form.findChild<FolderTreeView *>(QStringLiteral("XTreeView1"));
        QVERIFY(list && tree);
        QCOMPARE(list->FilePattern(), QStringLiteral("*.*"));
        QCOMPARE(tree->LinkedFileView(), list);
        QCOMPARE(list->FolderPath(), QDir::toNativeSeparators(m_music));

        auto *output = form.findChild<QLineEdit *>(QStringLiteral("txtOutput"));
        QVERIFY(output);
        QCOMPARE(output->text(), QStringLiteral("/srv/输出 目录"));
        QCOMPARE(App().TargetFolder, QStringLiteral("/srv/输出 目录"));
        QCOMPARE(output->toolTip(), QStringLiteral("输出路径"));
        QCOMPARE(form.findChild<QPushButton *>(QStringLiteral("Command1"))->toolTip(),
                 QStringLiteral("单击这个按钮选择输出路径"));
        QCOMPARE(form.arrangement(), 2);
        QCOMPARE(form.dragState(), 0);

        // Format buttons: keys, pictures and tooltips, in order.
        const QStringList keys = {QStringLiteral("MP3"), QStringLiteral("WAV"), QStringLiteral("CD"), QStringLiteral("ALL")};
        const QStringList tips = {QStringLiteral("MP3 文件"), QStringLiteral("WAVE 文件"), QStringLiteral("CD 音轨"),
                                  QStringLiteral("所有文件")};
        QWidget *bar = form.findChild<QWidget *>(QStringLiteral("tbFormat"));
        QVERIFY(bar);
        int lastX = -1;
        for (int i = 0; i < 4; ++i) {
            auto *button = bar->findChild<QToolButton *>(keys[i]);
            QVERIFY(button);
            QCOMPARE(button->toolTip(), tips[i]);
            QVERIFY(button->isCheckable());
            QVERIFY(!button->isChecked());
            QVERIFY(!button->icon().isNull());
            QVERIFY(button->x() > lastX);
            lastX = button->x();
        }
    }

    void missingSettingsOpenOnTheHomeFolder()
    {
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        Form1 form(settings, guard);
        QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);
        QCOMPARE(form.XListView1->FolderPath(), QDir::toNativeSeparators(QDir::homePath()));
        QCOMPARE(form.txtOutput->text(), QDir::toNativeSeparators(QDir::homePath()));
    }

    void formatButtonsAndTypedPatternsFilterTheList()
    {
        seedSettings(QStringLiteral("/tmp"));
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        Form1 form(settings, guard);
        showLoaded(form);
        QWidget *bar = form.tbFormat;
        auto button = [bar](const char *key) { return bar->findChild<QToolButton *>(QString::fromLatin1(key)); };

        QTest::mouseClick(button("MP3"), Qt::LeftButton);
        QCOMPARE(form.cbFormat->currentText(), QStringLiteral("*.MP3"));
        QCOMPARE(form.XListView1->FilePattern(), QStringLiteral("*.MP3"));
        QTRY_COMPARE(shownNames(form.XListView1),
                     (QStringList{QStringLiteral("sub"), QStringLiteral("song.mp3"), QStringLiteral("tune.MP3")}));
        QVERIFY(button("MP3")->isChecked());

        QTest::mouseClick(button("CD"), Qt::LeftButton);
        QCOMPARE(form.cbFormat->currentText(), QStringLiteral("*.CDA"));
        QTRY_COMPARE(shownNames(form.XListView1), QStringList{QStringLiteral("sub")});
        QVERIFY(!button("MP3")->isChecked()); // one group: pressing one releases the others
        QVERIFY(button("CD")->isChecked());

        QTest::mouseClick(button("WAV"), Qt::LeftButton);
        QCOMPARE(form.cbFormat->currentText(), QStringLiteral("*.WAV"));
        QTest::mouseClick(button("ALL"), Qt::LeftButton);
        QCOMPARE(form.cbFormat->currentText(), QStringLiteral("*.*"));
        QTRY_COMPARE(shownNames(form.XListView1).size(), 8);

        // Typed: the pattern follows every change of the text; the buttons stay as they were.
        form.cbFormat->lineEdit()->selectAll();
        QTest::keyClicks(form.cbFormat->lineEdit(), QStringLiteral("*.WMA"));
        QCOMPARE(form.cbFormat->currentText(), QStringLiteral("*.WMA"));
        QCOMPARE(form.XListView1->FilePattern(), QStringLiteral("*.WMA"));
        QTRY_COMPARE(shownNames(form.XListView1), (QStringList{QStringLiteral("sub"), QStringLiteral("voice.wma")}));
        QVERIFY(button("ALL")->isChecked());
        QCOMPARE(form.cbFormat->count(), 4); // typing adds no entries

        // Chosen from the drop-down.
        form.cbFormat->setCurrentIndex(2);
        emit form.cbFormat->activated(2);
        QCOMPARE(form.XListView1->FilePattern(), QStringLiteral("*.WAV"));

        // A key that matches none leaves the text, and applies it again.
        form.tbFormat_ButtonClick(QStringLiteral("mp3"));
        QCOMPARE(form.cbFormat->currentText(), QStringLiteral("*.WAV"));
        QCOMPARE(form.XListView1->FilePattern(), QStringLiteral("*.WAV"));
    }

    void addByButtonMenuDoubleClickAndDrag()
    {
        seedSettings(QStringLiteral("/tmp"));
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        Form1 form(settings, guard);
        showLoaded(form);
        JobList *jobs = form.ListView1;
        FileListView *list = form.XListView1;

        // Three files of which the second is queued already: two added, one duplicate box.
        form.AddMediaFile(music(QStringLiteral("three.wav")));
        QCOMPARE(jobs->rowCount(), 1);
        list->selectNames({QStringLiteral("one.wav"), QStringLiteral("three.wav"), QStringLiteral("two.wav")});
        QStringList boxes = BoxAnswerer::answering([&] {
            QTest::mouseClick(toolbarButton(form, "Add"), Qt::LeftButton);
            QVERIFY(settled(jobs));
        });
        // The list shows one, three, two (by name): the second of them is the queued one.
        QCOMPARE(boxes, QStringList{QStringLiteral("重复的文件名|重复的文件名: ") + music(QStringLiteral("three.wav"))});
        QCOMPARE(jobNames(jobs),
                 (QStringList{QStringLiteral("three.wav"), QStringLiteral("one.wav"), QStringLiteral("two.wav")}));
        QCOMPARE(jobs->cell(1, JobColumn::SourcePath), music(QString()));
        QCOMPARE(form.tbStatus->panel(StatusBar::SystemInformation)->text(), QStringLiteral("IDLE"));
        jobs->clear();

        // The menu entry adds the same selection, a folder with the audio files inside it and its
        // sub-folders (as a drop of it does); what is not audio is skipped without a box, and the
        // status bar names it.
        QVERIFY(QDir().mkpath(m_music + QStringLiteral("/sub/deep")));
        QVERIFY(QFile::copy(music(QStringLiteral("one.wav")), m_music + QStringLiteral("/sub/deep/four.wav")));
        list->selectNames({QStringLiteral("one.wav"), QStringLiteral("notes.txt"), QStringLiteral("sub")});
        boxes = BoxAnswerer::answering([&] {
            form.mnuAdd->trigger();
            QVERIFY(settled(jobs));
        });
        QVERIFY(QDir(m_music + QStringLiteral("/sub/deep")).removeRecursively());
        QVERIFY(boxes.isEmpty());
        QCOMPARE(jobNames(jobs), (QStringList{QStringLiteral("four.wav"), QStringLiteral("one.wav")}));
        QCOMPARE(jobs->baseFolder(0), QDir::cleanPath(m_music + QStringLiteral("/sub")));
        QCOMPARE(jobs->baseFolder(1), QString());
        QCOMPARE(form.tbStatus->panel(StatusBar::SystemInformation)->text(),
                 QStringLiteral("无法作为音频读取，未添加：notes.txt"));
        jobs->clear();

        // Ctrl+A selects every entry of the file list.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list->selectionModel()->selectedRows().size(), list->model()->rowCount(list->rootIndex()));

        // Nothing selected: nothing happens.
        list->clearSelection();
        form.Toolbar1_ButtonClick(QStringLiteral("Add"));
        QCOMPARE(jobs->rowCount(), 0);

        // A double click adds the file; Enter adds the selection.
        list->selectNames({QStringLiteral("two.wav")});
        const QModelIndex two = list->selectionModel()->selectedRows().value(0);
        list->scrollTo(two);
        const QPoint at = list->visualRect(two).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(jobNames(jobs), QStringList{QStringLiteral("two.wav")});
        list->selectNames({QStringLiteral("one.wav"), QStringLiteral("three.wav")});
        list->setFocus();
        list->selectionModel()->setCurrentIndex(list->selectionModel()->selectedRows().value(0), QItemSelectionModel::NoUpdate);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(jobNames(jobs),
                 (QStringList{QStringLiteral("two.wav"), QStringLiteral("one.wav"), QStringLiteral("three.wav")}));
        jobs->clear();

        // Dragging the selection onto the job list adds it, in the list's order.
        list->selectNames({QStringLiteral("two.wav"), QStringLiteral("one.wav")});
        std::unique_ptr<QMimeData> dragged(list->model()->mimeData(list->selectionModel()->selectedIndexes()));
        QVERIFY(dragged && dragged->hasUrls());
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, dragged.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(jobs->viewport(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, dragged.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(jobs->viewport(), &drop);
        QCOMPARE(jobNames(jobs), (QStringList{QStringLiteral("one.wav"), QStringLiteral("two.wav")}));

        // A drop without a file list adds the file list's selection.
        list->selectNames({QStringLiteral("three.wav")});
        QMimeData plain;
        plain.setText(QStringLiteral("three"));
        QDragEnterEvent textEnter(QPoint(10, 10), Qt::CopyAction, &plain, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(jobs->viewport(), &textEnter);
        QDropEvent textDrop(QPointF(10, 10), Qt::CopyAction, &plain, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(jobs->viewport(), &textDrop);
        QCOMPARE(jobNames(jobs),
                 (QStringList{QStringLiteral("one.wav"), QStringLiteral("two.wav"), QStringLiteral("three.wav")}));
    }

    void outputFolderChooserAndBox()
    {
        seedSettings(QStringLiteral("/first"));
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        Form1 form(settings, guard);
        showLoaded(form);
        QLineEdit *box = form.txtOutput;

        // "输出", the menu entry and Command1 each open the chooser; cancel changes nothing.
        const QList<std::function<void()>> openers = {
            [&] { QTest::mouseClick(toolbarButton(form, "Output"), Qt::LeftButton); },
            [&] { form.mnuOutput->trigger(); },
            [&] { QTest::mouseClick(form.Command1, Qt::LeftButton); },
        };
        QString prompt;
        for (const auto &open : openers) {
            const QStringList seen = BoxAnswerer::answering(open, [&prompt](QWidget *modal) {
                auto *dialog = qobject_cast<QFileDialog *>(modal);
                QVERIFY(dialog);
                prompt = dialog->windowTitle();
                dialog->reject();
            });
            QCOMPARE(seen.size(), 1);
            QCOMPARE(box->text(), QStringLiteral("/first"));
            QCOMPARE(box->toolTip(), QStringLiteral("输出路径"));
            QCOMPARE(App().TargetFolder, QStringLiteral("/first"));
        }
        QCOMPARE(prompt, QStringLiteral("请选择一个文件夹。"));

        // A chosen folder lands in the box, its tooltip and TargetFolder.
        const QString chosen = m_music + QStringLiteral("/sub");
        BoxAnswerer::answering([&] { form.Command1_Click(); },
                               [&chosen](QWidget *modal) {
                                   auto *dialog = qobject_cast<QFileDialog *>(modal);
                                   dialog->setDirectory(chosen);
                                   QMetaObject::invokeMethod(dialog, "accept");
                               });
        QCOMPARE(box->text(), QDir::toNativeSeparators(chosen));
        QCOMPARE(box->toolTip(), QDir::toNativeSeparators(chosen));
        QCOMPARE(App().TargetFolder, QDir::toNativeSeparators(chosen));

        // Typing changes TargetFolder at once, as typed, but not the tooltip.
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("/x/out/"));
        QCOMPARE(App().TargetFolder, QStringLiteral("/x/out/"));
        box->insert(QStringLiteral("不存在"));
        QCOMPARE(App().TargetFolder, QStringLiteral("/x/out/不存在"));
        QCOMPARE(box->toolTip(), QDir::toNativeSeparators(chosen));
        box->clear();
        QCOMPARE(App().TargetFolder, QString());
    }

    void arrangementsAndSplitters()
    {
        seedSettings(QStringLiteral("/tmp"));
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        Form1 form(settings, guard);
        showLoaded(form);
        QWidget *area = form.centralWidget();
        QWidget *tree = form.XTreeView1, *list = form.XListView1, *jobs = form.ListView1, *bar = form.tbFormat;
        SplitBar *splitH = form.SplitH, *splitV = form.SplitV;
        QWidget *output = form.Picture1;

        // The designed client size; the tree starts 0.3 of the width wide.
        QCOMPARE(form.width(), 574);
        QCOMPARE(tree->width(), 172);

        // Arrangement 2: the tree alone at full height, the right column stacked.
        auto checkTwo = [&] {
            QCOMPARE(tree->geometry().topLeft(), QPoint(0, 0));
            QCOMPARE(tree->height(), area->height());
            QCOMPARE(splitH->x(), tree->width());
            QCOMPARE(bar->x(), splitH->x() + splitH->width());
            QCOMPARE(bar->x() + bar->width(), area->width());
            QCOMPARE(list->y(), bar->y() + bar->height());
            QCOMPARE(splitV->y(), list->y() + list->height());
            QCOMPARE(jobs->y(), splitV->y() + splitV->height());
            QCOMPARE(output->y(), jobs->y() + jobs->height());
            QCOMPARE(output->y() + output->height(), area->height());
            QCOMPARE(output->height(), 41);
            QCOMPARE(jobs->width(), bar->width());
        };
        checkTwo();
        QVERIFY(splitH->width() >= 3 && splitH->width() <= 4); // 50 twips

        // The output box fills the bar beside the browse button.
        QCOMPARE(form.Command1->geometry(), QRect(0, 2, 41, 37));
        QCOMPARE(form.txtOutput->x(), 40);
        QCOMPARE(form.txtOutput->x() + form.txtOutput->width(), output->width() - 1);

        // "界面": 2 → 1 halves the tree's height.
        const int treeHeight = tree->height();
        QTest::mouseClick(toolbarButton(form, "layout"), Qt::LeftButton);
        QCOMPARE(form.arrangement(), 1);
        QVERIFY(qAbs(tree->height() - treeHeight / 2) <= 1);
        QCOMPARE(splitV->y(), tree->height());
        QCOMPARE(splitV->width(), tree->width());
        QCOMPARE(bar->y(), splitV->y() + splitV->height());
        QCOMPARE(bar->width(), tree->width());
        QCOMPARE(list->x(), 0);
        QCOMPARE(list->y() + list->height(), area->height());
        QCOMPARE(jobs->x(), splitH->x() + splitH->width());
        QCOMPARE(jobs->y(), 0);
        QCOMPARE(output->y() + output->height(), area->height());

        // Widening the window in arrangement 1 widens both columns: the tree keeps its share of
        // the width (so folder names get room in a large window), its height stays.
        const QRect treeBefore = tree->geometry();
        const int areaWidth = area->width(), jobsWidth = jobs->width();
        form.resize(form.width() + 100, form.height());
        QTRY_COMPARE(area->width(), areaWidth + 100);
        QVERIFY(qAbs(tree->width() - qRound(treeBefore.width() * double(areaWidth + 100) / areaWidth)) <= 1);
        QCOMPARE(tree->height(), treeBefore.height());
        QCOMPARE(list->width(), tree->width());
        QCOMPARE(jobs->x(), splitH->x() + splitH->width());
        QCOMPARE(jobs->x() + jobs->width(), area->width());
        QVERIFY(jobs->width() > jobsWidth);
        QCOMPARE(output->width(), jobs->width());
        // Narrowing it back gives the tree its width back: the share does not drift.
        form.resize(form.width() - 100, form.height());
        QTRY_COMPARE(area->width(), areaWidth);
        QCOMPARE(tree->width(), treeBefore.width());

        // 1 → 2 sets the file list to half the job list's height.
        const int jobsHeight = jobs->height();
        form.mnuLayout->trigger();
        QCOMPARE(form.arrangement(), 2);
        QVERIFY(qAbs(list->height() - jobsHeight / 2) <= 1);
        checkTwo();

        // Dragging SplitH: the tree follows the pointer.
        const int width = tree->width();
        sendMouse(splitH, QEvent::MouseButtonPress, {1, 20}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(form.dragState(), 1);
        sendMouse(splitH, QEvent::MouseMove, {31, 20}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(tree->width(), width + 31);
        QCOMPARE(splitH->x(), tree->width());
        sendMouse(splitH, QEvent::MouseMove, {-10, 20}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(tree->width(), width + 21);
        // Past the limits: nothing moves.
        sendMouse(splitH, QEvent::MouseMove, {-(tree->width() - 13), 20}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(tree->width(), width + 21);
        sendMouse(splitH, QEvent::MouseMove, {area->width(), 20}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(tree->width(), width + 21);
        sendMouse(splitH, QEvent::MouseButtonRelease, {1, 20}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(form.dragState(), 0);
        // Without a drag a move only shows the pointer.
        sendMouse(splitH, QEvent::MouseMove, {30, 20}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(tree->width(), width + 21);
        QCOMPARE(splitH->cursor().shape(), Qt::SizeHorCursor);
        QCOMPARE(splitV->cursor().shape(), Qt::SizeVerCursor);
        // A right-button press starts no drag.
        sendMouse(splitH, QEvent::MouseButtonPress, {1, 20}, Qt::RightButton, Qt::RightButton);
        QCOMPARE(form.dragState(), 0);
        sendMouse(splitH, QEvent::MouseMove, {30, 20}, Qt::NoButton, Qt::RightButton);
        QCOMPARE(tree->width(), width + 21);
        sendMouse(splitH, QEvent::MouseButtonRelease, {1, 20}, Qt::RightButton, Qt::NoButton);

        // Dragging SplitV in arrangement 2 sizes the file list; the job list takes the rest.
        const int listHeight = list->height(), jobsTop = jobs->y(), jobsBottom = jobs->y() + jobs->height();
        sendMouse(splitV, QEvent::MouseButtonPress, {40, 1}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(form.dragState(), 2);
        sendMouse(splitV, QEvent::MouseMove, {40, 21}, Qt::NoButton, Qt::LeftButton);
        sendMouse(splitV, QEvent::MouseButtonRelease, {40, 21}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(list->height(), listHeight + 21);
        QCOMPARE(jobs->y(), jobsTop + 21);
        QCOMPARE(jobs->y() + jobs->height(), jobsBottom);

        // The arrow keys move a focused bar by a step.
        splitH->setFocus();
        QTest::keyClick(splitH, Qt::Key_Right);
        QCOMPARE(tree->width(), width + 21 + SplitBar::KeyboardStepPixels);
        QTest::keyClick(splitH, Qt::Key_Up); // not its direction
        QCOMPARE(tree->width(), width + 21 + SplitBar::KeyboardStepPixels);
        QTest::keyClick(splitV, Qt::Key_Up);
        QCOMPARE(list->height(), listHeight + 21 - SplitBar::KeyboardStepPixels);
        QCOMPARE(form.dragState(), 0);

        // Minimized, the areas stay; restored, a full pass runs.
        form.showMinimized();
        QTRY_VERIFY(form.isMinimized());
        const QRect jobsMinimized = jobs->geometry();
        form.Form_Resize();
        QCOMPARE(jobs->geometry(), jobsMinimized);
        form.showNormal();
        QTRY_VERIFY(!form.isMinimized());
        checkTwo();
    }

    void restartOpensWhereTheUserLeft()
    {
        seedSettings(QStringLiteral("/tmp"));
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        const QString sub = QDir::toNativeSeparators(m_music + QStringLiteral("/sub"));
        {
            Form1 form(settings, guard);
            QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);
            // Browsed through the tree, typed into the box.
            form.XTreeView1->showFolder(m_music);
            form.XListView1->setFolderPath(sub);
            form.txtOutput->setText(QStringLiteral("/home/音乐/瘦身"));
            form.show();
            QVERIFY(form.close());
        }
        App() = ApplicationState();
        {
            Form1 form(settings, guard);
            QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);
            QCOMPARE(form.XListView1->FolderPath(), sub);
            QCOMPARE(form.XTreeView1->currentFolder(), sub);
            QCOMPARE(form.txtOutput->text(), QStringLiteral("/home/音乐/瘦身"));
            QCOMPARE(form.cbFormat->currentText(), QStringLiteral("*.*")); // the pattern is not kept
        }
    }

    void windowStateComesBackAtTheNextStart()
    {
        seedSettings(QStringLiteral("/tmp"));
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        const QString statePath = SettingsFile::WindowStatePath(iniPath());
        QFile::remove(statePath);
        struct Seen
        {
            QSize size;
            int arrangement = 0, treeWidth = 0, treeHeight = 0, listHeight = 0;
        };
        auto seen = [](Form1 &form) {
            return Seen{form.size(), form.arrangement(), form.XTreeView1->width(), form.XTreeView1->height(),
                        form.XListView1->height()};
        };
        auto start = [&](Form1 &form) {
            QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);
            form.InitForm();
            form.RestoreWindowState();
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
        };

        // First start: a size relative to the screen (never below the designed one), the tree
        // 0.3 of the width.
        Seen left;
        {
            Form1 form(settings, guard);
            start(form);
            const QSize available = form.screen()->availableGeometry().size();
            const QSize designed(574, 509 + form.menuBar()->sizeHint().height());
            QCOMPARE(form.size(),
                     QSize(available.width() * 2 / 3, available.height() * 3 / 4).expandedTo(designed).boundedTo(available));
            QVERIFY(qAbs(form.XTreeView1->width() - qRound(0.3 * form.centralWidget()->width())) <= 2);
            QCOMPARE(form.arrangement(), 2);

            // Resized, arrangement 1, the tree made wider and taller by its bars.
            form.resize(form.width() + 60, form.height() + 40);
            QTRY_COMPARE(form.centralWidget()->height(), form.height() - form.centralWidget()->y() - form.tbStatus->height());
            form.ButtonLayout();
            form.SplitH->setFocus();
            QTest::keyClick(form.SplitH, Qt::Key_Right);
            QTest::keyClick(form.SplitV, Qt::Key_Down);
            left = seen(form);
            QVERIFY(form.close());
        }
        QVERIFY(QFile::exists(statePath));
        // The settings file keeps its section and eleven keys, all digits, and nothing else.
        const QStringList lines = QString::fromUtf8(readAll(iniPath())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 12);
        for (const QString &line : lines.mid(1))
            QVERIFY2(QRegularExpression(QStringLiteral("^[0-9-]+=[0-9-]*$")).match(line).hasMatch(), qPrintable(line));

        App() = ApplicationState();
        {
            Form1 form(settings, guard);
            start(form);
            const Seen back = seen(form);
            QCOMPARE(back.size, left.size);
            QCOMPARE(back.arrangement, 1);
            QCOMPARE(back.treeWidth, left.treeWidth);
            QCOMPARE(back.treeHeight, left.treeHeight);

            // Arrangement 2 with the file list sized by its bar.
            form.ButtonLayout();
            form.SplitV->setFocus();
            QTest::keyClick(form.SplitV, Qt::Key_Up);
            left = seen(form);
            QVERIFY(form.close());
        }
        App() = ApplicationState();
        {
            Form1 form(settings, guard);
            start(form);
            const Seen back = seen(form);
            QCOMPARE(back.arrangement, 2);
            QCOMPARE(back.treeWidth, left.treeWidth);
            QCOMPARE(back.listHeight, left.listHeight);
            form.hide();
        }

        // A damaged state file opens the window as at a first start.
        {
            QFile file(statePath);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("[MainWindow]\ngeometry=@ByteArray(garbage)\narrangement=7\ntreeWidth=-5\n");
        }
        App() = ApplicationState();
        Form1 form(settings, guard);
        start(form);
        QCOMPARE(form.arrangement(), 2);
        QVERIFY(qAbs(form.XTreeView1->width() - qRound(0.3 * form.centralWidget()->width())) <= 2);
    }

    // What window.conf keeps is checked against the screens present: a place and size that fit
    // come back exactly; a window hanging off the screen is moved onto it at its size, a huge one
    // is shrunk to the screen, one on no screen is centred; damaged, negative, too small or
    // unreadable values open the window as at a first start, wholly on the screen.
    void keptWindowIsCheckedAgainstTheScreens_data()
    {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<QByteArray>("record"); // earlier versions' geometry record, when not empty
        QTest::addColumn<QRect>("kept");        // the window expected; empty: the first start

        QWidget recorded;
        recorded.setGeometry(30, 40, 600, 450);
        const QByteArray record = recorded.saveGeometry();
        recorded.setGeometry(0, 0, 32767, 32767); // never shown
        const QByteArray huge = recorded.saveGeometry();
        QByteArray damaged = record;
        damaged.insert(24, "\x7f\x3c\x91");
        const QByteArray values = "[MainWindow]\narrangement=2\n";
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const auto at = [&screen](int x, int y, int width, int height) {
            return QRect(screen.topLeft() + QPoint(x, y), QSize(width, height));
        };
        const QRect centred = at((screen.width() - 600) / 2, (screen.height() - 450) / 2, 600, 450);

        QTest::newRow("fits") << values + "left=10\ntop=20\nwidth=600\nheight=450\n" << QByteArray() << QRect(10, 20, 600, 450);
        QTest::newRow("earlier record") << values << record << QRect(30, 40, 600, 450);
        QTest::newRow("damaged record") << values << damaged << QRect();
        QTest::newRow("huge record") << values << huge << screen;
        QTest::newRow("huge") << values + "left=0\ntop=0\nwidth=32767\nheight=32767\n" << QByteArray() << screen;
        QTest::newRow("negative") << values + "left=10\ntop=20\nwidth=-600\nheight=-450\n" << QByteArray() << QRect();
        QTest::newRow("below minimum") << values + "left=10\ntop=20\nwidth=40\nheight=30\n" << QByteArray() << QRect();
        QTest::newRow("off every screen") << values + "left=-9000\ntop=9000\nwidth=600\nheight=450\n" << QByteArray() << centred;
        QTest::newRow("partly off") << values + "left=500\ntop=20\nwidth=600\nheight=450\n"
                                    << QByteArray() << at(screen.width() - 600, 20, 600, 450);
        QTest::newRow("taller than the room below") << values + "left=10\ntop=400\nwidth=600\nheight=450\n"
                                                    << QByteArray() << at(10, screen.height() - 450, 600, 450);
        QTest::newRow("wraps round") << values + "left=2147483600\ntop=20\nwidth=600\nheight=450\n" << QByteArray() << centred;
        QTest::newRow("not numbers") << values + "left=a\ntop=\x01\nwidth=6e2\nheight=450\n" << QByteArray() << QRect();
        QTest::newRow("far too large") << values + "left=10\ntop=20\nwidth=600\nheight=450\n" + QByteArray(100000, ';')
                                       << QByteArray() << QRect();
    }

    void keptWindowIsCheckedAgainstTheScreens()
    {
        QFETCH(QByteArray, conf);
        QFETCH(QByteArray, record);
        QFETCH(QRect, kept);
        seedSettings(QStringLiteral("/tmp"));
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        const QString statePath = SettingsFile::WindowStatePath(iniPath());
        {
            QFile file(statePath);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(conf);
        }
        if (!record.isEmpty()) {
            QSettings store(statePath, QSettings::IniFormat);
            store.setValue(QStringLiteral("MainWindow/geometry"), record);
        }

        Form1 form(settings, guard);
        QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);
        form.InitForm();
        form.RestoreWindowState();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QRect available = form.screen()->availableGeometry();
        if (kept.isEmpty()) {
            const QSize designed(574, 509 + form.menuBar()->sizeHint().height());
            QCOMPARE(
                form.size(),
                QSize(available.width() * 2 / 3, available.height() * 3 / 4).expandedTo(designed).boundedTo(available.size()));
        } else {
            QCOMPARE(QRect(form.pos(), form.size()), kept);
        }
        QVERIFY(available.contains(QRect(form.pos(), form.size())));
        form.hide();
    }

    void everyControlHasANameAndTheKeyboardReachesIt()
    {
        seedSettings(QStringLiteral("/tmp"));
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        Form1 form(settings, guard);
        showLoaded(form);
        QApplication::setActiveWindow(&form);

        // The controls by their names.
        const QStringList names = {QStringLiteral("XTreeView1"), QStringLiteral("XListView1"), QStringLiteral("tbFormat"),
                                   QStringLiteral("cbFormat"),   QStringLiteral("Picture1"),   QStringLiteral("txtOutput"),
                                   QStringLiteral("Command1"),   QStringLiteral("SplitH"),     QStringLiteral("SplitV"),
                                   QStringLiteral("ListView1"),  QStringLiteral("Toolbar1"),   QStringLiteral("tbStatus")};
        for (const QString &name : names) {
            auto *w = form.findChild<QWidget *>(name);
            QVERIFY2(w, qPrintable(name));
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(name));
        }

        // Every widget the keyboard can reach says what it is.
        QList<QWidget *> focusable;
        for (QWidget *w : form.findChildren<QWidget *>()) {
            if (!w->isVisibleTo(&form) || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
                continue;
            if (qobject_cast<QComboBox *>(w->parentWidget()))
                continue; // the combo box's own editor speaks for it
            focusable << w;
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
            QVERIFY(face);
            QVERIFY2(!face->text(QAccessible::Name).isEmpty(),
                     qPrintable(QStringLiteral("%1 %2").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName())));
        }

        // Tab walks through all of them.
        form.XTreeView1->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), form.XTreeView1);
        QSet<QWidget *> reached;
        for (int i = 0; i < 3 * focusable.size() && reached.size() < focusable.size(); ++i) {
            QWidget *now = QApplication::focusWidget();
            QVERIFY(now);
            reached << (qobject_cast<QComboBox *>(now->parentWidget()) ? now->parentWidget() : now);
            QTest::keyClick(now, Qt::Key_Tab);
        }
        // The format buttons are one group: Tab stops at one of them, the arrow keys walk the
        // rest and the space bar presses the one with the focus.
        QWidget *mp3 = form.tbFormat->findChild<QToolButton *>(QStringLiteral("MP3"));
        QVERIFY(reached.contains(mp3));
        for (QWidget *w : focusable) {
            if (w->parentWidget() != form.tbFormat || w == form.cbFormat)
                QVERIFY2(reached.contains(w), qPrintable(w->objectName()));
        }
        mp3->setFocus();
        for (const char *key : {"WAV", "CD", "ALL"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(key));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(form.cbFormat->currentText(), QStringLiteral("*.CDA"));
        QVERIFY(reached.contains(form.Command1));
        QVERIFY(reached.contains(form.SplitV));
        QVERIFY(reached.contains(toolbarButton(form, "Diet")));

        // The menus open from the keyboard and the help has its key.
        QCOMPARE(form.mnuHelp->shortcut(), QKeySequence(QKeySequence::HelpContents));
        QCOMPARE(form.mnuExit->shortcut(), QKeySequence(QKeySequence::Quit));
    }

    void commandsReachTheirOperations()
    {
        seedSettings(QStringLiteral("/tmp"));
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        Form1 form(settings, guard);
        showLoaded(form);

        // Toolbar keys through the dispatcher, exactly and in order.
        form.Toolbar1_ButtonClick(QStringLiteral("layout"));
        QCOMPARE(form.arrangement(), 1);
        form.Toolbar1_ButtonClick(QStringLiteral("Layout"));
        QCOMPARE(form.arrangement(), 1);
        form.Toolbar1_ButtonClick(QStringLiteral("layout"));
        QCOMPARE(form.arrangement(), 2);
        form.Toolbar1_ButtonClick(QStringLiteral("refresh")); // nothing to read yet; must not fail
        const QStringList seen = BoxAnswerer::answering([&] { form.Toolbar1_ButtonClick(QStringLiteral("Output")); });
        QCOMPARE(seen, QStringList{QStringLiteral("QFileDialog")});

        // Remove and clear through the toolbar and the menus.
        form.AddMediaFile(music(QStringLiteral("one.wav")));
        form.AddMediaFile(music(QStringLiteral("two.wav")));
        form.ListView1->topLevelItem(0)->setSelected(true);
        QTest::mouseClick(toolbarButton(form, "Remove"), Qt::LeftButton);
        QCOMPARE(jobNames(form.ListView1), QStringList{QStringLiteral("two.wav")});
        const QStringList asked = BoxAnswerer::answering([&] { form.mnuRemoveAll->trigger(); });
        QCOMPARE(asked, QStringList{QStringLiteral("确认全部删除|您真的想要删除所有项目吗？")});
        QCOMPARE(form.ListView1->rowCount(), 0);

        // The support page goes to the desktop's browser.
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        form.mnuSupport->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl(WebSiteHost() + QStringLiteral("/sveltra/sveltra.asp"))});
    }

    void helpOpensOnceAtItsPages()
    {
        SettingsFile settings(iniPath());
        InstanceGuard guard(lockPath());
        Form1 form(settings, guard);
        QCOMPARE(form.Form_Load(), Form1::LoadResult::Loaded);

        form.mnuHelp->trigger();
        HelpWindow *help = HelpWindow::existing();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QCOMPARE(help->currentTopic(), QStringLiteral("index.html"));
        QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("Sveltra 帮助")));

        // The update window's topic, in the same window.
        QCOMPARE(HelpWindow::ShowTopic(QStringLiteral("Sveltra.htm")), help);
        QCOMPARE(help->currentTopic(), QStringLiteral("Sveltra.htm"));
        QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("检查新版本")));
        auto *contents = help->findChild<QListWidget *>(QStringLiteral("HelpContents"));
        QCOMPARE(contents->currentItem()->text(), QStringLiteral("关于 Sveltra"));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no page 'nothing.htm'")));
        HelpWindow::ShowTopic(QStringLiteral("nothing.htm"));
        QCOMPARE(help->currentTopic(), QStringLiteral("index.html"));

        // Closed and asked again: the same window comes back.
        help->close();
        form.mnuHelp->trigger();
        QCOMPARE(HelpWindow::existing(), help);
        QVERIFY(help->isVisible());

        // Every page of the contents is there, in Chinese, and every link between pages leads
        // to a page that exists.
        const QRegularExpression href(QStringLiteral("href=\"([^\"]+)\""));
        for (int row = 0; row < contents->count(); ++row) {
            const QString page = contents->item(row)->data(Qt::UserRole).toString();
            QFile file(QStringLiteral(":/help/") + page);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(page));
            const QString html = QString::fromUtf8(file.readAll());
            QVERIFY2(html.contains(QStringLiteral("<h1>")), qPrintable(page));
            for (auto it = href.globalMatch(html); it.hasNext();) {
                const QString target = it.next().captured(1);
                if (target.startsWith(QLatin1String("http")))
                    continue;
                QVERIFY2(QFile::exists(QStringLiteral(":/help/") + target), qPrintable(page + QStringLiteral(" → ") + target));
            }
            contents->setCurrentRow(row);
            QCOMPARE(help->currentTopic(), page);
        }
        help->close();
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
