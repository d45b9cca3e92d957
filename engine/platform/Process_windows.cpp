#include "engine/platform/Platform.h"
#include "engine/platform/Shared.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <mmsystem.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Child processes through CreateProcessW. A child's pipe i reaches it as the
// C runtime's descriptor 3 + i ("pipe:3" to ffmpeg), as on POSIX: the C
// runtime of a Windows program takes the descriptors its parent lists in
// STARTUPINFO's reserved block (the one _spawn fills), in both Microsoft's
// runtimes. Each child is in a Job object of its own that kills it once the
// last handle to the job closes: when this program ends, however it ends.
// Paths are in the ANSI code page, as everywhere in this layer.

namespace tarnix {

const bool childProcessesAvailable = true;

const char* const programPlaces = "beside tarnix.exe or on the PATH";

std::string programAdvice(const char* program) {
    return std::string("install ") + program + " or put " + program + ".exe beside tarnix.exe";
}

namespace {

std::wstring wide(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}

// One argument as the C runtime's parser takes it back: quoted when it holds
// a space, a tab or a quote (or is empty), a quote escaped by a backslash,
// and backslashes doubled only where a quote follows them.
std::wstring quotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

std::wstring commandLine(const std::vector<std::string>& arguments) {
    std::wstring line;
    for (const std::string& argument : arguments)
        line += (line.empty() ? L"" : L" ") + quotedArgument(wide(argument));
    return line;
}

void closeHandle(HANDLE& handle) {
    if (handle && handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    handle = nullptr;
}

// The null device, for a child's input and its output nobody reads.
HANDLE openNothing() {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    return CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                       OPEN_EXISTING, 0, nullptr);
}

// What a child gets: its standard handles and, as descriptors 3, 4 ..., the
// handles of `descriptors`; all of them inheritable, and the only handles it
// inherits.
struct Launch {
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    HANDLE error = nullptr;
    std::vector<HANDLE> descriptors;
    DWORD priority = 0;          // a priority class, 0 for this program's
    std::string directory;       // "" for this program's
};

// The C runtime's block of inherited descriptors: their count, a flag byte
// each, then a handle each, packed, in the child's width (a 32-bit program
// reads 4-byte handles; their values always fit, and the low bytes of a
// little-endian 8-byte value are its 4-byte one). 0 to 2 are left to the
// standard handles.
std::vector<BYTE> descriptorBlock(const std::vector<HANDLE>& descriptors, std::size_t handleBytes) {
    const unsigned char open = 0x01, isPipe = 0x08;
    const int count = ChildProcess::firstPipeDescriptor + static_cast<int>(descriptors.size());
    std::vector<BYTE> block(sizeof(int) + static_cast<std::size_t>(count) * (1 + handleBytes), 0);
    std::memcpy(block.data(), &count, sizeof count);
    BYTE* handles = block.data() + sizeof(int) + count;
    for (int i = 0; i < count; ++i) {
        const bool pipe = i >= ChildProcess::firstPipeDescriptor;
        const HANDLE handle = pipe ? descriptors[static_cast<std::size_t>(i - ChildProcess::firstPipeDescriptor)]
                                   : INVALID_HANDLE_VALUE;
        const auto value = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(handle));
        block[sizeof(int) + static_cast<std::size_t>(i)] = pipe ? open | isPipe : 0;
        std::memcpy(handles + static_cast<std::size_t>(i) * handleBytes, &value, handleBytes);
    }
    return block;
}

// The width of the handles `program`'s C runtime reads: 4 for a 32-bit program.
std::size_t handleBytesOf(const std::wstring& program) {
    DWORD type = 0;
    return GetBinaryTypeW(program.c_str(), &type) && type == SCS_32BIT_BINARY ? 4 : 8;
}

// Where this program runs in a job of its own (a launcher's), Windows 7 puts
// a child in a second job only once it has left the first, which that job
// must allow.
DWORD breakawayIfInJob() {
    BOOL inJob = FALSE;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    if (!IsProcessInJob(GetCurrentProcess(), nullptr, &inJob) || !inJob ||
        !QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits, sizeof limits, nullptr))
        return 0;
    const DWORD allowed = JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    return limits.BasicLimitInformation.LimitFlags & allowed ? CREATE_BREAKAWAY_FROM_JOB : 0;
}

// A job that kills what is in it when its last handle closes.
HANDLE makeJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
        closeHandle(job);
    return job;
}

// Starts `program` as `launch` says, in a job of its own, running only once
// it is in the job. False, with the reason in `error`, when it cannot.
bool startInJob(const std::string& program, const std::vector<std::string>& arguments, const Launch& launch,
                HANDLE& process, HANDLE& job, std::string& error) {
    const std::string name = arguments.empty() ? program : arguments[0];
    std::vector<HANDLE> inherited = {launch.input, launch.output};
    if (launch.error != launch.output)
        inherited.push_back(launch.error);
    if (launch.input == launch.output || launch.input == launch.error)
        inherited.erase(inherited.begin());
    inherited.insert(inherited.end(), launch.descriptors.begin(), launch.descriptors.end());
    SIZE_T listBytes = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listBytes);
    std::vector<BYTE> listMemory(listBytes);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.data());
    job = makeJob();
    const bool listMade = job && InitializeProcThreadAttributeList(list, 1, 0, &listBytes);
    if (!listMade || !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                                inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
        error = "cannot start " + name + ": " + systemErrorText(GetLastError());
        if (listMade)
            DeleteProcThreadAttributeList(list);
        closeHandle(job);
        return false;
    }
    const std::wstring programPath = wide(program);
    std::vector<BYTE> block = descriptorBlock(launch.descriptors, handleBytesOf(programPath));
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = launch.input;
    startup.StartupInfo.hStdOutput = launch.output;
    startup.StartupInfo.hStdError = launch.error;
    startup.StartupInfo.cbReserved2 = static_cast<WORD>(block.size());
    startup.StartupInfo.lpReserved2 = block.data();
    startup.lpAttributeList = list;
    std::wstring line = commandLine(arguments);
    const std::wstring directory = wide(launch.directory);
    PROCESS_INFORMATION started = {};
    const DWORD flags = EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP |
                        CREATE_NO_WINDOW | breakawayIfInJob() | launch.priority;
    const BOOL made = CreateProcessW(programPath.c_str(), &line[0], nullptr, nullptr, TRUE, flags, nullptr,
                                     directory.empty() ? nullptr : directory.c_str(), &startup.StartupInfo, &started);
    const DWORD cause = GetLastError();
    DeleteProcThreadAttributeList(list);
    if (!made) {
        error = "cannot start " + name + ": " + systemErrorText(cause);
        closeHandle(job);
        return false;
    }
    // Never running unattended: a child that cannot join the job is ended.
    if (!AssignProcessToJobObject(job, started.hProcess)) {
        error = "cannot start " + name + ": it cannot be tied to this program: " + systemErrorText(GetLastError());
        TerminateProcess(started.hProcess, 1);
        WaitForSingleObject(started.hProcess, INFINITE);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        closeHandle(job);
        return false;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    process = started.hProcess;
    return true;
}

// A pipe whose read end the child inherits and whose write end is this
// program's, made to hold `bytes` where the system grants it, and 64 KiB at
// least, as a Linux pipe holds (Windows' own is a page).
bool makePipe(std::size_t bytes, HANDLE& readEnd, HANDLE& writeEnd) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const std::size_t size = std::min<std::size_t>(std::max<std::size_t>(bytes, 64 << 10), 1 << 20);
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, static_cast<DWORD>(size)))
        return false;
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    return true;
}

}  // namespace

std::string findProgram(const char* program) {
    std::string name = program;
    if (name.find('.') == std::string::npos)
        name += ".exe";
    std::vector<std::string> places = {executableDirectory()};
    const char* path = std::getenv("PATH");
    const std::string directories = path ? path : "";
    for (std::size_t start = 0; start < directories.size();) {
        std::size_t end = directories.find(';', start);
        if (end == std::string::npos)
            end = directories.size();
        std::string directory = directories.substr(start, end - start);
        if (directory.size() >= 2 && directory.front() == '"' && directory.back() == '"')
            directory = directory.substr(1, directory.size() - 2);
        places.push_back(directory);
        start = end + 1;
    }
    for (const std::string& directory : places) {
        if (directory.empty())
            continue;
        const bool separated = directory.back() == '\\' || directory.back() == '/';
        const std::string candidate = directory + (separated ? "" : "\\") + name;
        if (pathKind(candidate) == PathKind::regularFile)
            return candidate;
    }
    return "";
}

bool programOutput(const std::string& program, const std::vector<std::string>& arguments, std::string& output) {
    Launch launch;
    HANDLE readEnd = nullptr, writeEnd = nullptr, nothing = openNothing();
    if (nothing == INVALID_HANDLE_VALUE || !makePipe(0, readEnd, writeEnd)) {
        closeHandle(nothing);
        return false;
    }
    // Here the child writes and this program reads: the ends swap roles.
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    launch.input = launch.error = nothing;
    launch.output = writeEnd;
    HANDLE process = nullptr, job = nullptr;
    std::string error;
    const bool started = startInJob(program, arguments, launch, process, job, error);
    closeHandle(writeEnd);
    closeHandle(nothing);
    output.clear();
    char block[4096];
    DWORD count = 0;
    while (started && ReadFile(readEnd, block, sizeof block, &count, nullptr) && count > 0)
        output.append(block, count);
    closeHandle(readEnd);
    if (started)
        WaitForSingleObject(process, INFINITE);
    closeHandle(process);
    closeHandle(job);
    return started;
}

// ---- ChildProcess ----

struct ChildProcess::Platform {
    HANDLE process = nullptr;            // null when none runs
    HANDLE job = nullptr;                // the job it is in
    std::vector<HANDLE> pipes;           // our write ends, null once closed
    HANDLE messages = nullptr;           // the child's standard error, read here; deleted on close
    bool foreground = false;             // at this program's priority, its output kept
    std::string directory;               // where it runs, "" for here
};

ChildProcess::ChildProcess() : platform(new Platform) {}

ChildProcess::~ChildProcess() {
    kill();
    for (std::size_t i = 0; i < platform->pipes.size(); ++i)
        closePipe(static_cast<int>(i));
    closeHandle(platform->messages);
}

namespace {

// A temporary file for a child's messages: `reader`, this program's handle,
// deletes it once closed; `appender`, the child's, writes at its end
// wherever the reader is.
bool makeMessagesFile(HANDLE& reader, HANDLE& appender, std::string& error) {
    wchar_t folder[MAX_PATH + 1], path[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"tnx", 0, path) == 0) {
        error = "no temporary file for its messages: " + systemErrorText(GetLastError());
        return false;
    }
    const DWORD everyone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    reader = CreateFileW(path, GENERIC_READ | DELETE, everyone, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    appender = reader == INVALID_HANDLE_VALUE ? INVALID_HANDLE_VALUE
                                              : CreateFileW(path, FILE_APPEND_DATA | SYNCHRONIZE, everyone,
                                                            &inheritable, OPEN_EXISTING, 0, nullptr);
    if (appender != INVALID_HANDLE_VALUE)
        return true;
    error = "no temporary file for its messages: " + systemErrorText(GetLastError());
    closeHandle(reader);
    DeleteFileW(path);
    return false;
}

}  // namespace

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::size_t>& pipeBytes, std::string& error) {
    platform->pipes.assign(pipeBytes.size(), nullptr);
    Launch launch;
    HANDLE appender = nullptr;
    bool made = makeMessagesFile(platform->messages, appender, error);
    for (std::size_t i = 0; made && i < pipeBytes.size(); ++i) {
        HANDLE readEnd = nullptr;
        made = makePipe(pipeBytes[i], readEnd, platform->pipes[i]);
        if (made)
            launch.descriptors.push_back(readEnd);
        else
            error = "cannot make a pipe: " + systemErrorText(GetLastError());
    }
    HANDLE nothing = made ? openNothing() : INVALID_HANDLE_VALUE;
    if (made && nothing == INVALID_HANDLE_VALUE) {
        error = "cannot open NUL: " + systemErrorText(GetLastError());
        made = false;
    }
    if (made) {
        launch.input = nothing;
        launch.output = platform->foreground ? appender : nothing;
        launch.error = appender;
        // The idle class: the child takes the processor time the drawing
        // leaves, as on the other systems.
        launch.priority = platform->foreground ? 0 : IDLE_PRIORITY_CLASS;
        launch.directory = platform->directory;
        made = startInJob(program, arguments, launch, platform->process, platform->job, error);
        if (made)
            timeBeginPeriod(1);  // until release()
    }
    for (HANDLE& readEnd : launch.descriptors)
        closeHandle(readEnd);
    closeHandle(nothing);
    closeHandle(appender);
    // Writes never block: write() waits a slice at a time, so that a writer
    // can leave a child given up at once.
    for (std::size_t i = 0; made && i < platform->pipes.size(); ++i) {
        DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
        if (!SetNamedPipeHandleState(platform->pipes[i], &mode, nullptr, nullptr)) {
            error = "cannot make its pipe wait for nothing: " + systemErrorText(GetLastError());
            kill();
            made = false;
        }
    }
    if (!made)
        for (std::size_t i = 0; i < platform->pipes.size(); ++i)
            closePipe(static_cast<int>(i));
    return made;
}

// A pipe that does not wait takes what fits in it now, which may be nothing;
// the wait is then looked again at each millisecond (the system's timer set
// to a millisecond while a child runs: a sleep lasts 15.6 ms otherwise, a
// refill of the pipe each, too few for large frames).
long ChildProcess::write(int pipe, const unsigned char* bytes, std::size_t count, int waitMs) {
    HANDLE handle = platform->pipes[static_cast<std::size_t>(pipe)];
    if (!handle)
        return -1;
    const DWORD most = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(std::max(waitMs, 0));
    for (;;) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes, most, &written, nullptr))
            return -1;
        if (written > 0)
            return static_cast<long>(written);
        if (GetTickCount64() >= until)
            return 0;
        Sleep(1);
    }
}

void ChildProcess::closePipe(int pipe) { closeHandle(platform->pipes[static_cast<std::size_t>(pipe)]); }

namespace {

// A child ended: its handles go, and the timer's resolution with it.
void release(HANDLE& process, HANDLE& job) {
    closeHandle(process);
    closeHandle(job);
    timeEndPeriod(1);
}

}  // namespace

// An exit code with its top bit set is a status of the system's (an access
// violation 0xC0000005): the child did not exit; but exit(-1) is 255, as on
// POSIX.
int ChildProcess::exitStatus() {
    if (!platform->process)
        return 0;
    if (WaitForSingleObject(platform->process, 0) == WAIT_TIMEOUT)
        return -2;
    DWORD code = 0;
    const bool known = GetExitCodeProcess(platform->process, &code) != 0;
    release(platform->process, platform->job);
    if (!known || (code >= 0x80000000u && code != 0xFFFFFFFFu))
        return -1;
    return code == 0xFFFFFFFFu ? 255 : static_cast<int>(code);
}

void ChildProcess::kill() {
    if (!platform->process)
        return;
    TerminateJobObject(platform->job, 1);
    WaitForSingleObject(platform->process, INFINITE);
    release(platform->process, platform->job);
}

bool ChildProcess::running() const { return platform->process != nullptr; }

// Its processor time, in 100 ns units: its threads' times added up (the
// process's own count is not the child's under Wine). Windows does not say
// readily whether a thread waits to run or on a disk: an encoder that does
// no work shows as time standing still, and so does one a debugger suspended.
ProcessActivity ChildProcess::activity() const {
    ProcessActivity activity;
    const DWORD id = platform->process ? GetProcessId(platform->process) : 0;
    HANDLE snapshot = id != 0 ? CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0) : INVALID_HANDLE_VALUE;
    if (snapshot == INVALID_HANDLE_VALUE)
        return activity;
    auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != id)
            continue;
        HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        FILETIME created, ended, kernel, user;
        if (thread && GetThreadTimes(thread, &created, &ended, &kernel, &user)) {
            activity.known = true;
            activity.ticks += ticks(kernel) + ticks(user);
        }
        closeHandle(thread);
    }
    CloseHandle(snapshot);
    return activity;
}

bool ChildProcess::spoke() const {
    LARGE_INTEGER size;
    return platform->messages && GetFileSizeEx(platform->messages, &size) && size.QuadPart > 0;
}

void ChildProcess::runInForeground(const std::string& directory) {
    platform->foreground = true;
    platform->directory = directory;
}

// Lines as on the other systems: a \r before a \n goes.
std::string ChildProcess::messages() const {
    std::string text;
    LARGE_INTEGER start = {};
    if (!platform->messages || !SetFilePointerEx(platform->messages, start, nullptr, FILE_BEGIN))
        return text;
    char block[4096];
    DWORD count = 0;
    while (ReadFile(platform->messages, block, sizeof block, &count, nullptr) && count > 0)
        text.append(block, count);
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            lines += text[i];
    return lines;
}

std::string ChildProcess::lastMessage() const { return lastNonBlankLine(messages()); }

}  // namespace tarnix
