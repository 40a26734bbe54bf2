#include "core/cd/musicbrainz.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>

#include "core/base/buildinfo.h"
#include "core/base/picturekind.h"
#include "core/base/textcut.h"
#include "core/base/website.h"
#include "core/cd/cddb.h"

namespace Sveltra {

namespace {

QUrl BaseFrom(const char *variable, const char *built)
{
    const QString fromEnvironment = qEnvironmentVariable(variable).trimmed();
    QString text = fromEnvironment.isEmpty() ? QString::fromUtf8(built) : fromEnvironment;
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return QUrl(text, QUrl::StrictMode);
}

QUrl WithPath(const QUrl &base, const QString &path)
{
    QUrl url = base;
    QString basePath = url.path();
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + path);
    return url;
}

QString Text(const QJsonObject &object, const char *key)
{
    return CutText(object.value(QLatin1String(key)).toString().trimmed(), CddbMaxTextLength);
}

// How well a release suits a Chinese listener: 0 issued in CN, 1 TW, 2 HK, 3 written in Chinese,
// 4 anything else.
int ReleaseRank(const QJsonObject &release)
{
    QStringList countries{release.value(QLatin1String("country")).toString()};
    for (const QJsonValue event : release.value(QLatin1String("release-events")).toArray()) {
        for (const QJsonValue code :
             event.toObject().value(QLatin1String("area")).toObject().value(QLatin1String("iso-3166-1-codes")).toArray())
            countries.append(code.toString());
    }
    static const QStringList preferred{QStringLiteral("CN"), QStringLiteral("TW"), QStringLiteral("HK")};
    for (int rank = 0; rank < preferred.size(); ++rank) {
        if (countries.contains(preferred.at(rank), Qt::CaseInsensitive))
            return rank;
    }
    const QString language
        = release.value(QLatin1String("text-representation")).toObject().value(QLatin1String("language")).toString();
    return language.compare(QLatin1String("zho"), Qt::CaseInsensitive) == 0 ? 3 : 4;
}

QString JoinedCredits(const QJsonArray &credits)
{
    QString joined;
    for (const QJsonValue credit : credits) {
        const QJsonObject object = credit.toObject();
        QString name = object.value(QLatin1String("name")).toString();
        if (name.isEmpty())
            name = object.value(QLatin1String("artist")).toObject().value(QLatin1String("name")).toString();
        joined += name + object.value(QLatin1String("joinphrase")).toString();
    }
    return CutText(joined.trimmed(), CddbMaxTextLength);
}

// The genre most voted for, if the reply carries genres at all.
QString TopGenre(const QJsonArray &genres)
{
    QString best;
    int votes = -1;
    for (const QJsonValue genre : genres) {
        const QJsonObject object = genre.toObject();
        const int count = object.value(QLatin1String("count")).toInt();
        if (count > votes && !object.value(QLatin1String("name")).toString().trimmed().isEmpty()) {
            votes = count;
            best = object.value(QLatin1String("name")).toString().trimmed();
        }
    }
    return CutText(best, CddbMaxTextLength);
}

bool HoldsDisc(const QJsonObject &medium, const QString &discId)
{
    for (const QJsonValue disc : medium.value(QLatin1String("discs")).toArray()) {
        if (!discId.isEmpty() && disc.toObject().value(QLatin1String("id")).toString() == discId)
            return true;
    }
    return false;
}

DiscNames Refused(QString *message, const QString &why)
{
    if (message)
        *message = QStringLiteral("MusicBrainz: ") + why;
    return {};
}

} // namespace

MusicBrainzToc MusicBrainzTocOf(const DiscToc &toc)
{
    MusicBrainzToc out;
    int lastAudio = -1;
    for (int i = toc.trackCount() - 1; i >= 0; --i) {
        if (toc.audio.value(i)) {
            lastAudio = i;
            break;
        }
    }
    if (lastAudio < 0)
        return out;
    out.first = toc.firstTrack;
    out.last = toc.firstTrack + lastAudio;
    const int leadout = lastAudio + 1 < toc.trackCount() ? toc.starts.at(lastAudio + 1) - MusicBrainzDataSessionGap : toc.leadout;
    out.offsets.append(leadout + CdLeadInFrames);
    for (int i = 0; i <= lastAudio; ++i)
        out.offsets.append(toc.starts.at(i) + CdLeadInFrames);
    return out;
}

QUrl MusicBrainzBaseUrl()
{
    return BaseFrom("SVELTRA_MUSICBRAINZ_URL", Build::MusicBrainzUrl);
}

QUrl CoverArtBaseUrl()
{
    return BaseFrom("SVELTRA_COVERART_URL", Build::CoverArtUrl);
}

QByteArray MusicBrainzUserAgent()
{
    return QStringLiteral("Sveltra/%1.%2.%3 ( %4 )")
        .arg(Build::VersionMajor)
        .arg(Build::VersionMinor)
        .arg(Build::VersionPatch)
        .arg(WebSiteHost())
        .toUtf8();
}

QUrl MusicBrainzDiscUrl(const QUrl &base, const QString &discId)
{
    QUrl url = WithPath(base, QStringLiteral("/ws/2/discid/") + discId);
    url.setQuery(QStringLiteral("inc=artists+recordings&fmt=json"), QUrl::StrictMode);
    return url;
}

QUrl CoverArtFrontUrl(const QUrl &base, const QString &releaseId)
{
    return WithPath(base, QStringLiteral("/release/") + releaseId + QStringLiteral("/front-500"));
}

DiscNames MusicBrainzParseDiscReply(const QByteArray &reply, const QString &discId, QString *message)
{
    if (reply.size() > CddbMaxReplyBytes)
        return Refused(message, QStringLiteral("reply of %1 bytes, more than %2").arg(reply.size()).arg(CddbMaxReplyBytes));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(reply, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return Refused(message, QStringLiteral("the reply is no JSON object"));
    const QJsonObject root = document.object();
    const QJsonArray releases = root.value(QLatin1String("releases")).toArray();
    if (releases.isEmpty()) {
        const QString said = Text(root, "error");
        return Refused(message, said.isEmpty() ? QStringLiteral("no release for this disc") : said);
    }

    QJsonObject release;
    int bestRank = 5;
    for (const QJsonValue candidate : releases) {
        if (!candidate.isObject())
            continue;
        const int rank = ReleaseRank(candidate.toObject());
        if (rank < bestRank) {
            bestRank = rank;
            release = candidate.toObject();
        }
    }
    if (release.isEmpty())
        return Refused(message, QStringLiteral("no release for this disc"));

    const QJsonArray media = release.value(QLatin1String("media")).toArray();
    QJsonObject medium = media.isEmpty() ? QJsonObject() : media.first().toObject();
    for (const QJsonValue candidate : media) {
        if (HoldsDisc(candidate.toObject(), discId)) {
            medium = candidate.toObject();
            break;
        }
    }

    DiscNames names;
    names.source = NamesSource::MusicBrainz;
    names.album = Text(release, "title");
    names.artist = JoinedCredits(release.value(QLatin1String("artist-credit")).toArray());
    names.genre = TopGenre(release.value(QLatin1String("genres")).toArray());
    const QString date = release.value(QLatin1String("date")).toString().trimmed();
    if (date.size() >= 4
        && std::all_of(date.begin(), date.begin() + 4, [](QChar c) { return c.isDigit() && c.unicode() < 0x80; }))
        names.year = date.left(4);
    names.releaseId = Text(release, "id");
    const QJsonValue coverArt = release.value(QLatin1String("cover-art-archive"));
    names.releaseHasFront = !coverArt.isObject() || coverArt.toObject().value(QLatin1String("front")).toBool(true);
    for (const QJsonValue track : medium.value(QLatin1String("tracks")).toArray()) {
        const QJsonObject object = track.toObject();
        QString title = Text(object, "title");
        if (title.isEmpty())
            title = Text(object.value(QLatin1String("recording")).toObject(), "title");
        names.trackTitles.append(title);
    }
    names.trackCount = medium.value(QLatin1String("track-count")).toInt(int(names.trackTitles.size()));
    if (names.trackCount < 0 || names.trackCount > 99)
        names.trackCount = 0;
    if (media.size() > 1) {
        names.discCount = int(qMin<qsizetype>(media.size(), 999));
        names.discNumber = qBound(0, medium.value(QLatin1String("position")).toInt(), 999);
    }
    if (message)
        message->clear();
    return names;
}

bool LooksLikeCoverImage(const QByteArray &bytes)
{
    const PictureKind kind = PictureKindOf(bytes);
    return kind != PictureKind::None && kind != PictureKind::Bmp;
}

} // namespace Sveltra
