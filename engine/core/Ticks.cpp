#include "engine/core/Ticks.h"

#include <SDL.h>

namespace tarnix {

namespace {

SdlTickSource sdlTickSource;
TickSource* installedSource = &sdlTickSource;

}  // namespace

unsigned SdlTickSource::ticks() { return SDL_GetTicks(); }

void SdlTickSource::delay(unsigned milliseconds) { SDL_Delay(milliseconds); }

unsigned getTicks() { return installedSource->ticks(); }

void delay(unsigned milliseconds) { installedSource->delay(milliseconds); }

void setTickSource(TickSource* source) { installedSource = source ? source : &sdlTickSource; }

}  // namespace tarnix
