#include "app/dev/LiveCode.h"


#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

// Where the sources and the build are, as CMake configured a build with live
// code; empty in any other build, which reloads no code.
#ifdef TARNIX_LIVE_CODE_LIBRARY
const char* const sourceFolder = TARNIX_LIVE_CODE_SOURCE;
const char* const buildFolder = TARNIX_LIVE_CODE_BUILD;
const char* const libraryFile = TARNIX_LIVE_CODE_LIBRARY;
const char* const cmakeProgram = TARNIX_LIVE_CODE_CMAKE;
#else
const char* const sourceFolder = "";
const char* const buildFolder = "";
const char* const libraryFile = "";
const char* const cmakeProgram = "";
#endif
const char* const libraryTarget = "tarnix_demo_code";


// The compiler names a file by the path it was given: absolute, or (through
// the compiler cache's base folder) relative to the folder it compiled in,
// the library's own. Either way it is shown relative to the sources.
std::string withSourcePath(const std::string& line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0)
        return line;
    std::filesystem::path file = line.substr(0, colon);
    if (file.is_relative())
        file = std::filesystem::path(libraryFile).parent_path() / file;
    std::error_code missing;
    if (!std::filesystem::is_regular_file(file, missing))
        return line;  // a tool's name ("make[2]", "collect2")
    const std::filesystem::path relative = file.lexically_normal().lexically_relative(sourceFolder);
    if (relative.empty() || *relative.begin() == "..")
        return line;
    return relative.generic_string() + line.substr(colon);
}

// The line of a build's output a developer reads first: the compiler's or
// the linker's first error, else the last line said.
std::string firstError(const std::string& output) {
    static const char* const marks[] = {": error:", ": fatal error:", "undefined reference", "multiple definition"};
    std::string last;
    for (std::size_t start = 0, end; start < output.size(); start = end + 1) {
        end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(start, end - start);
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        for (const char* mark : marks)
            if (line.find(mark) != std::string::npos)
                return withSourcePath(line);
        last = line;
    }
    return withSourcePath(last);
}

}  // namespace

LiveCode::~LiveCode() {
    if (build)
        build->kill();
    if (library) {
        running->releaseObjects();
        tarnix::closeLibrary(library);
    }
}

bool LiveCode::builtIn() { return *libraryFile != '\0'; }

// Live code needs the program to start the build and to load the demo's code
// as a library: only Linux builds have both (the platform says why not).
const char* LiveCode::whyOff() {
    if (builtIn())
        return "";
    if (*tarnix::noLiveCodeReason != '\0')
        return tarnix::noLiveCodeReason;
    return "the preset dev builds it in, on Linux";
}

bool LiveCode::watch(std::string& error) {
    error.clear();
    if (!builtIn())
        return false;
    watching = watcher.watch(std::string(sourceFolder) + "/app/demo", error);
    return watching;
}

LiveCode::Change LiveCode::poll() {
    if (!watching)
        return Change::none;
    for (const std::string& name : watcher.changedNames())
        if (LiveCode::rebuildsAfterSaving(name) && !savedSince) {
            savedSince = true;
            savedAt = Clock::now();
        }
    if (building()) {
        const int status = build->exitStatus();
        if (status == -2)
            return Change::none;
        if (!savedSince)
            return finishBuild(status);
        // Saved again meanwhile: the build of the newer sources decides.
    }
    if (savedSince && !startBuild())
        return Change::failed;
    return Change::none;
}

bool LiveCode::building() const { return build && build->running(); }

bool LiveCode::startBuild() {
    savedSince = false;
    buildSavedAt = savedAt;
    build = std::make_unique<tarnix::ChildProcess>();
    build->runInForeground(sourceFolder);
    std::printf("tarnix: the demo's code changed; building it\n");
    std::fflush(stdout);
    std::string error;
    const std::vector<std::string> arguments = {"cmake", "--build", buildFolder, "--target", libraryTarget};
    if (build->start(cmakeProgram, arguments, {}, error))
        return true;
    build.reset();
    failureLine = std::string("tarnix: ") + cmakeProgram + ": cannot build the demo's code: " + error;
    std::fprintf(stderr, "%s\n", failureLine.c_str());
    return false;
}

LiveCode::Change LiveCode::finishBuild(int status) {
    const std::string output = build->messages();
    build.reset();
    std::string error;
    if (status != 0) {
        failureLine = firstError(output);
        failureLine = "tarnix: " + (failureLine.empty() ? "the demo's code did not build" : failureLine);
    } else if (!load(error)) {
        failureLine = std::string("tarnix: ") + libraryFile + ": " + error + "; the code running stays";
    } else {
        reloadSeconds = std::chrono::duration<double>(Clock::now() - buildSavedAt).count();
        std::printf("tarnix: the demo's code loaded again, %.1f s after the save\n", reloadSeconds);
        std::fflush(stdout);
        return Change::loaded;
    }
    std::fprintf(stderr, "%s\n", failureLine.c_str());
    return Change::failed;
}

// The library is loaded from a copy under a name of its own: the system
// hands back the library it already holds for a name it loaded before, and
// Windows locks a loaded file, which the next build must replace. The new
// copy is set up before the old one goes, so that a copy that cannot be
// loaded leaves the old one running.
bool LiveCode::load(std::string& error) {
    const std::string copy = (std::filesystem::temp_directory_path() /
                              ("tarnix-demo-code-" + std::to_string(tarnix::processId()) + "-" +
                               std::to_string(++copiesLoaded) + tarnix::libraryFileEnding))
                                 .string();
    std::error_code fileError;
    std::filesystem::copy_file(libraryFile, copy, std::filesystem::copy_options::overwrite_existing, fileError);
    if (fileError) {
        error = "cannot be copied to " + copy + ": " + fileError.message();
        return false;
    }
    void* loaded = tarnix::openLibrary(copy, error);
    std::filesystem::remove(copy, fileError);  // on POSIX the loaded library stays
    if (!loaded)
        return false;
    using Entry = const DemoCode* (*)();
    const auto entry = reinterpret_cast<Entry>(tarnix::libraryEntryPoint(loaded, TARNIX_DEMO_CODE_ENTRY));
    const DemoCode* code = entry ? entry() : nullptr;
    if (!code || code->size != sizeof(DemoCode)) {
        tarnix::closeLibrary(loaded);
        error = code ? "its table of entry points is not this program's; start the development mode again"
                     : "has no entry point " TARNIX_DEMO_CODE_ENTRY;
        return false;
    }
    code->setCalm(running->isCalm());
    code->setUpObjects();
    code->keepSetUpState();
    running->releaseObjects();
    if (library)
        tarnix::closeLibrary(library);
    running = code;
    library = loaded;
    return true;
}

bool LiveCode::rebuildsAfterSaving(const std::string& name) {
    const auto endsWith = [&name](const std::string& ending) {
        return name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
    };
    return endsWith(".cpp") || endsWith(".h");
}

const DemoCode& LiveCode::code() const { return *running; }

const std::string& LiveCode::failure() const { return failureLine; }

double LiveCode::lastReloadSeconds() const { return reloadSeconds; }
