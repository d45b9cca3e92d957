// The SDL_mixer calls the engine makes (engine/media/MixerLibrary), carried
// out in the browser: sound files decoded here (WAV, and Ogg Vorbis with
// libvorbisfile) into the device's format, and mixing channels played by the
// page's Web Audio context, each chunk an audio buffer and each channel a
// source and a gain. Library_web.cpp hands these out by name
// (pageMixerEntryPoint) as the desktop's loader finds SDL_mixer's. The music is a looping chunk like any other;
// while one plays, each demo time the program tells the page comes with
// document.body.dataset.musicTime: where in the track the listener is at
// that moment, in ms (counted from the track's start, where the engine tells
// the page it began the music as dataset.musicFrom).

#include "engine/platform/web/Mixer.h"

#include "engine/media/Pcm.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <emscripten.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- The page's side ----

// clang-format off
EM_JS(int, webAudioOpen, (int rate), {
    var AudioContextClass = window.AudioContext || window.webkitAudioContext;
    if (!AudioContextClass) return 0;
    var ctx = Module.audioContext || new AudioContextClass({sampleRate: rate});
    Module.audioContext = ctx;
    var audio = {ctx: ctx, channels: [], buffers: new Map(), music: null};
    for (var i = 0; i < 8; ++i) {
        var gain = ctx.createGain();
        gain.connect(ctx.destination);
        audio.channels.push({gain: gain, source: null, busy: false, paused: false, at: 0});
    }
    // Starts the channel's chunk `offset` seconds in; `loops` as SDL_mixer
    // counts them (-1 for ever, n for n more times).
    audio.start = function(channel, buffer, loops, offset) {
        if (channel.source) { channel.source.onended = null; channel.source.stop(); }
        var source = ctx.createBufferSource();
        source.buffer = buffer;
        source.loop = loops != 0;
        source.connect(channel.gain);
        var now = ctx.currentTime;
        source.start(now, offset);
        if (loops > 0) source.stop(now + buffer.duration * (loops + 1) - offset);
        source.onended = function() { if (channel.source === source) { channel.busy = false; channel.source = null; } };
        channel.source = source;
        channel.busy = true;
        channel.paused = false;
        channel.loops = loops;
        channel.started = now - offset;
        return now;
    };
    Module.tarnixAudio = audio;
    Module.onTell = function(name) {
        var music = audio.music;
        if (name != 'demoTime' || Module.tarnixAudio !== audio || !music || audio.channels[music.channel].paused) return;
        var heard = ctx.currentTime - (ctx.outputLatency || 0) - (ctx.baseLatency || 0) - music.started;
        var ms = music.from + Math.max(0, heard) * 1000;
        document.body.dataset.musicTime = String(Math.round(ms % music.length));
    };
    return 1;
});

EM_JS(void, webAudioClose, (), {
    var audio = Module.tarnixAudio;
    if (!audio) return;
    audio.channels.forEach(function(channel) { if (channel.source) channel.source.stop(); });
    Module.tarnixAudio = null;
});

// The chunk's samples (interleaved signed 16-bit, two channels) as an audio
// buffer, made once per chunk.
EM_JS(void, webAudioPlay, (int channelIndex, int chunk, const int16_t* samples, int frames, int loops), {
    var audio = Module.tarnixAudio;
    var ctx = audio.ctx;
    var buffer = audio.buffers.get(chunk);
    if (!buffer) {
        buffer = ctx.createBuffer(2, Math.max(frames, 1), ctx.sampleRate);
        var left = buffer.getChannelData(0), right = buffer.getChannelData(1);
        var base = samples >> 1;
        for (var i = 0; i < frames; ++i) {
            left[i] = HEAP16[base + 2 * i] / 32768;
            right[i] = HEAP16[base + 2 * i + 1] / 32768;
        }
        audio.buffers.set(chunk, buffer);
    }
    var channel = audio.channels[channelIndex];
    channel.chunk = chunk;
    var now = audio.start(channel, buffer, loops, 0);
    if (loops < 0) {
        var from = Number(document.body.dataset.musicFrom || 0);
        audio.music = {channel: channelIndex, started: now, from: from, length: buffer.duration * 1000};
    }
});

EM_JS(int, webAudioBusy, (int channelIndex), {
    var channel = Module.tarnixAudio.channels[channelIndex];
    return channel.busy ? 1 : 0;
});

EM_JS(void, webAudioHalt, (int channelIndex), {
    var audio = Module.tarnixAudio;
    var channel = audio.channels[channelIndex];
    if (channel.source) { channel.source.onended = null; channel.source.stop(); }
    channel.source = null;
    channel.busy = false;
    channel.paused = false;
    if (audio.music && audio.music.channel == channelIndex) audio.music = null;
});

// A paused channel keeps where it was, in seconds into its chunk, and starts
// there again when resumed; the music's clock waits meanwhile.
EM_JS(void, webAudioPause, (int channelIndex), {
    var audio = Module.tarnixAudio;
    var channel = audio.channels[channelIndex];
    if (!channel.source || channel.paused) return;
    var position = audio.ctx.currentTime - channel.started;
    var length = channel.source.buffer.duration;
    channel.at = channel.loops != 0 ? position % length : Math.min(position, length);
    channel.pausedAt = audio.ctx.currentTime;
    channel.source.onended = null;
    channel.source.stop();
    channel.source = null;
    channel.paused = true;
});

EM_JS(void, webAudioResume, (int channelIndex), {
    var audio = Module.tarnixAudio;
    var channel = audio.channels[channelIndex];
    var buffer = audio.buffers.get(channel.chunk);
    if (!channel.paused || !buffer) return;
    audio.start(channel, buffer, channel.loops, channel.at);
    if (audio.music && audio.music.channel == channelIndex)
        audio.music.started += audio.ctx.currentTime - channel.pausedAt;
});

EM_JS(void, webAudioVolume, (int channelIndex, double level), {
    Module.tarnixAudio.channels[channelIndex].gain.gain.value = level;
});

EM_JS(void, webAudioForget, (int chunk), {
    if (Module.tarnixAudio) Module.tarnixAudio.buffers.delete(chunk);
});
// clang-format on

// ---- The device ----

const int channelCount = 8;  // SDL_mixer's own number of mixing channels

struct Device {
    bool open = false;
    int rate = 0;
    int volumes[channelCount] = {};
    Mix_Chunk* playing[channelCount] = {};
};
Device device;

int chunkId(const Mix_Chunk* chunk) { return static_cast<int>(reinterpret_cast<std::uintptr_t>(chunk)); }

// ---- Decoding ----

struct MemorySource {
    const unsigned char* data;
    std::size_t size;
    std::size_t at;
};

std::size_t readMemory(void* into, std::size_t size, std::size_t count, void* source) {
    auto* memory = static_cast<MemorySource*>(source);
    const std::size_t bytes = std::min(size * count, memory->size - memory->at);
    std::memcpy(into, memory->data + memory->at, bytes);
    memory->at += bytes;
    return size ? bytes / size : 0;
}

int seekMemory(void* source, ogg_int64_t offset, int whence) {
    auto* memory = static_cast<MemorySource*>(source);
    const ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<ogg_int64_t>(memory->at)
                                                                        : static_cast<ogg_int64_t>(memory->size);
    const ogg_int64_t target = base + offset;
    if (target < 0 || target > static_cast<ogg_int64_t>(memory->size))
        return -1;
    memory->at = static_cast<std::size_t>(target);
    return 0;
}

long tellMemory(void* source) { return static_cast<long>(static_cast<MemorySource*>(source)->at); }

bool decodeVorbis(const unsigned char* data, std::size_t size, tarnix::Pcm& pcm) {
    MemorySource memory = {data, size, 0};
    const ov_callbacks callbacks = {readMemory, seekMemory, nullptr, tellMemory};
    OggVorbis_File file;
    if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) != 0) {
        SDL_SetError("not an Ogg Vorbis file");
        return false;
    }
    const vorbis_info* info = ov_info(&file, -1);
    pcm.channels = info->channels;
    pcm.rate = static_cast<int>(info->rate);
    std::vector<char> block(8192);
    int section = 0;
    for (;;) {
        const long got = ov_read(&file, block.data(), static_cast<int>(block.size()), 0, 2, 1, &section);
        if (got == 0)
            break;
        if (got < 0) {
            ov_clear(&file);
            SDL_SetError("a damaged Ogg Vorbis stream");
            return false;
        }
        const auto* values = reinterpret_cast<const std::int16_t*>(block.data());
        pcm.samples.insert(pcm.samples.end(), values, values + got / 2);
    }
    ov_clear(&file);
    if (pcm.channels < 1 || pcm.channels > 2) {
        SDL_SetError("Ogg Vorbis with other than one or two channels");
        return false;
    }
    if (pcm.rate < tarnix::lowestPcmRate || pcm.rate > tarnix::highestPcmRate) {
        SDL_SetError("an Ogg Vorbis sample rate outside %d to %d Hz", tarnix::lowestPcmRate, tarnix::highestPcmRate);
        return false;
    }
    return true;
}

Mix_Chunk* chunkOver(std::vector<std::int16_t> samples) {
    auto* chunk = new Mix_Chunk;
    chunk->allocated = 1;
    chunk->alen = static_cast<Uint32>(samples.size() * sizeof(std::int16_t));
    chunk->abuf = new Uint8[chunk->alen];
    std::memcpy(chunk->abuf, samples.data(), chunk->alen);
    chunk->volume = MIX_MAX_VOLUME;
    return chunk;
}

bool validChannel(int channel) { return channel >= 0 && channel < channelCount; }

template <typename Action>
void forChannels(int channel, Action action) {
    if (channel == -1) {
        for (int c = 0; c < channelCount; ++c)
            action(c);
    } else if (validChannel(channel)) {
        action(channel);
    }
}

}  // namespace

// ---- Mix_ calls ----

namespace tarnix {

namespace {

int webMixOpenAudio(int frequency, Uint16 format, int channels, int) {
    if (format != AUDIO_S16LSB || channels != 2) {
        SDL_SetError("the browser's mixer plays signed 16-bit stereo only");
        return -1;
    }
    if (!webAudioOpen(frequency)) {
        SDL_SetError("this browser has no Web Audio");
        return -1;
    }
    device = Device();
    device.open = true;
    device.rate = frequency;
    std::fill(std::begin(device.volumes), std::end(device.volumes), MIX_MAX_VOLUME);
    return 0;
}

void webMixCloseAudio() {
    webAudioClose();
    device = Device();
}

Mix_Chunk* webMixLoadWavRw(SDL_RWops* source, int freeSource) {
    const unsigned char* data = source->hidden.mem.base;
    const auto size = static_cast<std::size_t>(source->hidden.mem.stop - source->hidden.mem.base);
    Pcm pcm;
    const bool ogg = size >= 4 && std::memcmp(data, "OggS", 4) == 0;
    std::string error;
    const bool decoded = ogg ? decodeVorbis(data, size, pcm) : decodeWave(data, size, pcm, error);
    if (!decoded && !ogg)
        SDL_SetError("%s", error.c_str());
    if (freeSource)
        SDL_FreeRW(source);
    if (!decoded || pcm.samples.empty() || !device.open)
        return nullptr;
    return chunkOver(stereoAtRate(pcm, device.rate));
}

void webMixFreeChunk(Mix_Chunk* chunk) {
    if (!chunk)
        return;
    for (int c = 0; c < channelCount; ++c)
        if (device.playing[c] == chunk) {
            webAudioHalt(c);
            device.playing[c] = nullptr;
        }
    webAudioForget(chunkId(chunk));
    if (chunk->allocated)
        delete[] chunk->abuf;
    delete chunk;
}

int webMixPlayChannelTimed(int channel, Mix_Chunk* chunk, int loops, int) {
    if (!device.open || !chunk)
        return -1;
    if (channel == -1)
        for (int c = 0; c < channelCount && channel == -1; ++c)
            if (!webAudioBusy(c))
                channel = c;
    if (!validChannel(channel)) {
        SDL_SetError("no free channel");
        return -1;
    }
    device.playing[channel] = chunk;
    webAudioPlay(channel, chunkId(chunk), reinterpret_cast<const std::int16_t*>(chunk->abuf),
                 static_cast<int>(chunk->alen / 4), loops);
    return channel;
}

int webMixHaltChannel(int channel) {
    if (device.open)
        forChannels(channel, [](int c) {
            webAudioHalt(c);
            device.playing[c] = nullptr;
        });
    return 0;
}

void webMixPause(int channel) {
    if (device.open)
        forChannels(channel, [](int c) { webAudioPause(c); });
}

void webMixResume(int channel) {
    if (device.open)
        forChannels(channel, [](int c) { webAudioResume(c); });
}

int webMixVolume(int channel, int volume) {
    if (channel == -1) {
        int sum = 0;
        for (int c = 0; c < channelCount; ++c)
            sum += webMixVolume(c, volume);
        return sum / channelCount;
    }
    if (!validChannel(channel))
        return 0;
    const int previous = device.volumes[channel];
    if (volume >= 0) {
        device.volumes[channel] = std::min(volume, MIX_MAX_VOLUME);
        if (device.open)
            webAudioVolume(channel, static_cast<double>(device.volumes[channel]) / MIX_MAX_VOLUME);
    }
    return previous;
}

int webMixQuerySpec(int* frequency, Uint16* format, int* channels) {
    if (!device.open)
        return 0;
    *frequency = device.rate;
    *format = AUDIO_S16LSB;
    *channels = 2;
    return 1;
}

Mix_Chunk* webMixQuickLoadRaw(Uint8* samples, Uint32 length) {
    auto* chunk = new Mix_Chunk;
    chunk->allocated = 0;
    chunk->abuf = samples;
    chunk->alen = length;
    chunk->volume = MIX_MAX_VOLUME;
    return chunk;
}

// The engine plays its music on mixing channels: SDL_mixer's music stream
// stays silent, and these have nothing to do.
int webMixHaltMusic() { return 0; }
void webMixPauseMusic() {}
void webMixResumeMusic() {}
void webMixRewindMusic() {}
int webMixSetMusicPosition(double) { return 0; }
int webMixVolumeMusic(int) { return MIX_MAX_VOLUME; }

struct EntryPoint {
    const char* name;
    void* function;
};

template <typename Function>
EntryPoint entry(const char* name, Function function) {
    return {name, reinterpret_cast<void*>(function)};
}

const EntryPoint mixerEntryPoints[] = {
    entry("Mix_OpenAudio", webMixOpenAudio),
    entry("Mix_CloseAudio", webMixCloseAudio),
    entry("Mix_LoadWAV_RW", webMixLoadWavRw),
    entry("Mix_FreeChunk", webMixFreeChunk),
    entry("Mix_PlayChannelTimed", webMixPlayChannelTimed),
    entry("Mix_HaltChannel", webMixHaltChannel),
    entry("Mix_HaltMusic", webMixHaltMusic),
    entry("Mix_Pause", webMixPause),
    entry("Mix_Resume", webMixResume),
    entry("Mix_PauseMusic", webMixPauseMusic),
    entry("Mix_ResumeMusic", webMixResumeMusic),
    entry("Mix_RewindMusic", webMixRewindMusic),
    entry("Mix_SetMusicPosition", webMixSetMusicPosition),
    entry("Mix_Volume", webMixVolume),
    entry("Mix_VolumeMusic", webMixVolumeMusic),
    entry("Mix_QuerySpec", webMixQuerySpec),
    entry("Mix_QuickLoad_RAW", webMixQuickLoadRaw),
};

}  // namespace

void* pageMixerEntryPoint(const char* name) {
    for (const EntryPoint& entryPoint : mixerEntryPoints)
        if (std::strcmp(entryPoint.name, name) == 0)
            return entryPoint.function;
    return nullptr;
}

}  // namespace tarnix
