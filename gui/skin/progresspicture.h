#pragma once

#include <QList>
#include <QPixmap>
#include <QPointer>

#include <functional>
#include <memory>

class QImage;
class QLabel;
class QSize;

// The picture progress bar of the skinned windows: a fill picture uncovered from left to right
// over the track picture, which shows the previous fill in full.
//
// The window owns two labels, the track `ProgressPic1` and the fill `ProgressPic2` (the fill
// must lie in front of the track; the constructor raises it), and the picture list
// `ProgressImageList1` (":/progress/01.png" ... "10.png", 300 × 50). Both labels show their
// picture unscaled at their top-left corner, clipped to their size.
//
// Use (frmMonitor):
//     m_progress = std::make_unique<ProgressPicture>(ProgressPic1, ProgressPic2,
//         ProgressPicture::SkinPictures(), std::make_unique<PicturesInOrder>(m_currentPicture),
//         ProgressPicture::Repaint::WholeWindow);
//     m_progress->SetProgressPic(5);  // from Timer3
// where m_currentPicture is an int that outlives the window if it must survive between runs
// (PicturesInOrder keeps a reference to it).
// Use (frmUpdate): the same with std::make_unique<PicturesAtRandom>() and
// Repaint::TrackThenFill.
//
// User-interface thread only.
namespace Sveltra {

// Chooses the fill's next picture for a new fill (percentage 0).
class PictureChooser
{
public:
    virtual ~PictureChooser() = default;
    // Called at the start of every SetProgressPic call, whatever the percentage, with the
    // number of pictures in the list.
    virtual void beginCall(int /*count*/) { }
    // The 1-based number of the fill's next picture; count ≥ 1.
    virtual int next(int count) = 0;
};

// frmMonitor's rule: the current picture number (held by the caller, 0 for a new window) is set
// to 1 at the start of every call if it lies outside 1..count; a new fill then advances it by
// one, back to 1 past the last picture. A new window thus shows 2, 3, ... 10, 1, 2 ...
class PicturesInOrder final : public PictureChooser
{
public:
    explicit PicturesInOrder(int &current)
        : m_current(current)
    {
    }
    void beginCall(int count) override;
    int next(int count) override;

private:
    int &m_current;
};

// frmUpdate's rule: the integer part of uniform [0, 1) × count, plus 1. The source of random
// numbers can be replaced (tests); by default it is QRandomGenerator::global().
class PicturesAtRandom final : public PictureChooser
{
public:
    using Uniform = std::function<double()>; // a number in [0, 1)
    explicit PicturesAtRandom(Uniform uniform = {});
    int next(int count) override;

private:
    Uniform m_uniform;
};

// The fill's width for a percentage of 1 to 100: the integer part of percent / 100 × track
// width, in floating point.
int ProgressFillWidth(int percent, int trackWidth);

// What the user sees of the bar: the track picture at the top-left of a trackSize area
// (clipped, black where the picture does not reach), and over it the fill picture cut to
// fillWidth pixels (clipped to the track). A pure function for tests and previews.
QImage RenderProgressPicture(const QImage &trackPicture, const QImage &fillPicture, const QSize &trackSize, int fillWidth);

class ProgressPicture final
{
public:
    // What a new fill (percentage 0) repaints at once: the monitor window repaints itself
    // whole, the update window the track and then the fill.
    enum class Repaint { WholeWindow, TrackThenFill };

    ProgressPicture(QLabel *track, QLabel *fill, QList<QPixmap> pictures, std::unique_ptr<PictureChooser> chooser,
                    Repaint repaint);
    ~ProgressPicture();
    Q_DISABLE_COPY_MOVE(ProgressPicture)

    // 0: a new fill. The fill is shown, laid exactly over the track's left edge (the track's
    //    left, top and height) at zero width; the track takes the fill's current picture; the
    //    fill gets the chooser's next picture; then the repaint chosen above.
    // 1..100: the fill's width becomes ProgressFillWidth(percent, track width) and the fill is
    //    repainted at once; its position, height and picture stay.
    // Returns true (and draws nothing) for a percentage below 0 or above 100, false otherwise.
    bool SetProgressPic(int percent);

    // The number (1-based) of the picture the fill shows since the last new fill; 0 before.
    int fillPicture() const { return m_fillPicture; }
    const QList<QPixmap> &pictures() const { return m_pictures; }

    // ProgressImageList1 from the skin: ":/progress/01.png" ... "10.png", in order (a picture
    // that is missing stays in its place as a null pixmap, so the numbers keep their meaning).
    static QList<QPixmap> SkinPictures();

private:
    QPointer<QLabel> m_track;
    QPointer<QLabel> m_fill;
    QList<QPixmap> m_pictures;
    std::unique_ptr<PictureChooser> m_chooser;
    Repaint m_repaint;
    int m_fillPicture = 0;
};

} // namespace Sveltra
