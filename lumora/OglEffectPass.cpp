#include <lumora/OglEffectPass.h>
#include <lumora/OglShadowedPicture.h>

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <lumora/OglRenderer.h>
#include <lumora/Scene.h>
#include <lumora/ShadowReach.h>
#include <nodara/BoundingBox.h>
#include <nodara/GroupNode.h>
#include <nodara/Light.h>
#include "vmath/mat4.h"

Logger OglEffectPass::logger("OglEffectPass");

const unsigned int OglEffectPass::CubeFace[6] = {
    GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_Y,
    GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z,
};

const vmath::vec3<double> OglEffectPass::viewVecs[6] = {
    {1.0, 0.0, 0.0}, {-1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, -1.0, 0.0}, {0.0, 0.0, 1.0}, {0.0, 0.0, -1.0},
};

// A cube map face is addressed with t growing downwards on the side faces,
// so their up vectors point along -y (or along z on the y faces).
const vmath::vec3<double> OglEffectPass::upVecs[6] = {
    {0.0, -1.0, 0.0}, {0.0, -1.0, 0.0}, {0.0, 0.0, 1.0}, {0.0, 0.0, -1.0}, {0.0, -1.0, 0.0}, {0.0, -1.0, 0.0},
};

namespace {

// Sets a uniform of the program in use by name; a name it lacks is skipped.
void SetUniform(unsigned int program, const char* name, int value) {
    if (!program) return;
    const GLint location = glGetUniformLocation(program, name);
    if (location >= 0) glUniform1i(location, value);
}

void SetUniform(unsigned int program, const char* name, float value) {
    if (!program) return;
    const GLint location = glGetUniformLocation(program, name);
    if (location >= 0) glUniform1f(location, value);
}

// Every group at or below `node`, with its culled flag.
void SaveCullFlags(const Node& node, std::vector<std::pair<GroupNode*, bool>>& saved) {
    if (const auto* group = dynamic_cast<const GroupNode*>(&node))
        // NOTE: the flags are the one piece of a group the pass may change; it
        // gives them back before the main view draws.
        saved.emplace_back(const_cast<GroupNode*>(group), group->IsCulled());
    for (unsigned int i = 0; const Node* child = node.GetChild(i); ++i) SaveCullFlags(*child, saved);
}

// `point` transformed by the column-major matrix `m`, all four components.
void TransformPoint(const float* m, const float point[4], float out[4]) {
    for (int row = 0; row < 4; ++row)
        out[row] = m[row] * point[0] + m[4 + row] * point[1] + m[8 + row] * point[2] + m[12 + row] * point[3];
}

// Corner `i` (0..7) of the box, as a point.
void Corner(const BoundingBox& box, int i, float out[4]) {
    const vmath::vec3<float>& lo = box.GetMinimum();
    const vmath::vec3<float>& hi = box.GetMaximum();
    out[0] = (i & 1) ? hi.x : lo.x;
    out[1] = (i & 2) ? hi.y : lo.y;
    out[2] = (i & 4) ? hi.z : lo.z;
    out[3] = 1.0f;
}

// A column-major GL matrix as vmath's row-major one.
vmath::mat4<float> RowMajor(const float* gl) {
    vmath::mat4<float> m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m(r, c) = gl[c * 4 + r];
    return m;
}

bool SameMatrix(const float* a, const float* b) { return std::equal(a, a + 16, b); }

// The matrix `group` is drawn with: a copy of a group keeps drawing with the
// source's transform (the show room's stand turns the car's, not its own).
const float* DrawnMatrix(const GroupNode& group) {
    if (const auto* transform = dynamic_cast<const Transform*>(&group.GetState()))
        return transform->GetMatrix().ptr();
    return group.GetTransform().GetMatrix().ptr();
}

}  // namespace

OglEffectPass::OglEffectPass(OglRenderer& renderer) : renderer(renderer) {}

OglEffectPass::~OglEffectPass() { DeleteRessources(); }

void OglEffectPass::DeleteRessources() {
    // Nothing was made before Initialize, and GL may not even be loaded then.
    if (!shadowMap && !environmentMap && !shadowFrameBuffer && !environmentFrameBuffer) return;
    if (glIsTexture(shadowMap)) glDeleteTextures(1, &shadowMap);
    for (unsigned int& map : visibilityMaps)
        if (glIsTexture(map)) glDeleteTextures(1, &map);
    visibilityMaps[0] = visibilityMaps[1] = 0;
    if (glIsTexture(environmentMap)) glDeleteTextures(1, &environmentMap);
    if (glIsRenderbufferEXT(environmentDepthBuffer)) glDeleteRenderbuffersEXT(1, &environmentDepthBuffer);
    if (glIsFramebufferEXT(shadowFrameBuffer)) glDeleteFramebuffersEXT(1, &shadowFrameBuffer);
    if (glIsFramebufferEXT(environmentFrameBuffer)) glDeleteFramebuffersEXT(1, &environmentFrameBuffer);
    shadowMap = environmentMap = environmentDepthBuffer = shadowFrameBuffer = environmentFrameBuffer = 0;
    shadowMapReady = environmentMapReady = false;
    shadowMapCurrent = false;
    environmentFacesCurrent = 0;
    environmentMapFilled = false;
}

bool OglEffectPass::Initialize(const Perspective& projection) {
    lightProjection = projection;
    // Shader programs and frame-buffer objects are GL entry points GLEW loads
    // with the renderer; without them nothing here can be called.
    if (!GLEW_VERSION_2_0 || !GLEW_EXT_framebuffer_object) {
        if (logger.IsEnabled(Logger::Error))
            Logger::Stream(logger, Logger::Error).GetStream()
                << "OpenGL 2.0 with frame buffer objects is not available: nothing will be drawn!";
        return false;
    }
    glReady = true;
    // Called again (for new map sizes, say), the maps are made anew.
    DeleteRessources();
    const bool ressources = GenerateRessources();
    const bool shaders = renderer.GetShaderManager().CreateShaders();
    return ressources && shaders;
}

void OglEffectPass::AddGroup(OglEffectPass::Effect effect, const GroupNode& group) {
    if (effect < Standard || effect > Reflections) return;
    groups[effect].push_back(&group);
}

bool OglEffectPass::RemoveGroup(OglEffectPass::Effect effect, const GroupNode& group) {
    if (effect < Standard || effect > Reflections) return false;
    GroupList& list = groups[effect];
    const auto found = std::find(list.begin(), list.end(), &group);
    if (found == list.end()) return false;
    list.erase(found);
    return true;
}

void OglEffectPass::AddStandIn(const GroupNode& fine, const GroupNode& coarse) { standIns.emplace_back(&fine, &coarse); }

bool OglEffectPass::GenerateRessources() {
    // Given back at the end: a preset change may come while the game's own
    // frame buffer is bound.
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    // Shadow map: a depth texture compared against the pixel's depth from the light.
    glGenTextures(1, &shadowMap);
    glBindTexture(GL_TEXTURE_2D, shadowMap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32, shadowMapSize, shadowMapSize, 0, GL_DEPTH_COMPONENT,
                 GL_UNSIGNED_INT, nullptr);
    // Every pixel compared against the far plane sees the light, against
    // the near plane none does.
    glGenTextures(2, visibilityMaps);
    for (int i = 0; i < 2; ++i) {
        const GLfloat depth = i == 0 ? 1.0f : 0.0f;
        glBindTexture(GL_TEXTURE_2D, visibilityMaps[i]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32, 1, 1, 0, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    }
    glBindTexture(GL_TEXTURE_2D, 0);

    glGenFramebuffersEXT(1, &shadowFrameBuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, shadowFrameBuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, shadowMap, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    const GLenum shadowStatus = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    CheckFrameBufferStatus(shadowStatus, "ShadowMap FBO");
    shadowMapReady = shadowStatus == GL_FRAMEBUFFER_COMPLETE_EXT;

    // Environment map: six colour faces, drawn one per frame.
    glGenTextures(1, &environmentMap);
    glBindTexture(GL_TEXTURE_CUBE_MAP, environmentMap);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    for (unsigned int face = 0; face < 6; ++face)
        glTexImage2D(CubeFace[face], 0, GL_RGBA8, environmentMapSize, environmentMapSize, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);

    glGenFramebuffersEXT(1, &environmentFrameBuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, environmentFrameBuffer);
    glGenRenderbuffersEXT(1, &environmentDepthBuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, environmentDepthBuffer);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT16, environmentMapSize, environmentMapSize);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 environmentDepthBuffer);
    // The colour attachment changes every frame; the first face stands in for
    // all six, which share size and format, so the check holds for each.
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, CubeFace[0], environmentMap, 0);
    const GLenum environmentStatus = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    CheckFrameBufferStatus(environmentStatus, "EnvironmentMap FBO");
    environmentMapReady = environmentStatus == GL_FRAMEBUFFER_COMPLETE_EXT;
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(bound));
    return shadowMapReady && environmentMapReady;
}

void OglEffectPass::CheckFrameBufferStatus(unsigned int status, const char* name) {
    const char* text = nullptr;
    switch (status) {
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT:
        text = " (Incomplete Attachment)!";
        break;
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT:
        text = " (Missing Attachment)!";
        break;
    case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT:
        text = " (Incomplete Dimensions)!";
        break;
    case GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT:
        text = " (Incomplete Formats)!";
        break;
    case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT:
        text = " (Incomplete Draw Buffer)!";
        break;
    case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT:
        text = " (Incomplete Read Buffer)!";
        break;
    case GL_FRAMEBUFFER_UNSUPPORTED_EXT:
        text = " (FrameBuffer Unsupported)!";
        break;
    default:
        return;
    }
    if (logger.IsEnabled(Logger::Error))
        Logger::Stream(logger, Logger::Error).GetStream() << "Error creating " << name << text;
}

void OglEffectPass::Render(const Scene& scene) {
    if (!glReady) return;
    OglStateManager& stateManager = renderer.GetStateManager();
    const OglShaderManager& shaders = renderer.GetShaderManager();

    // The game may draw the frame into a frame buffer of its own (a scaled
    // view); the maps' sub-passes hand that one back, not the window's.
    GLint target = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &target);
    targetFrameBuffer = static_cast<unsigned int>(target);

    UpdateMatrices(scene);
    lightKind = OglShaderManager::KindOf(scene.GetLight());
    glUseProgram(0);
    stateManager.SetActiveProgram(shaders.GetProgram(OglShaderManager::FixedFunction));

    const bool withShadows = !groups[Shadows].empty();
    const bool mapped = withShadows && shadows && shadowMapReady;
    if (mapped && lightVisibility == Mapped && !ShadowMapIsCurrent()) GenerateShadowMap();
    if (environmentMapReady && reflections) GenerateEnvMap(scene);

    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    std::copy(viewport, viewport + 4, redrawnRegion);
    const bool overPicture = redrawnAround && stillPicture && mapped && lightVisibility == Mapped &&
                             stillPicture->IsKept(viewport[2], viewport[3]);
    if (redrawnAround) {
        FindRedrawnRegion(*redrawnAround, mapped);
        glPushAttrib(GL_SCISSOR_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(redrawnRegion[0], redrawnRegion[1], redrawnRegion[2], redrawnRegion[3]);
    }
    if (clearsView && !overPicture) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(cameraProjectionMatrix);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(cameraViewMatrix);
    // The environment face left light 0 placed under its own view.
    stateManager.SetLightTransform(scene.GetLight());

    if (!overPicture) RenderGroups(Standard);
    // Redrawn over a kept picture, the group hides part of what is drawn
    // again around it: its depths go first, so that a software rasteriser
    // shades none of the pixels behind it. Its translucent parts are left
    // out of them, so what lies behind those is still drawn.
    const bool prePass = redrawnAround && !redrawnAround->IsCulled() && !overPicture;
    if (prePass) {
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 0.99f);
        redrawnAround->Render(renderer);
        glPopAttrib();
        glPushAttrib(GL_DEPTH_BUFFER_BIT);
        glDepthFunc(GL_LEQUAL);
    }

    if (overPicture) {
        // The picture's pixels first, so the group's translucent parts blend over them.
        stillPicture->Draw(shadowMap, shadowMapSize, shadowTextureMatrix, cameraProjectionMatrix, farthestShadowDepth);
        stateManager.SetActiveProgram(shaders.GetProgram(OglShaderManager::ShadowMapping, lightKind));
        RenderShadows(scene, redrawnAround);
    } else if (withShadows && !shadows) {
        RenderGroups(Shadows);
    } else if (mapped) {
        stateManager.SetActiveProgram(shaders.GetProgram(OglShaderManager::ShadowMapping, lightKind));
        RenderShadows(scene);
    } else if (withShadows) {
        // No shadow map to compare against: the shadow groups are still drawn, lit per pixel.
        stateManager.SetActiveProgram(shaders.GetProgram(OglShaderManager::Lighting, lightKind));
        glUseProgram(shaders.GetProgram(OglShaderManager::Lighting, lightKind));
        RenderGroups(Shadows);
    } else if (!groups[PerPixelLighting].empty()) {
        stateManager.SetActiveProgram(shaders.GetProgram(OglShaderManager::Lighting, lightKind));
        RenderPerPixelLighting(scene);
    }

    // The reflections blend the environment map over the frame; without a
    // complete map there is nothing to blend.
    if (environmentMapReady && reflections) {
        stateManager.SetActiveProgram(shaders.GetProgram(OglShaderManager::EnvironmentMapping));
        RenderReflections(scene, overPicture ? redrawnAround : nullptr);
    }
    if (prePass) glPopAttrib();
    if (redrawnAround) glPopAttrib();

    glUseProgram(0);
    stateManager.SetActiveProgram(0);
    renderer.CheckError();
}

void OglEffectPass::UpdateMatrices(const Scene& scene) {
    glGetFloatv(GL_PROJECTION_MATRIX, cameraProjectionMatrix);
    renderer.SetProjection(lightProjection);
    glGetFloatv(GL_PROJECTION_MATRIX, lightProjectionMatrix);

    // Light::GetView recomputes its view; a copy keeps the scene untouched.
    Light light = scene.GetLight();
    glLoadIdentity();
    renderer.SetViewing(light.GetView());
    glGetFloatv(GL_MODELVIEW_MATRIX, lightViewMatrix);

    glLoadIdentity();
    renderer.SetViewing(scene.GetCamera().GetView());
    glGetFloatv(GL_MODELVIEW_MATRIX, cameraViewMatrix);
    vmath::mat4<float> view;
    std::copy(cameraViewMatrix, cameraViewMatrix + 16, view.m);
    const vmath::mat4<float> inverse = vmath::inverse(view);
    std::copy(inverse.m, inverse.m + 16, inverseCameraViewMatrix);

    // Eye space of the camera -> world -> light's eye -> light's clip -> 0..1.
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.5f);
    glScalef(0.5f, 0.5f, 0.5f);
    glMultMatrixf(lightProjectionMatrix);
    glMultMatrixf(lightViewMatrix);
    glMultMatrixf(inverseCameraViewMatrix);
    glGetFloatv(GL_MODELVIEW_MATRIX, shadowTextureMatrix);

    glLoadMatrixf(inverseCameraViewMatrix);
}

void OglEffectPass::GenerateShadowMap() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, shadowFrameBuffer);
    // The polygon group covers the cull face and the offset changed below.
    glPushAttrib(GL_VIEWPORT_BIT | GL_POLYGON_BIT);
    glViewport(0, 0, shadowMapSize, shadowMapSize);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(lightProjectionMatrix);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(lightViewMatrix);

    // Where only some casters moved, the rest of the map still holds.
    int region[4] = {0, 0, static_cast<int>(shadowMapSize), static_cast<int>(shadowMapSize)};
    const bool partial = shadowMapTolerance > 0.0f && FindMovedCastersRegion(region);
    if (partial) {
        glPushAttrib(GL_SCISSOR_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(region[0], region[1], region[2], region[3]);
    }
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    const Renderer::CullState cullState = renderer.GetCullFace();
    // Only the faces turned away from the light go into the map, so a lit
    // surface is never compared against its own depth.
    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    glPolygonOffset(1.1f, 4.0f);
    glEnable(GL_POLYGON_OFFSET_FILL);

    CullFlags cameraFlags;
    CullForSubView(groups[Shadows], cameraFlags);
    // The casters' full detail: a copy would stand in for them twice over.
    for (const auto& pair : standIns) const_cast<GroupNode*>(pair.second)->SetCulled(true);
    RenderGroups(Shadows);
    RestoreCullFlags(cameraFlags);
    RememberShadowCasters();
    if (partial) glPopAttrib();

    glDisable(GL_POLYGON_OFFSET_FILL);
    renderer.SetCullFace(cullState);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_LIGHTING);
    glPopAttrib();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, targetFrameBuffer);
}

void OglEffectPass::GenerateEnvMap(const Scene& scene) {
    if (groups[Reflections].empty()) return;
    // Column-major: the translation sits at 12, 13 and 14.
    const float* matrix = groups[Reflections].front()->GetTransform().GetMatrix().ptr();
    const vmath::vec3<double> centre(matrix[12], matrix[13], matrix[14]);
    const GroupList faceGroups = DistinctGroups({Standard, Environment});
    // Six faces drawn in a row from the same centre, light and groups are
    // the whole map while none of them moved.
    const double dx = centre.x - environmentCentre[0], dy = centre.y - environmentCentre[1],
                 dz = centre.z - environmentCentre[2];
    const double tolerance = environmentMapTolerance;
    const bool still = environmentMapTolerance > 0.0f && dx * dx + dy * dy + dz * dz <= tolerance * tolerance &&
                       SameMatrix(environmentLightView, lightViewMatrix) &&
                       StillWithin(faceGroups, environmentGroups, environmentMapTolerance);
    if (still && environmentFacesCurrent >= 6) return;
    if (!still) {
        environmentFacesCurrent = 0;
        environmentCentre[0] = centre.x, environmentCentre[1] = centre.y, environmentCentre[2] = centre.z;
        std::copy(lightViewMatrix, lightViewMatrix + 16, environmentLightView);
        environmentGroups = Remember(faceGroups);
    }
    SetFaceProjection(FaceFarPlaneM);
    // The lighting group: the local viewer is switched on below.
    glPushAttrib(GL_VIEWPORT_BIT | GL_LIGHTING_BIT);
    glViewport(0, 0, environmentMapSize, environmentMapSize);

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, environmentFrameBuffer);
    // Highlights measured from the cube's centre rather than along each
    // face's own axis, so that they meet where two faces meet.
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    // A map just made holds no picture: its first frame draws every face,
    // so nothing undefined is ever reflected.
    const unsigned int faces = environmentMapFilled ? 1 : 6;
    for (unsigned int n = 0; n < faces; ++n) {
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, CubeFace[currentCubeFace],
                                  environmentMap, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        const vmath::vec3<double> at = centre + viewVecs[currentCubeFace];
        const vmath::vec3<double>& up = upVecs[currentCubeFace];
        gluLookAt(centre.x, centre.y, centre.z, at.x, at.y, at.z, up.x, up.y, up.z);
        renderer.GetStateManager().SetLightTransform(scene.GetLight());

        CullFlags cameraFlags;
        // Like the shadow map's, these flags are given back below.
        std::vector<bool> near(standIns.size(), false);
        if (!standIns.empty() && standInDistance > 0.0f && standInDistance < FaceFarPlaneM) {
            SetFaceProjection(standInDistance);
            // A fine group whose parent lies wholly beyond keeps its flag from
            // before; marked culled first, it counts as far.
            for (const auto& pair : standIns) {
                cameraFlags.emplace_back(const_cast<GroupNode*>(pair.first), pair.first->IsCulled());
                const_cast<GroupNode*>(pair.first)->SetCulled(true);
            }
            CullForSubView(faceGroups, cameraFlags);
            for (std::size_t i = 0; i < standIns.size(); ++i) near[i] = !standIns[i].first->IsCulled();
            SetFaceProjection(FaceFarPlaneM);
        }
        CullForSubView(faceGroups, cameraFlags);
        for (std::size_t i = 0; i < standIns.size(); ++i)
            const_cast<GroupNode*>(near[i] ? standIns[i].second : standIns[i].first)->SetCulled(true);
        for (const GroupNode* group : faceGroups) group->Render(renderer);
        RestoreCullFlags(cameraFlags);

        currentCubeFace = (currentCubeFace + 1) % 6;
        ++environmentFacesCurrent;
        ++environmentFacesDrawn;
    }
    environmentMapFilled = true;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, targetFrameBuffer);
    glPopAttrib();
}

void OglEffectPass::SetFaceProjection(float farM) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, 1.0, 0.1, farM);
    glMatrixMode(GL_MODELVIEW);
}

void OglEffectPass::RenderShadows(const Scene& scene, const GroupNode* only) {
    glActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_TEXTURE);
    glLoadMatrixf(shadowTextureMatrix);
    glMatrixMode(GL_MODELVIEW);

    const unsigned int program = renderer.GetShaderManager().GetProgram(OglShaderManager::ShadowMapping, lightKind);
    glUseProgram(program);
    SetUniform(program, "Epsilon", 1.0f / static_cast<float>(shadowMapSize));
    glBindTexture(GL_TEXTURE_2D, lightVisibility == Mapped ? shadowMap : visibilityMaps[lightVisibility - 1]);
    SetUniform(program, "ShadowMap", 0);
    renderer.GetStateManager().SetLightTransform(scene.GetLight());
    if (only)
        only->Render(renderer);
    else
        RenderGroups(Shadows);
}

void OglEffectPass::RenderPerPixelLighting(const Scene& scene) {
    glUseProgram(renderer.GetShaderManager().GetProgram(OglShaderManager::Lighting, lightKind));
    renderer.GetStateManager().SetLightTransform(scene.GetLight());
    RenderGroups(PerPixelLighting);
}

void OglEffectPass::RenderReflections(const Scene& scene, const GroupNode* only) {
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    const bool transparency = renderer.GetRenderTransparency();
    glEnable(GL_BLEND);
    // Reflection squared plus frame squared: bright reflections show, dark
    // ones leave the surface nearly as it was.
    glBlendFunc(GL_SRC_COLOR, GL_DST_COLOR);
    glLoadMatrixf(cameraViewMatrix);
    renderer.GetStateManager().SetLightTransform(scene.GetLight());

    const unsigned int program = renderer.GetShaderManager().GetProgram(OglShaderManager::EnvironmentMapping);
    glUseProgram(program);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_CUBE_MAP, environmentMap);
    SetUniform(program, "EnvMap", 1);
    const GLint inverseView = program ? glGetUniformLocation(program, "InvCameraView") : -1;
    if (inverseView >= 0) glUniformMatrix4fv(inverseView, 1, GL_FALSE, inverseCameraViewMatrix);
    // Filtering across face edges, where GL has it, hides the seams between faces.
    const bool seamless = GLEW_ARB_seamless_cube_map && !glIsEnabled(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    if (seamless) glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);

    if (only) {
        if (std::find(groups[Reflections].begin(), groups[Reflections].end(), only) != groups[Reflections].end())
            only->Render(renderer);
    } else if (minReflectionPixels == 0) {
        RenderGroups(Reflections);
    } else {
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        viewportWidth = viewport[2];
        viewportHeight = viewport[3];
        for (const GroupNode* group : groups[Reflections])
            if (!group->IsCulled() && ScreenPixels(*group) >= static_cast<double>(minReflectionPixels))
                group->Render(renderer);
    }

    if (seamless) glDisable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    renderer.SetRenderTransparency(transparency);
    glPopAttrib();
}

void OglEffectPass::RenderGroups(OglEffectPass::Effect effect) const {
    for (const GroupNode* group : groups[effect]) group->Render(renderer);
}

OglEffectPass::GroupList OglEffectPass::DistinctGroups(std::initializer_list<OglEffectPass::Effect> effects) const {
    GroupList list;
    for (Effect effect : effects)
        for (const GroupNode* group : groups[effect])
            if (std::find(list.begin(), list.end(), group) == list.end()) list.push_back(group);
    return list;
}

void OglEffectPass::CullForSubView(const GroupList& list, CullFlags& saved) {
    // The camera's cull traversal marked what lies outside the main view;
    // the light and the cube faces look elsewhere, so they cull for themselves.
    for (const GroupNode* group : list) SaveCullFlags(*group, saved);
    for (const GroupNode* group : list) const_cast<GroupNode*>(group)->Cull(renderer);
}

bool OglEffectPass::ShadowMapIsCurrent() const {
    if (!shadowMapCurrent || shadowMapTolerance <= 0.0f) return false;
    return SameMatrix(shadowLightView, lightViewMatrix) && SameMatrix(shadowLightProjection, lightProjectionMatrix) &&
           StillWithin(groups[Shadows], shadowCasters, shadowMapTolerance);
}

void OglEffectPass::RememberShadowCasters() {
    ++shadowMapsDrawn;
    shadowMapCurrent = true;
    std::copy(lightViewMatrix, lightViewMatrix + 16, shadowLightView);
    std::copy(lightProjectionMatrix, lightProjectionMatrix + 16, shadowLightProjection);
    shadowCasters = Remember(groups[Shadows]);
}

bool OglEffectPass::FindMovedCastersRegion(int region[4]) const {
    if (!shadowMapCurrent || !SameMatrix(shadowLightView, lightViewMatrix) ||
        !SameMatrix(shadowLightProjection, lightProjectionMatrix))
        return false;
    const GroupList& casters = groups[Shadows];
    if (casters.size() != shadowCasters.size()) return false;
    const vmath::mat4<float> light = RowMajor(lightProjectionMatrix) * RowMajor(lightViewMatrix);
    const double size = shadowMapSize;
    double left = size, bottom = size, right = 0.0, top = 0.0;
    for (std::size_t i = 0; i < casters.size(); ++i) {
        const GroupNode& group = *casters[i];
        const GroupState& then = shadowCasters[i];
        const BoundingBox* box = group.GetBoundingVolume();
        const float* now = DrawnMatrix(group);
        if (!then.SameGroup(group)) return false;
        if (SameMatrix(then.matrix, now)) continue;
        if (!box) return false;
        // Where the group was, its depths are to be taken out; where it is, put in.
        for (const float* matrix : {now, static_cast<const float*>(then.matrix)}) {
            const vmath::mat4<float> toClip = light * RowMajor(matrix);
            for (int corner = 0; corner < 8; ++corner) {
                float point[4];
                Corner(*box, corner, point);
                const vmath::vec4<float> clip = toClip * vmath::vec4<float>(point[0], point[1], point[2], 1.0f);
                // Level with or behind the light the box has no bounded image.
                if (!(clip.w > 1e-6f)) return false;
                const double x = (clip.x / clip.w * 0.5 + 0.5) * size;
                const double y = (clip.y / clip.w * 0.5 + 0.5) * size;
                left = std::min(left, x), right = std::max(right, x);
                bottom = std::min(bottom, y), top = std::max(top, y);
            }
        }
    }
    // A texel more each way than the corners reach, within the map.
    const int x0 = static_cast<int>(std::clamp(std::floor(left) - 1.0, 0.0, size));
    const int y0 = static_cast<int>(std::clamp(std::floor(bottom) - 1.0, 0.0, size));
    const int x1 = static_cast<int>(std::clamp(std::ceil(right) + 1.0, 0.0, size));
    const int y1 = static_cast<int>(std::clamp(std::ceil(top) + 1.0, 0.0, size));
    region[0] = x0, region[1] = y0;
    region[2] = std::max(0, x1 - x0), region[3] = std::max(0, y1 - y0);
    return true;
}

OglEffectPass::GroupStates OglEffectPass::Remember(const GroupList& list) {
    GroupStates states;
    for (const GroupNode* group : list) {
        GroupState state;
        state.group = group;
        const float* matrix = DrawnMatrix(*group);
        std::copy(matrix, matrix + 16, state.matrix);
        const BoundingBox* box = group->GetBoundingVolume();
        state.box = box;
        if (box) {
            const vmath::vec3<float>& lo = box->GetMinimum();
            const vmath::vec3<float>& hi = box->GetMaximum();
            state.boxMinimum[0] = lo.x, state.boxMinimum[1] = lo.y, state.boxMinimum[2] = lo.z;
            state.boxMaximum[0] = hi.x, state.boxMaximum[1] = hi.y, state.boxMaximum[2] = hi.z;
        }
        state.childCount = group->GetChildCount();
        state.firstChild = group->GetChild(0);
        states.push_back(state);
    }
    return states;
}

bool OglEffectPass::GroupState::SameGroup(const GroupNode& node) const {
    const BoundingBox* nodeBox = node.GetBoundingVolume();
    if (group != &node || box != nodeBox || childCount != node.GetChildCount() || firstChild != node.GetChild(0))
        return false;
    if (!nodeBox) return true;
    const vmath::vec3<float>& lo = nodeBox->GetMinimum();
    const vmath::vec3<float>& hi = nodeBox->GetMaximum();
    return lo.x == boxMinimum[0] && lo.y == boxMinimum[1] && lo.z == boxMinimum[2] && hi.x == boxMaximum[0] &&
           hi.y == boxMaximum[1] && hi.z == boxMaximum[2];
}

bool OglEffectPass::StillWithin(const GroupList& list, const GroupStates& then, float tolerance) {
    if (list.size() != then.size()) return false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const GroupNode& group = *list[i];
        const GroupState& state = then[i];
        const BoundingBox* box = group.GetBoundingVolume();
        const float* now = DrawnMatrix(group);
        if (!state.SameGroup(group)) return false;
        if (!box) {
            if (!SameMatrix(state.matrix, now)) return false;
            continue;
        }
        // The farthest any corner of the box moved: a turn moves the far
        // corners most.
        for (int corner = 0; corner < 8; ++corner) {
            float point[4], a[4], b[4];
            Corner(*box, corner, point);
            TransformPoint(now, point, a);
            TransformPoint(state.matrix, point, b);
            const float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
            if (!(dx * dx + dy * dy + dz * dz <= tolerance * tolerance)) return false;
        }
    }
    return true;
}

double OglEffectPass::ScreenPixels(const GroupNode& group) const {
    constexpr double everything = std::numeric_limits<double>::max();
    const BoundingBox* box = group.GetBoundingVolume();
    if (!box) return everything;
    const float* model = DrawnMatrix(group);
    double left = everything, right = -everything, bottom = everything, top = -everything;
    for (int corner = 0; corner < 8; ++corner) {
        float point[4], world[4], eye[4], clip[4];
        Corner(*box, corner, point);
        TransformPoint(model, point, world);
        TransformPoint(cameraViewMatrix, world, eye);
        TransformPoint(cameraProjectionMatrix, eye, clip);
        // Behind the eye (or on its plane) the projection folds over: count
        // the group as large rather than guess.
        if (!(clip[3] > 1e-6f)) return everything;
        const double x = (clip[0] / clip[3] * 0.5 + 0.5) * viewportWidth;
        const double y = (clip[1] / clip[3] * 0.5 + 0.5) * viewportHeight;
        left = std::min(left, x), right = std::max(right, x);
        bottom = std::min(bottom, y), top = std::max(top, y);
    }
    // Only the part inside the viewport shows.
    left = std::max(left, 0.0), bottom = std::max(bottom, 0.0);
    right = std::min(right, static_cast<double>(viewportWidth));
    top = std::min(top, static_cast<double>(viewportHeight));
    return std::max(0.0, right - left) * std::max(0.0, top - bottom);
}

void OglEffectPass::FindRedrawnRegion(const GroupNode& group, bool mapped) {
    const BoundingBox* box = group.GetBoundingVolume();
    if (!box) return;
    ShadowReach reach(RowMajor(cameraProjectionMatrix) * RowMajor(cameraViewMatrix));
    reach.AddBody(*box, RowMajor(DrawnMatrix(group)));
    if (mapped) {
        reach.SetShadowMap(RowMajor(lightProjectionMatrix) * RowMajor(lightViewMatrix), shadowMapSize);
        // A map kept from an earlier frame shows the group where it was then.
        for (const GroupState& then : shadowCasters)
            if (then.group == &group) reach.AddBody(*box, RowMajor(then.matrix));
        // A receiver without a box could lie anywhere: then only the map's
        // frustum bounds the shadow.
        const bool allBoxed = std::all_of(groups[Shadows].begin(), groups[Shadows].end(),
                                          [](const GroupNode* other) { return other->GetBoundingVolume(); });
        for (const GroupNode* other : groups[Shadows])
            if (allBoxed && other != &group) reach.AddReceiver(*other->GetBoundingVolume(), RowMajor(DrawnMatrix(*other)));
    }
    int rect[4];
    reach.Region(redrawnRegion[2], redrawnRegion[3], rect);
    farthestShadowDepth = mapped ? static_cast<float>(reach.FarthestShadowDepth()) : 1.0f;
    redrawnRegion[0] += rect[0];
    redrawnRegion[1] += rect[1];
    redrawnRegion[2] = rect[2];
    redrawnRegion[3] = rect[3];
}

void OglEffectPass::RestoreCullFlags(const CullFlags& saved) {
    // In reverse, so a group saved twice ends with its first, original flag.
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) it->first->SetCulled(it->second);
}
