#include <lumora/OglShadowedPicture.h>

#include <GL/glew.h>

#include <algorithm>

#include "GlslProgram.h"
#include "ViewQuad.h"
#include "vmath/mat4.h"

namespace {

// A quad given in clip coordinates covers the viewport; no matrix is read.
const char* const VertexSource =
    "#version 110\n"
    "void main() { gl_Position = vec4(gl_Vertex.xyz, 1.0); }\n";

// The point each pixel shows, from its depth, in the map's texture space;
// the visibility as ShadowMapping.frag finds it (the same taps, the same
// bounds), and the mix of the two pictures by it.
const char* const FragmentSource =
    "#version 110\n"
    "uniform sampler2DShadow ShadowMap;\n"
    "uniform sampler2D Depths;\n"
    "uniform sampler2D Seen;\n"
    "uniform sampler2D Hidden;\n"
    "uniform mat4 ShadowFromClip;\n"
    "uniform vec4 EyeWFromClip;\n"
    "uniform vec4 Viewport;\n"  // x, y, 1 / width, 1 / height
    "uniform float Epsilon;\n"
    "float Visibility(vec4 shadowCoord) {\n"
    "    if (shadowCoord.w <= 0.0) return 1.0;\n"
    "    vec3 coord = shadowCoord.xyz / shadowCoord.w;\n"
    "    if (coord.x < 0.0 || coord.x > 1.0 || coord.y < 0.0 || coord.y > 1.0 || coord.z > 1.0) return 1.0;\n"
    "    float offset = 0.5 * Epsilon;\n"
    "    float sum = shadow2D(ShadowMap, vec3(coord.x - offset, coord.y - offset, coord.z)).r +\n"
    "                shadow2D(ShadowMap, vec3(coord.x + offset, coord.y - offset, coord.z)).r +\n"
    "                shadow2D(ShadowMap, vec3(coord.x - offset, coord.y + offset, coord.z)).r +\n"
    "                shadow2D(ShadowMap, vec3(coord.x + offset, coord.y + offset, coord.z)).r;\n"
    "    return 0.25 * sum;\n"
    "}\n"
    "void main() {\n"
    "    vec2 uv = (gl_FragCoord.xy - Viewport.xy) * Viewport.zw;\n"
    "    vec4 clip = vec4(uv * 2.0 - 1.0, texture2D(Depths, uv).r * 2.0 - 1.0, 1.0);\n"
    "    vec4 shadowCoord = ShadowFromClip * clip / dot(EyeWFromClip, clip);\n"
    "    gl_FragColor = mix(texture2D(Hidden, uv), texture2D(Seen, uv), Visibility(shadowCoord));\n"
    "}\n";

// A texture of `format` for a picture, read texel for texel.
GLuint MakeTexture(GLint internalFormat, int width, int height, GLenum format, GLenum type) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, type, nullptr);
    return texture;
}

void SetUniform(GLuint program, const char* name, int value) {
    const GLint location = glGetUniformLocation(program, name);
    if (location >= 0) glUniform1i(location, value);
}

}  // namespace

OglShadowedPicture::~OglShadowedPicture() {
    DeletePictures();
    if (program) glDeleteProgram(program);
}

bool OglShadowedPicture::Supported() {
    return GLEW_VERSION_2_0 && GLEW_EXT_framebuffer_object && GLEW_EXT_framebuffer_blit;
}

bool OglShadowedPicture::Keep(Light light) {
    // Kept pictures are drawn: a program that does not build keeps none.
    if (failed || !Supported() || !MakeProgram()) return false;
    GLint viewport[4] = {}, bound = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    if (viewport[2] <= 0 || viewport[3] <= 0) return false;
    // The depths are copied as they are: into the picture's 24-bit texture
    // only from a buffer of that format (a copy between others does
    // nothing, and a window made without depths has none).
    GLint depthBits = 0, stencilBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    if (light == Seen && (depthBits != 24 || stencilBits != 0)) {
        kept[light] = false;
        return false;
    }
    if ((viewport[2] != width || viewport[3] != height) && !MakePictures(viewport[2], viewport[3])) {
        failed = true;
        return false;
    }
    // Of one format and size, the copy moves memory; no pixel is shaded.
    glPushAttrib(GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, static_cast<GLuint>(bound));
    glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, frameBuffers[light]);
    glBlitFramebufferEXT(viewport[0], viewport[1], viewport[0] + width, viewport[1] + height, 0, 0, width, height,
                         light == Seen ? GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT : GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(bound));
    glPopAttrib();
    kept[light] = true;
    return true;
}

bool OglShadowedPicture::IsKept(int w, int h) const {
    return kept[Seen] && kept[Hidden] && w == width && h == height;
}

void OglShadowedPicture::Forget() { kept[Seen] = kept[Hidden] = false; }

bool OglShadowedPicture::Draw(unsigned int shadowMap, unsigned int mapTexels, const float shadowFromEye[16],
                              const float projection[16], float farthestDepth) const {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (!IsKept(viewport[2], viewport[3])) return false;

    // GL's column-major arrays read as vmath's row-major matrices are the
    // transposes: the product is taken in the transposed order, and its
    // array is the column-major clip -> map matrix.
    vmath::mat4<float> eyeFromClip, mapFromEye;
    std::copy(projection, projection + 16, eyeFromClip.m);
    std::copy(shadowFromEye, shadowFromEye + 16, mapFromEye.m);
    eyeFromClip = vmath::inverse(eyeFromClip);
    const vmath::mat4<float> mapFromClip = eyeFromClip * mapFromEye;

    // Within the scissor: the caller draws only around what moved.
    const ViewQuad quad(program, true);
    const GLuint textures[4] = {shadowMap, depth, colours[Seen], colours[Hidden]};
    const char* const samplers[4] = {"ShadowMap", "Depths", "Seen", "Hidden"};
    for (int unit = 0; unit < 4; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, textures[unit]);
        SetUniform(program, samplers[unit], unit);
    }
    glUniformMatrix4fv(glGetUniformLocation(program, "ShadowFromClip"), 1, GL_FALSE, mapFromClip.m);
    // The eye space's w of a clip-space point: the last row of the inverse
    // projection, a column of its transpose.
    glUniform4f(glGetUniformLocation(program, "EyeWFromClip"), eyeFromClip(0, 3), eyeFromClip(1, 3), eyeFromClip(2, 3),
                eyeFromClip(3, 3));
    glUniform4f(glGetUniformLocation(program, "Viewport"), static_cast<float>(viewport[0]),
                static_cast<float>(viewport[1]), 1.0f / static_cast<float>(width), 1.0f / static_cast<float>(height));
    glUniform1f(glGetUniformLocation(program, "Epsilon"), 1.0f / static_cast<float>(std::max(1u, mapTexels)));
    if (farthestDepth >= 1.0f) {
        quad.Draw();
        return true;
    }
    // The depths in the frame buffer are the picture's: a pixel whose point
    // lies beyond the shadow's reach fails the test before it is shaded. A
    // margin of a few steps of a 24-bit buffer keeps the test conservative.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_GEQUAL);
    glDepthMask(GL_FALSE);
    quad.Draw(std::min(1.0f, farthestDepth + 1e-6f) * 2.0f - 1.0f);
    return true;
}

bool OglShadowedPicture::MakePictures(int w, int h) {
    DeletePictures();
    GLint texture = 0, previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous);
    // Unsized and given as BGRA, as the scaled view's target is: a copy
    // between the two is then one of the same format.
    for (GLuint& colour : colours) colour = MakeTexture(GL_RGBA, w, h, GL_BGRA, GL_UNSIGNED_BYTE);
    depth = MakeTexture(GL_DEPTH_COMPONENT24, w, h, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));

    glGenFramebuffersEXT(2, frameBuffers);
    bool complete = true;
    for (int light : {Seen, Hidden}) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frameBuffers[light]);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colours[light], 0);
        if (light == Seen)
            glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, depth, 0);
        complete = complete && glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    }
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous));
    if (!complete) {
        DeletePictures();
        return false;
    }
    width = w;
    height = h;
    return true;
}

void OglShadowedPicture::DeletePictures() {
    if (frameBuffers[0] || frameBuffers[1]) glDeleteFramebuffersEXT(2, frameBuffers);
    if (colours[0] || colours[1]) glDeleteTextures(2, colours);
    if (depth) glDeleteTextures(1, &depth);
    frameBuffers[0] = frameBuffers[1] = colours[0] = colours[1] = depth = 0;
    width = height = 0;
    Forget();
}

bool OglShadowedPicture::MakeProgram() const {
    if (program) return true;
    if (programFailed) return false;
    program = GlslProgram::Build(VertexSource, FragmentSource);
    programFailed = program == 0;
    return program != 0;
}
