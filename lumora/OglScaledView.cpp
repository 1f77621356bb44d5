#include <lumora/OglScaledView.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "GlslProgram.h"
#include "ViewQuad.h"

namespace {

// A quad given in clip coordinates (-1..1) samples the target across it; no
// matrix is read, so the game's projection and texture matrices stay put.
const char* const VertexSource =
    "varying vec2 uv;\n"
    "void main() {\n"
    "    uv = gl_Vertex.xy * 0.5 + 0.5;\n"
    "    gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);\n"
    "}\n";
const char* const FragmentSource =
    "uniform sampler2D image;\n"
    "varying vec2 uv;\n"
    "void main() { gl_FragColor = texture2D(image, uv); }\n";

// Whether the window is the target repeated a whole number of times each way, the same number.
bool WholeRatio(int windowWidth, int windowHeight, int width, int height) {
    if (width <= 0 || height <= 0 || windowWidth % width != 0 || windowHeight % height != 0) return false;
    return windowWidth / width == windowHeight / height;
}

// A frame buffer of a colour texture (`filter` both ways, clamped to its
// edges) and a depth buffer, both `width` x `height`; the bindings are given
// back. False, with nothing made, when GL finds it incomplete.
bool MakeFrameBuffer(int width, int height, GLint filter, GLuint& frameBuffer, GLuint& colour, GLuint& depth) {
    GLint texture = 0, previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous);

    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // Unsized, given as BGRA: the driver keeps it in the window's own byte
    // order, which a software rasteriser stretches and copies on its fast path.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));

    glGenRenderbuffersEXT(1, &depth);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);

    glGenFramebuffersEXT(1, &frameBuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frameBuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
    const bool complete = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous));
    if (complete) return true;
    glDeleteFramebuffersEXT(1, &frameBuffer);
    glDeleteRenderbuffersEXT(1, &depth);
    glDeleteTextures(1, &colour);
    frameBuffer = depth = colour = 0;
    return false;
}

}  // namespace

OglScaledView::~OglScaledView() {
    DeleteTarget();
    if (program) glDeleteProgram(program);
}

bool OglScaledView::Supported() { return GLEW_VERSION_2_0 && GLEW_EXT_framebuffer_object; }

bool OglScaledView::Begin(float scale) {
    if (!(scale > 0.0f && scale < 1.0f)) scale = 1.0f;
    GLint depthBits = 0;
    if (scale == 1.0f) glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    if (scale == 1.0f && depthBits > 0) {
        // Back at full size over a buffer with depth the target is of no more use.
        if (frameBuffer) DeleteTarget();
        return false;
    }
    if (!Supported() || !MakeProgram()) return false;
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int width = std::max(1, static_cast<int>(std::lround(viewport[2] * scale)));
    const int height = std::max(1, static_cast<int>(std::lround(viewport[3] * scale)));
    if (width != targetWidth || height != targetHeight || !frameBuffer) {
        // A target GL refused once is not asked for every frame.
        if (targetFailed || !MakeTarget(width, height)) {
            targetFailed = true;
            return false;
        }
    }
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previousFrameBuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frameBuffer);
    glViewport(0, 0, targetWidth, targetHeight);
    return true;
}

void OglScaledView::End() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previousFrameBuffer));
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);

    const ViewQuad quad(program, false);
    // The window's depth buffer holds nothing of the scene drawn into the
    // target: cleared, it lets the overlay draw as it would over the scene's
    // far depths. Only a frame drawn straight into the window (before the
    // target was made) leaves depths there, so it is cleared once: clearing
    // a window's depth every frame costs a software rasteriser about a tenth
    // of a small frame.
    if (windowDepthStale) {
        glDepthMask(GL_TRUE);
        glClear(GL_DEPTH_BUFFER_BIT);
        windowDepthStale = false;
    }

    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, colour);
    // At a whole ratio (the half of Low) each texel covers a square of
    // pixels exactly: repeating it costs one texel read a pixel where linear
    // filtering costs four, and only blurs the picture further.
    const int wanted = WholeRatio(viewport[2], viewport[3], targetWidth, targetHeight) ? GL_NEAREST : GL_LINEAR;
    if (wanted != filter) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, wanted);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, wanted);
        filter = wanted;
    }
    glUniform1i(glGetUniformLocation(program, "image"), 0);
    quad.Draw();
}

bool OglScaledView::MakeTarget(int width, int height) {
    DeleteTarget();
    if (!MakeFrameBuffer(width, height, GL_LINEAR, frameBuffer, colour, depth)) return false;
    filter = GL_LINEAR;
    targetWidth = width;
    targetHeight = height;
    windowDepthStale = true;
    return true;
}

bool OglScaledView::KeepPicture() {
    if (!frameBuffer || pictureFailed) return false;
    if (!keptFrameBuffer && !MakePicture()) {
        pictureFailed = true;
        return false;
    }
    Copy(frameBuffer, keptFrameBuffer);
    pictureKept = true;
    return true;
}

bool OglScaledView::RestorePicture() {
    if (!frameBuffer || !HasPicture()) return false;
    Copy(keptFrameBuffer, frameBuffer);
    return true;
}

void OglScaledView::ForgetPicture() { pictureKept = false; }

void OglScaledView::Copy(unsigned int from, unsigned int to) const {
    // A copy between buffers of one format and size: the driver moves the
    // memory, no pixel goes through the rasteriser.
    glPushAttrib(GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, from);
    glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, to);
    glBlitFramebufferEXT(0, 0, targetWidth, targetHeight, 0, 0, targetWidth, targetHeight,
                         GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frameBuffer);
    glPopAttrib();
}

bool OglScaledView::MakePicture() {
    // The target's own formats, so that a copy is a copy.
    return GLEW_EXT_framebuffer_blit &&
           MakeFrameBuffer(targetWidth, targetHeight, GL_NEAREST, keptFrameBuffer, keptColour, keptDepth);
}

void OglScaledView::DeletePicture() {
    if (keptFrameBuffer) glDeleteFramebuffersEXT(1, &keptFrameBuffer);
    if (keptDepth) glDeleteRenderbuffersEXT(1, &keptDepth);
    if (keptColour) glDeleteTextures(1, &keptColour);
    keptFrameBuffer = keptDepth = keptColour = 0;
    pictureKept = false;
}

void OglScaledView::DeleteTarget() {
    DeletePicture();
    if (frameBuffer) glDeleteFramebuffersEXT(1, &frameBuffer);
    if (depth) glDeleteRenderbuffersEXT(1, &depth);
    if (colour) glDeleteTextures(1, &colour);
    frameBuffer = depth = colour = 0;
    targetWidth = targetHeight = 0;
}

bool OglScaledView::MakeProgram() {
    if (program) return true;
    if (programFailed) return false;
    program = GlslProgram::Build(VertexSource, FragmentSource);
    programFailed = program == 0;
    return program != 0;
}
