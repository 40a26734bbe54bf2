// The pure side of naming a disc that CDDB does not know: MusicBrainz disc IDs of documented
// tables of contents, the reading of the web service's JSON (several releases, missing fields,
// junk, a reply over the cap).

#include <QTest>

#include "core/cd/cddb.h"
#include "core/cd/musicbrainz.h"

using namespace Sveltra;

namespace {

// A table of contents as the drive reads it, from starts counted with the 150-frame lead-in.
DiscToc TocFrom(const QList<int> &startsWithLeadIn, int leadoutWithLeadIn, const QList<bool> &audio = {})
{
    DiscToc toc;
    for (const int start : startsWithLeadIn) {
        toc.starts.append(start - 150);
        toc.audio.append(audio.isEmpty() ? true : audio.at(toc.starts.size() - 1));
    }
    toc.leadout = leadoutWithLeadIn - 150;
    return toc;
}

CddbToc CddbTocFrom(const MusicBrainzToc &toc)
{
    CddbToc cddb;
    cddb.offsets = toc.offsets.mid(1);
    cddb.leadout = toc.offsets.first();
    return cddb;
}

// One release of a disc ID reply, as the web service writes it.
QByteArray Release(const QByteArray &id, const QByteArray &country, const QByteArray &language, const QByteArray &media,
                   const QByteArray &extra = {})
{
    return "{\"id\":\"" + id
        + "\",\"title\":\"十一月的萧邦\",\"status\":\"Official\",\"status-id\":\"4e304316-386d-3409-af2e-78857eec5cfe\","
          "\"quality\":\"normal\",\"packaging\":\"Jewel Case\",\"barcode\":\"\",\"disambiguation\":\"\",\"date\":\"2005-11-01\","
          "\"country\":\""
        + country
        + "\",\"release-events\":[{\"date\":\"2005-11-01\",\"area\":{\"id\":\"x\",\"name\":\"n\",\"sort-name\":\"n\","
          "\"iso-3166-1-codes\":[\""
        + country + "\"]}}],\"text-representation\":{\"language\":\"" + language
        + "\",\"script\":\"Hant\"},"
          "\"artist-credit\":[{\"name\":\"周杰伦\",\"joinphrase\":\" & "
          "\",\"artist\":{\"id\":\"a1\",\"name\":\"周杰倫\",\"sort-name\":\"Jay Chou\"}},"
          "{\"name\":\"\",\"joinphrase\":\" feat. \",\"artist\":{\"id\":\"a2\",\"name\":\"费玉清\",\"sort-name\":\"Fei\"}},"
          "{\"name\":\"Guest\",\"joinphrase\":\"\",\"artist\":{\"id\":\"a3\",\"name\":\"Guest\",\"sort-name\":\"Guest\"}}],"
          "\"cover-art-archive\":{\"artwork\":true,\"count\":1,\"front\":true,\"back\":false,\"darkened\":false},"
        + extra + "\"media\":[" + media + "]}";
}

QByteArray Medium(int position, const QByteArray &discId, const QList<QByteArray> &titles)
{
    QByteArray tracks;
    for (int i = 0; i < titles.size(); ++i) {
        if (i > 0)
            tracks += ',';
        tracks += "{\"id\":\"t" + QByteArray::number(i) + "\",\"position\":" + QByteArray::number(i + 1) + ",\"number\":\""
            + QByteArray::number(i + 1) + "\",\"length\":215000,\"title\":\"" + titles.at(i)
            + "\",\"recording\":{\"id\":\"r\",\"title\":\"recording " + QByteArray::number(i + 1)
            + "\",\"length\":215000,\"video\":false}}";
    }
    return "{\"position\":" + QByteArray::number(position)
        + ",\"title\":\"\",\"format\":\"CD\",\"format-id\":\"9712d52a\","
          "\"track-offset\":0,\"track-count\":"
        + QByteArray::number(titles.size()) + ",\"discs\":[{\"id\":\"" + discId
        + "\",\"sectors\":270335,\"offset-count\":3,\"offsets\":[150,12767,40487]}],\"tracks\":[" + tracks + "]}";
}

QByteArray Reply(const QList<QByteArray> &releases)
{
    return "{\"id\":\"9AQWqQ0eCCwktwPPrIUIYkUw2Uo-\",\"sectors\":270335,\"offset-count\":3,\"offsets\":[150,12767,40487],"
           "\"releases\":["
        + releases.join(',') + "]}";
}

const QByteArray kDisc = "9AQWqQ0eCCwktwPPrIUIYkUw2Uo-";

} // namespace

class TestMusicBrainz : public QObject
{
    Q_OBJECT

private slots:
    // Documented examples: a disc ID, and the CDDB id of the same table as a cross-check of how
    // the lead-in is counted.
    void discIdsOfKnownTables()
    {
        // Fifteen audio tracks.
        const QList<int> starts{150,    17510,  33275,  45910,  57805,  78310,  94650, 109580,
                                132010, 149160, 165115, 177710, 203325, 215555, 235590};
        MusicBrainzToc toc = MusicBrainzTocOf(TocFrom(starts, 258725));
        QCOMPARE(toc.first, 1);
        QCOMPARE(toc.last, 15);
        QCOMPARE(MusicBrainzDiscId(toc), QStringLiteral("TqvKjMu7dMliSfmVEBtrL7sBSno-"));
        QCOMPARE(CddbDiscIdText(CddbDiscId(CddbTocFrom(toc))), QStringLiteral("b60d770f"));

        // An enhanced CD: ten audio tracks and a data track in a second session. The disc ID
        // ends the audio 11400 frames before the data track.
        const QList<int> audio{150, 12767, 40487, 63225, 93410, 118115, 151865, 184340, 215260, 247455};
        QList<int> withData = audio;
        withData.append(270335 + MusicBrainzDataSessionGap);
        QList<bool> kinds(10, true);
        kinds.append(false);
        toc = MusicBrainzTocOf(TocFrom(withData, 300000, kinds));
        QCOMPARE(toc.last, 10);
        QCOMPARE(toc.offsets.first(), 270335);
        QCOMPARE(MusicBrainzDiscId(toc), QString::fromLatin1(kDisc));
        QCOMPARE(CddbDiscIdText(CddbDiscId(CddbTocFrom(toc))), QStringLiteral("890e120a"));
        // The same audio as read from an image of the audio alone.
        QCOMPARE(MusicBrainzDiscId(MusicBrainzTocOf(TocFrom(audio, 270335))), QString::fromLatin1(kDisc));

        // Tables libdiscid cannot take give no ID.
        QCOMPARE(MusicBrainzDiscId(MusicBrainzTocOf(DiscToc())), QString());
        QCOMPARE(MusicBrainzDiscId(MusicBrainzTocOf(TocFrom({150, 20000}, 40000, {false, false}))), QString());
        QCOMPARE(MusicBrainzDiscId(MusicBrainzTocOf(TocFrom({150, 20000}, 10000))), QString()); // lead-out before a track
    }

    void addresses()
    {
        const QUrl mirror(QStringLiteral("http://127.0.0.1:8080/mb/"));
        QCOMPARE(
            MusicBrainzDiscUrl(mirror, QString::fromLatin1(kDisc)).toString(),
            QStringLiteral("http://127.0.0.1:8080/mb/ws/2/discid/9AQWqQ0eCCwktwPPrIUIYkUw2Uo-?inc=artists+recordings&fmt=json"));
        QCOMPARE(CoverArtFrontUrl(QUrl(QStringLiteral("https://coverartarchive.org")), QStringLiteral("abc")).toString(),
                 QStringLiteral("https://coverartarchive.org/release/abc/front-500"));
        const QByteArray agent = MusicBrainzUserAgent();
        QVERIFY2(agent.startsWith("Sveltra/4.") && agent.contains("( http"), agent.constData());

        qputenv("SVELTRA_MUSICBRAINZ_URL", "http://127.0.0.1:5000/");
        qputenv("SVELTRA_COVERART_URL", "http://127.0.0.1:5001");
        QCOMPARE(MusicBrainzBaseUrl(), QUrl(QStringLiteral("http://127.0.0.1:5000")));
        QCOMPARE(CoverArtBaseUrl(), QUrl(QStringLiteral("http://127.0.0.1:5001")));
        qunsetenv("SVELTRA_MUSICBRAINZ_URL");
        qunsetenv("SVELTRA_COVERART_URL");
        QCOMPARE(MusicBrainzBaseUrl().scheme(), QStringLiteral("https"));
        QCOMPARE(CoverArtBaseUrl().scheme(), QStringLiteral("https"));
    }

    void releaseOfSeveral_data()
    {
        QTest::addColumn<QList<QByteArray>>("countries"); // "XX/lng" per release
        QTest::addColumn<QByteArray>("taken");
        QTest::newRow("CN over TW and HK") << QList<QByteArray>{"HK/eng", "TW/zho", "CN/zho", "JP/jpn"} << QByteArray("r2");
        QTest::newRow("TW over HK") << QList<QByteArray>{"US/eng", "HK/zho", "TW/zho"} << QByteArray("r2");
        QTest::newRow("HK over Chinese text") << QList<QByteArray>{"XW/zho", "HK/eng"} << QByteArray("r1");
        QTest::newRow("Chinese text over the first") << QList<QByteArray>{"US/eng", "JP/jpn", "MY/zho"} << QByteArray("r2");
        QTest::newRow("else the first") << QList<QByteArray>{"US/eng", "GB/eng"} << QByteArray("r0");
    }

    void releaseOfSeveral()
    {
        QFETCH(QList<QByteArray>, countries);
        QFETCH(QByteArray, taken);
        QList<QByteArray> releases;
        for (int i = 0; i < countries.size(); ++i) {
            const QList<QByteArray> parts = countries.at(i).split('/');
            releases.append(Release("r" + QByteArray::number(i), parts.at(0), parts.at(1), Medium(1, kDisc, {"A", "B", "C"})));
        }
        QString message;
        const DiscNames names = MusicBrainzParseDiscReply(Reply(releases), QString::fromLatin1(kDisc), &message);
        QVERIFY2(names.found(), qPrintable(message));
        QCOMPARE(names.releaseId.toLatin1(), taken);
    }

    void namesOfARelease()
    {
        // A two-disc set whose second disc is the one asked about.
        const QByteArray media = Medium(1, "someOtherDisc", {"一", "二"}) + ',' + Medium(2, kDisc, {"夜曲", "蓝色风暴", ""});
        QString message;
        DiscNames names = MusicBrainzParseDiscReply(Reply({Release("r0", "TW", "zho", media)}), QString::fromLatin1(kDisc),
                                                    &message);
        QVERIFY2(names.found(), qPrintable(message));
        QCOMPARE(names.source, NamesSource::MusicBrainz);
        QCOMPARE(names.album, QStringLiteral("十一月的萧邦"));
        // Credited names as written, joined by their phrases; an empty credited name is the artist's.
        QCOMPARE(names.artist, QStringLiteral("周杰伦 & 费玉清 feat. Guest"));
        QCOMPARE(names.year, QStringLiteral("2005"));
        QCOMPARE(names.trackTitles,
                 (QStringList{QStringLiteral("夜曲"), QStringLiteral("蓝色风暴"), QStringLiteral("recording 3")}));
        QCOMPARE(names.trackCount, 3);
        QCOMPARE(names.discNumber, 2);
        QCOMPARE(names.discCount, 2);
        QCOMPARE(names.releaseId, QStringLiteral("r0"));
        QVERIFY(names.releaseHasFront);

        // A single disc with no cover, genres voted for, a bare year, an unknown disc ID (its
        // release's first medium is taken).
        const QByteArray extra = "\"genres\":[{\"name\":\"rock\",\"count\":1},{\"name\":\"mandopop\",\"count\":4}],";
        QByteArray single = Release("r1", "TW", "zho", Medium(1, "elsewhere", {"X"}), extra);
        single.replace("\"front\":true", "\"front\":false").replace("\"date\":\"2005-11-01\"", "\"date\":\"1999\"");
        names = MusicBrainzParseDiscReply(Reply({single}), QStringLiteral("notListed"), &message);
        QVERIFY(names.found());
        QCOMPARE(names.trackTitles, QStringList{QStringLiteral("X")});
        QCOMPARE(names.genre, QStringLiteral("mandopop"));
        QCOMPARE(names.year, QStringLiteral("1999"));
        QCOMPARE(names.discCount, 0);
        QVERIFY(!names.releaseHasFront);
    }

    // Fields the service leaves out give empty names, never a failure or a crash.
    void missingFields()
    {
        const QList<QByteArray> replies{
            "{\"releases\":[{\"id\":\"bare\"}]}",
            "{\"releases\":[{\"id\":\"r\",\"title\":null,\"date\":\"\",\"artist-credit\":{},\"media\":[{\"tracks\":[{}, 7, "
            "null]}]}]}",
            "{\"releases\":[{\"id\":\"r\",\"date\":\"20\",\"media\":[{\"position\":\"x\",\"track-count\":-4,\"tracks\":\"no\"}, "
            "3]}]}",
        };
        for (const QByteArray &reply : replies) {
            QString message;
            const DiscNames names = MusicBrainzParseDiscReply(reply, QString::fromLatin1(kDisc), &message);
            QVERIFY2(names.found(), reply.constData());
            QCOMPARE(names.album, QString());
            QCOMPARE(names.artist, QString());
            QCOMPARE(names.year, QString());
            QVERIFY(names.trackCount >= 0);
            for (const QString &title : names.trackTitles)
                QCOMPARE(title, QString());
        }
        // A title far too long is cut like a CDDB text.
        const QByteArray longTitle(5000, 'a');
        const DiscNames names = MusicBrainzParseDiscReply("{\"releases\":[{\"title\":\"" + longTitle + "\"}]}", {});
        QCOMPARE(names.album.size(), CddbMaxTextLength);
    }

    void junkIsNoRelease()
    {
        const QList<QByteArray> replies{
            "",
            "<html>Service Unavailable</html>",
            "[]",
            "null",
            "{\"releases\":[1,\"two\",null]}",
            "{\"releases\":[]}",
            "{\"error\":\"Not Found\",\"help\":\"For usage, please see: https://musicbrainz.org/development/mmd\"}",
            "{\"releases\":[{\"id\":\"r\",\"title\":\"cut off",
            QByteArray("{\"releases\":[{\"title\":\"\xff\xfe\"}]}"),
        };
        for (const QByteArray &reply : replies) {
            QString message;
            const DiscNames names = MusicBrainzParseDiscReply(reply, QString::fromLatin1(kDisc), &message);
            QVERIFY2(!names.found(), reply.constData());
            QVERIFY(message.startsWith(QLatin1String("MusicBrainz: ")));
        }
        QString message;
        QVERIFY(!MusicBrainzParseDiscReply("{\"error\":\"Not Found\"}", {}, &message).found());
        QCOMPARE(message, QStringLiteral("MusicBrainz: Not Found"));

        // At the cap a reply is read; one byte over it is not.
        QByteArray atCap = Reply({Release("r0", "CN", "zho", Medium(1, kDisc, {"A"}))});
        atCap.append(QByteArray(CddbMaxReplyBytes - atCap.size(), ' '));
        QVERIFY(MusicBrainzParseDiscReply(atCap, QString::fromLatin1(kDisc)).found());
        atCap.append(' ');
        QVERIFY(!MusicBrainzParseDiscReply(atCap, QString::fromLatin1(kDisc), &message).found());
        QVERIFY(message.contains(QLatin1String("more than")));
    }
};

QTEST_GUILESS_MAIN(TestMusicBrainz)
#include "test_musicbrainz.moc"
