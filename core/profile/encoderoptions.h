#pragma once

#include <QString>
#include <QStringList>

// What the encoder is told for a profile.
namespace Sveltra {

// The encoder options as text: " " for stereo (channel 1) or " -dm" for anything else, then
// " -br 96000 ", " -br 64000 ", " -br 32000 " or " -br 16000 " for quality 1 to 4.
QString BuildEncoderArgs(int channelChoice, int qualityChoice);

// The same options as an argument list for the encoder ("-dm", "-br", "64000").
QStringList EncoderOptionList(const QString &optionText);

// The command line as it is shown to a person: the encoder's path unquoted, the input and the
// target in double quotes, then the options.
QString EncoderCommandLine(const QString &encoderPath, const QString &input, const QString &target, const QString &optionText);

} // namespace Sveltra
