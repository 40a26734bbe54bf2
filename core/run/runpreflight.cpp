#include "core/run/runpreflight.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QtDebug>

#include "core/joblist/jobrows.h"

namespace Sveltra {

QString RunPreflight(const JobRows &rows, const QString &outputFolder)
{
    bool queued = false;
    for (int row = 0; row < rows.rowCount() && !queued; ++row)
        queued = rows.status(row) == JobStatus::Queued;
    if (!queued)
        return QCoreApplication::translate("Sveltra::RunPreflight", "没有等待压缩的文件");

    const QString folder = outputFolder.isEmpty() ? QDir::currentPath() : outputFolder;
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        qWarning("Cannot make the output folder %s", qPrintable(folder));
        return QCoreApplication::translate("Sveltra::RunPreflight", "无法创建输出文件夹：") + folder;
    }
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".sveltra-probe-XXXXXX")));
    if (!probe.open()) {
        qWarning("Cannot write into the output folder %s: %s", qPrintable(folder), qPrintable(probe.errorString()));
        return QCoreApplication::translate("Sveltra::RunPreflight", "无法写入输出文件夹：") + folder;
    }
    return {};
}

} // namespace Sveltra
