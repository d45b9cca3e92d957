#pragma once

// The engine's OpenGL headers in one place: OpenGL 1.x, the extension typedefs
// (PFN...PROC) and GLU. Extension entry points are never prototyped here; the
// engine calls them through the pointers of engine/core/Extensions.h.

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
