#include "ColladaMaterial.h"

#include <nodara/Material.h>

#include "DaeDocument.h"
#include "DaeMaterial.h"

std::string ColladaMaterial::GetName() const { return material->GetId(); }

Material* ColladaMaterial::CreateMaterial(DaeDocument& document) const {
    if (!material->Read(document)) return nullptr;
    const float f = material->transparency;
    auto* result = new Material;
    result->SetName(GetName());
    auto translucent = [f](const vmath::vec4<float>& c) { return vmath::vec4<float>(c.x, c.y, c.z, c.w * f); };
    result->SetAmbient(translucent(material->ambient));
    result->SetDiffuse(translucent(material->diffuse));
    result->SetSpecular(translucent(material->specular));
    result->SetEmission(translucent(material->emission));
    result->SetShininess(material->shininess);
    return result;
}

unsigned int ColladaMaterial::GetTextureCount(int channel) const {
    return channel == DiffuseChannel ? static_cast<unsigned int>(material->diffuseTextures.size()) : 0u;
}

DaeImage* ColladaMaterial::GetTextureImage(DaeDocument& document, int channel, unsigned int index) const {
    return index < GetTextureCount(channel) ? document.GetImage(material->diffuseTextures[index].image) : nullptr;
}

std::string ColladaMaterial::GetTextureSampler(int channel, unsigned int index) const {
    return index < GetTextureCount(channel) ? material->diffuseTextures[index].sampler : std::string();
}

vmath::vec2<float> ColladaMaterial::GetTiling(int channel, unsigned int index) const {
    return index < GetTextureCount(channel) ? material->diffuseTextures[index].tiling : vmath::vec2<float>(1, 1);
}

vmath::vec2<float> ColladaMaterial::GetOffset(int channel, unsigned int index) const {
    return index < GetTextureCount(channel) ? material->diffuseTextures[index].offset : vmath::vec2<float>(0, 0);
}

float ColladaMaterial::GetRotation(int channel, unsigned int index) const {
    return index < GetTextureCount(channel) ? material->diffuseTextures[index].rotation : 0.0f;
}
