// What a start is asked to do: the command line, where the encoder is found, the temporary
// folders a killed copy left, and the hand-over of files from a second start to the running copy
// over a real local socket.

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <memory>
#include <thread>

#include "core/base/encoderprogram.h"
#include "core/base/instancechannel.h"
#include "core/base/startarguments.h"
#include "core/base/tempfolder.h"
#include "core/base/version.h"

using namespace Sveltra;

Q_DECLARE_METATYPE(StartRequest::Action)

namespace {

void makeProgram(const QString &path, bool executable = true)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        permissions |= QFile::ExeOwner;
    QVERIFY(file.setPermissions(permissions));
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<StartRequest::Action>("action");
        QTest::addColumn<QStringList>("paths");
        using A = StartRequest::Action;
        auto row = [](const char *tag, QStringList args, A action, QStringList paths = {}) {
            args.prepend(QStringLiteral("sveltra"));
            QTest::newRow(tag) << args << action << paths;
        };
        row("nothing", {}, A::Run);
        row("help", {QStringLiteral("--help")}, A::ShowHelp);
        row("short help", {QStringLiteral("-h")}, A::ShowHelp);
        row("help with Qt's options", {QStringLiteral("--help-all")}, A::ShowHelp);
        row("version", {QStringLiteral("--version")}, A::ShowVersion);
        row("short version", {QStringLiteral("-v")}, A::ShowVersion);
        row("help wins over files", {QStringLiteral("a.mp3"), QStringLiteral("--help")}, A::ShowHelp);
        row("unknown option", {QStringLiteral("--frobnicate")}, A::Error);
        row("relative and absolute",
            {QStringLiteral("a.mp3"), QStringLiteral("sub/../音乐/b.wav"), QStringLiteral("/music/c.wma")}, A::Run,
            {QStringLiteral("/home/ann/a.mp3"), QStringLiteral("/home/ann/音乐/b.wav"), QStringLiteral("/music/c.wma")});
        row("folder", {QStringLiteral("albums/")}, A::Run, {QStringLiteral("/home/ann/albums")});
        row("file address", {QStringLiteral("file:///music/a%20b.mp3")}, A::Run, {QStringLiteral("/music/a b.mp3")});
        // A name that only starts like an address is a file of that name.
        row("colon name", {QStringLiteral("file:colon.wav"), QStringLiteral("FILE:/x.mp3")}, A::Run,
            {QStringLiteral("/home/ann/file:colon.wav"), QStringLiteral("/home/ann/FILE:/x.mp3")});
        row("dash name after --", {QStringLiteral("--"), QStringLiteral("-odd.mp3")}, A::Run,
            {QStringLiteral("/home/ann/-odd.mp3")});
        row("window system options are left to Qt",
            {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("-session"), QStringLiteral("x1"),
             QStringLiteral("--style=fusion"), QStringLiteral("-reverse"), QStringLiteral("a.mp3")},
            A::Run, {QStringLiteral("/home/ann/a.mp3")});
        row("empty argument", {QString()}, A::Run);
        row("sync",
            {QStringLiteral("--sync"), QStringLiteral("lib"), QStringLiteral("/media/card/"), QStringLiteral("--dry-run")},
            A::Sync);
        row("sync needs two folders", {QStringLiteral("--sync"), QStringLiteral("lib")}, A::Error);
        row("dry run without sync", {QStringLiteral("--dry-run"), QStringLiteral("a.mp3")}, A::Error);
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(StartRequest::Action, action);
        QFETCH(QStringList, paths);
        const StartRequest request = ParseStartArguments(arguments, QStringLiteral("/home/ann"));
        QCOMPARE(request.action, action);
        QCOMPARE(request.paths, paths);
        switch (action) {
        case StartRequest::Action::ShowHelp:
            QVERIFY(request.text.contains(QLatin1String("--version")));
            QVERIFY(request.text.startsWith(QLatin1String("Usage: sveltra [options] [FILE|FOLDER...]\n")));
            QVERIFY(!request.text.contains(QLatin1String("platform"))); // Qt's own stay hidden
            break;
        case StartRequest::Action::ShowVersion:
            QCOMPARE(request.text, QStringLiteral("Sveltra ") + VersionText() + QLatin1Char('\n'));
            break;
        case StartRequest::Action::Error:
            QVERIFY(request.text.contains(QLatin1String("frobnicate")) || request.text.contains(QLatin1String("--sync")));
            break;
        case StartRequest::Action::Sync:
            QCOMPARE(request.syncLibrary, QStringLiteral("/home/ann/lib"));
            QCOMPARE(request.syncPlayer, QStringLiteral("/media/card"));
            QVERIFY(request.dryRun && !request.yes);
            break;
        case StartRequest::Action::Run:
            QVERIFY(request.text.isEmpty());
            break;
        }
    }

    void encoderIsFoundBesideThenInLibexecThenOnPath()
    {
        QTemporaryDir dir;
        const QString prefix = dir.filePath(QStringLiteral("prefix")), bin = prefix + QStringLiteral("/bin");
        const QString elsewhere = dir.filePath(QStringLiteral("elsewhere")), other = dir.filePath(QStringLiteral("other"));
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QDir().mkpath(other));
        const QString path = other + QLatin1Char(':') + QStringLiteral("relative") + QLatin1Char(':') + elsewhere;

        // Nothing anywhere: the place beside the program is named.
        QCOMPARE(FindEncoderProgram(bin, path), bin + QStringLiteral("/fastencc"));
        makeProgram(elsewhere + QStringLiteral("/fastencc"));
        QCOMPARE(FindEncoderProgram(bin, path), elsewhere + QStringLiteral("/fastencc"));
        // A file that cannot run does not count, neither does a folder of that name.
        makeProgram(prefix + QStringLiteral("/libexec/sveltra/fastencc"), false);
        QVERIFY(QDir().mkpath(other + QStringLiteral("/fastencc")));
        QCOMPARE(FindEncoderProgram(bin, path), elsewhere + QStringLiteral("/fastencc"));
        QVERIFY(QFile::setPermissions(prefix + QStringLiteral("/libexec/sveltra/fastencc"), QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(FindEncoderProgram(bin, path), prefix + QStringLiteral("/libexec/sveltra/fastencc"));
        makeProgram(bin + QStringLiteral("/fastencc"));
        QCOMPARE(FindEncoderProgram(bin, path), bin + QStringLiteral("/fastencc"));

        // A moved tree still finds its own libexec.
        QVERIFY(QFile::remove(bin + QStringLiteral("/fastencc")));
        QVERIFY(QDir().rename(prefix, dir.filePath(QStringLiteral("moved"))));
        QCOMPARE(FindEncoderProgram(dir.filePath(QStringLiteral("moved/bin")), QString()),
                 dir.filePath(QStringLiteral("moved/libexec/sveltra/fastencc")));
    }

    // A folder whose owner was killed during a run goes at the next start; one in use, one
    // without an owner's lock, another name and a link to a stale folder stay.
    void tempFoldersOfGoneProcessesAreRemoved()
    {
        QTemporaryDir parent, elsewhere;
        auto live = std::make_unique<OwnedTempFolder>(parent.path());
        QVERIFY(live->isValid());
        QVERIFY(QFileInfo(live->path()).fileName().startsWith(QLatin1String("sveltra-")));
        QVERIFY(QFile(live->path() + QStringLiteral("/track.wav")).open(QIODevice::WriteOnly));

        // The lock a killed copy leaves: its own record, naming a process that has ended.
        QProcess ended;
        ended.start(QStringLiteral("sleep"), {QStringLiteral("0.1")});
        QVERIFY(ended.waitForStarted());
        const qint64 endedPid = ended.processId();
        QVERIFY(ended.waitForFinished());
        QByteArray record;
        {
            QLockFile own(elsewhere.filePath(QStringLiteral("own.lock")));
            QVERIFY(own.tryLock(0));
            QFile file(elsewhere.filePath(QStringLiteral("own.lock")));
            QVERIFY(file.open(QIODevice::ReadOnly));
            record = file.readAll();
        }
        record = QByteArray::number(endedPid) + record.mid(record.indexOf('\n'));
        const auto folderWithLock = [&](const QString &folder, const QByteArray &lock) {
            QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
            QVERIFY(QFile(folder + QStringLiteral("/sub/~sveltratmp01.wav")).open(QIODevice::WriteOnly));
            if (lock.isEmpty())
                return;
            QFile file(folder + QLatin1Char('/') + OwnedTempFolder::LockFileName());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(lock);
        };
        const QString stale = parent.filePath(QStringLiteral("sveltra-Ab12Cd"));
        const QString unowned = parent.filePath(QStringLiteral("sveltra-Zz99Yy"));
        const QString otherName = parent.filePath(QStringLiteral("sveltra-old"));
        const QString staleElsewhere = elsewhere.filePath(QStringLiteral("sveltra-Qq11Ww"));
        folderWithLock(stale, record);
        folderWithLock(unowned, QByteArray());
        folderWithLock(otherName, record);
        folderWithLock(staleElsewhere, record);
        QVERIFY(QFile::link(staleElsewhere, parent.filePath(QStringLiteral("sveltra-Li9nk0"))));

        QCOMPARE(RemoveStaleTempFolders(parent.path()), 1);
        QVERIFY(!QFileInfo::exists(stale));
        for (const QString &kept : QStringList{unowned, otherName, staleElsewhere + QStringLiteral("/sub/~sveltratmp01.wav"),
                                               live->path() + QStringLiteral("/track.wav")})
            QVERIFY2(QFileInfo::exists(kept), qPrintable(kept));
        QCOMPARE(RemoveStaleTempFolders(parent.path()), 0);

        const QString livePath = live->path();
        live.reset();
        QVERIFY(!QFileInfo::exists(livePath));
    }

    void handOverReachesTheRunningCopy()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("sveltra.socket"));
        const QStringList paths = {QStringLiteral("/music/一.mp3"), QStringLiteral("/music/with\nnewline.wav"),
                                   QStringLiteral("/albums")};

        // No copy listens: the second start gives up when its time is up and says why.
        QString error;
        QVERIFY(!InstanceChannel::SendToRunningCopy(name, paths, 300, &error));
        QVERIFY(!error.isEmpty());

        // A socket left behind by a copy that crashed does not stop the next one from listening.
        {
            QFile stale(name);
            QVERIFY(stale.open(QIODevice::WriteOnly));
        }
        InstanceServer server(name);
        QVERIFY(server.listen());
        QSignalSpy received(&server, &InstanceServer::pathsReceived);

        // The second start blocks on its own thread, as it does in its own process.
        bool sent = false;
        std::thread second([&] { sent = InstanceChannel::SendToRunningCopy(name, paths, 5000, &error); });
        QTRY_COMPARE(received.size(), 1);
        second.join();
        QVERIFY2(sent, qPrintable(error));
        QCOMPARE(received.at(0).at(0).toStringList(), paths);

        // A start that connects before the server listens is served once it does.
        InstanceServer late(dir.filePath(QStringLiteral("late.socket")));
        QSignalSpy lateReceived(&late, &InstanceServer::pathsReceived);
        std::thread early(
            [&] { sent = InstanceChannel::SendToRunningCopy(late.name(), {QStringLiteral("/a.mp3")}, 5000, &error); });
        QTest::qWait(300);
        QVERIFY(late.listen());
        QTRY_COMPARE(lateReceived.size(), 1);
        early.join();
        QVERIFY2(sent, qPrintable(error));
    }

    void handOverDropsWhatIsNoMessage()
    {
        QTemporaryDir dir;
        InstanceServer server(dir.filePath(QStringLiteral("sveltra.socket")));
        QVERIFY(server.listen());
        QSignalSpy received(&server, &InstanceServer::pathsReceived);

        auto sendRaw = [&](const QByteArray &bytes) {
            QLocalSocket socket;
            socket.connectToServer(server.name());
            QVERIFY(socket.waitForConnected(2000));
            socket.write(bytes);
            socket.flush();
            QTRY_COMPARE(socket.state(), QLocalSocket::UnconnectedState);
            QCOMPARE(socket.bytesAvailable(), 0); // no confirmation
        };
        sendRaw(QByteArray("GET / HTTP/1.0\r\n\r\n"));
        // A length past the limit is refused before any of it is read.
        QByteArray huge = InstanceChannel::EncodeMessage({});
        huge[4] = char(0x7f);
        sendRaw(huge);
        QCOMPARE(received.size(), 0);

        // A message that comes in pieces is put together.
        const QByteArray message = InstanceChannel::EncodeMessage({QStringLiteral("/x.mp3"), QStringLiteral("/y.wav")});
        QLocalSocket socket;
        socket.connectToServer(server.name());
        QVERIFY(socket.waitForConnected(2000));
        for (char byte : message) {
            socket.putChar(byte);
            socket.flush();
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toStringList(), QStringList({QStringLiteral("/x.mp3"), QStringLiteral("/y.wav")}));
        QTRY_VERIFY(socket.bytesAvailable() > 0 || socket.waitForReadyRead(100));
        char answer = 0;
        QVERIFY(socket.getChar(&answer));
        QCOMPARE(answer, 'K');

        // Thirty unfinished messages of the longest length, a megabyte of each sent: what they
        // state is counted as soon as their headers are in, so all but two are dropped at once
        // and what is held stays within the bound, while the server still serves.
        std::vector<std::unique_ptr<QLocalSocket>> flood;
        QByteArray header = InstanceChannel::EncodeMessage({});
        qToBigEndian(quint32(InstanceChannel::MaxMessageBytes), header.data() + 4);
        const QByteArray megabyte(1024 * 1024, 'a');
        for (int i = 0; i < 30; ++i) {
            flood.push_back(std::make_unique<QLocalSocket>());
            flood.back()->connectToServer(server.name());
            QVERIFY(flood.back()->waitForConnected(2000));
            flood.back()->write(header + megabyte);
        }
        const auto dropped = [&flood] {
            return std::count_if(flood.begin(), flood.end(),
                                 [](const auto &s) { return s->state() == QLocalSocket::UnconnectedState; });
        };
        QTRY_COMPARE_WITH_TIMEOUT(dropped(), 28, 5000);
        QTRY_COMPARE(server.heldBytes(), 2 * (8 + megabyte.size()));
        QVERIFY(server.heldBytes() <= InstanceChannel::MaxHeldBytes);
        flood.clear(); // the two held go when their senders do
        QTRY_COMPARE(server.heldBytes(), 0);
        bool sent = false;
        QString error;
        std::thread second(
            [&] { sent = InstanceChannel::SendToRunningCopy(server.name(), {QStringLiteral("/z.mp3")}, 5000, &error); });
        QTRY_COMPARE(received.size(), 2);
        second.join();
        QVERIFY2(sent, qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
