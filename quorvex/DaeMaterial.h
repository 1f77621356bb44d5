#pragma once
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "vmath/vec2.h"
#include "vmath/vec4.h"

class DaeDocument;

/// A <material> with the common-profile effect it instances: colours,
/// transparency, shininess and the diffuse textures with their placement.
class DaeMaterial {
public:
    /// A diffuse texture: its image and the "MAYA" placement values.
    struct Texture {
        std::string sampler;           ///< the "texture" attribute as written
        pugi::xml_node image;          ///< null when the sampler leads to no image
        vmath::vec2<float> tiling{1.0f, 1.0f};
        vmath::vec2<float> offset{0.0f, 0.0f};
        float rotation = 0.0f;
    };

    explicit DaeMaterial(pugi::xml_node element) : element(element) {}

    const char* GetId() const { return element.attribute("id").value(); }

    /// Reads the effect unless already read; false when the material has no
    /// common-profile effect (constant, lambert, phong or blinn).
    bool Read(const DaeDocument& document);

    /// RGBA as written; a channel without a colour is opaque black, or
    /// opaque white when it holds a texture (the texture then shows unchanged).
    vmath::vec4<float> ambient{0.0f, 0.0f, 0.0f, 1.0f};
    vmath::vec4<float> diffuse{0.0f, 0.0f, 0.0f, 1.0f};
    vmath::vec4<float> specular{0.0f, 0.0f, 0.0f, 1.0f};
    vmath::vec4<float> emission{0.0f, 0.0f, 0.0f, 1.0f};
    float transparency = 1.0f;  ///< the <transparency> factor; 1 when missing
    float shininess = 20.0f;
    std::vector<Texture> diffuseTextures;

private:
    vmath::vec4<float> ReadColor(pugi::xml_node channel, vmath::vec4<float> fallback, bool diffuseChannel);
    float ReadFloat(pugi::xml_node channel, float fallback) const;
    pugi::xml_node FindParameter(const char* sid) const;
    void AddTexture(pugi::xml_node texture);

    pugi::xml_node element;
    const DaeDocument* document = nullptr;
    pugi::xml_node effect, profile, technique;
    bool read = false, common = false;
};
