// The picture progress bar: the percentages it accepts, how a new fill takes over the track,
// the two ways of choosing the next picture, and what the user sees, pixel by pixel.

#include <QApplication>
#include <QLabel>
#include <QTest>

#include "skin/progresspicture.h"

using namespace Sveltra;

namespace {

QRgb pictureColour(int number) { return QColor::fromHsv((number * 36) % 360, 200, 90 + number * 15).rgb(); }

// Ten 300 × 50 pictures, each one colour, and a stripe so the left edge is recognisable.
QList<QPixmap> pictures()
{
    QList<QPixmap> list;
    for (int n = 1; n <= 10; ++n) {
        QImage image(300, 50, QImage::Format_RGB32);
        image.fill(pictureColour(n));
        for (int y = 0; y < 50; ++y)
            image.setPixel(0, y, qRgb(255, 255, 255));
        list << QPixmap::fromImage(image);
    }
    return list;
}

int numberOf(const QPixmap &pixmap)
{
    if (pixmap.isNull())
        return 0;
    const QRgb c = pixmap.toImage().pixel(10, 10);
    for (int n = 1; n <= 10; ++n)
        if (c == pictureColour(n))
            return n;
    return -1;
}

struct Bar
{
    QWidget window;
    QLabel *track = new QLabel(&window);
    QLabel *fill = new QLabel(&window);

    Bar()
    {
        window.resize(360, 240);
        QPalette p = window.palette();
        p.setColor(QPalette::Window, Qt::black);
        window.setPalette(p);
        window.setAutoFillBackground(true);
        track->setGeometry(20, 150, 304, 54); // 4560 × 810 twips
        fill->setGeometry(5, 6, 40, 12);      // somewhere else until the first new fill
        const QList<QPixmap> list = pictures();
        track->setPixmap(list.at(4)); // each box starts with a picture of its own
        fill->setPixmap(list.at(6));
    }
};

} // namespace

class TestProgressPicture : public QObject
{
    Q_OBJECT

private slots:
    void percentagesOutsideTheRangeChangeNothing()
    {
        Bar bar;
        int current = 0;
        ProgressPicture progress(bar.track, bar.fill, pictures(), std::make_unique<PicturesInOrder>(current),
                                 ProgressPicture::Repaint::WholeWindow);
        const QRect fillBefore = bar.fill->geometry();
        for (int percent : {-1, 101, -100, 1000}) {
            QVERIFY(progress.SetProgressPic(percent));
            QCOMPARE(bar.fill->geometry(), fillBefore);
            QCOMPARE(numberOf(bar.track->pixmap()), 5);
            QCOMPARE(numberOf(bar.fill->pixmap()), 7);
        }
        QVERIFY(!progress.SetProgressPic(100));
        QVERIFY(!progress.SetProgressPic(0));
    }

    void widthFollowsTheTrackAndBeforeANewFillTheFillStaysWhereItIs()
    {
        QCOMPARE(ProgressFillWidth(1, 304), 3);
        QCOMPARE(ProgressFillWidth(50, 304), 152);
        QCOMPARE(ProgressFillWidth(100, 304), 304);
        QCOMPARE(ProgressFillWidth(1, 4560), 45); // the designed track in twips
        QCOMPARE(ProgressFillWidth(99, 288), 285);

        Bar bar;
        int current = 0;
        ProgressPicture progress(bar.track, bar.fill, pictures(), std::make_unique<PicturesInOrder>(current),
                                 ProgressPicture::Repaint::WholeWindow);
        QVERIFY(!progress.SetProgressPic(50));
        QCOMPARE(bar.fill->geometry(), QRect(5, 6, 152, 12));
        QCOMPARE(numberOf(bar.fill->pixmap()), 7);

        progress.SetProgressPic(0);
        QCOMPARE(bar.fill->geometry(), QRect(20, 150, 0, 54));
        QVERIFY(bar.fill->isVisibleTo(&bar.window));
        progress.SetProgressPic(100);
        QCOMPARE(bar.fill->geometry(), QRect(20, 150, 304, 54));
        progress.SetProgressPic(1);
        QCOMPARE(bar.fill->width(), 3);
    }

    void monitorOrderStartsAtTwoWrapsAndKeepsItsNumber()
    {
        Bar bar;
        bar.fill->hide();
        int current = 0;
        {
            ProgressPicture progress(bar.track, bar.fill, pictures(), std::make_unique<PicturesInOrder>(current),
                                     ProgressPicture::Repaint::WholeWindow);
            progress.SetProgressPic(5); // every call first brings the number into range
            QCOMPARE(current, 1);
            progress.SetProgressPic(0);
            QVERIFY(bar.fill->isVisibleTo(&bar.window));
            QCOMPARE(numberOf(bar.track->pixmap()), 7); // the fill's first picture now shows in full
            QCOMPARE(numberOf(bar.fill->pixmap()), 2);
            QCOMPARE(progress.fillPicture(), 2);
            QList<int> seen;
            for (int i = 0; i < 10; ++i) {
                const int before = numberOf(bar.fill->pixmap());
                progress.SetProgressPic(0);
                QCOMPARE(numberOf(bar.track->pixmap()), before); // two new fills in a row
                seen << numberOf(bar.fill->pixmap());
            }
            QCOMPARE(seen, (QList<int>{3, 4, 5, 6, 7, 8, 9, 10, 1, 2}));
        }
        // The number belongs to the caller, so a new bar over it goes on from there.
        QCOMPARE(current, 2);
        ProgressPicture again(bar.track, bar.fill, pictures(), std::make_unique<PicturesInOrder>(current),
                              ProgressPicture::Repaint::WholeWindow);
        again.SetProgressPic(0);
        QCOMPARE(numberOf(bar.fill->pixmap()), 3);

        current = 42; // out of range: back to 1 first, so the fill gets 2
        again.SetProgressPic(0);
        QCOMPARE(numberOf(bar.fill->pixmap()), 2);
    }

    void randomChoiceCoversTheWholeList()
    {
        QList<double> draws = {0.0, 0.0999, 0.1, 0.5, 0.95, 0.999999};
        PicturesAtRandom chooser([&draws] { return draws.takeFirst(); });
        QList<int> numbers;
        for (int i = 0; i < 6; ++i)
            numbers << chooser.next(10);
        QCOMPARE(numbers, (QList<int>{1, 1, 2, 6, 10, 10}));

        PicturesAtRandom real;
        for (int i = 0; i < 200; ++i) {
            const int n = real.next(10);
            QVERIFY(n >= 1 && n <= 10);
        }

        Bar bar;
        ProgressPicture progress(bar.track, bar.fill, pictures(),
                                 std::make_unique<PicturesAtRandom>([] { return 0.35; }),
                                 ProgressPicture::Repaint::TrackThenFill);
        progress.SetProgressPic(0);
        progress.SetProgressPic(0); // the same picture twice: the new fill looks like the old one
        QCOMPARE(numberOf(bar.track->pixmap()), 4);
        QCOMPARE(numberOf(bar.fill->pixmap()), 4);
    }

    void whatTheUserSeesMatchesTheRender()
    {
        Bar bar;
        int current = 0;
        const QList<QPixmap> list = pictures();
        ProgressPicture progress(bar.track, bar.fill, list, std::make_unique<PicturesInOrder>(current),
                                 ProgressPicture::Repaint::WholeWindow);
        bar.window.show();
        progress.SetProgressPic(0);
        progress.SetProgressPic(0); // track: picture 2, fill: picture 3
        for (int percent : {1, 37, 50, 100}) {
            progress.SetProgressPic(percent);
            const QImage seen = bar.window.grab(bar.track->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
            const QImage expected = RenderProgressPicture(list.at(1).toImage(), list.at(2).toImage(), QSize(304, 54),
                                                          ProgressFillWidth(percent, 304));
            QCOMPARE(seen, expected);
        }

        // The render itself: fill on the left, track to the right, black beyond the pictures.
        const QImage r = RenderProgressPicture(list.at(1).toImage(), list.at(2).toImage(), QSize(304, 54), 152);
        QCOMPARE(r.pixel(151, 20), pictureColour(3));
        QCOMPARE(r.pixel(152, 20), pictureColour(2));
        QCOMPARE(r.pixel(0, 20), qRgb(255, 255, 255)); // the fill's own left edge
        QCOMPARE(r.pixel(302, 20), qRgb(0, 0, 0));     // the 300-pixel picture ends before the track
        QCOMPARE(r.pixel(20, 52), qRgb(0, 0, 0));
    }

    void emptyListAndVanishedBoxesDoNotFail()
    {
        Bar bar;
        int current = 0;
        ProgressPicture progress(bar.track, bar.fill, {}, std::make_unique<PicturesInOrder>(current),
                                 ProgressPicture::Repaint::WholeWindow);
        QVERIFY(!progress.SetProgressPic(0));
        QVERIFY(bar.fill->pixmap().isNull());
        QCOMPARE(numberOf(bar.track->pixmap()), 7);

        auto *track = new QLabel(&bar.window);
        auto *fill = new QLabel(&bar.window);
        ProgressPicture orphan(track, fill, pictures(), std::make_unique<PicturesInOrder>(current),
                               ProgressPicture::Repaint::TrackThenFill);
        delete fill;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("boxes are gone")));
        QVERIFY(!orphan.SetProgressPic(10));
    }
};

QTEST_MAIN(TestProgressPicture)
#include "test_progresspicture.moc"
