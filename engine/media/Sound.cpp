#include "engine/media/Sound.h"

#include "engine/io/FileIO.h"
#include "engine/io/FileName.h"
#include "engine/media/MixerLibrary.h"
#include "engine/platform/Platform.h"

#include <SDL.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace tarnix {

Sound sound;

namespace {

const int allChannels = -1;
const int firstFreeChannel = -1;
const int noTimeLimit = -1;

// Set while the device is open; every mixer call goes through it.
const MixerLibrary* mix = nullptr;

int mixerVolume(float volume) { return static_cast<int>(volume * MIX_MAX_VOLUME); }

void playOnFreeChannel(Mix_Chunk* chunk, int loops) { mix->playChannelTimed(firstFreeChannel, chunk, loops, noTimeLimit); }

}  // namespace

// ---- Device ----

void Sound::init() {
    if (deviceOpen)
        return;
    mix = loadMixerLibrary();
    deviceOpen = mix && mix->openAudio(frequency, format, channels, chunkSize) == 0;
    if (!deviceOpen)
        std::fprintf(stderr, "tarnix: no audio device, playing without sound: %s\n", SDL_GetError());
}

// SDL_mixer keeps its channel count after closing but frees the channels, so
// no channel call may reach it while the device is closed: every operation
// below checks deviceOpen first.
void Sound::close() {
    if (!deviceOpen)
        return;  // nothing can have been loaded
    mix->haltChannel(allChannels);
    mix->haltMusic();
    for (SoundContainer& effect : sounds)
        mix->freeChunk(effect.chunk);
    for (MusicContainer& track : music)
        mix->freeChunk(track.chunk);
    if (turnedTrack)
        mix->freeChunk(turnedTrack);
    turnedTrack = nullptr;
    turnedSamples.clear();
    sounds.clear();
    music.clear();
    mix->closeAudio();
    deviceOpen = false;
}

bool Sound::isOpen() const { return deviceOpen; }

// A sound started now is mixed into the next buffer the device asks for (half
// a buffer away on average), which it plays after the one it is playing:
// one and a half buffers.
unsigned Sound::latencyMs() const {
    return deviceOpen ? static_cast<unsigned>((chunkSize * 1500 + frequency / 2) / frequency) : 0;
}

// ---- Loading ----

namespace {

// A read-only memory stream over a file's bytes that ends once `abandon`
// turns true, so that a decoder reading it gives up at its next read. The
// stream comes first: the decoder's pointer is this object's. Its functions
// take whichever sizes the SDL headers give them.
struct AbandonableMemory {
    SDL_RWops stream{};
    const unsigned char* bytes = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
    const std::atomic<bool>* abandon = nullptr;

    static AbandonableMemory& of(SDL_RWops* stream) { return *reinterpret_cast<AbandonableMemory*>(stream); }
};

template <typename Position, typename Offset>
Position seekAbandonable(SDL_RWops* stream, Offset offset, int whence) {
    AbandonableMemory& memory = AbandonableMemory::of(stream);
    const long long base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? static_cast<long long>(memory.at)
                                                                             : static_cast<long long>(memory.size);
    const long long to = base + static_cast<long long>(offset);
    memory.at = static_cast<std::size_t>(std::clamp(to, 0LL, static_cast<long long>(memory.size)));
    return static_cast<Position>(memory.at);
}

template <typename Count>
Count readAbandonable(SDL_RWops* stream, void* destination, Count size, Count count) {
    AbandonableMemory& memory = AbandonableMemory::of(stream);
    if (size <= 0 || count <= 0 || memory.abandon->load(std::memory_order_relaxed))
        return 0;
    const std::size_t whole = std::min<std::size_t>(static_cast<std::size_t>(count),
                                                    (memory.size - memory.at) / static_cast<std::size_t>(size));
    std::memcpy(destination, memory.bytes + memory.at, whole * static_cast<std::size_t>(size));
    memory.at += whole * static_cast<std::size_t>(size);
    return static_cast<Count>(whole);
}

template <typename Count>
Count writeNothing(SDL_RWops*, const void*, Count, Count) { return 0; }

int closeAbandonable(SDL_RWops* stream) {
    delete &AbandonableMemory::of(stream);
    return 0;
}

SDL_RWops* abandonableMemory(const unsigned char* bytes, std::size_t size, const std::atomic<bool>* abandon) {
    auto* memory = new AbandonableMemory;
    memory->bytes = bytes;
    memory->size = size;
    memory->abandon = abandon;
    memory->stream.seek = seekAbandonable;
    memory->stream.read = readAbandonable;
    memory->stream.write = writeNothing;
    memory->stream.close = closeAbandonable;
    return &memory->stream;
}

// The whole sample of a sound data file, or null after one line on standard
// error; null and silent once `abandon` (when given) turned true during it.
// The browser's mixer reads its memory streams' bytes itself, and there no
// decode runs beside the loop that would abandon it.
Mix_Chunk* decodeSound(const char* name, const std::atomic<bool>* abandon) {
    Mix_Chunk* chunk = nullptr;
    {
        FileIO file(name);
        if (!file) {
            std::fprintf(stderr, "tarnix: %s: cannot open the sound\n", name);
            return nullptr;
        }
        // SDL takes a non-const pointer but only reads; the memory stream is
        // freed by the loader (second argument 1), the bytes with `file`.
        unsigned char* bytes = const_cast<unsigned char*>(file.readFile());
        SDL_RWops* memory = abandon && threadsAvailable ? abandonableMemory(bytes, file.getLength(), abandon)
                                                        : SDL_RWFromMem(bytes, static_cast<int>(file.getLength()));
        chunk = memory ? mix->loadWavRw(memory, 1) : nullptr;
    }
    if (abandon && abandon->load()) {
        if (chunk)
            mix->freeChunk(chunk);
        return nullptr;
    }
    if (!chunk)
        std::fprintf(stderr, "tarnix: %s: cannot decode the sound: %s\n", name, SDL_GetError());
    return chunk;
}

}  // namespace

void Sound::load(const char* name) { add(decode(name)); }

DecodedSound Sound::decode(const char* name, const std::atomic<bool>* abandon) const {
    DecodedSound decoded;
    decoded.name = name;
    if (deviceOpen) {  // else already reported once by init()
        static std::mutex oneAtATime;
        std::lock_guard<std::mutex> lock(oneAtATime);
        decoded.chunk = decodeSound(name, abandon);
    }
    return decoded;
}

void Sound::add(DecodedSound decoded) {
    if (!decoded.chunk)
        return;
    if (hasExtension(decoded.name, "wav"))
        sounds.push_back({decoded.name, decoded.chunk});
    else
        music.push_back({decoded.name, decoded.chunk});
}

// Every channel is halted first: none may go on playing a sample being freed.
bool Sound::reload(const char* name) {
    if (!deviceOpen)
        return false;
    Mix_Chunk** slot = nullptr;
    for (SoundContainer& effect : sounds)
        if (!slot && effect.name == name)
            slot = &effect.chunk;
    for (MusicContainer& track : music)
        if (!slot && track.name == name)
            slot = &track.chunk;
    if (!slot) {
        std::fprintf(stderr, "tarnix: %s: not loaded at start, so not loaded again (restart to use it)\n", name);
        return false;
    }
    Mix_Chunk* chunk = decodeSound(name, nullptr);
    if (!chunk)
        return false;
    mix->haltChannel(allChannels);
    mix->freeChunk(*slot);
    *slot = chunk;
    return true;
}

// ---- Playing ----

void Sound::playSound(unsigned i) {
    if (i < sounds.size())
        playOnFreeChannel(sounds[i].chunk, 0);
}

void Sound::playSound(const char* name) {
    for (const SoundContainer& effect : sounds)
        if (effect.name == name)
            playOnFreeChannel(effect.chunk, 0);
}

// A page shows where in the track the music is from where it started.
void Sound::playMusic(unsigned i) {
    if (i >= music.size())
        return;
    tellHost("musicFrom", "0");
    playOnFreeChannel(music[i].chunk, musicLoops);
}

void Sound::play(unsigned i) { playMusic(i); }

void Sound::playMusic(const char* name) {
    for (const MusicContainer& track : music)
        if (track.name == name)
            playOnFreeChannel(track.chunk, musicLoops);
}

// The track is cyclic as it loops, so starting part-way through and looping
// is the same as playing the track turned round to begin at that point. At
// another speed the turned track is resampled to it, each frame the source
// frame at or before its place: one loop lasts the track's length over the
// speed, so the music keeps step with a demo clock running at that speed.
void Sound::playMusicFrom(unsigned i, unsigned ms, double speed) {
    if (!deviceOpen || i >= music.size() || !(speed > 0))
        return;
    int rate = 0, channels = 0;
    Uint16 format = 0;
    mix->querySpec(&rate, &format, &channels);
    const Mix_Chunk* track = music[i].chunk;
    const std::size_t frameBytes = static_cast<std::size_t>(channels) * ((format & 0xFF) / 8);
    if (frameBytes == 0 || track->alen < frameBytes)
        return;
    const std::size_t frames = track->alen / frameBytes;
    const std::size_t startFrame = static_cast<std::size_t>(static_cast<unsigned long long>(ms) * rate / 1000 % frames);
    if (turnedTrack) {
        mix->haltChannel(allChannels);
        mix->freeChunk(turnedTrack);
    }
    const auto turnedFrames = static_cast<std::size_t>(std::ceil(static_cast<double>(frames) / speed));
    turnedSamples.resize(turnedFrames * frameBytes);
    for (std::size_t k = 0; k < turnedFrames; ++k) {
        const std::size_t source = (startFrame + static_cast<std::size_t>(static_cast<double>(k) * speed)) % frames;
        std::memcpy(&turnedSamples[k * frameBytes], track->abuf + source * frameBytes, frameBytes);
    }
    turnedTrack = mix->quickLoadRaw(turnedSamples.data(), static_cast<Uint32>(turnedSamples.size()));
    tellHost("musicFrom", std::to_string(ms));
    if (turnedTrack)
        playOnFreeChannel(turnedTrack, musicLoops);
}

bool Sound::musicSamples(unsigned i, std::vector<std::int16_t>& samples, int& rate, int& channels) const {
    if (!deviceOpen || i >= music.size())
        return false;
    Uint16 format = 0;
    mix->querySpec(&rate, &format, &channels);
    if (format != AUDIO_S16LSB && format != AUDIO_S16MSB)
        return false;
    const Mix_Chunk* track = music[i].chunk;
    samples.resize(track->alen / 2);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const Uint8* bytes = track->abuf + 2 * k;
        const unsigned value = format == AUDIO_S16LSB ? (bytes[0] | bytes[1] << 8) : (bytes[1] | bytes[0] << 8);
        samples[k] = static_cast<std::int16_t>(value);
    }
    return true;
}

void Sound::pause(bool on) {
    if (!deviceOpen)
        return;
    if (on) {
        mix->pause(allChannels);
        mix->pauseMusic();
    } else {
        mix->resume(allChannels);
        mix->resumeMusic();
    }
}

void Sound::stop() {
    if (!deviceOpen)
        return;
    mix->haltChannel(allChannels);
    mix->haltMusic();
}

void Sound::setPosition(float seconds) {
    if (!deviceOpen)
        return;
    mix->haltChannel(allChannels);
    mix->rewindMusic();
    mix->setMusicPosition(static_cast<int>(seconds));
}

void Sound::setMusicLooping(bool on) { musicLoops = on ? -1 : 0; }

bool Sound::isMusicLooping() const { return musicLoops == -1; }

void Sound::setSoundVolume(float volume) {
    soundVolume = volume;
    if (deviceOpen)
        mix->volume(allChannels, mixerVolume(volume));
}

void Sound::setMusicVolume(float volume) {
    musicVolume = volume;
    if (deviceOpen)
        mix->volumeMusic(mixerVolume(volume));
}

float Sound::getSoundVolume() const { return soundVolume; }

float Sound::getMusicVolume() const { return musicVolume; }

std::size_t Sound::getSoundCount() const { return sounds.size(); }

std::size_t Sound::getMusicCount() const { return music.size(); }

const SoundContainer& Sound::getSound(std::size_t i) const {
    assert(i < sounds.size());
    return sounds[i];
}

const MusicContainer& Sound::getMusic(std::size_t i) const {
    assert(i < music.size());
    return music[i];
}

}  // namespace tarnix
