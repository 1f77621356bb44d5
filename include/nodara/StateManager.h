#pragma once

class Light;
class Material;
class Transform;

/// Applies and restores transforms and materials, sets up lighting and
/// texture filtering. Pushes and pops arrive strictly nested.
class StateManager {
public:
    /// Magnification / minification filter applied to every texture bound.
    enum TextureFilter {
        Nearest = 0,           ///< nearest / nearest
        NearestBilinear = 1,   ///< nearest / nearest texel of the nearest mipmap
        NearestTrilinear = 2,  ///< nearest / nearest texel, blended between two mipmaps
        Linear = 3,            ///< linear / linear
        Bilinear = 4,          ///< linear / linear within the nearest mipmap
        Trilinear = 5          ///< linear / linear, blended between two mipmaps
    };
    /// Maximum anisotropy 1, 2, 4, 8 or 16.
    enum AnisotropicFilter {
        AnisotropicOff = 0,
        Anisotropic2x = 1,
        Anisotropic4x = 2,
        Anisotropic8x = 3,
        Anisotropic16x = 4
    };

    virtual ~StateManager() = default;

    virtual StateManager::TextureFilter GetTextureFilter() const = 0;
    virtual void SetTextureFilter(StateManager::TextureFilter filter) = 0;
    virtual StateManager::AnisotropicFilter GetAnisotropicFilter() const = 0;
    /// Ignored when the degree exceeds what the hardware supports.
    virtual void SetAnisotropicFilter(StateManager::AnisotropicFilter filter) = 0;

    /// Saves the model transform and multiplies the transform's matrix onto it.
    virtual void Push(const Transform& transform) = 0;
    /// Applies the colours and shininess and binds each texture on
    /// consecutive units with its filter and texture matrix.
    virtual void Push(const Material& material) = 0;
    /// Restores the model transform saved by the matching Push.
    virtual void Pop(const Transform& transform) = 0;
    /// Disables texturing on each of the material's units and restores their
    /// texture matrices.
    virtual void Pop(const Material& material) = 0;

    /// Enables lighting, normal normalisation and the light with all its parameters.
    virtual void InitializeLighting(const Light& light) = 0;
    /// Specifies the light's position again, under the current viewing transform.
    virtual void SetLightTransform(const Light& light) = 0;
};
