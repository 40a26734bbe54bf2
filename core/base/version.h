#pragma once

#include <QCoreApplication>
#include <QString>

#include "core/base/buildinfo.h"

// Program constants shown in captions, the splash, the settings file, the About box and the
// update check.
namespace Sveltra {

// "04.03.00": two-digit major, minor and release numbers joined by dots.
QString VersionText();

// The major, minor and revision numbers as two digits each, joined: "040300" for 4.3.0.
QString ComputeBuildNumber(int major, int minor, int revision);

inline QString ApplicationTitle()
{
    return QStringLiteral("Sveltra");
}
inline QString CaptionPrefix()
{
    return QCoreApplication::translate("Sveltra::Version", "Sveltra  版本 ");
}
inline QString SplashPrefix()
{
    return QCoreApplication::translate("Sveltra::Version", "版本 ");
}
inline QString HelpFileName()
{
    return QStringLiteral("SveltraV4-1.chm");
}
inline QString SecondCopyMessage()
{
    return QCoreApplication::translate("Sveltra::Version", "Sveltra 正在运行，您不需要再次运行它");
}
inline QString SoftwareNote()
{
    return QStringLiteral("Sveltra Version 4");
}

} // namespace Sveltra
