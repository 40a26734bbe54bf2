#pragma once

#include <QLabel>
#include <QPixmap>
#include <QStatusBar>

#include <array>

namespace Sveltra {

struct ApplicationState;

// One panel of the status bar: a small picture followed by a text. The label's own text is the
// panel's text, so screen readers read it as it stands.
class StatusPanelLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit StatusPanelLabel(QWidget *parent = nullptr);

    void setPicture(int imageListIndex);
    int picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_pixmap;
    int m_picture = 0;
};

// The main window's status bar `tbStatus`: the message panel, then the four profile panels
// (device, quality, channels, format).
class StatusBar final : public QStatusBar
{
    Q_OBJECT

public:
    enum Panel { SystemInformation, MyDevice, Quality, Effect, Format, PanelCount };

    explicit StatusBar(QWidget *parent = nullptr);

    StatusPanelLabel *panel(int index) const { return m_panels.at(static_cast<std::size_t>(index)); }

    // Writes the profile into the four profile panels and the message panel's picture.
    void RefreshStatusBar(const ApplicationState &state);
    // Replaces the message panel's text; the last message stays until the next one.
    void ShowStatusMessage(const QString &message);

private:
    std::array<StatusPanelLabel *, PanelCount> m_panels{};
};

} // namespace Sveltra
