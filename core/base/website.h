#pragma once

#include <QString>

namespace Sveltra {

// The product's web site. Every address the program opens or fetches is built from this one
// host, so moving the site means changing one line.
inline QString WebSiteHost()
{
    return QStringLiteral("http://www.sveltra.example");
}

// The technical support page, opened in the user's browser by "技术支持".
inline QString SupportPageUrl()
{
    return WebSiteHost() + QStringLiteral("/sveltra/sveltra.asp");
}

} // namespace Sveltra
