// What the shell tests ask of the program's window on an X display, as a
// viewer or a party's organiser would do it, timed here rather than through a
// command started after the event:
//   window-control stop WINDOW PID escape|alt+f4|close
//       presses Escape or Alt+F4 on WINDOW, or asks it to close as a window
//       manager's close button does (WM_DELETE_WINDOW), each after twenty
//       moves of the pointer over it (a viewer reaching for the keyboard moves
//       the mouse), then waits for the process PID to end: prints the
//       milliseconds from the event to its end; fails after 10 s
//   window-control cursor WINDOW
//       moves the pointer to the middle of WINDOW and prints "shown" or
//       "hidden": whether the cursor drawn there has any pixel that is not
//       fully transparent

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A key event sent to the window as a window system delivers one; `state`
// holds the modifiers already down.
void sendKey(Display* display, Window window, KeySym symbol, bool press, unsigned state) {
    XKeyEvent event = {};
    event.type = press ? KeyPress : KeyRelease;
    event.display = display;
    event.window = window;
    event.root = DefaultRootWindow(display);
    event.subwindow = None;
    event.time = CurrentTime;
    event.same_screen = True;
    event.state = state;
    event.keycode = XKeysymToKeycode(display, symbol);
    XSendEvent(display, window, True, press ? KeyPressMask : KeyReleaseMask, reinterpret_cast<XEvent*>(&event));
}

void movePointer(Display* display, Window window, int x, int y) {
    XMotionEvent event = {};
    event.type = MotionNotify;
    event.display = display;
    event.window = window;
    event.root = DefaultRootWindow(display);
    event.time = CurrentTime;
    event.x = event.x_root = x;
    event.y = event.y_root = y;
    event.same_screen = True;
    XSendEvent(display, window, True, PointerMotionMask, reinterpret_cast<XEvent*>(&event));
}

void askToClose(Display* display, Window window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
}

// Whether the process has ended (a zombie counts: its parent has not yet
// asked for its status).
bool ended(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    const std::size_t close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || line[close + 2] == 'Z';
}

int stop(Display* display, Window window, long pid, const std::string& how) {
    for (int i = 0; i < 20; ++i)
        movePointer(display, window, 100 + 10 * i, 100 + 5 * i);
    const Clock::time_point sent = Clock::now();
    if (how == "escape") {
        sendKey(display, window, XK_Escape, true, 0);
        sendKey(display, window, XK_Escape, false, 0);
    } else if (how == "alt+f4") {
        sendKey(display, window, XK_Alt_L, true, 0);
        sendKey(display, window, XK_F4, true, Mod1Mask);
        sendKey(display, window, XK_F4, false, Mod1Mask);
        sendKey(display, window, XK_Alt_L, false, Mod1Mask);
    } else if (how == "close") {
        askToClose(display, window);
    } else {
        std::fprintf(stderr, "window-control: no way to stop called %s\n", how.c_str());
        return 2;
    }
    XFlush(display);
    while (!ended(pid)) {
        if (Clock::now() - sent > std::chrono::seconds(10)) {
            std::fprintf(stderr, "window-control: process %ld still runs 10 s after %s\n", pid, how.c_str());
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::printf("%.1f\n", std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    return 0;
}

int cursor(Display* display, Window window) {
    int fixesEvent = 0, fixesError = 0;
    if (!XFixesQueryExtension(display, &fixesEvent, &fixesError)) {
        std::fprintf(stderr, "window-control: the display has no XFIXES extension\n");
        return 1;
    }
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        std::fprintf(stderr, "window-control: no window %lu\n", window);
        return 1;
    }
    XWarpPointer(display, None, window, 0, 0, 0, 0, attributes.width / 2, attributes.height / 2);
    XSync(display, False);
    // The server takes the cursor of the window under the pointer once it has
    // moved there.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (!image) {
        std::fprintf(stderr, "window-control: the server gives no cursor image\n");
        return 1;
    }
    bool visible = false;
    for (int i = 0; i < image->width * image->height; ++i)
        visible = visible || ((image->pixels[i] >> 24) & 0xFF) != 0;
    std::printf("%s\n", visible ? "shown" : "hidden");
    XFree(image);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (!((command == "stop" && argc == 5) || (command == "cursor" && argc == 3))) {
        std::fprintf(stderr, "usage: window-control stop WINDOW PID escape|alt+f4|close\n"
                             "       window-control cursor WINDOW\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "window-control: cannot open the display\n");
        return 1;
    }
    const Window window = std::strtoul(argv[2], nullptr, 0);
    const int status = command == "stop" ? stop(display, window, std::strtol(argv[3], nullptr, 10), argv[4])
                                         : cursor(display, window);
    XCloseDisplay(display);
    return status;
}
