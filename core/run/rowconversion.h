#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

#include "core/loudness/loudness.h"
#include "core/media/mediatag.h"
#include "core/output/outputfinish.h"
#include "core/run/runplan.h"

namespace Sveltra {

class EncoderProcess;
class OutputFinisher;
class RunLoudness;
class TrackRipper;

// One queued row carried through its stages: a CD track ripped first (by the run's TrackRipper,
// one track at a time), the encoder (EncoderProcess; once more when the levelling's peak rule asks
// it), then its output tagged, checked and named (the run's OutputFinisher). Tells its end once.
// Owned by the run; lives on its thread.
class RowConversion final : public QObject
{
    Q_OBJECT

public:
    // The run's shared stages and what every row's encoder is told.
    struct Stages
    {
        QString encoderPath;
        QStringList options;    // the profile's
        bool oneThread = false; // -1t: several rows share the cores
        RunLoudness *loudness = nullptr;
        TrackRipper *ripper = nullptr;
        OutputFinisher *finisher = nullptr;
    };

    RowConversion(const PlannedRow &planned, const MediaTag &tag, const Stages &stages, QObject *parent = nullptr);
    // A conversion torn down mid-way leaves no encoder and no WAV behind.
    ~RowConversion() override;

    int row() const { return m_row; }
    // Starts the row: a planned failure ends it (from the event loop); a file is encoded; a CD
    // track's WAV of the measuring pass (measuredWav, when there is one) is encoded, else the
    // track is first ripped into ripWav (it waits for the tracks before it).
    void start(const QString &measuredWav, const QString &ripWav);
    // Stops: an encoder is asked to stop (its unfinished output never appears); a rip that ends
    // after this fails its row; an output already being named is finished all the same.
    void stop();
    // Whether something under way will end the row: a rip being read, an encoder, the naming.
    bool busy() const;
    bool encoding() const { return m_encoder != nullptr; }
    // Whether its output reached the naming (then the row is done even when the run was stopped).
    bool finishing() const { return m_finishing; }
    const std::optional<LoudnessReading> &loudness() const { return m_loudness; }

signals:
    void progress(int row, int percent);
    // An encoder started with this command line (for display).
    void encoderStarted(const QString &commandLine);
    void stateChanged();
    void ended(Sveltra::RowConversion *conversion, const Sveltra::FinishedOutput &ended);

private:
    // Encodes input: the source, or a CD track's WAV (removed when the row ends).
    void encode(const QString &input, bool ripped = false);
    void ripInto(const QString &wav);
    void encoderEnded(bool ok, const QString &reason, const QString &detail);
    void finish();
    void end(const FinishedOutput &outcome);

    int m_row;
    PlannedRow m_planned;
    MediaTag m_tag; // what SetMP3Tag writes into this conversion's file
    Stages m_stages;
    QString m_work;  // where the encoder writes; the file takes the target's name when whole
    QString m_input; // what the encoder reads
    QString m_wav;   // a CD track's WAV, removed when the row ends
    EncoderProcess *m_encoder = nullptr;
    bool m_awaitingRip = false;
    bool m_finishing = false;
    bool m_stopped = false;
    bool m_ended = false;
    bool m_copied = false;
    std::optional<LoudnessReading> m_loudness;
};

} // namespace Sveltra
