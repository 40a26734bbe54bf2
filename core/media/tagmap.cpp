#include "core/media/tagmap.h"

#include <QRegularExpression>

#include <algorithm>

#include "core/base/textcut.h"

namespace Sveltra {

namespace {

// Properties whose value stops being true once the audio is encoded again.
bool untrueAfterReencoding(const QString &key)
{
    static const QStringList exact = {
        QLatin1String(SoftwareNoteProperty), // the software that made the source: ours is written
        QStringLiteral("ENCODEDBY"),         // who or what encoded the source (TENC)
        QStringLiteral("ENCODED-BY"),
        QStringLiteral("ENCODER"),
        QStringLiteral("ENCODERSETTINGS"),
        QStringLiteral("ENCODER_SETTINGS"),
        QStringLiteral("ENCODER_OPTIONS"),
        QStringLiteral("ENCODINGTIME"),
        QStringLiteral("LENGTH"), // TLEN: the new file's length differs by the encoder's padding
    };
    static const QStringList prefixes = {
        QStringLiteral("REPLAYGAIN_"), // gain and peak are measured on the output or not written
        QStringLiteral("R128_"), QStringLiteral("MP3GAIN_"),
        QStringLiteral("SVELTRA"), // an earlier run's mark and levelling: the run writes its own
    };
    // iTunes' gapless and loudness notes (iTunSMPB, iTunNORM, iTunPGAP), as comments or texts.
    static const QStringList inside = {QStringLiteral("ITUNSMPB"), QStringLiteral("ITUNNORM"), QStringLiteral("ITUNPGAP")};
    if (exact.contains(key))
        return true;
    for (const QString &p : prefixes) {
        if (key.startsWith(p))
            return true;
    }
    for (const QString &p : inside) {
        if (key.contains(p))
            return true;
    }
    return false;
}

QString firstOf(const TagProperties &map, const QString &key)
{
    const QStringList values = map.value(key);
    return values.isEmpty() ? QString() : values.first().trimmed();
}

// Joins a separate count ("12") to its number ("3") as "3/12", where the number has none.
void joinCount(TagProperties &map, const QString &numberKey, const QStringList &countKeys)
{
    QString count;
    for (const QString &key : countKeys) {
        if (count.isEmpty())
            count = firstOf(map, key);
        map.remove(key);
    }
    const QString number = firstOf(map, numberKey);
    if (number.isEmpty() || count.isEmpty() || number.contains(QLatin1Char('/')))
        return;
    map[numberKey] = QStringList{number + QLatin1Char('/') + count};
}

// The keys an ID3v2 tag has a frame of its own for; any other becomes one more user text frame.
bool ownFrame(const QString &key)
{
    static const QStringList keys = QStringLiteral(
                                        "TITLE ALBUM ARTIST ALBUMARTIST DATE TRACKNUMBER DISCNUMBER GENRE COMPOSER COMMENT "
                                        "LYRICS BPM CONTENTGROUP WORK SUBTITLE CONDUCTOR REMIXER LYRICIST ORIGINALLYRICIST "
                                        "ORIGINALARTIST ORIGINALALBUM DISCSUBTITLE ORIGINALDATE RELEASEDATE TAGGINGDATE "
                                        "COPYRIGHT LABEL RADIOSTATION RADIOSTATIONOWNER OWNER INITIALKEY LANGUAGE MEDIA MOOD "
                                        "ORIGINALFILENAME ISRC ALBUMSORT ARTISTSORT TITLESORT ALBUMARTISTSORT COMPOSERSORT "
                                        "COMPILATION FILETYPE PLAYLISTDELAY MOVEMENTNAME MOVEMENTNUMBER GROUPING PRODUCEDNOTICE "
                                        "ARRANGER ENGINEER PRODUCER MIXER DJMIXER COPYRIGHTURL FILEWEBPAGE ARTISTWEBPAGE "
                                        "AUDIOSOURCEWEBPAGE PAYMENTWEBPAGE PUBLISHERWEBPAGE RADIOSTATIONWEBPAGE")
                                        .split(QLatin1Char(' '));
    return keys.contains(key);
}

// Comments and lyrics may run to many lines; every other field is one line.
bool longText(const QString &key)
{
    return key.startsWith(QLatin1String("COMMENT")) || key.startsWith(QLatin1String("LYRICS"));
}

// A track or disc number as an ID3v2 frame holds it: "3" or "3/12", numbers from 1 to
// MaxTagNumber; a count below its number or above MaxTagNumber is left out. Empty when the text
// is no such number.
QString NumberAndCount(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,9})\\s*(?:/\\s*(\\d{1,9})\\s*)?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {};
    const int number = match.captured(1).toInt();
    if (number < 1 || number > MaxTagNumber)
        return {};
    const int count = match.captured(2).toInt(); // 0 when there is none
    if (count < number || count > MaxTagNumber)
        return QString::number(number);
    return QStringLiteral("%1/%2").arg(number).arg(count);
}

// What goes into the tag of everything mapped, in bounds: the run's own fields first, then the
// fields with frames of their own, then at most MaxUserTexts others (each in name order); each
// field's values cut to its length, and fields left out once the tag's total would pass
// MaxTagTextBytes (counted as the UTF-16 the tag is written in, with a frame's overhead).
TagProperties Bounded(const TagProperties &all, const QStringList &runKeys)
{
    QStringList keys = all.keys();
    const auto rank = [&runKeys](const QString &key) { return runKeys.contains(key) ? 0 : ownFrame(key) ? 1 : 2; };
    std::stable_sort(keys.begin(), keys.end(), [&rank](const QString &a, const QString &b) { return rank(a) < rank(b); });
    TagProperties out;
    qint64 left = MaxTagTextBytes;
    int userTexts = 0;
    for (const QString &key : std::as_const(keys)) {
        if (rank(key) == 2 && ++userTexts > MaxUserTexts)
            break;
        const qsizetype limit = longText(key) ? MaxLongTextChars : MaxLineChars;
        QStringList values;
        qsizetype chars = 0;
        for (const QString &value : all.value(key)) {
            const qsizetype room = limit - chars - (values.isEmpty() ? 0 : 1); // values are joined by one character
            // Only the end of a long text is looked at for where a character ends.
            const QString cut = room > 0 ? CutText(value.left(room + 16), room) : QString();
            if (cut.isEmpty())
                break;
            chars += cut.size() + (values.isEmpty() ? 0 : 1);
            values << cut;
        }
        const qint64 bytes = 2 * (qint64(key.size()) + chars) + 16;
        if (values.isEmpty() || bytes > left)
            continue;
        left -= bytes;
        out.insert(key, values);
    }
    return out;
}

void setIfGiven(TagProperties &map, const QString &key, const QString &value)
{
    const QString text = value.trimmed();
    if (!text.isEmpty())
        map[key] = QStringList{text};
}

} // namespace

TagProperties OutputProperties(const TagProperties &source, const MediaTag &tag)
{
    TagProperties out;
    for (auto it = source.begin(); it != source.end(); ++it) {
        const QString key = it.key().trimmed().toUpper();
        if (key.isEmpty() || untrueAfterReencoding(key))
            continue;
        QStringList values;
        for (const QString &v : it.value()) {
            if (!v.trimmed().isEmpty())
                values << v;
        }
        if (!values.isEmpty())
            out[key] += values;
    }
    joinCount(out, QStringLiteral("TRACKNUMBER"), {QStringLiteral("TRACKTOTAL"), QStringLiteral("TOTALTRACKS")});
    joinCount(out, QStringLiteral("DISCNUMBER"), {QStringLiteral("DISCTOTAL"), QStringLiteral("TOTALDISCS")});

    setIfGiven(out, QStringLiteral("TITLE"), tag.Title);
    setIfGiven(out, QStringLiteral("ALBUM"), tag.Album);
    setIfGiven(out, QStringLiteral("ARTIST"), tag.Artist);
    SetYear(out, tag.Year.trimmed());
    setIfGiven(out, QStringLiteral("TRACKNUMBER"), tag.Track);
    setIfGiven(out, QStringLiteral("DISCNUMBER"), tag.Disc);
    setIfGiven(out, QStringLiteral("GENRE"), tag.Genre);
    setIfGiven(out, QStringLiteral("ALBUMARTIST"), tag.AlbumArtist);
    for (const QString &key : {QStringLiteral("TRACKNUMBER"), QStringLiteral("DISCNUMBER")}) {
        if (!out.contains(key))
            continue;
        const QString number = NumberAndCount(firstOf(out, key));
        if (number.isEmpty())
            out.remove(key);
        else
            out[key] = QStringList{number};
    }
    return Bounded(out,
                   {QStringLiteral("TITLE"), QStringLiteral("ALBUM"), QStringLiteral("ARTIST"), QStringLiteral("DATE"),
                    QStringLiteral("TRACKNUMBER"), QStringLiteral("DISCNUMBER"), QStringLiteral("GENRE"),
                    QStringLiteral("ALBUMARTIST")});
}

const EmbeddedPicture *FrontPicture(const QList<EmbeddedPicture> &pictures)
{
    const EmbeddedPicture *other = nullptr;
    for (const EmbeddedPicture &picture : pictures) {
        if (picture.data.isEmpty())
            continue;
        if (picture.type == EmbeddedPicture::FrontCover)
            return &picture;
        if (picture.type == EmbeddedPicture::Other && !other)
            other = &picture;
    }
    return other;
}

int TrackByte(const QString &track)
{
    static const QRegularExpression leadingNumber(QStringLiteral("^\\s*0*(\\d{1,3})\\s*(/.*)?$"));
    const QRegularExpressionMatch match = leadingNumber.match(track);
    if (!match.hasMatch())
        return 0;
    const int number = match.captured(1).toInt();
    return number >= 1 && number <= 255 ? number : 0;
}

void SetYear(TagProperties &tags, const QString &year)
{
    if (!year.isEmpty() && !tags.value(QStringLiteral("DATE")).value(0).startsWith(year))
        tags[QStringLiteral("DATE")] = QStringList{year};
}

} // namespace Sveltra
