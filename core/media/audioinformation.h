#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include "core/media/tagmap.h"

namespace Sveltra {

// Stream facts and tags of one audio file, over TagLib (with FFmpeg for the play length when
// TagLib cannot tell it). Keeps the state of the file most recently read, like a component:
// set TagMode, call ReadFile, then read the fields; or set the fields and call WriteTags.
// Used on the user-interface thread only.
class AudioInformation final
{
public:
    // Which tag ReadFile reads: the format's main tag (ID3v2 for MP3, the INFO chunk for WAV,
    // the ASF tag for WMA) or an MP3's ID3v1 tag.
    enum class TagKind { Main = 1, Id3v1 = 2 };
    TagKind TagMode = TagKind::Main;

    // Readings of the file last read (and the values WriteTags writes).
    qint64 Duration = 0; // milliseconds; 0 when the file is no audio we can read
    qint64 FileSize = 0; // bytes
    QString Title;
    QString Album;
    QString Artist;
    int Year = 0;
    QString Comment;
    QString Genre;
    QString SoftwareNote;
    // Written only: every further text property (TagLib's names; the fields above win over
    // these where set), the front cover (image bytes, stored as they are) and user text frames
    // by description and value (each replaces a property of the same name).
    TagProperties Properties;
    QByteArray FrontCover;
    QList<QPair<QString, QString>> UserTexts;

    // Reads the file's facts and the tag of the current TagMode. Every field is reset first,
    // so nothing of an earlier file remains. Returns false (and keeps the reason in
    // lastError()) when the file cannot be read as audio.
    bool ReadFile(const QString &path);

    // Writes the fields into an MP3 file as an ID3v2.3 tag (UTF-16 text, each property in the
    // frame players read it from: TRCK, TPOS, TPE2, TCON, TCOM, COMM, USLT, TBPM ..., a name
    // without a frame of its own as TXXX; the software note in TSSE; the cover as APIC front
    // cover) and an ID3v1.1 tag whose text is GBK, with the track byte and the genre's number.
    // Empty fields are left out rather than written empty; the file's earlier tags are removed.
    bool WriteTags(const QString &path);

    // Clears the writable fields (so one file's comment or cover is never stamped on another).
    void ClearTags();

    const QString &lastError() const { return m_lastError; }

private:
    QString m_lastError;
};

// Everything the tag of any audio file TagLib reads holds: its text properties whole (the
// format's main tag; an MP3's ID3v1 tag when it has no other) and its pictures (ID3v2 APIC,
// FLAC and Vorbis pictures, MP4 covr, WMA pictures). A WMA file's zero-based track number
// (WM/Track) is read one-based where it has no other. Nothing for a file TagLib cannot read.
// Safe on any thread.
SourceTags ReadSourceTags(const QString &path);

// The mark an output carries of what made it (a user text frame "Sveltra source" in its ID3v2
// tag): read back, or empty when the file has none or is no MP3; written into the file's tag
// beside whatever else it holds (nothing is saved when it already says so). Safe on any thread.
QString ReadSourceStamp(const QString &path);
// The description of the user text frame that holds the mark.
QString SourceStampFrameName();
bool WriteSourceStamp(const QString &path, const QString &stamp);

// The user text frames (TXXX) of an MP3's ID3v2 tag, description and value; none when it has
// none or is no MP3. Safe on any thread.
QList<QPair<QString, QString>> ReadUserTexts(const QString &path);
// Sets user text frames in an MP3's tag (each replacing any of its description), in place: for a
// file that has not taken its name yet. Safe on any thread.
bool WriteUserTexts(const QString &path, const QList<QPair<QString, QString>> &texts);

// What tells one album from another of the same title beyond the row's cells: the album artist
// and the number of discs ("1/2" gives 2; 0 when not said). Safe on any thread.
struct AlbumIdentity
{
    QString albumArtist;
    int discTotal = 0;
};
AlbumIdentity ReadAlbumIdentity(const QString &path);

} // namespace Sveltra
