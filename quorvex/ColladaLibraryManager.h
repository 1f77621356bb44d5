#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <pugixml.hpp>

class DaeDocument;
class DaeGeometry;
class DaeImage;
class DaeMaterial;
class Image;
class Logger;
class Material;
class Mesh;
class Model;

/// The context of one conversion, made on the stack of Load: the model being
/// built (whose name-indexed meshes, materials and images are the caches) and
/// the document being read, plus the guards that keep a hostile document
/// from nesting, looping or multiplying without end.
class ColladaLibraryManager {
public:
    /// Deepest node nesting converted; deeper nodes are skipped.
    static constexpr std::size_t MaxNodeDepth = 256;
    /// Most scene-graph nodes one model gets (instancing can multiply a small
    /// document into any number of them).
    static constexpr std::size_t MaxNodes = std::size_t(1) << 18;

    ColladaLibraryManager(Model& model, DaeDocument& document) : model(&model), document(&document) {}

    /// The model's mesh of this geometry's id, made and registered on first
    /// use (one geometry per polygon group); null for a null geometry or one
    /// that is not a mesh.
    Mesh* GetMesh(DaeGeometry* geometry);
    /// The model's material of this id, made on first use with its diffuse
    /// textures; null for a null material or one without a common-profile effect.
    Material* GetMaterial(DaeMaterial* material);
    /// The model's image of this id, made on first use; null for null.
    Image* GetImage(DaeImage* image);

    /// Polygon-group indices of `mesh` by material symbol, ascending symbol order.
    const std::map<std::string, std::vector<unsigned int>>& GetGroupsBySymbol(const Mesh* mesh) const;

    /// Takes `count` nodes from the model's node budget; false (with one
    /// warning per load) once it is spent.
    bool TakeNodes(std::size_t count);

    /// True the first time it is asked for `key`: warns about a repeated
    /// problem once per load.
    bool FirstTime(const std::string& key) { return warned.insert(key).second; }

    /// The "ColladaLibraryManager" logger.
    static Logger& GetLogger();

    Model* model;
    DaeDocument* document;
    std::vector<pugi::xml_node_struct*> path;  ///< the nodes being converted, outermost first

private:
    std::size_t nodesLeft = MaxNodes;
    std::unordered_map<const Mesh*, std::map<std::string, std::vector<unsigned int>>> groupsBySymbol;
    std::unordered_set<std::string> warned;
};
