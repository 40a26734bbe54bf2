#include "convert/audioinformation.h"

namespace Sveltra {

void AudioInformation::ClearTags()
{
    Title.clear();
    Album.clear();
    Artist.clear();
    Year = 0;
    Comment.clear();
    Genre.clear();
    SoftwareNote.clear();
}

bool AudioInformation::ReadFile(const QString &path)
{
    ClearTags();
    Duration = 0;
    FileSize = 0;
    m_lastError = QStringLiteral("not implemented: ") + path;
    return false;
}

bool AudioInformation::WriteTags(const QString &path)
{
    m_lastError = QStringLiteral("not implemented: ") + path;
    return false;
}

} // namespace Sveltra
