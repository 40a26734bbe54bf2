// CDDB lookups over HTTP against a peer on 127.0.0.1: what is sent, each kind of answer, and a peer
// that never answers.

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include "core/cd/cddbhttp.h"
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
