#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <array>

namespace Sveltra {
struct ApplicationState;
}

// The conversion profile: four choice lists whose entries are held as their full choice text
// ("1- CD 音质"). All logic reads only the choice number in front; the name is for display.
namespace Sveltra::Profile {

enum class List { Device, Quality, Channel, Format };

// The canonical choice texts of a list, in order (entry k has choice number k + 1). The format
// list holds all three formats, although only "1- MP3" is ever chosen.
const QStringList &Choices(List list);
// The number of entries the options dialog steps through (the format selector has one).
int SelectableCount(List list);
QString DefaultChoice(List list);

// The numeric value of the leading digits (leading blanks skipped); 0 when there are none.
// Absurdly long digit runs saturate instead of overflowing.
int ChoiceNumber(const QString &choiceText);

// Pictures of the status bar's image list (1-based). The message panel always shows 16; an
// out-of-range choice shows the neutral picture 15.
inline constexpr int MessagePanelPicture = 16;
inline constexpr int UnknownChoicePicture = 15;

// What one profile panel of the status bar shows.
struct StatusPanel
{
    QString text;
    QString toolTip;
    int picture = 0;
};

// The four profile panels in status-bar order: device, quality, channels, format.
std::array<StatusPanel, 4> StatusPanels(const ApplicationState &state);

// A choice as the interface shows it: the translation of one of the lists' texts, anything else
// (a damaged settings file) as it stands. The settings file keeps the stored text.
QString ChoiceText(const QString &stored);

// The options dialog's summary sentence (device, quality, format, channels in that order), of
// the stored choices, in the interface's language.
QString OptionsSummary(const QString &device, const QString &quality, const QString &channel, const QString &format);

// The message panel's tooltip.
inline QString StatusMessageToolTip()
{
    return QCoreApplication::translate("Sveltra::Profile", "Sveltra 系统信息");
}

} // namespace Sveltra::Profile
