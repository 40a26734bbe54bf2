#include "core/convert/audioinformation.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

#include "core/base/textcut.h"
#include "core/convert/mediaprobe.h"

namespace Sveltra {

namespace {

TagLib::String toTag(const QString &s)
{
    return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8);
}

QString fromTag(const TagLib::String &s)
{
    return QString::fromStdString(s.to8Bit(true)).trimmed();
}

// ID3v1 text in GBK, the code page Chinese players read ID3v1 with. Reading falls back to
// Latin-1 for bytes that are not GBK; writing cuts at a character boundary so a two-byte
// character is never split by the field's fixed length.
class GbkStringHandler final : public TagLib::ID3v1::StringHandler
{
public:
    static constexpr int FieldBytes = 30;

    TagLib::String parse(const TagLib::ByteVector &data) const override
    {
        QByteArray bytes(data.data(), static_cast<qsizetype>(data.size()));
        const qsizetype nul = bytes.indexOf('\0');
        if (nul >= 0)
            bytes.truncate(nul);
        QStringDecoder gbk("GBK");
        const QString text = gbk.decode(bytes);
        if (gbk.hasError() || !gbk.isValid())
            return toTag(QString::fromLatin1(bytes).trimmed());
        return toTag(text.trimmed());
    }

    TagLib::ByteVector render(const TagLib::String &s) const override
    {
        const QByteArray bytes = encodeCut(QString::fromStdString(s.to8Bit(true)), FieldBytes);
        return TagLib::ByteVector(bytes.constData(), static_cast<unsigned int>(bytes.size()));
    }

    // The GBK bytes of text, at most maxBytes long, cut between characters.
    static QByteArray encodeCut(const QString &text, int maxBytes)
    {
        QStringEncoder gbk("GBK");
        QByteArray out;
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype len = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            const QByteArray one = gbk.encode(QStringView(text).mid(i, len));
            if (out.size() + one.size() > maxBytes)
                break;
            out += one;
            i += len;
        }
        return out;
    }
};

const GbkStringHandler gbkHandler;

void installTagLibDefaults()
{
    static const bool installed = [] {
        TagLib::ID3v1::Tag::setStringHandler(&gbkHandler);
        TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::UTF16);
        return true;
    }();
    Q_UNUSED(installed);
}

QString first(const TagLib::PropertyMap &map, const char *key)
{
    const auto it = map.find(key);
    if (it == map.end() || it->second.isEmpty())
        return {};
    // A tag can hold megabytes; a row's cell and the next tag need no more than a field's worth.
    return CutText(fromTag(it->second.front()));
}

} // namespace

void AudioInformation::ClearTags()
{
    Title.clear();
    Album.clear();
    Artist.clear();
    Year = 0;
    Comment.clear();
    Genre.clear();
    SoftwareNote.clear();
}

bool AudioInformation::ReadFile(const QString &path)
{
    installTagLibDefaults();
    ClearTags();
    Duration = 0;
    FileSize = 0;
    m_lastError.clear();

    const QFileInfo info(path);
    if (!info.isFile()) {
        m_lastError = info.exists() ? QStringLiteral("not a file") : QStringLiteral("no such file");
        return false;
    }
    FileSize = info.size();
    const QByteArray name = QFile::encodeName(path);

    TagLib::PropertyMap tags;
    TagLib::FileRef ref(name.constData(), true, TagLib::AudioProperties::Average);
    if (!ref.isNull()) {
        if (const TagLib::AudioProperties *audio = ref.audioProperties())
            Duration = audio->lengthInMilliseconds();
        auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(ref.file());
        if (mpeg && TagMode == 2) {
            if (mpeg->hasID3v1Tag())
                tags = mpeg->ID3v1Tag()->properties();
        } else if (mpeg) {
            if (mpeg->hasID3v2Tag())
                tags = mpeg->ID3v2Tag()->properties();
        } else if (TagMode != 2) {
            tags = ref.file()->properties();
        }
    }
    if (Duration <= 0)
        Duration = ProbeDurationMs(path, &m_lastError);

    Title = first(tags, "TITLE");
    Album = first(tags, "ALBUM");
    Artist = first(tags, "ARTIST");
    Year = first(tags, "DATE").left(4).toInt();
    Comment = first(tags, "COMMENT");
    Genre = first(tags, "GENRE");
    return Duration > 0;
}

bool AudioInformation::WriteTags(const QString &path)
{
    installTagLibDefaults();
    m_lastError.clear();
    if (!QFileInfo(path).isFile()) {
        m_lastError = QStringLiteral("no such file");
        return false;
    }
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid()) {
        m_lastError = QStringLiteral("not an MP3 file TagLib can open");
        return false;
    }

    // The tag is written afresh: nothing of an earlier tag in the file survives.
    file.strip(TagLib::MPEG::File::AllTags);
    TagLib::ID3v2::Tag *v2 = file.ID3v2Tag(true);
    v2->setTitle(toTag(Title));
    v2->setAlbum(toTag(Album));
    v2->setArtist(toTag(Artist));
    v2->setYear(Year > 0 ? static_cast<unsigned int>(Year) : 0U);
    v2->setComment(toTag(Comment));
    v2->setGenre(toTag(Genre));
    if (!SoftwareNote.isEmpty()) {
        auto *note = new TagLib::ID3v2::TextIdentificationFrame("TSSE", TagLib::String::UTF16);
        note->setText(toTag(SoftwareNote));
        v2->addFrame(note);
    }

    TagLib::ID3v1::Tag *v1 = file.ID3v1Tag(true);
    v1->setTitle(toTag(Title));
    v1->setAlbum(toTag(Album));
    v1->setArtist(toTag(Artist));
    v1->setYear(Year > 0 && Year <= 9999 ? static_cast<unsigned int>(Year) : 0U);
    // The ID3v1.1 comment field is 28 bytes: cut it here, between characters.
    QStringDecoder gbk("GBK");
    const QString shortComment = gbk.decode(GbkStringHandler::encodeCut(Comment, 28));
    v1->setComment(toTag(shortComment));
    v1->setGenre(toTag(Genre));

    if (!file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                   TagLib::File::DoNotDuplicate)) {
        m_lastError = QStringLiteral("TagLib could not save the tag");
        return false;
    }
    return true;
}

} // namespace Sveltra
