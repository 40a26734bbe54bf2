// CDDB and MusicBrainz lookups over HTTP against peers on 127.0.0.1: what is sent, each kind of
// answer, a peer that never answers, the one-second pacing of MusicBrainz requests, and the cover
// fetch that fails in every way without anyone waiting for it.

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include "core/cd/cddbhttp.h"
#include "core/cd/musicbrainzhttp.h"
#include "core/net/httpget.h"
#include "tests/support/httppeer.h"

using namespace Sveltra;
using TestSupport::HttpPeer;
using TestSupport::HttpReply;
using TestSupport::HttpRequest;

namespace {

const CddbToc kToc{{150, 12767, 40487}, 60000};

QByteArray Entry(const QByteArray &category)
{
    return "210 " + category
        + " 2b031b03 CD database entry follows\r\nDTITLE=Artist / Album\r\nDGENRE=Jazz\r\n"
          "TTITLE0=One\r\nTTITLE1=Two\r\nTTITLE2=Three\r\n.\r\n";
}

const QString kDiscId = QStringLiteral("9AQWqQ0eCCwktwPPrIUIYkUw2Uo-");

// A disc ID reply as the web service sends it, trimmed to what a lookup reads and a little more.
const QByteArray kDiscReply
    = "{\"id\":\"9AQWqQ0eCCwktwPPrIUIYkUw2Uo-\",\"sectors\":270335,\"offset-count\":2,\"offsets\":[150,12767],"
      "\"releases\":[{\"id\":\"5e1c0f1a-6a5b-4c3b-9a55-0d9f0e7b1c11\",\"title\":\"范特西\",\"status\":\"Official\","
      "\"date\":\"2001-09-14\",\"country\":\"TW\",\"text-representation\":{\"language\":\"zho\",\"script\":\"Hant\"},"
      "\"artist-credit\":[{\"name\":\"周杰伦\",\"joinphrase\":\"\",\"artist\":{\"id\":\"a\",\"name\":\"周杰倫\"}}],"
      "\"cover-art-archive\":{\"artwork\":true,\"count\":1,\"front\":true,\"back\":false},"
      "\"media\":[{\"position\":1,\"format\":\"CD\",\"track-count\":2,\"discs\":[{\"id\":\"9AQWqQ0eCCwktwPPrIUIYkUw2Uo-\"}],"
      "\"tracks\":[{\"position\":1,\"number\":\"1\",\"title\":\"爱在西元前\",\"length\":230000},"
      "{\"position\":2,\"number\":\"2\",\"title\":\"爸我回来了\",\"length\":233000}]}]}]}";

// The smallest JPEG header a cover check accepts, and some bytes after it.
const QByteArray kJpeg = QByteArray("\xff\xd8\xff\xe0\x00\x10JFIF\x00", 11) + QByteArray(2000, 'j');

} // namespace

class TestCddbHttp : public QObject
{
    Q_OBJECT

private:
    QNetworkAccessManager m_network;
    const QString m_client = QStringLiteral("Sveltra V4.0");
    const QString m_email = QStringLiteral("support@sveltra.example");

    CddbLookupResult lookup(HttpPeer &peer, int timeoutMs = 5000)
    {
        return CddbLookup(m_network, CddbUrl(peer), m_client, m_email, kToc, timeoutMs);
    }

private slots:
    void queryThenRead()
    {
        HttpPeer peer;
        peer.handler = [](const HttpRequest &request) {
            if (CddbCmd(request).startsWith(QLatin1String("cddb query")))
                return HttpReply{200, "200 jazz 2b031b03 Artist / Album\r\n"};
            if (CddbCmd(request) == QLatin1String("cddb read jazz 2b031b03"))
                return HttpReply{200, Entry("jazz")};
            return HttpReply{200, "500 Command syntax error\r\n"};
        };
        const CddbLookupResult result = lookup(peer);
        QVERIFY2(result.found, qPrintable(result.message));
        QCOMPARE(result.discId, CddbDiscIdText(CddbDiscId(kToc)));
        QCOMPARE(result.entry.artist, QStringLiteral("Artist"));
        QCOMPARE(result.entry.album, QStringLiteral("Album"));
        QCOMPARE(result.entry.genre, QStringLiteral("Jazz"));
        QCOMPARE(result.entry.trackTitles, (QStringList{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));

        QCOMPARE(peer.requests.size(), 2);
        for (const HttpRequest &request : std::as_const(peer.requests)) {
            QCOMPARE(request.path, QStringLiteral("/~cddb/cddb.cgi"));
            QCOMPARE(CddbHello(request), QStringLiteral("support sveltra.example Sveltra V4.0"));
            QCOMPARE(CddbProto(request), QStringLiteral("6"));
            QVERIFY2(request.header("host").startsWith("127.0.0.1:"), request.head.constData());
        }
        QCOMPARE(CddbCmd(peer.requests.at(0)), CddbQueryCommand(kToc));
    }

    void firstOfSeveralMatchesIsRead()
    {
        HttpPeer peer;
        peer.handler = [](const HttpRequest &request) {
            if (CddbCmd(request).startsWith(QLatin1String("cddb query")))
                return HttpReply{200, "211 close matches\r\nclassical 2b031b03 A / B\r\nrock 2b031b04 C / D\r\n.\r\n"};
            return HttpReply{200,
                             CddbCmd(request) == QLatin1String("cddb read classical 2b031b03") ? Entry("classical")
                                                                                               : QByteArray("401 no\r\n")};
        };
        const CddbLookupResult result = lookup(peer);
        QVERIFY2(result.found, qPrintable(result.message));
        QCOMPARE(result.entry.trackTitle(2), QStringLiteral("Three"));
    }

    void answersThatFindNothing_data()
    {
        QTest::addColumn<int>("queryStatus");
        QTest::addColumn<QByteArray>("queryBody");
        QTest::addColumn<int>("readStatus");
        QTest::addColumn<QByteArray>("readBody");
        QTest::addColumn<int>("requestCount");

        const QByteArray match = "200 rock 2b031b03 A / B\r\n";
        QTest::newRow("202 no match") << 200 << QByteArray("202 No match\r\n") << 200 << QByteArray() << 1;
        QTest::newRow("HTTP 404") << 404 << QByteArray("not here") << 200 << QByteArray() << 1;
        QTest::newRow("HTTP 500 with a match body") << 500 << match << 200 << Entry("rock") << 1;
        QTest::newRow("401 on read") << 200 << match << 200 << QByteArray("401 No such CD entry\r\n") << 2;
        QTest::newRow("403 on read") << 200 << match << 200 << QByteArray("403 Database entry is corrupt\r\n") << 2;
        QTest::newRow("HTTP 503 on read") << 200 << match << 503 << Entry("rock") << 2;
        QTest::newRow("garbage") << 200 << QByteArray("<html>gateway</html>") << 200 << QByteArray() << 1;
    }

    void answersThatFindNothing()
    {
        QFETCH(int, queryStatus);
        QFETCH(QByteArray, queryBody);
        QFETCH(int, readStatus);
        QFETCH(QByteArray, readBody);
        HttpPeer peer;
        peer.handler = [&](const HttpRequest &request) {
            return CddbCmd(request).startsWith(QLatin1String("cddb query")) ? HttpReply{queryStatus, queryBody}
                                                                            : HttpReply{readStatus, readBody};
        };
        const CddbLookupResult result = lookup(peer);
        QVERIFY(!result.found);
        QVERIFY(!result.message.isEmpty());
        QTEST(int(peer.requests.size()), "requestCount");
    }

    void oversizedRepliesFailAndLongTitlesAreCut()
    {
        // A title key repeated until the reply nearly reaches the limit: found, but cut.
        QByteArray repeated = "210 rock 2b031b03 CD database entry follows\r\n";
        while (repeated.size() < CddbMaxReplyBytes - 100)
            repeated += "DTITLE=Artist / Album Album Album\r\n";
        repeated += "TTITLE0=One\r\n.\r\n";
        QByteArray readBody = repeated;
        HttpPeer peer;
        peer.handler = [&readBody](const HttpRequest &request) {
            if (CddbCmd(request).startsWith(QLatin1String("cddb query")))
                return HttpReply{200, "200 rock 2b031b03 A / B\r\n"};
            return HttpReply{200, readBody};
        };
        CddbLookupResult result = lookup(peer);
        QVERIFY2(result.found, qPrintable(result.message));
        QCOMPARE(result.entry.artist, QStringLiteral("Artist"));
        // The disc title as a whole is cut: "Artist / " takes its share.
        QVERIFY(result.entry.album.startsWith(QStringLiteral("Album Album AlbumArtist / Album")));
        QCOMPARE(result.entry.album.size(), CddbMaxTextLength - 9);
        QCOMPARE(result.entry.trackTitle(0), QStringLiteral("One"));

        // One byte more than the limit, on the read and then on the query: a failed lookup.
        readBody = Entry("rock") + QByteArray(CddbMaxReplyBytes + 1 - Entry("rock").size(), '#');
        result = lookup(peer);
        QVERIFY(!result.found);
        QVERIFY2(result.message.contains(QStringLiteral("larger than")), qPrintable(result.message));
        QCOMPARE(peer.requests.size(), 4);

        HttpPeer huge;
        huge.handler = [](const HttpRequest &) {
            return HttpReply{200, "200 rock 2b031b03 " + QByteArray(8 * CddbMaxReplyBytes, 'x')};
        };
        result = lookup(huge);
        QVERIFY(!result.found);
        QVERIFY2(result.message.contains(QStringLiteral("larger than")), qPrintable(result.message));
        QCOMPARE(huge.requests.size(), 1);
    }

    void silentPeerTimesOutWhileEventsRun()
    {
        HttpPeer peer;
        peer.handler = [](const HttpRequest &) { return HttpReply::silent(); };
        int ticks = 0;
        QTimer ticker; // stands for the window repainting meanwhile
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(50);
        QElapsedTimer clock;
        clock.start();
        const CddbLookupResult result = lookup(peer, 1200);
        const qint64 elapsed = clock.elapsed();
        QVERIFY(!result.found);
        QVERIFY2(elapsed >= 1100 && elapsed < 4000, qPrintable(QString::number(elapsed)));
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QCOMPARE(peer.requests.size(), 1);
    }

    void slowReadCountsAgainstTheSameTimeOut()
    {
        HttpPeer peer;
        peer.handler = [](const HttpRequest &request) {
            if (CddbCmd(request).startsWith(QLatin1String("cddb query")))
                return HttpReply{200, "200 rock 2b031b03 A / B\r\n"};
            return HttpReply::silent();
        };
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!lookup(peer, 1000).found);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(peer.requests.size(), 2);
    }

    void nobodyListening()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        const CddbLookupResult result = CddbLookup(
            m_network, QUrl(QStringLiteral("http://127.0.0.1:%1/~cddb/cddb.cgi").arg(port)), m_client, m_email, kToc, 5000);
        QVERIFY(!result.found);
        QVERIFY(!result.message.isEmpty());
    }

    void musicBrainzLookup()
    {
        HttpPeer peer;
        peer.handler = [](const HttpRequest &request) {
            if (request.path == QLatin1String("/ws/2/discid/") + kDiscId)
                return HttpReply{200, kDiscReply};
            return HttpReply{
                404, "{\"error\":\"Not Found\",\"help\":\"For usage, please see: https://musicbrainz.org/development/mmd\"}"};
        };
        MusicBrainzLookupResult result = MusicBrainzLookup(m_network, QUrl(peer.address()), kDiscId, 5000);
        QVERIFY2(result.names.found(), qPrintable(result.message));
        QCOMPARE(result.names.album, QStringLiteral("范特西"));
        QCOMPARE(result.names.trackTitles, (QStringList{QStringLiteral("爱在西元前"), QStringLiteral("爸我回来了")}));
        QCOMPARE(peer.requests.size(), 1);
        const HttpRequest &sent = peer.requests.first();
        QCOMPARE(sent.query, QByteArray("inc=artists+recordings&fmt=json"));
        QVERIFY2(sent.header("User-Agent").startsWith("Sveltra/4."), sent.head.constData());
        QVERIFY(sent.header("User-Agent").contains("sveltra"));

        // An unknown disc, a server in trouble, a reply over the cap, junk: nothing found, and why.
        result = MusicBrainzLookup(m_network, QUrl(peer.address()), QStringLiteral("unknownDisc-"), 5000);
        QVERIFY(!result.names.found());
        QVERIFY2(result.message.contains(QLatin1String("no match")), qPrintable(result.message));
        for (const HttpReply &reply : {HttpReply{503, "<html>Service Temporarily Unavailable</html>"},
                                       HttpReply{200, kDiscReply + QByteArray(CddbMaxReplyBytes, ' ')}, HttpReply{200, "{]"}}) {
            peer.answerAll(reply);
            result = MusicBrainzLookup(m_network, QUrl(peer.address()), kDiscId, 5000);
            QVERIFY(!result.names.found());
            QVERIFY2(result.message.startsWith(QLatin1String("MusicBrainz: ")), qPrintable(result.message));
        }
        // Nothing to ask: no request.
        const qsizetype asked = peer.requests.size();
        QVERIFY(!MusicBrainzLookup(m_network, QUrl(peer.address()), QString(), 5000).names.found());
        QCOMPARE(peer.requests.size(), asked);
    }

    // At most one request a second, counted across lookups; a wait that would pass the deadline
    // is not made at all.
    void musicBrainzIsPaced()
    {
        HttpPeer peer;
        QList<qint64> arrivals;
        QElapsedTimer clock;
        clock.start();
        peer.handler = [&](const HttpRequest &) {
            arrivals.append(clock.elapsed());
            return HttpReply{404, "{\"error\":\"Not Found\"}"};
        };
        for (int i = 0; i < 3; ++i)
            MusicBrainzLookup(m_network, QUrl(peer.address()), kDiscId, 5000);
        QCOMPARE(arrivals.size(), 3);
        for (int i = 1; i < arrivals.size(); ++i)
            QVERIFY2(arrivals.at(i) - arrivals.at(i - 1) >= 990,
                     qPrintable(QString::number(arrivals.at(i) - arrivals.at(i - 1))));
        const MusicBrainzLookupResult rushed = MusicBrainzLookup(m_network, QUrl(peer.address()), kDiscId, 100);
        QVERIFY(!rushed.names.found());
        QCOMPARE(arrivals.size(), 3);

        RequestPacer pacer(200);
        QVERIFY(pacer.wait(QDeadlineTimer(0)));   // the first goes at once
        QVERIFY(!pacer.wait(QDeadlineTimer(50))); // the next is 200 ms away
        QVERIFY(pacer.wait(QDeadlineTimer(QDeadlineTimer::Forever)));
    }

    void coverFetch()
    {
        HttpPeer covers;
        QByteArray body = kJpeg;
        int status = 200;
        bool silent = false;
        covers.handler = [&](const HttpRequest &request) {
            if (silent)
                return HttpReply::silent();
            if (request.path == QLatin1String("/release/r1/front-500"))
                return HttpReply{status, body};
            return HttpReply{404, "Not Found"};
        };
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QUrl refused(QStringLiteral("http://127.0.0.1:%1/release/r1/front-500").arg(closed.serverPort()));
        closed.close();

        const auto fetch = [&](const QUrl &url, int timeoutMs = 5000) {
            int calls = 0;
            QByteArray image = "unset";
            QObject context;
            FetchCover(m_network, url, timeoutMs, &context, [&](const QByteArray &got) {
                ++calls;
                image = got;
            });
            // Nobody waits: the fetch has only started when the call returns.
            if (calls != 0)
                return QByteArray("called at once");
            if (!QTest::qWaitFor([&] { return calls > 0; }, 8000))
                return QByteArray("never ended");
            QTest::qWait(50);
            return calls == 1 ? image : QByteArray("called twice");
        };
        const QUrl url = covers.url(QStringLiteral("/release/r1/front-500"));
        QCOMPARE(fetch(url), kJpeg);
        QCOMPARE(fetch(covers.url(QStringLiteral("/release/none/front-500"))), QByteArray()); // 404
        QCOMPARE(fetch(refused), QByteArray());
        status = 500;
        QCOMPARE(fetch(url), QByteArray());
        status = 200;
        body = "<html>not a picture</html>";
        QCOMPARE(fetch(url), QByteArray());
        body = kJpeg + QByteArray(CoverMaxBytes, 'j');
        QCOMPARE(fetch(url), QByteArray());
        silent = true;
        QCOMPARE(fetch(url, 300), QByteArray());

        // Once the context is gone, nothing is called.
        silent = false;
        body = kJpeg;
        bool called = false;
        {
            QObject context;
            FetchCover(m_network, url, 5000, &context, [&](const QByteArray &) { called = true; });
        }
        QTest::qWait(500);
        QVERIFY(!called);
    }

    void invalidTableIsNotSent()
    {
        HttpPeer peer;
        const CddbLookupResult result = CddbLookup(m_network, CddbUrl(peer), m_client, m_email, CddbToc{}, 5000);
        QVERIFY(!result.found);
        QVERIFY(peer.requests.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCddbHttp)
#include "test_cddbhttp.moc"
