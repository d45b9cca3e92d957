#pragma once

// The engine's one source of time. Everything that reads a tick count or sleeps
// by it (the demo clock, and through it every effect; the input's multi-click
// window) goes through these functions, so the whole engine can be driven by
// another clock — a virtual one for offline capture, the development mode's,
// a fake one in tests — by installing a different source. Frame pacing sleeps
// in real time instead (engine/core/FramePacer.h).

namespace tarnix {

class TickSource {
public:
    virtual ~TickSource() = default;
    // Milliseconds since some fixed start; wraps at 2^32 like SDL's tick count.
    virtual unsigned ticks() = 0;
    // Waits (or pretends to wait) for the given number of milliseconds.
    virtual void delay(unsigned milliseconds) = 0;
};

// SDL's tick count and SDL_Delay: the default source.
class SdlTickSource : public TickSource {
public:
    unsigned ticks() override;
    void delay(unsigned milliseconds) override;
};

// Milliseconds from the installed source.
unsigned getTicks();

// Sleeps through the installed source.
void delay(unsigned milliseconds);

// Installs a source; null puts SDL's back. The source is not owned and must
// outlive its installation.
void setTickSource(TickSource* source);

}  // namespace tarnix
