#pragma once
#include <string>

#include "vmath/vec2.h"

class DaeDocument;
class DaeImage;
class DaeMaterial;
class Material;

/// Wraps one <material> for the conversion: its common-profile colours and
/// its textures by channel. Owns nothing.
class ColladaMaterial {
public:
    /// Texture channels by number; only the diffuse one is read.
    enum Channel { DiffuseChannel = 2 };

    explicit ColladaMaterial(DaeMaterial* material) : material(material) {}

    /// The material's COLLADA id.
    std::string GetName() const;

    /// A new material with the effect's colours, each alpha multiplied by the
    /// effect's transparency factor, and its shininess; null when the material
    /// has no common-profile effect. Textures are left to the caller.
    Material* CreateMaterial(DaeDocument& document) const;

    /// Textures of a channel (0 for every channel but the diffuse one).
    unsigned int GetTextureCount(int channel) const;
    /// The image of texture `index` of `channel`, or null.
    DaeImage* GetTextureImage(DaeDocument& document, int channel, unsigned int index) const;
    /// The sampler name texture `index` refers to, for messages.
    std::string GetTextureSampler(int channel, unsigned int index) const;
    /// Placement from the texture's "MAYA" extra: (repeatU, repeatV), default (1, 1).
    vmath::vec2<float> GetTiling(int channel, unsigned int index) const;
    /// (offsetU, offsetV), default (0, 0).
    vmath::vec2<float> GetOffset(int channel, unsigned int index) const;
    /// rotateUV, default 0.
    float GetRotation(int channel, unsigned int index) const;

private:
    DaeMaterial* material;
};
