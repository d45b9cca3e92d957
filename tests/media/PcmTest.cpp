// The browser mixer's WAV reader and its conversion to the device's stereo,
// on files built here byte by byte.

#include "engine/media/Pcm.h"
#include "support/StudioBytes.h"

#include <gtest/gtest.h>

#include <string>

using testsupport::u16le;
using testsupport::u32le;

namespace {

std::string formatChunk(std::uint16_t code, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    return std::string("fmt ") + u32le(16) + u16le(code) + u16le(channels) + u32le(rate) +
           u32le(rate * channels * bits / 8) + u16le(static_cast<std::uint16_t>(channels * bits / 8)) + u16le(bits);
}

std::string chunkOf(const char* type, const std::string& body, std::uint32_t claimedLength) {
    return std::string(type, 4) + u32le(claimedLength) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}

std::string chunkOf(const char* type, const std::string& body) {
    return chunkOf(type, body, static_cast<std::uint32_t>(body.size()));
}

std::string riff(const std::string& chunks) {
    return "RIFF" + u32le(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

struct Read {
    bool ok;
    tarnix::Pcm pcm;
    std::string error;
};

Read read(const std::string& file) {
    Read result;
    result.ok = tarnix::decodeWave(reinterpret_cast<const unsigned char*>(file.data()), file.size(), result.pcm,
                                   result.error);
    return result;
}

}  // namespace

TEST(PcmTest, WaveFilesAreReadChunkByChunkAndBroughtToTheDevicesStereo) {
    // 8-bit mono after a chunk of odd length (padded): centred on zero, 256 a step.
    const Read mono = read(riff(formatChunk(1, 1, 22050, 8) + chunkOf("LIST", "abc") +
                                chunkOf("data", std::string("\x00\x40\x80\xFF", 4))));
    ASSERT_TRUE(mono.ok) << mono.error;
    EXPECT_EQ(mono.pcm.samples, (std::vector<std::int16_t>{-32768, -16384, 0, 32512}));
    EXPECT_EQ(mono.pcm.rate, 22050);
    // At twice the rate each frame shows twice, on both sides.
    EXPECT_EQ(tarnix::stereoAtRate(mono.pcm, 44100),
              (std::vector<std::int16_t>{-32768, -32768, -32768, -32768, -16384, -16384, -16384, -16384, 0, 0, 0, 0,
                                         32512, 32512, 32512, 32512}));

    // 16-bit stereo whose data chunk claims more than the file holds: the
    // whole frames there are; halving the rate keeps every other frame.
    const std::string frames = u16le(1) + u16le(0xFFFF) + u16le(2) + u16le(0xFFFE) + u16le(3) + u16le(0xFFFD);
    const Read stereo = read(riff(formatChunk(1, 2, 44100, 16) + chunkOf("data", frames + "\x04", 1000)));
    ASSERT_TRUE(stereo.ok) << stereo.error;
    EXPECT_EQ(stereo.pcm.samples, (std::vector<std::int16_t>{1, -1, 2, -2, 3, -3}));
    EXPECT_EQ(tarnix::stereoAtRate(stereo.pcm, 22050), (std::vector<std::int16_t>{1, -1}));
}

TEST(PcmTest, WhatTheReaderRefusesIsNamedAndAChunkPastTheEndIsNeverFollowed) {
    const std::string samples = chunkOf("data", std::string(8, '\x10'));
    const struct {
        std::string file;
        const char* error;
    } refused[] = {
        {std::string("RIFF\x04\0\0\0AVI ", 12), "not a WAVE file"},
        {riff(formatChunk(3, 1, 44100, 32) + samples), "WAVE samples that are not PCM"},
        {riff(formatChunk(1, 1, 44100, 24) + samples), "a WAVE format other than 8 or 16 bits, one or two channels"},
        {riff(formatChunk(1, 6, 44100, 16) + samples), "a WAVE format other than 8 or 16 bits, one or two channels"},
        {riff(formatChunk(1, 1, 1, 16) + samples), "a WAVE sample rate outside 8000 to 192000 Hz"},
        {riff(formatChunk(1, 1, 0xFFFFFFFF, 16) + samples), "a WAVE sample rate outside 8000 to 192000 Hz"},
        {riff(samples + formatChunk(1, 1, 44100, 16)), "WAVE samples before their format"},
        // A chunk claiming 4 GiB before the samples: the reader stops there
        // (on a 32-bit build, stepping over it would wrap round to the start).
        {riff(formatChunk(1, 1, 44100, 16) + chunkOf("junk", "", 0xFFFFFFF0) + samples), "a WAVE file without samples"},
        {riff(formatChunk(1, 1, 44100, 16).substr(0, 20)), "a WAVE format chunk cut short"},
    };
    for (const auto& file : refused) {
        const Read result = read(file.file);
        EXPECT_FALSE(result.ok) << file.error;
        EXPECT_EQ(result.error, file.error);
    }
}
