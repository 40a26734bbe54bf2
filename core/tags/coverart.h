#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "core/media/tagmap.h"

namespace Sveltra {

// The front cover a converted file carries, made small for the player (see CoverImage): the
// cover the run was given (a disc's), else the source's embedded front cover, else a picture
// beside the source named cover, folder, front or album (.jpg, .jpeg or .png, any letter case,
// in that order); one that cannot be decoded gives way to the next and is logged. The tracks
// of one album share their cover, so the last few covers made are kept: each is decoded once.
// Safe on any thread.
QByteArray SmallFrontCover(const QByteArray &given, const QList<EmbeddedPicture> &embedded, const QString &sourcePath);

// The picture file beside a source that stands for its cover, or empty when there is none.
QString CoverFileBeside(const QString &sourcePath);

} // namespace Sveltra
