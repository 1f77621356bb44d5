#pragma once

/// The engine's own small GLSL programs, whose texts live in its code (the
/// scaled view's stretch, the shadowed picture's mix); the effect programs
/// come from the data folder through OglShaderManager.
namespace GlslProgram {

/// Compiles both texts and links them into a program. Needs a context with
/// OpenGL 2.0.
/// @return the program's GL name, or 0 when a shader does not compile or
///         the program does not link (nothing is left behind then)
unsigned int Build(const char* vertexSource, const char* fragmentSource);

}  // namespace GlslProgram
