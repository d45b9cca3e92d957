#pragma once

#include <cstdint>

struct SDL_Surface;

namespace tarnix {

// The window's caption, the demo's title, which the development mode's
// caption and --help begin with.
inline constexpr char windowCaption[] = "Kelbo vs. Vistral";

// The window settings and the SDL video mode holding the OpenGL context.

class Window {
public:
    Window();
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Starts SDL video and sets the mode width × height at the display's depth,
    // fullscreen when requested, captioned "Kelbo vs. Vistral". Once fullscreen
    // has been requested the stored flags keep SDL_FULLSCREEN for later calls.
    // Without SDL_VIDEODRIVER set, only a display that can give OpenGL is
    // tried (X11, or Wayland under the SDL 2 compatibility layer), never a
    // text-mode driver. Returns false (after one line on standard error) when
    // there is no display or no mode is set.
    // At the display's own size (setNative), the mode is the desktop's own,
    // fullscreen, so the display switches no mode; the picture is laid out on
    // it with setFrameLayout, and getWidth() × getHeight() stays the size the
    // picture is drawn for.
    bool init();
    // Shuts SDL down (all subsystems).
    void close();

    // Copies at most 255 characters and shows them as the caption.
    void setTitle(const char* text);
    const char* getTitle() const;

    // Both take effect at the next init(); the stored size is used at once by
    // viewReset() and the mouse position.
    void setFullscreen(bool on);
    bool isFullscreen() const;
    // Fullscreen at the display's own size instead of a mode of the window's
    // size; takes effect at the next init().
    void setNative(bool on);
    bool isNative() const;
    void setSize(int width, int height);
    int getWidth() const;
    int getHeight() const;

    // The desktop's size as init() found it before setting a mode, in
    // pixels; 0 before init() or when SDL cannot tell.
    int getDisplayWidth() const;
    int getDisplayHeight() const;

    // Whether presenting a frame waits for the display's next refresh (the
    // driver took the swap interval init() asks for), so that frames come at
    // the display's rate by themselves. Known once a mode is set.
    bool presentsAtDisplayRate() const;

    std::uint32_t getFlags() const;       // SDL video-mode flags as last used
    SDL_Surface* getSurface() const;      // null until a mode is set

private:
    static const int titleCapacity = 256;  // bytes, zero terminator included

    char* title = nullptr;                 // owned, titleCapacity bytes
    int width = 640;                       // pixels
    int height = 480;                      // pixels
    bool fullscreen = true;
    bool native = false;
    int displayWidth = 0;                  // pixels, see getDisplayWidth()
    int displayHeight = 0;
    bool displayPaced = false;             // see presentsAtDisplayRate()
    std::uint32_t flags = 0;               // SDL video-mode flags, SDL_OPENGL from the constructor:
                                           // its value differs between SDL's headers (the browser's)
    SDL_Surface* surface = nullptr;        // owned by SDL
};

extern Window window;

}  // namespace tarnix
