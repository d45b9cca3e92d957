#pragma once

#include <string>

namespace datagen {

// Writes the demo's data files into `directory` (which must exist): the
// pictures, the mesh as "greeble.3ds" (for the program's converter), the music
// "kelbo.ogg" and the scroller text. The same bytes on every run. False with
// the file and the reason in `error`.
bool writeDemoData(const std::string& directory, std::string& error);

// The scroller's text: greetings and credits, characters 32 to 131 only.
std::string scrollerText();

}  // namespace datagen
