#pragma once
#include <nodara/Object.h>
#include "vmath/vec2.h"

class Image;

/// Ties an image (not owned: the model owns its images) to a material, with
/// its placement in texture space.
class Texture : public Object {
public:
    /// Type 0 is an ordinary colour texture bound as the diffuse map.
    enum Type { Diffuse = 0 };

    Texture(Image& image, Texture::Type type, vmath::vec2<float> tiling, vmath::vec2<float> offset,
            float rotation)
        : image(&image), textureType(type), rotation(rotation), tiling(tiling), offset(offset) {}

    const Image& GetImage() const { return *image; }
    void SetImage(Image& value) { image = &value; }

    Texture::Type GetTextureType() const { return textureType; }
    void SetTextureType(Texture::Type value) { textureType = value; }

    /// Texture-space translation in s and t.
    const vmath::vec2<float>& GetOffset() const { return offset; }
    void SetOffset(vmath::vec2<float>& value) { offset = value; }
    /// Texture-space scale in s and t.
    const vmath::vec2<float>& GetTiling() const { return tiling; }
    void SetTiling(vmath::vec2<float>& value) { tiling = value; }
    /// Degrees about the texture-space z axis.
    float GetRotation() const { return rotation; }
    void SetRotation(float value) { rotation = value; }

private:
    Image* image;
    Texture::Type textureType;
    float rotation;
    vmath::vec2<float> tiling;
    vmath::vec2<float> offset;
};
