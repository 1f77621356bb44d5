#include "DaeMaterial.h"

#include <cstring>
#include <string_view>

#include "DaeDocument.h"
#include "DaeTextParser.h"

namespace {

bool IsShading(const char* name) {
    return !std::strcmp(name, "constant") || !std::strcmp(name, "lambert") || !std::strcmp(name, "phong") ||
           !std::strcmp(name, "blinn");
}

/// The first <newparam> child of `scope` with this sid.
pugi::xml_node NewParam(pugi::xml_node scope, const char* sid) {
    for (pugi::xml_node param : scope.children("newparam"))
        if (!std::strcmp(param.attribute("sid").value(), sid)) return param;
    return pugi::xml_node();
}

/// `text` without surrounding whitespace.
std::string_view Trimmed(const char* text) {
    std::string_view view(text);
    while (!view.empty() && DaeTextParser::IsSpace(view.front())) view.remove_prefix(1);
    while (!view.empty() && DaeTextParser::IsSpace(view.back())) view.remove_suffix(1);
    return view;
}

}  // namespace

bool DaeMaterial::Read(const DaeDocument& owner) {
    if (read) return common;
    read = true;
    document = &owner;
    effect = owner.ResolveUrl(element.child("instance_effect").attribute("url").value());
    if (!effect || std::strcmp(effect.name(), "effect") != 0) return false;
    profile = effect.child("profile_COMMON");
    technique = profile.child("technique");
    pugi::xml_node shading;
    for (pugi::xml_node child : technique.children())
        if (IsShading(child.name())) {
            shading = child;
            break;
        }
    if (!shading) return false;
    common = true;

    emission = ReadColor(shading.child("emission"), emission, false);
    ambient = ReadColor(shading.child("ambient"), ambient, false);
    diffuse = ReadColor(shading.child("diffuse"), diffuse, true);
    specular = ReadColor(shading.child("specular"), specular, false);
    shininess = ReadFloat(shading.child("shininess"), shininess);
    transparency = ReadFloat(shading.child("transparency"), transparency);
    return true;
}

pugi::xml_node DaeMaterial::FindParameter(const char* sid) const {
    // Parameters are scoped: the technique's, then the profile's, then the effect's.
    for (pugi::xml_node scope : {technique, profile, effect}) {
        const pugi::xml_node param = NewParam(scope, sid);
        if (param) return param;
    }
    return pugi::xml_node();
}

vmath::vec4<float> DaeMaterial::ReadColor(pugi::xml_node channel, vmath::vec4<float> fallback, bool diffuseChannel) {
    if (!channel) return fallback;
    float rgba[4] = {fallback.x, fallback.y, fallback.z, 1.0f};
    pugi::xml_node color = channel.child("color");
    if (!color) {
        const pugi::xml_node param = channel.child("param");
        if (param) color = FindParameter(param.attribute("ref").value()).child("float4");
    }
    if (color) {
        DaeTextParser::ParseFixed(color.child_value(), rgba, 4);
        return vmath::vec4<float>(rgba[0], rgba[1], rgba[2], rgba[3]);
    }
    if (channel.child("texture")) {
        if (diffuseChannel)
            for (pugi::xml_node texture : channel.children("texture")) AddTexture(texture);
        return vmath::vec4<float>(1.0f, 1.0f, 1.0f, 1.0f);
    }
    return fallback;
}

float DaeMaterial::ReadFloat(pugi::xml_node channel, float fallback) const {
    if (!channel) return fallback;
    pugi::xml_node value = channel.child("float");
    if (!value) {
        const pugi::xml_node param = channel.child("param");
        if (param) value = FindParameter(param.attribute("ref").value()).child("float");
    }
    return value ? DaeTextParser::ParseFloat(value.child_value(), fallback) : fallback;
}

void DaeMaterial::AddTexture(pugi::xml_node element) {
    Texture texture;
    texture.sampler = element.attribute("texture").value();
    // sampler2D -> (1.4) <source> surface -> <init_from> image id, or (1.5) <instance_image>.
    const pugi::xml_node sampler = FindParameter(texture.sampler.c_str()).child("sampler2D");
    if (sampler) {
        const pugi::xml_node instance = sampler.child("instance_image");
        if (instance) {
            texture.image = document->ResolveUrl(instance.attribute("url").value());
        } else {
            const pugi::xml_node surface = FindParameter(sampler.child_value("source")).child("surface");
            texture.image = document->FindById(Trimmed(surface.child_value("init_from")));
        }
    } else {
        // Some exporters name the image itself instead of a sampler.
        texture.image = document->FindById(texture.sampler);
    }
    if (texture.image && std::strcmp(texture.image.name(), "image") != 0) texture.image = pugi::xml_node();

    for (pugi::xml_node extra : element.children("extra")) {
        if (*extra.attribute("type").value()) continue;  // only the default extra type
        pugi::xml_node maya;
        for (pugi::xml_node technique : extra.children("technique"))
            if (!std::strcmp(technique.attribute("profile").value(), "MAYA")) {
                maya = technique;
                break;
            }
        if (!maya) continue;
        auto value = [&](const char* name) { return DaeTextParser::ParseFloat(maya.child_value(name), 0.0f); };
        if (maya.child("repeatU") && maya.child("repeatV")) texture.tiling = {value("repeatU"), value("repeatV")};
        if (maya.child("offsetU") && maya.child("offsetV")) texture.offset = {value("offsetU"), value("offsetV")};
        if (maya.child("rotateUV")) texture.rotation = value("rotateUV");
        break;
    }
    diffuseTextures.push_back(texture);
}
