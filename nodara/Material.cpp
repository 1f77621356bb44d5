#include <nodara/Material.h>

#include <nodara/Renderer.h>
#include <nodara/StateManager.h>
#include <nodara/Texture.h>

Material::Material(const Material& other)
    : State(other),
      shininess(other.shininess),
      ambient(other.ambient),
      diffuse(other.diffuse),
      specular(other.specular),
      emission(other.emission),
      textures(other.textures),
      ownsTextures(false) {}

Material& Material::operator=(const Material& other) {
    if (this == &other) return *this;
    if (ownsTextures && textures != other.textures) DeleteTextures();
    State::operator=(other);
    shininess = other.shininess;
    ambient = other.ambient;
    diffuse = other.diffuse;
    specular = other.specular;
    emission = other.emission;
    textures = other.textures;
    ownsTextures = false;
    return *this;
}

Material::~Material() {
    if (ownsTextures) DeleteTextures();
}

void Material::DeleteTextures() {
    for (Texture* texture : textures) delete texture;
    textures.clear();
}

void Material::Push(Renderer& renderer) const { renderer.GetStateManager().Push(*this); }

void Material::Pop(Renderer& renderer) const { renderer.GetStateManager().Pop(*this); }

void Material::AddTexture(Texture* texture) {
    if (texture) textures.push_back(texture);
}

Texture* Material::GetTexture(unsigned int index) const {
    return index < textures.size() ? textures[index] : nullptr;
}

bool Material::IsTranslucent() const {
    return ambient.w != 1.0f || diffuse.w != 1.0f || specular.w != 1.0f;
}
