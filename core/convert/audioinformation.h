#pragma once

#include <QString>

namespace Sveltra {

// Stream facts and tags of one audio file, over TagLib (with FFmpeg for the play length when
// TagLib cannot tell it). Keeps the state of the file most recently read, like a component:
// set TagMode, call ReadFile, then read the fields; or set the fields and call WriteTags.
// Used on the user-interface thread only.
class AudioInformation final
{
public:
    // 1: the format's main tag (ID3v2 for MP3, the INFO chunk for WAV, the ASF tag for WMA);
    // 2: the ID3v1 tag.
    int TagMode = 1;

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

    // Reads the file's facts and the tag of the current TagMode. Every field is reset first,
    // so nothing of an earlier file remains. Returns false (and keeps the reason in
    // lastError()) when the file cannot be read as audio.
    bool ReadFile(const QString &path);

    // Writes Title, Album, Artist, Year, Comment, Genre and SoftwareNote into an MP3 file as an
    // ID3v2.3 tag (UTF-16 text, the software note in TSSE) and an ID3v1 tag whose text is GBK.
    // Empty fields are left out rather than written empty.
    bool WriteTags(const QString &path);

    // Clears the writable fields (so one file's comment is never stamped on another).
    void ClearTags();

    const QString &lastError() const { return m_lastError; }

private:
    QString m_lastError;
};

} // namespace Sveltra
