#include "sensing/WavFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace knokle {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr int kMaxChannels = 32;
constexpr std::size_t kMaxChunksBeforeData = 64; // a file of endless empty chunks is not a WAV file

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool readBytes(std::ifstream& in, unsigned char* out, std::size_t n) {
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
    return static_cast<std::size_t>(in.gcount()) == n;
}

} // namespace

bool WavFile::looksLikeWav(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::array<unsigned char, 12> header{};
    if (!in || !readBytes(in, header.data(), header.size())) return false;
    return std::memcmp(header.data(), "RIFF", 4) == 0 && std::memcmp(header.data() + 8, "WAVE", 4) == 0;
}

std::optional<std::string> WavFile::open(const std::filesystem::path& file) {
    std::string name = file.string();
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) return name + ": cannot open: " + std::strerror(EISDIR);
    errno = 0;
    in.open(file, std::ios::binary);
    if (!in) return name + ": cannot open: " + std::strerror(errno ? errno : EACCES);
    std::uint64_t fileSize = std::filesystem::file_size(file, ec);
    if (ec) return name + ": cannot open: " + ec.message();
    auto bad = [&name](const std::string& why) { return name + ": not a usable WAV file: " + why; };

    std::array<unsigned char, 12> riff{};
    if (!readBytes(in, riff.data(), riff.size())) return bad("shorter than its header");
    if (std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0)
        return bad("no RIFF WAVE header");

    bool haveFormat = false;
    int bits = 0;
    std::uint16_t blockAlign = 0;
    std::uint64_t position = 12;
    for (std::size_t chunks = 0; chunks < kMaxChunksBeforeData; ++chunks) {
        std::array<unsigned char, 8> chunk{};
        if (!readBytes(in, chunk.data(), chunk.size())) return bad(haveFormat ? "no data chunk" : "no fmt chunk");
        std::uint64_t size = le32(chunk.data() + 4);
        position += 8;
        if (std::memcmp(chunk.data(), "fmt ", 4) == 0) {
            if (size < 16 || size > 64) return bad("fmt chunk of " + std::to_string(size) + " bytes");
            std::array<unsigned char, 64> fmt{};
            if (!readBytes(in, fmt.data(), size)) return bad("truncated in its fmt chunk");
            std::uint16_t tag = le16(fmt.data());
            int channels = le16(fmt.data() + 2);
            std::uint32_t rate = le32(fmt.data() + 4);
            blockAlign = le16(fmt.data() + 12);
            bits = le16(fmt.data() + 14);
            if (tag == kFormatExtensible) {
                if (size < 40) return bad("extensible fmt chunk of " + std::to_string(size) + " bytes");
                tag = le16(fmt.data() + 24); // the sub-format GUID starts with the plain format tag
            }
            if (tag == kFormatPcm && bits == 16) {
                isFloat = false;
            } else if (tag == kFormatFloat && bits == 32) {
                isFloat = true;
            } else {
                return bad("format " + std::to_string(tag) + " with " + std::to_string(bits) +
                           "-bit samples (16-bit PCM or 32-bit float expected)");
            }
            if (channels < 1 || channels > kMaxChannels) return bad(std::to_string(channels) + " channels");
            if (rate < 8000 || rate > 192000) return bad("sample rate " + std::to_string(rate) + " Hz");
            if (blockAlign != channels * bits / 8) return bad("block size " + std::to_string(blockAlign));
            audioFormat = {static_cast<int>(rate), channels};
            haveFormat = true;
        } else if (std::memcmp(chunk.data(), "data", 4) == 0) {
            if (!haveFormat) return bad("data before the fmt chunk");
            if (position + size > fileSize)
                return bad("truncated: the data chunk holds " + std::to_string(size) + " bytes, the file only " +
                           std::to_string(fileSize - position));
            frames = framesLeft = size / blockAlign;
            return std::nullopt;
        } else {
            if (position + size > fileSize) return bad("truncated in a '" + std::string(chunk.begin(), chunk.begin() + 4) + "' chunk");
            in.seekg(static_cast<std::streamoff>(size + (size & 1)), std::ios::cur);
        }
        position += size + (size & 1);
    }
    return bad("no data chunk");
}

std::size_t WavFile::read(float* out, std::size_t maxFrames) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(maxFrames, framesLeft));
    if (want == 0) return 0;
    std::size_t channels = static_cast<std::size_t>(audioFormat.channels);
    std::size_t sampleBytes = isFloat ? 4 : 2;
    buffer.resize(want * channels * sampleBytes);
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    std::size_t got = static_cast<std::size_t>(in.gcount()) / (channels * sampleBytes);
    if (got < want) cutShort = true;
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    for (std::size_t i = 0; i < got * channels; ++i) {
        if (isFloat) {
            std::uint32_t raw = le32(bytes + 4 * i);
            float value;
            std::memcpy(&value, &raw, sizeof value);
            out[i] = value;
        } else {
            out[i] = static_cast<float>(static_cast<std::int16_t>(le16(bytes + 2 * i))) / 32768.0f;
        }
    }
    framesLeft = got < want ? 0 : framesLeft - got;
    return got;
}

std::optional<std::string> writeWav(const std::filesystem::path& file, const std::vector<float>& frames,
                                    AudioFormat format) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) return file.string() + ": cannot write: " + std::strerror(errno ? errno : EACCES);
    auto put32 = [&out](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&out](std::uint32_t v) {
        out.put(static_cast<char>(v & 0xFF));
        out.put(static_cast<char>((v >> 8) & 0xFF));
    };
    auto dataBytes = static_cast<std::uint32_t>(frames.size() * 2);
    auto channels = static_cast<std::uint32_t>(format.channels);
    auto rate = static_cast<std::uint32_t>(format.sampleRate);
    out.write("RIFF", 4);
    put32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(kFormatPcm);
    put16(channels);
    put32(rate);
    put32(rate * channels * 2);
    put16(channels * 2);
    put16(16);
    out.write("data", 4);
    put32(dataBytes);
    for (float v : frames) {
        long sample = std::lround(std::clamp(static_cast<double>(v), -1.0, 1.0) * 32767);
        put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(sample)));
    }
    out.close();
    if (!out) return file.string() + ": cannot write: " + std::strerror(errno ? errno : EIO);
    return std::nullopt;
}

} // namespace knokle
