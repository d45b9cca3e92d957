#pragma once

#include "tools/datagen/Pictures.h"

// The full-screen pictures the demo's closing section flickers through,
// 1024 × 512 and opaque, each composed around one subject in its own colours.
// Their file names ("pic_...") sort after the middle section's background, so
// that all of them fall in the range the closing section picks from.

namespace datagen {

Picture neonGrid();  // a sun setting behind a glowing grid
Picture plasma();    // the classic colour plasma
Picture sunset();    // a sun over the sea, a hill in silhouette
Picture waves();     // interference of three ripples
Picture aurora();    // northern lights over mountains and a still lake
Picture chrome();    // a chrome ball over an endless chequered floor
Picture planet();    // a ringed giant and its moon in a starfield
Picture dunes();     // desert dunes under a large moon at dusk
Picture ridges();    // misty mountain ridges and pines at dawn
Picture reef();      // light shafts, bubbles and kelp under the sea
Picture copper();    // raster bars over a shiny floor
Picture galaxy();    // a spiral galaxy seen at a slant
Picture mandelbrot();  // the Mandelbrot set's seahorse valley
Picture meadow();    // green hills, clouds and a rainbow
Picture volcano();   // an eruption at night, lava running down the cone

}  // namespace datagen
