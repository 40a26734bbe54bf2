// The CDDB protocol without a network: disc ids of published tables of contents, the commands and
// request address, and the parsers fed with canned server replies.

#include <QStringEncoder>
#include <QTest>

#include "core/cd/cddb.h"

using namespace Sveltra;

namespace {

// Tables of contents whose disc ids are published (offsets in frames, lead-in included).
CddbToc Liquid() // 10 audio tracks of an enhanced CD, data track left out
{
    return {{150, 12767, 40487, 63225, 93410, 118115, 151865, 184340, 215260, 247455}, 270335};
}

CddbToc DontGiveMeNames() // 15 tracks
{
    return {{150, 17510, 33275, 45910, 57805, 78310, 94650, 109580, 132010, 149160, 165115, 177710, 203325, 215555, 235590},
            258725};
}

QByteArray Crlf(const char *text)
{
    return QByteArray(text).replace("\n", "\r\n");
}

} // namespace

class TestCddb : public QObject
{
    Q_OBJECT

private slots:
    void discIdOfPublishedDiscs()
    {
        QCOMPARE(CddbDiscIdText(CddbDiscId(Liquid())), QStringLiteral("890e120a"));
        QCOMPARE(CddbDiscIdText(CddbDiscId(DontGiveMeNames())), QStringLiteral("b60d770f"));
        // A short one-track disc: the id keeps its leading zeros.
        QCOMPARE(CddbDiscIdText(CddbDiscId({{150}, 150 + 75 * 3})), QStringLiteral("02000301"));
    }

    void invalidTablesGiveNoId()
    {
        QCOMPARE(CddbDiscId({}), 0u);
        QCOMPARE(CddbDiscId({{150, 100}, 5000}), 0u);  // starts out of order
        QCOMPARE(CddbDiscId({{150, 9000}, 9000}), 0u); // lead-out not after the last track
        QVERIFY(Liquid().isValid());
    }

    void commandsAndAddress()
    {
        QCOMPARE(CddbQueryCommand(Liquid()),
                 QStringLiteral("cddb query 890e120a 10 150 12767 40487 63225 93410 118115 151865 184340 215260 247455 3604"));
        QCOMPARE(CddbReadCommand(QStringLiteral("rock"), QStringLiteral("890e120a")), QStringLiteral("cddb read rock 890e120a"));

        const QUrl base(QStringLiteral("http://gnudb.gnudb.org:80/~cddb/cddb.cgi"));
        const QUrl url = CddbRequestUrl(base, QStringLiteral("cddb read rock 890e120a"), QStringLiteral("Sveltra V4.0"),
                                        QStringLiteral("support@sveltra.example"));
        QCOMPARE(url.toString(QUrl::FullyEncoded),
                 QStringLiteral("http://gnudb.gnudb.org:80/~cddb/cddb.cgi?cmd=cddb+read+rock+890e120a"
                                "&hello=support+sveltra.example+Sveltra+V4.0&proto=6"));
        // Characters that would break the query are escaped inside their word.
        const QUrl odd = CddbRequestUrl(base, QStringLiteral("cddb read a&b 1"), QStringLiteral("My+Ripper 1.0"),
                                        QStringLiteral("nobody"));
        QCOMPARE(odd.query(QUrl::FullyEncoded),
                 QStringLiteral("cmd=cddb+read+a%26b+1&hello=nobody+localhost+My%2BRipper+1.0&proto=6"));
    }

    void queryReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("discId");

        QTest::newRow("200 one match") << Crlf("200 rock 890e120a Recoil / Liquid\n") << true << "rock"
                                       << "890e120a";
        QTest::newRow("210 exact list, first taken")
            << Crlf("210 Found exact matches, list follows (until terminating `.')\n"
                    "misc 890e120a Recoil / Liquid\nrock 890e120a Recoil / Liquid (2)\n.\n")
            << true << "misc"
            << "890e120a";
        QTest::newRow("211 inexact list") << QByteArray("211 close matches\nsoundtrack 77001234 X / Y\n.\n") << true
                                          << "soundtrack"
                                          << "77001234";
        QTest::newRow("211 empty list") << QByteArray("211 close matches\n.\n") << false << ""
                                        << "";
        QTest::newRow("202 no match") << QByteArray("202 No match found.\n") << false << ""
                                      << "";
        QTest::newRow("403 corrupt") << QByteArray("403 Database entry is corrupt.\n") << false << ""
                                     << "";
        QTest::newRow("409 no handshake") << QByteArray("409 No handshake.\n") << false << ""
                                          << "";
        QTest::newRow("500 syntax") << QByteArray("500 Command syntax error.\n") << false << ""
                                    << "";
        QTest::newRow("200 without id") << QByteArray("200 rock\n") << false << ""
                                        << "";
        QTest::newRow("html") << QByteArray("<html><body>Not here</body></html>") << false << ""
                              << "";
        QTest::newRow("empty") << QByteArray() << false << ""
                               << "";
        QTest::newRow("two digits") << QByteArray("20 rock 890e120a x\n") << false << ""
                                    << "";
        QTest::newRow("binary") << QByteArray("\xff\xfe\x00\x01 rock", 9) << false << ""
                                << "";
    }

    void queryReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, found);
        const CddbMatch match = CddbParseQueryReply(reply);
        QCOMPARE(match.found, found);
        if (found) {
            QTEST(match.category, "category");
            QTEST(match.discId, "discId");
        } else {
            QVERIFY(!match.message.isEmpty());
        }
    }

    void readReplyWithContinuationsAndEscapes()
    {
        const QByteArray reply = Crlf("210 rock 890e120a CD database entry follows (until terminating `.')\n"
                                      "# xmcd\n#\n# Track frame offsets:\n#\t150\n#\n"
                                      "DISCID=890e120a\n"
                                      "DTITLE=Some Long Artist Name / A Very Long Album Ti\n"
                                      "DTITLE=tle Continued\n"
                                      "DYEAR=1999\n"
                                      "DGENRE=Electronic\n"
                                      "TTITLE0=First\\tTabbed\n"
                                      "TTITLE1=Back\\\\slash and \\q kept\n"
                                      "TTITLE1= part two\n"
                                      "TTITLE3=Line\\nBreak\n"
                                      "EXTD=\n"
                                      "TTITLE10=Eleventh\n"
                                      "PLAYORDER=\n"
                                      ".\n"
                                      "TTITLE4=after the end\n");
        CddbEntry entry;
        QString message;
        QVERIFY(CddbParseReadReply(reply, QStringLiteral("rock"), &entry, &message));
        QCOMPARE(entry.artist, QStringLiteral("Some Long Artist Name"));
        QCOMPARE(entry.album, QStringLiteral("A Very Long Album Title Continued"));
        QCOMPARE(entry.genre, QStringLiteral("Electronic"));
        QCOMPARE(entry.year, QStringLiteral("1999"));
        QCOMPARE(entry.trackTitles.size(), 11);
        QCOMPARE(entry.trackTitle(0), QStringLiteral("First\tTabbed"));
        QCOMPARE(entry.trackTitle(1), QStringLiteral("Back\\slash and \\q kept part two"));
        QCOMPARE(entry.trackTitle(2), QString()); // left out of the entry
        QCOMPARE(entry.trackTitle(3), QStringLiteral("Line\nBreak"));
        QCOMPARE(entry.trackTitle(4), QString()); // after the terminating line
        QCOMPARE(entry.trackTitle(10), QStringLiteral("Eleventh"));
        QCOMPARE(entry.trackTitle(11), QString());
        QCOMPARE(entry.trackTitle(-1), QString());
    }

    void titleWithoutSeparatorAndGenreFromCategory()
    {
        CddbEntry entry = CddbParseXmcd(QStringLiteral("DTITLE=Greatest Hits\nTTITLE0=One\n"), QStringLiteral("misc"));
        QCOMPARE(entry.artist, QStringLiteral("Greatest Hits"));
        QCOMPARE(entry.album, QStringLiteral("Greatest Hits"));
        QCOMPARE(entry.genre, QStringLiteral("misc"));
        QCOMPARE(entry.year, QString());
        // A year is four digits; anything else in DYEAR is no year.
        for (const QString &notAYear :
             {QStringLiteral("99"), QStringLiteral("1999-2001"), QStringLiteral("unknown"), QStringLiteral("１９９９")})
            QCOMPARE(CddbParseXmcd(QStringLiteral("DYEAR=") + notAYear + QLatin1Char('\n')).year, QString());
        // Only the first " / " splits; an album may hold one too.
        entry = CddbParseXmcd(QStringLiteral("DTITLE=AC/DC / Live / Part 1\n"));
        QCOMPARE(entry.artist, QStringLiteral("AC/DC"));
        QCOMPARE(entry.album, QStringLiteral("Live / Part 1"));
        // An escaped backslash right before "n" is a backslash and an "n", not a line break.
        entry = CddbParseXmcd(QStringLiteral("TTITLE0=a\\\\nb\n"));
        QCOMPARE(entry.trackTitle(0), QStringLiteral("a\\nb"));
    }

    void chineseEntriesInUtf8AndGbk()
    {
        const QString xmcd = QStringLiteral("210 misc 02000301 CD database entry follows\n"
                                            "DTITLE=王菲 / 天空\nDGENRE=流行\nTTITLE0=天空\nTTITLE1=我也不想这样\n.\n");
        for (const char *encoding : {"UTF-8", "GBK"}) {
            QStringEncoder encoder(encoding);
            QVERIFY(encoder.isValid());
            const QByteArray bytes = encoder(xmcd);
            CddbEntry entry;
            QVERIFY2(CddbParseReadReply(bytes, QStringLiteral("misc"), &entry), encoding);
            QCOMPARE(entry.artist, QStringLiteral("王菲"));
            QCOMPARE(entry.album, QStringLiteral("天空"));
            QCOMPARE(entry.genre, QStringLiteral("流行"));
            QCOMPARE(entry.trackTitle(1), QStringLiteral("我也不想这样"));
        }
        QCOMPARE(CddbDecodeReply(QByteArray("plain ascii")), QStringLiteral("plain ascii"));
    }

    void repeatedKeysAndLongTextsAreCut()
    {
        // A key repeated a hundred thousand times: one title of 1,024 characters, not millions.
        QString xmcd;
        for (int i = 0; i < 100000; ++i)
            xmcd += QStringLiteral("DTITLE=长长长长长长长长\nTTITLE0=a\\n\n");
        xmcd += QStringLiteral("DGENRE=") + QStringLiteral("g").repeated(5000) + QLatin1Char('\n');
        CddbEntry entry = CddbParseXmcd(xmcd);
        QCOMPARE(entry.artist, QStringLiteral("长").repeated(CddbMaxTextLength));
        QCOMPARE(entry.album, entry.artist);
        QCOMPARE(entry.genre.size(), CddbMaxTextLength);
        QCOMPARE(entry.trackTitle(0).size(), CddbMaxTextLength); // escapes undone, then cut
        QVERIFY(entry.trackTitle(0).startsWith(QStringLiteral("a\na\n")));

        // The cut falls between whole characters: a surrogate pair or a letter and its accent stay together.
        const QString face = QStringLiteral("\U0001F600");
        entry = CddbParseXmcd(QStringLiteral("TTITLE0=a") + face.repeated(600) + QStringLiteral("\nTTITLE1=a")
                              + QStringLiteral("e\u0301").repeated(600) + QLatin1Char('\n'));
        QCOMPARE(entry.trackTitle(0), QStringLiteral("a") + face.repeated(511));
        QCOMPARE(entry.trackTitle(1), QStringLiteral("a") + QStringLiteral("e\u0301").repeated(511));
        QCOMPARE(CutText(QStringLiteral("e") + QStringLiteral("\u0301").repeated(2000)).size(), CddbMaxTextLength);
        QCOMPARE(CutText(QStringLiteral("short")), QStringLiteral("short"));

        const CddbMatch match = CddbParseQueryReply("200 rock 890e120a " + QByteArray(5000, 'x') + "\r\n");
        QVERIFY(match.found);
        QCOMPARE(match.title.size(), CddbMaxTextLength);
    }

    void repliesOverTheSizeLimitAreRefused()
    {
        QByteArray reply = "210 rock 890e120a CD database entry follows\r\nDTITLE=A / B\r\n";
        const QByteArray line = "TTITLE0=x\r\n";
        while (reply.size() + line.size() <= CddbMaxReplyBytes)
            reply += line;
        reply += QByteArray(CddbMaxReplyBytes - reply.size(), '#');
        CddbEntry entry;
        QString message;
        QVERIFY2(CddbParseReadReply(reply, QStringLiteral("rock"), &entry, &message), qPrintable(message)); // at the limit
        QCOMPARE(entry.artist, QStringLiteral("A"));
        reply += '\n';
        entry = CddbEntry();
        QVERIFY(!CddbParseReadReply(reply, QStringLiteral("rock"), &entry, &message));
        QVERIFY(entry.artist.isEmpty());
        QVERIFY2(message.contains(QString::number(CddbMaxReplyBytes)), qPrintable(message));

        const CddbMatch match = CddbParseQueryReply("200 rock 890e120a " + QByteArray(CddbMaxReplyBytes, 'x'));
        QVERIFY(!match.found);
        QVERIFY(!match.message.isEmpty());
    }

    void readRepliesThatAreNotEntries_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("401 not found") << QByteArray("401 rock 890e120a No such CD entry in database.\n");
        QTest::newRow("402 server error") << QByteArray("402 Server error.\n");
        QTest::newRow("403 corrupt") << QByteArray("403 Database entry is corrupt.\n");
        QTest::newRow("409 no handshake") << QByteArray("409 No handshake.\n");
        QTest::newRow("bare xmcd") << QByteArray("DTITLE=A / B\n");
        QTest::newRow("html") << QByteArray("<!DOCTYPE html><title>502</title>");
        QTest::newRow("empty") << QByteArray();
    }

    void readRepliesThatAreNotEntries()
    {
        QFETCH(QByteArray, reply);
        CddbEntry entry;
        entry.artist = QStringLiteral("untouched");
        QString message;
        QVERIFY(!CddbParseReadReply(reply, QStringLiteral("rock"), &entry, &message));
        QCOMPARE(entry.artist, QStringLiteral("untouched"));
        QVERIFY(!message.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestCddb)
#include "test_cddb.moc"
