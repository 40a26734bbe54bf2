#include "core/tags/outputtag.h"

#include <QtDebug>

#include <limits>

#include "core/base/textcut.h"
#include "core/base/version.h"
#include "core/joblist/celltexts.h"
#include "core/media/audioinformation.h"
#include "core/media/tagmap.h"
#include "core/tags/coverart.h"

namespace Sveltra {

void PrepareOutputTag(AudioInformation &writer, const MediaTag &tag)
{
    writer.ClearTags(); // comment, genre and cover of no other file end up here
    // The row's texts are the source's: held to the length of a field as the other tags are.
    const auto line = [](const QString &text) { return CutText(text.left(MaxLineChars + 16), MaxLineChars); };
    writer.Title = line(tag.Title);
    writer.Album = line(tag.Album);
    writer.Artist = line(tag.Artist);
    // The year is a number: an empty or non-numeric text gives none.
    const double year = NumericValue(tag.Year);
    writer.Year = (year >= 0 && year <= std::numeric_limits<int>::max()) ? static_cast<int>(year) : 0;

    MediaTag run = tag;
    run.Year = writer.Year > 0 ? QString::number(writer.Year) : QString();
    const SourceTags source = tag.SourcePath.isEmpty() ? SourceTags{} : ReadSourceTags(tag.SourcePath);
    writer.Properties = OutputProperties(source.properties, run);
    writer.FrontCover = SmallFrontCover(tag.Cover, source.pictures, tag.SourcePath);
    if (!tag.SourceStamp.isEmpty())
        writer.UserTexts << qMakePair(SourceStampFrameName(), tag.SourceStamp);
    writer.UserTexts += tag.UserTexts;
}

bool SetMP3Tag(const QString &path, const MediaTag &tag, QString *error)
{
    AudioInformation info;
    PrepareOutputTag(info, tag);
    info.SoftwareNote = SoftwareNote();
    if (info.WriteTags(path))
        return true;
    qWarning("Cannot write the tag of %s: %s", qPrintable(path), qPrintable(info.lastError()));
    if (error)
        *error = info.lastError();
    return false;
}

} // namespace Sveltra
