#pragma once

#include <cstddef>
#include <string>

namespace tarnix {

// Reads the frame just drawn as a video encoder takes it, converted on the
// renderer: 8-bit Y'CbCr 4:2:0 with the HD matrix (BT.709) in limited range
// (Y' 16..235, Cb and Cr 16..240), top row first, in NV12's layout:
//   width × height bytes of Y',
//   then height / 2 rows of width bytes: Cb, Cr, Cb, Cr, ... a pair for each
//   2 × 2 block of pixels, its mean (as ffmpeg converts RGB).
// That is half the bytes of RGB to read back and hand over, and spares the
// encoder a conversion that costs it 40 % of its time at its quickest.
//
// The frame is copied into a texture and drawn through two shaders into a
// framebuffer object of width / 4 × height · 3 / 2 RGBA pixels, whose bytes
// are the NV12 frame as they are read back.
class YCbCrFrameReader {
public:
    YCbCrFrameReader() = default;
    ~YCbCrFrameReader();
    YCbCrFrameReader(const YCbCrFrameReader&) = delete;
    YCbCrFrameReader& operator=(const YCbCrFrameReader&) = delete;

    // Makes it ready for frames of width × height pixels. False, with the
    // reason in `error`, when the width is not a multiple of 4 or the height
    // odd, or the driver lacks GLSL shaders, framebuffer objects or textures
    // of that size; the caller then reads RGB.
    bool create(int width, int height, std::string& error);
    // width × height × 3 / 2.
    std::size_t frameBytes() const;
    // Converts the frame in the framebuffer being drawn (the window's back
    // buffer or an off-screen target) into `to`, frameBytes() long. Leaves
    // the OpenGL state as it found it.
    void read(unsigned char* to);

private:
    void release();

    int width = 0, height = 0;  // of the frames, pixels
    unsigned frame = 0;          // texture the frame is copied into
    unsigned planes = 0;         // renderbuffer and framebuffer the planes are drawn into
    unsigned framebuffer = 0;
    unsigned lumaProgram = 0;    // shader programs (ARB handles)
    unsigned chromaProgram = 0;
};

}  // namespace tarnix
