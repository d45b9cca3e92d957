#include "app/dev/DevOverlay.h"

#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"
#include "engine/media/Image.h"

#include <algorithm>

namespace {

const int pictureWidth = 640, pictureHeight = 480;  // the window's picture, pixels
// The message's drawing system: the font's 10-unit glyphs come out 8 pixels
// wide, 78 characters to the line.
const int textWidth = 800, textHeight = 600;
const int glyphUnits = 10;
const std::size_t longestLine = 78;

void rectangle(float left, float bottom, float right, float top) {
    glBegin(GL_QUADS);
        glVertex2f(left, bottom);
        glVertex2f(right, bottom);
        glVertex2f(right, top);
        glVertex2f(left, top);
    glEnd();
}

float columnOf(unsigned ms, unsigned spanMs) {
    return static_cast<float>(static_cast<double>(std::min(ms, spanMs)) * pictureWidth / spanMs);
}

}  // namespace

unsigned DevOverlay::timeAt(int x, unsigned spanMs) {
    const int column = std::clamp(x, 0, pictureWidth - 1);
    return static_cast<unsigned>(static_cast<unsigned long long>(column) * spanMs / pictureWidth);
}

void DevOverlay::drawStrip(const TimelineStrip& strip) {
    if (strip.spanMs == 0)
        return;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_LIGHTING);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        tarnix::perspective2D(pictureWidth, pictureHeight);
        const auto top = static_cast<float>(stripHeight);
        for (std::size_t i = 0; i < strip.sectionStartsMs.size(); ++i) {
            const unsigned end = i + 1 < strip.sectionStartsMs.size() ? strip.sectionStartsMs[i + 1] : strip.spanMs;
            const float shade = i % 2 == 0 ? 0.25f : 0.45f;
            glColor4f(shade, shade, shade, 0.85f);
            rectangle(columnOf(strip.sectionStartsMs[i], strip.spanMs), 0, columnOf(end, strip.spanMs), top);
        }
        if (strip.loopStartSet) {
            const float start = columnOf(strip.loopStartMs, strip.spanMs);
            const float end = strip.loopEndSet ? columnOf(strip.loopEndMs, strip.spanMs) : start + 1;
            glColor4f(1.0f, 0.85f, 0.1f, strip.loopEndSet ? 0.5f : 1.0f);
            rectangle(start, 0, std::max(end, start + 1), top);
        }
        const float now = columnOf(strip.nowMs, strip.spanMs);
        glColor4f(1, 1, 1, 1);
        rectangle(now - 1, 0, now + 1, top + 4);
        if (!strip.label.empty())
            drawLabel(strip.label, now);
        tarnix::perspective3D();
    glPopAttrib();
}

// In the message's drawing system, on a dark band just above the strip,
// beside the current time's line and within the picture.
void DevOverlay::drawLabel(const std::string& label, float column) {
    prepareFont();
    const float width = static_cast<float>(label.size() * glyphUnits);
    const float x = std::clamp(column * textWidth / pictureWidth - width / 2, 0.0f, textWidth - width);
    const float bottom = static_cast<float>(stripHeight + 4) * textHeight / pictureHeight;
    tarnix::perspective2D(textWidth, textHeight);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0, 0, 0, 0.75f);
    rectangle(x - 2, bottom, x + width + 2, bottom + glyphUnits + 4);
    glColor4f(1, 1, 1, 1);
    font.print2D(static_cast<int>(x), static_cast<int>(bottom) + 2, label.c_str());
}

void DevOverlay::prepareFont() {
    if (fontReady)
        return;
    font.setTexture(tarnix::image.getTexture("bs_font.png"));
    font.init(glyphUnits, glyphUnits);
    fontReady = true;
}

void DevOverlay::drawMessage(const std::string& line) {
    prepareFont();
    const std::string shown = line.size() > longestLine ? line.substr(0, longestLine - 3) + "..." : line;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_LIGHTING);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        tarnix::perspective2D(textWidth, textHeight);
        glColor4f(0, 0, 0, 0.75f);
        rectangle(0, textHeight - glyphUnits - 6, textWidth, textHeight);
        glColor4f(1.0f, 0.9f, 0.9f, 1.0f);
        font.print2D(glyphUnits / 2, textHeight - glyphUnits - 3, shown.c_str());
        tarnix::perspective3D();
    glPopAttrib();
}
