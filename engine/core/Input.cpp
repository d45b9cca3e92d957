#include "engine/core/Input.h"

#include "engine/core/Graphics.h"
#include "engine/core/Ticks.h"
#include "engine/core/Window.h"

#include <algorithm>
#include <cstdlib>

namespace tarnix {

Input input;

// ---- Keyboard ----

bool InputKeyboard::isKeyPressed(int key) { return keys[key]; }

void InputKeyboard::setKey(int key, bool down) { keys[key] = down; }

int InputKeyboard::getLastKey() const { return lastKey; }

void InputKeyboard::setLastKey(int key) { lastKey = key; }

void InputKeyboard::setKeyRepeat(int delay, int interval) { SDL_EnableKeyRepeat(delay, interval); }

const char* InputKeyboard::getKeyChar(int key) const { return SDL_GetKeyName(static_cast<SDLKey>(key)); }

// ---- Mouse ----

bool InputMouse::isButtonPressed(int button) { return buttons[button]; }

void InputMouse::setButton(int button, bool down) { buttons[button] = down; }

namespace {

// The window's picture on the screen: where its top-left corner is, in screen
// pixels from the screen's top left, and its size there. The screen is the
// window itself unless the picture is laid out on a larger one (--native).
struct ScreenPicture {
    long long left, top, width, height;
};

ScreenPicture screenPicture() {
    const PictureArea area = getPictureArea();
    const SDL_Surface* surface = window.getSurface();
    const long long screenHeight = surface ? surface->h : window.getHeight();
    return {area.x, screenHeight - area.y - area.height, area.width, area.height};
}

// a / b rounded down, for a of either sign and b > 0.
long long floorDivide(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

// The screen pixel under the pointer, as the window pixel of the picture it
// lies in; a pointer on the bars beside the picture reads past its edges.
void InputMouse::getPosition() {
    int screenX = 0, screenY = 0;
    SDL_GetMouseState(&screenX, &screenY);
    placeAt(screenX, screenY);
}

void InputMouse::placeAt(int screenX, int screenY) {
    const ScreenPicture picture = screenPicture();
    posX = static_cast<int>(floorDivide((screenX - picture.left) * window.getWidth(), picture.width));
    posY = window.getHeight() -
           static_cast<int>(floorDivide((screenY - picture.top) * window.getHeight(), picture.height));
}

// The first screen pixel of window pixel (x, y), so that getPosition() reads
// (x, height - y) back at any scale.
void InputMouse::setPosition(int x, int y) {
    posX = x;
    posY = window.getHeight() - y;
    const ScreenPicture picture = screenPicture();
    auto firstScreenPixel = [](long long start, long long pixel, long long screenSize, long long windowSize) {
        return static_cast<Uint16>(std::clamp<long long>(
            start - floorDivide(-pixel * screenSize, windowSize), 0, 65535));
    };
    SDL_WarpMouse(firstScreenPixel(picture.left, x, picture.width, window.getWidth()),
                  firstScreenPixel(picture.top, y, picture.height, window.getHeight()));
}

int InputMouse::getX() const { return posX; }

int InputMouse::getY() const { return posY; }

unsigned InputMouse::getRepeatDelay() const { return repeatDelay; }

void InputMouse::setRepeatDelay(unsigned milliseconds) { repeatDelay = milliseconds; }

int InputMouse::getRepeatCount() const { return repeatCount; }

void InputMouse::resetRepeatCount() { repeatCount = 0; }

void InputMouse::setCursorVisible(bool visible) {
    cursorVisible = visible;
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

bool InputMouse::isCursorVisible() const { return cursorVisible; }

void InputMouse::setCursorIcon(unsigned icon) { cursorIcon = icon; }

unsigned InputMouse::getCursorIcon() const { return cursorIcon; }

// Every comparison reads the tick count afresh, as the window is judged at the
// moment of each test. Sums and comparisons are unsigned 32-bit.
void InputMouse::pressButton(int button, bool& clickTiming) {
    previousButton = currentButton;
    currentButton = button;
    if (repeatCount == 0 && !clickTiming) {
        lastClickTime = getTicks();
        clickTiming = true;
    }
    if (currentButton != previousButton) {
        repeatCount = 0;
    } else if (isButtonPressed(button)) {
        // Held, or the same event examined again: only an expired window resets.
        if (lastClickTime + repeatDelay < getTicks())
            repeatCount = 0;
    } else if (lastClickTime + repeatDelay > getTicks()) {
        ++repeatCount;
        lastClickTime = getTicks();
    } else {
        repeatCount = 0;
        clickTiming = false;
    }
    setButton(button, true);
}

// ---- Event pump ----

void Input::pollEvent() {
    // The result is deliberately not examined: with an empty queue `event`
    // still holds the last event, which is examined again.
    SDL_PollEvent(&event);
    examineEvent();
}

bool Input::nextPress(Press& press) {
    SDL_Event next;
    while (SDL_PollEvent(&next)) {
        event = next;
        examineEvent();
        if (next.type == SDL_KEYDOWN) {
            press = Press();
            press.key = next.key.keysym.sym;
            return true;
        }
        if (next.type == SDL_MOUSEBUTTONDOWN) {
            press = Press();
            press.button = next.button.button;
            press.x = mouse.getX();
            press.y = mouse.getY();
            return true;
        }
    }
    return false;
}

namespace {

bool asksToStop(const SDL_Event& event) {
    if (event.type == SDL_QUIT)
        return true;
    if (event.type != SDL_KEYDOWN)
        return false;
    const int key = event.key.keysym.sym;
    return key == SDLK_ESCAPE || (key == SDLK_F4 && (event.key.keysym.mod & KMOD_ALT) != 0);
}

}  // namespace

bool Input::stopAsked() {
    SDL_Event next;
    while (SDL_PollEvent(&next)) {
        event = next;
        examineEvent();
    }
    return stopSeen;
}

void Input::forgetStop() { stopSeen = false; }

void Input::examineEvent() {
    stopSeen = stopSeen || asksToStop(event);
    // A button event says where it happened; the pointer may have moved on.
    if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP)
        mouse.placeAt(event.button.x, event.button.y);
    else
        mouse.getPosition();
    previousEventType = eventType;
    eventType = event.type;
    if (eventType != SDL_MOUSEBUTTONDOWN && eventType != SDL_MOUSEBUTTONUP)
        mouse.repeatCount = 0;

    switch (eventType) {
    case SDL_KEYDOWN: {
        const int key = event.key.keysym.sym;
        if (keyboard.getLastKey() == key && eventType == previousEventType)
            break;
        keyboard.setKey(key, true);
        keyboard.setLastKey(key);
        break;
    }
    case SDL_KEYUP:
        keyboard.setKey(event.key.keysym.sym, false);
        break;
    case SDL_MOUSEBUTTONDOWN:
        mouse.pressButton(event.button.button, clickTiming);
        break;
    case SDL_MOUSEBUTTONUP:
        mouse.setButton(event.button.button, false);
        break;
    case SDL_QUIT:
        quitSeen = true;
        if (quitEndsProgram)
            std::exit(0);
        break;
    default:
        break;
    }
}

void Input::setQuitEndsProgram(bool ends) { quitEndsProgram = ends; }

bool Input::getQuitEndsProgram() const { return quitEndsProgram; }

bool Input::quitRequested() const { return quitSeen; }

InputKeyboard& Input::getKeyboard() { return keyboard; }

InputMouse& Input::getMouse() { return mouse; }

int Input::getEventType() const { return eventType; }

int Input::getPreviousEventType() const { return previousEventType; }

}  // namespace tarnix
