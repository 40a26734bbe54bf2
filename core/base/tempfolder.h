#pragma once

#include <QString>

namespace Sveltra {

// The system's temporary folder with a trailing separator.
QString GetTempFolder();

} // namespace Sveltra
