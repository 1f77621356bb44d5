#pragma once
#include <nodara/StateManager.h>

/// The OpenGL state manager: pushes and pops transforms and materials, sets up
/// light 0 and applies the texture-quality options to every texture it binds.
///
/// Texture units: a material's textures go on units 2, 3, ... in list order;
/// units 0 and 1 belong to the effect pass (shadow map, environment map).
class OglStateManager : public StateManager {
public:
    /// No GL call.
    OglStateManager() = default;
    OglStateManager(const OglStateManager&) = default;
    OglStateManager& operator=(const OglStateManager&) = default;
    ~OglStateManager() override = default;

    StateManager::TextureFilter GetTextureFilter() const override { return textureFilter; }
    /// Takes effect the next time a material binds a texture.
    void SetTextureFilter(StateManager::TextureFilter filter) override;
    StateManager::AnisotropicFilter GetAnisotropicFilter() const override { return anisotropicFilter; }
    /// Refused (previous value kept) when the degree exceeds SupportedAnisotropy().
    void SetAnisotropicFilter(StateManager::AnisotropicFilter filter) override;

    /// glPushMatrix, then the transform's matrix multiplied on (model-view).
    void Push(const Transform& transform) override;
    /// Colours and shininess, then each texture on units 2, 3, ... with the
    /// current filter, anisotropy and its texture matrix.
    void Push(const Material& material) override;
    void Pop(const Transform& transform) override;
    /// Disables texturing on the material's units and pops their texture matrices.
    void Pop(const Material& material) override;

    /// Enables lighting, normalisation and light 0 with every parameter of `light`.
    void InitializeLighting(const Light& light) override;
    /// Sends light 0's position again, under the current model-view matrix.
    void SetLightTransform(const Light& light) override;

    /// The program whose "DiffuseMap"/"diffuseStatus" uniforms materials set;
    /// 0 = none. Does not call glUseProgram.
    void SetActiveProgram(unsigned int program) { activeProgram = program; }
    unsigned int GetActiveProgram() const { return activeProgram; }

    /// The highest anisotropy the renderer takes (1 = none). Queried once from
    /// GL; a software rasteriser counts as 1, since anisotropic sampling there
    /// costs seconds per frame at grazing angles. Asked before GLEW is up on a
    /// current context, it answers 1 and asks GL again the next time.
    int SupportedAnisotropy();

    /// The maximum anisotropy each AnisotropicFilter value asks for.
    static const int AnisotropicFilters[5];

private:
    /// (magnification, minification) per TextureFilter value.
    static const unsigned int TextureFilters[6][2];

    unsigned int activeProgram = 0;
    StateManager::TextureFilter textureFilter = Bilinear;
    StateManager::AnisotropicFilter anisotropicFilter = Anisotropic8x;
    int supportedAnisotropy = 0;  ///< 0 until queried
};
