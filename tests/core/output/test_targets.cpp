// Targets: where a row writes, the name it takes when others are there, which earlier output of
// the same source is written over or up to date, and the mark that tells them.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "core/joblist/jobrules.h"
#include "core/media/audioinformation.h"
#include "core/output/targets.h"
#include "tests/support/mediafixtures.h"

using namespace Sveltra;

class TestTargets : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(TestMedia::makeTone(path(QStringLiteral("song.wav")), 1.0));
        QVERIFY(TestMedia::convert(path(QStringLiteral("song.wav")), path(QStringLiteral("song.mp3"))));
    }

    // The assignment's edges, without an encoder: letter case, things that are not a file of
    // ours at a target, CD tracks (always converted again), sources that cannot be read, and
    // stamps that do not parse.
    void targetAssignmentEdges()
    {
        const QString out = path(QStringLiteral("assign/"));
        QVERIFY(QDir().mkpath(out + QStringLiteral("D-x.MP3"))); // a folder
        QVERIFY(QFile::link(out + QStringLiteral("nowhere"), out + QStringLiteral("D-x (2).MP3")));
        TargetAssigner targets(out, QStringLiteral("D-"), QStringLiteral(" -br 96000 "));
        const auto request = [](const QString &source, const QString &title = {}) {
            TargetRequest r;
            r.source = source;
            r.name = GetFileName(source);
            r.title = title;
            r.cdTrack = MediaType(r.name) == QLatin1String("CDA");
            r.size = 1000;
            return r;
        };
        QCOMPARE(targets.assign(request(path(QStringLiteral("x.wav")))).target, out + QStringLiteral("D-x (3).MP3"));
        QCOMPARE(targets.assign(request(path(QStringLiteral("X.wma")))).target, out + QStringLiteral("D-X (4).MP3"));
        const TargetChoice missing = targets.assign(request(path(QStringLiteral("gone/y.wav"))));
        QCOMPARE(missing.stamp, QString());

        // A CD track's earlier output is its own but never up to date; a file source's stamped
        // output is taken only by that source.
        const QString cdOut = out + QStringLiteral("D-07-Song.MP3");
        QVERIFY(QFile::copy(path(QStringLiteral("song.mp3")), cdOut));
        const TargetRequest track = request(QStringLiteral("/dev/sr0/Track07.cda"), QStringLiteral("Song"));
        TargetAssigner first(out, QStringLiteral("D-"), QStringLiteral(" -br 96000 "));
        const TargetChoice cd = first.assign(track);
        QCOMPARE(cd.target, out + QStringLiteral("D-07-Song (2).MP3")); // unstamped: not ours
        QVERIFY(WriteSourceStamp(cdOut, cd.stamp));
        QVERIFY(WriteSourceStamp(cdOut, cd.stamp)); // nothing to save the second time
        TargetAssigner second(out, QStringLiteral("D-"), QStringLiteral(" -br 96000 "));
        const TargetChoice again = second.assign(track);
        QCOMPARE(again.target, cdOut);
        QVERIFY(!again.upToDate);
        TargetRequest otherDisc = track;
        otherDisc.size = 999;
        QCOMPARE(TargetAssigner(out, QStringLiteral("D-"), QStringLiteral(" -br 96000 ")).assign(otherDisc).target,
                 out + QStringLiteral("D-07-Song (2).MP3"));

        // Stamps: the source goes as a key; a mark of version 1 (the path in clear, last, may hold a
        // tab) still reads and matches the same source; anything else is no stamp.
        const SourceStamp odd{QStringLiteral("/a\tb.wav"), 5, -7, QStringLiteral("D- -br 1")};
        const auto back = SourceStamp::parse(odd.text());
        QVERIFY(back && back->sourceKey() == odd.sourceKey() && back->size == 5 && back->modifiedMs == -7
                && back->profile == odd.profile);
        QVERIFY(!back->levelled && !odd.text().contains(QStringLiteral("/a")));
        SourceStamp levelled = odd;
        levelled.levelled = true;
        const auto levelledBack = SourceStamp::parse(levelled.text());
        QVERIFY(levelledBack && levelledBack->levelled && levelledBack->sourceKey() == odd.sourceKey());
        const auto old = SourceStamp::parse(QStringLiteral("1\t5\t-7\tD- -br 1\tL\t/a\tb.wav"));
        QVERIFY(old && old->levelled && old->source == odd.source && old->sourceKey() == odd.sourceKey());
        // A sync's further fields: written only when set, read back by name; a mark with fields this
        // version does not know still reads, one with a field that names nothing does not.
        QCOMPARE(odd.text().count(QLatin1Char('\t')), 5);
        SourceStamp synced = odd;
        synced.audioHash = QStringLiteral("ab12");
        synced.libraryKey = SourcePathKey(QStringLiteral("/lib"));
        QVERIFY(synced.text().endsWith(QStringLiteral("\taudio=ab12\tlib=") + synced.libraryKey));
        const auto syncedBack = SourceStamp::parse(synced.text() + QStringLiteral("\tnext=1"));
        QVERIFY(syncedBack && syncedBack->audioHash == QLatin1String("ab12") && syncedBack->tagsHash.isEmpty()
                && syncedBack->libraryKey == synced.libraryKey && syncedBack->sourceKey() == odd.sourceKey());
        QCOMPARE(syncedBack->text(), synced.text());
        for (const QString &bad :
             {QString(), QStringLiteral("1\t5\t7\tD-"), QStringLiteral("3\t5\t7\tD-\t/x"), QStringLiteral("2\t5\t7\tD-\t-\t/x"),
              QStringLiteral("1\tfive\t7\tD-\t/x"), QStringLiteral("1\t5\t7\tD-\t"), QStringLiteral("2\t5\t7\tD-\t-\t#ab\tjunk")})
            QVERIFY2(!SourceStamp::parse(bad), qPrintable(bad));
        QCOMPARE(ReadSourceStamp(path(QStringLiteral("song.wav"))), QString());
        QVERIFY(!WriteSourceStamp(path(QStringLiteral("nothing.mp3")), odd.text()));

        // Sub-folders: only below the folder a row came from.
        QCOMPARE(OutputSubfolder(QStringLiteral("/m/A/B/x.mp3"), QStringLiteral("/m")), QStringLiteral("A/B/"));
        QCOMPARE(OutputSubfolder(QStringLiteral("/m/x.mp3"), QStringLiteral("/m")), QString());
        QCOMPARE(OutputSubfolder(QStringLiteral("/n/A/x.mp3"), QStringLiteral("/m")), QString());
        QCOMPARE(OutputSubfolder(QStringLiteral("/m/..A/x.mp3"), QStringLiteral("/m")), QStringLiteral("..A/"));
        QCOMPARE(OutputSubfolder(QStringLiteral("/m/A/x.mp3"), QString()), QString());
    }
};

QTEST_GUILESS_MAIN(TestTargets)
#include "test_targets.moc"
