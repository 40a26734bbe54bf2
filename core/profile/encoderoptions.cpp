#include "core/profile/encoderoptions.h"

#include <QDir>

namespace Sveltra {

QString BuildEncoderArgs(int channelChoice, int qualityChoice)
{
    QString options = channelChoice == 1 ? QStringLiteral(" ") : QStringLiteral(" -dm");
    switch (qualityChoice) {
    case 1:
        options += QStringLiteral(" -br 96000 ");
        break;
    case 2:
        options += QStringLiteral(" -br 64000 ");
        break;
    case 3:
        options += QStringLiteral(" -br 32000 ");
        break;
    case 4:
        options += QStringLiteral(" -br 16000 ");
        break;
    default:
        break;
    }
    return options;
}

QStringList EncoderOptionList(const QString &optionText)
{
    return optionText.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString EncoderCommandLine(const QString &encoderPath, const QString &input, const QString &target, const QString &optionText)
{
    const QChar quote(u'"');
    return QDir::toNativeSeparators(encoderPath) + QLatin1Char(' ') + quote + input + quote + QLatin1Char(' ') + quote + target
        + quote + optionText;
}

} // namespace Sveltra
