// The main window's geometry in twips: the first placement, both arrangements, refused sizes,
// the arrangement switch, the splitter drag limits and the pixel boundary.

#include <QTest>

#include "core/layout/layout.h"
#include "core/layout/windowplacement.h"

using namespace Sveltra::Layout;

namespace {

// The designed client area with a 900-twip toolbar and a 345-twip status bar.
constexpr Frame designed{8610, 7335, 900, 0, 6990};

// The controls as they come from the form, before the load step sizes anything.
Areas designedAreas()
{
    Areas a;
    a.tbFormat = {0, 0, FormatBarDesignWidth, 420};
    a.cbFormat = {FormatComboLeft, 30, 0, 360};
    a.outputBar = {0, 0, 0, OutputBarHeight};
    return a;
}

// The areas after the load step: initial sizes, then the first placement.
Areas loadedAreas()
{
    Areas a = designedAreas();
    InitialSizes(a, designed);
    InitForm(a, designed);
    return a;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void firstPlacementFollowsTheLoadStep()
    {
        Areas a = designedAreas();
        InitialSizes(a, designed);
        QCOMPARE(a.tree.width, 2583);  // 0.3 × 8610
        QCOMPARE(a.tree.height, 3668); // 0.5 × 7335, rounded

        InitForm(a, designed);
        QCOMPARE(a.tree, (Rect{0, 900, 2583, 3668}));
        QCOMPARE(a.splitV, (Rect{0, 4568, 2583, 80}));
        QCOMPARE(a.tbFormat, (Rect{0, 4648, FormatBarDesignWidth, 420})); // only its top moves
        QCOMPARE(a.cbFormat, (Rect{FormatComboLeft, 30, FormatBarDesignWidth - FormatComboLeft, 360}));
        QCOMPARE(a.fileList, (Rect{0, 5068, 2583, 1922}));
        QCOMPARE(a.splitH, (Rect{2583, 900, 80, 6090}));
        QCOMPARE(a.jobList, (Rect{2663, 900, 5947, 5475}));
        QCOMPARE(a.outputBar, (Rect{2663, 6375, 5947, 615}));

        // Laying out twice (start-up does) changes nothing.
        Areas again = a;
        InitForm(again, designed);
        QCOMPARE(again, a);
    }

    void arrangementTwoStacksTheRightColumn()
    {
        Areas a = loadedAreas();
        LayoutPass(a, designed, 2);
        QCOMPARE(a.tree, (Rect{0, 900, 2583, 6090}));
        QCOMPARE(a.splitH, (Rect{2583, 900, 50, 6090}));
        QCOMPARE(a.tbFormat, (Rect{2633, 900, 5977, 420}));
        QCOMPARE(a.fileList, (Rect{2633, 1320, 5977, 1922})); // height as the first placement left it
        QCOMPARE(a.splitV, (Rect{2633, 3242, 5977, 50}));
        QCOMPARE(a.jobList, (Rect{2633, 3292, 5977, 3083}));
        QCOMPARE(a.outputBar, (Rect{2633, 6375, 5977, 615}));
        // The combo box is sized by the first placement only.
        QCOMPARE(a.cbFormat.width, FormatBarDesignWidth - FormatComboLeft);

        // A taller file list pushes the job list down; the job list absorbs the difference.
        a.fileList.height = 2500;
        LayoutPass(a, designed, 2);
        QCOMPARE(a.splitV.top, 3820);
        QCOMPARE(a.jobList, (Rect{2633, 3870, 5977, 2505}));
        QCOMPARE(a.outputBar.top, 6375);
    }

    void arrangementOneStacksTheLeftColumn()
    {
        Areas a = loadedAreas();
        a.tree.height = 3000;
        LayoutPass(a, designed, 1);
        QCOMPARE(a.tree, (Rect{0, 900, 2583, 3000}));
        QCOMPARE(a.splitV, (Rect{0, 3900, 2583, 50}));
        QCOMPARE(a.tbFormat, (Rect{0, 3950, 2583, 420}));
        QCOMPARE(a.fileList, (Rect{0, 4370, 2583, 2620}));
        QCOMPARE(a.splitH, (Rect{2583, 900, 50, 6090}));
        QCOMPARE(a.jobList, (Rect{2633, 900, 5977, 5475}));
        QCOMPARE(a.outputBar, (Rect{2633, 6375, 5977, 615}));

        // Widening the window widens only the job list and the output bar.
        Frame wide = designed;
        wide.W = 12000;
        Areas w = a;
        LayoutPass(w, wide, 1);
        QCOMPARE(w.tree, a.tree);
        QCOMPARE(w.fileList, a.fileList);
        QCOMPARE(w.jobList, (Rect{2633, 900, 9367, 5475}));
        QCOMPARE(w.outputBar.width, 9367);
    }

    void refusedSizesKeepTheirLastValue()
    {
        Areas a = loadedAreas();
        a.tree.height = 3000;
        LayoutPass(a, designed, 1);

        // Shorter: the file list and the job list shrink, the tree keeps its height.
        Frame shorter = designed;
        shorter.H = 6000;
        shorter.Bottom0 = 5655;
        LayoutPass(a, shorter, 1);
        QCOMPARE(a.tree.height, 3000);
        QCOMPARE(a.fileList.height, 1285);
        QCOMPARE(a.jobList.height, 4140);

        // Shorter still: the file list would be negative and keeps 1285, though it moves.
        Frame tiny = designed;
        tiny.H = 4000;
        tiny.Bottom0 = 3655;
        LayoutPass(a, tiny, 1);
        QCOMPARE(a.fileList, (Rect{0, 4370, 2583, 1285}));
        QCOMPARE(a.jobList.height, 2140);
        QCOMPARE(a.splitH.height, 2755);

        // Tinier: the job list and the bar refuse too; every other value is still assigned.
        Frame crushed{1000, 1200, 900, 0, 1000};
        LayoutPass(a, crushed, 1);
        QCOMPARE(a.jobList.height, 2140);
        QCOMPARE(a.splitH.height, 100);
        QCOMPARE(a.jobList.width, 5977); // 1000 − 2633 is refused: the width from before stays
        QCOMPARE(a.jobList.left, 2633);
        QCOMPARE(a.outputBar.top, 900 + 2140);

        // Arrangement 2 in a tiny window: the tree's height and the format bar's width refuse.
        Areas b = loadedAreas();
        LayoutPass(b, designed, 2);
        Frame narrow{2000, 600, 900, 0, 800};
        LayoutPass(b, narrow, 2);
        QCOMPARE(b.tree.height, 6090);
        QCOMPARE(b.tbFormat.width, 5977);
        QCOMPARE(b.splitH.height, 6090);
    }

    void switchingHalvesAndNeverReturns()
    {
        Areas a = loadedAreas();
        LayoutPass(a, designed, 2);
        const int jobListHeight = a.jobList.height; // 3083

        int arrangement = SwitchArrangement(2, a);
        QCOMPARE(arrangement, 1);
        QCOMPARE(a.tree.height, 3045); // 6090 ÷ 2
        LayoutPass(a, designed, arrangement);
        QCOMPARE(a.fileList.top, 900 + 3045 + 50 + 420);

        const int jobListInOne = a.jobList.height; // 5475
        arrangement = SwitchArrangement(arrangement, a);
        QCOMPARE(arrangement, 2);
        QCOMPARE(a.fileList.height, jobListInOne / 2);
        LayoutPass(a, designed, arrangement);
        QCOMPARE(a.tree.height, 6090);
        QVERIFY(a.jobList.height != jobListHeight);
        QCOMPARE(a.jobList.height, 6990 - (900 + 420 + 2737 + 50) - 615);
    }

    void dragLimitsAreStrict()
    {
        // SplitH: the tree may not become 200 twips or less, nor W − 200 or more.
        QCOMPARE(DragSplitter(1000, -800, 8610, 8610, 8610).taken, false);
        QCOMPARE(DragSplitter(1000, -799, 8610, 8610, 8610).size, 201);
        QCOMPARE(DragSplitter(1000, 7410, 8610, 8610, 8610).taken, false);
        QCOMPARE(DragSplitter(1000, 7409, 8610, 8610, 8610).size, 8409);
        QCOMPARE(DragSplitter(1000, 0, 8610, 8610, 8610).size, 1000);

        // The step is scaled by client width over outer width, for either bar.
        DragStep step = DragSplitter(2583, 300, 8610, 8610, 8670);
        QVERIFY(step.taken);
        QCOMPARE(step.size, 2583 + 297);
        step = DragSplitter(2583, -300, 8610, 8610, 8670);
        QCOMPARE(step.size, 2583 - 297);
        // SplitV limits against H, yet scales by the widths.
        step = DragSplitter(3000, 150, 7335, 8610, 8700);
        QCOMPARE(step.size, 3000 + 148);
        QCOMPARE(DragSplitter(3000, 4135, 7335, 8610, 8700).taken, false);
        // Unknown outer width: no scaling.
        QCOMPARE(DragSplitter(3000, 150, 7335, 8610, 0).size, 3150);
    }

    void outputBarKeepsTheBoxBesideTheButton()
    {
        const OutputBarInner inner = PlaceOutputBar({2633, 6375, 5977, 615}, {0, 0, 100, 555});
        QCOMPARE(inner.browseButton, (Rect{0, 30, 615, 555}));
        QCOMPARE(inner.textBox, (Rect{600, 30, 5362, 555}));
        QCOMPARE(inner.textBox.right(), 5977 - 15);

        // Narrower than the button: the width is refused, the box keeps its own.
        const OutputBarInner narrow = PlaceOutputBar({0, 0, 500, 615}, inner.textBox);
        QCOMPARE(narrow.textBox.width, 5362);
        QCOMPARE(narrow.textBox.left, 600);
    }

    void pixelsMeetWhereTwipsMeet()
    {
        QCOMPARE(ToPixels(8610), 574);
        QCOMPARE(ToPixels(7), 0);
        QCOMPARE(ToPixels(8), 1);
        QCOMPARE(ToPixels(-8), -1);
        QCOMPARE(ToTwips(172), 2580);

        Areas a = loadedAreas();
        LayoutPass(a, designed, 2);
        const PixelRect tree = ToPixels(a.tree);
        const PixelRect bar = ToPixels(a.splitH);
        const PixelRect format = ToPixels(a.tbFormat);
        const PixelRect list = ToPixels(a.fileList);
        const PixelRect splitV = ToPixels(a.splitV);
        const PixelRect jobs = ToPixels(a.jobList);
        QCOMPARE(tree.x + tree.width, bar.x);
        QCOMPARE(bar.x + bar.width, format.x);
        QCOMPARE(format.x + format.width, 574);
        QCOMPARE(list.y + list.height, splitV.y);
        QCOMPARE(splitV.y + splitV.height, jobs.y);
        QCOMPARE(bar.width, 4); // 50 twips cover parts of four pixels here
        QCOMPARE(ToTwips(ToPixels(Rect{15, 30, 150, 45})), (Rect{15, 30, 150, 45}));
    }

    // Two screens side by side, the second lower and offset: a window wholly on either is kept as
    // it is; one hanging over an edge is moved in onto the screen it mostly lies on, shrunk where
    // it is larger; one on no screen is centred on the first; only a size below the minimum is
    // refused. The first start stays on its screen even when it is smaller than the designed size.
    void keptWindowIsBroughtOntoAScreen()
    {
        const std::vector<PixelRect> screens = {{0, 0, 1920, 1040}, {1920, 200, 1280, 1024}};
        const auto placed = [&screens](const PixelRect &kept) { return PlacedWindow(kept, screens, 494, 111); };
        QCOMPARE(placed({2000, 300, 1000, 700}), (PixelRect{2000, 300, 1000, 700}));
        QCOMPARE(placed({0, 0, 1920, 1040}), (PixelRect{0, 0, 1920, 1040}));
        QCOMPARE(placed({100, 500, 600, 541}), (PixelRect{100, 499, 600, 541}));     // one pixel under the first
        QCOMPARE(placed({100, 600, 800, 1000}), (PixelRect{100, 40, 800, 1000}));    // taller than the room below
        QCOMPARE(placed({1300, 300, 1000, 700}), (PixelRect{920, 300, 1000, 700}));  // mostly on the first
        QCOMPARE(placed({1800, 300, 1000, 700}), (PixelRect{1920, 300, 1000, 700})); // mostly on the second
        QCOMPARE(placed({2000, 100, 600, 400}), (PixelRect{2000, 200, 600, 400}));   // above the second
        QCOMPARE(placed({-50, -20, 3000, 2000}), (PixelRect{0, 0, 1920, 1040}));     // larger than any
        QCOMPARE(placed({-9000, 9000, 600, 450}), (PixelRect{660, 295, 600, 450}));  // on none
        QCOMPARE(placed({2147483600, 20, 600, 450}), (PixelRect{660, 295, 600, 450}));
        QCOMPARE(PlacedWindow({-2147483647 - 1, 0, 2147483647, 500}, screens, 0, 0), (PixelRect{0, 270, 1920, 500}));
        QVERIFY(!placed({100, 100, 493, 400})); // below the minimum
        QVERIFY(!placed({100, 100, -600, 400}));
        QVERIFY(!PlacedWindow({100, 100, 600, 400}, {}, 494, 111)); // no screen at all
        QVERIFY(!PlacedWindow({100, 100, 600, 400}, {{0, 0, 0, 0}}, 494, 111));

        QCOMPARE(FirstStartWindow({0, 0, 1920, 1040}, 574, 530), (PixelRect{320, 130, 1280, 780}));
        QCOMPARE(FirstStartWindow({1920, 200, 640, 480}, 574, 530), (PixelRect{1953, 200, 574, 480}));
    }
};

QTEST_APPLESS_MAIN(TestLayout)
#include "test_layout.moc"
