#pragma once

#include <QStringList>

#include <functional>

// Turning what the user names (on the command line, from "Open with", from a running copy's
// hand-over) into the audio files to add to the job list. Pure file-system walks; no window.
namespace Sveltra {

// The file endings, lower case and without the dot, that a folder walk takes in: the formats
// the job list reads (its media check decodes anything FFmpeg can, the CD tracks aside).
const QStringList &AudioFileSuffixes();

// True when the file name ends in one of AudioFileSuffixes(), in any letter case.
bool IsAudioFileName(const QString &name);

// The audio files that the given paths name, in order. A file is taken as given (the job list's
// own check decides whether it can be read); a folder gives the audio files inside it and in
// its subfolders, entries of each folder in name order (numbers by value, "2" before "10"),
// a subfolder walked where it sorts. Hidden entries are skipped, a folder reached twice through
// links is walked once, a path that does not exist is left out, and each file appears once.
// Paths come back absolute and clean, with native separators.
QStringList AudioFilesIn(const QStringList &paths);
// The same files, handed to found a folder at a time as the walk goes on (for a caller that
// starts on the first files while a large tree is still being walked).
void AudioFilesIn(const QStringList &paths, const std::function<void(const QStringList &)> &found);

// Name order as a person reads it: runs of digits compare by their value ("2" before "10"), the
// rest without regard to letter case; names that still tie compare exactly.
bool NaturalNameBefore(const QString &a, const QString &b);

} // namespace Sveltra
