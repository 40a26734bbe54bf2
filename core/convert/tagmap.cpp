#include "core/convert/tagmap.h"

#include <QRegularExpression>

namespace Sveltra {

namespace {

// Properties whose value stops being true once the audio is encoded again.
bool untrueAfterReencoding(const QString &key)
{
    static const QStringList exact = {
        QStringLiteral("ENCODING"),  // the software that made the source (TSSE): ours is written
        QStringLiteral("ENCODEDBY"), // who or what encoded the source (TENC)
        QStringLiteral("ENCODED-BY"),       QStringLiteral("ENCODER"),         QStringLiteral("ENCODERSETTINGS"),
        QStringLiteral("ENCODER_SETTINGS"), QStringLiteral("ENCODER_OPTIONS"), QStringLiteral("ENCODINGTIME"),
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
    const QString year = tag.Year.trimmed();
    if (!year.isEmpty() && !firstOf(out, QStringLiteral("DATE")).startsWith(year))
        out[QStringLiteral("DATE")] = QStringList{year};
    setIfGiven(out, QStringLiteral("TRACKNUMBER"), tag.Track);
    setIfGiven(out, QStringLiteral("DISCNUMBER"), tag.Disc);
    setIfGiven(out, QStringLiteral("GENRE"), tag.Genre);
    setIfGiven(out, QStringLiteral("ALBUMARTIST"), tag.AlbumArtist);
    return out;
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

} // namespace Sveltra
