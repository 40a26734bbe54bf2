#include "core/profile/profile.h"

#include <QCoreApplication>

#include <limits>

#include "core/base/appstate.h"

namespace Sveltra::Profile {

namespace {

// The lists' texts are stored in the settings file as they are (Chinese); ChoiceText() shows them
// in the interface's language. Their translations keep the number and "- " in front: the
// dialog and the status bar cut the first two or three characters.
QString choice(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

const QStringList &Choices(List list)
{
    static const QStringList devices = {choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "1- MP3 播放器")),
                                        choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "2- Palm PDA")),
                                        choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "3- Pocket PC")),
                                        choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "4- 移动电话")),
                                        choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "5- 其它 MP3 设备"))};
    static const QStringList qualities = {choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "1- CD 音质")),
                                          choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "2- FM 广播音质")),
                                          choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "3- 磁带音质")),
                                          choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "4- 电话音质"))};
    static const QStringList channels = {choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "1- 立体声")),
                                         choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "2- 单声道"))};
    static const QStringList formats = {choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "1- MP3")),
                                        choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "2- WMA")),
                                        choice(QT_TRANSLATE_NOOP("Sveltra::Profile", "3- 音乐 CD"))};
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
    panel.text = ChoiceText(choice).mid(3);
    panel.toolTip = tipPrefix + panel.text;
    const int n = ChoiceNumber(choice);
    panel.picture = (n >= 1 && n <= Choices(list).size()) ? n + pictureOffset : UnknownChoicePicture;
    return panel;
}

} // namespace

std::array<StatusPanel, 4> StatusPanels(const ApplicationState &state)
{
    return {
        makePanel(state.DeviceChoice, List::Device, 0, QCoreApplication::translate("Sveltra::Profile", "您的音乐设备: ")),
        makePanel(state.QualityChoice, List::Quality, 5, QCoreApplication::translate("Sveltra::Profile", "您需要的音质: ")),
        makePanel(state.ChannelChoice, List::Channel, 9, QCoreApplication::translate("Sveltra::Profile", "您想要的声音效果: ")),
        makePanel(state.FormatChoice, List::Format, 11,
                  QCoreApplication::translate("Sveltra::Profile", "您想要的数码音乐格式是 "))};
}

QString ChoiceText(const QString &stored)
{
    for (const List list : {List::Device, List::Quality, List::Channel, List::Format}) {
        if (Choices(list).contains(stored))
            return QCoreApplication::translate("Sveltra::Profile", stored.toUtf8().constData());
    }
    return stored;
}

QString OptionsSummary(const QString &device, const QString &quality, const QString &channel, const QString &format)
{
    //: The options dialog's summary. Each %n is a choice without its number: " MP3 播放器" (with
    //: the blank in front), " CD 音质", " MP3", " 立体声".
    return QCoreApplication::translate("Sveltra::Profile",
                                       "您的播放器是 -%1.  您想要的音质是 -%2.  您需要的格式是 -%3.  您喜欢 -%4效果.")
        .arg(ChoiceText(device).mid(2), ChoiceText(quality).mid(2), ChoiceText(format).mid(2), ChoiceText(channel).mid(2));
}

} // namespace Sveltra::Profile
