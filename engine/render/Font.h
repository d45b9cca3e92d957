#pragma once

namespace tarnix {

struct Texture;

// Text from a bitmap font: a square sheet of N × N character cells, in code
// order from the sheet's top-left corner starting at the space (32), N to a
// row. Each cell becomes a display list that draws the glyph as an N × N
// textured square and advances the pen.
class Font {
public:
    Font() = default;
    explicit Font(Texture* t);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    void setTexture(Texture* t);  // before init()
    // Builds cells × cells display lists; `cells` is both the grid size and
    // the glyph size in drawing units, `advance` the pen step per character.
    void init(const int& cells, const int& advance);
    // Draws text from (x, y) in the current view with alpha blending. The
    // modelview is left translated to the pen's end, as the caller's 2D pass
    // resets it. Nothing is drawn before init().
    void print2D(const int& x, const int& y, const char* text);
    // Draws text at the current origin; the pen's end stays in the modelview.
    void print3D(const char* text);

    unsigned getListBase() const;   // first display list, 0 before init()
    int getListCount() const;

private:
    void callLists(const char* text);

    Texture* texture = nullptr;  // not owned
    unsigned listBase = 0;
    int listCount = 0;
};

}  // namespace tarnix
