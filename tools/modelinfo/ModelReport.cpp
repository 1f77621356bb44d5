#include "ModelReport.h"

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <lumora/ImageLoader.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/Image.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/StateNode.h>
#include <nodara/Texture.h>
#include <nodara/TransformNode.h>

namespace {

// A broken loader could hand out a cyclic or absurdly deep tree.
constexpr unsigned int MaxTreeDepth = 256;

struct Report {
    explicit Report(std::ostream& out) : out(out) {}

    std::ostream& out;
    unsigned int problems = 0;
    std::set<const Drawable*> drawn;  ///< geometry the tree reaches

    void Problem(const std::string& indent, const std::string& text) {
        out << indent << "PROBLEM: " << text << '\n';
        ++problems;
    }
};

std::string Quoted(const std::string& name) { return '"' + name + '"'; }

template <typename Vector>
void WriteVector(std::ostream& out, const Vector& v, int count) {
    out << '(';
    for (int i = 0; i < count; ++i) out << (i ? ", " : "") << v[i];
    out << ')';
}

const char* TypeName(Node::NodeType type) {
    switch (type) {
        case Node::ROOT_NODE: return "Root";
        case Node::DRAWABLE_NODE: return "Drawable";
        case Node::STATE_NODE: return "State";
        case Node::GROUP_NODE: return "Group";
        case Node::MESH_NODE: return "Mesh";
        case Node::TRANSFORM_NODE: return "Transform";
        case Node::MODEL_NODE: return "Model";
    }
    return "Unknown";
}

// One line per node: type, name, and the translation of nodes that carry a
// transform (the part a misplaced model usually gets wrong).
void WriteNode(Report& report, const Node& node, unsigned int depth) {
    const std::string indent(2 * (depth + 1), ' ');
    if (depth >= MaxTreeDepth) {
        report.Problem(indent, "node tree deeper than " + std::to_string(MaxTreeDepth) +
                                   " levels (a cycle?); not followed further");
        return;
    }
    report.out << indent << TypeName(node.GetType()) << ' ' << Quoted(node.GetName());
    switch (node.GetType()) {
        case Node::GROUP_NODE:
        case Node::MESH_NODE:
        case Node::MODEL_NODE:
        case Node::TRANSFORM_NODE: {
            const auto& matrix = static_cast<const TransformNode&>(node).GetTransform().GetMatrix();
            report.out << " translation (" << matrix[12] << ", " << matrix[13] << ", " << matrix[14]
                       << ')';
            break;
        }
        case Node::STATE_NODE:
            report.out << " state " << Quoted(static_cast<const StateNode&>(node).GetState().GetName());
            break;
        case Node::DRAWABLE_NODE: {
            const Drawable& drawable = static_cast<const DrawableNode&>(node).GetDrawable();
            report.out << " geometry " << Quoted(drawable.GetName());
            report.drawn.insert(&drawable);
            break;
        }
        case Node::ROOT_NODE:
            break;
    }
    report.out << '\n';
    for (unsigned int i = 0; i < node.GetChildCount(); ++i)
        if (const Node* child = node.GetChild(i)) WriteNode(report, *child, depth + 1);
}

// Checks one index list against the array it indexes and the number of
// corners the draw paths read from it.
void CheckIndices(Report& report, const std::string& indent, const char* what, const char* plural,
                  const std::vector<unsigned int>& indices, unsigned int arraySize,
                  unsigned int corners, bool optional) {
    if (optional && indices.empty()) return;
    if (indices.size() < corners)
        report.Problem(indent, std::to_string(indices.size()) + ' ' + what + " indices for " +
                                   std::to_string(corners) + " corners");
    for (size_t i = 0; i < indices.size(); ++i) {
        if (indices[i] >= arraySize) {
            report.Problem(indent, std::string(what) + " index " + std::to_string(indices[i]) +
                                       " at corner " + std::to_string(i) + " is out of range (" +
                                       std::to_string(arraySize) + ' ' + plural + ')');
            break;  // one line per list is enough to find the fault
        }
    }
}

void WriteGeometry(Report& report, const Mesh& mesh, const Geometry& geometry, unsigned int index) {
    const unsigned int corners = geometry.GetVertexIndicesSize();
    report.out << "    geometry [" << index << "] " << Quoted(geometry.GetName()) << ": "
               << corners / 3 << " triangles, texture coordinates "
               << (geometry.GetTexCoordIndicesSize() ? "yes" : "no");
    if (!report.drawn.count(&geometry)) report.out << ", not in the node tree (never drawn)";
    report.out << '\n';
    const std::string indent = "      ";
    if (corners % 3 != 0)
        report.Problem(indent, std::to_string(corners) + " corners is not a whole number of triangles");
    if (geometry.GetMesh() != &mesh) report.Problem(indent, "geometry refers to another mesh's arrays");
    CheckIndices(report, indent, "vertex", "vertices", geometry.GetVertexIndices(), mesh.GetVertexArraySize(),
                 corners, false);
    CheckIndices(report, indent, "normal", "normals", geometry.GetNormalIndices(), mesh.GetNormalArraySize(),
                 corners, false);
    CheckIndices(report, indent, "texcoord", "texcoords", geometry.GetTexCoordIndices(),
                 mesh.GetTexCoordArraySize(), corners, true);
}

void WriteMeshes(Report& report, const Model& model) {
    report.out << "Meshes: " << model.GetMeshCount() << '\n';
    for (unsigned int i = 0; i < model.GetMeshCount(); ++i) {
        const Mesh* mesh = model.GetMesh(i);
        if (!mesh) continue;
        const BoundingBox& box = mesh->GetBoundingVolume();
        report.out << "  [" << i << "] " << Quoted(mesh->GetName()) << ": "
                   << mesh->GetVertexArraySize() << " vertices, " << mesh->GetNormalArraySize()
                   << " normals, " << mesh->GetTexCoordArraySize() << " texcoords, box ";
        WriteVector(report.out, box.GetMinimum(), 3);
        report.out << " .. ";
        WriteVector(report.out, box.GetMaximum(), 3);
        report.out << '\n';
        for (unsigned int g = 0; g < mesh->GetGeometryCount(); ++g)
            if (const Geometry* geometry = mesh->GetGeometry(g)) WriteGeometry(report, *mesh, *geometry, g);
    }
}

void WriteMaterials(Report& report, const Model& model) {
    report.out << "Materials: " << model.GetMaterialCount() << '\n';
    for (unsigned int i = 0; i < model.GetMaterialCount(); ++i) {
        const Material* material = model.GetMaterial(i);
        if (!material) continue;
        report.out << "  [" << i << "] " << Quoted(material->GetName()) << ": ambient ";
        WriteVector(report.out, material->GetAmbient(), 4);
        report.out << ", diffuse ";
        WriteVector(report.out, material->GetDiffuse(), 4);
        report.out << ", specular ";
        WriteVector(report.out, material->GetSpecular(), 4);
        report.out << ", emission ";
        WriteVector(report.out, material->GetEmission(), 4);
        report.out << ", shininess " << material->GetShininess()
                   << (material->IsTranslucent() ? ", translucent" : "") << '\n';
        for (unsigned int t = 0; t < material->GetTextureCount(); ++t) {
            const Texture* texture = material->GetTexture(t);
            report.out << "    texture [" << t << "] image " << Quoted(texture->GetImage().GetFilename())
                       << ", tiling ";
            WriteVector(report.out, texture->GetTiling(), 2);
            report.out << ", offset ";
            WriteVector(report.out, texture->GetOffset(), 2);
            report.out << ", rotation " << texture->GetRotation() << '\n';
        }
    }
}

// Readable means what the engine needs: the image loader decodes it.
void WriteImages(Report& report, const Model& model) {
    report.out << "Images: " << model.GetImageCount() << '\n';
    ImageLoader& loader = Singleton<ImageLoader>::Instance();
    for (unsigned int i = 0; i < model.GetImageCount(); ++i) {
        const Image* image = model.GetImage(i);
        if (!image) continue;
        const std::string& fileName = image->GetFilename();
        report.out << "  [" << i << "] " << Quoted(fileName) << ": ";
        if (!std::ifstream(fileName, std::ios::binary)) {
            report.out << "not readable\n";
            report.Problem("    ", "image file " + Quoted(fileName) + " is missing or cannot be opened");
            continue;
        }
        report.out.flush();  // the loader's own error line goes to standard output as well
        ImageLoader::ImageFile* file = loader.LoadImageFile(fileName);
        if (!file) {
            report.out << "not readable\n";
            report.Problem("    ", "image file " + Quoted(fileName) + " cannot be decoded");
            continue;
        }
        report.out << "readable, " << file->GetWidth() << " x " << file->GetHeight() << " pixels\n";
        loader.UnLoadImageFile(file);
    }
}

}  // namespace

unsigned int WriteModelReport(const Model& model, std::ostream& out) {
    Report report(out);
    out << "Model " << Quoted(model.GetName()) << '\n';
    out << "Node tree:\n";
    if (const ModelNode* root = model.GetModelNode())
        WriteNode(report, *root, 0);
    else
        report.Problem("  ", "the model has no model node");
    WriteMeshes(report, model);
    WriteMaterials(report, model);
    WriteImages(report, model);
    return report.problems;
}
