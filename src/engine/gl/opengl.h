#pragma once

// OpenGL with the prototypes of every core and extension function; the program links the
// dispatching libOpenGL, which resolves them in whatever context is current.
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
