#include "core/run/trackripper.h"

#include <QFile>
#include <QThread>

#include "core/cd/cddrive.h"

namespace Sveltra {

TrackRipper::TrackRipper(QObject *parent)
    : QObject(parent)
{
}

TrackRipper::~TrackRipper()
{
    if (m_thread) {
        m_abort->store(true);
        m_thread->disconnect(this);
        m_thread->wait();
        delete m_thread;
        QFile::remove(m_currentWav);
    }
}

void TrackRipper::enqueue(int key, const QString &drive, int track, const QString &wav)
{
    m_waiting << Waiting{key, drive, track, wav};
    startNext();
}

void TrackRipper::cancel()
{
    m_waiting.clear();
    if (m_abort)
        m_abort->store(true); // paranoia stops within a second and leaves no file
}

void TrackRipper::startNext()
{
    if (m_thread || m_waiting.isEmpty())
        return;
    const Waiting next = m_waiting.takeFirst();
    m_current = next.key;
    m_currentWav = next.wav;
    m_abort = std::make_shared<std::atomic<bool>>(false);
    m_thread = QThread::create([this, next, abort = m_abort] {
        int shown = -1;
        const auto progress = [this, &next, &abort, &shown](int percent) {
            if (percent != shown) {
                shown = percent;
                QMetaObject::invokeMethod(
                    this, [this, key = next.key, percent] { emit this->progress(key, percent); }, Qt::QueuedConnection);
            }
            return !abort->load();
        };
        const RipResult result = RipTrackToWav(next.drive, next.track, next.wav, progress);
        const QString detail = result.ok
            ? QString()
            : (result.message.isEmpty() ? QStringLiteral("the track cannot be read") : result.message);
        QMetaObject::invokeMethod(
            this,
            [this, key = next.key, ok = result.ok && !abort->load(), detail] {
                m_thread->wait();
                m_thread->deleteLater();
                m_thread = nullptr;
                m_current = -1;
                if (!ok)
                    QFile::remove(m_currentWav);
                emit ripped(key, ok, detail);
                startNext();
            },
            Qt::QueuedConnection);
    });
    m_thread->setObjectName(QStringLiteral("CD rip"));
    m_thread->start();
}

} // namespace Sveltra
