#pragma once
#include <string>

#include <nodara/Object.h>
#include <nodara/OwnedList.h>

class Image;
class Material;
class Mesh;
class ModelNode;

/// A loaded model: owns its node tree, meshes, materials and images.
/// Destroyed through this virtual destructor by whoever holds it, also when a
/// plug-in allocated it. Copies share everything and own nothing; the node
/// tree follows the same ownership rules as the lists (see OwnedList).
class Model : public Object {
public:
    Model();
    Model(const Model& other);
    Model& operator=(const Model& other);
    ~Model() override;

    /// Append and take ownership; null is ignored.
    void AddMesh(Mesh* mesh);
    void AddMaterial(Material* material);
    void AddImage(Image* image);

    unsigned int GetMeshCount() const { return meshes.GetCount(); }
    unsigned int GetMaterialCount() const { return materials.GetCount(); }
    unsigned int GetImageCount() const { return images.GetCount(); }
    /// Null past the end.
    Mesh* GetMesh(unsigned int index) const;
    Material* GetMaterial(unsigned int index) const;
    Image* GetImage(unsigned int index) const;
    /// The first entry whose Object name equals `name` exactly, or null.
    Mesh* GetMesh(const std::string& name) const;
    Material* GetMaterial(const std::string& name) const;
    Image* GetImage(const std::string& name) const;

    /// Stores the root of the node tree and takes ownership of it; a previous
    /// tree is left to the caller.
    void SetModelNode(ModelNode* node);
    ModelNode* GetModelNode() const { return modelNode; }

private:
    void DeleteAll();

    ModelNode* modelNode = nullptr;
    OwnedList<Mesh> meshes;
    OwnedList<Material> materials;
    OwnedList<Image> images;
    bool ownsModelNode = true;  ///< false for copies
};
