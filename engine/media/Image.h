#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnix {

// A named OpenGL texture.
struct Texture {
    std::string name;   // the data-file name it was loaded from, or a render target's name
    int width = 0;      // pixels
    int height = 0;     // pixels
    unsigned id = 0;    // OpenGL texture object
};

// A decoded PNG picture.
struct ImageData {
    std::string filename;    // the name it was loaded under
    std::string name;        // the same; becomes the texture's name
    int width = 0;           // pixels
    int height = 0;          // pixels
    int channels = 0;        // 3 (RGB) or 4 (RGBA)
    unsigned average = 0;    // mean of the red byte over all pixels, integer division
    // One word per pixel, R + G·2^8 + B·2^16 + A·2^24 (bytes R, G, B, A in
    // memory; A = 0 for RGB pictures). Rows bottom-up (row 0 is the picture's
    // bottom row, as OpenGL's texture origin), width words per row, no padding.
    std::vector<std::uint32_t> pixels;
};

// Decodes PNG data files into textures and hands textures out by name or index.
class Image {
public:
    Image();
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Decodes a PNG data file and makes its texture: one entry more in each
    // list, or none (after one line on standard error) when it fails.
    void loadImage(const char* name);
    // The second half of loadImage(), for a picture loadPNG() decoded (on any
    // thread): keeps it and makes its texture. Null adds nothing.
    void addImage(std::unique_ptr<ImageData> picture);
    // Decodes a PNG data file (8 or 16 bits per channel, RGB or RGBA, up to
    // 64 Mpixel of any shape). Null, after one line on standard error, when
    // the file does not open, is damaged, claims more pixels than that, or is
    // a palette or greyscale picture. The caller owns the result. Touches
    // nothing of this object, so decoding may run on several threads at once
    // (while the registry of data files does not change).
    //
    // Memory: the file's n bytes, then libpng's rows and the decoded words,
    // each at most 4 bytes a pixel: at most 512 MiB for the largest picture
    // accepted. A picture whose rows could not fit in n bytes even at
    // deflate's best ratio (1032 : 1) is refused before that, so a file of n
    // bytes makes at most about 2500 n bytes of picture, whichever is less.
    // Once `abandon` (when given) turns true the decode ends at its next read
    // of the file, null and silent: a loading pass left for a stop does not
    // wait for the pictures half decoded.
    ImageData* loadPNG(const char* name, const std::atomic<bool>* abandon = nullptr);
    // Makes the texture of a decoded picture (linear filtering, repeat, the
    // whole mipmap chain) and appends it. The image is not owned.
    void createTexture(ImageData* image);
    // Decodes the picture `name` again and puts it in place of its texture's
    // pixels and of its decoded picture: the same texture object and name, so
    // every layer, font and particle engine that holds it shows the new one.
    // False, the old picture kept, when no texture has that name or the file
    // does not decode (one line on standard error either way).
    bool reloadImage(const char* name);
    // Makes a blank (black, alpha 0) size × size render target and appends it.
    // filter 0: linear, 1: nearest, other values set no filter.
    void createTexture(const int& filter, const int& size, const char* name);

    // The i-th texture, render targets included; i must be below getImageCount().
    Texture* getTexture(int i);
    // The first texture with this name. For a name no texture has, an empty
    // record (texture 0, 0 × 0) that is not in the list; the first miss of each
    // name is reported on standard error.
    Texture* getTexture(const char* name);
    // The i-th decoded picture; i must be below the number decoded.
    ImageData* getImageData(int i);
    // The first decoded picture loaded under this name, or null.
    ImageData* getImageData(const char* name);
    // Number of textures, render targets included.
    unsigned getImageCount() const;
    // Picks a texture by comparing one pixel of the picture `name` (index
    // y · 256 + x) with the average of every decoded picture. Null when there
    // is no such picture or the pixel lies outside it.
    Texture* getPixelApproxTexture(const char* name, int x, int y);
    // Releases every decoded picture; the textures stay.
    void freeImageData();
    // Prints "REMOVE THIS: <filename>".
    void processImage(ImageData* image);

private:
    std::vector<std::unique_ptr<Texture>> textures;  // creation order
    std::vector<std::unique_ptr<ImageData>> images;  // load order
    std::vector<std::string> reportedMissing;         // names already reported by getTexture
};

extern Image image;

}  // namespace tarnix
