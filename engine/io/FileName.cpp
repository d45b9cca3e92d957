#include "engine/io/FileName.h"

#include <cctype>

namespace tarnix {

namespace {

const std::size_t extensionLength = 3;

std::string upperCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string extensionOf(const std::string& name) {
    if (name.size() < extensionLength)
        return std::string();
    return name.substr(name.size() - extensionLength);
}

bool hasExtension(const std::string& name, const char* lowerCase) {
    const std::string extension = extensionOf(name);
    return !extension.empty() && (extension == lowerCase || extension == upperCase(lowerCase));
}

}  // namespace tarnix
