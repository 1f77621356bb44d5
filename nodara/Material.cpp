#include <nodara/Material.h>

#include <nodara/Renderer.h>
#include <nodara/StateManager.h>
#include <nodara/Texture.h>

// Out of line, where Texture is complete: each of these may destroy some.
Material::Material() = default;
Material::Material(const Material& other) = default;
Material& Material::operator=(const Material& other) = default;
Material::~Material() = default;

void Material::Push(Renderer& renderer) const { renderer.GetStateManager().Push(*this); }

void Material::Pop(Renderer& renderer) const { renderer.GetStateManager().Pop(*this); }

void Material::AddTexture(Texture* texture) { textures.Add(texture); }

bool Material::IsTranslucent() const {
    return ambient.w != 1.0f || diffuse.w != 1.0f || specular.w != 1.0f;
}
