#pragma once

#include <QString>

// Output names: the profile's prefix, names and folder names every card takes, fitted to the
// file system's limit.
namespace Sveltra {

// "D-", then "Mono-" for channel choice 2, then "CD-", "FM-", "TP-" or "PH-" for quality 1 to 4.
QString OutputPrefix(int channelChoice, int qualityChoice);

// The output folder text with a separator appended when it is not empty and has none.
QString NormalizeOutputFolder(const QString &folder);

// The parts of an output file's name: the head (prefix, and for a CD track its number) and the
// tail (the extension) stay whole; only the body is cut to fit.
struct TargetNameParts
{
    QString head;
    QString body;
    QString tail;
};

// The name of the output for a source named N with prefix P (and, for a CD track, its title):
// "Track03.cda" titled T gives P "03-" T ".MP3"; a name with a three-character extension keeps
// the rule of old ("x.mp3" keeps its name and its case, any other loses its last four characters
// and gains ".MP3", a name of four characters or fewer gains ".MP3"); a name with an extension
// of any other length loses it whole ("x.flac" gives P "x.MP3"), and a name with none keeps it
// whole. The body is made safe for any card (SafeFileNamePart): the row and the tags keep the
// name and the title as they are.
TargetNameParts TargetFileNameParts(const QString &prefix, const QString &name, const QString &title);

// The file name of parts that fits nameLimit bytes and 255 UTF-16 units (FAT32's and exFAT's
// limit); copy 2 and above adds " (copy)" between the body and the extension.
QString FitTargetName(const TargetNameParts &parts, int nameLimit, int copy = 1);

// The target path in folder F: F followed by the fitted name of TargetFileNameParts. A file name
// longer than the file system takes (nameLimit bytes; -1 asks the file system of F) loses the
// end of its body, between whole characters; the prefix, the track number and the extension
// stay. Only the file's name is shortened: the row and the tags keep the title.
QString TargetPath(const QString &folder, const QString &prefix, const QString &name, const QString &title, int nameLimit = -1);

// A folder name of the source's tree made valid on FAT32 and exFAT: its characters as
// SafeFileNamePart makes them, trailing dots and blanks dropped, a name Windows reserves (CON,
// NUL, COM1 ..., with or without an extension) given a "_" after its first part, an empty
// name "_", and at most nameLimit bytes and 255 UTF-16 units.
QString SafeFolderName(const QString &name, int nameLimit = 255);

// The longest file name, in bytes, that the file system holding folder accepts (the nearest
// existing folder above it when it does not exist yet); 255 when it cannot tell.
int MaximumFileNameBytes(const QString &folder);

// head + body + tail, with body cut at its end so that the whole fits in limit bytes of the
// file name encoding and in 255 UTF-16 units (the longest name FAT32 and exFAT take). The cut falls between user-perceived
// characters (a base letter keeps its accents, a surrogate pair stays whole), or between code points when not even the first such
// character fits.
QString FitFileName(const QString &head, const QString &body, const QString &tail, int limit);

// A part of a file name made safe for any card (FAT32, exFAT) and system: "/" and the characters
// other systems refuse (\ : * ? " < > |) become their full-width look-alikes; control characters
// (NUL among them) become "_".
QString SafeFileNamePart(const QString &title);

} // namespace Sveltra
