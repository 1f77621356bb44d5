#include <nodara/Model.h>

#include <nodara/Image.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/ModelNode.h>

namespace {

template <typename T>
T* AtIndex(const std::vector<T*>& list, unsigned int index) {
    return index < list.size() ? list[index] : nullptr;
}

template <typename T>
T* ByName(const std::vector<T*>& list, const std::string& name) {
    for (T* item : list)
        if (item && item->GetName() == name) return item;
    return nullptr;
}

}  // namespace

Model::Model(const Model& other)
    : Object(other),
      modelNode(other.modelNode),
      meshes(other.meshes),
      materials(other.materials),
      images(other.images),
      ownsContents(false) {}

Model& Model::operator=(const Model& other) {
    if (this == &other) return *this;
    // Only a model that owns nothing can become a shallow view of another
    // without leaking or double-freeing.
    if (ownsContents && modelNode != other.modelNode) DeleteAll();
    Object::operator=(other);
    modelNode = other.modelNode;
    meshes = other.meshes;
    materials = other.materials;
    images = other.images;
    ownsContents = false;
    return *this;
}

Model::~Model() {
    if (ownsContents) DeleteAll();
}

void Model::DeleteAll() {
    // The node tree first: it refers to the meshes and materials below.
    delete modelNode;
    modelNode = nullptr;
    for (Mesh* mesh : meshes) delete mesh;
    for (Image* image : images) delete image;
    for (Material* material : materials) delete material;
    meshes.clear();
    images.clear();
    materials.clear();
}

void Model::AddMesh(Mesh* mesh) {
    if (mesh) meshes.push_back(mesh);
}

void Model::AddMaterial(Material* material) {
    if (material) materials.push_back(material);
}

void Model::AddImage(Image* image) {
    if (image) images.push_back(image);
}

Mesh* Model::GetMesh(unsigned int index) const { return AtIndex(meshes, index); }
Material* Model::GetMaterial(unsigned int index) const { return AtIndex(materials, index); }
Image* Model::GetImage(unsigned int index) const { return AtIndex(images, index); }
Mesh* Model::GetMesh(const std::string& name) const { return ByName(meshes, name); }
Material* Model::GetMaterial(const std::string& name) const { return ByName(materials, name); }
Image* Model::GetImage(const std::string& name) const { return ByName(images, name); }
