#include "core/profile/profile.h"

#include <limits>

#include "core/base/appstate.h"

namespace Sveltra::Profile {

const QStringList &Choices(List list)
{
    static const QStringList devices = {QStringLiteral("1- MP3 播放器"), QStringLiteral("2- Palm PDA"),
                                        QStringLiteral("3- Pocket PC"), QStringLiteral("4- 移动电话"),
                                        QStringLiteral("5- 其它 MP3 设备")};
    static const QStringList qualities = {QStringLiteral("1- CD 音质"), QStringLiteral("2- FM 广播音质"),
                                          QStringLiteral("3- 磁带音质"), QStringLiteral("4- 电话音质")};
    static const QStringList channels = {QStringLiteral("1- 立体声"), QStringLiteral("2- 单声道")};
    static const QStringList formats = {QStringLiteral("1- MP3"), QStringLiteral("2- WMA"), QStringLiteral("3- 音乐 CD")};
    switch (list) {
    case List::Device:
        return devices;
    case List::Quality:
        return qualities;
    case List::Channel:
        return channels;
    case List::Format:
        return formats;
    }
    return devices;
}

int SelectableCount(List list)
{
    return list == List::Format ? 1 : static_cast<int>(Choices(list).size());
}

QString DefaultChoice(List list)
{
    return Choices(list).first();
}

int ChoiceNumber(const QString &choiceText)
{
    qsizetype i = 0;
    while (i < choiceText.size() && choiceText[i] == QLatin1Char(' '))
        ++i;
    long long value = 0;
    for (; i < choiceText.size(); ++i) {
        const QChar c = choiceText[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<int>::max())
            return std::numeric_limits<int>::max();
    }
    return static_cast<int>(value);
}

namespace {

StatusPanel makePanel(const QString &choice, List list, int pictureOffset, const QString &tipPrefix)
{
    StatusPanel panel;
    panel.text = choice.mid(3);
    panel.toolTip = tipPrefix + panel.text;
    const int n = ChoiceNumber(choice);
    panel.picture = (n >= 1 && n <= Choices(list).size()) ? n + pictureOffset : UnknownChoicePicture;
    return panel;
}

} // namespace

std::array<StatusPanel, 4> StatusPanels(const ApplicationState &state)
{
    return {makePanel(state.DeviceChoice, List::Device, 0, QStringLiteral("您的音乐设备: ")),
            makePanel(state.QualityChoice, List::Quality, 5, QStringLiteral("您需要的音质: ")),
            makePanel(state.ChannelChoice, List::Channel, 9, QStringLiteral("您想要的声音效果: ")),
            makePanel(state.FormatChoice, List::Format, 11, QStringLiteral("您想要的数码音乐格式是 "))};
}

QString OptionsSummary(const QString &device, const QString &quality, const QString &channel, const QString &format)
{
    return QStringLiteral("您的播放器是 -") + device.mid(2) + QStringLiteral(".  ") + QStringLiteral("您想要的音质是 -")
        + quality.mid(2) + QStringLiteral(".  ") + QStringLiteral("您需要的格式是 -") + format.mid(2) + QStringLiteral(".  ")
        + QStringLiteral("您喜欢 -") + channel.mid(2) + QStringLiteral("效果.");
}

} // namespace Sveltra::Profile
