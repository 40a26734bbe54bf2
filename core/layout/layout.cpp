#include "core/layout/layout.h"

#include <limits>

namespace Sveltra::Layout {

namespace {

// A size assignment as a window takes it: a negative value (or one that does not fit) is
// refused and the old size stays.
void setSize(int &field, qint64 value)
{
    if (value >= 0 && value <= std::numeric_limits<int>::max())
        field = static_cast<int>(value);
}

int roundedPart(int whole, int numerator, int denominator)
{
    const qint64 scaled = qint64(whole) * numerator;
    const qint64 half = denominator / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / denominator : -((-scaled + half) / denominator));
}

void placeOutputBar(Areas &a)
{
    Rect &bar = a.outputBar;
    bar.left = a.jobList.left;
    bar.top = a.jobList.top + a.jobList.height;
    setSize(bar.width, a.jobList.width);
}

} // namespace

void InitialSizes(Areas &areas, const Frame &frame)
{
    setSize(areas.tree.width, roundedPart(frame.W, 3, 10));
    setSize(areas.tree.height, roundedPart(frame.H, 1, 2));
}

void InitForm(Areas &a, const Frame &f)
{
    Rect &tree = a.tree;
    tree.top = f.Top0;
    tree.left = f.Left0;

    a.splitV.top = tree.top + tree.height;
    a.splitV.left = 0;
    setSize(a.splitV.width, tree.width);
    setSize(a.splitV.height, InitBarThickness);

    a.tbFormat.top = a.splitV.top + a.splitV.height;

    // The only place the combo box is sized: it reaches the right end of the format bar.
    setSize(a.cbFormat.width, qint64(a.tbFormat.width) - a.cbFormat.left);

    a.fileList.top = a.tbFormat.top + a.tbFormat.height;
    a.fileList.left = 0;
    setSize(a.fileList.width, tree.width);
    setSize(a.fileList.height, qint64(f.Bottom0) - a.fileList.top);

    a.splitH.top = tree.top;
    a.splitH.left = tree.left + tree.width;
    setSize(a.splitH.width, InitBarThickness);
    setSize(a.splitH.height, qint64(f.Bottom0) - a.splitH.top);

    a.jobList.top = tree.top;
    a.jobList.left = a.splitH.left + a.splitH.width;
    setSize(a.jobList.width, qint64(f.W) - a.jobList.left);
    setSize(a.jobList.height, qint64(f.Bottom0) - a.jobList.top - a.outputBar.height);

    placeOutputBar(a);
}

void LayoutPass(Areas &a, const Frame &f, int arrangement)
{
    Rect &tree = a.tree;
    if (arrangement == 1) {
        tree.left = f.Left0;
        tree.top = f.Top0;

        a.splitV.left = tree.left;
        a.splitV.top = tree.top + tree.height;
        setSize(a.splitV.width, tree.width);
        setSize(a.splitV.height, BarThickness);

        a.tbFormat.left = tree.left;
        a.tbFormat.top = a.splitV.top + a.splitV.height;
        setSize(a.tbFormat.width, tree.width);

        a.fileList.left = tree.left;
        a.fileList.top = a.tbFormat.top + a.tbFormat.height;
        setSize(a.fileList.width, tree.width);
        setSize(a.fileList.height, qint64(f.Bottom0) - a.fileList.top);

        a.splitH.left = tree.left + tree.width;
        a.splitH.top = tree.top;
        setSize(a.splitH.width, BarThickness);
        setSize(a.splitH.height, qint64(f.Bottom0) - a.splitH.top);

        a.jobList.left = a.splitH.left + a.splitH.width;
        a.jobList.top = tree.top;
        setSize(a.jobList.width, qint64(f.W) - a.jobList.left);
        setSize(a.jobList.height, qint64(f.Bottom0) - a.jobList.top - a.outputBar.height);
    } else {
        tree.left = f.Left0;
        tree.top = f.Top0;
        setSize(tree.height, qint64(f.Bottom0) - tree.top);

        a.splitH.left = tree.left + tree.width;
        a.splitH.top = tree.top;
        setSize(a.splitH.width, BarThickness);
        setSize(a.splitH.height, tree.height);

        a.tbFormat.left = a.splitH.left + a.splitH.width;
        a.tbFormat.top = tree.top;
        setSize(a.tbFormat.width, qint64(f.W) - tree.width - a.splitH.width);

        a.fileList.left = a.tbFormat.left;
        a.fileList.top = a.tbFormat.top + a.tbFormat.height;
        setSize(a.fileList.width, a.tbFormat.width);

        a.splitV.left = a.fileList.left;
        a.splitV.top = a.fileList.top + a.fileList.height;
        setSize(a.splitV.width, a.fileList.width);
        setSize(a.splitV.height, BarThickness);

        a.jobList.left = a.splitV.left;
        a.jobList.top = a.splitV.top + a.splitV.height;
        setSize(a.jobList.width, a.splitV.width);
        setSize(a.jobList.height, qint64(f.Bottom0) - a.jobList.top - a.outputBar.height);
    }
    placeOutputBar(a);
}

int SwitchArrangement(int arrangement, Areas &areas)
{
    if (arrangement == 1) {
        setSize(areas.fileList.height, areas.jobList.height / 2);
        return 2;
    }
    setSize(areas.tree.height, areas.tree.height / 2);
    return 1;
}

OutputBarInner PlaceOutputBar(const Rect &bar, const Rect &previousTextBox)
{
    OutputBarInner inner;
    inner.browseButton = {0, (bar.height - BrowseButtonHeight) / 2, BrowseButtonWidth, BrowseButtonHeight};
    inner.textBox = previousTextBox;
    inner.textBox.left = OutputBoxLeft;
    setSize(inner.textBox.width, qint64(bar.width) - BrowseButtonWidth);
    inner.textBox.top = (bar.height - inner.textBox.height) / 2;
    return inner;
}

DragStep DragSplitter(int size, int offset, int limit, int clientWidth, int outerWidth)
{
    const qint64 proposed = qint64(size) + offset;
    if (!(proposed > DragMargin && proposed < qint64(limit) - DragMargin))
        return {false, size};
    // Without a known outer width the window has no frame: the ratio is 1.
    const qint64 step = outerWidth > 0 ? qint64(offset) * clientWidth / outerWidth : offset;
    const qint64 result = qint64(size) + step;
    if (result < 0 || result > std::numeric_limits<int>::max())
        return {false, size};
    return {true, static_cast<int>(result)};
}

int ToPixels(int twips)
{
    return roundedPart(twips, 1, TwipsPerPixel);
}

PixelRect ToPixels(const Rect &t)
{
    const int x = ToPixels(t.left);
    const int y = ToPixels(t.top);
    return {x, y, ToPixels(t.left + t.width) - x, ToPixels(t.top + t.height) - y};
}

Rect ToTwips(const PixelRect &p)
{
    return {ToTwips(p.x), ToTwips(p.y), ToTwips(p.width), ToTwips(p.height)};
}

} // namespace Sveltra::Layout
