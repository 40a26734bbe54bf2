#include "core/cd/cddb.h"

#include <QHash>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace Sveltra {

namespace {

constexpr int kFramesPerSecond = 75;
constexpr int kMaxTracks = 99;
// Raw characters kept of one key before its escapes are undone: enough for a text of the
// longest length whatever escapes and blanks it holds.
constexpr qsizetype kMaxRawValue = 4 * CddbMaxTextLength;

QString TooLargeMessage(const QByteArray &reply)
{
    return QStringLiteral("CDDB: reply of %1 bytes, more than %2").arg(reply.size()).arg(CddbMaxReplyBytes);
}

int DigitSum(int n)
{
    int sum = 0;
    for (; n > 0; n /= 10)
        sum += n % 10;
    return sum;
}

// The reply's lines without their line ends.
QStringList ReplyLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

// The status of a reply's first line: three digits followed by a blank or nothing; -1 when the
// line is no status line.
int ReplyStatus(const QString &line)
{
    if (line.size() < 3 || (line.size() > 3 && line.at(3) != QLatin1Char(' ')))
        return -1;
    for (int i = 0; i < 3; ++i) {
        if (!line.at(i).isDigit() || line.at(i).unicode() > 0x7f)
            return -1;
    }
    return line.left(3).toInt();
}

QString FirstLine(const QString &text)
{
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    QString line = end < 0 ? text : text.left(end);
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

// "category discid title ..." of a query match; false unless both leading words are there.
bool ParseMatchLine(const QString &line, CddbMatch *match)
{
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 2)
        return false;
    match->found = true;
    match->category = CutText(words.at(0));
    match->discId = CutText(words.at(1));
    match->title = CutText(words.mid(2).join(QLatin1Char(' ')));
    return true;
}

QString Unescape(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(i + 1);
        if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (next == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else {
            out += c; // not an escape of the format: keep both characters
            out += next;
        }
        ++i;
    }
    return out;
}

// A word for the request address: percent-encoded, so that "+" and "&" in a setting cannot
// break the query.
QByteArray QueryWord(const QString &word)
{
    return QUrl::toPercentEncoding(word);
}

QByteArray QueryWords(const QStringList &words)
{
    QByteArrayList encoded;
    for (const QString &word : words)
        encoded.append(QueryWord(word));
    return encoded.join('+');
}

} // namespace

bool CddbToc::isValid() const
{
    if (offsets.isEmpty() || offsets.size() > kMaxTracks || offsets.first() < 0)
        return false;
    for (qsizetype i = 1; i < offsets.size(); ++i) {
        if (offsets.at(i) <= offsets.at(i - 1))
            return false;
    }
    return leadout > offsets.last();
}

quint32 CddbDiscId(const CddbToc &toc)
{
    if (!toc.isValid())
        return 0;
    int sum = 0;
    for (const int offset : toc.offsets)
        sum += DigitSum(offset / kFramesPerSecond);
    const quint32 seconds = quint32(toc.leadout / kFramesPerSecond - toc.offsets.first() / kFramesPerSecond);
    return (quint32(sum % 255) << 24) | ((seconds & 0xffffu) << 8) | quint32(toc.offsets.size());
}

QString CddbDiscIdText(quint32 discId)
{
    return QStringLiteral("%1").arg(discId, 8, 16, QLatin1Char('0'));
}

QString CddbQueryCommand(const CddbToc &toc)
{
    QStringList words{QStringLiteral("cddb"), QStringLiteral("query"), CddbDiscIdText(CddbDiscId(toc)),
                      QString::number(toc.offsets.size())};
    for (const int offset : toc.offsets)
        words.append(QString::number(offset));
    words.append(QString::number(toc.leadout / kFramesPerSecond));
    return words.join(QLatin1Char(' '));
}

QString CddbReadCommand(const QString &category, const QString &discId)
{
    return QStringLiteral("cddb read ") + category + QLatin1Char(' ') + discId;
}

QUrl CddbRequestUrl(const QUrl &base, const QString &command, const QString &client, const QString &email)
{
    // The greeting wants four words: user, host, client name, client version.
    const qsizetype at = email.indexOf(QLatin1Char('@'));
    const QString user = at > 0 ? email.left(at) : (email.isEmpty() ? QStringLiteral("anonymous") : email);
    const QString host = at > 0 && at + 1 < email.size() ? email.mid(at + 1) : QStringLiteral("localhost");
    const QString trimmedClient = client.trimmed();
    const qsizetype blank = trimmedClient.lastIndexOf(QLatin1Char(' '));
    const QString clientName = blank > 0 ? trimmedClient.left(blank).trimmed() : trimmedClient;
    const QString clientVersion = blank > 0 ? trimmedClient.mid(blank + 1) : QStringLiteral("1.0");

    const QByteArray query = "cmd=" + QueryWords(command.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        + "&hello=" + QueryWords({user, host, clientName, clientVersion}) + "&proto=6";
    QUrl url = base;
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

QString CddbDecodeReply(const QByteArray &reply)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(reply);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GBK");
    if (gbk.isValid())
        return gbk(reply);
    return text; // no GBK codec here: the UTF-8 reading with replacement characters
}

CddbMatch CddbParseQueryReply(const QByteArray &reply)
{
    CddbMatch match;
    if (reply.size() > CddbMaxReplyBytes) {
        match.message = TooLargeMessage(reply);
        return match;
    }
    const QStringList lines = ReplyLines(CddbDecodeReply(reply));
    const int status = lines.isEmpty() ? -1 : ReplyStatus(lines.first());
    switch (status) {
    case 200:
        if (!ParseMatchLine(lines.first().mid(4), &match))
            match.message = QStringLiteral("CDDB: malformed match: ") + CutText(lines.first());
        return match;
    case 210:
    case 211:
        for (qsizetype i = 1; i < lines.size() && lines.at(i) != QLatin1String("."); ++i) {
            if (ParseMatchLine(lines.at(i), &match))
                return match;
        }
        match.message = QStringLiteral("CDDB: empty list of matches");
        return match;
    case 202:
        match.message = QStringLiteral("CDDB: no match for this disc");
        return match;
    case -1:
        match.message = QStringLiteral("CDDB: not a CDDB reply");
        return match;
    default:
        match.message = QStringLiteral("CDDB: ") + CutText(lines.first());
        return match;
    }
}

CddbEntry CddbParseXmcd(const QString &text, const QString &category)
{
    QHash<QString, QString> values; // raw values; keys on several lines are joined
    int lastTrack = -1;
    for (const QString &line : ReplyLines(text)) {
        if (line == QLatin1String("."))
            break;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed().toUpper();
        if (key.startsWith(QLatin1String("TTITLE"))) {
            bool ok = false;
            const int index = key.mid(6).toInt(&ok);
            if (!ok || index < 0 || index >= kMaxTracks || key.mid(6) != QString::number(index))
                continue;
            lastTrack = qMax(lastTrack, index);
        }
        QString &value = values[key];
        if (value.size() < kMaxRawValue)
            value += QStringView(line).mid(equals + 1).left(kMaxRawValue - value.size());
    }
    const auto valueOf = [&values](const QString &key) { return CutText(Unescape(values.value(key)).trimmed()); };

    CddbEntry entry;
    const QString title = valueOf(QStringLiteral("DTITLE"));
    const qsizetype separator = title.indexOf(QLatin1String(" / "));
    if (separator >= 0) {
        entry.artist = title.left(separator).trimmed();
        entry.album = title.mid(separator + 3).trimmed();
    } else {
        entry.artist = title;
        entry.album = title;
    }
    entry.genre = valueOf(QStringLiteral("DGENRE"));
    if (entry.genre.isEmpty())
        entry.genre = CutText(category);
    const QString year = valueOf(QStringLiteral("DYEAR"));
    if (year.size() == 4
        && std::all_of(year.begin(), year.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        entry.year = year;
    for (int i = 0; i <= lastTrack; ++i)
        entry.trackTitles.append(valueOf(QStringLiteral("TTITLE") + QString::number(i)));
    return entry;
}

bool CddbParseReadReply(const QByteArray &reply, const QString &category, CddbEntry *entry, QString *message)
{
    if (reply.size() > CddbMaxReplyBytes) {
        if (message)
            *message = TooLargeMessage(reply);
        return false;
    }
    const QString text = CddbDecodeReply(reply);
    const QString first = FirstLine(text);
    const int status = ReplyStatus(first);
    if (status != 210) {
        if (message)
            *message = status < 0 ? QStringLiteral("CDDB: not a CDDB reply") : QStringLiteral("CDDB: ") + CutText(first);
        return false;
    }
    // "210 <category> <discid> CD database entry follows"; the category named there wins.
    const QStringList words = first.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString entryCategory = words.size() > 1 ? words.at(1) : category;
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    *entry = CddbParseXmcd(end < 0 ? QString() : text.mid(end + 1), entryCategory);
    return true;
}

} // namespace Sveltra
