#pragma once

#include "engine/scene/EffectOperator.h"

// Text as a Code 39 barcode (ISO/IEC 16388), bar by bar, in the 1024 × 768 2D
// view, optionally with the text printed underneath on a black strip.

// 44 patterns of 12 modules, "1" a bar module and "0" a space module: the
// Code 39 characters at a wide-to-narrow ratio of 2 : 1, in the order 0-9,
// A-Z, '-', '.', space, '*', '$', '/', '+', '%'.
extern const char* const code39binary;
// Bar height in view units.
extern int size_h;

// One pattern (0..43) with its lower-left corner at (x, y), in the current
// colour and view; a pattern outside the table draws nothing.
void printChar(const int& x, const int& y, int pattern);
// The barcode of `text`, one character every 12 modules (60 units) from (x, y).
// Characters outside the symbology (lower-case letters too) keep their place
// and draw nothing; no start and stop characters are added.
void print2D(const int& x, const int& y, const char* text);
// The barcode, then a black strip with the text in the barcode font on it. The
// text's position is converted into the font's 320 × 320 view on both axes, so
// it sits on its strip whatever y is. Needs Barcode::init() first.
void printBarcodeText(const int& x, const int& y, const char* text);

// The barcode operator: init() prepares the text font from "bs_font.png";
// render() only follows its time position.
class Barcode : public tarnix::EffectOperator {
public:
    Barcode(unsigned start, unsigned end);

    void init() override;
    void render(const unsigned int& time) override;
};
