#include <nodara/Model.h>

#include <nodara/Image.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/ModelNode.h>

namespace {

template <typename T>
T* ByName(const OwnedList<T>& list, const std::string& name) {
    for (T* item : list)
        if (item && item->GetName() == name) return item;
    return nullptr;
}

}  // namespace

// Out of line, where the contents are complete: each of these may destroy some.
Model::Model() = default;

Model::Model(const Model& other)
    : Object(other),
      modelNode(other.modelNode),
      meshes(other.meshes),
      materials(other.materials),
      images(other.images),
      ownsModelNode(false) {}

Model& Model::operator=(const Model& other) {
    if (this == &other) return *this;
    // Our tree stays ours when the source shares it (an earlier copy of this
    // model assigned back); otherwise it goes, before the meshes and materials
    // it refers to.
    const bool keepNode = ownsModelNode && modelNode == other.modelNode;
    if (ownsModelNode && !keepNode) delete modelNode;
    Object::operator=(other);
    modelNode = other.modelNode;
    ownsModelNode = keepNode;
    meshes = other.meshes;
    images = other.images;
    materials = other.materials;
    return *this;
}

Model::~Model() { DeleteAll(); }

void Model::DeleteAll() {
    // The node tree first: it refers to the meshes and materials below.
    if (ownsModelNode) delete modelNode;
    modelNode = nullptr;
    meshes.Release();
    images.Release();
    materials.Release();
}

void Model::SetModelNode(ModelNode* node) {
    if (node == modelNode) return;
    modelNode = node;
    ownsModelNode = true;
}

void Model::AddMesh(Mesh* mesh) { meshes.Add(mesh); }
void Model::AddMaterial(Material* material) { materials.Add(material); }
void Model::AddImage(Image* image) { images.Add(image); }

Mesh* Model::GetMesh(unsigned int index) const { return meshes.Get(index); }
Material* Model::GetMaterial(unsigned int index) const { return materials.Get(index); }
Image* Model::GetImage(unsigned int index) const { return images.Get(index); }
Mesh* Model::GetMesh(const std::string& name) const { return ByName(meshes, name); }
Material* Model::GetMaterial(const std::string& name) const { return ByName(materials, name); }
Image* Model::GetImage(const std::string& name) const { return ByName(images, name); }
