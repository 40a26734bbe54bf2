#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QString>

#include <optional>

#include "encoder/gainrange.h"

namespace Sveltra {

// Loudness of the run's outputs: the ReplayGain 2.0 tags that describe them, and the levelling
// ("音量均衡") that brings them to one loudness for players that ignore those tags.

// ReplayGain 2.0's reference loudness: a track at it gets a gain of 0 dB.
constexpr double ReplayGainReferenceLufs = -18.0;
// Where levelling brings every output (a common level for portable listening).
constexpr double LevelTargetLufs = -16.0;
// No levelled output's true peak goes above this...
constexpr double TruePeakCeilingDb = -1.0;
// ...and the gain keeps this much more under it, judged on the input, because MP3 encoding moves
// the true peak by up to about a decibel either way.
constexpr double EncoderPeakDriftDb = 1.0;
// With levelling on, an MP3 source that could be copied is encoded only when its gain would
// change it by more than this.
constexpr double CopyToleranceDb = 1.0;
// fastencc takes gains within this.
constexpr double MaxGainDb = fastencc::kMaxGainDb;

// The 400 ms blocks of a programme above the absolute gate (-70 LUFS), counted by their loudness in
// bins of BlockBinLu from -70 LUFS: what BS.1770's gating needs to measure several tracks as one
// programme (an album) from each track's own measurement. Plain value.
constexpr double BlockBinLu = 0.1;
struct BlockHistogram
{
    QMap<int, quint32> bins; // bin → blocks

    bool isEmpty() const { return bins.isEmpty(); }
    void add(const BlockHistogram &other);
    // The same blocks made louder by db (a gain applied).
    BlockHistogram shifted(double db) const;
    // "BIN:COUNT,BIN:COUNT,...", as fastencc prints it and the tag keeps it.
    QString text() const;
    static std::optional<BlockHistogram> parse(const QString &text);
};

// The integrated loudness of the blocks: their mean power, gated again 10 LU under it.
// -infinity when there are none.
double GatedLoudness(const BlockHistogram &blocks);

// What fastencc's line "loudness LUFS DBTP SECONDS" says, with its blocks from the line
// "loudness-blocks ..." when it printed one. lufs and truePeakDb are -infinity for silence.
struct LoudnessReading
{
    double lufs = 0.0;
    double truePeakDb = 0.0;
    double seconds = 0.0;
    BlockHistogram blocks{};
    bool hasLoudness() const;
};

// Reads fastencc's loudness line; nullopt when the line is not one.
std::optional<LoudnessReading> ParseLoudnessLine(const QByteArray &line);
// Reads fastencc's "loudness-blocks BIN:COUNT,..." line; nullopt when the line is not one.
std::optional<BlockHistogram> ParseBlocksLine(const QByteArray &line);

// A gain as the tags write it, always signed, two decimals: "-3.21 dB", "+3.20 dB".
QString GainText(double db);
// A true peak as ReplayGain's peak tags write it: linear, 1.0 at full scale, six decimals.
QString PeakText(double db);

// ReplayGain 2.0's gain for audio of this loudness.
double ReplayGainOf(double lufs);
// The loudness of an album from its tracks': all their blocks gated as one programme when every
// track with a loudness brought its blocks (else, for outputs made before blocks were kept, their
// mean power over their length), the loudest peak. Tracks without a loudness (silence) add only
// their length.
LoudnessReading AlbumReading(const QList<LoudnessReading> &tracks);
// The gain that brings audio of this reading to LevelTargetLufs, less where its true peak would
// pass TruePeakCeilingDb (with EncoderPeakDriftDb to spare); 0 for silence.
double LevelGain(const LoudnessReading &input);
// One gain for all tracks of an album: the album's own, less where any track's peak needs it.
double AlbumLevelGain(const QList<LoudnessReading> &tracks);
// The encoder can move the true peak further than EncoderPeakDriftDb allows for: a levelled
// output whose true peak passed the ceiling is encoded again with the gain lowered by the excess
// and a little more. nullopt when the output is within the ceiling.
std::optional<double> PeakRetryGain(double appliedGainDb, const LoudnessReading &output);

// Whether a source whose frames could be copied is to be encoded for the gain's sake.
bool EncodeForGain(double gainDb);

// The user texts (TXXX) of a track: REPLAYGAIN_TRACK_GAIN and _PEAK of the output, its blocks
// (SVELTRA_LOUDNESS_BLOCKS, so its album can be measured again without it) and, when a levelling
// gain went into the audio, SVELTRA_GAIN.
QList<QPair<QString, QString>> TrackLoudnessTexts(const LoudnessReading &output, std::optional<double> appliedGain);
// A finished output's reading and levelling gain read back from those texts; nullopt when they
// hold no track gain.
struct KeptLoudness
{
    LoudnessReading output;
    std::optional<double> appliedGain;
};
std::optional<KeptLoudness> ReadTrackLoudness(const QList<QPair<QString, QString>> &texts);
// REPLAYGAIN_ALBUM_GAIN and _PEAK.
QList<QPair<QString, QString>> AlbumLoudnessTexts(const LoudnessReading &album);
// The row's tooltip for a levelled output: "音量均衡 +3.20 dB".
QString LevelledNote(double gainDb);

// A row as album grouping sees it.
struct AlbumMember
{
    QString folder; // for a CD track, the drive's
    QString album;  // the row's album cell
    bool cd = false;
    QString artist{};  // the album artist, or the row's artist where the source names none
    int discTotal = 0; // how many discs the source says the album has; 0 when it does not say
};

// Which rows make one album: the tracks of one CD, and the rows that share one non-empty album
// title, artist and number of discs wherever their folders are (disc 1 and disc 2 of an album are
// one). Gives each row its album's number (the first of its rows), or -1.
QList<int> AlbumGroups(const QList<AlbumMember> &rows);

// Keeps the run's albums together: the inputs' readings for one gain per album, and the outputs'
// for the album tags, which can only be written once every row of the album has ended. Rows are
// the job list's; the run owns it, on its thread.
class AlbumLedger final
{
public:
    // groups as AlbumGroups() gives them, for the rows the run converts (others -1).
    void plan(const QList<int> &groups);
    int albumOf(int row) const { return row >= 0 && row < m_groups.size() ? m_groups[row] : -1; }

    // The measured input of a row, before encoding.
    void setInput(int row, const LoudnessReading &reading) { m_inputs.insert(row, reading); }
    // The levelling gain for a row: its album's, or its own; nullopt when it was not measured.
    std::optional<double> levelGain(int row) const;
    // A row's gain lowered after its output was judged (PeakRetryGain); it stands from then on.
    void lowerGain(int row, double gainDb) { m_lowered.insert(row, gainDb); }

    // A row whose earlier output was kept belongs to its album all the same: its output's reading
    // (and the gain levelling put into its audio) as read back from its tag.
    // A kept output whose tag says nothing of its loudness (nullopt) still gets the album's texts,
    // and the album's gain is the other tracks'.
    void setKept(int row, const QString &target, const std::optional<KeptLoudness> &kept);

    // A row has ended, with its file at target measured as output (nullopt: failed or not
    // measured). When this completes an album of which any row was converted in this run, returns
    // the album's files (kept ones too) whose album texts are to be written, with those texts.
    struct AlbumFile
    {
        int row = -1;
        QString target;
        QList<QPair<QString, QString>> texts;
    };
    QList<AlbumFile> rowEnded(int row, const QString &target, std::optional<LoudnessReading> output);

private:
    struct Written
    {
        QString target;
        std::optional<LoudnessReading> output;
        bool kept = false;
    };
    QList<int> m_groups;
    QHash<int, LoudnessReading> m_inputs;
    QHash<int, double> m_lowered;
    QHash<int, Written> m_ended;
    QSet<int> m_unmeasured; // kept rows whose tags say nothing of their loudness
};

} // namespace Sveltra
