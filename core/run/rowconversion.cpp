#include "core/run/rowconversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QtDebug>

#include <utility>

#include "core/loudness/runloudness.h"
#include "core/output/failurereason.h"
#include "core/profile/encoderoptions.h"
#include "core/run/encoderprocess.h"
#include "core/run/outputfinisher.h"
#include "core/run/trackripper.h"

namespace Sveltra {

namespace {
// A CD track's progress: the rip takes this share, the encoder the rest.
constexpr int RipShare = 70;

FinishedOutput Failure(const QString &reason, const QString &detail)
{
    FinishedOutput ended;
    ended.note = reason;
    ended.detail = detail;
    return ended;
}
} // namespace

RowConversion::RowConversion(const PlannedRow &planned, const MediaTag &tag, const Stages &stages, QObject *parent)
    : QObject(parent)
    , m_row(planned.row)
    , m_planned(planned)
    , m_tag(tag)
    , m_stages(stages)
    , m_work(WorkPathFor(planned.target.target))
{
    connect(m_stages.ripper, &TrackRipper::progress, this, [this](int row, int percent) {
        if (row == m_row)
            emit progress(m_row, percent * RipShare / 100);
    });
    connect(m_stages.ripper, &TrackRipper::ripped, this, [this](int row, bool ok, const QString &detail) {
        if (row != m_row || !m_awaitingRip)
            return;
        m_awaitingRip = false;
        emit stateChanged();
        if (!ok || m_stopped)
            end(Failure(CdReadFailedReason(), detail));
        else
            encode(m_wav, true);
    });
    connect(m_stages.finisher, &OutputFinisher::finished, this, [this](int row, const FinishedOutput &ended) {
        if (row == m_row && m_finishing)
            end(ended);
    });
}

RowConversion::~RowConversion()
{
    delete m_encoder;
    if (!m_wav.isEmpty())
        QFile::remove(m_wav);
}

void RowConversion::start(const QString &measuredWav, const QString &ripWav)
{
    if (m_planned.kind == PlannedKind::Fail) {
        // Nothing can be ripped or encoded. Ended from the event loop.
        QTimer::singleShot(0, this, [this] { end(Failure(m_planned.reason, m_planned.detail)); });
        return;
    }
    // The row's sub-folder of the output folder; the encoder says so if it cannot write there.
    const QString folder = QFileInfo(m_planned.target.target).path();
    if (!QDir().mkpath(folder))
        qWarning("Cannot make the folder %s", qPrintable(folder));
    if (m_planned.cdTrack == 0)
        encode(m_planned.source);
    else if (!measuredWav.isEmpty() && QFileInfo(measuredWav).isFile())
        encode(measuredWav, true);
    else
        ripInto(ripWav);
}

void RowConversion::encode(const QString &input, bool ripped)
{
    if (ripped)
        m_wav = input;
    m_input = input;
    QStringList arguments = QStringList{input, m_work} + m_stages.options;
    // In a run of several rows each encoder works on one thread: the cores go to several files
    // at once, and every row comes out the same however many run together. A run of one row
    // lets the encoder spread its file over every core.
    if (m_stages.oneThread)
        arguments << QStringLiteral("-1t");
    arguments += m_stages.loudness->encoderArguments(m_row);
    m_encoder = new EncoderProcess({m_stages.encoderPath, arguments, m_planned.cdTrack > 0 ? RipShare : 0}, this);
    connect(m_encoder, &EncoderProcess::progress, this, [this](int percent) { emit progress(m_row, percent); });
    connect(m_encoder, &EncoderProcess::finished, this, &RowConversion::encoderEnded);
    emit encoderStarted(
        EncoderCommandLine(m_stages.encoderPath, input, m_planned.target.target, m_stages.options.join(QLatin1Char(' '))));
    m_encoder->start();
    emit stateChanged();
}

void RowConversion::ripInto(const QString &wav)
{
    m_wav = wav;
    m_awaitingRip = true;
    m_stages.ripper->enqueue(m_row, m_planned.cdDrive, m_planned.cdTrack, wav);
    emit stateChanged();
}

void RowConversion::stop()
{
    m_stopped = true;
    if (m_encoder)
        m_encoder->stop();
}

bool RowConversion::busy() const
{
    return m_encoder || m_finishing || (m_awaitingRip && m_stages.ripper->current() == m_row);
}

void RowConversion::encoderEnded(bool ok, const QString &reason, const QString &detail)
{
    EncoderProcess *encoder = std::exchange(m_encoder, nullptr);
    encoder->deleteLater();
    m_loudness = encoder->loudness();
    m_copied = encoder->copied();
    emit stateChanged();
    if (!ok) {
        end(Failure(reason, detail));
        return;
    }
    if (!m_stopped && m_stages.loudness->encodeAgain(m_row, m_loudness, m_copied)) {
        encode(m_input);
        return;
    }
    finish();
}

void RowConversion::finish()
{
    // The file is written under its working name: it is tagged, checked and named off this
    // thread, then the row ends with what came of it.
    OutputToFinish output;
    output.work = m_work;
    output.target = m_planned.target.target;
    output.parts = m_planned.target.parts;
    output.nameLimit = m_planned.target.nameLimit;
    output.copy = m_planned.target.copy;
    output.replaceEarlier = m_planned.target.replaceEarlier;
    output.tag = m_tag;
    output.copied = m_copied;
    if (m_loudness)
        output.encodedSeconds = m_loudness->seconds;
    const QString levelled = m_stages.loudness->describe(m_row, m_loudness, m_copied, output.tag.UserTexts);
    m_finishing = true;
    // A CD track's length is the rip's; a file's is what its own header states.
    m_stages.finisher->finish(m_row, output, m_planned.cdTrack > 0 ? QString() : m_planned.source, levelled);
}

void RowConversion::end(const FinishedOutput &outcome)
{
    if (m_ended)
        return;
    m_ended = true;
    // A stopped or failed encoder removes its own unfinished file; FinishOutput removes a file
    // that is not whole. What is left of a row that never reached it goes here.
    if (outcome.outcome == RowOutcome::Failed)
        QFile::remove(m_work);
    if (!m_wav.isEmpty())
        QFile::remove(std::exchange(m_wav, QString()));
    emit ended(this, outcome);
}

} // namespace Sveltra
