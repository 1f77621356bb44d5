#include <lumora/OglStateManager.h>

#include <GL/glew.h>

#include <cstring>

#include <nodara/Image.h>
#include <nodara/Light.h>
#include <nodara/Material.h>
#include <nodara/Texture.h>
#include <nodara/Transform.h>

const unsigned int OglStateManager::TextureFilters[6][2] = {
    {GL_NEAREST, GL_NEAREST},                 // Nearest
    {GL_NEAREST, GL_NEAREST_MIPMAP_NEAREST},  // NearestBilinear
    {GL_NEAREST, GL_NEAREST_MIPMAP_LINEAR},   // NearestTrilinear
    {GL_LINEAR, GL_LINEAR},                   // Linear
    {GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST},    // Bilinear
    {GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR},     // Trilinear
};

const int OglStateManager::AnisotropicFilters[5] = {1, 2, 4, 8, 16};

namespace {

// Sets an int uniform of `program` by name; a name the program lacks is skipped.
void SetUniform(unsigned int program, const char* name, int value) {
    const GLint location = glGetUniformLocation(program, name);
    if (location >= 0) glUniform1i(location, value);
}

}  // namespace

void OglStateManager::SetTextureFilter(StateManager::TextureFilter filter) {
    // A value cast from outside the enumeration would index past the table.
    if (filter < Nearest || filter > Trilinear) return;
    textureFilter = filter;
}

void OglStateManager::SetAnisotropicFilter(StateManager::AnisotropicFilter filter) {
    if (filter < AnisotropicOff || filter > Anisotropic16x) return;
    if (AnisotropicFilters[filter] > SupportedAnisotropy()) return;
    anisotropicFilter = filter;
}

int OglStateManager::SupportedAnisotropy() {
    if (supportedAnisotropy > 0) return supportedAnisotropy;
    // NOTE: before GLEW is up on a current context every extension reads as
    // missing; none for now, but nothing is kept, so GL is asked again later.
    const char* name = GLEW_VERSION_1_1 ? reinterpret_cast<const char*>(glGetString(GL_RENDERER)) : nullptr;
    if (!name) return 1;
    supportedAnisotropy = 1;
    if (!GLEW_EXT_texture_filter_anisotropic) return supportedAnisotropy;
    // WARNING: llvmpipe and softpipe report 16x, but filter anisotropically
    // so slowly that one frame at a grazing angle takes tens of seconds.
    if (std::strstr(name, "llvmpipe") || std::strstr(name, "softpipe")) return supportedAnisotropy;
    GLint maximum = 1;
    glGetIntegerv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maximum);
    if (maximum > 1) supportedAnisotropy = maximum;
    return supportedAnisotropy;
}

void OglStateManager::Push(const Transform& transform) {
    glPushMatrix();
    glMultMatrixf(transform.GetMatrix().ptr());
}

void OglStateManager::Pop(const Transform&) { glPopMatrix(); }

void OglStateManager::Push(const Material& material) {
    if (activeProgram) SetUniform(activeProgram, "diffuseStatus", 0);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.GetAmbient().ptr());
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.GetDiffuse().ptr());
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.GetSpecular().ptr());
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.GetShininess());
    if (material.GetTextureCount() == 0) return;

    // The applied degree never exceeds what the renderer takes, whatever the
    // setting says (the default 8x included).
    const int anisotropy = AnisotropicFilters[anisotropicFilter] < SupportedAnisotropy()
                               ? AnisotropicFilters[anisotropicFilter]
                               : SupportedAnisotropy();
    const bool anisotropic = GLEW_EXT_texture_filter_anisotropic;
    glMatrixMode(GL_TEXTURE);
    for (unsigned int i = 0; const Texture* texture = material.GetTexture(i); ++i) {
        glActiveTexture(GL_TEXTURE2 + i);
        glBindTexture(GL_TEXTURE_2D, texture->GetImage().GetBindId());
        if (activeProgram) {
            SetUniform(activeProgram, "DiffuseMap", 2);
            SetUniform(activeProgram, "diffuseStatus", 1);
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, TextureFilters[textureFilter][1]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, TextureFilters[textureFilter][0]);
        if (anisotropic) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        // Applied to a coordinate in reverse: offset first, then tiling, then rotation.
        glPushMatrix();
        glRotatef(texture->GetRotation(), 0.0f, 0.0f, 1.0f);
        glScalef(texture->GetTiling().x, texture->GetTiling().y, 1.0f);
        glTranslatef(texture->GetOffset().x, texture->GetOffset().y, 0.0f);
    }
    // NOTE: only the last unit is enabled, as the draw paths feed texture
    // coordinates to unit 2 alone.
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
}

void OglStateManager::Pop(const Material& material) {
    glMatrixMode(GL_TEXTURE);
    for (unsigned int i = 0; material.GetTexture(i); ++i) {
        glActiveTexture(GL_TEXTURE2 + i);
        glDisable(GL_TEXTURE_2D);
        glPopMatrix();
    }
    glMatrixMode(GL_MODELVIEW);
}

void OglStateManager::InitializeLighting(const Light& light) {
    glEnable(GL_LIGHTING);
    glEnable(GL_NORMALIZE);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, light.GetSpotDirection().ptr());
    glLighti(GL_LIGHT0, GL_SPOT_EXPONENT, light.GetSpotExponent());
    glLighti(GL_LIGHT0, GL_SPOT_CUTOFF, light.GetSpotCutoff());
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, light.GetConstantAttenuation());
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, light.GetLinearAttenuation());
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, light.GetQuadraticAttenuation());
    glLightfv(GL_LIGHT0, GL_POSITION, light.GetPosition().ptr());
    glLightfv(GL_LIGHT0, GL_AMBIENT, light.GetAmbient().ptr());
    glLightfv(GL_LIGHT0, GL_DIFFUSE, light.GetDiffuse().ptr());
    glLightfv(GL_LIGHT0, GL_SPECULAR, light.GetSpecular().ptr());
    glEnable(GL_LIGHT0);
}

void OglStateManager::SetLightTransform(const Light& light) {
    glLightfv(GL_LIGHT0, GL_POSITION, light.GetPosition().ptr());
}
