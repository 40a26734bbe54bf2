#include "core/loudness/runloudness.h"

#include <QLocale>
#include <QtDebug>

#include <algorithm>
#include <cmath>

#include "core/loudness/loudnesssurvey.h"

namespace Sveltra {

RunLoudness::RunLoudness(QObject *parent)
    : QObject(parent)
{
}

RunLoudness::~RunLoudness() = default;

void RunLoudness::begin(const QList<Row> &rows, bool level, const QString &encoderPath, int maxParallel)
{
    m_level = level;
    int count = 0;
    for (const Row &r : rows)
        count = std::max(count, r.row + 1);
    QList<AlbumMember> members(count);
    QList<bool> planned(count, false);
    for (const Row &r : rows) {
        members[r.row] = r.album;
        planned[r.row] = true;
    }
    QList<int> groups = AlbumGroups(members);
    for (int i = 0; i < count; ++i) {
        if (!planned[i])
            groups[i] = -1;
    }
    // Groups are numbered by their first row; a row left out must not have started one.
    m_ledger.plan(groups);
    for (const Row &r : rows) {
        if (!r.keptTarget.isEmpty())
            m_ledger.setKept(r.row, r.keptTarget, r.kept);
    }

    QList<LoudnessSurvey::Item> items;
    if (level) {
        for (const Row &r : rows) {
            if (!r.source.isEmpty() && r.keptTarget.isEmpty())
                items << LoudnessSurvey::Item{r.row, r.source, r.options, r.madeLater};
        }
    }
    m_survey = std::make_unique<LoudnessSurvey>(encoderPath, items, maxParallel);
    connect(m_survey.get(), &LoudnessSurvey::measured, this,
            [this](int row, const LoudnessReading &reading) { m_ledger.setInput(row, reading); });
    connect(m_survey.get(), &LoudnessSurvey::finished, this, &RunLoudness::ready);
    m_survey->start();
}

void RunLoudness::cancel()
{
    if (m_survey)
        m_survey->cancel();
}

void RunLoudness::inputMade(int row, bool ok)
{
    if (m_survey)
        m_survey->inputMade(row, ok);
}

QStringList RunLoudness::encoderArguments(int row) const
{
    if (!m_level)
        return {};
    const std::optional<double> gain = m_ledger.levelGain(row);
    if (!gain)
        return {};
    QStringList arguments{QStringLiteral("-gain"), QLocale::c().toString(*gain, 'f', 2)};
    if (EncodeForGain(*gain))
        arguments << QStringLiteral("-reencode");
    return arguments;
}

bool RunLoudness::encodeAgain(int row, const std::optional<LoudnessReading> &output, bool copied)
{
    const std::optional<double> gain = m_ledger.levelGain(row);
    if (!m_level || copied || !output || !gain || m_again.contains(row))
        return false;
    const std::optional<double> lower = PeakRetryGain(*gain, *output);
    if (!lower)
        return false;
    qWarning("A levelled output's true peak is %.2f dBTP: encoding it again with %.2f dB instead of %.2f dB", output->truePeakDb,
             *lower, *gain);
    m_again << row;
    m_ledger.lowerGain(row, *lower);
    return true;
}

QString RunLoudness::describe(int row, const std::optional<LoudnessReading> &output, bool copied,
                              QList<QPair<QString, QString>> &texts) const
{
    std::optional<double> applied;
    if (m_level && !copied)
        applied = m_ledger.levelGain(row);
    if (output)
        texts += TrackLoudnessTexts(*output, applied);
    else if (applied)
        texts += TrackLoudnessTexts(LoudnessReading{-HUGE_VAL, -HUGE_VAL, 0}, applied);
    return applied ? LevelledNote(*applied) : QString();
}

QList<AlbumLedger::AlbumFile> RunLoudness::ended(int row, const QString &target, const std::optional<LoudnessReading> &output)
{
    return m_ledger.rowEnded(row, target, target.isEmpty() ? std::nullopt : output);
}

} // namespace Sveltra
