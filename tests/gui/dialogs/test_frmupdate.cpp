// The update-check window against a local HTTP peer: every version file of note, HTTP errors,
// an empty body, a server that never answers or trickles, the busy animation, the blinking
// download button, help, and that nothing is written to disk.

#include <QApplication>
#include <QDesktopServices>
#include <QDirIterator>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "gui/dialogs/frmupdate.h"
#include "gui/skin/digitdisplay.h"
#include "gui/skin/picturebutton.h"
#include "gui/skin/progresspicture.h"
#include "tests/support/httppeer.h"
#include "tests/support/urlcatcher.h"

using namespace Sveltra;
using TestSupport::HttpPeer;
using TestSupport::HttpReply;
using State = frmUpdate::State;

Q_DECLARE_METATYPE(Sveltra::frmUpdate::State)

namespace {

bool ended(const frmUpdate &w)
{
    return w.state() > State::Fetching;
}

// The readout shows exactly this text, to a screen reader and to the eye.
void verifyReadout(const frmUpdate &w, const QLabel *readout, const QString &text)
{
    QCOMPARE(readout->accessibleName(), text);
    QCOMPARE(readout->size(), QSize(static_cast<int>(text.size()) * 14, 20));
    QCOMPARE(readout->pixmap().toImage().convertToFormat(QImage::Format_RGB32), RenderDigitalText(w.Picture1, text));
}

QStringList filesUnder(const QString &dir)
{
    QStringList files;
    for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    return files;
}

} // namespace

class TestFrmUpdate : public QObject
{
    Q_OBJECT

public:
    QString home;

private:
    QStringList m_workingFiles;

private slots:
    void initTestCase() { m_workingFiles = filesUnder(QDir::currentPath()); }

    void cleanupTestCase()
    {
        // No cache, cookie file or download anywhere the program could write.
        QCOMPARE(filesUnder(home), QStringList());
        QCOMPARE(filesUnder(QDir::currentPath()), m_workingFiles);
    }

    void loadShowsConnecting()
    {
        frmUpdate w;
        QCOMPARE(w.versionFileUrl(), WebSiteHost() + QStringLiteral("/download/Sveltra.txt"));
        QCOMPARE(w.state(), State::Connecting);
        QCOMPARE(w.Label1->text(), QStringLiteral("连接到互联网......"));
        QCOMPARE(w.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        verifyReadout(w, w.picVer1, QStringLiteral("04.03.00"));
        verifyReadout(w, w.picVer2, QStringLiteral("........"));
        QVERIFY(w.imgDownload->isHidden());
        QCOMPARE(w.findChild<QTimer *>(QStringLiteral("Timer1"))->interval(), 200);
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.Timer2->interval(), 1000);
        QVERIFY(w.Timer2->isActive());
        QVERIFY(!w.Timer3->isActive());
    }

    void outcomes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<State>("state");
        QTest::addColumn<QString>("shown");

        const int respond = int(HttpReply::Mode::Respond), closed = -1;
        const int ok = 200;
        const QString dots = QStringLiteral("........");
        QTest::newRow("04.03.01 and a line end")
            << respond << ok << QByteArray("Sveltra04.03.01\r\n") << State::NewVersion << QStringLiteral("04.03.01");
        QTest::newRow("04.03.00") << respond << ok << QByteArray("Sveltra04.03.00") << State::UpToDate
                                  << QStringLiteral("04.03.00");
        QTest::newRow("04.02.99") << respond << ok << QByteArray("Sveltra04.02.99") << State::UpToDate
                                  << QStringLiteral("04.02.99");
        QTest::newRow("4.3.1") << respond << ok << QByteArray("Sveltra4.3.1") << State::Failed << dots;
        QTest::newRow("a blank and 4.3.10") << respond << ok << QByteArray("Sveltra 4.3.10") << State::Failed << dots;
        QTest::newRow("NUL bytes after the name")
            << respond << ok << QByteArray("Sveltra\0\0\0\0\0\0\0\0", 15) << State::Failed << dots;
        QTest::newRow("04.10.00") << respond << ok << QByteArray("Sveltra04.10.00") << State::NewVersion
                                  << QStringLiteral("04.10.00");
        QTest::newRow("10.00.00") << respond << ok << QByteArray("Sveltra10.00.00\n") << State::NewVersion
                                  << QStringLiteral("10.00.00");
        QTest::newRow("name in lower case") << respond << ok << QByteArray("sveltra04.03.01") << State::Failed << dots;
        QTest::newRow("404 with a good-looking body") << respond << 404 << QByteArray("Sveltra04.03.01") << State::Failed << dots;
        QTest::newRow("empty body") << respond << ok << QByteArray() << State::Failed << dots;
        QTest::newRow("a megabyte after a good start")
            << respond << ok << (QByteArray("Sveltra04.03.01") + QByteArray(1 << 20, 'x')) << State::NewVersion
            << QStringLiteral("04.03.01");
        QTest::newRow("never answers") << int(HttpReply::Mode::Silent) << ok << QByteArray() << State::Failed << dots;
        QTest::newRow("trickles forever") << int(HttpReply::Mode::Trickle) << ok << QByteArray() << State::Failed << dots;
        QTest::newRow("nobody listening") << closed << ok << QByteArray() << State::Failed << dots;
    }

    void outcomes()
    {
        QFETCH(int, mode);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(State, state);
        QFETCH(QString, shown);
        HttpPeer peer;
        peer.answerAll({status, body, HttpReply::Mode(std::max(mode, 0))});
        if (mode < 0)
            peer.close();

        frmUpdate w(peer.address());
        w.setFetchTimeout(700);
        QSignalSpy states(&w, &frmUpdate::stateChanged);
        w.show();
        w.Timer2->start(0); // the real one-second wait is checked above
        QTRY_VERIFY_WITH_TIMEOUT(ended(w), 10000);

        QCOMPARE(states.size(), 2); // Fetching, then one outcome
        QCOMPARE(w.state(), state);
        if (mode >= 0)
            QCOMPARE(peer.requestLines(), (QList<QByteArray>{"GET /download/Sveltra.txt HTTP/1.1"}));
        QVERIFY(!w.Timer1->isActive());
        verifyReadout(w, w.picVer2, shown);
        const QString texts[] = {QStringLiteral("找到新版本，您现在可以下载它"),
                                 QStringLiteral("当前没有可用的新版本，请以后再检查"),
                                 QStringLiteral("未能从网络获取信息，请以后再检查")};
        const QColor colours[] = {QColor(0, 0, 128), QColor(200, 0, 200), QColor(255, 0, 0)};
        const int k = int(state) - int(State::NewVersion);
        QCOMPARE(w.Label1->text(), texts[k]);
        QCOMPARE(w.Label1->palette().color(QPalette::WindowText), colours[k]);
        QCOMPARE(w.imgDownload->isVisible(), state == State::NewVersion);
        QCOMPARE(w.Timer3->isActive(), state == State::NewVersion);
    }

    void downloadButtonBlinksAndOpensTheDownloadPage()
    {
        HttpPeer peer;
        peer.answerAll({200, "Sveltra04.03.01"});
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        frmUpdate w(peer.address());
        w.show();
        w.Timer2_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(w.state(), State::NewVersion, 10000);
        QCOMPARE(w.Timer3->interval(), 1000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.imgDownload->isPictureVisible(), 3000);
        QVERIFY(w.imgDownload->isVisible()); // still there for the pointer and the keyboard
        QTRY_VERIFY_WITH_TIMEOUT(w.imgDownload->isPictureVisible(), 3000);

        QTest::mouseClick(w.imgDownload, Qt::LeftButton);
        QCOMPARE(catcher.urls, (QList<QUrl>{QUrl(peer.address() + QStringLiteral("/sveltra/sveltra-download.asp"))}));
        QVERIFY(w.isVisible());
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }

    void busyAnimationWalksAndRestartsBefore99()
    {
        frmUpdate w;
        w.Timer1->stop();
        w.Timer2->stop();
        w.setRandomSource([] { return 0.99; }); // steps of 4
        QList<int> widths;
        for (int tick = 0; tick < 27; ++tick) {
            QVERIFY(w.busyPercent() <= 98);
            w.Timer1_Timer();
            widths << w.ProgressPic2->width();
        }
        QCOMPARE(widths.mid(0, 2), (QList<int>{0, 12})); // a new fill, then 4 % of 304
        QCOMPARE(widths.at(24), 0);                      // 96 + 4 reaches 99: a new fill in the same tick
        QCOMPARE(widths.at(25), 3);                      // and the next tick draws 1 %

        // While the step is 0 at percentage 0, every tick starts yet another fill.
        frmUpdate idle;
        idle.Timer1->stop();
        idle.Timer2->stop();
        QList<double> draws = {0.15, 0.0, 0.25, 0.0, 0.35, 0.0}; // picture, step, picture, step ...
        idle.setRandomSource([&draws] { return draws.takeFirst(); });
        QList<int> fills;
        for (int tick = 0; tick < 3; ++tick) {
            idle.Timer1_Timer();
            fills << idle.progressPicture().fillPicture();
        }
        QCOMPARE(fills, (QList<int>{2, 3, 4}));
        QCOMPARE(idle.busyPercent(), 0);
    }

    void helpAndClosingMidFetch()
    {
        HttpPeer peer;
        peer.answerAll(HttpReply::silent());
        auto *w = new frmUpdate(peer.address());
        w->setAttribute(Qt::WA_DeleteOnClose);
        QSignalSpy help(w, &frmUpdate::helpRequested);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->Command5->click();
        QTest::keyClick(w, Qt::Key_F1);
        QCOMPARE(help.size(), 2);
        QCOMPARE(help.at(0).at(0).toString(), QStringLiteral("Sveltra.htm"));
        QVERIFY(w->Command5->x() >= w->width());           // designed right of the visible area,
        QCOMPARE(w->Command5->focusPolicy(), Qt::NoFocus); // so Tab never lands out of sight

        w->Timer2_Timer();
        w->Timer2_Timer(); // the check runs once per window
        QTRY_COMPARE(peer.requests.size(), 1);
        QPointer<frmUpdate> guard(w);
        QTest::mouseClick(w->imgExit, Qt::LeftButton); // the fetch goes with the window
        QTRY_VERIFY(!guard);
        QTest::qWait(100);
    }
};

int main(int argc, char **argv)
{
    // Everything the program might write for a user goes into a throw-away home, checked at the end.
    QTemporaryDir home;
    for (const char *variable : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        qputenv(variable, home.path().toUtf8());
    QApplication app(argc, argv);
    TestFrmUpdate test;
    test.home = home.path();
    return QTest::qExec(&test, argc, argv);
}

#include "test_frmupdate.moc"
