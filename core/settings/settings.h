#pragma once

#include <QString>

namespace Sveltra {

struct ApplicationState;

// The encoded settings file "Sveltra.ini". It is read once while the main window loads and
// written once at shutdown; in between, the application state is the only copy.
class SettingsFile final
{
public:
    // Tests give a throw-away path; the program uses DefaultPath().
    explicit SettingsFile(QString path);

    // The user's configuration folder (~/.config/Sveltra/Sveltra.ini), unless a "Sveltra.ini"
    // already lies beside the program: a portable copy, which keeps using that one.
    static QString DefaultPath();
    // The rule itself, with the folders given.
    static QString DefaultPath(const QString &programFolder, const QString &configFolder);

    // Where the window keeps its size, splitters and arrangement: "window.conf" beside the
    // settings file, so that Sveltra.ini itself stays as it always was.
    static QString WindowStatePath(const QString &settingsPath);

    const QString &path() const { return m_path; }

    // Fills SettingKeys with the section and the key names and SettingValues with the defaults.
    static void InitSettingsTable(ApplicationState &state);

    // Reads the file into the state. A missing file, section or key gives that key's default; a
    // key with an empty value gives its raw default; a value that cannot be decoded gives the
    // default too. FormatChoice is always "1- MP3" afterwards.
    void LoadSettings(ApplicationState &state) const;

    // Writes the state's folders and profile into the file, keeping every other line of it.
    // SourceFolder must already hold the folder last browsed. Returns false if writing failed.
    bool SaveSettings(ApplicationState &state) const;

private:
    QString m_path;
};

} // namespace Sveltra
