#include "core/settings/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtDebug>

#include "core/base/appstate.h"
#include "core/base/version.h"
#include "core/profile/profile.h"
#include "core/settings/inifile.h"
#include "core/settings/settingscodec.h"

namespace Sveltra {

namespace {

const QString Section = QStringLiteral("CONFIG");

// Table order is the order of reading and writing.
// The sync's two folders came last and stay after the others: a file of an older version
// simply lacks them.
enum Key { VERSION = 1, SOURCE_, TARGET_, MCHANNE, MQUALIT, MKBPS__, MDEVICE, MFORMAT, MLEVEL_, SYNCLIB, SYNCPLY, KeyCount };

} // namespace

SettingsFile::SettingsFile(QString path)
    : m_path(std::move(path))
{
}

QString SettingsFile::DefaultPath()
{
    return DefaultPath(QCoreApplication::applicationDirPath(),
                       QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

QString SettingsFile::DefaultPath(const QString &programFolder, const QString &configFolder)
{
    const QString name = QStringLiteral("Sveltra.ini");
    if (!programFolder.isEmpty()) {
        const QString portable = QDir(programFolder).filePath(name);
        if (QFileInfo(portable).isFile())
            return portable;
    }
    return QDir(configFolder).filePath(name);
}

QString SettingsFile::WindowStatePath(const QString &settingsPath)
{
    return QFileInfo(settingsPath).dir().filePath(QStringLiteral("window.conf"));
}

void SettingsFile::InitSettingsTable(ApplicationState &state)
{
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    state.SettingKeys = {Section,
                         QStringLiteral("VERSION"),
                         QStringLiteral("SOURCE_"),
                         QStringLiteral("TARGET_"),
                         QStringLiteral("MCHANNE"),
                         QStringLiteral("MQUALIT"),
                         QStringLiteral("MKBPS__"),
                         QStringLiteral("MDEVICE"),
                         QStringLiteral("MFORMAT"),
                         QStringLiteral("MLEVEL_"),
                         QStringLiteral("SYNCLIB"),
                         QStringLiteral("SYNCPLY")};
    state.SettingValues = {QStringLiteral(" "),
                           VersionText(),
                           home,
                           home,
                           Profile::DefaultChoice(Profile::List::Channel),
                           Profile::DefaultChoice(Profile::List::Quality),
                           QStringLiteral("96"),
                           Profile::DefaultChoice(Profile::List::Device),
                           Profile::DefaultChoice(Profile::List::Format),
                           QStringLiteral("0"),
                           QString(),
                           QString()};
}

void SettingsFile::LoadSettings(ApplicationState &state) const
{
    InitSettingsTable(state);

    IniFile ini;
    ini.load(m_path);
    const QString section = EncodeSetting(Section);
    for (int k = VERSION; k < KeyCount; ++k) {
        const std::optional<QString> stored = ini.value(section, EncodeSetting(state.SettingKeys[k]));
        if (!stored || stored->isEmpty())
            continue; // missing or empty: the default stands
        bool ok = false;
        const QString decoded = DecodeSetting(*stored, &ok);
        if (ok)
            state.SettingValues[k] = decoded;
        else
            qWarning("Settings file %s: the value of %s cannot be decoded; using its default", qPrintable(m_path),
                     qPrintable(state.SettingKeys[k]));
    }

    state.SourceFolder = state.SettingValues[SOURCE_];
    state.TargetFolder = state.SettingValues[TARGET_];
    state.ChannelChoice = state.SettingValues[MCHANNE];
    state.QualityChoice = state.SettingValues[MQUALIT];
    state.KbpsSetting = state.SettingValues[MKBPS__];
    state.DeviceChoice = state.SettingValues[MDEVICE];
    state.FormatChoice = Profile::DefaultChoice(Profile::List::Format);
    state.Level = state.SettingValues[MLEVEL_] == QLatin1String("1"); // anything else is off
    state.SyncLibrary = state.SettingValues[SYNCLIB];
    state.SyncPlayer = state.SettingValues[SYNCPLY];
}

bool SettingsFile::SaveSettings(ApplicationState &state) const
{
    InitSettingsTable(state);
    state.SettingValues[VERSION] = VersionText();
    state.SettingValues[SOURCE_] = state.SourceFolder;
    state.SettingValues[TARGET_] = state.TargetFolder;
    state.SettingValues[MCHANNE] = state.ChannelChoice;
    state.SettingValues[MQUALIT] = state.QualityChoice;
    state.SettingValues[MKBPS__] = state.KbpsSetting;
    state.SettingValues[MDEVICE] = state.DeviceChoice;
    state.SettingValues[MFORMAT] = state.FormatChoice;
    state.SettingValues[MLEVEL_] = state.Level ? QStringLiteral("1") : QStringLiteral("0");
    state.SettingValues[SYNCLIB] = state.SyncLibrary;
    state.SettingValues[SYNCPLY] = state.SyncPlayer;

    IniFile ini;
    ini.load(m_path);
    const QString section = EncodeSetting(Section);
    for (int k = VERSION; k < KeyCount; ++k)
        ini.setValue(section, EncodeSetting(state.SettingKeys[k]), EncodeSetting(state.SettingValues[k]));

    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        qWarning("Cannot create the settings folder %s", qPrintable(folder));
        return false;
    }
    return ini.save(m_path);
}

} // namespace Sveltra
