// The picture progress bar: accepted percentages, a new fill taking over the track, the two
// ways of choosing the next picture, and what the user sees, pixel by pixel.

#include <QApplication>
#include <QLabel>
#include <QTest>

#include "gui/skin/progresspicture.h"

using namespace Sveltra;

namespace {

QRgb colour(int number)
{
    return QColor::fromHsv(number * 36 % 360, 200, 90 + number * 15).rgb();
}

// Ten 300 × 50 pictures of one colour each.
QList<QPixmap> pictures()
{
    QList<QPixmap> list;
    for (int n = 1; n <= 10; ++n) {
        QImage image(300, 50, QImage::Format_RGB32);
        image.fill(colour(n));
        list << QPixmap::fromImage(image);
    }
    return list;
}

int numberOf(const QPixmap &pixmap)
{
    for (int n = 1; n <= 10; ++n)
        if (!pixmap.isNull() && pixmap.toImage().pixel(10, 10) == colour(n))
            return n;
    return 0;
}

struct Bar
{
    QWidget window;
    QLabel *track = new QLabel(&window);
    QLabel *fill = new QLabel(&window);
    int current = 0; // the monitor's picture number, kept by the caller

    Bar()
    {
        window.resize(360, 240);
        window.setStyleSheet(QStringLiteral("background: black"));
        track->setGeometry(20, 150, 304, 54);
        fill->setGeometry(5, 6, 40, 12); // elsewhere until the first new fill
        track->setPixmap(pictures().at(4));
        fill->setPixmap(pictures().at(6));
    }
    std::unique_ptr<ProgressPicture> inOrder()
    {
        return std::make_unique<ProgressPicture>(track, fill, pictures(), std::make_unique<PicturesInOrder>(current),
                                                 ProgressPicture::Repaint::WholeWindow);
    }
};

} // namespace

class TestProgressPicture : public QObject
{
    Q_OBJECT

private slots:
    void percentagesAndWidths()
    {
        Bar bar;
        auto progress = bar.inOrder();
        for (int percent : {-1, 101}) {
            QVERIFY(progress->SetProgressPic(percent));
            QCOMPARE(bar.fill->geometry(), QRect(5, 6, 40, 12));
        }
        // Before any new fill, the fill widens where it was first placed.
        QVERIFY(!progress->SetProgressPic(50));
        QCOMPARE(bar.fill->geometry(), QRect(5, 6, 152, 12));
        QVERIFY(!progress->SetProgressPic(0));
        QCOMPARE(bar.fill->geometry(), QRect(20, 150, 0, 54));
        progress->SetProgressPic(100);
        QCOMPARE(bar.fill->width(), 304);
        progress->SetProgressPic(1);
        QCOMPARE(bar.fill->width(), 3);
        QCOMPARE(ProgressFillWidth(1, 4560), 45); // the designed track in twips
    }

    void monitorOrderStartsAtTwoWrapsAndKeepsItsNumber()
    {
        Bar bar;
        bar.fill->hide();
        auto progress = bar.inOrder();
        progress->SetProgressPic(5); // every call first brings the number into range
        QCOMPARE(bar.current, 1);
        progress->SetProgressPic(0);
        QVERIFY(bar.fill->isVisibleTo(&bar.window));
        QCOMPARE(numberOf(bar.track->pixmap()), 7); // the old fill now shows in full
        QList<int> seen{numberOf(bar.fill->pixmap())};
        for (int i = 0; i < 10; ++i) {
            const int before = numberOf(bar.fill->pixmap());
            progress->SetProgressPic(0);
            QCOMPARE(numberOf(bar.track->pixmap()), before);
            seen << numberOf(bar.fill->pixmap());
        }
        QCOMPARE(seen, (QList<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 1, 2}));
        progress = bar.inOrder(); // a new bar over the same number goes on from there
        progress->SetProgressPic(0);
        QCOMPARE(progress->fillPicture(), 3);
        bar.current = 42;
        progress->SetProgressPic(0);
        QCOMPARE(progress->fillPicture(), 2);
    }

    void randomChoiceCoversTheWholeList()
    {
        QList<double> draws = {0.0, 0.0999, 0.1, 0.5, 0.999999};
        PicturesAtRandom chooser([&draws] { return draws.takeFirst(); });
        QList<int> numbers;
        for (int i = 0; i < 5; ++i)
            numbers << chooser.next(10);
        QCOMPARE(numbers, (QList<int>{1, 1, 2, 6, 10}));
        PicturesAtRandom real;
        for (int i = 0; i < 100; ++i)
            QVERIFY(real.next(10) >= 1 && real.next(10) <= 10);
    }

    void whatTheUserSeesMatchesTheRender()
    {
        Bar bar;
        auto progress = bar.inOrder();
        bar.window.show();
        progress->SetProgressPic(0);
        progress->SetProgressPic(0); // track 2, fill 3
        for (int percent : {1, 37, 100}) {
            progress->SetProgressPic(percent);
            const QImage seen = bar.window.grab(bar.track->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(seen,
                     RenderProgressPicture(pictures().at(1).toImage(), pictures().at(2).toImage(), QSize(304, 54),
                                           ProgressFillWidth(percent, 304)));
        }
        const QImage r = RenderProgressPicture(pictures().at(1).toImage(), pictures().at(2).toImage(), QSize(304, 54), 152);
        QCOMPARE(r.pixel(151, 20), colour(3));
        QCOMPARE(r.pixel(152, 20), colour(2));
        QCOMPARE(r.pixel(302, 20), qRgb(0, 0, 0)); // the 300-pixel picture ends before the track
    }

    void emptyListAndVanishedBoxesDoNotFail()
    {
        Bar bar;
        ProgressPicture empty(bar.track, bar.fill, {}, std::make_unique<PicturesInOrder>(bar.current),
                              ProgressPicture::Repaint::TrackThenFill);
        QVERIFY(!empty.SetProgressPic(0));
        QVERIFY(bar.fill->pixmap().isNull());
        delete bar.fill;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("boxes are gone")));
        QVERIFY(!empty.SetProgressPic(10));
    }
};

QTEST_MAIN(TestProgressPicture)
#include "test_progresspicture.moc"
