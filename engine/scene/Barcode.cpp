#include "engine/scene/Barcode.h"

#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"
#include "engine/media/Image.h"
#include "engine/render/Font.h"

#include <cstring>

const char* const code39binary =
    "101001101101110100101011101100101011110110010101"  // '0' '1' '2' '3'
    "101001101011110100110101101100110101101001011011"  // '4' '5' '6' '7'
    "110100101101101100101101110101001011101101001011"  // '8' '9' 'A' 'B'
    "110110100101101011001011110101100101101101100101"  // 'C' 'D' 'E' 'F'
    "101010011011110101001101101101001101101011001101"  // 'G' 'H' 'I' 'J'
    "110101010011101101010011110110101001101011010011"  // 'K' 'L' 'M' 'N'
    "110101101001101101101001101010110011110101011001"  // 'O' 'P' 'Q' 'R'
    "101101011001101011011001110010101011100110101011"  // 'S' 'T' 'U' 'V'
    "110011010101100101101011110010110101100110110101"  // 'W' 'X' 'Y' 'Z'
    "100101011011110010101101100110101101100101101101"  // '-' '.' ' ' '*'
    "100100100101100100101001100101001001101001001001"  // '$' '/' '+' '%'
    ;

int size_h = 200;

namespace {

const int moduleWidth = 5;        // view units
const int modulesPerCharacter = 12;
const int patternCount = 44;
const int barcodeViewWidth = 1024;
const int barcodeViewHeight = 768;
const int textView = 320;         // the font's view is textView × textView units
const float stripUnitsPerCharacter = 31.0f;
const float stripHeight = 25.0f;

tarnix::Font font;

// The pattern of a character, or -1 for one outside the symbology.
int patternOf(char c) {
    static const char others[] = "-. *$/+%";
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return 10 + (c - 'A');
    const char* other = c != '\0' ? std::strchr(others, c) : nullptr;
    return other ? 36 + static_cast<int>(other - others) : -1;
}

}  // namespace

void printChar(const int& x, const int& y, int pattern) {
    if (pattern < 0 || pattern >= patternCount)
        return;
    const int top = y + size_h;
    const char* modules = code39binary + modulesPerCharacter * pattern;
    glBegin(GL_QUADS);
        for (int m = 0; m < modulesPerCharacter; ++m) {
            if (modules[m] != '1')
                continue;
            const float left = static_cast<float>(x + m * moduleWidth);
            const float right = static_cast<float>(x + (m + 1) * moduleWidth);
            glVertex2f(left, static_cast<float>(y));
            glVertex2f(right, static_cast<float>(y));
            glVertex2f(right, static_cast<float>(top));
            glVertex2f(left, static_cast<float>(top));
        }
    glEnd();
}

void print2D(const int& x, const int& y, const char* text) {
    tarnix::perspective2D(barcodeViewWidth, barcodeViewHeight);
    for (std::size_t i = 0; i < std::strlen(text); ++i) {
        const int pattern = patternOf(text[i]);
        if (pattern >= 0)
            printChar(x + static_cast<int>(i) * modulesPerCharacter * moduleWidth, y, pattern);
    }
    tarnix::perspective3D();
}

void printBarcodeText(const int& x, const int& y, const char* text) {
    const int count = static_cast<int>(std::strlen(text));
    const int barcodeWidth = count * modulesPerCharacter * moduleWidth;
    print2D(x, y, text);

    // The strip starts a quarter of the barcode's width in from its left end.
    const float left = barcodeWidth * 0.5f - barcodeWidth * 0.25f + static_cast<float>(x);
    tarnix::perspective2D(barcodeViewWidth, barcodeViewHeight);
    glPushAttrib(GL_CURRENT_BIT);
        glColor3f(0, 0, 0);
        glBegin(GL_QUADS);
            glVertex2f(left, static_cast<float>(y));
            glVertex2f(left + stripUnitsPerCharacter * count, static_cast<float>(y));
            glVertex2f(left + stripUnitsPerCharacter * count, y + stripHeight);
            glVertex2f(left, y + stripHeight);
        glEnd();
    glPopAttrib();
    tarnix::perspective3D();

    tarnix::perspective2D(textView, textView);
    const int textX = static_cast<int>(left / (static_cast<float>(barcodeViewWidth) / textView));
    const int textY = static_cast<int>(static_cast<float>(y) / (static_cast<float>(barcodeViewHeight) / textView));
    font.print2D(textX, textY, text);
    tarnix::perspective3D();
}

Barcode::Barcode(unsigned start, unsigned end) : EffectOperator(start, end) {}

void Barcode::init() {
    font.setTexture(tarnix::image.getTexture("bs_font.png"));
    font.init(10, 10);
}

void Barcode::render(const unsigned int& time) { getTimePosition(time); }
