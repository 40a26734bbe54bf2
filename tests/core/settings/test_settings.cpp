// The settings codec, the INI file semantics and loading/saving the encoded settings file.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "core/base/appstate.h"
#include "core/base/instanceguard.h"
#include "core/settings/inifile.h"
#include "core/settings/settings.h"
#include "core/settings/settingscodec.h"

#include <unistd.h>

using namespace Sveltra;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray encodedLine(const QString &key, const QString &value)
{
    return (EncodeSetting(key) + QLatin1Char('=') + EncodeSetting(value)).toUtf8();
}

ApplicationState loaded(const QString &path)
{
    ApplicationState state;
    SettingsFile(path).LoadSettings(state);
    return state;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void encodesAsciiExactly()
    {
        QCOMPARE(EncodeSetting(QStringLiteral("abc")), QStringLiteral("598600602"));
        QCOMPARE(EncodeSetting(QString()), QString());
        // Position 10 adds 0, position 11 adds 1 again.
        QCOMPARE(EncodeSetting(QStringLiteral("AAAAAAAAAAA")), QStringLiteral("566567568569570571572573574565566"));
        QCOMPARE(EncodeSetting(QStringLiteral("CONFIG")), QStringLiteral("568581581574578577"));
    }

    void roundTrips_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("one char") << QStringLiteral("x");
        QTest::newRow("choice") << QStringLiteral("4- 电话音质");
        QTest::newRow("blank inside") << QStringLiteral("1- MP3 播放器");
        QTest::newRow("84 chars") << QString(84, QLatin1Char('z'));
        QTest::newRow("85 chars") << QString(85, QLatin1Char('z'));
        QTest::newRow("long chinese folder") << QStringLiteral("/home/用户/音乐/") + QString(180, QChar(0x6587));
        QTest::newRow("emoji and accents") << QStringLiteral("/tmp/Émile 🎵 ß");
        QTest::newRow("control chars") << QStringLiteral("a\tb\x01");
    }

    void roundTrips()
    {
        QFETCH(QString, text);
        const QString encoded = EncodeSetting(text);
        QVERIFY(encoded.size() % 3 == 0);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9]*$")).match(encoded).hasMatch());
        bool ok = false;
        QCOMPARE(DecodeSetting(encoded, &ok), text);
        QVERIFY(ok);
    }

    void refusesWhatIsNotAnEncoding_data()
    {
        QTest::addColumn<QString>("input");
        QTest::newRow("odd digit count") << QStringLiteral("5986006");
        QTest::newRow("letters") << QStringLiteral("598abc602");
        QTest::newRow("older negative groups") << QStringLiteral("551-11027-12345");
        QTest::newRow("code below 0") << QStringLiteral("499");
        QTest::newRow("code above 255") << QStringLiteral("765");
        QTest::newRow("not utf-8") << QStringLiteral("734"); // byte 0xE9 alone
        QTest::newRow("binary") << QString::fromLatin1("\x01\x02\xff", 3);
    }

    void refusesWhatIsNotAnEncoding()
    {
        QFETCH(QString, input);
        bool ok = true;
        QCOMPARE(DecodeSetting(input, &ok), QString());
        QVERIFY(!ok);
    }

    void iniReplacesInPlaceAndKeepsEverythingElse()
    {
        IniFile ini;
        ini.fromBytes("; comment\r\n[other]\r\nx=1\r\n\r\n[Main]\r\nb=2\r\nkeep=\xff\xfe\r\n\r\n[tail]\r\nz=9\r\n");
        ini.setValue(QStringLiteral("main"), QStringLiteral("B"), QStringLiteral("20"));
        ini.setValue(QStringLiteral("Main"), QStringLiteral("new"), QStringLiteral("n"));
        ini.setValue(QStringLiteral("fresh"), QStringLiteral("k"), QStringLiteral("v"));
        QCOMPARE(ini.toBytes(),
                 QByteArray("; comment\r\n[other]\r\nx=1\r\n\r\n[Main]\r\nB=20\r\nkeep=\xff\xfe\r\nnew=n\r\n\r\n"
                            "[tail]\r\nz=9\r\n\r\n[fresh]\r\nk=v\r\n"));
        QCOMPARE(ini.value(QStringLiteral("MAIN"), QStringLiteral("b")), std::optional<QString>(QStringLiteral("20")));
        QCOMPARE(ini.value(QStringLiteral("Main"), QStringLiteral("x")), std::nullopt);
        QCOMPARE(ini.value(QStringLiteral("nope"), QStringLiteral("x")), std::nullopt);
    }

    void firstStartGivesDefaults()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Sveltra.ini"));
        const ApplicationState s = loaded(path);
        const QString home = QDir::toNativeSeparators(QDir::homePath());
        QCOMPARE(s.SourceFolder, home);
        QCOMPARE(s.TargetFolder, home);
        QCOMPARE(s.KbpsSetting, QStringLiteral("96"));
        QCOMPARE(s.DeviceChoice, QStringLiteral("1- MP3 播放器"));
        QCOMPARE(s.QualityChoice, QStringLiteral("1- CD 音质"));
        QCOMPARE(s.ChannelChoice, QStringLiteral("1- 立体声"));
        QCOMPARE(s.FormatChoice, QStringLiteral("1- MP3"));
        QVERIFY(!s.Level);
        QVERIFY(!QFile::exists(path)); // reading never creates the file
    }

    void savedFileHoldsTheKeysInOrderAsDigits()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/Sveltra.ini"));
        ApplicationState s = loaded(path);
        QVERIFY(SettingsFile(path).SaveSettings(s));

        const QList<QByteArray> lines = readAll(path).split('\n');
        QCOMPARE(lines.size(), 13); // section, eleven keys, and the final line end
        QCOMPARE(lines[0], QByteArray("[") + EncodeSetting(QStringLiteral("CONFIG")).toUtf8() + "]");
        const char *keys[] = {"VERSION", "SOURCE_", "TARGET_", "MCHANNE", "MQUALIT", "MKBPS__",
                              "MDEVICE", "MFORMAT", "MLEVEL_", "SYNCLIB", "SYNCPLY"};
        for (int i = 0; i < 11; ++i) {
            QVERIFY(QRegularExpression(QStringLiteral("^[0-9]+=[0-9]*$")).match(QString::fromUtf8(lines[i + 1])).hasMatch());
            QVERIFY(lines[i + 1].startsWith(QByteArray(EncodeSetting(QString::fromLatin1(keys[i])).toUtf8() + "=")));
        }
        QCOMPARE(lines[1], encodedLine(QStringLiteral("VERSION"), QStringLiteral("04.03.00")));
        QCOMPARE(lines[9], encodedLine(QStringLiteral("MLEVEL_"), QStringLiteral("0")));
        QCOMPARE(lines[10], encodedLine(QStringLiteral("SYNCLIB"), QString())); // none chosen yet
        QVERIFY(lines[12].isEmpty());
    }

    void changedValuesSurviveASaveAndALoad()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Sveltra.ini"));
        ApplicationState s = loaded(path);
        QString folder = QStringLiteral("/数据/我的 音乐/");
        while (folder.size() < 200)
            folder += QStringLiteral("专辑 ");
        folder.truncate(200);
        s.SourceFolder = folder;
        s.TargetFolder = QStringLiteral("/tmp/out put");
        s.ChannelChoice = QStringLiteral("2- 单声道");
        s.QualityChoice = QStringLiteral("3- 磁带音质");
        s.DeviceChoice = QStringLiteral("4- 移动电话");
        s.KbpsSetting = QStringLiteral("128");
        s.FormatChoice = QStringLiteral("2- WMA");
        s.SyncLibrary = QStringLiteral("/数据/音乐库");
        s.SyncPlayer = QStringLiteral("/media/卡 1");
        QVERIFY(SettingsFile(path).SaveSettings(s));

        const ApplicationState back = loaded(path);
        QCOMPARE(back.SourceFolder, folder);
        QCOMPARE(back.TargetFolder, s.TargetFolder);
        QCOMPARE(back.ChannelChoice, s.ChannelChoice);
        QCOMPARE(back.QualityChoice, s.QualityChoice);
        QCOMPARE(back.DeviceChoice, s.DeviceChoice);
        QCOMPARE(back.KbpsSetting, s.KbpsSetting);
        QCOMPARE(back.FormatChoice, QStringLiteral("1- MP3")); // whatever the file holds
        QCOMPARE(back.SyncLibrary, s.SyncLibrary);
        QCOMPARE(back.SyncPlayer, s.SyncPlayer);
    }

    // Levelling is "1" or "0" under MLEVEL_, encoded like every key; anything else is off.
    void levellingSurvivesASaveAndALoad()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Sveltra.ini"));
        ApplicationState s = loaded(path);
        for (const bool on : {true, false, true}) {
            s.Level = on;
            QVERIFY(SettingsFile(path).SaveSettings(s));
            QVERIFY(
                readAll(path).contains(encodedLine(QStringLiteral("MLEVEL_"), on ? QStringLiteral("1") : QStringLiteral("0"))));
            QCOMPARE(loaded(path).Level, on);
        }
        const QByteArray section = "[" + EncodeSetting(QStringLiteral("CONFIG")).toUtf8() + "]";
        for (const QString &stored : {QStringLiteral("yes"), QStringLiteral("2"), QStringLiteral(" 1")}) {
            writeAll(path, section + "\n" + encodedLine(QStringLiteral("MLEVEL_"), stored) + "\n");
            QVERIFY2(!loaded(path).Level, qPrintable(stored));
        }
    }

    void saveKeepsOtherSectionsAndRewritesInPlace()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Sveltra.ini"));
        const QByteArray section = "[" + EncodeSetting(QStringLiteral("CONFIG")).toUtf8() + "]";
        writeAll(path,
                 "[Mine]\nfoo=bar\n" + section + "\n" + encodedLine(QStringLiteral("MQUALIT"), QStringLiteral("2- FM 广播音质"))
                     + "\nunknown=kept\n\n[After]\nx=y\n");
        ApplicationState s = loaded(path);
        QCOMPARE(s.QualityChoice, QStringLiteral("2- FM 广播音质"));
        s.QualityChoice = QStringLiteral("4- 电话音质");
        QVERIFY(SettingsFile(path).SaveSettings(s));

        const QList<QByteArray> lines = readAll(path).split('\n');
        QCOMPARE(lines[0], QByteArray("[Mine]"));
        QCOMPARE(lines[1], QByteArray("foo=bar"));
        QCOMPARE(lines[2], section);
        QCOMPARE(lines[3], encodedLine(QStringLiteral("MQUALIT"), QStringLiteral("4- 电话音质")));
        QCOMPARE(lines[4], QByteArray("unknown=kept"));
        QCOMPARE(lines[5], encodedLine(QStringLiteral("VERSION"), QStringLiteral("04.03.00")));
        QCOMPARE(lines[11], encodedLine(QStringLiteral("MFORMAT"), QStringLiteral("1- MP3")));
        QCOMPARE(lines[12], encodedLine(QStringLiteral("MLEVEL_"), QStringLiteral("0")));
        QCOMPARE(lines[14], encodedLine(QStringLiteral("SYNCPLY"), QString()));
        QCOMPARE(lines[15], QByteArray());
        QCOMPARE(lines[16], QByteArray("[After]"));
        QCOMPARE(lines[17], QByteArray("x=y"));
    }

    void damagedValuesFallBackToTheirDefaults()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Sveltra.ini"));
        const QByteArray section = "[" + EncodeSetting(QStringLiteral("CONFIG")).toUtf8() + "]";
        writeAll(path,
                 section + "\n" + EncodeSetting(QStringLiteral("SOURCE_")).toUtf8() + "=\n" // empty: raw default
                     + EncodeSetting(QStringLiteral("TARGET_")).toUtf8() + "=59860060\n"    // odd digit count
                     + EncodeSetting(QStringLiteral("MCHANNE")).toUtf8() + "=552-1102755\n" // older double-byte form
                     + EncodeSetting(QStringLiteral("MQUALIT")).toUtf8() + "=abc\n"
                     + EncodeSetting(QStringLiteral("MDEVICE")).toUtf8() + "="
                     + EncodeSetting(QStringLiteral("3- Pocket PC")).toUtf8() + "\n");
        const ApplicationState s = loaded(path);
        const QString home = QDir::toNativeSeparators(QDir::homePath());
        QCOMPARE(s.SourceFolder, home);
        QCOMPARE(s.TargetFolder, home);
        QCOMPARE(s.ChannelChoice, QStringLiteral("1- 立体声"));
        QCOMPARE(s.QualityChoice, QStringLiteral("1- CD 音质"));
        QCOMPARE(s.DeviceChoice, QStringLiteral("3- Pocket PC"));
    }

    void binaryAndHugeFilesNeverStopTheStart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Sveltra.ini"));
        QByteArray binary;
        for (int i = 0; i < 70000; ++i)
            binary.append(static_cast<char>((i * 7919) & 0xff));
        writeAll(path, binary);
        QCOMPARE(loaded(path).QualityChoice, QStringLiteral("1- CD 音质"));

        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(huge.resize(IniFile::MaxFileSize + 1));
        huge.close();
        ApplicationState s = loaded(path);
        QCOMPARE(s.DeviceChoice, QStringLiteral("1- MP3 播放器"));
        s.DeviceChoice = QStringLiteral("2- Palm PDA");
        QVERIFY(SettingsFile(path).SaveSettings(s));
        QCOMPARE(loaded(path).DeviceChoice, QStringLiteral("2- Palm PDA"));
    }

    void settingsLiveInTheConfigFolderUnlessAPortableCopyHasThem()
    {
        QTemporaryDir dir;
        const QString program = dir.filePath(QStringLiteral("bin")), config = dir.filePath(QStringLiteral("config"));
        QVERIFY(QDir().mkpath(program));
        const QString inConfig = config + QStringLiteral("/Sveltra.ini");
        const QString beside = program + QStringLiteral("/Sveltra.ini");

        // A writable program folder is not enough: only a file already there makes a portable copy.
        QCOMPARE(SettingsFile::DefaultPath(program, config), inConfig);
        QVERIFY(QDir().mkpath(beside)); // a folder of that name is no settings file
        QCOMPARE(SettingsFile::DefaultPath(program, config), inConfig);
        QVERIFY(QDir().rmdir(beside));
        writeAll(beside, QByteArray());
        QCOMPARE(SettingsFile::DefaultPath(program, config), beside);
        QCOMPARE(SettingsFile::DefaultPath(QString(), config), inConfig);
        QCOMPARE(SettingsFile::WindowStatePath(inConfig), config + QStringLiteral("/window.conf"));
        QCOMPARE(SettingsFile::WindowStatePath(beside), program + QStringLiteral("/window.conf"));

        // The first save creates the configuration folder.
        ApplicationState state = loaded(inConfig);
        QVERIFY(SettingsFile(inConfig).SaveSettings(state));
        QVERIFY(QFile::exists(inConfig));
        QCOMPARE(loaded(inConfig).TargetFolder, state.TargetFolder);

        // The program's own rule follows XDG_CONFIG_HOME.
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        QCoreApplication::setApplicationName(QStringLiteral("Sveltra"));
        const QString path = SettingsFile::DefaultPath();
        saved.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(path, config + QStringLiteral("/Sveltra/Sveltra.ini"));
    }

    void unwritableFolderIsReportedNotFatal()
    {
        if (geteuid() == 0)
            QSKIP("root can write anywhere");
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        ApplicationState s = loaded(dir.filePath(QStringLiteral("Sveltra.ini")));
        QVERIFY(!SettingsFile(dir.filePath(QStringLiteral("Sveltra.ini"))).SaveSettings(s));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void instanceGuardRefusesASecondCopyButNotACrashedOne()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath(QStringLiteral("sveltra.lock"));
        {
            InstanceGuard first(lock);
            QVERIFY(first.acquire());
            QVERIFY(first.acquire()); // asking again is harmless
            InstanceGuard second(lock);
            QVERIFY(!second.acquire());
        }
        // A copy that crashed leaves its lock behind, naming a process that is gone.
        QByteArray content;
        {
            InstanceGuard crashed(lock);
            QVERIFY(crashed.acquire());
            content = readAll(lock);
        }
        QProcess gone;
        gone.start(QStringLiteral("true"), {});
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        QVERIFY(gone.waitForFinished());
        content.replace(0, content.indexOf('\n'), QByteArray::number(deadPid));
        writeAll(lock, content);
        InstanceGuard next(lock);
        QVERIFY(next.acquire());
    }

    void instanceGuardRefusesOnlyALiveCopy()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath(QStringLiteral("sveltra.lock"));
        // A copy in another process holds the lock for as long as it lives ("cat" only keeps
        // flock waiting; it gets no copy of the lock and ends with its input).
        QProcess holder;
        holder.start(QStringLiteral("flock"), {QStringLiteral("-o"), lock, QStringLiteral("cat")});
        QVERIFY(holder.waitForStarted());
        QTRY_VERIFY(!InstanceGuard(lock).acquire());
        holder.kill(); // it dies without a word
        QVERIFY(holder.waitForFinished());
        // Killed at once, flock may not yet have closed the lock in the child that runs cat;
        // that child ends with its input, which the finished process no longer holds open.
        QTRY_VERIFY(InstanceGuard(lock).acquire());

        // What a crash can leave in the file does not matter: an empty file, or the id of a live
        // process that holds no lock.
        writeAll(lock, QByteArray());
        QVERIFY(InstanceGuard(lock).acquire());
        writeAll(lock, QByteArray::number(qint64(getppid())) + "\nsveltra\nhost\n");
        {
            InstanceGuard next(lock);
            QVERIFY(next.acquire());
            QVERIFY(next.isHeld());
            QCOMPARE(readAll(lock), QByteArray::number(QCoreApplication::applicationPid()) + '\n');
        }
    }

    void instanceGuardThatCannotLockStillStarts()
    {
        QTemporaryDir dir;
        const QRegularExpression warning(QStringLiteral("^InstanceGuard: .*starting without"));
        const auto startsUnguarded = [&](const QString &lock) {
            QTest::ignoreMessage(QtWarningMsg, warning);
            InstanceGuard guard(lock);
            QVERIFY(guard.acquire());
            QVERIFY(!guard.isHeld());
            QVERIFY(guard.acquire()); // said once
        };
        startsUnguarded(dir.filePath(QStringLiteral("missing/sveltra.lock")));
        writeAll(dir.filePath(QStringLiteral("file")), "x");
        startsUnguarded(dir.filePath(QStringLiteral("file/sveltra.lock")));

        // A link planted where the lock goes is not followed: what it points at stays untouched.
        writeAll(dir.filePath(QStringLiteral("victim")), "precious");
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("victim")), dir.filePath(QStringLiteral("link.lock"))));
        startsUnguarded(dir.filePath(QStringLiteral("link.lock")));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("victim"))), QByteArray("precious"));

        if (geteuid() != 0) {
            const QString locked = dir.filePath(QStringLiteral("readonly"));
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("readonly")));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
            startsUnguarded(locked + QStringLiteral("/sveltra.lock"));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
