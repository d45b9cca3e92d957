// A stand-in for ffmpeg.exe in the Windows zip's tests under Wine, built by
// tests/app/release_windows.sh with MinGW. It is started as the program
// starts ffmpeg, reads the frames and the sound from the C runtime's
// descriptors 3 and 4 as ffmpeg would ("pipe:3", "pipe:4"), checks that each
// stream is whole (frames of the size the arguments name, sample frames of
// the channels they name), and writes what it got: the frames into the
// output file, the sound into OUTPUT.sound and its arguments, one a line,
// into OUTPUT.arguments, so that the machine's own ffmpeg can make the video
// from them. Like ffmpeg, it says what went wrong in one line on its
// standard error and exits with status 1.
//
// ENCODER_STANDIN=stall: it reads nothing and does nothing until killed.
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string valueAfter(const std::vector<std::string>& arguments, const std::string& name) {
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == name)
            return arguments[i + 1];
    return "";
}

// The system's text for GetLastError()'s code ("There is not enough space
// on the disk"), as a line ends in the program's messages: Wine's C runtime takes a disk that fills within a write
// for an invalid argument.
std::string lastError() {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, text,
                   sizeof text, nullptr);
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == '.'))
        line.pop_back();
    return line;
}

[[noreturn]] void failWith(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::exit(1);
}

// Reads descriptor `from` to its end, giving each block to `take`.
template <typename Take>
long long readAll(int from, Take take) {
    std::vector<char> block(1 << 20);
    long long total = 0;
    for (int count; (count = _read(from, block.data(), static_cast<unsigned>(block.size()))) > 0;) {
        take(block.data(), static_cast<std::size_t>(count));
        total += count;
    }
    return total;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0)
        failWith(path + ": " + std::strerror(errno));
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    if (arguments.size() == 3 && arguments[2] == "-encoders") {
        std::printf(" V....D libx264              H.264\n A....D aac                  AAC\n"
                    " A....D flac                 FLAC\n V....D ffv1                 FFV1\n");
        return 0;
    }
    const char* mode = std::getenv("ENCODER_STANDIN");
    if (mode && std::strcmp(mode, "stall") == 0)
        Sleep(INFINITE);

    unsigned width = 0, height = 0;
    std::sscanf(valueAfter(arguments, "-video_size").c_str(), "%ux%u", &width, &height);
    const std::string layout = valueAfter(arguments, "-pixel_format");
    const long long frameBytes = layout == "nv12" ? width * height * 3LL / 2 : width * height * 3LL;
    const long long sampleFrameBytes = 2LL * std::atoi(valueAfter(arguments, "-channels").c_str());
    std::string output = arguments.back();
    if (output.rfind("file:", 0) == 0)
        output = output.substr(5);
    if (frameBytes <= 0 || sampleFrameBytes <= 0 || arguments.size() < 3)
        failWith("stand-in: no frame size, layout or channels among the arguments");
    HANDLE frames = CreateFileA(output.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (frames == INVALID_HANDLE_VALUE)
        failWith(output + ": " + lastError());

    // Both at once, as ffmpeg reads them: the program writes each from a
    // thread of its own.
    std::string sound;
    long long soundBytes = 0;
    std::thread soundReader([&] { soundBytes = readAll(4, [&](const char* bytes, std::size_t count) {
                                                  sound.append(bytes, count);
                                              }); });
    const long long framesBytes = readAll(3, [&](const char* bytes, std::size_t count) {
        for (DWORD written = 0; count > 0; bytes += written, count -= written)
            if (!WriteFile(frames, bytes, static_cast<DWORD>(count), &written, nullptr) || written == 0)
                failWith(output + ": " + lastError());
    });
    soundReader.join();
    CloseHandle(frames);
    if (framesBytes == 0 || framesBytes % frameBytes != 0)
        failWith("stand-in: the frames' stream holds " + std::to_string(framesBytes) + " bytes, not whole frames of " +
                 std::to_string(frameBytes));
    if (soundBytes == 0 || soundBytes % sampleFrameBytes != 0)
        failWith("stand-in: the sound's stream holds " + std::to_string(soundBytes) + " bytes, not whole frames of " +
                 std::to_string(sampleFrameBytes));
    writeFile(output + ".sound", sound);
    std::string listed;
    for (const std::string& argument : arguments)
        listed += argument + "\n";
    writeFile(output + ".arguments", listed);
    return 0;
}
