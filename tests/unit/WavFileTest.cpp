#include "TempDir.h"
#include "sensing/WavFile.h"

#include <bit>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

using namespace knokle;

namespace {

// Little-endian, as WAV files are.
void put(std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A WAV file byte by byte: a fmt chunk of the given tag and width, then `dataSize` claimed over `data`.
std::string wav(unsigned tag, unsigned channels, unsigned rate, unsigned bits, const std::string& data,
                std::uint32_t dataSize, bool extensible = false) {
    std::string fmt;
    put(fmt, extensible ? 0xFFFE : tag, 2);
    put(fmt, channels, 2);
    put(fmt, rate, 4);
    put(fmt, rate * channels * bits / 8, 4);
    put(fmt, channels * bits / 8, 2);
    put(fmt, bits, 2);
    if (extensible) {
        put(fmt, 22, 2);
        put(fmt, bits, 2);
        put(fmt, 0, 4);
        put(fmt, tag, 2);
        fmt += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    std::string body = "WAVEfmt ";
    put(body, static_cast<std::uint32_t>(fmt.size()), 4);
    body += fmt + "LIST";
    put(body, 4, 4);
    body += "INFOdata";
    put(body, dataSize, 4);
    body += data;
    std::string file = "RIFF";
    put(file, static_cast<std::uint32_t>(body.size()), 4);
    return file + body;
}

std::string pcm16(std::initializer_list<int> samples) {
    std::string s;
    for (int v : samples) put(s, static_cast<std::uint32_t>(v) & 0xFFFF, 2);
    return s;
}

std::string float32(std::initializer_list<float> samples) {
    std::string s;
    for (float v : samples) put(s, std::bit_cast<std::uint32_t>(v), 4);
    return s;
}

struct Case {
    const char* name;
    std::string bytes;
    std::string error; // empty: readable
};

class WavFiles : public testing::TestWithParam<Case> {};

TEST_P(WavFiles, OpenOrSayWhyNot) {
    test::TempDir dir;
    auto path = dir / "clip.wav";
    std::ofstream(path, std::ios::binary) << GetParam().bytes;
    WavFile file;
    auto why = file.open(path);
    if (GetParam().error.empty()) {
        ASSERT_FALSE(why) << *why;
        EXPECT_TRUE(WavFile::looksLikeWav(path));
    } else {
        ASSERT_TRUE(why);
        EXPECT_EQ(*why, path.string() + ": " + GetParam().error);
        EXPECT_EQ(why->find('\n'), std::string::npos);
    }
}

const std::string kTwoFrames = pcm16({1000, -1000, 2000, -2000});

INSTANTIATE_TEST_SUITE_P(
    Headers, WavFiles,
    testing::Values(
        Case{"pcm16_stereo", wav(1, 2, 48000, 16, kTwoFrames, 8), ""},
        Case{"float_mono", wav(3, 1, 44100, 32, float32({0.5f}), 4), ""},
        Case{"extensible_float", wav(3, 2, 48000, 32, float32({0.5f, -0.5f}), 8, true), ""},
        Case{"empty", "", "not a usable WAV file: shorter than its header"},
        Case{"not_riff", std::string(40, 'x'), "not a usable WAV file: no RIFF WAVE header"},
        Case{"pcm24", wav(1, 1, 48000, 24, "abc", 3), "not a usable WAV file: format 1 with 24-bit samples "
                                                        "(16-bit PCM or 32-bit float expected)"},
        Case{"fmt_too_long", [] { auto b = wav(1, 1, 48000, 16, "", 0); b[16] = 100; return b; }(),
             "not a usable WAV file: fmt chunk of 100 bytes"},
        Case{"no_channels", wav(1, 0, 48000, 16, "", 0), "not a usable WAV file: 0 channels"},
        Case{"huge_rate", wav(1, 1, 4000000, 16, "", 0), "not a usable WAV file: sample rate 4000000 Hz"},
        Case{"data_claims_4gb", wav(1, 2, 48000, 16, kTwoFrames, 0xFFFFFFF0u),
             "not a usable WAV file: truncated: the data chunk holds 4294967280 bytes, the file only 8"},
        Case{"header_only", wav(1, 1, 48000, 16, "", 0).substr(0, 30), "not a usable WAV file: truncated in its fmt chunk"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WavFile, MissingFileSaysSo) {
    WavFile file;
    EXPECT_EQ(file.open("/nonexistent/clip.wav"), "/nonexistent/clip.wav: cannot open: No such file or directory");
    EXPECT_FALSE(WavFile::looksLikeWav("/nonexistent/clip.wav"));
}

TEST(WavFile, SamplesReadInBlocksAndWrittenBack) {
    test::TempDir dir;
    auto path = dir / "clip.wav";
    std::vector<float> frames{0.5f, -0.25f, 1.0f, -1.0f, 0.0f, 0.125f};
    ASSERT_FALSE(writeWav(path, frames, {44100, 2}));
    WavFile file;
    ASSERT_FALSE(file.open(path));
    EXPECT_EQ(file.format().sampleRate, 44100);
    EXPECT_EQ(file.format().channels, 2);
    EXPECT_EQ(file.frameCount(), 3u);
    std::vector<float> read(6);
    EXPECT_EQ(file.read(read.data(), 2), 2u);
    EXPECT_EQ(file.read(read.data() + 4, 5), 1u);
    EXPECT_EQ(file.read(read.data(), 5), 0u);
    for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_NEAR(read[i], frames[i], 1.0 / 32000) << i;
    EXPECT_FALSE(file.truncated());
}

} // namespace
