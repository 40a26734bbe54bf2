#include "tests/support/urlcatcher.h"

void UrlCatcher::open(const QUrl &url)
{
    urls << url;
}
