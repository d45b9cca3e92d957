#pragma once

#include <SDL.h>

#include <map>

namespace tarnix {

// Pressed state of every key seen so far, and the last key pressed.
class InputKeyboard {
public:
    // An unknown key is entered as not pressed and reported false.
    bool isKeyPressed(int key);
    void setKey(int key, bool down);
    // The last key pressed (SDL key code); a release never clears it.
    int getLastKey() const;
    void setLastKey(int key);
    void setKeyRepeat(int delay, int interval);
    // SDL's name of the key, valid for the life of SDL.
    const char* getKeyChar(int key) const;

private:
    std::map<int, bool> keys;  // SDL key code -> pressed
    int lastKey = 0;           // SDL key code
};

// Pressed buttons, pointer position with a bottom-left origin, and the
// multi-click counter.
class InputMouse {
public:
    // An unknown button is entered as not pressed and reported false.
    bool isButtonPressed(int button);
    void setButton(int button, bool down);
    // Reads the pointer, in window pixels of the picture (640 × 480) however
    // large it is drawn on the screen (--native); posY counts from the bottom
    // edge of the window.
    void getPosition();
    // Takes screen position (x, y), counted from the top left, as the
    // pointer's, as getPosition() does with the one it reads.
    void placeAt(int screenX, int screenY);
    // Moves the system pointer to window pixel (x, y) of the picture counted
    // from the top left; the stored posY counts from the bottom.
    void setPosition(int x, int y);
    int getX() const;
    int getY() const;
    unsigned getRepeatDelay() const;
    void setRepeatDelay(unsigned milliseconds);
    int getRepeatCount() const;
    void resetRepeatCount();
    void setCursorVisible(bool visible);
    bool isCursorVisible() const;
    void setCursorIcon(unsigned icon);
    unsigned getCursorIcon() const;

private:
    friend class Input;

    // Folds a button press into the multi-click window: presses of the same
    // button within repeatDelay ms of each other count up repeatCount.
    void pressButton(int button, bool& clickTiming);

    std::map<int, bool> buttons;  // SDL button number -> pressed
    unsigned cursorIcon = 0;      // stored only
    unsigned repeatDelay = 200;   // multi-click window, ms
    bool cursorVisible = false;
    int repeatCount = 0;          // clicks after the first inside the window
    int previousButton = -1;
    int currentButton = -1;
    unsigned lastClickTime = 0;   // ticks at the start of the current window, ms
    int posX = 0;                 // pixels from the left edge
    int posY = 0;                 // pixels from the bottom edge
};

// The SDL key codes the engine's users name.
enum Key : int {
    keyEscape = SDLK_ESCAPE,
    keySpace = SDLK_SPACE,
    keyComma = SDLK_COMMA,
    keyPeriod = SDLK_PERIOD,
    keyLeft = SDLK_LEFT,
    keyRight = SDLK_RIGHT,
    keyHome = SDLK_HOME,
    keyPageUp = SDLK_PAGEUP,
    keyPageDown = SDLK_PAGEDOWN,
    keyLeftBracket = SDLK_LEFTBRACKET,
    keyRightBracket = SDLK_RIGHTBRACKET,
    keyBackslash = SDLK_BACKSLASH,
    keyMinus = SDLK_MINUS,
    keyEquals = SDLK_EQUALS,
    keyT = SDLK_t,
};

// A key or a mouse button pressed, as nextPress() hands it on.
struct Press {
    int key = 0;     // SDL key code; 0 for a mouse button
    int button = 0;  // SDL button number; 0 for a key
    // Where a button was pressed, in window pixels of the picture, y from
    // the bottom edge (as InputMouse reports it).
    int x = 0, y = 0;
};

// The event pump: one SDL event per call, folded into keyboard and mouse state.
class Input {
public:
    // Takes at most one event from the queue. With an empty queue the previous
    // event is examined again (harmless for keys by design). A quit request
    // (the window closed) ends the process with status 0, running the exit
    // handlers, unless setQuitEndsProgram(false) said otherwise.
    void pollEvent();
    // Takes the pending events up to and including the next key or mouse
    // button press, each folded in as pollEvent() does; true with the press,
    // false once the queue is empty (nothing is examined twice). For callers
    // that act on each press once.
    bool nextPress(Press& press);
    // Takes every event waiting, each folded in as pollEvent() does, and
    // tells whether the viewer has asked the program to stop since the last
    // forgetStop(): Escape or Alt+F4 pressed, or the window closed. For a loop
    // that must not fall behind the queue (one event a frame would leave a key
    // pressed behind a second of mouse motion).
    bool stopAsked();
    // Forgets a stop asked for, for a loop started again after one the
    // viewer stopped.
    void forgetStop();

    // Whether a quit request ends the process at once (the default) or is
    // only noted for quitRequested(), for a caller that must finish its work
    // first (a capture closing its files, the loading pass stopping its
    // workers).
    void setQuitEndsProgram(bool ends);
    bool getQuitEndsProgram() const;
    // True once a quit request has been taken from the queue.
    bool quitRequested() const;

    InputKeyboard& getKeyboard();
    InputMouse& getMouse();
    int getEventType() const;
    int getPreviousEventType() const;

private:
    void examineEvent();

    SDL_Event event = {};
    int previousEventType = -1;
    int eventType = -1;
    InputKeyboard keyboard;
    InputMouse mouse;
    bool clickTiming = false;  // a multi-click window is open
    bool quitEndsProgram = true;
    bool quitSeen = false;
    bool stopSeen = false;     // see stopAsked()
};

extern Input input;

}  // namespace tarnix
