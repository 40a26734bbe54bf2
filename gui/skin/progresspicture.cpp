#include "gui/skin/progresspicture.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRandomGenerator>
#include <QtDebug>

#include <algorithm>

#include "gui/skin/imagelist.h"

namespace Sveltra {

void PicturesInOrder::beginCall(int count)
{
    if (m_current < 1 || m_current > count)
        m_current = 1;
}

int PicturesInOrder::next(int count)
{
    beginCall(count);
    ++m_current;
    if (m_current > count)
        m_current = 1;
    return m_current;
}

PicturesAtRandom::PicturesAtRandom(Uniform uniform)
    : m_uniform(std::move(uniform))
{
    if (!m_uniform)
        m_uniform = [] { return QRandomGenerator::global()->generateDouble(); };
}

int PicturesAtRandom::next(int count)
{
    return static_cast<int>(m_uniform() * count) + 1;
}

int ProgressFillWidth(int percent, int trackWidth)
{
    return static_cast<int>(percent / 100.0 * trackWidth);
}

QImage RenderProgressPicture(const QImage &trackPicture, const QImage &fillPicture, const QSize &trackSize, int fillWidth)
{
    QImage result(trackSize, QImage::Format_RGB32);
    result.fill(Qt::black);
    QPainter painter(&result);
    if (!trackPicture.isNull())
        painter.drawImage(QPoint(0, 0), trackPicture);
    if (!fillPicture.isNull() && fillWidth > 0) {
        painter.setClipRect(QRect(0, 0, fillWidth, trackSize.height()));
        painter.drawImage(QPoint(0, 0), fillPicture);
    }
    return result;
}

ProgressPicture::ProgressPicture(QLabel *track, QLabel *fill, QList<QPixmap> pictures, std::unique_ptr<PictureChooser> chooser,
                                 Repaint repaint)
    : m_track(track)
    , m_fill(fill)
    , m_pictures(std::move(pictures))
    , m_chooser(std::move(chooser))
    , m_repaint(repaint)
{
    Q_ASSERT(m_chooser);
    for (QLabel *box : {track, fill}) {
        if (!box)
            continue;
        box->setFrameShape(QFrame::NoFrame);
        box->setMargin(0);
        box->setScaledContents(false);
        box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    if (fill)
        fill->raise();
}

ProgressPicture::~ProgressPicture() = default;

bool ProgressPicture::SetProgressPic(int percent)
{
    const int count = static_cast<int>(m_pictures.size());
    m_chooser->beginCall(count);
    if (percent < 0 || percent > 100)
        return true;
    if (!m_track || !m_fill) {
        qWarning("SetProgressPic: the progress picture boxes are gone");
        return false;
    }

    if (percent > 0) {
        m_fill->resize(ProgressFillWidth(percent, m_track->width()), m_fill->height());
        m_fill->repaint();
        return false;
    }

    // A new fill: 1 twip wide, less than a pixel, so nothing of it shows yet.
    m_fill->setVisible(true);
    m_fill->setGeometry(m_track->x(), m_track->y(), 0, m_track->height());
    m_track->setPixmap(m_fill->pixmap());
    if (count > 0) {
        const int number = std::clamp(m_chooser->next(count), 1, count);
        m_fill->setPixmap(m_pictures.at(number - 1));
        m_fillPicture = number;
    } else {
        m_fill->clear();
        m_fillPicture = 0;
    }
    if (m_repaint == Repaint::WholeWindow) {
        m_track->window()->repaint();
    } else {
        m_track->repaint();
        m_fill->repaint();
    }
    return false;
}

QList<QPixmap> ProgressPicture::SkinPictures()
{
    QList<QPixmap> pictures;
    for (int i = 1; i <= 10; ++i) {
        QPixmap picture = ImageListPixmap(QStringLiteral("progress"), i);
        if (picture.isNull())
            qWarning("Progress picture %d of :/progress is missing", i);
        pictures.append(picture);
    }
    return pictures;
}

} // namespace Sveltra
