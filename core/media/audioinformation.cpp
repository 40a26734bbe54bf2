#include "core/media/audioinformation.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

#include <taglib/aifffile.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/wavfile.h>
#include <taglib/xingheader.h>
#include <taglib/xiphcomment.h>

#include "core/base/picturekind.h"
#include "core/base/textcut.h"
#include "core/media/mediaprobe.h"

namespace Sveltra {

namespace {

// An MP3 made of files joined end to end (audiobooks, podcasts) starts with the first part's
// info frame, which counts the first part's frames only; its audio then runs well past the bytes
// that frame tells of.
bool infoFrameUndercounts(TagLib::MPEG::File &mpeg)
{
    const TagLib::MPEG::Properties *properties = mpeg.audioProperties();
    const TagLib::MPEG::XingHeader *info = properties ? properties->xingHeader() : nullptr;
    if (!info || !info->isValid() || info->totalSize() == 0)
        return false;
    const long first = mpeg.firstFrameOffset();
    const long last = mpeg.lastFrameOffset();
    const long counted = static_cast<long>(info->totalSize());
    return first >= 0 && last > first && last - first > counted + counted / 8 + 4096;
}

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

// The ID3v1 genre for a genre text, matched without regard to letter case; a number ("17",
// "(17)") names the genre of that number. Empty when the text names none.
QString id3v1Genre(const QString &genre)
{
    static const QRegularExpression number(QStringLiteral("^\\(?(\\d{1,3})\\)?$"));
    const QRegularExpressionMatch match = number.match(genre.trimmed());
    const TagLib::StringList names = TagLib::ID3v1::genreList();
    if (match.hasMatch()) {
        const int index = match.captured(1).toInt();
        return index < static_cast<int>(names.size()) ? fromTag(TagLib::ID3v1::genre(index)) : QString();
    }
    for (const TagLib::String &name : names) {
        if (fromTag(name).compare(genre.trimmed(), Qt::CaseInsensitive) == 0)
            return fromTag(name);
    }
    return {};
}

// An ID3v2.3 text frame holds one text: several values are joined as ID3v2.3 readers expect.
// A comment or lyrics keeps its first value only (two frames of one kind and description are
// not allowed).
TagLib::PropertyMap toPropertyMap(const TagProperties &properties)
{
    TagLib::PropertyMap map;
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        QStringList values;
        for (const QString &v : it.value()) {
            if (!v.trimmed().isEmpty())
                values << v.trimmed();
        }
        if (values.isEmpty())
            continue;
        const bool single = it.key().startsWith(QLatin1String("COMMENT")) || it.key().startsWith(QLatin1String("LYRICS"));
        const QString text = single ? values.first() : values.join(QLatin1Char('/'));
        map.insert(toTag(it.key()), TagLib::StringList(toTag(text)));
    }
    return map;
}

void addPicture(QList<EmbeddedPicture> &out, int type, const TagLib::String &mime, const TagLib::ByteVector &data)
{
    if (data.isEmpty())
        return;
    out << EmbeddedPicture{type, fromTag(mime), QByteArray(data.data(), static_cast<qsizetype>(data.size()))};
}

void addId3v2Pictures(QList<EmbeddedPicture> &out, TagLib::ID3v2::Tag *tag)
{
    if (!tag)
        return;
    for (TagLib::ID3v2::Frame *frame : tag->frameList("APIC")) {
        if (auto *picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(frame))
            addPicture(out, picture->type(), picture->mimeType(), picture->picture());
    }
}

void addXiphPictures(QList<EmbeddedPicture> &out, TagLib::Ogg::XiphComment *comment)
{
    if (!comment)
        return;
    for (TagLib::FLAC::Picture *picture : comment->pictureList())
        addPicture(out, picture->type(), picture->mimeType(), picture->data());
}

// Every text in UTF-16, which every ID3v2.3 reader knows.
void UseUtf16(TagLib::ID3v2::Tag &v2)
{
    for (TagLib::ID3v2::Frame *frame : v2.frameList()) {
        if (auto *text = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame *>(frame))
            text->setTextEncoding(TagLib::String::UTF16);
        else if (auto *comment = dynamic_cast<TagLib::ID3v2::CommentsFrame *>(frame))
            comment->setTextEncoding(TagLib::String::UTF16);
        else if (auto *lyrics = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame *>(frame)) {
            lyrics->setTextEncoding(TagLib::String::UTF16);
            // TagLib names plain lyrics after their property; players expect no description.
            if (lyrics->description() == "LYRICS")
                lyrics->setDescription(TagLib::String());
        }
    }
}

// The ID3v1.1 tag of what the ID3v2 tag holds: text in GBK, the track byte, the genre's number.
void FillId3v1(TagLib::ID3v1::Tag &v1, const TagProperties &all)
{
    const auto value = [&all](const char *key) { return all.value(QString::fromLatin1(key)).value(0).trimmed(); };
    v1.setTitle(toTag(value("TITLE")));
    v1.setAlbum(toTag(value("ALBUM")));
    v1.setArtist(toTag(value("ARTIST")));
    const int year = value("DATE").left(4).toInt();
    v1.setYear(year > 0 && year <= 9999 ? static_cast<unsigned int>(year) : 0U);
    // The ID3v1.1 comment field is 28 bytes: cut it here, between characters.
    QStringDecoder gbk("GBK");
    const QString shortComment = gbk.decode(GbkStringHandler::encodeCut(value("COMMENT"), 28));
    v1.setComment(toTag(shortComment));
    v1.setGenre(toTag(id3v1Genre(value("GENRE"))));
    v1.setTrack(static_cast<unsigned int>(TrackByte(value("TRACKNUMBER"))));
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
    Properties.clear();
    FrontCover.clear();
    UserTexts.clear();
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
    TagLib::MPEG::File *mpegFile = nullptr;
    TagLib::FileRef ref(name.constData(), true, TagLib::AudioProperties::Average);
    if (!ref.isNull()) {
        if (const TagLib::AudioProperties *audio = ref.audioProperties())
            Duration = audio->lengthInMilliseconds();
        auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(ref.file());
        mpegFile = mpeg;
        if (mpeg && TagMode == TagKind::Id3v1) {
            if (mpeg->hasID3v1Tag())
                tags = mpeg->ID3v1Tag()->properties();
        } else if (mpeg) {
            if (mpeg->hasID3v2Tag())
                tags = mpeg->ID3v2Tag()->properties();
        } else if (TagMode != TagKind::Id3v1) {
            tags = ref.file()->properties();
        }
    }
    if (Duration <= 0 || (mpegFile && infoFrameUndercounts(*mpegFile))) {
        // FFmpeg measures such a file by its bytes, so every part is counted.
        const qint64 probed = ProbeDurationMs(path, &m_lastError);
        Duration = std::max(Duration, probed);
    }

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

    // The fields win over the further properties; a year keeps a fuller date of the same year.
    TagProperties all = Properties;
    const auto set = [&all](const char *key, const QString &value) {
        if (!value.trimmed().isEmpty())
            all[QString::fromLatin1(key)] = QStringList{value};
    };
    set("TITLE", Title);
    set("ALBUM", Album);
    set("ARTIST", Artist);
    set("COMMENT", Comment);
    set("GENRE", Genre);
    if (Year > 0)
        SetYear(all, QString::number(Year));
    for (const auto &[description, value] : std::as_const(UserTexts))
        all.remove(description.trimmed().toUpper());
    // The software note is ours alone.
    all.remove(QLatin1String(SoftwareNoteProperty));
    if (!SoftwareNote.trimmed().isEmpty())
        all[QLatin1String(SoftwareNoteProperty)] = QStringList{SoftwareNote};

    // The tag is written afresh: nothing of an earlier tag in the file survives.
    file.strip(TagLib::MPEG::File::AllTags);
    TagLib::ID3v2::Tag *v2 = file.ID3v2Tag(true);
    v2->setProperties(toPropertyMap(all));
    for (const auto &[description, value] : std::as_const(UserTexts)) {
        if (!description.isEmpty() && !value.isEmpty())
            v2->addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(toTag(description), TagLib::StringList(toTag(value)),
                                                                        TagLib::String::UTF16));
    }
    UseUtf16(*v2);
    if (!FrontCover.isEmpty()) {
        auto *cover = new TagLib::ID3v2::AttachedPictureFrame;
        cover->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        const PictureKind kind = PictureKindOf(FrontCover);
        cover->setMimeType(kind == PictureKind::None ? "image/jpeg" : PictureMimeType(kind));
        cover->setTextEncoding(TagLib::String::Latin1);
        cover->setPicture(TagLib::ByteVector(FrontCover.constData(), static_cast<unsigned int>(FrontCover.size())));
        v2->addFrame(cover);
    }

    FillId3v1(*file.ID3v1Tag(true), all);

    if (!file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                   TagLib::File::DoNotDuplicate)) {
        m_lastError = QStringLiteral("TagLib could not save the tag");
        return false;
    }
    return true;
}

SourceTags ReadSourceTags(const QString &path)
{
    installTagLibDefaults();
    SourceTags out;
    if (!QFileInfo(path).isFile())
        return out;
    TagLib::FileRef ref(QFile::encodeName(path).constData(), false);
    if (ref.isNull())
        return out;
    TagLib::File *file = ref.file();
    const TagLib::PropertyMap map = file->properties();
    for (auto it = map.begin(); it != map.end(); ++it) {
        QStringList values;
        for (const TagLib::String &v : it->second)
            values << fromTag(v);
        out.properties.insert(fromTag(it->first).toUpper(), values);
    }

    if (auto *mpeg = dynamic_cast<TagLib::MPEG::File *>(file)) {
        addId3v2Pictures(out.pictures, mpeg->hasID3v2Tag() ? mpeg->ID3v2Tag() : nullptr);
    } else if (auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file)) {
        addId3v2Pictures(out.pictures, wav->hasID3v2Tag() ? wav->ID3v2Tag() : nullptr);
    } else if (auto *aiff = dynamic_cast<TagLib::RIFF::AIFF::File *>(file)) {
        addId3v2Pictures(out.pictures, aiff->hasID3v2Tag() ? aiff->tag() : nullptr);
    } else if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(file)) {
        for (TagLib::FLAC::Picture *picture : flac->pictureList())
            addPicture(out.pictures, picture->type(), picture->mimeType(), picture->data());
        addXiphPictures(out.pictures, flac->hasXiphComment() ? flac->xiphComment() : nullptr);
    } else if (auto *mp4 = dynamic_cast<TagLib::MP4::File *>(file)) {
        if (mp4->hasMP4Tag() && mp4->tag()->contains("covr")) {
            for (const TagLib::MP4::CoverArt &art : mp4->tag()->item("covr").toCoverArtList()) {
                const char *mime = art.format() == TagLib::MP4::CoverArt::PNG ? "image/png" : "image/jpeg";
                addPicture(out.pictures, EmbeddedPicture::FrontCover, mime, art.data());
            }
        }
    } else if (auto *asf = dynamic_cast<TagLib::ASF::File *>(file)) {
        TagLib::ASF::Tag *tag = asf->tag();
        // WM/Track counts from zero; WM/TrackNumber, where present, is the one players show.
        if (tag && !out.properties.contains(QStringLiteral("TRACKNUMBER")) && tag->contains("WM/Track")) {
            const TagLib::ASF::Attribute track = tag->attribute("WM/Track").front();
            bool ok = true;
            qint64 number = 0;
            switch (track.type()) {
            case TagLib::ASF::Attribute::UnicodeType:
                number = fromTag(track.toString()).toLongLong(&ok);
                break;
            case TagLib::ASF::Attribute::DWordType:
                number = track.toUInt();
                break;
            case TagLib::ASF::Attribute::QWordType:
                number = static_cast<qint64>(track.toULongLong() & 0xFFFFFFFFU);
                break;
            case TagLib::ASF::Attribute::WordType:
                number = track.toUShort();
                break;
            default:
                ok = false;
            }
            if (ok && number >= 0)
                out.properties.insert(QStringLiteral("TRACKNUMBER"), {QString::number(number + 1)});
        }
        if (tag && tag->contains("WM/Picture")) {
            for (const TagLib::ASF::Attribute &attribute : tag->attribute("WM/Picture")) {
                const TagLib::ASF::Picture picture = attribute.toPicture();
                if (picture.isValid())
                    addPicture(out.pictures, picture.type(), picture.mimeType(), picture.picture());
            }
        }
    } else {
        addXiphPictures(out.pictures, dynamic_cast<TagLib::Ogg::XiphComment *>(file->tag()));
    }
    return out;
}

namespace {
const char *const SourceStampFrame = "Sveltra source";
}

QString SourceStampFrameName()
{
    return QString::fromLatin1(SourceStampFrame);
}

QString ReadSourceStamp(const QString &path)
{
    installTagLibDefaults();
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid() || !file.hasID3v2Tag())
        return {};
    const auto *frame = TagLib::ID3v2::UserTextIdentificationFrame::find(file.ID3v2Tag(), SourceStampFrame);
    const TagLib::StringList fields = frame ? frame->fieldList() : TagLib::StringList();
    return fields.size() > 1 ? QString::fromStdString(fields[1].to8Bit(true)) : QString();
}

bool WriteSourceStamp(const QString &path, const QString &stamp)
{
    installTagLibDefaults();
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid())
        return false;
    TagLib::ID3v2::Tag *v2 = file.ID3v2Tag(true);
    auto *frame = TagLib::ID3v2::UserTextIdentificationFrame::find(v2, SourceStampFrame);
    if (frame) {
        const TagLib::StringList fields = frame->fieldList();
        if (fields.size() > 1 && QString::fromStdString(fields[1].to8Bit(true)) == stamp)
            return true;
        v2->removeFrame(frame);
    }
    frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF16);
    frame->setDescription(SourceStampFrame);
    frame->setText(toTag(stamp));
    v2->addFrame(frame);
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3, TagLib::File::DoNotDuplicate);
}

QList<QPair<QString, QString>> ReadUserTexts(const QString &path)
{
    installTagLibDefaults();
    QList<QPair<QString, QString>> texts;
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid() || !file.hasID3v2Tag())
        return texts;
    for (TagLib::ID3v2::Frame *frame : file.ID3v2Tag()->frameList("TXXX")) {
        const auto *user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame *>(frame);
        const TagLib::StringList fields = user ? user->fieldList() : TagLib::StringList();
        if (fields.size() > 1)
            texts << qMakePair(fromTag(fields[0]), fromTag(fields[1]));
    }
    return texts;
}

bool WriteUserTexts(const QString &path, const QList<QPair<QString, QString>> &texts)
{
    installTagLibDefaults();
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid())
        return false;
    TagLib::ID3v2::Tag *v2 = file.ID3v2Tag(true);
    for (const auto &[description, value] : texts) {
        while (auto *old = TagLib::ID3v2::UserTextIdentificationFrame::find(v2, toTag(description)))
            v2->removeFrame(old);
        auto *frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF16);
        frame->setDescription(toTag(description));
        frame->setText(toTag(value));
        v2->addFrame(frame);
    }
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3, TagLib::File::DoNotDuplicate);
}

AlbumIdentity ReadAlbumIdentity(const QString &path)
{
    installTagLibDefaults();
    AlbumIdentity identity;
    const TagLib::FileRef ref(QFile::encodeName(path).constData(), false);
    if (ref.isNull())
        return identity;
    const TagLib::PropertyMap tags = ref.file()->properties();
    identity.albumArtist = first(tags, "ALBUMARTIST").trimmed();
    const QString disc = first(tags, "DISCNUMBER");
    const qsizetype slash = disc.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        identity.discTotal = disc.mid(slash + 1).trimmed().toInt();
    return identity;
}

} // namespace Sveltra
