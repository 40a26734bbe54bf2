#include "core/cd/cdtext.h"

#include <QStringDecoder>

#include "core/base/textcut.h"

namespace Sveltra {

namespace {

// Decodes bytes with the codec, or gives a null string when they are not all whole characters of
// it, or hold a byte from 0x80 up that is not one of two such bytes of a double-byte character.
QString DecodeDoubleByte(const QByteArray &bytes, const char *codec)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (quint8(bytes.at(i)) < 0x80)
            continue;
        if (i + 1 >= bytes.size() || quint8(bytes.at(i + 1)) < 0x80)
            return {};
        ++i;
    }
    QStringDecoder decoder(codec, QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return {};
    QString text = decoder(bytes);
    if (decoder.hasError() || text.contains(QChar::ReplacementCharacter))
        return {};
    return text;
}

QString DecodedText(const QStringList &texts, int index)
{
    return CutText(CdTextDecode(index >= 0 && index < texts.size() ? texts.at(index) : QString()).trimmed());
}

} // namespace

QString NamesSourceName(NamesSource source)
{
    switch (source) {
    case NamesSource::Cddb:
        return QStringLiteral("CDDB");
    case NamesSource::MusicBrainz:
        return QStringLiteral("MusicBrainz");
    case NamesSource::CdText:
        return QStringLiteral("CD-Text");
    case NamesSource::None:
        break;
    }
    return {};
}

QString CdTextDecode(const QString &text)
{
    bool high = false;
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return text;
        high = high || c.unicode() >= 0x80;
    }
    if (!high)
        return text;
    const QByteArray bytes = text.toLatin1();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8(bytes);
    if (!utf8.hasError())
        return asUtf8;
    for (const char *codec : {"GBK", "Big5"}) {
        const QString decoded = DecodeDoubleByte(bytes, codec);
        if (!decoded.isNull())
            return decoded;
    }
    return text;
}

DiscNames CdTextNames(const CdTextBlock &block, const DiscToc &toc)
{
    DiscNames names;
    if (block.isEmpty() || toc.trackCount() == 0)
        return names;
    names.source = NamesSource::CdText;
    names.album = DecodedText(block.titles, 0);
    names.artist = DecodedText(block.performers, 0);
    if (names.artist.isEmpty())
        names.artist = DecodedText(block.performers, toc.firstTrack);
    names.genre = CutText(CdTextDecode(block.genre).trimmed());
    for (int track = toc.firstTrack; track < toc.firstTrack + toc.trackCount(); ++track)
        names.trackTitles.append(DecodedText(block.titles, track));
    return names;
}

} // namespace Sveltra
