#include "support/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testsupport {

std::string makeTemporaryDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarnix-test-XXXXXX";
    char* made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options) {
    const std::string captureDirectory = makeTemporaryDirectory();
    const std::string outPath = captureDirectory + "/out";
    const std::string errPath = captureDirectory + "/err";

    const pid_t child = fork();
    if (child == 0) {
        const int outFd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(outFd, 1);
        dup2(errFd, 2);
        if (chdir(options.workingDirectory.c_str()) != 0)
            _exit(126);
        for (const std::string& name : options.unset)
            unsetenv(name.c_str());
        for (const std::string& assignment : options.set)
            putenv(const_cast<char*>(assignment.c_str()));
        if (options.fileSizeLimit > 0) {
            // Writes past the limit then fail with EFBIG instead of killing the program.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        // SIGALRM survives exec and ends a hang, unless whoever started the
        // tests ignores it: ignored signals stay ignored across exec.
        signal(SIGALRM, SIG_DFL);
        alarm(static_cast<unsigned>(options.timeoutSeconds));
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }

    ProcessResult result;
    int status = 0;
    pid_t ended = 0;
    bool signalSent = !options.when || options.signal == 0;
    if (child > 0 && (!signalSent || options.watch)) {
        while ((ended = waitpid(child, &status, WNOHANG)) == 0) {
            if (options.watch)
                options.watch(child);
            if (!signalSent && options.when()) {
                kill(child, options.signal);
                signalSent = true;
                if (!options.watch)
                    break;
            }
            usleep(20000);
        }
    }
    if (child > 0 && (ended == child || waitpid(child, &status, 0) == child)) {
        if (WIFEXITED(status))
            result.exitStatus = WEXITSTATUS(status);
        if (WIFSIGNALED(status))
            result.signalled = WTERMSIG(status);
    }
    result.out = readWholeFile(outPath);
    result.err = readWholeFile(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    rmdir(captureDirectory.c_str());
    return result;
}

}  // namespace testsupport
