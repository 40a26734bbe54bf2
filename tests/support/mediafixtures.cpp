#include "tests/support/mediafixtures.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

namespace TestMedia {

bool run(const QString &program, const QStringList &arguments, QByteArray *output)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(120000)) {
        qWarning("%s did not finish: %s", qPrintable(program), qPrintable(p.errorString()));
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool makeTone(const QString &path, double seconds, int rate, int channels, int frequency)
{
    return run(QStringLiteral("sox"),
               {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate), QStringLiteral("-c"),
                QString::number(channels), QStringLiteral("-b"), QStringLiteral("16"), path, QStringLiteral("synth"),
                QString::number(seconds), QStringLiteral("sine"), QString::number(frequency)});
}

bool convert(const QString &input, const QString &output, const QStringList &extra)
{
    return run(QStringLiteral("ffmpeg"),
               QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"), input}
                   + extra + QStringList{output});
}

bool makeId3v1OnlyMp3(const QString &wav, const QString &mp3, const QByteArray &title)
{
    if (!convert(wav, mp3, {QStringLiteral("-id3v2_version"), QStringLiteral("0")}))
        return false;
    QFile file(mp3);
    if (!file.open(QIODevice::Append))
        return false;
    QByteArray tag("TAG");
    tag += title.leftJustified(30, '\0', true);
    tag += QByteArray(30 + 30 + 4 + 30, '\0');
    tag += char(255);
    return file.write(tag) == 128;
}

Probe probe(const QString &path)
{
    QByteArray out;
    Probe result;
    if (!run(QStringLiteral("ffprobe"),
             {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("a:0"),
              QStringLiteral("-show_streams"), QStringLiteral("-show_format"), QStringLiteral("-of"), QStringLiteral("json"),
              path},
             &out))
        return result;
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    const auto streams = root.value(QStringLiteral("streams")).toArray();
    if (!streams.isEmpty())
        result.stream = streams.first().toObject();
    result.format = root.value(QStringLiteral("format")).toObject();
    return result;
}

} // namespace TestMedia
