#include "gui/dialogs/frmupdate.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QtDebug>

#include "core/base/version.h"
#include "core/update/versioncheck.h"
#include "core/update/versionfetch.h"
#include "gui/platform/publicfunctions.h"
#include "gui/skin/digitdisplay.h"
#include "gui/skin/imagelist.h"
#include "gui/skin/picturebutton.h"
#include "gui/skin/progresspicture.h"

namespace Sveltra {

namespace {

// Window geometry is designed in twips, 15 to the pixel.
constexpr QRect fromTwips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

const QColor Navy(0, 0, 128);
const QColor Purple(200, 0, 200);
const QColor Red(255, 0, 0);
const QColor CaptionInk(28, 38, 100); // dark text on the light card of the skin

QLabel *makeLabel(QWidget *parent, const char *name, const QRect &geometry, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

void setTextColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

frmUpdate::frmUpdate(const QString &siteAddress, QWidget *parent)
    : SkinnedWindow(QStringLiteral(":/update/background.png"), QSize(339, 277), parent)
    , m_site(siteAddress)
{
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(tr("检查新版本"));
    setAccessibleName(windowTitle());

    Label1 = makeLabel(this, "Label1", fromTwips(660, 780, 3675, 855), StatusConnecting());
    Label1->setWordWrap(true);
    QFont bold = Label1->font();
    bold.setPointSize(9);
    bold.setBold(true);
    Label1->setFont(bold);
    setTextColor(Label1, Navy);

    Label2 = makeLabel(this, "Label2", fromTwips(540, 1740, 2175, 375), tr("已安装版本:"));
    setTextColor(Label2, CaptionInk);
    QFont caption = Label2->font();
    caption.setPointSize(9);
    Label2->setFont(caption);
    picVer1 = new QLabel(this);
    picVer1->setObjectName(QStringLiteral("picVer1"));
    picVer1->move(fromTwips(780, 1980, 0, 0).topLeft());

    Label3 = makeLabel(this, "Label3", fromTwips(540, 2340, 2175, 315), tr("最新版本:"));
    setTextColor(Label3, CaptionInk);
    Label3->setFont(caption);
    picVer2 = new QLabel(this);
    picVer2->setObjectName(QStringLiteral("picVer2"));
    picVer2->move(fromTwips(780, 2580, 0, 0).topLeft());

    imgDownload = new PictureButton(this);
    imgDownload->setObjectName(QStringLiteral("imgDownload"));
    imgDownload->setGeometry(fromTwips(3180, 1740, 1530, 1275));
    imgDownload->setPicture(QPixmap(LocalizedPicture(QStringLiteral(":/update/download.png"))));
    imgDownload->setAccessibleName(tr("下载"));
    imgDownload->setToolTip(tr("打开下载页面"));
    imgDownload->setCursor(Qt::PointingHandCursor);
    connect(imgDownload, &QAbstractButton::clicked, this, [this] { OpenUrl(downloadPageUrl()); });

    ProgressPic1 = new QLabel(this);
    ProgressPic1->setObjectName(QStringLiteral("ProgressPic1"));
    ProgressPic1->setGeometry(fromTwips(300, 3060, 4560, 810));
    ProgressPic2 = new QLabel(this);
    ProgressPic2->setObjectName(QStringLiteral("ProgressPic2"));
    ProgressPic2->setGeometry(ProgressPic1->x(), ProgressPic1->y(), 0, ProgressPic1->height());
    ProgressPic2->hide(); // placed on the track at the first tick
    const QList<QPixmap> pictures = ProgressPicture::SkinPictures();
    ProgressPic1->setPixmap(pictures.value(0));
    ProgressPic2->setPixmap(pictures.value(1));
    m_progress = std::make_unique<ProgressPicture>(ProgressPic1, ProgressPic2, pictures,
                                                   std::make_unique<PicturesAtRandom>([this] { return uniform(); }),
                                                   ProgressPicture::Repaint::TrackThenFill);

    imgExit = new PictureButton(this);
    imgExit->setObjectName(QStringLiteral("imgExit"));
    imgExit->setGeometry(fromTwips(4500, 120, 330, 330));
    imgExit->setPicture(QPixmap(QStringLiteral(":/update/exit.png")));
    imgExit->setPressedPicture(QPixmap(QStringLiteral(":/update/exit_down.png")));
    imgExit->setAccessibleName(tr("关闭"));
    imgExit->setToolTip(tr("关闭"));
    connect(imgExit, &QAbstractButton::clicked, this, &QWidget::close);

    // The help button lies right of the visible client area, as designed. Tab skips it (focus
    // there would be invisible); F1 presses it, and screen readers see it as "帮助".
    Command5 = new QPushButton(tr("帮助"), this);
    Command5->setObjectName(QStringLiteral("Command5"));
    Command5->setGeometry(fromTwips(5580, 1980, 1095, 555));
    Command5->setFocusPolicy(Qt::NoFocus);
    Command5->setToolTip(tr("帮助 (F1)"));
    connect(Command5, &QPushButton::clicked, this, [this] { emit helpRequested(HelpTopic()); });
    auto *help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, Command5, &QPushButton::click);

    Inet1 = new VersionFetch(this);
    Inet1->setObjectName(QStringLiteral("Inet1"));
    connect(Inet1, &VersionFetch::finished, this, &frmUpdate::Inet1_Finished);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &frmUpdate::Timer1_Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    connect(Timer2, &QTimer::timeout, this, &frmUpdate::Timer2_Timer);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    connect(Timer3, &QTimer::timeout, this, &frmUpdate::Timer3_Timer);

    setTabOrder(imgDownload, imgExit);

    // Load.
    m_busyPercent = 0;
    imgDownload->hide();
    Picture1 = DigitGlyphStrip();
    DisplayDigital(picVer1, VersionText(), Picture1);
    DisplayDigital(picVer2, QStringLiteral("........"), Picture1);
    Timer3->stop();
    Timer1->start(200);
    Timer2->start(1000);
}

frmUpdate::~frmUpdate() = default;

QString frmUpdate::versionFileUrl() const
{
    return m_site + VersionFilePath();
}

QString frmUpdate::downloadPageUrl() const
{
    return m_site + DownloadPagePath();
}

void frmUpdate::setRandomSource(std::function<double()> uniformSource)
{
    m_uniform = std::move(uniformSource);
}

void frmUpdate::setFetchTimeout(int milliseconds)
{
    Inet1->setTimeout(milliseconds);
}

double frmUpdate::uniform()
{
    return m_uniform ? m_uniform() : QRandomGenerator::global()->generateDouble();
}

bool frmUpdate::SetProgressPic(int percent)
{
    return m_progress->SetProgressPic(percent);
}

void frmUpdate::Timer1_Timer()
{
    SetProgressPic(m_busyPercent);
    m_busyPercent += static_cast<int>(uniform() * 5);
    if (m_busyPercent >= 99) {
        SetProgressPic(0);
        m_busyPercent = 1;
    }
}

void frmUpdate::Timer2_Timer()
{
    Timer2->stop();
    if (m_state != State::Connecting)
        return; // one check per window
    setState(State::Fetching);
    const QUrl url(versionFileUrl());
    if (!url.isValid()) {
        showFailure(QStringLiteral("the version file address %1 is not valid").arg(versionFileUrl()));
        return;
    }
    Inet1->start(url);
}

void frmUpdate::Inet1_Finished(bool ok, const QByteArray &body, const QString &error)
{
    if (m_state != State::Fetching)
        return;
    if (!ok) {
        showFailure(error);
        return;
    }
    const VersionCheckResult result = CheckVersionFile(body, VersionText());
    switch (result.outcome) {
    case VersionOutcome::NewVersion:
        showNewVersion(result.latest);
        break;
    case VersionOutcome::UpToDate:
        showUpToDate(result.latest);
        break;
    case VersionOutcome::Failed:
        showFailure(result.reason);
        break;
    }
}

void frmUpdate::showNewVersion(const QString &latest)
{
    DisplayDigital(picVer2, latest, Picture1);
    imgDownload->setPictureVisible(true);
    imgDownload->show();
    Timer3->start(1000);
    Timer1->stop();
    Label1->setText(StatusNewVersion());
    setState(State::NewVersion);
}

void frmUpdate::showUpToDate(const QString &latest)
{
    DisplayDigital(picVer2, latest, Picture1);
    Timer1->stop();
    setTextColor(Label1, Purple);
    Label1->setText(StatusUpToDate());
    setState(State::UpToDate);
}

void frmUpdate::showFailure(const QString &reason)
{
    qWarning("Update check: %s failed: %s", qUtf8Printable(versionFileUrl()), qUtf8Printable(reason));
    Timer1->stop();
    setTextColor(Label1, Red);
    Label1->setText(StatusFailed());
    setState(State::Failed);
}

void frmUpdate::Timer3_Timer()
{
    // The button blinks by its picture alone, so it stays where it is for the pointer and the
    // keyboard while it blinks.
    imgDownload->setPictureVisible(!imgDownload->isPictureVisible());
}

void frmUpdate::setState(State state)
{
    m_state = state;
    emit stateChanged(state);
}

void frmUpdate::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    SkinnedWindow::keyPressEvent(event);
}

} // namespace Sveltra
