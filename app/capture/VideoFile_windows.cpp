#include "app/capture/VideoFile.h"

// Captures to video are POSIX-only so far (ffmpeg runs as a child on pipes):
// here the check says so in one line, before anything is drawn, and the
// capture ends with status 1. Captures to a folder of frames work as anywhere.

namespace {

const char* const notAvailable = "captures to video are not available in the Windows build yet; "
                                 "capture to a folder of frames instead (--capture DIR)";

}  // namespace

bool checkVideoEncoder(const VideoSettings& settings, std::string& error) {
    error = settings.path + ": " + notAvailable;
    return false;
}

VideoEncoder::~VideoEncoder() = default;

bool VideoEncoder::start(const VideoSettings& wanted, std::function<bool()>) {
    settings = wanted;
    fail(notAvailable);
    return false;
}

unsigned char* VideoEncoder::frameBuffer() { return nullptr; }

bool VideoEncoder::addFrame() { return false; }

bool VideoEncoder::addSound(const std::int16_t*, std::size_t) { return false; }

bool VideoEncoder::finish() { return false; }

const std::string& VideoEncoder::failure() const { return failed; }

const std::string& VideoEncoder::leftover() const { return kept; }

unsigned long VideoEncoder::framesAdded() const { return added; }

void VideoEncoder::fail(const std::string& reason) {
    if (failed.empty())
        failed = reason;
}
