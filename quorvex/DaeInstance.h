#pragma once
#include <string>
#include <vector>

#include <pugixml.hpp>

class DaeGeometry;
class DaeMaterial;

/// One instance element of a scene node, with its references resolved.
class DaeInstance {
public:
    /// Kinds of instance; only geometry is converted.
    enum Type { Simple = 0, Geometry = 1, Controller = 2 };

    /// One <instance_material>: the symbol the mesh uses and the material bound to it.
    struct MaterialBinding {
        std::string symbol;
        std::string target;               ///< the target URL as written
        DaeMaterial* material = nullptr;  ///< null when the URL does not name a material
        pugi::xml_node element;           ///< the <instance_material> itself
    };

    Type type = Simple;
    pugi::xml_node element;  ///< the instance element itself
    std::string url;
    DaeGeometry* geometry = nullptr;  ///< the instanced geometry, or null
    std::vector<MaterialBinding> bindings;
};
