#include <gtest/gtest.h>

#include <FreeImage.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Image.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/StateNode.h>
#include <nodara/Texture.h>

#include "ModelReport.h"

// The model checker's report on models built in code, sound and broken.
class ModelReportTest : public testing::Test {
protected:
    void SetUp() override {
        // One triangle of mesh "Body", drawn with material "Paint" under group
        // "Car" at (1, 2, 3); a second geometry that no node draws.
        model.SetName("car");
        mesh = new Mesh;
        mesh->SetName("Body");
        mesh->AddVertex({0, 0, 0});
        mesh->AddVertex({1, 0, 0});
        mesh->AddVertex({0, 1, 0});
        mesh->AddNormal({0, 0, 1});
        mesh->AddTexCoord({0, 0});
        mesh->GetBoundingVolume().Expand(vmath::vec3<float>(0, 0, 0));
        mesh->GetBoundingVolume().Expand(vmath::vec3<float>(1, 1, 0));
        triangle = AddGeometry("Body-tri", {0, 1, 2});
        spare = AddGeometry("Body-spare", {2, 1, 0});
        model.AddMesh(mesh);

        material = new Material;
        material->SetName("Paint");
        model.AddMaterial(material);

        auto* root = new ModelNode(model);
        root->SetName("car-root");
        auto* group = new GroupNode;
        group->SetName("Car");
        group->GetTransform().Translate({1, 2, 3});
        auto* meshNode = new MeshNode(*mesh);
        meshNode->SetName("Body");
        auto* state = new StateNode(*material);
        state->AddChild(new DrawableNode(*triangle));
        meshNode->AddChild(state);
        group->AddChild(meshNode);
        root->AddChild(group);
        model.SetModelNode(root);
    }

    Geometry* AddGeometry(const std::string& name, const std::vector<unsigned int>& indices) {
        auto* geometry = new Geometry;
        geometry->SetName(name);
        geometry->SetMesh(mesh);
        geometry->SetVertexIndices(indices);
        geometry->SetNormalIndices(std::vector<unsigned int>(indices.size(), 0));
        mesh->AddGeometry(geometry);
        return geometry;
    }

    // The report, with its problem count.
    std::string Report(unsigned int& problems) {
        std::ostringstream out;
        testing::internal::CaptureStdout();  // the image loader's own lines
        problems = WriteModelReport(model, out);
        testing::internal::GetCapturedStdout();
        return out.str();
    }

    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    Model model;
    Mesh* mesh = nullptr;
    Material* material = nullptr;
    Geometry* triangle = nullptr;
    Geometry* spare = nullptr;
};

TEST_F(ModelReportTest, SoundModelShowsTreeMeshesAndMaterials) {
    unsigned int problems = 99;
    const std::string text = Report(problems);
    EXPECT_EQ(problems, 0u) << text;
    EXPECT_TRUE(Has(text, "  Model \"car-root\" translation (0, 0, 0)\n")) << text;
    EXPECT_TRUE(Has(text, "    Group \"Car\" translation (1, 2, 3)\n")) << text;
    EXPECT_TRUE(Has(text, "        State \"\" state \"Paint\"\n")) << text;
    EXPECT_TRUE(Has(text, "          Drawable \"\" geometry \"Body-tri\"\n")) << text;
    EXPECT_TRUE(Has(text, "[0] \"Body\": 3 vertices, 1 normals, 1 texcoords, box (0, 0, 0) .. (1, 1, 0)"))
        << text;
    EXPECT_TRUE(Has(text, "geometry [0] \"Body-tri\": 1 triangles, texture coordinates no\n")) << text;
    EXPECT_TRUE(Has(text, "geometry [1] \"Body-spare\": 1 triangles, texture coordinates no, "
                          "not in the node tree (never drawn)\n"))
        << text;
    EXPECT_TRUE(Has(text, "[0] \"Paint\": ambient (0.2, 0.2, 0.2, 1)")) << text;
}

TEST_F(ModelReportTest, BrokenGeometryIsAProblemEach) {
    struct Case {
        const char* what;
        std::vector<unsigned int> vertices, normals, texCoords;
        const char* problem;
    };
    const Case cases[] = {
        // A vertex index past the mesh's three vertices.
        {"vertex out of range", {0, 1, 7}, {0, 0, 0}, {}, "vertex index 7 at corner 2 is out of range (3 vertices)"},
        // Fewer normals than corners: the draw paths would read past them.
        {"short normal list", {0, 1, 2}, {0, 0}, {}, "2 normal indices for 3 corners"},
        // Texture coordinates are optional, but when present they cover every corner.
        {"short texcoord list", {0, 1, 2}, {0, 0, 0}, {0}, "1 texcoord indices for 3 corners"},
        {"texcoord out of range", {0, 1, 2}, {0, 0, 0}, {0, 0, 1}, "texcoord index 1 at corner 2 is out of range"},
        // Corners that make no whole triangle.
        {"partial triangle", {0, 1, 2, 0}, {0, 0, 0, 0}, {}, "4 corners is not a whole number of triangles"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        triangle->SetVertexIndices(c.vertices);
        triangle->SetNormalIndices(c.normals);
        triangle->SetTexCoordIndices(c.texCoords);
        unsigned int problems = 0;
        const std::string text = Report(problems);
        EXPECT_EQ(problems, 1u) << text;
        EXPECT_TRUE(Has(text, std::string("PROBLEM: ") + c.problem)) << text;
    }
}

TEST_F(ModelReportTest, ImagesAreCheckedForReadability) {
    const std::string folder = testing::TempDir();
    const std::string good = folder + "modelreport-good.png";
    FIBITMAP* bitmap = FreeImage_Allocate(4, 2, 24);
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, bitmap, good.c_str(), 0));
    FreeImage_Unload(bitmap);
    const std::string broken = folder + "modelreport-broken.png";
    std::ofstream(broken) << "not a png";
    const std::string missing = folder + "modelreport-missing.png";

    auto* image = new Image(good);
    model.AddImage(image);
    model.AddImage(new Image(broken));
    model.AddImage(new Image(missing));
    material->AddTexture(new Texture(*image, Texture::Diffuse, {2, 2}, {0.5f, 0}, 90));

    unsigned int problems = 0;
    const std::string text = Report(problems);
    EXPECT_EQ(problems, 2u) << text;
    EXPECT_TRUE(Has(text, "texture [0] image \"" + good + "\", tiling (2, 2), offset (0.5, 0), rotation 90"))
        << text;
    EXPECT_TRUE(Has(text, "[0] \"" + good + "\": readable, 4 x 2 pixels")) << text;
    EXPECT_TRUE(Has(text, "PROBLEM: image file \"" + broken + "\" cannot be decoded")) << text;
    EXPECT_TRUE(Has(text, "PROBLEM: image file \"" + missing + "\" is missing or cannot be opened")) << text;
    std::remove(good.c_str());
    std::remove(broken.c_str());
}

TEST_F(ModelReportTest, CyclicTreeStopsWithAProblem) {
    // A loader bug that hangs a node below itself must not hang the checker.
    auto* loop = new GroupNode;
    loop->SetName("loop");
    model.GetModelNode()->AddChild(loop);
    loop->AddChild(model.GetModelNode());
    unsigned int problems = 0;
    const std::string text = Report(problems);
    EXPECT_GE(problems, 1u);
    EXPECT_TRUE(Has(text, "PROBLEM: node tree deeper than 256 levels")) << text.substr(0, 400);
    loop->RemoveAllChilds();  // let the model free its tree once
}
