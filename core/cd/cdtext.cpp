#include "core/cd/cdtext.h"

#include <QStringDecoder>

#include <algorithm>
#include <map>
#include <vector>

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

constexpr int PackBytes = 18;
constexpr int PackText = 12; // the text bytes of a pack, after its four-byte header
constexpr int SizeInfoPack = 0x8f;

// Decodes a text of a block by its character code.
QString DecodeByCode(const QByteArray &bytes, int charCode)
{
    const char *codec = nullptr;
    switch (charCode) {
    case 0x80:
        codec = "Shift_JIS";
        break;
    case 0x81:
        codec = "EUC-KR";
        break;
    case 0x82:
        codec = "GBK";
        break;
    default: // 8859-1, and ASCII, which is the same for the bytes it holds
        return QString::fromLatin1(bytes);
    }
    QStringDecoder decoder(codec, QStringDecoder::Flag::Stateless);
    return decoder.isValid() ? QString(decoder(bytes)) : QString::fromLatin1(bytes);
}

// One language block as its packs hold it: the text bytes of each kind of pack, in sequence,
// from the track the first of them starts.
struct RawBlock
{
    std::map<int, std::map<int, QByteArray>> text; // kind (0x80 ...) -> sequence number -> 12 bytes
    std::map<int, int> firstTrack;                 // kind -> the track its first pack starts
    QByteArray sizeInfo;                           // the 36 bytes of the three size-information packs
    bool doubleByte = false;
    int number = 0; // 0 to 7

    // The block's language code (0x75 Chinese, 0x09 English ...), 0 when its size information is missing.
    int language() const { return sizeInfo.size() == 36 ? int(quint8(sizeInfo.at(28 + number))) : 0; }
};

// Splits the text of one kind of pack into the texts of successive tracks: each ends in a zero
// byte, in a double-byte block in two (no byte of a Shift-JIS, KS C 5601 or GB 2312 character is
// zero, so two zeros end a text wherever they stand).
QList<QByteArray> SplitTexts(const QByteArray &stream, bool doubleByte)
{
    QList<QByteArray> texts;
    QByteArray current;
    for (qsizetype i = 0; i < stream.size(); ++i) {
        if (stream.at(i) != '\0') {
            current += stream.at(i);
            continue;
        }
        if (doubleByte) {
            if (i + 1 >= stream.size() || stream.at(i + 1) != '\0')
                continue; // a lone zero ends nothing
            ++i;
        }
        texts << current;
        current.clear();
    }
    return texts; // an unfinished last text is left out
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

CdTextBlock CdTextFromPacks(const QByteArray &packs, int lastTrack)
{
    lastTrack = std::clamp(lastTrack, 0, 99);
    std::map<int, RawBlock> blocks;
    for (qsizetype at = 0; at + PackBytes <= packs.size(); at += PackBytes) {
        const auto byte = [&](int i) { return int(quint8(packs.at(at + i))); };
        const int kind = byte(0);
        if (kind < 0x80 || kind > SizeInfoPack)
            continue;
        const int number = (byte(3) >> 4) & 0x07;
        RawBlock &block = blocks[number];
        block.number = number;
        const QByteArray text = packs.mid(at + 4, PackText);
        if (kind == SizeInfoPack) {
            // Three packs of twelve bytes, by their track field (0, 1, 2).
            if (byte(1) <= 2) {
                block.sizeInfo.resize(36, '\0');
                block.sizeInfo.replace(byte(1) * PackText, PackText, text);
            }
            continue;
        }
        block.doubleByte = block.doubleByte || (byte(3) & 0x80) != 0;
        auto &sequence = block.text[kind];
        if (sequence.empty() || byte(2) < sequence.begin()->first)
            block.firstTrack[kind] = byte(1) & 0x7f;
        sequence[byte(2)] = text;
    }

    const auto readBlock = [lastTrack](const RawBlock &raw) {
        CdTextBlock read;
        const int charCode = raw.sizeInfo.isEmpty() ? 0 : int(quint8(raw.sizeInfo.at(0)));
        const bool doubleByte = raw.doubleByte || (charCode >= 0x80 && charCode <= 0x82);
        read.language = raw.language();
        const auto stream = [&raw](int kind) {
            QByteArray bytes;
            if (const auto found = raw.text.find(kind); found != raw.text.end()) {
                for (const auto &[sequence, text] : found->second)
                    bytes += text;
            }
            return bytes;
        };
        const auto texts = [&](int kind) {
            QStringList byTrack(lastTrack + 1);
            if (!raw.text.count(kind))
                return byTrack;
            int track = raw.firstTrack.at(kind);
            QString previous;
            for (const QByteArray &bytes : SplitTexts(stream(kind), doubleByte)) {
                if (track > lastTrack)
                    break;
                const bool repeat = bytes == "\t" || bytes == "\t\t";
                const QString text = repeat ? previous : DecodeByCode(bytes, charCode).trimmed();
                byTrack[track++] = text;
                previous = text;
            }
            return byTrack;
        };
        read.titles = texts(0x80);
        read.performers = texts(0x81);
        // The genre pack holds the genre's code in two bytes, then its text.
        const QList<QByteArray> genre = SplitTexts(stream(0x87).mid(2), doubleByte);
        read.genre = genre.isEmpty() ? QString() : DecodeByCode(genre.first(), charCode).trimmed();
        return read;
    };

    // The block of a language code: 0x75 is Chinese.
    std::vector<const RawBlock *> order;
    for (const auto &[number, raw] : blocks) {
        if (raw.language() == 0x75)
            order.insert(order.begin(), &raw);
        else
            order.push_back(&raw);
    }
    for (const RawBlock *raw : order) {
        CdTextBlock block = readBlock(*raw);
        if (!block.isEmpty())
            return block;
    }
    return {};
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
