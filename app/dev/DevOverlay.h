#pragma once

#include "engine/render/Font.h"

#include <string>
#include <vector>

// What the development mode draws over the demo's picture, after the frame
// and before it is presented (never in a capture): the timeline strip along
// the bottom edge and one message line along the top.

// The strip's content: demo times in ms, 0 at the left edge, `spanMs` at the
// right one.
struct TimelineStrip {
    unsigned spanMs = 60000;
    unsigned nowMs = 0;
    std::vector<unsigned> sectionStartsMs;  // ascending, the first 0
    bool loopStartSet = false, loopEndSet = false;
    unsigned loopStartMs = 0, loopEndMs = 0;
    std::string label;  // shown above the current time ("12.345 s  row 210"), "" for none
};

class DevOverlay {
public:
    // The strip's height, window pixels from the bottom edge of the 640 × 480
    // picture: a click there seeks.
    static constexpr int stripHeight = 16;

    // Sections in alternating shades, the loop as a yellow band (its start
    // alone as a yellow line), the current time as a white line with the
    // label above it.
    void drawStrip(const TimelineStrip& strip);
    // A line of white text on a dark band at the top; a line longer than fits
    // is cut, ending in "...". Drawn in the demo's font once it is loaded.
    void drawMessage(const std::string& line);

    // The demo time under window column x (0 to 639) of a strip spanning
    // `spanMs`.
    static unsigned timeAt(int x, unsigned spanMs);

private:
    void prepareFont();
    void drawLabel(const std::string& label, float column);

    tarnix::Font font;
    bool fontReady = false;
};
