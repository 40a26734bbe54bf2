#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

#include "core/base/website.h"
#include "gui/skin/skinnedwindow.h"

class QLabel;
class QPushButton;
class QTimer;

// The update-check window: fetches the version file from the product's web site, compares it
// with the installed version and says in one status line whether a newer one exists, with a
// blinking download button when it does. Each window runs one check, one second after it
// opens; the outcome stays until the window is closed. User-interface thread only; the fetch
// runs in the background and its result is applied here, in the order of the states.
namespace Sveltra {

class PictureButton;
class ProgressPicture;
class VersionFetch;

class frmUpdate final : public SkinnedWindow
{
    Q_OBJECT

public:
    enum class State { Connecting, Fetching, NewVersion, UpToDate, Failed };

    // siteAddress: the web site the version file and the download page are read from
    // (scheme and host, no trailing "/"); tests give a local server.
    explicit frmUpdate(const QString &siteAddress = WebSiteHost(), QWidget *parent = nullptr);
    ~frmUpdate() override;

    State state() const { return m_state; }
    int busyPercent() const { return m_busyPercent; }
    QString versionFileUrl() const;
    QString downloadPageUrl() const;

    // The source of uniform numbers in [0, 1) for the busy animation's steps and pictures
    // (QRandomGenerator by default); tests make it predictable.
    void setRandomSource(std::function<double()> uniform);
    // How long the fetch may take before it counts as failed (15 s by default).
    void setFetchTimeout(int milliseconds);

    // The busy animation (see ProgressPicture); the result is ignored by this window.
    bool SetProgressPic(int percent);
    const ProgressPicture &progressPicture() const { return *m_progress; }

    // The timers' handlers: Timer1 one step of the busy animation, Timer2 the check (once),
    // Timer3 one blink of the download button.
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();

    // Controls, by the names the rest of the program and the tests use.
    QLabel *Label1 = nullptr;  // status line
    QLabel *Label2 = nullptr;  // "已安装版本:"
    QLabel *Label3 = nullptr;  // "最新版本:"
    QLabel *picVer1 = nullptr; // installed-version readout
    QLabel *picVer2 = nullptr; // latest-version readout
    QLabel *ProgressPic1 = nullptr;
    QLabel *ProgressPic2 = nullptr;
    PictureButton *imgDownload = nullptr;
    PictureButton *imgExit = nullptr;
    QPushButton *Command5 = nullptr; // help
    QTimer *Timer1 = nullptr;        // busy animation, 200 ms
    QTimer *Timer2 = nullptr;        // starts the check once, after 1000 ms
    QTimer *Timer3 = nullptr;        // download button blink, 1000 ms once started
    VersionFetch *Inet1 = nullptr;
    QImage Picture1; // the LED glyph strip

    static QString StatusConnecting() { return tr("连接到互联网......"); }
    static QString StatusNewVersion() { return tr("找到新版本，您现在可以下载它"); }
    static QString StatusUpToDate() { return tr("当前没有可用的新版本，请以后再检查"); }
    static QString StatusFailed() { return tr("未能从网络获取信息，请以后再检查"); }
    static QString HelpTopic() { return QStringLiteral("Sveltra.htm"); }

signals:
    // The help button asks for the help topic "Sveltra.htm"; whoever shows help connects here.
    void helpRequested(const QString &topic);
    void stateChanged(Sveltra::frmUpdate::State state);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Inet1_Finished(bool ok, const QByteArray &body, const QString &error);
    void showNewVersion(const QString &latest);
    void showUpToDate(const QString &latest);
    void showFailure(const QString &reason);
    void setState(State state);
    double uniform();

    QString m_site;
    State m_state = State::Connecting;
    int m_busyPercent = 0;
    std::function<double()> m_uniform;
    std::unique_ptr<ProgressPicture> m_progress;
};

} // namespace Sveltra
