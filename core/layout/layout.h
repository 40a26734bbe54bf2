#pragma once

#include <QtGlobal>

// Geometry of the main window's working areas, in twips (15 to the pixel at 96 dots per inch),
// as pure functions: the window reads its controls into an Areas value, runs a pass here and
// writes the result back, converting to pixels only at that boundary. No Qt Gui types, so the
// rules are tested without a window.
namespace Sveltra::Layout {

constexpr int TwipsPerPixel = 15;

// The client area the window opens with.
constexpr int DesignedClientWidth = 8610;
constexpr int DesignedClientHeight = 7335;

// Bar thickness of the first placement and of every later layout pass.
constexpr int InitBarThickness = 80;
constexpr int BarThickness = 50;

// A splitter drag is taken only while the area it sizes stays strictly inside this margin.
constexpr int DragMargin = 200;

// The output bar: its height never changes; the browse button sits at its left edge and the
// text box starts just before the button ends.
constexpr int OutputBarHeight = 615;
constexpr int BrowseButtonWidth = 615;
constexpr int BrowseButtonHeight = 555;
constexpr int OutputBoxLeft = 600;

// The format toolbar as designed. The combo box is sized once, to reach the toolbar's designed
// right end; later passes change the toolbar's width only.
constexpr int FormatBarDesignWidth = 2580;
constexpr int FormatButtonSize = 330; // four square buttons, left to right
constexpr int FormatButtonsLeft = 15;
constexpr int FormatComboLeft = 1395;

struct Rect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; }
    int bottom() const { return top + height; }
    friend bool operator==(const Rect &, const Rect &) = default;
};

// The areas a pass places. All rectangles are in the window's client coordinates, except
// cbFormat, which lives on tbFormat and is relative to it.
struct Areas
{
    Rect tree;      // XTreeView1
    Rect splitV;    // SplitV
    Rect tbFormat;  // tbFormat
    Rect cbFormat;  // cbFormat, relative to tbFormat
    Rect fileList;  // XListView1
    Rect splitH;    // SplitH
    Rect jobList;   // ListView1
    Rect outputBar; // Picture1

    friend bool operator==(const Areas &, const Areas &) = default;
};

// What a pass needs to know of the window. W and H are the client width and height; Top0 is
// the bottom of the main toolbar, Left0 its left, Bottom0 the top of the status bar.
struct Frame
{
    int W = 0;
    int H = 0;
    int Top0 = 0;
    int Left0 = 0;
    int Bottom0 = 0;
};

// Sizes set while the window loads, before the first placement: the tree is 0.3 × W wide and
// 0.5 × H high (rounded to the nearest twip).
void InitialSizes(Areas &areas, const Frame &frame);

// The first placement (arrangement 1 with 80-twip bars). Sizes the combo box.
void InitForm(Areas &areas, const Frame &frame);

// The layout pass for arrangement 1 (tree over file list on the left, job list on the right)
// or 2 (tree alone on the left; format bar, file list and job list stacked on the right).
// Values not named by the arrangement's rules are kept. A negative width or height is refused,
// as a window refuses it: that one assignment keeps the old value and the pass goes on.
void LayoutPass(Areas &areas, const Frame &frame, int arrangement);

// Switches the arrangement and halves the size the new arrangement starts from: 1 → 2 sets the
// file list to half the job list's height; 2 → 1 halves the tree's height. Returns the new
// arrangement; the caller runs a layout pass.
int SwitchArrangement(int arrangement, Areas &areas);

// The output bar's inner placement for a bar of the given size.
struct OutputBarInner
{
    Rect browseButton; // Command1
    Rect textBox;      // txtOutput
};
// The text box is as wide as the bar less the browse button; a negative width is refused and
// keeps previous. Both are centred vertically in the bar.
OutputBarInner PlaceOutputBar(const Rect &bar, const Rect &previousTextBox);

// One step of a splitter drag. size is the width (SplitH) or height (SplitV) the bar follows,
// offset the pointer's distance from the bar's leading edge, limit the client extent across
// the bar (W for SplitH, H for SplitV). The step is taken only when 200 < size + offset <
// limit − 200; it then moves size by offset × clientWidth ÷ outerWidth, the ratio of the
// client width to the window's outer width, for either bar.
struct DragStep
{
    bool taken = false;
    int size = 0;
};
DragStep DragSplitter(int size, int offset, int limit, int clientWidth, int outerWidth);

// Pixels from twips and back, at 96 dots per inch. Rectangles convert by their edges so that
// areas that touch in twips touch in pixels.
int ToPixels(int twips);
inline int ToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}
struct PixelRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect &, const PixelRect &) = default;
};
PixelRect ToPixels(const Rect &twips);
Rect ToTwips(const PixelRect &pixels);

} // namespace Sveltra::Layout
