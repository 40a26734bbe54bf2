#pragma once

#include <QString>

#include "core/base/buildinfo.h"

namespace Sveltra {

// The product's web site, without a trailing slash. Every address the program opens or fetches
// is built from it; it is the build setting SVELTRA_WEBSITE (https://www.sveltra.example unless
// whoever builds Sveltra names their own), so moving the site needs no change to the code.
inline QString WebSiteHost()
{
    return QString::fromUtf8(Build::WebSite);
}

// The technical support page, opened in the user's browser by "技术支持".
inline QString SupportPageUrl()
{
    return WebSiteHost() + QStringLiteral("/sveltra/sveltra.asp");
}

} // namespace Sveltra
