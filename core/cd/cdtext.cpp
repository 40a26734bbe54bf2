#include "core/cd/cdtext.h"

#include <QStringDecoder>

#include "core/base/textcut.h"

namespace Sveltra {

namespace {

// Decodes bytes with the codec, or gives a null string when they are not all whole characters of
// it or do not look like double-byte text. GBK is taken only when every byte from 0x80 up is one of
// a pair of such bytes, as in the common Chinese characters. Big5 puts half its characters' second
// bytes among the ASCII letters, as an accented Latin letter followed by a plain one would be, so
// it is taken only when every byte from 0x80 up starts or ends a Big5 pair, there are at least two
// pairs, and at least one pair is of two bytes from 0x80 up.
QString DecodeDoubleByte(const QByteArray &bytes, const char *codec, bool asciiTrails)
{
    int pairs = 0;
    int highPairs = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const quint8 lead = quint8(bytes.at(i));
        if (lead < 0x80)
            continue;
        if (i + 1 >= bytes.size())
            return {};
        const quint8 trail = quint8(bytes.at(i + 1));
        const bool high = trail >= 0xa1 && trail <= 0xfe;
        const bool ascii = trail >= 0x40 && trail <= 0x7e;
        if (asciiTrails ? !(high || ascii) : trail < 0x80)
            return {};
        ++pairs;
        highPairs += trail >= 0x80 ? 1 : 0;
        ++i;
    }
    if (asciiTrails && (pairs < 2 || highPairs == 0))
        return {};
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
    QString decoded = DecodeDoubleByte(bytes, "GBK", false);
    if (decoded.isNull())
        decoded = DecodeDoubleByte(bytes, "Big5", true);
    return decoded.isNull() ? text : decoded;
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
