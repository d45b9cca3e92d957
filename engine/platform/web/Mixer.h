#pragma once

// The page's own mixer (Mixer.cpp): SDL_mixer's calls carried out over
// Web Audio, for the engine's mixer loader.

namespace tarnix {

// The page's function for the SDL_mixer call `name` ("Mix_OpenAudio" ...),
// with SDL_mixer's signature; null for a call it does not carry out.
void* pageMixerEntryPoint(const char* name);

}  // namespace tarnix
