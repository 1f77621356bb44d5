#pragma once
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <pugixml.hpp>

#include "vmath/mat4.h"

class ColladaNode;
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
    /// Most elements the scene walk looks at in one load, over every visit of
    /// every node (long names and references count one read per
    /// DaeSceneNode::BytesPerRead bytes). An instanced node is read again on
    /// each visit, so a few megabytes of <instance_node> could ask for
    /// billions of reads.
    static constexpr std::size_t MaxElementReads = std::size_t(1) << 22;

    /// Problems the walk can meet again on every visit of an instanced node.
    enum class Problem { DanglingNode, Cycle, NoGeometry, NoMaterial, NotAMesh, UnboundSymbol };

    ColladaLibraryManager(Model& model, DaeDocument& document);
    /// Logs the recurring problems, each once with its count.
    ~ColladaLibraryManager();
    ColladaLibraryManager(const ColladaLibraryManager&) = delete;
    ColladaLibraryManager& operator=(const ColladaLibraryManager&) = delete;

    /// The model's mesh of this geometry's id, made and registered on first
    /// use (one geometry per polygon group); null for a null geometry or one
    /// that is not a mesh.
    Mesh* GetMesh(DaeGeometry* geometry);
    /// The model's material of this id, made on first use with its diffuse
    /// textures; null for a null material or one without a common-profile effect.
    Material* GetMaterial(DaeMaterial* material);
    /// The model's image of this id, made on first use; null for null.
    Image* GetImage(DaeImage* image);

    /// The local matrix of `node`, worked out on its first visit only: its
    /// transform elements may hold any amount of text.
    const vmath::mat4<float>& GetLocalMatrix(const ColladaNode& node);

    /// Polygon-group indices of `mesh` by material symbol, ascending symbol order.
    const std::map<std::string, std::vector<unsigned int>>& GetGroupsBySymbol(const Mesh* mesh) const;

    /// Takes `count` nodes from the model's node budget; false (with one
    /// warning per load) once it is spent.
    bool TakeNodes(std::size_t count);

    /// Charges `count` element reads to the walk; false, with one Error per
    /// load, once more than MaxElementReads have been read.
    bool ChargeElementReads(std::size_t count);
    /// True once the element budget is spent: the walk goes no further.
    bool IsOutOfElementReads() const { return elementsRead > MaxElementReads; }
    /// Element reads charged so far in this load.
    std::size_t GetElementsRead() const { return elementsRead; }

    /// True the first time it is asked for `key`: warns about a repeated
    /// problem once per load.
    bool FirstTime(const std::string& key) { return warned.insert(key).second; }

    /// Counts one sighting of a problem about `subject` (and `object`, where
    /// it concerns two things). Each distinct problem text becomes one Warn
    /// line on `log` when the conversion ends, with the number of sightings.
    /// `compose` makes the text (without the closing full stop) only the
    /// first time these two things are met, so a sighting costs a lookup.
    template <typename Compose>
    void Recur(Logger& log, Problem kind, const void* subject, const void* object, Compose compose) {
        const auto [slot, first] = problemIndex.try_emplace(ProblemKey{kind, subject, object}, 0);
        if (first) slot->second = FindProblem(log, compose());
        ++problems[slot->second].count;
    }

    /// The "ColladaLibraryManager" logger.
    static Logger& GetLogger();

    Model* model;
    DaeDocument* document;
    std::vector<pugi::xml_node_struct*> path;  ///< the nodes being converted, outermost first

private:
    struct ProblemKey {
        Problem kind;
        const void* subject;
        const void* object;
        bool operator==(const ProblemKey& other) const {
            return kind == other.kind && subject == other.subject && object == other.object;
        }
    };
    struct ProblemKeyHash {
        std::size_t operator()(const ProblemKey& key) const {
            const std::hash<const void*> hash;
            return hash(key.subject) * 31 + hash(key.object) * 7 + static_cast<std::size_t>(key.kind);
        }
    };
    struct RecurringProblem {
        Logger* log;
        std::string message;
        std::size_t count;
    };

    /// The index of the problem of this text, added if new.
    std::size_t FindProblem(Logger& log, std::string message);

    std::size_t nodesLeft = MaxNodes;
    std::size_t elementsRead = 0;
    std::unordered_map<const Mesh*, std::map<std::string, std::vector<unsigned int>>> groupsBySymbol;
    std::unordered_set<std::string> warned;
    std::unordered_map<ProblemKey, std::size_t, ProblemKeyHash> problemIndex;
    std::unordered_map<std::string, std::size_t> problemByText;
    std::vector<RecurringProblem> problems;  ///< in order of first sighting
    // The model's lists are searched name by name; these find the same first
    // entries in constant time, whatever the number of meshes.
    std::unordered_map<std::string, Mesh*> meshesByName;
    std::unordered_map<std::string, Material*> materialsByName;
    std::unordered_map<std::string, Image*> imagesByName;
    std::unordered_set<const DaeGeometry*> notMeshes;  ///< geometries already found not to convert
    std::unordered_map<const pugi::xml_node_struct*, vmath::mat4<float>> localMatrices;
};
