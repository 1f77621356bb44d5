#pragma once
#include <nodara/OwnedList.h>
#include <nodara/State.h>
#include "vmath/vec4.h"

class Texture;

/// Surface colours, shininess and textures (owned, in texture-unit order).
/// Copies share the source's textures and own none of them (ownership rules
/// as for OwnedList).
class Material : public State {
public:
    Material();
    Material(const Material& other);
    Material& operator=(const Material& other);
    ~Material() override;

    void Push(Renderer& renderer) const override;
    void Pop(Renderer& renderer) const override;

    void SetAmbient(const vmath::vec4<float>& value) { ambient = value; }
    void SetDiffuse(const vmath::vec4<float>& value) { diffuse = value; }
    void SetSpecular(const vmath::vec4<float>& value) { specular = value; }
    void SetEmission(const vmath::vec4<float>& value) { emission = value; }
    const vmath::vec4<float>& GetAmbient() const { return ambient; }
    const vmath::vec4<float>& GetDiffuse() const { return diffuse; }
    const vmath::vec4<float>& GetSpecular() const { return specular; }
    const vmath::vec4<float>& GetEmission() const { return emission; }
    void SetShininess(float value) { shininess = value; }
    float GetShininess() const { return shininess; }

    /// Appends `texture` and takes ownership; null is ignored.
    void AddTexture(Texture* texture);
    unsigned int GetTextureCount() const { return textures.GetCount(); }
    /// Null past the end, so callers can walk GetTexture(0), (1), ... until null.
    Texture* GetTexture(unsigned int index) const { return textures.Get(index); }

    /// True when the ambient, diffuse or specular alpha is not exactly 1
    /// (the emission's alpha does not count).
    bool IsTranslucent() const;

private:
    float shininess = 0.0f;
    vmath::vec4<float> ambient{0.2f, 0.2f, 0.2f, 1.0f};
    vmath::vec4<float> diffuse{0.8f, 0.8f, 0.8f, 1.0f};
    vmath::vec4<float> specular{0.0f, 0.0f, 0.0f, 1.0f};
    vmath::vec4<float> emission{0.0f, 0.0f, 0.0f, 1.0f};
    OwnedList<Texture> textures;
};
