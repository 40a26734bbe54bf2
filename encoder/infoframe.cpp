#include "encoder/infoframe.h"

#include <algorithm>
#include <array>

namespace fastencc {

namespace {

// "Info" tag: name, flags, frames, bytes, 100-entry seek table, quality.
constexpr std::size_t kXingSize = 4 + 4 + 4 + 4 + 100 + 4;
// LAME extension after it, ending with the CRC of everything before that CRC.
constexpr std::size_t kLameExtensionSize = 36;
constexpr std::uint32_t kAllXingFields = 0x0F; // frames, bytes, seek table, quality
constexpr int kVbrMethodCbr = 1;
constexpr int kNspsytuneFlag = 1;

constexpr std::array<int, 15> kMpeg1Kbps{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 15> kMpeg2Kbps{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

struct HeaderInfo
{
    bool mpeg1 = false;
    bool mono = false;
    int sampleRate = 0;
    int bitrateIndex = 0;
};

HeaderInfo parse(std::uint32_t header)
{
    static constexpr std::array<std::array<int, 3>, 4> kRates{{
        {11025, 12000, 8000},  // MPEG-2.5
        {0, 0, 0},             // reserved
        {22050, 24000, 16000}, // MPEG-2
        {44100, 48000, 32000}, // MPEG-1
    }};
    HeaderInfo info;
    const unsigned version = (header >> 19) & 3;
    const unsigned rateIndex = std::min((header >> 10) & 3, 2u);
    info.mpeg1 = version == 3;
    info.mono = ((header >> 6) & 3) == 3;
    info.sampleRate = kRates[version][rateIndex];
    info.bitrateIndex = static_cast<int>((header >> 12) & 15);
    return info;
}

std::size_t sideInfoSize(const HeaderInfo &h)
{
    if (h.mpeg1)
        return h.mono ? 17 : 32;
    return h.mono ? 9 : 17;
}

std::size_t frameSize(const HeaderInfo &h, int bitrateIndex)
{
    const int kbps = (h.mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[static_cast<std::size_t>(bitrateIndex)];
    if (h.sampleRate == 0)
        return 0;
    return static_cast<std::size_t>((h.mpeg1 ? 144000 : 72000) * kbps / h.sampleRate);
}

std::size_t tagEnd(const HeaderInfo &h)
{
    return 4 + sideInfoSize(h) + kXingSize + kLameExtensionSize;
}

// The bit-rate index of the info frame: the stream's own, when its frame holds the tag; else
// the smallest whose frame does (0 for a header that is no frame's).
int infoBitrateIndex(const HeaderInfo &h)
{
    if (h.bitrateIndex <= 0 || h.bitrateIndex >= 15 || h.sampleRate == 0)
        return 0;
    if (frameSize(h, h.bitrateIndex) >= tagEnd(h))
        return h.bitrateIndex;
    for (int index = 1; index < 15; ++index) {
        if (frameSize(h, index) >= tagEnd(h))
            return index;
    }
    return 0;
}

void put32(unsigned char *at, std::uint32_t value)
{
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
}

void put16(unsigned char *at, std::uint16_t value)
{
    at[0] = static_cast<unsigned char>(value >> 8);
    at[1] = static_cast<unsigned char>(value);
}

constexpr std::array<std::uint16_t, 256> makeCrcTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        table[i] = static_cast<std::uint16_t>(crc);
    }
    return table;
}
constexpr auto kCrcTable = makeCrcTable();

} // namespace

std::uint16_t crc16(std::span<const unsigned char> bytes, std::uint16_t crc)
{
    unsigned value = crc;
    for (unsigned char b : bytes)
        value = (value >> 8) ^ kCrcTable[(value ^ b) & 0xFF];
    return static_cast<std::uint16_t>(value);
}

std::size_t frameSizeOf(std::uint32_t header)
{
    const HeaderInfo h = parse(header);
    const std::size_t padding = (header >> 9) & 1;
    return frameSize(h, h.bitrateIndex) + padding;
}

bool frameHoldsInfoTag(std::uint32_t header)
{
    const HeaderInfo h = parse(header);
    return infoBitrateIndex(h) > 0 && infoBitrateIndex(h) == h.bitrateIndex;
}

std::size_t infoFrameSize(std::uint32_t header)
{
    const HeaderInfo h = parse(header);
    const int index = infoBitrateIndex(h);
    return index > 0 ? frameSize(h, index) : 0;
}

std::vector<unsigned char> buildInfoFrame(const InfoFrameFields &f)
{
    const HeaderInfo h = parse(f.header);
    const int index = infoBitrateIndex(h);
    if (index == 0)
        return {};
    std::vector<unsigned char> frame(frameSize(h, index), 0);
    unsigned char *p = frame.data();

    // The stream's header without padding, at the info frame's bit rate; side info stays zero.
    const std::uint32_t header = (f.header & ~0xF200u) | (static_cast<std::uint32_t>(index) << 12);
    put32(p, header);
    p += 4 + sideInfoSize(h);

    std::copy_n("Info", 4, p);
    put32(p + 4, kAllXingFields);
    put32(p + 8, f.musicFrames);
    put32(p + 12, f.fileBytes);
    // Seek table: where each percent of the stream starts, as a 256th of the file. Frames of a
    // constant bit rate differ by at most a padding byte, so the positions are linear.
    const double infoBytes = static_cast<double>(frame.size());
    const double musicBytes = f.fileBytes > infoBytes ? f.fileBytes - infoBytes : 0.0;
    for (int i = 0; i < 100; ++i) {
        const double position = infoBytes + musicBytes * i / 100.0;
        const double entry = f.fileBytes > 0 ? 256.0 * position / f.fileBytes : 0.0;
        p[16 + i] = static_cast<unsigned char>(std::min(255.0, entry));
    }
    put32(p + 116, static_cast<std::uint32_t>(f.quality));
    p += kXingSize;

    // LAME extension.
    std::string name = f.encoder.substr(0, 9);
    name.resize(9, ' ');
    std::copy_n(name.data(), 9, p);
    p[9] = static_cast<unsigned char>(kVbrMethodCbr); // tag revision 0
    p[10] = static_cast<unsigned char>(std::clamp((f.lowpassHz + 50) / 100, 0, 255));
    // p[11..18]: peak and ReplayGain, not measured.
    p[19] = static_cast<unsigned char>((kNspsytuneFlag << 4) | (f.athType & 15));
    p[20] = static_cast<unsigned char>(std::clamp(f.bitrateKbps, 0, 255));
    const std::uint32_t delays = (static_cast<std::uint32_t>(std::clamp(f.encoderDelay, 0, 4095)) << 12)
        | static_cast<std::uint32_t>(std::clamp(f.padding, 0, 4095));
    p[21] = static_cast<unsigned char>(delays >> 16);
    p[22] = static_cast<unsigned char>(delays >> 8);
    p[23] = static_cast<unsigned char>(delays);
    // Noise shaping, stereo mode (0 mono, 3 joint stereo), "unusual settings" (LAME sets it for
    // a given rate of 32 kHz or less) and the given rate's class.
    const int stereoMode = h.mono ? 0 : 3;
    const int unusual = f.sampleRate <= 32000 ? 1 : 0;
    const int sourceClass = f.sampleRate <= 32000 ? 0 : f.sampleRate <= 44100 ? 1 : f.sampleRate <= 48000 ? 2 : 3;
    p[24] = static_cast<unsigned char>((f.noiseShaping & 3) | (stereoMode << 2) | (unusual << 5) | (sourceClass << 6));
    // p[25]: MP3 gain, none.
    put16(p + 26, static_cast<std::uint16_t>(std::clamp(f.bitrateKbps, 0, 2047))); // preset
    put32(p + 28, f.fileBytes);
    put16(p + 32, f.musicCrc);
    const std::size_t crcOffset = static_cast<std::size_t>(p + 34 - frame.data());
    put16(p + 34, crc16(std::span(frame.data(), crcOffset)));
    return frame;
}

} // namespace fastencc
