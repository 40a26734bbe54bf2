#include "gui/dialogs/frmsync.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <QtDebug>

#include <memory>

#include "core/profile/profile.h"
#include "gui/platform/publicfunctions.h"

namespace Sveltra {

namespace {

QString Folder(const QLineEdit *box)
{
    return QDir::fromNativeSeparators(box->text().trimmed());
}

// A profile choice as a person reads it: "CD 音质" of "1- CD 音质".
QString Choice(const QString &stored)
{
    const QString text = Profile::ChoiceText(stored);
    const qsizetype dash = text.indexOf(QLatin1String("- "));
    return dash > 0 && dash < 3 ? text.mid(dash + 2) : text;
}

// How many of the plan's lines are its summary (counts, bytes, free space, the warning); the
// rest name single files.
int SummaryLineCount(const SyncPlan &plan)
{
    if (!plan.refusal.isEmpty())
        return 1;
    return plan.removesMostOutputs() ? 4 : 3;
}

} // namespace

frmSync::frmSync(Host host, QWidget *parent)
    : QDialog(parent)
    , m_host(std::move(host))
{
    setObjectName(QStringLiteral("frmSync"));
    setWindowTitle(tr("同步到播放器"));
    m_plan.refusal = tr("正在比较音乐库和播放器…");

    auto named = [](QWidget *widget, const char *name, const QString &accessible) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setAccessibleName(accessible);
    };

    txtLibrary = new QLineEdit(QDir::toNativeSeparators(m_host.library), this);
    named(txtLibrary, "txtLibrary", tr("音乐库文件夹"));
    cmdLibrary = new QPushButton(tr("浏览(&B)…"), this);
    named(cmdLibrary, "cmdLibrary", tr("选择音乐库文件夹"));
    txtPlayer = new QLineEdit(QDir::toNativeSeparators(m_host.player), this);
    named(txtPlayer, "txtPlayer", tr("播放器文件夹"));
    cmdPlayer = new QPushButton(tr("浏览(&R)…"), this);
    named(cmdPlayer, "cmdPlayer", tr("选择播放器文件夹"));
    auto *lblLibrary = new QLabel(tr("音乐库(&L)："), this);
    lblLibrary->setObjectName(QStringLiteral("lblLibrary"));
    lblLibrary->setBuddy(txtLibrary);
    auto *lblPlayer = new QLabel(tr("播放器(&P)："), this);
    lblPlayer->setObjectName(QStringLiteral("lblPlayer"));
    lblPlayer->setBuddy(txtPlayer);

    lblProfile = new QLabel(this);
    named(lblProfile, "lblProfile", tr("压缩设置"));
    lblProfile->setWordWrap(true);
    lblProfile->setText(
        tr("按当前设置压缩：%1，%2；音量均衡：%3")
            .arg(Choice(m_host.qualityChoice), Choice(m_host.channelChoice), m_host.levelled ? tr("开") : tr("关")));

    lblCounts = new QLabel(this);
    // Read by a screen reader as its text (the plan itself); found by its description.
    lblCounts->setObjectName(QStringLiteral("lblCounts"));
    lblCounts->setAccessibleDescription(tr("同步计划"));
    lblCounts->setWordWrap(true);
    lblCounts->setTextFormat(Qt::PlainText);
    lblCounts->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblCounts->setFocusPolicy(Qt::StrongFocus);
    txtPlan = new QPlainTextEdit(this);
    named(txtPlan, "txtPlan", tr("要改动的文件"));
    txtPlan->setReadOnly(true);
    txtPlan->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtPlan->setTabChangesFocus(true);

    cmdReplan = new QPushButton(tr("重新比较(&C)"), this);
    named(cmdReplan, "cmdReplan", tr("重新比较"));
    cmdStart = new QPushButton(tr("开始同步(&S)"), this);
    named(cmdStart, "cmdStart", tr("开始同步"));
    cmdCancel = new QPushButton(tr("取消"), this);
    named(cmdCancel, "cmdCancel", tr("取消"));
    // Enter in a folder box compares again; nothing starts a sync but its own button.
    for (QPushButton *button : {cmdLibrary, cmdPlayer, cmdReplan, cmdStart, cmdCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    auto *folders = new QGridLayout;
    folders->addWidget(lblLibrary, 0, 0);
    folders->addWidget(txtLibrary, 0, 1);
    folders->addWidget(cmdLibrary, 0, 2);
    folders->addWidget(lblPlayer, 1, 0);
    folders->addWidget(txtPlayer, 1, 1);
    folders->addWidget(cmdPlayer, 1, 2);
    folders->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdReplan);
    buttons->addStretch(1);
    buttons->addWidget(cmdStart);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(folders);
    layout->addWidget(lblProfile);
    layout->addWidget(lblCounts);
    layout->addWidget(txtPlan, 1);
    layout->addLayout(buttons);

    setTabOrder(txtLibrary, cmdLibrary);
    setTabOrder(cmdLibrary, txtPlayer);
    setTabOrder(txtPlayer, cmdPlayer);
    setTabOrder(cmdPlayer, lblCounts);
    setTabOrder(lblCounts, txtPlan);
    setTabOrder(txtPlan, cmdReplan);
    setTabOrder(cmdReplan, cmdStart);
    setTabOrder(cmdStart, cmdCancel);

    connect(cmdLibrary, &QPushButton::clicked, this, [this] { browse(txtLibrary, tr("请选择音乐库文件夹。")); });
    connect(cmdPlayer, &QPushButton::clicked, this, [this] { browse(txtPlayer, tr("请选择播放器的文件夹。")); });
    for (QLineEdit *box : {txtLibrary, txtPlayer}) {
        connect(box, &QLineEdit::editingFinished, this, [this] {
            if (Folder(txtLibrary) != m_plannedLibrary || Folder(txtPlayer) != m_plannedPlayer)
                replan();
        });
    }
    connect(cmdReplan, &QPushButton::clicked, this, &frmSync::replan);
    connect(cmdStart, &QPushButton::clicked, this, &frmSync::startSync);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    resize(640, 460);
    replan();
}

frmSync::~frmSync() = default;

void frmSync::browse(QLineEdit *box, const QString &title)
{
    const QString folder = BrowseForFolder(this, title, box->text());
    if (folder.isEmpty())
        return;
    box->setText(folder);
    replan();
}

void frmSync::replan()
{
    SyncRequest request;
    request.library = Folder(txtLibrary);
    request.player = Folder(txtPlayer);
    request.channelChoice = Profile::ChoiceNumber(m_host.channelChoice);
    request.qualityChoice = Profile::ChoiceNumber(m_host.qualityChoice);
    request.levelled = m_host.levelled;
    m_plannedLibrary = request.library;
    m_plannedPlayer = request.player;

    const int generation = ++m_generation;
    m_planning = true;
    cmdStart->setEnabled(false);
    lblCounts->setText(tr("正在比较音乐库和播放器…"));
    txtPlan->clear();

    // The thread owns only its request and its result; a window closed meanwhile is no longer
    // told, and the thread deletes itself once done.
    auto result = std::make_shared<SyncPlan>();
    QThread *worker = QThread::create([request, result] { *result = PlanSync(request); });
    worker->setObjectName(QStringLiteral("sync plan"));
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, generation, result] {
        if (generation != m_generation)
            return;
        m_planning = false;
        showPlan(*result);
    });
    worker->start();
}

void frmSync::showPlan(const SyncPlan &plan)
{
    m_plan = plan;
    const QStringList lines = SyncPlanLines(plan);
    const int summary = std::min(int(lines.size()), SummaryLineCount(plan));
    lblCounts->setText(lines.mid(0, summary).join(QLatin1Char('\n')));
    if (plan.refusal.isEmpty() && !plan.hasWork())
        txtPlan->setPlainText(tr("播放器上的文件已经和音乐库一致，没有要改动的。"));
    else
        txtPlan->setPlainText(lines.mid(summary).join(QLatin1Char('\n')));
    cmdStart->setEnabled(plan.refusal.isEmpty() && plan.fits());
    emit planShown();
}

void frmSync::startSync()
{
    if (m_planning || !m_plan.refusal.isEmpty() || !m_plan.fits())
        return;
    if (m_plan.removesMostOutputs()) {
        const int gone = m_plan.count(SyncItem::Kind::Gone);
        QMessageBox box(
            QMessageBox::Warning, windowTitle(),
            tr("这次同步会删除播放器上 %1 个文件中的 %n 个，超过一半。确定要继续吗？", nullptr, gone).arg(m_plan.outputsBefore),
            QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QStringLiteral("SyncRemovalQuestion"));
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes)
            return;
    }
    const SyncPlan plan = m_plan;
    const auto start = m_host.start;
    accept();
    if (start)
        start(plan);
}

void frmSync::done(int result)
{
    if (m_host.rememberFolders)
        m_host.rememberFolders(Folder(txtLibrary), Folder(txtPlayer));
    QDialog::done(result);
}

} // namespace Sveltra
