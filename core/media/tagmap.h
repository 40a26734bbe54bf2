#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "core/media/mediatag.h"

namespace Sveltra {

// A tag's text properties under TagLib's common names (TITLE, ARTIST, ALBUMARTIST, DATE,
// TRACKNUMBER, DISCNUMBER, GENRE, COMPOSER, COMMENT, LYRICS, BPM ...; keys upper case), each
// with its values. A name the ID3v2 tag has no frame for becomes a user text frame (TXXX).
using TagProperties = QMap<QString, QStringList>;

// The property of the software that made a file (TSSE): a source's is untrue once re-encoded, and
// an output's is the program's own note.
inline constexpr char SoftwareNoteProperty[] = "ENCODING";

// A picture held in a source's tag.
struct EmbeddedPicture
{
    // The ID3v2 picture types that matter here; every format uses the same numbers.
    enum Type { Other = 0, FrontCover = 3 };
    int type = Other;
    QString mimeType;
    QByteArray data;
};

// Everything a source's tag holds that can go with its audio.
struct SourceTags
{
    TagProperties properties;
    QList<EmbeddedPicture> pictures;
};

// The bounds of what a tag copied from a source may hold beside its cover (a source's tag is
// anyone's: 16 million characters of lyrics or ten thousand user texts are no reason for an
// output to grow): the characters of a one-line field and of a comment or lyrics, the user text
// frames, the whole text of the tag in bytes, and the highest track or disc number.
inline constexpr qsizetype MaxLineChars = 4096;
inline constexpr qsizetype MaxLongTextChars = 64 * 1024;
inline constexpr int MaxUserTexts = 64;
inline constexpr qint64 MaxTagTextBytes = 256 * 1024;
inline constexpr int MaxTagNumber = 9999;

// The text properties a re-encoded file carries: the source's, with a track or disc count
// joined to its number ("3/12"), without what re-encoding makes untrue (ReplayGain, the
// encoder and its settings, the play length, gapless data, an earlier rerun mark), and with
// the run's values winning: the row's title, album, artist and year, then what a CD lookup
// knows (track, disc, genre, album artist). A row's year keeps the source's fuller date when
// both name the same year. Track and disc hold numbers only ("3", "3/12"; a count below its
// number dropped, a text without a number left out), and everything is cut to the bounds above
// (the run's fields kept first, then the fields an ID3v2 tag has frames for, then user texts).
TagProperties OutputProperties(const TagProperties &source, const MediaTag &tag);

// Sets the year (empty: leaves DATE alone), keeping a fuller date of the same year ("1999-05-01"
// stays for 1999).
void SetYear(TagProperties &tags, const QString &year);

// The front cover among a tag's pictures: the one marked front cover, else the first of type
// "other" (taggers that do not ask write that); a back cover or a photo of the artist is never
// taken. Null when there is none.
const EmbeddedPicture *FrontPicture(const QList<EmbeddedPicture> &pictures);

// The ID3v1.1 track byte for a track number text such as "3" or "3/12"; 0 (no track) when the
// text has no number from 1 to 255.
int TrackByte(const QString &track);

} // namespace Sveltra
