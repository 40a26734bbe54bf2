#include "encoder/mp3copy.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "encoder/infoframe.h"
#include "encoder/outputfile.h"

namespace fastencc {

namespace {

constexpr std::array<int, 15> kMpeg1Kbps{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 15> kMpeg2Kbps{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::array<std::array<int, 3>, 4> kRates{{
    {11025, 12000, 8000},  // MPEG-2.5
    {0, 0, 0},             // reserved
    {22050, 24000, 16000}, // MPEG-2
    {44100, 48000, 32000}, // MPEG-1
}};

// Junk allowed before the first frame (padding after an ID3v2 tag, a stray byte or two).
constexpr std::uint64_t kMaxLeadingJunk = 64 * 1024;
constexpr std::size_t kMaxFrameSize = 2881; // MPEG-1, 320 kbit/s, 32 kHz, padded
constexpr std::size_t kWindowSize = 256 * 1024;

std::uint16_t be16(const unsigned char *p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// Random access to the file's bytes; reads past the end come back short.
class Bytes
{
public:
    virtual ~Bytes() = default;
    virtual std::uint64_t size() const = 0;
    // Up to n bytes at offset into out; returns how many there were, or -1 on a read error.
    virtual long read(std::uint64_t offset, std::size_t n, unsigned char *out) = 0;
};

class MemoryBytes final : public Bytes
{
public:
    explicit MemoryBytes(std::span<const unsigned char> data)
        : m_data(data)
    {
    }
    std::uint64_t size() const override { return m_data.size(); }
    long read(std::uint64_t offset, std::size_t n, unsigned char *out) override
    {
        if (offset >= m_data.size())
            return 0;
        const std::size_t count = std::min<std::uint64_t>(n, m_data.size() - offset);
        std::memcpy(out, m_data.data() + offset, count);
        return static_cast<long>(count);
    }

private:
    std::span<const unsigned char> m_data;
};

// A file read through a window that moves forward with the scan, so memory stays small
// whatever the file's size.
class FileBytes final : public Bytes
{
public:
    FileBytes(int fd, std::uint64_t size)
        : m_fd(fd)
        , m_size(size)
        , m_window(kWindowSize)
    {
    }
    std::uint64_t size() const override { return m_size; }
    long read(std::uint64_t offset, std::size_t n, unsigned char *out) override
    {
        if (offset >= m_size)
            return 0;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, m_size - offset));
        if (offset < m_start || offset + n > m_start + m_filled) {
            m_start = offset;
            m_filled = 0;
            while (m_filled < m_window.size()) {
                const ssize_t got = ::pread(m_fd, m_window.data() + m_filled, m_window.size() - m_filled,
                                            static_cast<off_t>(m_start + m_filled));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0) {
                    m_error = errno;
                    return -1;
                }
                if (got == 0)
                    break;
                m_filled += static_cast<std::size_t>(got);
            }
            n = std::min(n, m_filled);
        }
        std::memcpy(out, m_window.data() + (offset - m_start), n);
        return static_cast<long>(n);
    }
    int error() const { return m_error; }

private:
    int m_fd;
    std::uint64_t m_size;
    std::vector<unsigned char> m_window;
    std::uint64_t m_start = 0;
    std::size_t m_filled = 0;
    int m_error = 0;
};

// The header at offset, or an invalid one when there is none (or not all four bytes).
Mp3Header headerAt(Bytes &bytes, std::uint64_t offset)
{
    unsigned char b[4];
    if (bytes.read(offset, 4, b) != 4)
        return {};
    return parseMp3Header(bigEndian32(b));
}

bool startsWith(Bytes &bytes, std::uint64_t offset, const char *text)
{
    const std::size_t n = std::strlen(text);
    unsigned char b[16];
    return bytes.read(offset, n, b) == static_cast<long>(n) && std::memcmp(b, text, n) == 0;
}

std::uint32_t littleEndian32(const unsigned char *p)
{
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

// The number written as count decimal digits at p, or -1 when they are not all digits.
long decimal(const unsigned char *p, int count)
{
    long value = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        value = value * 10 + (p[i] - '0');
    }
    return value;
}

// Whether the 32 bytes at h are the footer of an APE tag of size bytes (its header not
// counted) with items items.
bool apeFooter(const unsigned char *h, std::uint64_t size, std::uint32_t items)
{
    const std::uint32_t version = littleEndian32(h + 8);
    return std::memcmp(h, "APETAGEX", 8) == 0 && (version == 1000 || version == 2000) && littleEndian32(h + 12) == size
        && littleEndian32(h + 16) == items && (h[23] & 0x20) == 0;
}

// The end of an APE tag without a header (APEv1, or APEv2 written without one) whose first item
// starts at offset, or offset when there is none there. Such a tag is known only by walking its
// items up to the footer, whose size and item count must agree with the walk.
std::uint64_t apeTagWithoutHeader(Bytes &bytes, std::uint64_t offset)
{
    constexpr std::uint32_t kMostItems = 65536;
    unsigned char b[264];
    std::uint64_t at = offset;
    for (std::uint32_t items = 0; items <= kMostItems; ++items) {
        const long got = bytes.read(at, sizeof b, b);
        if (got >= 32 && apeFooter(b, at + 32 - offset, items))
            return at + 32;
        // An item: value size, flags, a key of 2 to 255 printable characters ending in a zero
        // byte, then the value.
        if (got < 11)
            return offset;
        std::size_t key = 8;
        while (key < static_cast<std::size_t>(got) && b[key] >= 0x20 && b[key] <= 0x7E)
            ++key;
        if (key - 8 < 2 || key - 8 > 255 || key >= static_cast<std::size_t>(got) || b[key] != 0)
            return offset;
        at += key + 1 + littleEndian32(b);
        if (at > bytes.size())
            return offset;
    }
    return offset;
}

// The end of the Lyrics3 tag at offset ("LYRICSBEGIN"), or offset when there is none. Version 2
// is walked field by field (a three-letter name, five digits of size, the text) up to the six
// digits of its size and "LYRICS200", which must count the bytes walked; version 1 ends with
// "LYRICSEND" within 5100 bytes of text.
std::uint64_t lyrics3Tag(Bytes &bytes, std::uint64_t offset)
{
    if (!startsWith(bytes, offset, "LYRICSBEGIN"))
        return offset;
    constexpr int kMostFields = 1000;
    unsigned char b[16];
    std::uint64_t at = offset + 11;
    for (int field = 0; field < kMostFields; ++field) {
        if (bytes.read(at, 15, b) != 15)
            break;
        if (std::memcmp(b + 6, "LYRICS200", 9) == 0 && decimal(b, 6) == static_cast<long>(at - offset))
            return at + 15;
        const long size = decimal(b + 3, 5);
        if (size < 0 || !std::all_of(b, b + 3, [](unsigned char c) { return c >= 'A' && c <= 'Z'; }))
            break;
        at += 8 + static_cast<std::uint64_t>(size);
    }
    std::vector<unsigned char> text(11 + 5100 + 9);
    const long got = bytes.read(offset, text.size(), text.data());
    for (long i = 11; i + 9 <= got; ++i) {
        if (std::memcmp(&text[static_cast<std::size_t>(i)], "LYRICSEND", 9) == 0)
            return offset + static_cast<std::uint64_t>(i) + 9;
    }
    return offset;
}

// Where the bytes go on after the tags at offset (offset itself when there are none there):
// ID3v2, ID3v1, APE (with or without a header) and Lyrics3. A tag counts only when it ends
// within the file.
std::uint64_t skipTags(Bytes &bytes, std::uint64_t offset)
{
    unsigned char h[32];
    for (;;) {
        std::uint64_t next = offset;
        if (bytes.read(offset, 32, h) == 32 && std::memcmp(h, "APETAGEX", 8) == 0 && (h[23] & 0x20) != 0) {
            // The header's size counts the items and the footer.
            next = offset + 32 + littleEndian32(h + 12);
        } else if (bytes.read(offset, 10, h) == 10 && std::memcmp(h, "ID3", 3) == 0 && h[3] != 0xFF && h[4] != 0xFF
                   && ((h[6] | h[7] | h[8] | h[9]) & 0x80) == 0) {
            const std::uint64_t size = (std::uint64_t{h[6]} << 21) | (std::uint64_t{h[7]} << 14) | (std::uint64_t{h[8]} << 7)
                | h[9];
            next = offset + 10 + size + ((h[5] & 0x10) ? 10 : 0);
        } else if (startsWith(bytes, offset, "TAG")) {
            next = offset + 128; // ID3v1: always 128 bytes
        } else if (startsWith(bytes, offset, "LYRICSBEGIN")) {
            next = lyrics3Tag(bytes, offset);
        } else {
            next = apeTagWithoutHeader(bytes, offset);
        }
        if (next == offset || next > bytes.size())
            return offset;
        offset = next;
    }
}

// Whether what lies at offset ends the audio cleanly: nothing but tags, then the end of the
// file or zero bytes to it. A tag followed by anything else is no end: a file joined from parts
// goes on after it.
bool endsCleanly(Bytes &bytes, std::uint64_t offset)
{
    offset = skipTags(bytes, offset);
    std::array<unsigned char, 4096> chunk{};
    for (std::uint64_t at = offset; at < bytes.size();) {
        const long n = bytes.read(at, chunk.size(), chunk.data());
        if (n <= 0)
            return false;
        if (std::any_of(chunk.begin(), chunk.begin() + n, [](unsigned char c) { return c != 0; }))
            return false;
        at += static_cast<std::uint64_t>(n);
    }
    return true;
}

// Whether a frame at offset starts a stream: its successor is a frame of the same stream or
// the clean end.
bool startsStream(Bytes &bytes, std::uint64_t offset, const Mp3Header &h)
{
    const Mp3Header next = headerAt(bytes, offset + h.size);
    return (next.valid && next.sameStream(h)) || (offset + h.size <= bytes.size() && endsCleanly(bytes, offset + h.size));
}

// The first frame at or after offset (within the junk allowed before a stream) that a frame of
// the same stream follows: moves offset there and returns its header, or an invalid one.
Mp3Header findStream(Bytes &bytes, std::uint64_t &offset)
{
    const std::uint64_t searchEnd = std::min(bytes.size(), offset + kMaxLeadingJunk);
    for (; offset < searchEnd; ++offset) {
        const Mp3Header h = headerAt(bytes, offset);
        if (h.valid && startsStream(bytes, offset, h))
            return h;
    }
    return {};
}

std::size_t sideInfoSize(const Mp3Header &h)
{
    if (h.mpeg1)
        return h.mono ? 17 : 32;
    return h.mono ? 9 : 17;
}

// Whether frame (the stream's first) is an info frame, and so holds no audio.
bool isInfoFrame(std::span<const unsigned char> frame, const Mp3Header &h)
{
    const std::size_t xing = 4 + sideInfoSize(h);
    if (frame.size() >= xing + 8 && (std::memcmp(&frame[xing], "Xing", 4) == 0 || std::memcmp(&frame[xing], "Info", 4) == 0))
        return true;
    return frame.size() >= 36 + 18 && std::memcmp(&frame[36], "VBRI", 4) == 0;
}

// Whether frame is an info frame as encoders write them, with empty side information: one
// found amid the audio frames, where an audio frame's bytes might by chance spell the tag's name.
bool heldNoAudio(std::span<const unsigned char> frame, const Mp3Header &h)
{
    const std::size_t side = sideInfoSize(h);
    return frame.size() >= 4 + side
        && std::all_of(frame.begin() + 4, frame.begin() + 4 + static_cast<long>(side), [](unsigned char c) { return c == 0; })
        && isInfoFrame(frame, h);
}

// Whether the info frame states what the copy will hold: frames audio frames of audioBytes
// bytes whose CRC is musicCrc, after the info frame.
bool infoFrameTellsTruth(std::span<const unsigned char> frame, const Mp3Header &h, std::uint64_t frames, std::uint64_t audioBytes,
                         std::uint16_t musicCrc)
{
    const std::uint64_t streamBytes = frame.size() + audioBytes;
    if (frame.size() >= 54 && std::memcmp(&frame[36], "VBRI", 4) == 0) {
        const std::uint32_t bytes = bigEndian32(&frame[46]);
        return bigEndian32(&frame[50]) == frames && (bytes == streamBytes || bytes == audioBytes);
    }
    std::size_t at = 4 + sideInfoSize(h);
    const std::uint32_t flags = bigEndian32(&frame[at + 4]);
    at += 8;
    const auto field = [&](std::uint32_t flag, std::size_t size, std::uint32_t &value) {
        if (!(flags & flag))
            return true;
        if (at + size > frame.size())
            return false;
        if (size == 4)
            value = bigEndian32(&frame[at]);
        at += size;
        return true;
    };
    std::uint32_t frameCount = static_cast<std::uint32_t>(frames);
    std::uint32_t byteCount = static_cast<std::uint32_t>(streamBytes);
    std::uint32_t ignored = 0;
    if (!field(1, 4, frameCount) || !field(2, 4, byteCount) || !field(4, 100, ignored) || !field(8, 4, ignored))
        return false;
    if (frameCount != frames || byteCount != streamBytes)
        return false;
    // A LAME extension is known by the CRC that closes it; its music length and CRC must hold too.
    if (at + 36 <= frame.size() && crc16(frame.first(at + 34)) == be16(&frame[at + 34]))
        return bigEndian32(&frame[at + 28]) == streamBytes && be16(&frame[at + 32]) == musicCrc;
    return true;
}

// The encoder delay and padding that the LAME extension of an Xing or Info frame states, as
// decoders read them; false when the frame has none.
bool lameDelays(std::span<const unsigned char> frame, const Mp3Header &h, int &delay, int &padding)
{
    std::size_t at = 4 + sideInfoSize(h);
    if (frame.size() < at + 8 || (std::memcmp(&frame[at], "Xing", 4) != 0 && std::memcmp(&frame[at], "Info", 4) != 0))
        return false;
    const std::uint32_t flags = bigEndian32(&frame[at + 4]);
    at += 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
    if (at + 24 > frame.size())
        return false;
    const auto name = [&](const char *text) { return std::memcmp(&frame[at], text, 4) == 0; };
    if (!name("LAME") && !name("Lavf") && !name("Lavc"))
        return false;
    delay = (frame[at + 21] << 4) | (frame[at + 22] >> 4);
    padding = ((frame[at + 22] & 0x0F) << 8) | frame[at + 23];
    return true;
}

// Whether the frame at offset, of a stream whose frames have header h, is an info frame.
bool infoFrameAt(Bytes &bytes, std::uint64_t offset, const Mp3Header &h, std::vector<unsigned char> &frame)
{
    frame.resize(h.size);
    return bytes.read(offset, h.size, frame.data()) == static_cast<long>(h.size) && isInfoFrame(frame, h);
}

Mp3Scan scan(Bytes &bytes)
{
    Mp3Scan result;
    const auto fail = [&](std::string why) {
        result.copyable = false;
        result.parts.clear();
        result.why = std::move(why);
        return result;
    };

    // The first frame: the first header after the tags that a frame of the same stream follows.
    std::uint64_t offset = skipTags(bytes, 0);
    const Mp3Header first = findStream(bytes, offset);
    if (!first.valid)
        return fail("no MPEG layer III frames at the start");
    result.sampleRate = first.sampleRate;

    std::vector<unsigned char> firstFrame;
    if (infoFrameAt(bytes, offset, first, firstFrame)) {
        result.infoFrame = std::move(firstFrame);
        offset += first.size;
    }
    result.audioStart = offset;

    std::uint16_t musicCrc = 0;
    std::uint64_t audioBytes = 0;
    std::uint64_t partStart = offset;
    const auto endPart = [&] {
        if (offset > partStart)
            result.parts.push_back({partStart, offset});
    };
    std::array<unsigned char, kMaxFrameSize> frame{};
    std::vector<unsigned char> partInfo;
    for (;;) {
        const Mp3Header h = headerAt(bytes, offset);
        if (!h.valid) {
            endPart();
            // The end, or the tags between two files joined into one.
            const std::uint64_t afterTags = skipTags(bytes, offset);
            if (afterTags == offset || afterTags >= bytes.size()) {
                if (endsCleanly(bytes, offset))
                    break;
                return fail("damaged: no MP3 frame at byte " + std::to_string(offset));
            }
            std::uint64_t next = afterTags;
            const Mp3Header resumed = findStream(bytes, next);
            if (!resumed.valid) {
                if (endsCleanly(bytes, afterTags))
                    break;
                return fail("damaged: no MP3 frame after the tags at byte " + std::to_string(offset));
            }
            if (!resumed.sameStream(first))
                return fail("a part of another MPEG version or sample rate at byte " + std::to_string(next));
            // A part's own info frame tells of that part alone, and holds no audio.
            if (infoFrameAt(bytes, next, resumed, partInfo))
                next += resumed.size;
            offset = partStart = next;
            continue;
        }
        if (!h.sameStream(first))
            return fail("frames of another MPEG version or sample rate at byte " + std::to_string(offset));
        const long got = bytes.read(offset, h.size, frame.data());
        if (got < 0)
            return fail("read error");
        if (static_cast<std::size_t>(got) < h.size) {
            endPart(); // the last frame, cut short
            break;
        }
        // A part joined without tags before it still starts with its own info frame.
        if (heldNoAudio(std::span(frame.data(), h.size), h)) {
            endPart();
            offset = partStart = offset + h.size;
            continue;
        }
        musicCrc = crc16(std::span(frame.data(), h.size), musicCrc);
        ++result.frames;
        result.bitrateSum += static_cast<std::uint64_t>(h.bitrateKbps);
        result.allMono = result.allMono && h.mono;
        offset += h.size;
        audioBytes += h.size;
    }
    if (result.frames == 0)
        return fail("no audio frames");
    result.audioEnd = result.parts.back().end;
    if (!result.infoFrame.empty() && !infoFrameTellsTruth(result.infoFrame, first, result.frames, audioBytes, musicCrc))
        result.infoFrame.clear();
    if (result.infoFrame.empty() || !lameDelays(result.infoFrame, first, result.encoderDelay, result.padding))
        result.encoderDelay = result.padding = 0;
    result.frameSamples = first.mpeg1 ? 1152 : 576;
    result.copyable = true;
    return result;
}

} // namespace

Mp3Header parseMp3Header(std::uint32_t word)
{
    Mp3Header h;
    const unsigned version = (word >> 19) & 3;
    const unsigned layer = (word >> 17) & 3;
    const unsigned bitrateIndex = (word >> 12) & 15;
    const unsigned rateIndex = (word >> 10) & 3;
    if ((word >> 21) != 0x7FF || version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return h;
    h.valid = true;
    h.version = static_cast<int>(version);
    h.mpeg1 = version == 3;
    h.bitrateKbps = (h.mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[bitrateIndex];
    h.sampleRate = kRates[version][rateIndex];
    h.mono = ((word >> 6) & 3) == 3;
    const std::size_t padding = (word >> 9) & 1;
    h.size = static_cast<std::size_t>((h.mpeg1 ? 144000 : 72000) * h.bitrateKbps / h.sampleRate) + padding;
    return h;
}

bool isInfoFrame(std::span<const unsigned char> frame)
{
    if (frame.size() < 4)
        return false;
    const Mp3Header h = parseMp3Header(bigEndian32(frame.data()));
    return h.valid && heldNoAudio(frame, h);
}

Mp3Scan scanMp3(std::span<const unsigned char> file)
{
    MemoryBytes bytes(file);
    return scan(bytes);
}

Status scanMp3(const std::string &path, Mp3Scan &result)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info
    {
    };
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        return Status::fail(ExitCode::BadInput, "input \"" + path + "\": " + std::strerror(error));
    }
    FileBytes bytes(fd, static_cast<std::uint64_t>(info.st_size));
    result = scan(bytes);
    ::close(fd);
    if (bytes.error() != 0)
        return Status::fail(ExitCode::BadInput, "input \"" + path + "\": read error: " + std::strerror(bytes.error()));
    return Status::success();
}

Status copyMp3(const std::string &path, const Mp3Scan &scan, OutputFile &file, void (*progress)(int percent))
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Status::fail(ExitCode::BadInput, "input \"" + path + "\": " + std::strerror(errno));
    Status status = file.write(scan.infoFrame);
    std::vector<unsigned char> buffer(kWindowSize);
    std::uint64_t total = 0;
    for (const ByteRange &part : scan.parts)
        total += part.size();
    std::uint64_t copied = 0;
    int lastPercent = -1;
    for (const ByteRange &part : scan.parts) {
        for (std::uint64_t at = part.start; status.ok() && at < part.end;) {
            const auto percent = static_cast<int>(copied * 100 / total);
            if (percent > lastPercent) {
                lastPercent = percent;
                progress(percent);
            }
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), part.end - at));
            const ssize_t got = ::pread(fd, buffer.data(), want, static_cast<off_t>(at));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                status = Status::fail(ExitCode::BadInput,
                                      "input \"" + path
                                          + "\": " + (got < 0 ? std::string(std::strerror(errno)) : "changed while being read"));
                break;
            }
            status = file.write(std::span(buffer.data(), static_cast<std::size_t>(got)));
            at += static_cast<std::uint64_t>(got);
            copied += static_cast<std::uint64_t>(got);
        }
    }
    ::close(fd);
    return status;
}

} // namespace fastencc
