#include "engine/render/Font.h"

#include "engine/core/OpenGL.h"
#include "engine/media/Image.h"

#include <cstring>

namespace tarnix {

namespace {

const int firstCharacter = 32;  // the space is the first cell

GLuint textureId(const Texture* texture) { return texture ? texture->id : 0; }

}  // namespace

Font::Font(Texture* t) : texture(t) {}

Font::~Font() {
    if (listCount > 0)
        glDeleteLists(listBase, listCount);
}

void Font::setTexture(Texture* t) { texture = t; }

// Glyph n (counted from the top-left cell) goes into list listBase + N·N - 1 - n,
// so that printing with the list base at listBase - 32 maps code k to glyph
// N·N + 31 - k. The row's upper texture coordinate is ((n + 10) / N) / N with
// integer division: for the 10 × 10 sheet exactly one row per ten glyphs.
void Font::init(const int& cells, const int& advance) {
    if (cells <= 0)
        return;
    const int n = cells;
    const float cell = 1.0f / static_cast<float>(n);
    listCount = n * n;
    glEnable(GL_TEXTURE_2D);
    listBase = glGenLists(listCount);
    glBindTexture(GL_TEXTURE_2D, textureId(texture));
    int glyph = 0;
    for (int row = 0; row < n; ++row) {
        const float top = static_cast<float>((glyph + 10) / n) / static_cast<float>(n);
        const float bottom = top - cell;
        for (int column = 0; column < n; ++column) {
            const float right = 1.0f - static_cast<float>(n * column) / static_cast<float>(n * n);
            const float left = right - cell;
            glNewList(listBase + listCount - 1 - glyph, GL_COMPILE);
                glBegin(GL_QUADS);
                    glTexCoord2f(left, bottom); glVertex2i(0, 0);
                    glTexCoord2f(right, bottom); glVertex2i(n, 0);
                    glTexCoord2f(right, top); glVertex2i(n, n);
                    glTexCoord2f(left, top); glVertex2i(0, n);
                glEnd();
                glTranslatef(static_cast<float>(advance), 0, 0);
            glEndList();
            ++glyph;
        }
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

// The bytes are signed list offsets: codes above 127 name lists below the
// font's, which glCallLists skips when they do not exist.
void Font::callLists(const char* text) {
    glListBase(listBase - firstCharacter);
    glBindTexture(GL_TEXTURE_2D, textureId(texture));
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_BYTE, text);
}

void Font::print2D(const int& x, const int& y, const char* text) {
    if (listCount == 0)
        return;
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPushAttrib(GL_LIST_BIT | GL_CURRENT_BIT);
        glTranslatef(static_cast<float>(x), static_cast<float>(y), 0);
        callLists(text);
    glPopAttrib();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

void Font::print3D(const char* text) {
    if (listCount == 0)
        return;
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glPushAttrib(GL_LIST_BIT);
        callLists(text);
    glPopAttrib();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

unsigned Font::getListBase() const { return listBase; }

int Font::getListCount() const { return listCount; }

}  // namespace tarnix
