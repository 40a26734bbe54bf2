// The grabber against CD images made at test time: drives and tracks, bit-exact rips from
// little- and big-endian images, aborting a rip, failures, CDDB lookups of an image against a
// peer on 127.0.0.1, and the sources behind CDDB: MusicBrainz (with the disc's cover) and the
// image's CD-Text, asked in that order, and what a track's tag gets from them.

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <array>
#include <thread>

#include "core/cd/audiograbber.h"
#include "core/cd/cddb.h"
#include "core/cd/cdtext.h"
#include "core/cd/musicbrainz.h"
#include "tests/support/cdimage.h"
#include "tests/support/httppeer.h"

using namespace Sveltra;
using TestCd::Image;

namespace {

const QList<TestCd::Tone> kTones{{2.0, 440}, {1.5, 660}, {1.2, 880}};
constexpr int kPregapSectors = 40;

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint32 Le32(const QByteArray &data, int at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}

quint16 Le16(const QByteArray &data, int at)
{
    return qFromLittleEndian<quint16>(data.constData() + at);
}

QStringList FilesIn(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    return names;
}

QByteArray Gbk(const QString &text)
{
    QStringEncoder encoder("GBK");
    return encoder(text);
}

// One language block of CD-Text packs as a disc carries them: the disc's and each track's title
// (index 0 the disc's) and the disc's performer, each text ended by one zero byte (two in a
// double-byte code), cut into packs of 12 bytes, then the three packs of size information that
// give the character code and the language. The check bytes are left zero.
QByteArray CdTextPacks(int block, int charCode, int language, const QList<QByteArray> &titles, const QByteArray &performer)
{
    const bool doubleByte = charCode >= 0x80;
    const QByteArray end(doubleByte ? 2 : 1, '\0');
    QByteArray packs;
    int sequence = 0;
    std::array<int, 16> counts{};
    const auto addKind = [&](int kind, const QList<QByteArray> &texts) {
        QByteArray stream;
        QList<int> trackAt; // the track of each byte of the stream
        for (int track = 0; track < texts.size(); ++track) {
            stream += texts[track] + end;
            trackAt += QList<int>(texts[track].size() + end.size(), track);
        }
        stream += QByteArray((12 - stream.size() % 12) % 12, '\0');
        for (qsizetype at = 0; at < stream.size(); at += 12) {
            const int track = trackAt.value(at, int(texts.size()) - 1);
            const int position = int(std::min<qsizetype>(at - trackAt.indexOf(track), 15));
            packs += char(kind);
            packs += char(track);
            packs += char(sequence++);
            packs += char((doubleByte ? 0x80 : 0) | (block << 4) | position);
            packs += stream.mid(at, 12) + QByteArray(2, '\0');
            ++counts[kind - 0x80];
        }
    };
    addKind(0x80, titles);
    addKind(0x81, {performer});
    QByteArray info(36, '\0');
    info[0] = char(charCode);
    info[1] = 1;
    info[2] = char(titles.size() - 1);
    counts[15] = 3;
    for (int kind = 0; kind < 16; ++kind)
        info[4 + kind] = char(counts[kind]);
    info[20 + block] = char(sequence + 2);
    info[28 + block] = char(language);
    for (int part = 0; part < 3; ++part)
        packs += QByteArray("\x8f") + char(part) + char(sequence++) + char(block << 4) + info.mid(part * 12, 12)
            + QByteArray(2, '\0');
    return packs;
}

// The web service's reply for a disc: one release of two discs, this disc the second.
QByteArray MusicBrainzReply(const QString &discId)
{
    return QStringLiteral(
               "{\"id\":\"%1\",\"sectors\":1,\"offset-count\":3,\"offsets\":[150,1,2],\"releases\":["
               "{\"id\":\"rel-1\",\"title\":\"叶惠美\",\"date\":\"2003-07-31\",\"country\":\"TW\","
               "\"artist-credit\":[{\"name\":\"周杰伦\",\"joinphrase\":\"\",\"artist\":{\"id\":\"a\",\"name\":\"周杰倫\"}}],"
               "\"cover-art-archive\":{\"artwork\":true,\"count\":1,\"front\":true,\"back\":false},"
               "\"media\":[{\"position\":1,\"track-count\":1,\"discs\":[],\"tracks\":[{\"position\":1,\"title\":\"DVD\"}]},"
               "{\"position\":2,\"track-count\":3,\"discs\":[{\"id\":\"%1\"}],\"tracks\":["
               "{\"position\":1,\"title\":\"以父之名\"},{\"position\":2,\"title\":\"懦夫\"},{\"position\":3,\"title\":\"晴天\"}]}"
               "]}]}")
        .arg(discId)
        .toUtf8();
}

// A closed port on 127.0.0.1: connections to it are refused.
QUrl Refusing()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

const QByteArray kJpeg = QByteArray("\xff\xd8\xff\xe0\x00\x10JFIF\x00", 11) + QByteArray(500, 'c');

} // namespace

class TestAudioGrabber : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    Image m_binary;   // Chinese folder and file name, BINARY, pregap before track 2
    Image m_motorola; // the same tones, MOTOROLA
    Image m_long;     // one long track for aborting

    QString sub(const QString &name) const
    {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.filePath(name);
    }

    // Checks a WAV file: a 44-byte CD-audio header, then exactly the expected samples.
    static void verifyWav(const QString &path, const QByteArray &expected)
    {
        const QByteArray wav = ReadAll(path);
        QCOMPARE(wav.size(), expected.size() + 44);
        QCOMPARE(wav.left(4), QByteArray("RIFF"));
        QCOMPARE(Le32(wav, 4), quint32(wav.size() - 8));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(Le32(wav, 16), 16u);
        QCOMPARE(Le16(wav, 20), quint16(1)); // PCM
        QCOMPARE(Le16(wav, 22), quint16(2)); // stereo
        QCOMPARE(Le32(wav, 24), 44100u);
        QCOMPARE(Le32(wav, 28), 176400u);
        QCOMPARE(Le16(wav, 32), quint16(4));
        QCOMPARE(Le16(wav, 34), quint16(16));
        QCOMPARE(wav.mid(36, 4), QByteArray("data"));
        QCOMPARE(Le32(wav, 40), quint32(expected.size()));
        QVERIFY2(wav.mid(44) == expected, qPrintable(path + QStringLiteral(": samples differ")));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(TestCd::MakeImage(&m_binary, sub(QStringLiteral("光盘")), QStringLiteral("最好的"), kTones, false, 2,
                                  kPregapSectors));
        QVERIFY(
            TestCd::MakeImage(&m_motorola, sub(QStringLiteral("moto")), QStringLiteral("disc"), kTones, true, 2, kPregapSectors));
        QVERIFY(TestCd::MakeImage(&m_long, sub(QStringLiteral("long")), QStringLiteral("long"), {{60.0, 500}}, false));
    }

    void imagesAreDrives()
    {
        AudioGrabber grabber(nullptr, false);
        QCOMPARE(grabber.DriveCount(), 0);
        QCOMPARE(grabber.CurrentDrive(), 0);
        QCOMPARE(grabber.TrackCount(), 0);
        QCOMPARE(grabber.DriveName(), QString());

        QCOMPARE(grabber.OpenImage(m_binary.cuePath), 1);
        QCOMPARE(grabber.CurrentDrive(), 0); // opening selects nothing
        QCOMPARE(grabber.OpenImage(m_motorola.cuePath), 2);
        // The same sheet by another spelling of its path is the same drive.
        const QString roundabout = m_dir.path() + QStringLiteral("/moto/../光盘/./最好的.cue");
        QCOMPARE(grabber.OpenImage(roundabout), 1);
        QCOMPARE(grabber.DriveCount(), 2);

        grabber.SetCurrentDrive(1);
        QCOMPARE(grabber.DriveName(), m_binary.cuePath);
        QCOMPARE(grabber.TrackCount(), 3);
        QCOMPARE(grabber.FirstTrack(), 1);
        for (int track = 1; track <= 3; ++track) {
            grabber.SetCurrentTrack(track);
            QCOMPARE(grabber.CurrentTrack(), track);
            QVERIFY(grabber.TrackIsAudio());
            QCOMPARE(grabber.TrackLength(), int(qint64(m_binary.trackSectors(track)) * 1000 / 75));
        }
        // Track 1 runs to track 2's INDEX 01, its pregap included: 150 + 40 sectors.
        grabber.SetCurrentTrack(1);
        QCOMPARE(grabber.TrackLength(), (150 + kPregapSectors) * 1000 / 75);
        for (const int missing : {0, 4, -1}) {
            grabber.SetCurrentTrack(missing);
            QCOMPARE(grabber.TrackLength(), 0);
            QVERIFY(!grabber.TrackIsAudio());
        }

        // Images come after the machine's own drives.
        AudioGrabber machine;
        const int devices = int(CdDeviceNames().size());
        QCOMPARE(machine.DriveCount(), devices);
        QCOMPARE(machine.CurrentDrive(), devices > 0 ? 1 : 0);
        QCOMPARE(machine.OpenImage(m_binary.cuePath), devices + 1);

        grabber.SetCurrentDrive(3); // refused: no such drive
        QCOMPARE(grabber.CurrentDrive(), 1);
        grabber.SetCurrentDrive(2);
        QCOMPARE(grabber.DriveName(), m_motorola.cuePath);
        QCOMPARE(grabber.TrackCount(), 3);
        grabber.DiscSetting1 = 1;
        grabber.DiscSetting2 = 4;
        grabber.DiscSetting3 = 0;
        QVERIFY(grabber.RefreshDisc());
        QCOMPARE(grabber.TrackCount(), 3);
    }

    void drivesByPathAndTracksByName()
    {
        AudioGrabber grabber(nullptr, false);
        QCOMPARE(grabber.OpenImage(m_binary.cuePath), 1);
        QCOMPARE(grabber.OpenImage(m_motorola.cuePath), 2);
        const QString track = m_motorola.cuePath + QStringLiteral("/Track03.cda");
        QCOMPARE(grabber.DriveIndexFor(QFileInfo(track).path()), 2);
        QCOMPARE(grabber.DriveIndexFor(m_binary.cuePath + QLatin1Char('/')), 1);
        QCOMPARE(grabber.DriveIndexFor(QFileInfo(m_binary.cuePath).path()), 0); // the sheet's own folder is no drive
        QCOMPARE(grabber.DriveIndexFor(QStringLiteral("/dev/sr9")), 0);
        QCOMPARE(grabber.DriveIndexFor(QString()), 0);

        QCOMPARE(CdTrackNumber(track), 3);
        QCOMPARE(CdTrackNumber(QStringLiteral("/dev/sr0/Track12.cda")), 12);
        QCOMPARE(CdTrackNumber(QStringLiteral("TRACK07.CDA")), 7);
        QCOMPARE(CdTrackNumber(QStringLiteral("03.cda")), 3);
        QCOMPARE(CdTrackNumber(QStringLiteral("Track3.cda")), 0); // "k3.cda"
        QCOMPARE(CdTrackNumber(QStringLiteral("TrackAB.cda")), 0);
        QCOMPARE(CdTrackNumber(QStringLiteral("")), 0);
        QCOMPARE(CdTrackFileName(3), QStringLiteral("Track03.cda"));
        QCOMPARE(CdTrackFileName(12), QStringLiteral("Track12.cda"));
    }

    void ripsAreBitExact_data()
    {
        QTest::addColumn<bool>("motorola");
        QTest::newRow("BINARY") << false;
        QTest::newRow("MOTOROLA") << true;
    }

    void ripsAreBitExact()
    {
        QFETCH(bool, motorola);
        const Image &image = motorola ? m_motorola : m_binary;
        AudioGrabber grabber(nullptr, false);
        grabber.SetCurrentDrive(grabber.OpenImage(image.cuePath));
        QSignalSpy progress(&grabber, &AudioGrabber::RipProgress);
        const QString out = sub(motorola ? QStringLiteral("out-moto") : QStringLiteral("输出"));
        for (int track = 1; track <= 3; ++track) {
            grabber.SetCurrentTrack(track);
            progress.clear();
            const QString base = QDir(out).filePath(QStringLiteral("~sveltratmp%1").arg(track));
            QVERIFY2(grabber.RipTrack(base), qPrintable(grabber.lastError()));
            verifyWav(base + QStringLiteral(".wav"), image.trackSamples(track));
            QVERIFY(progress.size() >= 2);
            QCOMPARE(progress.first().at(0).toInt(), 0);
            QCOMPARE(progress.last().at(0).toInt(), 100);
            for (qsizetype i = 1; i < progress.size(); ++i)
                QVERIFY(progress.at(i).at(0).toInt() >= progress.at(i - 1).at(0).toInt());
        }
        QCOMPARE(FilesIn(out),
                 (QStringList{QStringLiteral("~sveltratmp1.wav"), QStringLiteral("~sveltratmp2.wav"),
                              QStringLiteral("~sveltratmp3.wav")}));
    }

    void ripsOnAWorkerThread()
    {
        const QString wav = QDir(sub(QStringLiteral("worker"))).filePath(QStringLiteral("two.wav"));
        RipResult result;
        bool progressOnWorker = true;
        int calls = 0;
        const auto mainThread = std::this_thread::get_id();
        std::thread worker([&] {
            result = RipTrackToWav(m_motorola.cuePath, 2, wav, [&](int) {
                ++calls;
                progressOnWorker = progressOnWorker && std::this_thread::get_id() != mainThread;
                return true;
            });
        });
        worker.join();
        QVERIFY2(result.ok, qPrintable(result.message));
        QVERIFY(!result.aborted);
        QCOMPARE(result.skippedSectors, 0);
        QVERIFY(calls > 0);
        QVERIFY(progressOnWorker);
        verifyWav(wav, m_motorola.trackSamples(2));
    }

    void abortStopsWithinASecondAndLeavesNothing()
    {
        const QString out = sub(QStringLiteral("abort"));
        AudioGrabber grabber(nullptr, false);
        grabber.SetCurrentDrive(grabber.OpenImage(m_long.cuePath));
        grabber.SetCurrentTrack(1);
        QElapsedTimer sinceAbort;
        int lastPercent = -1;
        connect(&grabber, &AudioGrabber::RipProgress, this, [&](int percent) {
            lastPercent = percent;
            if (percent >= 5 && !sinceAbort.isValid()) {
                grabber.AbortRip();
                sinceAbort.start();
            }
        });
        QVERIFY(!grabber.RipTrack(QDir(out).filePath(QStringLiteral("long"))));
        QVERIFY(sinceAbort.isValid());
        QVERIFY2(sinceAbort.elapsed() < 1000, qPrintable(QString::number(sinceAbort.elapsed())));
        QVERIFY(lastPercent < 100);
        QVERIFY(!grabber.lastError().isEmpty());
        QCOMPARE(FilesIn(out), QStringList());

        // The same from a worker's progress callback; a later rip starts afresh.
        int calls = 0;
        const RipResult aborted = RipTrackToWav(m_long.cuePath, 1, QDir(out).filePath(QStringLiteral("w.wav")),
                                                [&calls](int) { return ++calls < 3; });
        QVERIFY(!aborted.ok);
        QVERIFY(aborted.aborted);
        QCOMPARE(calls, 3);
        QCOMPARE(FilesIn(out), QStringList());
        grabber.SetCurrentTrack(1);
        QVERIFY(grabber.RipTrack(QDir(out).filePath(QStringLiteral("whole")))); // the earlier abort is forgotten
        QCOMPARE(QFileInfo(QDir(out).filePath(QStringLiteral("whole.wav"))).size(), m_long.samples.size() + 44);
    }

    void failuresAreReported()
    {
        const QString dir = sub(QStringLiteral("bad"));
        AudioGrabber grabber(nullptr, false);
        auto write = [&dir](const QString &name, const QByteArray &content) {
            QFile file(QDir(dir).filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        };
        write(QStringLiteral("garbage.cue"), QByteArray("\x01\x02 this is no cue sheet\n\xff", 26));
        write(QStringLiteral("missing.cue"), "FILE \"nothere.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
        write(QStringLiteral("song.wav"), "RIFF");
        for (const QString &name : {QStringLiteral("garbage.cue"), QStringLiteral("missing.cue"), QStringLiteral("song.wav"),
                                    QStringLiteral("absent.cue")}) {
            QCOMPARE(grabber.OpenImage(QDir(dir).filePath(name)), 0);
            QVERIFY(!grabber.lastError().isEmpty());
        }
        QCOMPARE(grabber.DriveCount(), 0);
        QVERIFY(!grabber.RefreshDisc()); // no drive selected
        QVERIFY(!grabber.RipTrack(QDir(dir).filePath(QStringLiteral("x"))));
        QVERIFY(!grabber.QueryCddb(0));

        const QString wav = QDir(dir).filePath(QStringLiteral("out.wav"));
        for (const int track : {0, 4, 99, 1000}) {
            const RipResult result = RipTrackToWav(m_binary.cuePath, track, wav);
            QVERIFY(!result.ok);
            QVERIFY(!result.message.isEmpty());
        }
        QVERIFY(!RipTrackToWav(m_binary.cuePath, 1, QDir(dir).filePath(QStringLiteral("no/such/folder/out.wav"))).ok);
        QVERIFY(!RipTrackToWav(QDir(dir).filePath(QStringLiteral("missing.cue")), 1, wav).ok);
        QVERIFY(!RipTrackToWav(QStringLiteral("/dev/null/nodrive"), 1, wav).ok);
        QVERIFY(!QFile::exists(wav));

        // An image whose data file disappears reads as no disc.
        Image gone;
        QVERIFY(TestCd::MakeImage(&gone, sub(QStringLiteral("gone")), QStringLiteral("gone"), {{0.5, 300}}, false));
        grabber.SetCurrentDrive(grabber.OpenImage(gone.cuePath));
        QCOMPARE(grabber.TrackCount(), 1);
        QVERIFY(QFile::remove(gone.binPath));
        QVERIFY(!grabber.RefreshDisc());
        QCOMPARE(grabber.TrackCount(), 0);
        QVERIFY(!grabber.RipTrack(QDir(dir).filePath(QStringLiteral("gone"))));
    }

    void cddbLookupOfAnImage()
    {
        Image image;
        QVERIFY(TestCd::MakeImage(&image, sub(QStringLiteral("cddb")), QStringLiteral("disc"), kTones, false, 2, kPregapSectors));
        // The query the disc must produce, from the sheet's own numbers: starts after the 150-frame
        // lead-in, total seconds from the disc's very start.
        CddbToc toc;
        for (const int start : std::as_const(image.starts))
            toc.offsets.append(start + 150);
        toc.leadout = image.sectors() + 150;
        const QString discId = CddbDiscIdText(CddbDiscId(toc));
        const QString expectedQuery = QStringLiteral("cddb query %1 3 150 %2 %3 %4")
                                          .arg(discId)
                                          .arg(image.starts.at(1) + 150)
                                          .arg(image.starts.at(2) + 150)
                                          .arg((image.sectors() + 150) / 75);

        TestSupport::HttpPeer peer;
        QByteArray queryAnswer = "200 misc " + discId.toLatin1() + " x\r\n";
        peer.handler = [&](const TestSupport::HttpRequest &request) {
            if (CddbCmd(request).startsWith(QLatin1String("cddb query")))
                return TestSupport::HttpReply{200, queryAnswer};
            return TestSupport::HttpReply{200,
                                          QStringLiteral("210 misc %1 entry follows\r\nDTITLE=王菲 / 天空\r\nDGENRE=流行\r\n"
                                                         "TTITLE0=天空\r\nTTITLE1=我也不想这样\r\nTTITLE2=棋子\r\n.\r\n")
                                              .arg(discId)
                                              .toUtf8()};
        };

        AudioGrabber grabber(nullptr, false);
        QCOMPARE(grabber.CddbUrl(), QUrl(QStringLiteral("http://gnudb.gnudb.org:80/~cddb/cddb.cgi")));
        grabber.SetCddbBaseUrl(CddbUrl(peer));
        grabber.SetMusicBrainzBaseUrl(Refusing());
        const int drive = grabber.OpenImage(image.cuePath);
        const int other = grabber.OpenImage(m_binary.cuePath);
        grabber.SetCurrentDrive(drive);
        QVERIFY2(grabber.QueryCddb(0), qPrintable(grabber.lastError()));
        QCOMPARE(peer.requests.size(), 2);
        QCOMPARE(CddbCmd(peer.requests.at(0)), expectedQuery);
        QCOMPARE(CddbCmd(peer.requests.at(1)), QStringLiteral("cddb read misc ") + discId);
        QCOMPARE(CddbHello(peer.requests.at(0)), QStringLiteral("support sveltra.example Sveltra V4.0"));
        QCOMPARE(grabber.CddbArtist(), QStringLiteral("王菲"));
        QCOMPARE(grabber.CddbAlbum(), QStringLiteral("天空"));
        QCOMPARE(grabber.CddbGenre(), QStringLiteral("流行"));
        QCOMPARE(grabber.NamesFrom(), NamesSource::Cddb);
        const QStringList titles{QStringLiteral("天空"), QStringLiteral("我也不想这样"), QStringLiteral("棋子")};
        for (int track = 1; track <= 3; ++track) {
            grabber.SetCurrentTrack(track);
            QCOMPARE(grabber.CddbTrackTitle(), titles.at(track - 1));
        }
        grabber.SetCurrentTrack(4);
        QCOMPARE(grabber.CddbTrackTitle(), QString());

        // Texts belong to the drive they were looked up for, and survive a refresh of the same disc.
        grabber.SetCurrentDrive(other);
        QCOMPARE(grabber.CddbArtist(), QString());
        grabber.SetCurrentDrive(drive);
        QVERIFY(grabber.RefreshDisc());
        QCOMPARE(grabber.CddbAlbum(), QStringLiteral("天空"));

        // Another disc in the same place: the texts go with the old one.
        Image changed;
        QVERIFY(
            TestCd::MakeImage(&changed, sub(QStringLiteral("cddb")), QStringLiteral("disc"), {{1.0, 300}, {1.0, 400}}, false));
        QVERIFY(grabber.RefreshDisc());
        QCOMPARE(grabber.TrackCount(), 2);
        QCOMPARE(grabber.CddbAlbum(), QString());

        // Not found: false, and every text empty.
        QVERIFY(TestCd::MakeImage(&image, sub(QStringLiteral("cddb")), QStringLiteral("disc"), kTones, false, 2, kPregapSectors));
        QVERIFY(grabber.RefreshDisc());
        QVERIFY(grabber.QueryCddb(0));
        queryAnswer = "202 No match found\r\n";
        QVERIFY(!grabber.QueryCddb(0));
        QCOMPARE(grabber.CddbArtist(), QString());
        QCOMPARE(grabber.CddbGenre(), QString());
        grabber.SetCurrentTrack(1);
        QCOMPARE(grabber.CddbTrackTitle(), QString());

        grabber.SetCddbBaseUrl(QUrl());
        grabber.CddbServer = QStringLiteral("cddb.example");
        grabber.CddbPort = 8080;
        QCOMPARE(grabber.CddbUrl(), QUrl(QStringLiteral("http://cddb.example:8080/~cddb/cddb.cgi")));
    }

    // A cue sheet's TITLE and PERFORMER lines are the image's CD-Text, read as ISO 8859-1 by
    // libcdio whatever the sheet's character code.
    void cdTextOfCueImages_data()
    {
        QTest::addColumn<QByteArray>("album");
        QTest::addColumn<QByteArray>("artist");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QStringList>("expected"); // album, artist, then the tracks' titles
        QTest::newRow("8859-1") << QByteArray("Caf\xe9 del Mar") << QByteArray("M\xfcller") << QByteArray("Tr\xe8s bien")
                                << QStringList{QStringLiteral("Café del Mar"), QStringLiteral("Müller"),
                                               QStringLiteral("Première"), QStringLiteral("Très bien"), QString()};
        QTest::newRow("GBK") << Gbk(QStringLiteral("七里香")) << Gbk(QStringLiteral("周杰伦")) << Gbk(QStringLiteral("借口"))
                             << QStringList{QStringLiteral("七里香"), QStringLiteral("周杰伦"), QStringLiteral("Première"),
                                            QStringLiteral("借口"), QString()};
        QTest::newRow("UTF-8") << QStringLiteral("十一月的萧邦").toUtf8() << QByteArray("Jay") << QStringLiteral("夜曲").toUtf8()
                               << QStringList{QStringLiteral("十一月的萧邦"), QStringLiteral("Jay"), QStringLiteral("Première"),
                                              QStringLiteral("夜曲"), QString()};
    }

    void cdTextOfCueImages()
    {
        QFETCH(QByteArray, album);
        QFETCH(QByteArray, artist);
        QFETCH(QByteArray, second);
        QFETCH(QStringList, expected);
        Image image;
        const TestCd::CueText text{album, artist, {QByteArray("Premi\xe8re"), second}};
        QVERIFY(TestCd::MakeImage(&image, sub(QStringLiteral("text-") + QString::fromLatin1(QTest::currentDataTag())),
                                  QStringLiteral("disc"), {{0.5, 300}, {0.5, 400}, {0.5, 500}}, false, 0, 0, text));
        const CdTextBlock block = ReadCdText(image.cuePath);
        QVERIFY(!block.isEmpty());
        const DiscNames names = CdTextNames(block, ReadDiscToc(image.cuePath));
        QCOMPARE(names.source, NamesSource::CdText);
        QCOMPARE((QStringList{names.album, names.artist} + names.trackTitles), expected);

        // An image without TITLE or PERFORMER lines has no CD-Text; nor has a missing image.
        QVERIFY(ReadCdText(m_binary.cuePath).isEmpty());
        QVERIFY(ReadCdText(m_dir.filePath(QStringLiteral("absent.cue"))).isEmpty());
    }

    // CD-Text packs are read by the character code of their block: Shift-JIS, GB 2312, ISO 8859-1;
    // a Chinese block before the others; a tab repeats the track before. A .cue image's CD-Text
    // file (with the head of a drive's reply) is read the same way.
    void cdTextPacksAreReadByTheirCharacterCode()
    {
        QStringEncoder shiftJis("Shift_JIS");
        const auto sjis = [&shiftJis](const QString &text) { return QByteArray(shiftJis(text)); };
        const QByteArray japanese = CdTextPacks(
            0, 0x80, 0x69,
            {sjis(QStringLiteral("教育")), sjis(QStringLiteral("群青日和")), "\t\t", sjis(QStringLiteral("駅前")) + " 2004"},
            sjis(QStringLiteral("東京事変")));
        const QByteArray chinese = CdTextPacks(
            1, 0x82, 0x75, {Gbk(QStringLiteral("七里香")), Gbk(QStringLiteral("借口")), {}, {}}, Gbk(QStringLiteral("周杰伦")));
        const QByteArray english = CdTextPacks(2, 0x00, 0x09, {"Caf\xe9", "One", "Two", "Three"}, "M\xfcller");

        CdTextBlock block = CdTextFromPacks(japanese + english, 3);
        QCOMPARE(block.language, 0x69);
        QCOMPARE(block.titles,
                 (QStringList{QStringLiteral("教育"), QStringLiteral("群青日和"), QStringLiteral("群青日和"),
                              QStringLiteral("駅前 2004")}));
        QCOMPARE(block.performers.value(0), QStringLiteral("東京事変"));
        block = CdTextFromPacks(english + japanese + chinese, 2); // the Chinese block, up to track 2
        QCOMPARE(block.titles, (QStringList{QStringLiteral("七里香"), QStringLiteral("借口"), QString()}));
        QCOMPARE(block.performers.value(0), QStringLiteral("周杰伦"));
        QCOMPARE(CdTextFromPacks(english, 3).titles,
                 (QStringList{QStringLiteral("Café"), QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));
        QVERIFY(CdTextFromPacks(QByteArray(1000, '\xff'), 3).isEmpty());

        Image image;
        const QString dir = sub(QStringLiteral("text-packs"));
        QVERIFY(TestCd::MakeImage(&image, dir, QStringLiteral("disc"), {{0.5, 300}, {0.5, 400}, {0.5, 500}}, false));
        QFile cdt(dir + QStringLiteral("/disc.cdt"));
        QVERIFY(cdt.open(QIODevice::WriteOnly));
        const quint16 length = quint16(japanese.size() + 2);
        QByteArray head(4, '\0'); // the head of the drive's reply: the length of what follows it
        head[0] = char(length >> 8);
        head[1] = char(length & 0xff);
        cdt.write(head + japanese);
        cdt.close();
        QFile cue(image.cuePath);
        QVERIFY(cue.open(QIODevice::ReadOnly));
        const QByteArray sheet = "CDTEXTFILE \"disc.cdt\"\n" + cue.readAll();
        cue.close();
        QVERIFY(cue.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cue.write(sheet);
        cue.close();
        const DiscNames names = CdTextNames(ReadCdText(image.cuePath), ReadDiscToc(image.cuePath));
        QCOMPARE(names.album, QStringLiteral("教育"));
        QCOMPARE(names.artist, QStringLiteral("東京事変"));
        QCOMPARE(names.trackTitles,
                 (QStringList{QStringLiteral("群青日和"), QStringLiteral("群青日和"), QStringLiteral("駅前 2004")}));
    }

    // CDDB first; what it does not know, MusicBrainz; what neither knows, the disc's CD-Text;
    // else nothing. The cover of a MusicBrainz release arrives later, once per disc.
    void namesFromTheFirstSourceThatKnowsTheDisc()
    {
        Image image;
        const TestCd::CueText text{
            Gbk(QStringLiteral("光盘文字")), Gbk(QStringLiteral("歌手")), {Gbk(QStringLiteral("第一")), {}, {}}};
        QVERIFY(TestCd::MakeImage(&image, sub(QStringLiteral("order")), QStringLiteral("disc"),
                                  {{0.5, 300}, {0.5, 400}, {0.5, 500}}, false, 0, 0, text));
        QByteArray cddbQuery = "202 No match found\r\n";
        TestSupport::HttpPeer cddb;
        cddb.handler = [&](const TestSupport::HttpRequest &request) {
            if (CddbCmd(request).startsWith(QLatin1String("cddb query")))
                return TestSupport::HttpReply{200, cddbQuery};
            return TestSupport::HttpReply{200, "210 rock 1 entry\r\nDTITLE=A / B\r\nDYEAR=1999\r\nTTITLE0=t\r\n.\r\n"};
        };
        int musicBrainzStatus = 200;
        TestSupport::HttpPeer musicBrainz;
        musicBrainz.handler = [&](const TestSupport::HttpRequest &request) {
            const QString discId = request.path.section(QLatin1Char('/'), -1);
            return TestSupport::HttpReply{musicBrainzStatus,
                                          musicBrainzStatus == 200 ? MusicBrainzReply(discId) : QByteArray("{}")};
        };
        TestSupport::HttpPeer covers;
        covers.answerAll({200, kJpeg});

        AudioGrabber grabber(nullptr, false);
        grabber.SetCddbBaseUrl(CddbUrl(cddb));
        grabber.SetMusicBrainzBaseUrl(QUrl(musicBrainz.address()));
        grabber.SetCoverArtBaseUrl(QUrl(covers.address()));
        grabber.SetCurrentDrive(grabber.OpenImage(image.cuePath));
        QSignalSpy arrived(&grabber, &AudioGrabber::CoverArrived);

        // CDDB knows it: MusicBrainz is not asked. The year and the track count go to the tag.
        cddbQuery = "200 rock 0a0b0c03 A / B\r\n";
        QVERIFY(grabber.QueryCddb(0));
        QCOMPARE(grabber.NamesFrom(), NamesSource::Cddb);
        QCOMPARE(grabber.CddbAlbum(), QStringLiteral("B"));
        QCOMPARE(grabber.CddbYear(), QStringLiteral("1999"));
        QCOMPARE(musicBrainz.requests.size(), 0);
        CdTrackFacts tag = grabber.TrackFacts(image.cuePath, 2);
        QCOMPARE(tag.Track, QStringLiteral("2/3"));
        QCOMPARE(tag.Disc, QString());
        QCOMPARE(tag.Year, QStringLiteral("1999"));
        QCOMPARE(tag.Genre, QStringLiteral("rock"));
        QCOMPARE(tag.AlbumArtist, QStringLiteral("A"));
        QVERIFY(tag.Cover.isEmpty());

        // CDDB does not: MusicBrainz names it, by the disc ID of the image's table of contents.
        cddbQuery = "202 No match found\r\n";
        QVERIFY(grabber.QueryCddb(0));
        QCOMPARE(grabber.NamesFrom(), NamesSource::MusicBrainz);
        QCOMPARE(musicBrainz.requests.size(), 1);
        QCOMPARE(musicBrainz.requests.first().path,
                 QStringLiteral("/ws/2/discid/") + MusicBrainzDiscId(MusicBrainzTocOf(ReadDiscToc(image.cuePath))));
        QCOMPARE(grabber.CddbAlbum(), QStringLiteral("叶惠美"));
        QCOMPARE(grabber.CddbArtist(), QStringLiteral("周杰伦"));
        grabber.SetCurrentTrack(3);
        QCOMPARE(grabber.CddbTrackTitle(), QStringLiteral("晴天"));
        QVERIFY(arrived.wait(5000));
        QCOMPARE(covers.requestLines(), QList<QByteArray>{"GET /release/rel-1/front-500 HTTP/1.1"});
        QCOMPARE(grabber.DiscCover(), kJpeg);
        tag = grabber.TrackFacts(image.cuePath, 3);
        QCOMPARE(tag.Track, QStringLiteral("3/3"));
        QCOMPARE(tag.Disc, QStringLiteral("2/2"));
        QCOMPARE(tag.AlbumArtist, QStringLiteral("周杰伦"));
        QCOMPARE(tag.Cover, kJpeg);
        // The same disc looked up again: the cover is not fetched again.
        QVERIFY(grabber.QueryCddb(0));
        QTest::qWait(200);
        QCOMPARE(covers.requests.size(), 1);

        // Neither knows it: the image's CD-Text, Chinese in GBK.
        musicBrainzStatus = 404;
        QVERIFY(grabber.QueryCddb(0));
        QCOMPARE(grabber.NamesFrom(), NamesSource::CdText);
        QCOMPARE(grabber.CddbAlbum(), QStringLiteral("光盘文字"));
        QCOMPARE(grabber.CddbArtist(), QStringLiteral("歌手"));
        grabber.SetCurrentTrack(1);
        QCOMPARE(grabber.CddbTrackTitle(), QStringLiteral("第一"));
        grabber.SetCurrentTrack(2);
        QCOMPARE(grabber.CddbTrackTitle(), QString());

        // No source knows a disc without CD-Text, and every server refuses: nothing, at once.
        AudioGrabber plain(nullptr, false);
        plain.SetCddbBaseUrl(Refusing());
        plain.SetMusicBrainzBaseUrl(Refusing());
        plain.SetCurrentDrive(plain.OpenImage(m_binary.cuePath));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!plain.QueryCddb(0));
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(plain.NamesFrom(), NamesSource::None);
        QVERIFY(plain.lastError().contains(QLatin1String("CD-Text")));
        tag = plain.TrackFacts(m_binary.cuePath, 1);
        QCOMPARE(tag.Track, QStringLiteral("1/3"));
        QCOMPARE(tag.AlbumArtist, QString());
        QVERIFY(plain.TrackFacts(QStringLiteral("/no/such.cue"), 1).Track.isEmpty());
        QVERIFY(plain.TrackFacts(m_binary.cuePath, 9).Track.isEmpty()); // no such track
    }

    // A cover server that takes the request and never answers holds nothing up: the lookup
    // returns with the names, the track's tag simply has no cover, and the fetch gives up later.
    // Silent name servers hold the lookup no longer than their limits.
    void silentServersDelayNothingPastTheirLimits()
    {
        TestSupport::HttpPeer cddb;
        cddb.answerAll({200, "202 No match found\r\n"});
        TestSupport::HttpPeer musicBrainz;
        musicBrainz.handler = [](const TestSupport::HttpRequest &request) {
            return TestSupport::HttpReply{200, MusicBrainzReply(request.path.section(QLatin1Char('/'), -1))};
        };
        TestSupport::HttpPeer covers;
        covers.answerAll(TestSupport::HttpReply::silent());

        AudioGrabber grabber(nullptr, false);
        grabber.SetCddbBaseUrl(CddbUrl(cddb));
        grabber.SetMusicBrainzBaseUrl(QUrl(musicBrainz.address()));
        grabber.SetCoverArtBaseUrl(QUrl(covers.address()));
        grabber.CoverTimeoutMs = 1500;
        grabber.SetCurrentDrive(grabber.OpenImage(m_motorola.cuePath));
        QSignalSpy arrived(&grabber, &AudioGrabber::CoverArrived);
        QVERIFY(grabber.QueryCddb(0));
        QCOMPARE(grabber.NamesFrom(), NamesSource::MusicBrainz);
        QTRY_COMPARE(covers.requests.size(), 1); // asked, and still unanswered
        const CdTrackFacts tag = grabber.TrackFacts(m_motorola.cuePath, 1);
        QCOMPARE(tag.Track, QStringLiteral("1/3"));
        QVERIFY(tag.Cover.isEmpty());
        QTest::qWait(2500);
        QCOMPARE(arrived.size(), 0);
        QVERIFY(grabber.DiscCover().isEmpty());

        // CDDB and MusicBrainz both take the request and never answer: each keeps its own limit,
        // the whole lookup its overall one, and events run meanwhile (windows repaint).
        cddb.answerAll(TestSupport::HttpReply::silent());
        musicBrainz.handler = [](const TestSupport::HttpRequest &) { return TestSupport::HttpReply::silent(); };
        grabber.CddbTimeoutMs = 1000;
        grabber.MusicBrainzTimeoutMs = 1000;
        grabber.LookupLimitMs = 1500;
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(50);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!grabber.QueryCddb(0)); // the image has no CD-Text either
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 1400 && elapsed < 4000, qPrintable(QString::number(elapsed)));
        QVERIFY2(ticks >= 15, qPrintable(QString::number(ticks)));
        QVERIFY2(grabber.lastError().contains(QLatin1String("CDDB: no answer")), qPrintable(grabber.lastError()));
        QVERIFY2(grabber.lastError().contains(QLatin1String("MusicBrainz: no answer")), qPrintable(grabber.lastError()));
    }
};

QTEST_GUILESS_MAIN(TestAudioGrabber)
#include "test_audiograbber.moc"
