#pragma once
#include <string>
#include <vector>

#include <nodara/Object.h>

class Image;
class Material;
class Mesh;
class ModelNode;

/// A loaded model: owns its node tree, meshes, materials and images.
/// Destroyed through this virtual destructor by whoever holds it, also when a
/// plug-in allocated it. Copies share everything and own nothing.
class Model : public Object {
public:
    Model() = default;
    Model(const Model& other);
    Model& operator=(const Model& other);
    ~Model() override;

    /// Append and take ownership; null is ignored.
    void AddMesh(Mesh* mesh);
    void AddMaterial(Material* material);
    void AddImage(Image* image);

    unsigned int GetMeshCount() const { return static_cast<unsigned int>(meshes.size()); }
    unsigned int GetMaterialCount() const { return static_cast<unsigned int>(materials.size()); }
    unsigned int GetImageCount() const { return static_cast<unsigned int>(images.size()); }
    /// Null past the end.
    Mesh* GetMesh(unsigned int index) const;
    Material* GetMaterial(unsigned int index) const;
    Image* GetImage(unsigned int index) const;
    /// The first entry whose Object name equals `name` exactly, or null.
    Mesh* GetMesh(const std::string& name) const;
    Material* GetMaterial(const std::string& name) const;
    Image* GetImage(const std::string& name) const;

    /// Stores the root of the node tree; a previous tree is left to the caller.
    void SetModelNode(ModelNode* node) { modelNode = node; }
    ModelNode* GetModelNode() const { return modelNode; }

private:
    void DeleteAll();

    ModelNode* modelNode = nullptr;
    std::vector<Mesh*> meshes;
    std::vector<Material*> materials;
    std::vector<Image*> images;
    bool ownsContents = true;  ///< false for copies
};
