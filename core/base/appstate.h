#pragma once

#include <QString>
#include <QStringList>

namespace Sveltra {

// Process-wide application state. Only the user-interface thread touches it, so nothing is
// locked. Every window reads and writes these fields under the same names.
struct ApplicationState
{
    QString BuildNumber;   // "040300" for version 4.3.0, set by Main
    QString SourceFolder;  // folder shown in the file browser (settings key SOURCE_)
    QString TargetFolder;  // output folder, always equal to the output box (TARGET_)
    QString DeviceChoice;  // "1- MP3 播放器" ... (MDEVICE)
    QString QualityChoice; // "1- CD 音质" ... (MQUALIT)
    QString ChannelChoice; // "1- 立体声" or "2- 单声道" (MCHANNE)
    QString FormatChoice;  // always "1- MP3" after loading (MFORMAT)
    QString KbpsSetting;   // stored and written back unchanged (MKBPS__)
    bool Level = false;    // levelling, "音量均衡" in the 操作 menu (MLEVEL_: "1" on, "0" off)
    QString SyncLibrary;   // the sync window's library folder, empty until chosen (SYNCLIB)
    QString SyncPlayer;    // the sync window's player folder (SYNCPLY)
    QString HelpFile;      // the help file path recorded at start-up
    // The encoder program; empty means fastencc in the program's own folder (tests point it
    // at the build's copy).
    QString EncoderProgram;

    // The settings table in transit: entry 0 is the section, then one entry per key.
    QStringList SettingKeys;
    QStringList SettingValues;

    // The CD drive last looked up in CDDB; 0 at start.
    int LastLookupDrive = 0;
};

// The one application state of this process.
ApplicationState &App();

} // namespace Sveltra
