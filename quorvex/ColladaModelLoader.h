#pragma once
#include <string>
#include <vector>

#include <nodara/ModelLoader.h>

#include "ColladaNode.h"

class ColladaLibraryManager;
class DaeInstance;
class GroupNode;
class Logger;
class MeshNode;

/// The plug-in's model loader: reads a COLLADA document (".dae", or a ".zae"
/// archive holding one) and converts its visual scene into a Model.
/// Stateless between calls; each Load reads its own document and frees it
/// before returning.
class ColladaModelLoader : public ModelLoader {
public:
    /// A new model holding the document's visual scene, or null (with an
    /// Error line) when the file can not be read as COLLADA, or null without
    /// one when the document instances no visual scene.
    Model* Load(const std::string& fileName) override;

    /// The loader's log ("ColladaModelLoader").
    static Logger& GetLogger();

    /// A group node for `node` with its transform, its geometry instances as
    /// mesh nodes and its child nodes as child groups. Never null.
    GroupNode* ConvertNode(ColladaNode node, ColladaLibraryManager* library);

    /// A mesh node for a geometry instance with a state node per bound
    /// material and a drawable node per polygon group drawn with it; null when
    /// the instance yields no mesh.
    MeshNode* ConvertGeometryInstance(const DaeInstance* instance, ColladaLibraryManager* library);

private:
    Model* Convert(const std::string& fileName);
    /// The child nodes of `node`, its reads charged to the load and its
    /// dangling <instance_node>s reported; none once the budget is spent.
    std::vector<ColladaNode> ReadChildren(const ColladaNode& node, ColladaLibraryManager* library);
};
