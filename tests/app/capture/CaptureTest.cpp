// Offline captures of the demo by the program itself, on the display.

#include "engine/media/Image.h"
#include "engine/sync/SyncEditor.h"
#include "support/Figures.h"
#include "support/Process.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

using namespace testsupport;

namespace {

// Every file of a capture directory, by name.
std::map<std::string, std::string> filesOf(const std::string& directory) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        files[entry.path().filename().string()] = fileContent(entry.path().string());
    return files;
}

std::vector<std::string> captureArguments(const std::string& directory, unsigned start, unsigned until) {
    return {"--capture", directory, "--fps", "10", "--start", std::to_string(start), "--until", std::to_string(until)};
}

ProcessResult capture(const std::string& directory, unsigned start, unsigned until, bool quiet = false) {
    ProcessOptions options;
    options.timeoutSeconds = 240;
    std::vector<std::string> arguments = captureArguments(directory, start, until);
    if (quiet)
        arguments.push_back("--quiet");
    return runProcess(TARNIX_EXECUTABLE, arguments, options);
}

std::uint32_t u32At(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

class CaptureTest : public testing::Test {
protected:
    WorkingDirectory directory;
};

// The number of frames a stop line says are whole ("after N of"), 0 for
// "before its first frame", -1 for no such line.
long framesKept(const std::string& line) {
    if (line.find("the capture stopped before its first frame") != std::string::npos)
        return 0;
    const std::size_t at = line.find("the capture stopped after ");
    return at == std::string::npos ? -1 : std::stol(line.substr(at + std::strlen("the capture stopped after ")));
}

// A capture directory holds frames 0 .. frames-1, each a whole picture, and
// nothing of a frame after them or half written; its WAV says as much sound
// as it holds, the sound of those frames at `fps`.
void expectWholeCapture(const std::string& capture, long frames, unsigned fps) {
    for (long k = 0; k < frames; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%05ld.png", k);
        std::unique_ptr<tarnix::ImageData> frame(tarnix::image.loadPNG((capture + name).c_str()));
        EXPECT_NE(frame, nullptr) << capture << name;
    }
    long files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(capture))
        files += entry.path().filename().string() != "sound.wav";
    EXPECT_EQ(files, frames) << "frames after the last whole one, or half-written ones, in " << capture;
    const std::string wav = fileContent(capture + "/sound.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(u32At(wav, 40), wav.size() - 44);
    EXPECT_EQ(u32At(wav, 4), wav.size() - 8);
    EXPECT_EQ(u32At(wav, 40), static_cast<std::uint32_t>(frames) * 44100 / fps * 4);
}

}  // namespace

TEST_F(CaptureTest, CapturesRepeatByteForByteAndDifferWithTheirStart) {
    const ProcessResult first = capture("middle", 20000, 22000);
    ASSERT_EQ(first.exitStatus, 0);
    // Off a terminal the progress comes as whole lines, the last one a summary.
    EXPECT_NE(first.err.find("tarnix: captured 21 of 21 frames, demo time 20.000 to 22.000 s, in "), std::string::npos)
        << first.err;
    EXPECT_EQ(first.err.find('\r'), std::string::npos);
    // Into a directory where a longer capture was, a frame of it half written,
    // beside a file of the user's: the earlier frames go, the file stays. A
    // pipe named like the sound blocks nothing, and a link so named leads the
    // sound nowhere else.
    for (const char* earlier : {"middle-again/frame_00025.png", "middle-again/frame_00030.png.part",
                                "middle-again/frame_notes.txt", "elsewhere.txt"})
        writeFile(earlier, "earlier");
    ASSERT_EQ(mkfifo("middle-again/sound.wav", 0666), 0);
    std::filesystem::create_directory("middle-linked");
    std::filesystem::create_symlink("../elsewhere.txt", "middle-linked/sound.wav");
    const ProcessResult quiet = capture("middle-again", 20000, 22000, true);
    ASSERT_EQ(quiet.exitStatus, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(fileContent("middle-again/frame_notes.txt"), "earlier");
    std::filesystem::remove("middle-again/frame_notes.txt");
    ASSERT_EQ(capture("middle-linked", 20000, 22000, true).exitStatus, 0);
    EXPECT_EQ(fileContent("elsewhere.txt"), "earlier");
    EXPECT_EQ(filesOf("middle-linked"), filesOf("middle"));
    ASSERT_EQ(capture("tunnel", 50500, 52500).exitStatus, 0);
    const auto middle = filesOf("middle");
    EXPECT_EQ(middle.size(), 22u);  // 21 frames from 20000 to 22000 at 10 a second, and the sound
    EXPECT_EQ(middle, filesOf("middle-again"));
    const auto tunnel = filesOf("tunnel");
    ASSERT_EQ(tunnel.size(), middle.size());
    EXPECT_NE(tunnel.at("frame_00010.png"), middle.at("frame_00010.png"));
    EXPECT_NE(tunnel.at("sound.wav"), middle.at("sound.wav"));
}

// A capture's motions follow the demo at 60 frames a second whatever its own
// rate: every frame at 30 a second is the frame at 60 of the same time, over
// the closing's random pictures and scroller.
// The sync tracks an editor saved into the data folder play in a capture (a
// track file beside the pack is read as the pack's own would be); one that
// cannot be read is named in one line and the code's value stays.
TEST_F(CaptureTest, SavedSyncTracksPlayInACaptureAndABrokenOneLeavesTheCodesValue) {
    std::filesystem::create_directory("data");
    const std::string pack = std::filesystem::path(TARNIX_EXECUTABLE).parent_path().string() + "/data/datafile.dat";
    std::filesystem::copy_file(pack, "data/datafile.dat");
    ASSERT_EQ(capture("plain", 55000, 55000, true).exitStatus, 0);
    tarnix::sync::TrackSet tracks;
    tracks.track("scroller:height").setKey({0, 30, tarnix::sync::Interpolation::step});
    std::string error;
    ASSERT_TRUE(tarnix::sync::EditorConnection(tracks, "localhost", 1338, "data").saveTracks(error)) << error;
    ASSERT_EQ(capture("tuned", 55000, 55000, true).exitStatus, 0);
    EXPECT_NE(fileContent("tuned/frame_00000.png"), fileContent("plain/frame_00000.png"))
        << "the scroller's saved height did not show";
    writeFile("data/sync_scroller-3Aheight.track", "\x01\x00");
    const ProcessResult broken = capture("broken", 55000, 55000, true);
    ASSERT_EQ(broken.exitStatus, 0);
    EXPECT_EQ(broken.err, "tarnix: sync_scroller-3Aheight.track: a track file shorter than its key count; the code's "
                          "value stays\n");
    EXPECT_EQ(fileContent("broken/frame_00000.png"), fileContent("plain/frame_00000.png"));
}

TEST_F(CaptureTest, ACaptureAtThirtyFramesASecondIsEveryOtherFrameOfOneAtSixty) {
    ProcessOptions options;
    options.timeoutSeconds = 120;
    // Without the software renderer's fast path, which rounds a few pixels of
    // flat pictures a level apart depending on what it drew before.
    options.set = {"LP_PERF=no_linear"};
    for (const char* fps : {"30", "60"})
        ASSERT_EQ(runProcess(TARNIX_EXECUTABLE, {"--capture", std::string("closing") + fps, "--fps", fps, "--start",
                                                 "55000", "--until", "56000", "--quiet"},
                             options)
                      .exitStatus,
                  0);
    for (int k = 0; k <= 30; ++k) {
        char thirty[40], sixty[40];
        std::snprintf(thirty, sizeof thirty, "closing30/frame_%05d.png", k);
        std::snprintf(sixty, sizeof sixty, "closing60/frame_%05d.png", 2 * k);
        EXPECT_TRUE(fileContent(thirty) == fileContent(sixty)) << "frame " << k << " at 30 a second";
    }
}

// On a terminal (here a pseudo-terminal made by script(1)) the progress is one
// line rewritten in place, ended once the capture is.
TEST_F(CaptureTest, OnATerminalTheProgressIsOneLineRewrittenInPlace) {
    std::string command = TARNIX_EXECUTABLE;
    for (const std::string& argument : captureArguments("frames", 0, 1000))
        command += " " + argument;
    const ProcessResult result = runProcess("/usr/bin/script", {"-qec", command, "/dev/null"});
    ASSERT_EQ(result.exitStatus, 0) << result.out;
    const std::size_t summary = result.out.find("\rtarnix: captured 11 of 11 frames");
    EXPECT_NE(summary, std::string::npos) << result.out;
    EXPECT_EQ(result.out.find('\n'), result.out.size() - 1) << "one line only: " << result.out;
}

// A capture four times finer, each 4 × 4 block averaged back to one pixel, is
// the same picture as the plain capture of the frame: within 30 dB of PSNR in
// every section but the tunnel, whose 2-pixel points the plain frame snaps to
// its pixel grid while the finer one draws them where they are.
TEST_F(CaptureTest, AFourTimesFinerCaptureIsTheSamePictureFiner) {
    const struct {
        unsigned time;
        double leastPsnr;
    } frames[] = {{3000, 30}, {12000, 30}, {30000, 30}, {51000, 25}, {60000, 30}};
    for (const auto& [time, leastPsnr] : frames) {
        const std::string at = std::to_string(time);
        ProcessOptions options;
        options.timeoutSeconds = 240;
        ASSERT_EQ(runProcess(TARNIX_EXECUTABLE, {"--capture", "plain" + at, "--start", at, "--until", at, "--quiet"}, options)
                      .exitStatus,
                  0);
        ASSERT_EQ(runProcess(TARNIX_EXECUTABLE,
                             {"--capture", "fine" + at, "--scale", "4", "--start", at, "--until", at, "--quiet"}, options)
                      .exitStatus,
                  0);
        std::unique_ptr<tarnix::ImageData> plain(tarnix::image.loadPNG(("plain" + at + "/frame_00000.png").c_str()));
        std::unique_ptr<tarnix::ImageData> fine(tarnix::image.loadPNG(("fine" + at + "/frame_00000.png").c_str()));
        ASSERT_TRUE(plain && fine);
        ASSERT_EQ(fine->width, 4 * plain->width);
        ASSERT_EQ(fine->height, 4 * plain->height);
        double squaredError = 0;
        for (int y = 0; y < plain->height; ++y)
            for (int x = 0; x < plain->width; ++x)
                for (int c = 0; c < 3; ++c) {
                    double block = 0;
                    for (int dy = 0; dy < 4; ++dy)
                        for (int dx = 0; dx < 4; ++dx)
                            block += (fine->pixels[static_cast<std::size_t>(4 * y + dy) * fine->width + 4 * x + dx] >>
                                      (8 * c)) & 0xFF;
                    const double difference = block / 16 - ((plain->pixels[static_cast<std::size_t>(y) * plain->width + x] >> (8 * c)) & 0xFF);
                    squaredError += difference * difference;
                }
        const double meanSquaredError = squaredError / (3.0 * plain->width * plain->height);
        const double psnr = 10 * std::log10(255.0 * 255.0 / std::max(meanSquaredError, 1e-9));
        EXPECT_GE(psnr, leastPsnr) << "at " << time << " ms";
        reportFigure("psnr_at_" + at, psnr, "dB");
    }
}

TEST_F(CaptureTest, TheSoundLastsAsLongAsTheFramesAndIsMusic) {
    ASSERT_EQ(capture("short", 3000, 5000).exitStatus, 0);
    const std::string wav = fileContent("short/sound.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(u32At(wav, 24), 44100u);               // the music's rate
    EXPECT_EQ(u32At(wav, 40), 21u * 44100 / 10 * 4);  // 21 frames of 0.1 s, 16-bit stereo
    double energy = 0;
    const std::size_t samples = (wav.size() - 44) / 2;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto low = static_cast<unsigned char>(wav[44 + 2 * i]), high = static_cast<unsigned char>(wav[45 + 2 * i]);
        const auto sample = static_cast<std::int16_t>(low | high << 8);
        energy += double(sample) * sample;
    }
    EXPECT_GT(std::sqrt(energy / samples), 500.0);

    // At rates that do not divide 44,100 the frames' sound still adds up to
    // floor(frames × 44100 / rate) sample frames, and is the same music, no
    // sample lost or doubled where one frame's sound meets the next's.
    const struct {
        unsigned fps;
        std::uint32_t frames;  // from 3000 to 4000 ms
    } rates[] = {{13, 14}, {24, 25}};
    for (const auto& rate : rates) {
        const std::string name = "rate" + std::to_string(rate.fps);
        ProcessOptions options;
        options.timeoutSeconds = 120;
        ASSERT_EQ(runProcess(TARNIX_EXECUTABLE, {"--capture", name, "--fps", std::to_string(rate.fps), "--start", "3000",
                                                 "--until", "4000", "--quiet"},
                             options)
                      .exitStatus,
                  0);
        const std::string odd = fileContent(name + "/sound.wav");
        const std::uint64_t soundFrames = std::uint64_t(rate.frames) * 44100 / rate.fps;
        EXPECT_EQ(u32At(odd, 40), soundFrames * 4) << rate.fps << " frames a second";
        ASSERT_EQ(odd.size(), 44 + soundFrames * 4);
        EXPECT_TRUE(odd.compare(44, soundFrames * 4, wav, 44, soundFrames * 4) == 0) << rate.fps << " frames a second";
    }
}

// A long capture's memory stays flat: frames and sound are handed on as they
// are made (here 721 frames of PNGs, then of video, the resident size seen
// from outside once the capture is under way). Off a terminal its progress
// is a line every five seconds, and a summary.
// ctest labels: once
TEST_F(CaptureTest, ALongCaptureKeepsItsMemoryFlatAndReportsEveryFiveSeconds) {
    const auto residentMegabytes = [](int process) {
        const std::string status = fileContent("/proc/" + std::to_string(process) + "/status");
        const std::size_t at = status.find("VmRSS:");
        return at == std::string::npos ? -1.0 : std::atof(status.c_str() + at + 6) / 1024;
    };
    for (const char* target : {"long", "long.mp4"}) {
        std::vector<double> resident;  // MB, every 20 ms once under way
        ProcessOptions options;
        options.timeoutSeconds = 240;
        const std::string started = std::string(target) == "long" ? "long/frame_00060.png" : "long.mp4.part";
        options.watch = [&](int process) {
            std::error_code missing;
            const auto size = std::filesystem::file_size(started, missing);
            if (!missing && size > 0)
                resident.push_back(residentMegabytes(process));
        };
        const auto begun = std::chrono::steady_clock::now();
        const ProcessResult result =
            runProcess(TARNIX_EXECUTABLE, {"--capture", target, "--fps", "60", "--until", "12000"}, options);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        ASSERT_GE(resident.size(), 20u) << target;
        const double early = *std::max_element(resident.begin(), resident.begin() + resident.size() / 4);
        const double late = *std::max_element(resident.begin() + resident.size() / 2, resident.end());
        EXPECT_LE(late, early + 3) << target << ": " << early << " MB early, " << late << " MB late";
        reportFigure(std::string(target) + "_resident_growth", late - early, "MB");

        const long progressLines = std::count(result.err.begin(), result.err.end(), '\n') - 1;
        EXPECT_NE(result.err.find("tarnix: captured 721 of 721 frames"), std::string::npos) << result.err;
        EXPECT_LE(progressLines, static_cast<long>(seconds / 5)) << seconds << " s: " << result.err;
        EXPECT_GE(progressLines, static_cast<long>(seconds / 5) - 1) << seconds << " s: " << result.err;
        reportFigure(std::string(target) + "_seconds", seconds, "s");
    }
}

// Ctrl+C, SIGTERM and a closed terminal end a capture as Escape does, with
// every frame drawn written whole and the sound as long as they are, but with
// the status of the signal and one line that says where it stopped. Killed
// outright, it still leaves a WAV whose lengths match what it holds, under
// the temporary name that says it was not finished.
TEST_F(CaptureTest, AStopBySignalLeavesWholeFilesAndAStatusThatSaysSo) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string name = "stopped-" + std::to_string(signal);
        ProcessOptions options;
        options.timeoutSeconds = 120;
        options.when = [name] { return fileExists(name + "/frame_00005.png"); };
        options.signal = signal;
        std::vector<std::string> arguments = captureArguments(name, 20000, 90000);
        arguments.push_back("--quiet");
        const ProcessResult result = runProcess(TARNIX_EXECUTABLE, arguments, options);
        EXPECT_EQ(result.exitStatus, 128 + signal) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        const char* const names[] = {"", "SIGHUP", "SIGINT", "", "", "", "", "", "", "", "", "", "", "", "", "SIGTERM"};
        EXPECT_EQ(result.err.rfind(std::string("tarnix: ") + names[signal] + ": the capture stopped after ", 0), 0u)
            << result.err;
        const long kept = framesKept(result.err);
        EXPECT_GE(kept, 6) << result.err;
        expectWholeCapture(name, kept, 10);
    }

    // The lengths are brought up to date twice a second while the capture
    // runs, with the first frame's sound after each half second: the data
    // length is seen to grow twice within 1 s and three frames' time, and the
    // program is killed then (or 4 s on). The bound is 1.5 s and three frames,
    // midway to once a second: on a loaded machine a frame can wait for its
    // writers (they take only idle time) several times longer than the mean.
    using Clock = std::chrono::steady_clock;
    std::vector<std::uint32_t> lengths;  // each data length the header said, in turn
    Clock::time_point firstSeen, lastSeen;
    ProcessOptions options;
    options.timeoutSeconds = 120;
    options.signal = SIGKILL;
    options.when = [&] {
        const std::string wav = fileContent("killed/sound.wav.part");
        const std::uint32_t length = wav.size() >= 44 ? u32At(wav, 40) : 0;
        if (length > 0 && (lengths.empty() || length != lengths.back())) {
            lastSeen = Clock::now();
            if (lengths.empty())
                firstSeen = lastSeen;
            lengths.push_back(length);
        }
        return lengths.size() >= 3 || (!lengths.empty() && Clock::now() - firstSeen > std::chrono::seconds(4));
    };
    const ProcessResult killed = runProcess(TARNIX_EXECUTABLE, captureArguments("killed", 20000, 90000), options);
    EXPECT_EQ(killed.signalled, SIGKILL);
    ASSERT_GE(lengths.size(), 3u) << "the data length was brought up to date " << lengths.size() << " times in 4 s";
    EXPECT_TRUE(std::is_sorted(lengths.begin(), lengths.end()));
    const double seconds = std::chrono::duration<double>(lastSeen - firstSeen).count();
    const double frameSeconds = seconds / ((lengths[2] - lengths[0]) / (44100.0 / 10 * 4));
    reportFigure("two_sound_length_updates", seconds, "s");
    EXPECT_LE(seconds, 1.5 + 3 * frameSeconds) << "two updates took " << seconds << " s, at " << frameSeconds
                                               << " s a frame";
    const std::string wav = fileContent("killed/sound.wav.part");  // under the name of an unfinished file
    ASSERT_GE(wav.size(), 44u);
    EXPECT_GT(u32At(wav, 40), 0u);
    EXPECT_LE(u32At(wav, 40), wav.size() - 44);
    EXPECT_EQ(u32At(wav, 4), u32At(wav, 40) + 36);
    for (const auto& entry : std::filesystem::directory_iterator("killed"))  // no picture cut short under its name
        if (entry.path().extension() == ".png") {
            std::unique_ptr<tarnix::ImageData> frame(tarnix::image.loadPNG(entry.path().c_str()));
            EXPECT_NE(frame, nullptr) << entry.path();
        }
}

// A write that fails (here a file grown past its limit, as on a full disk)
// ends the capture with status 1 and one line naming the file and the
// system's reason; what is left is whole: the frames before the failed one
// and their sound. Whether the sound or a picture fails first.
TEST_F(CaptureTest, AFailedWriteNamesItsCauseAndLeavesTheCaptureWholeUpToIt) {
    const struct {
        const char* name;
        unsigned start, until;
        const char* failing;
    } cases[] = {{"tunnel", 50000, 53000, "/sound.wav: File too large"},     // small frames: the sound first
                 {"title", 3000, 5000, "/frame_00000.png: File too large"}};  // large frames
    for (const auto& capture : cases) {
        ProcessOptions options;
        options.timeoutSeconds = 120;
        options.fileSizeLimit = 200 * 1024;
        std::vector<std::string> arguments = captureArguments(capture.name, capture.start, capture.until);
        arguments.push_back("--quiet");
        const ProcessResult result = runProcess(TARNIX_EXECUTABLE, arguments, options);
        EXPECT_EQ(result.exitStatus, 1) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find(capture.failing), std::string::npos) << result.err;
        const long kept = framesKept(result.err);
        EXPECT_GE(kept, 0) << result.err;
        expectWholeCapture(capture.name, kept, 10);
    }
}

// Frame k of a whole capture is the frame a capture started at k's time
// draws, byte for byte, in every section and at their bounds, however the
// writer threads took the frames; and a start ten hours in, at a thousand
// frames a second, is reached in seconds.
// ctest labels: once
TEST_F(CaptureTest, EveryFrameOfAWholeCaptureIsTheFrameItsTimeDraws) {
    ProcessOptions options;
    options.timeoutSeconds = 240;
    ASSERT_EQ(runProcess(TARNIX_EXECUTABLE, {"--capture", "whole", "--fps", "2", "--until", "62000", "--quiet"}, options)
                  .exitStatus,
              0);
    for (unsigned t : {500u, 6500u, 18500u, 19000u, 32000u, 47000u, 50000u, 53000u, 61500u}) {
        const std::string at = std::to_string(t);
        ASSERT_EQ(runProcess(TARNIX_EXECUTABLE, {"--capture", "at" + at, "--fps", "2", "--start", at, "--until", at, "--quiet"},
                             options)
                      .exitStatus,
                  0);
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%05u.png", t / 500);
        EXPECT_TRUE(fileContent("at" + at + "/frame_00000.png") == fileContent(std::string("whole") + name)) << "at " << t;
    }
    options.timeoutSeconds = 60;
    const ProcessResult late = runProcess(
        TARNIX_EXECUTABLE, {"--capture", "late", "--fps", "1000", "--start", "36000000", "--until", "36000000", "--quiet"},
        options);
    EXPECT_EQ(late.exitStatus, 0) << late.err;
    EXPECT_TRUE(fileExists("late/frame_00000.png"));
}
