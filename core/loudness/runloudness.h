#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include "core/loudness/loudness.h"

namespace Sveltra {

class LoudnessSurvey;

// The conversion run's part in loudness: which rows form albums, the measuring pass when
// levelling is on, the gain each encoder is given, the ReplayGain texts of each output, and the
// album texts written into an album's files once its last row has ended. Lives on the run's
// thread.
class RunLoudness final : public QObject
{
    Q_OBJECT

public:
    struct Row
    {
        int row = -1;
        QString source;      // the file the encoder reads; empty for a CD track
        QStringList options; // the profile's encoder options
        AlbumMember album;
        // source is still to be made (a CD track being ripped): measured once inputMade says so.
        bool madeLater = false;
        // A row whose earlier output is kept: its file and what its tag says of its loudness. It
        // is neither measured nor encoded, but belongs to its album.
        QString keptTarget{};
        std::optional<KeptLoudness> kept{};
    };

    explicit RunLoudness(QObject *parent = nullptr);
    ~RunLoudness() override;

    // Plans the run's rows. With level on, measures the sources first; ready() comes when the
    // encoders may start (from the event loop, at once when there is nothing to measure).
    void begin(const QList<Row> &rows, bool level, const QString &encoderPath, int maxParallel);
    // Stops the measuring pass; ready() follows.
    void cancel();
    // The source of a row made later is there (ok) or cannot be made (the row gets no gain).
    void inputMade(int row, bool ok);

    // What the encoder of a row gets besides the profile's options: the levelling gain and,
    // when the gain is too large for the source's frames to be copied, -reencode.
    QStringList encoderArguments(int row) const;

    // Whether a levelled row's output is to be encoded again, with a lower gain, because its
    // true peak passed the ceiling; once per row.
    bool encodeAgain(int row, const std::optional<LoudnessReading> &output, bool copied);

    // A row's output is done and measured (output nullopt: no loudness line). Adds the track's
    // user texts to texts and gives the row's note for a levelled file (empty if none).
    QString describe(int row, const std::optional<LoudnessReading> &output, bool copied,
                     QList<QPair<QString, QString>> &texts) const;
    // A row has ended (target empty: it failed). When this was its album's last row, returns the
    // album's files (row, file, the album texts) to be tagged again; else none.
    QList<AlbumLedger::AlbumFile> ended(int row, const QString &target, const std::optional<LoudnessReading> &output);

signals:
    void ready();

private:
    bool m_level = false;
    AlbumLedger m_ledger;
    QList<int> m_again; // rows encoded again for their peak
    std::unique_ptr<LoudnessSurvey> m_survey;
};

} // namespace Sveltra
