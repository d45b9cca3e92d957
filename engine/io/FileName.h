#pragma once

#include <string>

namespace tarnix {

// The extension of a data-file name: its last three characters, or "" for a
// name shorter than that. There is no dot rule: "foo.png" and "foopng" both
// end in "png".
std::string extensionOf(const std::string& name);

// True when the extension of `name` is `lowerCase` written all in lower case
// or all in upper case ("png" matches .png and .PNG, never .Png).
bool hasExtension(const std::string& name, const char* lowerCase);

}  // namespace tarnix
