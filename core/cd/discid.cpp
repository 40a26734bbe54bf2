// The one place libdiscid is used: the MusicBrainz disc ID of a table of contents.

#include "core/cd/musicbrainz.h"

#include <array>
#include <memory>

#include <discid/discid.h>

namespace Sveltra {

namespace {

struct DiscIdDeleter
{
    void operator()(DiscId *disc) const { discid_free(disc); }
};

} // namespace

QString MusicBrainzDiscId(const MusicBrainzToc &toc)
{
    if (!toc.isValid())
        return {};
    std::array<int, 100> offsets{};
    offsets[0] = toc.offsets.at(0);
    for (int track = toc.first; track <= toc.last; ++track)
        offsets[size_t(track)] = toc.offsets.at(track - toc.first + 1);
    const std::unique_ptr<DiscId, DiscIdDeleter> disc(discid_new());
    if (!disc || !discid_put(disc.get(), toc.first, toc.last, offsets.data()))
        return {};
    return QString::fromLatin1(discid_get_id(disc.get()));
}

} // namespace Sveltra
