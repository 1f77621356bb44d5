#include "QuorvexTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/Image.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/ModelNode.h>
#include <nodara/StateNode.h>
#include <nodara/Texture.h>

#include "ColladaModelLoader.h"

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvex-test-XXXXXX").string();
    path = mkdtemp(pattern.data()) ? pattern : std::string();
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::string TempFolder::Write(const std::string& name, const std::string& content) const {
    const std::filesystem::path file = std::filesystem::path(path) / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
}

std::size_t LoadResult::Count(const std::string& text) const {
    std::size_t n = 0;
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) ++n;
    return n;
}

std::string LoadResult::Log() const {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

LoadResult LoadCapturing(const std::string& fileName) {
    ColladaModelLoader loader;
    testing::internal::CaptureStdout();
    LoadResult result;
    result.model.reset(loader.Load(fileName));
    std::istringstream output(testing::internal::GetCapturedStdout());
    for (std::string line; std::getline(output, line);) result.lines.push_back(line);
    return result;
}

std::string Document(const std::string& libraries, const std::string& sceneNodes) {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
)" + libraries + R"(
<library_visual_scenes><visual_scene id="Scene">)" +
           sceneNodes + R"(</visual_scene></library_visual_scenes>
<scene><instance_visual_scene url="#Scene"/></scene>
</COLLADA>)";
}

std::string MeshGeometry(const std::string& id, const std::string& positions, const std::string& primitive) {
    std::istringstream numbers(positions);
    std::size_t count = 0;
    for (std::string token; numbers >> token;) ++count;
    return "<geometry id=\"" + id + "\"><mesh><source id=\"" + id + "-positions\"><float_array id=\"" + id +
           "-array\" count=\"" + std::to_string(count) + "\">" + positions +
           "</float_array><technique_common><accessor source=\"#" + id + "-array\" count=\"" +
           std::to_string(count / 3) +
           "\" stride=\"3\"><param name=\"X\" type=\"float\"/><param name=\"Y\" type=\"float\"/>"
           "<param name=\"Z\" type=\"float\"/></accessor></technique_common></source>"
           "<vertices id=\"" + id + "-vertices\"><input semantic=\"POSITION\" source=\"#" + id +
           "-positions\"/></vertices>" + primitive + "</mesh></geometry>";
}

namespace {

void CheckNode(const Node& node, const Model& model, const std::set<const Mesh*>& meshes,
               const std::set<const Material*>& materials, const std::set<const Geometry*>& geometries) {
    if (node.GetType() == Node::MESH_NODE) {
        EXPECT_TRUE(meshes.count(&static_cast<const MeshNode&>(node).GetMesh())) << node.GetName();
    }
    if (node.GetType() == Node::STATE_NODE) {
        EXPECT_TRUE(materials.count(static_cast<const Material*>(&static_cast<const StateNode&>(node).GetState())))
            << node.GetName();
    }
    if (node.GetType() == Node::DRAWABLE_NODE) {
        EXPECT_TRUE(geometries.count(static_cast<const Geometry*>(&static_cast<const DrawableNode&>(node).GetDrawable())))
            << node.GetName();
    }
    for (unsigned int i = 0; i < node.GetChildCount(); ++i)
        CheckNode(*node.GetChild(i), model, meshes, materials, geometries);
}

void CollectGroups(const Node& node, std::vector<std::string>& names) {
    for (unsigned int i = 0; i < node.GetChildCount(); ++i) {
        const Node& child = *node.GetChild(i);
        if (child.GetType() != Node::GROUP_NODE) continue;
        names.push_back(child.GetName());
        CollectGroups(child, names);
    }
}

}  // namespace

void ExpectSafeToDraw(const Model& model) {
    ASSERT_NE(model.GetModelNode(), nullptr);
    std::set<const Mesh*> meshes;
    std::set<const Material*> materials;
    std::set<const Geometry*> geometries;
    std::set<const Image*> images;
    for (unsigned int i = 0; i < model.GetImageCount(); ++i) images.insert(model.GetImage(i));
    for (unsigned int m = 0; m < model.GetMeshCount(); ++m) {
        const Mesh& mesh = *model.GetMesh(m);
        meshes.insert(&mesh);
        for (unsigned int g = 0; g < mesh.GetGeometryCount(); ++g) {
            const Geometry& geometry = *mesh.GetGeometry(g);
            geometries.insert(&geometry);
            EXPECT_EQ(geometry.GetMesh(), &mesh);
            const std::size_t corners = geometry.GetVertexIndicesSize();
            EXPECT_EQ(corners % 3, 0u) << geometry.GetName();
            EXPECT_GE(geometry.GetNormalIndicesSize(), corners) << geometry.GetName();
            EXPECT_TRUE(geometry.GetTexCoordIndicesSize() == 0 || geometry.GetTexCoordIndicesSize() >= corners)
                << geometry.GetName();
            for (unsigned int index : geometry.GetVertexIndices())
                ASSERT_LT(index, mesh.GetVertexArraySize()) << geometry.GetName();
            for (unsigned int index : geometry.GetNormalIndices())
                ASSERT_LT(index, mesh.GetNormalArraySize()) << geometry.GetName();
            for (unsigned int index : geometry.GetTexCoordIndices())
                ASSERT_LT(index, mesh.GetTexCoordArraySize()) << geometry.GetName();
        }
    }
    for (unsigned int i = 0; i < model.GetMaterialCount(); ++i) {
        const Material& material = *model.GetMaterial(i);
        materials.insert(&material);
        for (unsigned int t = 0; t < material.GetTextureCount(); ++t)
            EXPECT_TRUE(images.count(&material.GetTexture(t)->GetImage())) << material.GetName();
    }
    CheckNode(*model.GetModelNode(), model, meshes, materials, geometries);
}

std::size_t CountTriangles(const Model& model) {
    std::size_t triangles = 0;
    for (unsigned int m = 0; m < model.GetMeshCount(); ++m)
        for (unsigned int g = 0; g < model.GetMesh(m)->GetGeometryCount(); ++g)
            triangles += model.GetMesh(m)->GetGeometry(g)->GetVertexIndicesSize() / 3;
    return triangles;
}

std::size_t CountVertices(const Model& model) {
    std::size_t vertices = 0;
    for (unsigned int m = 0; m < model.GetMeshCount(); ++m) vertices += model.GetMesh(m)->GetVertexArraySize();
    return vertices;
}

std::vector<std::string> GroupNames(const Model& model) {
    std::vector<std::string> names;
    if (model.GetModelNode()) CollectGroups(*model.GetModelNode(), names);
    return names;
}

Node* Find(Node* node, const std::string& name) {
    if (!node) return nullptr;
    if (node->GetName() == name) return node;
    for (unsigned int i = 0; i < node->GetChildCount(); ++i)
        if (Node* found = Find(node->GetChild(i), name)) return found;
    return nullptr;
}
