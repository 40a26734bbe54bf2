// CD-Text: its texts in the character codes discs and cue sheets use, and the names it gives a
// disc.

#include <QStringEncoder>
#include <QTest>

#include "core/cd/cddb.h"
#include "core/cd/cdtext.h"

using namespace Sveltra;

class TestCdText : public QObject
{
    Q_OBJECT

private slots:
    // libcdio reads every cue sheet as ISO 8859-1, and Chinese discs label GBK blocks so.
    void cdTextCharacterCodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const auto encoded = [](const char *codec, const QString &text) {
            QStringEncoder encoder(codec);
            return QByteArray(encoder(text));
        };
        QTest::newRow("ASCII") << QByteArray("Track 1") << QStringLiteral("Track 1");
        QTest::newRow("UTF-8") << QStringLiteral("王菲 / Café").toUtf8() << QStringLiteral("王菲 / Café");
        QTest::newRow("GBK") << encoded("GBK", QStringLiteral("天空 第一首")) << QStringLiteral("天空 第一首");
        QTest::newRow("GBK with Latin letters") << encoded("GBK", QStringLiteral("AC/DC：二")) << QStringLiteral("AC/DC：二");
        QTest::newRow("Big5") << encoded("Big5", QStringLiteral("周杰倫 七里香")) << QStringLiteral("周杰倫 七里香");
        QTest::newRow("8859-1 accents before letters") << QByteArray("Pok\xe9mon Caf\xe9s") << QStringLiteral("Pokémon Cafés");
        QTest::newRow("8859-1 accent between letters") << QByteArray("M\xfcller") << QStringLiteral("Müller");
        QTest::newRow("8859-1 accent at the end") << QByteArray("Beyonc\xe9") << QStringLiteral("Beyoncé");
        QTest::newRow("8859-1 two accents") << QByteArray("\xc7\xe0 et l\xe0") << QStringLiteral("Çà et là");
    }

    void cdTextCharacterCodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(CdTextDecode(QString::fromLatin1(bytes)), expected);
    }

    void cdTextNames()
    {
        // Texts beyond 8859-1 come from an MS-JIS block already decoded and are kept.
        QCOMPARE(CdTextDecode(QStringLiteral("東京事変")), QStringLiteral("東京事変"));

        DiscToc toc;
        toc.firstTrack = 1;
        toc.starts = {0, 1000, 2000};
        toc.audio = {true, true, true};
        toc.leadout = 3000;
        CdTextBlock block;
        QCOMPARE(CdTextNames(block, toc).source, NamesSource::None);
        block.titles = {QString(), QStringLiteral("  "), QString()};
        QCOMPARE(CdTextNames(block, toc).source, NamesSource::None); // blanks name nothing

        block.titles = {QString::fromLatin1(QStringLiteral("专辑").toUtf8()), QStringLiteral("One"), QString(),
                        QStringLiteral("Three")};
        block.performers = {QString(), QStringLiteral("Singer")};
        const DiscNames names = CdTextNames(block, toc);
        QCOMPARE(names.source, NamesSource::CdText);
        QCOMPARE(names.album, QStringLiteral("专辑"));
        QCOMPARE(names.artist, QStringLiteral("Singer")); // the disc names none: the first track's
        QCOMPARE(names.trackTitles, (QStringList{QStringLiteral("One"), QString(), QStringLiteral("Three")}));
        QCOMPARE(NamesSourceName(names.source), QStringLiteral("CD-Text"));
        QCOMPARE(NamesSourceName(NamesSource::None), QString());
    }
};

QTEST_GUILESS_MAIN(TestCdText)
#include "test_cdtext.moc"
