// Conversion of documents into models: scene shape, names, transforms,
// geometry, materials, textures, images and the log lines along the way.
#include <gtest/gtest.h>

#include <fstream>

#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Image.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/ModelNode.h>
#include <nodara/StateNode.h>
#include <nodara/Texture.h>

#include "QuorvexTestSupport.h"

namespace {

const char* const Quad = R"(<polylist material="paint" count="1"><input semantic="VERTEX" source="#quad-vertices" offset="0"/>
    <vcount>4</vcount><p>0 1 2 3</p></polylist>)";
const char* const QuadPositions = "0 0 0 1 0 0 1 1 0 0 1 0";

/// A material "id" over an effect "id-fx" with the given shading element body.
std::string MaterialXml(const std::string& id, const std::string& shading, const std::string& shadingName = "phong",
                     const std::string& params = "") {
    return "<library_effects><effect id=\"" + id + "-fx\"><profile_COMMON>" + params + "<technique sid=\"common\"><" +
           shadingName + ">" + shading + "</" + shadingName + "></technique></profile_COMMON></effect></library_effects>"
           "<library_materials><material id=\"" + id + "\"><instance_effect url=\"#" + id +
           "-fx\"/></material></library_materials>";
}

std::string Bind(const std::string& geometry, const std::string& bindings) {
    return "<instance_geometry url=\"#" + geometry + "\"><bind_material><technique_common>" + bindings +
           "</technique_common></bind_material></instance_geometry>";
}

std::string Binding(const std::string& symbol, const std::string& target) {
    return "<instance_material symbol=\"" + symbol + "\" target=\"#" + target + "\"/>";
}

class ColladaConversion : public testing::Test {
protected:
    LoadResult Load(const std::string& document, const std::string& name = "model.dae") {
        return LoadCapturing(folder.Write(name, document));
    }

    TempFolder folder;
};

}  // namespace

TEST_F(ColladaConversion, SceneTreeMirrorsTheDocument) {
    const std::string geometries = "<library_geometries>" + MeshGeometry("quad", QuadPositions, Quad) +
                                   "</library_geometries>";
    const std::string nodes = R"(
        <node id="Car"><node id="Wheel"/><instance_geometry url="#quad"/><node id="Body"><node id="Door"/></node></node>
        <node id="Empty"><translate>1 2 3</translate></node>)";
    const LoadResult result = Load(Document(geometries, nodes));
    ASSERT_TRUE(result.model) << result.Log();
    const Model& model = *result.model;
    EXPECT_EQ(model.GetName(), "Scene");
    ModelNode* root = model.GetModelNode();
    EXPECT_EQ(root->GetName(), "Scene");
    EXPECT_EQ(&root->GetModel(), &model);
    ASSERT_EQ(root->GetChildCount(), 2u);
    Node* car = root->GetChild(0);
    EXPECT_EQ(car->GetName(), "Car");
    // Mesh nodes first, then the child groups in document order.
    ASSERT_EQ(car->GetChildCount(), 3u);
    EXPECT_EQ(car->GetChild(0)->GetType(), Node::MESH_NODE);
    EXPECT_EQ(car->GetChild(0)->GetName(), "quad");
    EXPECT_EQ(car->GetChild(1)->GetName(), "Wheel");
    EXPECT_EQ(car->GetChild(2)->GetName(), "Body");
    EXPECT_EQ(GroupNames(model), (std::vector<std::string>{"Car", "Wheel", "Body", "Door", "Empty"}));
    // A node with nothing in it is still a group, with its transform.
    auto* empty = static_cast<GroupNode*>(root->GetChild(1));
    EXPECT_EQ(empty->GetChildCount(), 0u);
    EXPECT_EQ(empty->GetTransform().GetMatrix()[12], 1.0f);
    EXPECT_EQ(empty->GetTransform().GetMatrix()[14], 3.0f);
    ExpectSafeToDraw(model);
}

TEST_F(ColladaConversion, TransformsComposeInDocumentOrder) {
    const std::string nodes = R"(
        <node id="Stack"><translate>10 0 0</translate><rotate>0 0 1 90</rotate><scale>2 2 2</scale></node>
        <node id="Rows"><matrix>1 0 0 5  0 1 0 6  0 0 1 7  0 0 0 1</matrix></node>
        <node id="Camera"><lookat>0 0 5  0 0 0  0 1 0</lookat></node>
        <node id="Shear"><skew>45 0 1 0 1 0 0</skew></node>)";
    const LoadResult result = Load(Document("", nodes));
    ASSERT_TRUE(result.model) << result.Log();
    ModelNode* root = result.model->GetModelNode();
    auto matrix = [&](unsigned i) { return static_cast<GroupNode*>(root->GetChild(i))->GetTransform().GetMatrix(); };
    // translate * rotate * scale: the x axis becomes (0, 2, 0), the origin (10, 0, 0); OpenGL order.
    const vmath::mat4<float> stack = matrix(0);
    const float expected[16] = {0, 2, 0, 0, -2, 0, 0, 0, 0, 0, 2, 0, 10, 0, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(stack[i], expected[i], 1e-6) << i;
    // <matrix> is written row by row: its translation lands at 12, 13, 14.
    EXPECT_EQ(matrix(1)[12], 5.0f);
    EXPECT_EQ(matrix(1)[13], 6.0f);
    EXPECT_EQ(matrix(1)[14], 7.0f);
    EXPECT_EQ(matrix(1)[3], 0.0f);
    // lookat: placed at the eye, -z towards the interest.
    EXPECT_NEAR(matrix(2)[14], 5.0f, 1e-6);
    EXPECT_NEAR(matrix(2)[10], 1.0f, 1e-6);
    EXPECT_NEAR(matrix(2)[5], 1.0f, 1e-6);
    // skew 45 degrees turning y towards x: y' = y, x' = x + y.
    EXPECT_NEAR(matrix(3)[4], 1.0f, 1e-6);
    EXPECT_NEAR(matrix(3)[0], 1.0f, 1e-6);
    EXPECT_NEAR(matrix(3)[1], 0.0f, 1e-6);
}

TEST_F(ColladaConversion, SharedGeometryAndMaterialsAreConvertedOnce) {
    const std::string libraries = MaterialXml("red", "<diffuse><color>1 0 0 1</color></diffuse>") +
                                  "<library_geometries>" + MeshGeometry("quad", QuadPositions, Quad) +
                                  "</library_geometries>";
    const std::string nodes = "<node id=\"A\">" + Bind("quad", Binding("paint", "red")) + "</node><node id=\"B\">" +
                              Bind("quad", Binding("paint", "red") + Binding("paint", "red")) + "</node>";
    const LoadResult result = Load(Document(libraries, nodes));
    ASSERT_TRUE(result.model) << result.Log();
    const Model& model = *result.model;
    EXPECT_EQ(model.GetMeshCount(), 1u);
    EXPECT_EQ(model.GetMaterialCount(), 1u);
    EXPECT_EQ(result.Count("Add mesh 'quad' to model 'Scene'."), 1u) << result.Log();
    EXPECT_EQ(result.Count("Add material 'red' to model 'Scene'."), 1u);
    auto* a = static_cast<MeshNode*>(model.GetModelNode()->GetChild(0)->GetChild(0));
    auto* b = static_cast<MeshNode*>(model.GetModelNode()->GetChild(1)->GetChild(0));
    EXPECT_EQ(&a->GetMesh(), &b->GetMesh());
    // The same symbol bound twice gives one state node.
    ASSERT_EQ(b->GetChildCount(), 1u);
    EXPECT_EQ(&static_cast<StateNode*>(a->GetChild(0))->GetState(), &static_cast<StateNode*>(b->GetChild(0))->GetState());
    // A mesh node's box is the mesh's box.
    EXPECT_EQ(a->GetBoundingVolume()->GetMaximum().x, 1.0f);
    EXPECT_EQ(a->GetBoundingVolume()->GetMinimum().y, 0.0f);
}

TEST_F(ColladaConversion, PolygonGroupsHangUnderTheMaterialsBoundToTheirSymbols) {
    const std::string groups = R"(
        <triangles material="glass" count="1"><input semantic="VERTEX" source="#m-vertices" offset="0"/><p>0 1 2</p></triangles>
        <triangles material="body" count="1"><input semantic="VERTEX" source="#m-vertices" offset="0"/><p>0 2 3</p></triangles>
        <triangles material="glass" count="1"><input semantic="VERTEX" source="#m-vertices" offset="0"/><p>1 2 3</p></triangles>
        <triangles material="chrome" count="1"><input semantic="VERTEX" source="#m-vertices" offset="0"/><p>0 1 3</p></triangles>)";
    const std::string libraries = MaterialXml("Glass", "<diffuse><color>0 0 1 1</color></diffuse>") +
                                  MaterialXml("Body", "<diffuse><color>1 0 0 1</color></diffuse>") +
                                  "<library_geometries>" + MeshGeometry("m", QuadPositions, groups) +
                                  "</library_geometries>";
    const std::string nodes = "<node id=\"N\">" + Bind("m", Binding("glass", "Glass") + Binding("body", "Body")) + "</node>";
    const LoadResult result = Load(Document(libraries, nodes));
    ASSERT_TRUE(result.model) << result.Log();
    MeshNode* meshNode = static_cast<MeshNode*>(result.model->GetModelNode()->GetChild(0)->GetChild(0));
    // State nodes in binding order; drawables in polygon-group order.
    ASSERT_EQ(meshNode->GetChildCount(), 2u);
    Node* glass = meshNode->GetChild(0);
    Node* body = meshNode->GetChild(1);
    EXPECT_EQ(glass->GetName(), "Glass");
    EXPECT_EQ(body->GetName(), "Body");
    ASSERT_EQ(glass->GetChildCount(), 2u);
    EXPECT_EQ(glass->GetChild(0)->GetName(), "m_0");
    EXPECT_EQ(glass->GetChild(1)->GetName(), "m_2");
    ASSERT_EQ(body->GetChildCount(), 1u);
    EXPECT_EQ(body->GetChild(0)->GetName(), "m_1");
    // The unbound "chrome" group is in the mesh but not drawn, and said so.
    EXPECT_EQ(result.model->GetMesh(0u)->GetGeometryCount(), 4u);
    EXPECT_EQ(result.Count("no material bound to symbol 'chrome'"), 1u) << result.Log();
    EXPECT_EQ(result.Count("Add geometry 'm_3' to mesh 'm'."), 1u);
}

TEST_F(ColladaConversion, PolygonsAreTriangulatedBeforeTheirIndicesAreRead) {
    const std::string primitives = R"(
        <polylist count="1"><input semantic="VERTEX" source="#m-vertices" offset="0"/><vcount>4</vcount><p>0 1 2 3</p></polylist>
        <polygons count="2"><input semantic="VERTEX" source="#m-vertices" offset="0"/>
          <p>0 1 2</p><ph><p>3 2 1 0</p><h>0 1 2</h></ph></polygons>
        <tristrips count="1"><input semantic="VERTEX" source="#m-vertices" offset="0"/><p>0 1 2 3 0</p></tristrips>
        <trifans count="1"><input semantic="VERTEX" source="#m-vertices" offset="0"/><p>3 0 1 2</p></trifans>
        <lines count="1"><input semantic="VERTEX" source="#m-vertices" offset="0"/><p>0 1</p></lines>)";
    const LoadResult result =
        Load(Document("<library_geometries>" + MeshGeometry("m", QuadPositions, primitives) + "</library_geometries>",
                      "<node id=\"N\"><instance_geometry url=\"#m\"/></node>"));
    ASSERT_TRUE(result.model) << result.Log();
    const Mesh& mesh = *result.model->GetMesh(0u);
    ASSERT_EQ(mesh.GetGeometryCount(), 4u);  // lines are no polygon group
    using List = std::vector<unsigned int>;
    EXPECT_EQ(mesh.GetGeometry(0)->GetVertexIndices(), (List{0, 1, 2, 0, 2, 3}));  // a quad gives six
    EXPECT_EQ(mesh.GetGeometry(1)->GetVertexIndices(), (List{0, 1, 2, 3, 2, 1, 3, 1, 0}));  // holes ignored
    // Every other strip triangle is flipped so all keep the strip's winding.
    EXPECT_EQ(mesh.GetGeometry(2)->GetVertexIndices(), (List{0, 1, 2, 2, 1, 3, 2, 3, 0}));
    EXPECT_EQ(mesh.GetGeometry(3)->GetVertexIndices(), (List{3, 0, 1, 3, 1, 2}));
    ExpectSafeToDraw(*result.model);
}

TEST_F(ColladaConversion, InputsWithOffsetsFillTheirOwnLists) {
    const std::string geometry = R"(<geometry id="m"><mesh>
        <source id="p"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array>
          <technique_common><accessor source="#pa" count="3" stride="3"/></technique_common></source>
        <source id="n"><float_array id="na" count="6">0 0 1 0 0 -1</float_array>
          <technique_common><accessor source="#na" count="2" stride="3"/></technique_common></source>
        <source id="t"><float_array id="ta" count="6">0 0 1 0 0 1</float_array>
          <technique_common><accessor source="#ta" count="3" stride="2"/></technique_common></source>
        <source id="t2"><float_array id="t2a" count="4">0.5 0.5 0.25 0.25</float_array>
          <technique_common><accessor source="#t2a" count="2" stride="2"/></technique_common></source>
        <source id="c"><float_array id="ca" count="3">1 0 0</float_array>
          <technique_common><accessor source="#ca" count="1" stride="3"/></technique_common></source>
        <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
        <triangles count="1">
          <input semantic="VERTEX" source="#v" offset="0"/><input semantic="NORMAL" source="#n" offset="1"/>
          <input semantic="TEXCOORD" source="#t" offset="2" set="0"/><input semantic="COLOR" source="#c" offset="3"/>
          <input semantic="TEXCOORD" source="#t2" offset="4" set="1"/>
          <p>0 1 2 0 1  1 1 1 0 0  2 0 0 0 1</p></triangles></mesh></geometry>)";
    const LoadResult result = Load(Document("<library_geometries>" + geometry + "</library_geometries>",
                                            "<node id=\"N\"><instance_geometry url=\"#m\"/></node>"));
    ASSERT_TRUE(result.model) << result.Log();
    const Mesh& mesh = *result.model->GetMesh(0u);
    const Geometry& g = *mesh.GetGeometry(0);
    using List = std::vector<unsigned int>;
    EXPECT_EQ(g.GetVertexIndices(), (List{0, 1, 2}));
    EXPECT_EQ(g.GetNormalIndices(), (List{1, 1, 0}));
    // Both sets in the one list; the second set's indices point at its own data.
    EXPECT_EQ(mesh.GetTexCoordArraySize(), 5u);
    EXPECT_EQ(g.GetTexCoordIndices(), (List{2, 1, 0, 4, 3, 4}));
    EXPECT_FLOAT_EQ(mesh.GetTexCoordArray()[4].x, 0.25f);
    EXPECT_EQ(result.Count("[Warn] ColladaGeometry - Unsupported geometry source type '9' in mesh 'm'."), 1u)
        << result.Log();
    EXPECT_EQ(result.Count("[Warn] ColladaPolygonGroup - Unsupported polygon semantic '9'."), 1u);
    EXPECT_EQ(result.Count("[Warn] ColladaGeometry - Texcoord data of mesh 'm' has a stride of '2'."), 2u);
    ExpectSafeToDraw(*result.model);
}

TEST_F(ColladaConversion, VerticesMayCarryNormalsAndSourcesTheirOwnStride) {
    const std::string geometry = R"(<geometry id="m"><mesh>
        <source id="p"><float_array id="pa" count="12">0 0 0 9  1 0 0 9  0 1 0 9</float_array>
          <technique_common><accessor source="#pa" count="3" stride="4"/></technique_common></source>
        <source id="n"><float_array id="na" count="9">0 0 1 0 0 1 0 0 1</float_array>
          <technique_common><accessor source="#na" count="3" stride="3"/></technique_common></source>
        <source id="t"><float_array id="ta" count="9">0 0 7 1 0 7 0 1 7</float_array>
          <technique_common><accessor source="#ta" count="3" stride="3"/></technique_common></source>
        <vertices id="v"><input semantic="POSITION" source="#p"/><input semantic="NORMAL" source="#n"/>
          <input semantic="TEXCOORD" source="#t"/></vertices>
        <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>2 1 0</p></triangles></mesh></geometry>)";
    const LoadResult result = Load(Document("<library_geometries>" + geometry + "</library_geometries>",
                                            "<node id=\"N\"><instance_geometry url=\"#m\"/></node>"));
    ASSERT_TRUE(result.model) << result.Log();
    const Mesh& mesh = *result.model->GetMesh(0u);
    const Geometry& g = *mesh.GetGeometry(0);
    EXPECT_EQ(g.GetNormalIndices(), g.GetVertexIndices());
    EXPECT_EQ(g.GetTexCoordIndices(), g.GetVertexIndices());
    ASSERT_EQ(mesh.GetVertexArraySize(), 3u);
    EXPECT_EQ(mesh.GetVertexArray()[1].x, 1.0f);  // read with its stride of 4
    EXPECT_EQ(mesh.GetTexCoordArray()[2].y, 1.0f);  // third component dropped
    EXPECT_EQ(result.Count("Vertex data of mesh 'm' has a stride of '4'."), 1u) << result.Log();
    EXPECT_EQ(result.Count("Texcoord data of mesh 'm' has a stride"), 0u);  // 3 draws no warning
}

TEST_F(ColladaConversion, CommonProfileColoursCarryTheTransparency) {
    const std::string shading = R"(
        <emission><color>0.1 0.1 0.1 1</color></emission><ambient><color>0,2 0,3 0,4 1</color></ambient>
        <diffuse><color>0.5 0.6 0.7 0.5</color></diffuse><specular><color>1 1 1 1</color></specular>
        <shininess><float>42</float></shininess><transparency><float>0.5</float></transparency>)";
    const std::string libraries = MaterialXml("paint", shading, "blinn") + MaterialXml("flat", "", "lambert") +
                                  MaterialXml("glow", "<emission><param ref=\"c\"/></emission>", "constant",
                                           "<newparam sid=\"c\"><float4>1 1 0 1</float4></newparam>") +
                                  "<library_geometries>" + MeshGeometry("quad", QuadPositions, Quad) +
                                  "</library_geometries>";
    const std::string nodes = "<node id=\"N\">" + Bind("quad", Binding("a", "paint") + Binding("b", "flat") +
                                                                   Binding("c", "glow")) + "</node>";
    const LoadResult result = Load(Document(libraries, nodes));
    ASSERT_TRUE(result.model) << result.Log();
    const Material& paint = *result.model->GetMaterial("paint");
    EXPECT_FLOAT_EQ(paint.GetAmbient().y, 0.3f);  // comma decimals
    EXPECT_FLOAT_EQ(paint.GetAmbient().w, 0.5f);
    EXPECT_FLOAT_EQ(paint.GetDiffuse().w, 0.25f);  // its own alpha times the factor
    EXPECT_FLOAT_EQ(paint.GetSpecular().w, 0.5f);
    EXPECT_FLOAT_EQ(paint.GetEmission().x, 0.1f);
    EXPECT_FLOAT_EQ(paint.GetShininess(), 42.0f);  // not rescaled
    // No transparency element: factor 1, colours opaque.
    const Material& flat = *result.model->GetMaterial("flat");
    EXPECT_FLOAT_EQ(flat.GetDiffuse().w, 1.0f);
    EXPECT_FALSE(flat.IsTranslucent());
    EXPECT_FLOAT_EQ(result.model->GetMaterial("glow")->GetEmission().y, 1.0f);  // through a parameter
}

TEST_F(ColladaConversion, FullyTransparentMaterialsAreMadeOpaque) {
    const std::string libraries =
        MaterialXml("ghost", "<diffuse><color>1 1 1 1</color></diffuse><transparency><float>0</float></transparency>") +
        MaterialXml("tinted", "<diffuse><color>1 1 1 1</color></diffuse><transparency><float>0.01</float></transparency>") +
        "<library_geometries>" + MeshGeometry("quad", QuadPositions, Quad) + "</library_geometries>";
    const LoadResult result = Load(Document(
        libraries, "<node id=\"N\">" + Bind("quad", Binding("a", "ghost") + Binding("b", "tinted")) + "</node>"));
    ASSERT_TRUE(result.model) << result.Log();
    const Material& ghost = *result.model->GetMaterial("ghost");
    EXPECT_EQ(ghost.GetDiffuse().w, 1.0f);
    EXPECT_EQ(ghost.GetAmbient().w, 1.0f);
    EXPECT_EQ(result.Count("[Warn] ColladaLibraryManager - Material 'ghost' in model 'Scene' would be fully "
                           "transparent; it is made opaque."),
              1u)
        << result.Log();
    EXPECT_FLOAT_EQ(result.model->GetMaterial("tinted")->GetDiffuse().w, 0.01f);  // merely translucent: kept
}

TEST_F(ColladaConversion, MaterialsWithoutACommonProfileDrawNothing) {
    const std::string libraries =
        "<library_effects><effect id=\"fx\"><profile_GLSL/></effect></library_effects>"
        "<library_materials><material id=\"shader\"><instance_effect url=\"#fx\"/></material></library_materials>"
        "<library_geometries>" + MeshGeometry("quad", QuadPositions, Quad) + "</library_geometries>";
    const LoadResult result = Load(Document(libraries, "<node id=\"N\">" + Bind("quad", Binding("paint", "shader")) + "</node>"));
    ASSERT_TRUE(result.model) << result.Log();
    EXPECT_EQ(result.model->GetMaterialCount(), 0u);
    EXPECT_EQ(result.model->GetModelNode()->GetChild(0)->GetChild(0)->GetChildCount(), 0u);
}

TEST_F(ColladaConversion, DiffuseTexturesLeadToImagesBesideTheDocument) {
    folder.Write("Textures/Paint Job.PNG", "png");
    folder.Write("decal.png", "png");
    const std::string params = R"(
        <newparam sid="surface"><surface type="2D"><init_from> paint-image </init_from></surface></newparam>
        <newparam sid="sampler"><sampler2D><source>surface</source></sampler2D></newparam>)";
    const std::string shading = R"(<diffuse><texture texture="sampler" texcoord="UV0"><extra><technique profile="MAYA">
        <repeatU>2</repeatU><repeatV>3</repeatV><offsetU>0.5</offsetU><offsetV>0,25</offsetV><rotateUV>90</rotateUV>
        </technique></extra></texture></diffuse><ambient><texture texture="decal-image"/></ambient>)";
    const std::string images = R"(<library_images>
        <image id="paint-image"><init_from>file://.\textures\paint%20job.png</init_from></image>
        <image id="decal-image"><init_from>C:\Users\artist\decal.png</init_from></image>
        <image id="lost-image"><init_from>lost.png</init_from></image></library_images>)";
    const std::string decal = R"(<diffuse><texture texture="decal-image"><extra><technique profile="MAYA">
        <repeatU>4</repeatU></technique></extra></texture></diffuse>)";
    const std::string libraries = images + MaterialXml("paint", shading, "phong", params) + MaterialXml("decal", decal) +
                                  MaterialXml("lost", "<diffuse><texture texture=\"lost-image\"/></diffuse>") +
                                  "<library_geometries>" + MeshGeometry("quad", QuadPositions, Quad) +
                                  "</library_geometries>";
    const std::string nodes = "<node id=\"N\">" + Bind("quad", Binding("a", "paint") + Binding("b", "decal") +
                                                                   Binding("c", "lost")) + "</node>";
    const LoadResult result = Load(Document(libraries, nodes));
    ASSERT_TRUE(result.model) << result.Log();
    const Material& paint = *result.model->GetMaterial("paint");
    ASSERT_EQ(paint.GetTextureCount(), 1u);  // the ambient channel's texture is not read
    const Texture& texture = *paint.GetTexture(0);
    EXPECT_EQ(texture.GetTextureType(), Texture::Diffuse);
    EXPECT_EQ(texture.GetImage().GetName(), "paint-image");
    // Backslashes, "file://", "%20" and letter case all resolved against the document's folder.
    EXPECT_EQ(texture.GetImage().GetFilename(), folder.GetPath() + "/Textures/Paint Job.PNG");
    EXPECT_EQ(texture.GetTiling().x, 2.0f);
    EXPECT_EQ(texture.GetTiling().y, 3.0f);
    EXPECT_EQ(texture.GetOffset().y, 0.25f);
    EXPECT_EQ(texture.GetRotation(), 90.0f);
    EXPECT_EQ(paint.GetDiffuse().x, 1.0f);  // a textured channel shows its texture unchanged
    // A sampler naming the image directly; an absolute path from the author's machine found beside the document.
    const Texture& decalTexture = *result.model->GetMaterial("decal")->GetTexture(0);
    EXPECT_EQ(decalTexture.GetImage().GetFilename(), folder.GetPath() + "/decal.png");
    EXPECT_EQ(decalTexture.GetTiling().x, 1.0f);  // repeatU alone is no pair
    EXPECT_EQ(decalTexture.GetRotation(), 0.0f);
    // A missing file still gives an image (the renderer reports it) and a warning here.
    EXPECT_EQ(result.model->GetImage("lost-image")->GetFilename(), folder.GetPath() + "/lost.png");
    EXPECT_EQ(result.Count("Image 'lost-image' names the file"), 1u) << result.Log();
    EXPECT_EQ(result.model->GetImageCount(), 3u);
    EXPECT_EQ(result.Count("Add image 'paint-image' to model 'Scene'."), 1u);
}

TEST_F(ColladaConversion, Version15ImagesAndSamplers) {
    folder.Write("wood.png", "png");
    const std::string document = R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2008/03/COLLADASchema" version="1.5.0">
  <library_images><image id="wood"><init_from><ref>./wood.png</ref></init_from></image></library_images>
  <library_effects><effect id="fx"><profile_COMMON>
    <newparam sid="s"><sampler2D><instance_image url="#wood"/></sampler2D></newparam>
    <technique sid="t"><lambert><diffuse><texture texture="s" texcoord="uv"/></diffuse></lambert></technique>
  </profile_COMMON></effect></library_effects>
  <library_materials><material id="m"><instance_effect url="#fx"/></material></library_materials>
  <library_geometries>)" + MeshGeometry("quad", QuadPositions, Quad) + R"(</library_geometries>
  <library_visual_scenes><visual_scene id="V"><node id="N"><instance_geometry url="#quad">
    <bind_material><technique_common><instance_material symbol="paint" target="#m"/></technique_common></bind_material>
  </instance_geometry></node></visual_scene></library_visual_scenes>
  <scene><instance_visual_scene url="#V"/></scene></COLLADA>)";
    const LoadResult result = Load(document);
    ASSERT_TRUE(result.model) << result.Log();
    const Material& material = *result.model->GetMaterial("m");
    ASSERT_EQ(material.GetTextureCount(), 1u);
    EXPECT_EQ(material.GetTexture(0)->GetImage().GetFilename(), folder.GetPath() + "/wood.png");
}

TEST_F(ColladaConversion, LogLinesFollowTheLoadWordForWord) {
    const std::string libraries = MaterialXml("red", "<diffuse><color>1 0 0 1</color></diffuse>") +
                                  "<library_geometries>" + MeshGeometry("quad", QuadPositions, Quad) +
                                  "</library_geometries>";
    const std::string path = folder.Write("log.dae", Document(libraries, "<node id=\"N\">" + Bind("quad", Binding("paint", "red")) + "</node>"));
    const LoadResult result = LoadCapturing(path);
    ASSERT_TRUE(result.model);
    const std::vector<std::string> expected = {
        "[Info] ColladaModelLoader - Load file=" + path + " (DaeReader v1.0).",
        "[Debug] ColladaModelLoader - Create model 'Scene'.",
        "[Debug] ColladaModelLoader - Add model 'Scene' to model node 'Scene'.",
        "[Warn] ColladaPolygonGroup - Polygon group 'quad_0' has no normals; flat ones are made for it.",
        "[Debug] ColladaLibraryManager - Add geometry 'quad_0' to mesh 'quad'.",
        "[Debug] ColladaLibraryManager - Add mesh 'quad' to model 'Scene'.",
        "[Debug] ColladaLibraryManager - Add material 'red' to model 'Scene'.",
        "[Debug] ColladaModelLoader - Add group node 'N' to model node 'Scene'.",
    };
    EXPECT_EQ(result.lines, expected);
}

TEST_F(ColladaConversion, EncodingsPugixmlDetectsAreRead) {
    const std::string text = Document("<library_geometries>" + MeshGeometry("quad", QuadPositions, Quad) +
                                          "</library_geometries>",
                                      "<node id=\"N\"><instance_geometry url=\"#quad\"/></node>");
    std::string utf16 = "\xff\xfe";
    for (char c : text) utf16 += std::string(1, c) + '\0';
    for (const std::string& encoded : {"\xef\xbb\xbf" + text, utf16}) {
        const LoadResult result = Load(encoded);
        ASSERT_TRUE(result.model) << result.Log();
        EXPECT_EQ(CountTriangles(*result.model), 2u);
    }
}

TEST_F(ColladaConversion, DuplicateIdsResolveToTheFirst) {
    const std::string libraries = "<library_geometries>" + MeshGeometry("quad", QuadPositions, Quad) +
                                  MeshGeometry("quad", "0 0 0 1 0 0 1 1 0", "") + "</library_geometries>";
    const LoadResult result = Load(Document(libraries, "<node id=\"N\"><instance_geometry url=\"#quad\"/></node>"));
    ASSERT_TRUE(result.model) << result.Log();
    EXPECT_EQ(CountVertices(*result.model), 4u);
}

TEST_F(ColladaConversion, InstancedNodesBecomeChildren) {
    const std::string libraries = "<library_nodes><node id=\"Wheel\"><node id=\"Rim\"/></node></library_nodes>";
    const std::string nodes = R"(<node id="Car"><instance_node url="#Wheel"/><node id="Axle"/><instance_node url="#Wheel"/></node>
        <node id="Spare"><instance_node url="#Axle"/></node>)";
    const LoadResult result = Load(Document(libraries, nodes));
    ASSERT_TRUE(result.model) << result.Log();
    EXPECT_EQ(GroupNames(*result.model),
              (std::vector<std::string>{"Car", "Wheel", "Rim", "Axle", "Wheel", "Rim", "Spare", "Axle"}));
}

TEST_F(ColladaConversion, TwoLoadsGiveIndependentModels) {
    const std::string path = folder.Write("twice.dae", Document("<library_geometries>" +
                                                                    MeshGeometry("quad", QuadPositions, Quad) +
                                                                    "</library_geometries>",
                                                                "<node id=\"N\"><instance_geometry url=\"#quad\"/></node>"));
    const LoadResult first = LoadCapturing(path);
    const LoadResult second = LoadCapturing(path);
    ASSERT_TRUE(first.model && second.model);
    EXPECT_NE(first.model->GetMesh(0u), second.model->GetMesh(0u));
    EXPECT_EQ(second.Count("Add mesh 'quad'"), 1u);  // nothing cached across loads
}

TEST(ColladaDataFiles, MaterialsTexturesAndInstancedNodes) {
    const LoadResult result = LoadCapturing(std::string(QUORVEX_TEST_DATA) + "/materials.dae");
    ASSERT_TRUE(result.model) << result.Log();
    const Model& model = *result.model;
    ExpectSafeToDraw(model);
    EXPECT_EQ(GroupNames(model), (std::vector<std::string>{"Cabinet", "Door", "Lamp"}));
    EXPECT_EQ(model.GetMeshCount(), 1u);
    EXPECT_EQ(model.GetMaterialCount(), 3u);
    const auto& cabinet = static_cast<GroupNode*>(model.GetModelNode()->GetChild(0))->GetTransform().GetMatrix();
    EXPECT_EQ(cabinet[12], 1.0f);
    EXPECT_EQ(cabinet[13], 2.0f);
    EXPECT_EQ(cabinet[14], 3.0f);

    const Material& wood = *model.GetMaterial("wood");
    ASSERT_EQ(wood.GetTextureCount(), 1u);
    const Texture& texture = *wood.GetTexture(0);
    EXPECT_EQ(texture.GetImage().GetFilename(), std::string(QUORVEX_TEST_DATA) + "/Textures/wood grain.jpg");
    EXPECT_FLOAT_EQ(texture.GetTiling().y, 1.5f);
    EXPECT_FLOAT_EQ(texture.GetOffset().x, 0.25f);
    EXPECT_FLOAT_EQ(texture.GetRotation(), 30.0f);
    EXPECT_FLOAT_EQ(wood.GetShininess(), 2.0f);
    EXPECT_FLOAT_EQ(model.GetMaterial("glass")->GetDiffuse().w, 0.3f);
    EXPECT_EQ(model.GetMaterial("lamp")->GetEmission().w, 1.0f);
    EXPECT_EQ(result.Count("Material 'lamp' in model 'Room' would be fully transparent"), 1u) << result.Log();

    // Texture coordinates declared in <vertices> follow the position indices.
    const Geometry& panel = *model.GetMesh(0u)->GetGeometry(0);
    EXPECT_EQ(panel.GetTexCoordIndices(), panel.GetVertexIndices());
    // The lamp node, instanced from the node library, draws the panel with its own material.
    Node* lamp = Find(model.GetModelNode(), "Lamp");
    ASSERT_NE(lamp, nullptr);
    ASSERT_EQ(lamp->GetChildCount(), 1u);
    EXPECT_EQ(lamp->GetChild(0)->GetChild(0)->GetName(), "lamp");
}

TEST(ColladaDataFiles, EveryPolygonKindTriangulates) {
    const LoadResult result = LoadCapturing(std::string(QUORVEX_TEST_DATA) + "/polygons.dae");
    ASSERT_TRUE(result.model) << result.Log();
    ExpectSafeToDraw(*result.model);
    const Mesh& mesh = *result.model->GetMesh(0u);
    ASSERT_EQ(mesh.GetGeometryCount(), 4u);
    const std::size_t triangles[] = {3, 4, 4, 3};  // polylist, polygons, strip, fan
    for (unsigned int g = 0; g < 4; ++g)
        EXPECT_EQ(mesh.GetGeometry(g)->GetVertexIndicesSize(), 3 * triangles[g]) << g;
    // The concave arrow head is covered exactly: no triangle reaches outside it.
    double area = 0;
    const auto& points = mesh.GetVertexArray();
    const auto& indices = mesh.GetGeometry(0)->GetVertexIndices();
    for (std::size_t t = 0; t < indices.size(); t += 3) {
        const auto& a = points[indices[t]];
        const auto& b = points[indices[t + 1]];
        const auto& c = points[indices[t + 2]];
        const double signedArea = 0.5 * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
        EXPECT_GT(signedArea, 0.0) << "triangle " << t / 3;  // the outline's winding kept
        area += signedArea;
    }
    EXPECT_NEAR(area, 10.0, 1e-6);  // arrow head 6, triangle 4
}
