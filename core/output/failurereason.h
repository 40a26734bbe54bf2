#pragma once

#include <QString>

// Why a row failed, as the user reads it: one short Chinese sentence for each way a conversion
// can fail. The encoder's own English message goes to the log; these go to the row.
namespace Sveltra {

// The encoder ended with exitCode (crashed: by a signal or a crash) and said errorText on its
// standard error. Its exit codes: 1 encoding failed, 2 usage, 3 the input cannot be read as
// audio, 4 the output cannot be written, 5 the input is the output; 128+N stopped by signal N.
QString EncoderFailureReason(int exitCode, bool crashed, const QString &errorText);

// The run's own failures, before or around the encoder.
QString EncoderNotStartedReason(); // the encoder program cannot be started
QString NoCdDriveReason();         // no drive holds the track
QString CdReadFailedReason();      // the rip failed
QString OverwritesSourceReason();  // the target is the source of a row
QString NoOutputReason();          // the encoder said yes but left no file
QString DiskFullReason();          // the output's folder has no room left
QString OutputNotWrittenReason();  // the output cannot be written (or take its name)
QString TagWriteFailedReason();    // the tag could not be written into the output
QString OutputCutShortReason();    // the written output does not hold all the audio it should
QString AlbumTagFailedReason();    // the album's loudness texts could not be written

// The note of a row whose source is damaged: it decoded shorter than its own header says.
// "源文件已损坏：只转换了 1:35（应为 3:34）"
QString DamagedSourceNote(qint64 decodedMs, qint64 statedMs);

// The note of a row whose MP3 frames were kept as they were.
QString KeptAsItWasNote();
// The note of a row whose earlier output of the same, unchanged source was kept.
QString UpToDateNote();

} // namespace Sveltra
