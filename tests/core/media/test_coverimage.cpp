// Covers made small for players (at most 500 px, baseline JPEG), a cover that cannot be decoded
// left out, and the picture beside a source read safely, once per folder.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "core/base/picturekind.h"
#include "core/base/textcut.h"
#include "core/media/audioinformation.h"
#include "core/media/coverimage.h"
#include "core/media/tagmap.h"
#include "core/tags/coverart.h"
#include "core/tags/outputtag.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Collects the warnings logged while it lives.
class LogCatcher
{
public:
    LogCatcher() { s_lines = &m_lines, m_previous = qInstallMessageHandler(&LogCatcher::handle); }
    ~LogCatcher()
    {
        qInstallMessageHandler(m_previous);
        s_lines = nullptr;
    }
    const QStringList &lines() const { return m_lines; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtWarningMsg && s_lines)
            *s_lines << message;
    }
    static inline QStringList *s_lines = nullptr;
    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
};

} // namespace

class TestCoverImage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_wav;
    QString path(const char *name) const { return m_dir.filePath(QString::fromUtf8(name)); }

private slots:
    void initTestCase()
    {
        m_wav = path("tone.wav");
        QVERIFY(TestMedia::makeTone(m_wav, 3.0));
        // A front cover as a tagger embeds it, and a back cover of another shape.
        QVERIFY(TestMedia::makePicture(path("front.png"), 1500, 1500));
        QVERIFY(TestMedia::makePicture(path("back.png"), 1200, 600, QStringLiteral("color=c=blue")));
    }

    // A picture is told by the signature it starts with, wherever the program asks.
    void picturesAreToldByTheirBytes()
    {
        QCOMPARE(PictureKindOf(QByteArray("\xff\xd8\xff\xe0", 4)), PictureKind::Jpeg);
        QCOMPARE(PictureKindOf(QByteArray("\x89PNG\r\n\x1a\n", 8)), PictureKind::Png);
        QCOMPARE(PictureKindOf("GIF89a"), PictureKind::Gif);
        QCOMPARE(PictureKindOf("RIFF1234WEBPVP8 "), PictureKind::Webp);
        for (const char *none : {"", "\xff\xd8", "GIF8", "RIFF1234WAVE", "ID3"})
            QCOMPARE(PictureKindOf(none), PictureKind::None);
        QCOMPARE(QByteArray(PictureMimeType(PictureKind::Png)), QByteArray("image/png"));
    }

    void coversAreMadeSmall_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("make"); // lavfi source, then ffmpeg's extra arguments
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<bool>("kept");
        const QStringList pattern = {QString()};
        QTest::newRow("square PNG") << QStringLiteral("a.png") << QSize(1500, 1500) << pattern << QSize(500, 500) << false;
        QTest::newRow("huge PNG") << QStringLiteral("b.png") << QSize(6000, 4000) << QStringList{QStringLiteral("color=c=red")}
                                  << QSize(500, 333) << false;
        QTest::newRow("tall JPEG") << QStringLiteral("c.jpg") << QSize(300, 1200) << pattern << QSize(125, 500) << false;
        QTest::newRow("tiny PNG, never enlarged")
            << QStringLiteral("d.png") << QSize(40, 30) << pattern << QSize(40, 30) << false;
        QTest::newRow("small lean baseline JPEG, kept")
            << QStringLiteral("e.jpg") << QSize(200, 200) << QStringList{QString(), QStringLiteral("-q:v"), QStringLiteral("31")}
            << QSize(200, 200) << true;
        QTest::newRow("progressive JPEG") << QStringLiteral("f.jpg") << QSize(800, 600)
                                          << QStringList{QStringLiteral("progressive")} << QSize(500, 375) << false;
        QTest::newRow("small progressive JPEG") << QStringLiteral("g.jpg") << QSize(200, 100)
                                                << QStringList{QStringLiteral("progressive")} << QSize(200, 100) << false;
    }

    void coversAreMadeSmall()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(QStringList, make);
        QFETCH(QSize, expected);
        QFETCH(bool, kept);
        const QString file = m_dir.filePath(name);
        if (make.value(0) == QLatin1String("progressive")) {
            const QString plain = m_dir.filePath(QStringLiteral("plain-") + name);
            QVERIFY(TestMedia::makePicture(plain, size.width(), size.height()));
            QVERIFY(
                TestMedia::run(QStringLiteral("convert"), {plain, QStringLiteral("-interlace"), QStringLiteral("JPEG"), file}));
            QCOMPARE(TestMedia::pictureFacts(readAll(file)).interlace, QStringLiteral("JPEG"));
        } else {
            QVERIFY(TestMedia::makePicture(file, size.width(), size.height(), make.value(0), make.mid(1)));
        }
        const QByteArray original = readAll(file);
        QString error;
        const QByteArray small = CoverImage::MakeSmall(original, &error);
        QVERIFY2(!small.isEmpty(), qPrintable(error));
        const TestMedia::PictureFacts facts = TestMedia::pictureFacts(small);
        QCOMPARE(facts.format, QStringLiteral("JPEG"));
        QCOMPARE(QSize(facts.width, facts.height), expected);
        QCOMPARE(facts.interlace, QStringLiteral("None"));
        const CoverImage::JpegFacts header = CoverImage::ReadJpegFacts(small);
        QVERIFY(header.baseline);
        QCOMPARE(QSize(header.width, header.height), expected);
        QCOMPARE(small == original, kept);
    }

    void aCoverThatCannotBeDecodedIsLeftOut()
    {
        const QByteArray png = readAll(path("front.png"));
        QByteArray flipped = png;
        flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x55);
        QVERIFY(TestMedia::makePicture(path("whole.jpg"), 600, 600));
        const QByteArray jpeg = readAll(path("whole.jpg"));
        for (const QByteArray &damaged : {png.left(png.size() / 2), flipped, jpeg.left(jpeg.size() / 3), QByteArray("GIF89a"),
                                          QByteArray(5000, 'x'), QByteArray()}) {
            QString error;
            QVERIFY(CoverImage::MakeSmall(damaged, &error).isEmpty());
            QVERIFY(!error.isEmpty());
        }

        // A transparent picture lies on white.
        QVERIFY(TestMedia::run(QStringLiteral("ffmpeg"),
                               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                                QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("color=c=black@0.0:s=64x64,format=rgba"), QStringLiteral("-frames:v"),
                                QStringLiteral("1"), path("clear.png")}));
        QFile small(path("clear-small.jpg"));
        QVERIFY(small.open(QIODevice::WriteOnly));
        small.write(CoverImage::MakeSmall(readAll(path("clear.png"))));
        small.close();
        QByteArray pixels;
        QVERIFY(TestMedia::run(QStringLiteral("ffmpeg"),
                               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), small.fileName(),
                                QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
                                QStringLiteral("gray"), QStringLiteral("-")},
                               &pixels));
        QCOMPARE(pixels.size(), 64 * 64);
        QVERIFY(std::all_of(pixels.begin(), pixels.end(), [](char c) { return static_cast<unsigned char>(c) >= 250; }));
    }

    void theCoverBesideTheSourceIsTakenOncePerFolder()
    {
        QTemporaryDir album;
        const QString one = album.filePath(QStringLiteral("01.wav")), two = album.filePath(QStringLiteral("02.wav"));
        QVERIFY(QFile::copy(m_wav, one) && QFile::copy(m_wav, two));
        QVERIFY(TestMedia::makePicture(album.filePath(QStringLiteral("Front.PNG")), 300, 300));
        QVERIFY(TestMedia::makePicture(album.filePath(QStringLiteral("COVER.Jpg")), 1000, 800));
        QCOMPARE(CoverFileBeside(one), album.filePath(QStringLiteral("COVER.Jpg")));
        const QByteArray cover = SmallFrontCover({}, {}, one);
        QCOMPARE(TestMedia::pictureFacts(cover).width, 500);
        QCOMPARE(TestMedia::pictureFacts(cover).height, 400);
        // An embedded front cover wins over the folder's, a disc's cover over both.
        const QByteArray embedded = SmallFrontCover({}, {{EmbeddedPicture::FrontCover, {}, readAll(path("front.png"))}}, one);
        QCOMPARE(TestMedia::pictureFacts(embedded).height, 500);
        QVERIFY(TestMedia::makePicture(path("disc.png"), 100, 100));
        const QByteArray disc = SmallFrontCover(readAll(path("disc.png")),
                                                {{EmbeddedPicture::FrontCover, {}, readAll(path("front.png"))}}, {});
        QCOMPARE(TestMedia::pictureFacts(disc).width, 100);
        QVERIFY(QFile::remove(album.filePath(QStringLiteral("Front.PNG"))));
        const QByteArray coverFile = readAll(album.filePath(QStringLiteral("COVER.Jpg")));
        QVERIFY(QFile::remove(album.filePath(QStringLiteral("COVER.Jpg"))));
        QCOMPARE(SmallFrontCover({}, {}, one), QByteArray());

        // A damaged cover is left out, with one line in the log for the whole folder.
        QFile damaged(album.filePath(QStringLiteral("folder.jpg")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(coverFile.left(coverFile.size() / 2));
        damaged.close();
        LogCatcher log;
        QVERIFY(SmallFrontCover({}, {}, one).isEmpty());
        QVERIFY(SmallFrontCover({}, {}, two).isEmpty());
        QCOMPARE(log.lines().size(), 1);
        QVERIFY2(log.lines().first().contains(QLatin1String("left out")), qPrintable(log.lines().first()));
        // A damaged embedded cover gives way to a good one beside the source.
        QVERIFY(QFile::remove(damaged.fileName()));
        QVERIFY(TestMedia::makePicture(album.filePath(QStringLiteral("album.png")), 200, 100));
        const QByteArray fallback = SmallFrontCover({}, {{EmbeddedPicture::FrontCover, {}, coverFile.left(400)}}, one);
        QCOMPARE(TestMedia::pictureFacts(fallback).width, 200);
        QCOMPARE(log.lines().size(), 2);

        // Only regular files are covers: a link to /dev/zero and a pipe named as covers are passed
        // over (neither read without end nor waited on) for the next picture.
        QTemporaryDir odd;
        const QString source = odd.filePath(QStringLiteral("01.wav"));
        QVERIFY(QFile::copy(m_wav, source));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), odd.filePath(QStringLiteral("cover.jpg"))));
        QCOMPARE(::mkfifo(QFile::encodeName(odd.filePath(QStringLiteral("folder.jpg"))).constData(), 0600), 0);
        QCOMPARE(CoverFileBeside(source), QString());
        QVERIFY(SmallFrontCover({}, {}, source).isEmpty());
        QVERIFY(TestMedia::makePicture(odd.filePath(QStringLiteral("album.png")), 120, 90));
        QCOMPARE(CoverFileBeside(source), odd.filePath(QStringLiteral("album.png")));
        QCOMPARE(TestMedia::pictureFacts(SmallFrontCover({}, {}, source)).width, 120);
    }
};

QTEST_GUILESS_MAIN(TestCoverImage)
#include "test_coverimage.moc"
