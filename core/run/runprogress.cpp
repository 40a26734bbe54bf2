#include "core/run/runprogress.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

#include "core/joblist/jobrows.h"

namespace Sveltra {

namespace {
// Below these the rate so far says little about the rest.
constexpr double EstimateFromFraction = 0.01;
constexpr qint64 EstimateFromMs = 1000;
} // namespace

void RunProgress::begin(const QHash<int, qint64> &playTimes)
{
    m_rows.clear();
    m_totalWeight = 0;
    m_doneWeight = 0;
    qint64 known = 0;
    int knownCount = 0;
    for (auto it = playTimes.begin(); it != playTimes.end(); ++it) {
        if (it.value() > 0) {
            known += it.value();
            ++knownCount;
        }
    }
    const qint64 average = knownCount > 0 ? std::max<qint64>(1, known / knownCount) : 1;
    for (auto it = playTimes.begin(); it != playTimes.end(); ++it) {
        const qint64 weight = it.value() > 0 ? it.value() : average;
        m_rows.insert(it.key(), Row{weight, 0});
        m_totalWeight += weight;
    }
}

void RunProgress::begin(const JobRows &rows)
{
    QHash<int, qint64> playTimes;
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (rows.status(row) == JobStatus::Queued)
            playTimes.insert(row, PlayTimeMilliseconds(rows.cell(row, JobColumn::PlayTime)));
    }
    begin(playTimes);
}

void RunProgress::setRowPercent(int row, int percent)
{
    const auto it = m_rows.find(row);
    if (it == m_rows.end())
        return;
    percent = std::clamp(percent, 0, 100);
    if (percent <= it->percent)
        return;
    m_doneWeight += it->weight * (percent - it->percent);
    it->percent = percent;
}

double RunProgress::fraction() const
{
    if (m_totalWeight <= 0)
        return m_rows.isEmpty() ? 1.0 : 0.0;
    return static_cast<double>(m_doneWeight) / (static_cast<double>(m_totalWeight) * 100.0);
}

int RunProgress::percent() const
{
    if (m_totalWeight <= 0)
        return 100;
    // Whole numbers throughout, so 100 is reached only when every row is at 100.
    return static_cast<int>(m_doneWeight / m_totalWeight);
}

qint64 PlayTimeMilliseconds(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d+):(\\d\\d):(\\d\\d)$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const qint64 hours = match.captured(1).toLongLong(&ok);
    if (!ok || hours > 1'000'000)
        return 0;
    return ((hours * 60 + match.captured(2).toInt()) * 60 + match.captured(3).toInt()) * 1000;
}

std::optional<qint64> EstimateRemainingMs(double fraction, qint64 elapsedMs)
{
    if (!(fraction >= EstimateFromFraction) || elapsedMs < EstimateFromMs)
        return std::nullopt;
    if (fraction >= 1.0)
        return 0;
    return static_cast<qint64>(std::llround(static_cast<double>(elapsedMs) * (1.0 - fraction) / fraction));
}

QString RemainingTimeText(qint64 milliseconds)
{
    const qint64 seconds = std::max<qint64>(0, (milliseconds + 999) / 1000);
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds / 60 % 60;
    const QString secondsText = QStringLiteral("%1").arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (hours > 0)
        return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')).arg(secondsText);
    return QStringLiteral("%1:%2").arg(minutes).arg(secondsText);
}

QString ProgressText(int percent, std::optional<qint64> remainingMs)
{
    QString text = QString::number(std::clamp(percent, 0, 100)) + QLatin1Char('%');
    if (remainingMs && percent < 100)
        text += QCoreApplication::translate("Sveltra::RunProgress", " · 剩余 ") + RemainingTimeText(*remainingMs);
    return text;
}

} // namespace Sveltra
