#pragma once

#include <array>
#include <functional>

#include "gui/skin/skinnedwindow.h"

class QLabel;

// The options dialog: the conversion profile as four pictures with labels, each stepped through
// its list by a pair of arrows or by a click on its picture. Every step takes effect at once in
// the application state, the summary line and (through the refresh callback) the main window's
// status bar; there is no cancel, so OK and close do the same. User-interface thread only.
//
// Controls that come in arrays carry their index in their object name: "imgIcon0" ...
// "imgIcon3", "imgArrow0" ... "imgArrow7", "imgButton0".
namespace Sveltra {

class PictureButton;

class frmOption final : public SkinnedWindow
{
    Q_OBJECT

public:
    // Groups: 0 device, 1 quality, 2 channels, 3 format.
    static constexpr int GroupCount = 4;

    // refreshStatusBar writes the profile into the main window's status bar; it is called after
    // every change and when the dialog closes.
    explicit frmOption(std::function<void()> refreshStatusBar, QWidget *parent = nullptr);

    // Writes the application state from the four index variables; a group whose index lies
    // outside its list keeps its text.
    void SetOptions();
    // Shows group g with index i (picture and label), then refreshes the summary and the status
    // bar. The application state is first made canonical (SetOptions).
    void SetIconImage(int group, int index);
    // Loads the index variables from the application state and shows all four groups.
    void SetCurrentIcon();

    // One step of group g: forward (wraps past the last entry to the first) or backward (wraps
    // below the first to the last). An index outside the list comes back into range.
    void StepForward(int group);
    void StepBackward(int group);

    int groupIndex(int group) const;

    // The dialog's two image lists (1-based): ilstIcon the 14 choice pictures, ilstButton the
    // arrows, the OK button and the hand cursor. An index outside a list gives a null pixmap.
    static QPixmap ilstIcon(int index);
    static QPixmap ilstButton(int index);

    std::array<PictureButton *, GroupCount> imgIcon{};
    std::array<PictureButton *, 2 * GroupCount> imgArrow{};
    std::array<PictureButton *, 1> imgButton{};
    PictureButton *imgExit = nullptr;
    QLabel *lblDevice = nullptr;
    QLabel *lblQuality = nullptr;
    QLabel *lblEffect = nullptr;
    QLabel *lblFormat = nullptr;
    QLabel *lblSummary = nullptr;

    // 0-based positions in the four lists.
    int DeviceIndex = 0;
    int QualityIndex = 0;
    int ChannelIndex = 0;
    int FormatIndex = 0;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    int &indexOf(int group);
    QLabel *labelOf(int group) const;
    void RefreshStatusBar();

    std::function<void()> m_refreshStatusBar;
};

} // namespace Sveltra
