#include "encoder/channelmix.h"

#include <numeric>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace fastencc {

namespace {

// Which side of a stereo downmix a channel belongs to: -1 left, 1 right, 0 both (the centre, the
// low frequencies, a channel whose place is not known).
int sideOf(AVChannel channel)
{
    switch (channel) {
    case AV_CHAN_FRONT_LEFT:
    case AV_CHAN_BACK_LEFT:
    case AV_CHAN_FRONT_LEFT_OF_CENTER:
    case AV_CHAN_SIDE_LEFT:
    case AV_CHAN_TOP_FRONT_LEFT:
    case AV_CHAN_TOP_BACK_LEFT:
    case AV_CHAN_STEREO_LEFT:
    case AV_CHAN_WIDE_LEFT:
    case AV_CHAN_SURROUND_DIRECT_LEFT:
    case AV_CHAN_TOP_SIDE_LEFT:
    case AV_CHAN_BOTTOM_FRONT_LEFT:
        return -1;
    case AV_CHAN_FRONT_RIGHT:
    case AV_CHAN_BACK_RIGHT:
    case AV_CHAN_FRONT_RIGHT_OF_CENTER:
    case AV_CHAN_SIDE_RIGHT:
    case AV_CHAN_TOP_FRONT_RIGHT:
    case AV_CHAN_TOP_BACK_RIGHT:
    case AV_CHAN_STEREO_RIGHT:
    case AV_CHAN_WIDE_RIGHT:
    case AV_CHAN_SURROUND_DIRECT_RIGHT:
    case AV_CHAN_TOP_SIDE_RIGHT:
    case AV_CHAN_BOTTOM_FRONT_RIGHT:
        return 1;
    default:
        return 0;
    }
}

} // namespace

std::vector<double> downmixMatrix(const AVChannelLayout &in, int outChannels)
{
    const int n = in.nb_channels;
    std::vector<double> matrix(static_cast<std::size_t>(n * outChannels), 0.0);
    const bool known = in.order == AV_CHANNEL_ORDER_NATIVE || in.order == AV_CHANNEL_ORDER_CUSTOM;
    for (int c = 0; c < n; ++c) {
        if (outChannels == 1) {
            matrix[static_cast<std::size_t>(c)] = 1.0;
            continue;
        }
        int side = 0;
        if (known)
            side = sideOf(av_channel_layout_channel_from_index(&in, static_cast<unsigned>(c)));
        else if (c + 1 < n || c % 2 == 1)
            side = c % 2 == 0 ? -1 : 1;
        matrix[static_cast<std::size_t>(c)] = side <= 0 ? (side == 0 ? 0.5 : 1.0) : 0.0;
        matrix[static_cast<std::size_t>(n + c)] = side >= 0 ? (side == 0 ? 0.5 : 1.0) : 0.0;
    }
    for (int o = 0; o < outChannels; ++o) {
        const auto row = matrix.begin() + o * n;
        const double sum = std::accumulate(row, row + n, 0.0);
        for (auto g = row; g != row + n; ++g)
            *g = sum > 0 ? *g / sum : 0.0;
    }
    return matrix;
}

} // namespace fastencc
