#pragma once

// A main window loaded the way start-up loads it, with a throw-away settings file and instance
// lock so no test touches a real user's settings.

#include <QTemporaryDir>

#include "core/base/instanceguard.h"
#include "core/settings/settings.h"
#include "gui/mainwindow/form1.h"

namespace TestSupport {

struct LoadedForm
{
    QTemporaryDir home;
    Sveltra::SettingsFile settings{home.filePath(QStringLiteral("Sveltra.ini"))};
    Sveltra::InstanceGuard guard{home.filePath(QStringLiteral("sveltra.lock"))};
    Sveltra::Form1 form{settings, guard};
    const Sveltra::Form1::LoadResult loaded = form.Form_Load();
};

} // namespace TestSupport
