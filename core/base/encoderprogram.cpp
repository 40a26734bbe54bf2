#include "core/base/encoderprogram.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace Sveltra {

namespace {

bool IsProgram(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

QString EncoderProgramName()
{
    return QStringLiteral("fastencc");
}

QString FindEncoderProgram(const QString &programFolder, const QString &pathVariable)
{
    const QDir folder(programFolder);
    const QString beside = QDir::cleanPath(folder.filePath(EncoderProgramName()));
    if (!programFolder.isEmpty() && IsProgram(beside))
        return beside;

    if (!programFolder.isEmpty()) {
        const QString installed = QDir::cleanPath(folder.filePath(QStringLiteral("../libexec/sveltra/") + EncoderProgramName()));
        if (IsProgram(installed))
            return installed;
    }

    for (const QString &entry : pathVariable.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        // Only absolute folders: a relative entry would depend on the folder this copy was started in.
        if (QDir::isRelativePath(entry))
            continue;
        const QString candidate = QDir::cleanPath(QDir(entry).filePath(EncoderProgramName()));
        if (IsProgram(candidate))
            return candidate;
    }
    return beside;
}

QString FindEncoderProgram()
{
    return FindEncoderProgram(QCoreApplication::applicationDirPath(), qEnvironmentVariable("PATH"));
}

QProcessEnvironment EncoderEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return environment;
}

} // namespace Sveltra
