#pragma once
// Private helper of the engine: printable text for a GL error code.
#include <GL/glew.h>
#include <GL/glu.h>

/// gluErrorString's text, or "unknown error" where GLU has none (it returns
/// null for codes it does not know, which must never reach a stream).
inline const char* GlErrorText(GLenum code) {
    const GLubyte* text = gluErrorString(code);
    return text ? reinterpret_cast<const char*>(text) : "unknown error";
}
