#pragma once

#include <string>

namespace testsupport {

// A fresh directory that becomes the working directory for the object's
// lifetime; the previous working directory comes back and the directory is
// removed with everything in it afterwards.
class WorkingDirectory {
public:
    WorkingDirectory();
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

    const std::string& path() const { return directory; }

private:
    std::string directory;
    std::string previous;
};

// Writes `content` to `path` (relative to the working directory), making the
// directories on the way.
void writeFile(const std::string& path, const std::string& content);

// The bytes of a file; "" when it cannot be read.
std::string fileContent(const std::string& path);

bool fileExists(const std::string& path);

}  // namespace testsupport
