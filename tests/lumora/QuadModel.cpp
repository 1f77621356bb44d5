// A textured, lit quad model built in code, shared by the GL tests and the
// test plug-in.
#include "QuadModel.h"

#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/Image.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/StateNode.h>
#include <nodara/Texture.h>

Model* MakeQuadModel(const std::string& imageFile) {
    auto* model = new Model;
    model->SetName("quad");
    auto* mesh = new Mesh;
    mesh->SetName("quad-mesh");
    mesh->AddVertex({-1.0f, -1.0f, 0.0f});
    mesh->AddVertex({1.0f, -1.0f, 0.0f});
    mesh->AddVertex({1.0f, 1.0f, 0.0f});
    mesh->AddVertex({-1.0f, 1.0f, 0.0f});
    mesh->AddNormal({0.0f, 0.0f, 1.0f});
    mesh->AddTexCoord({0.0f, 0.0f});
    mesh->AddTexCoord({1.0f, 0.0f});
    mesh->AddTexCoord({1.0f, 1.0f});
    mesh->AddTexCoord({0.0f, 1.0f});
    for (const auto& v : mesh->GetVertexArray()) mesh->GetBoundingVolume().Expand(v);
    auto* geometry = new Geometry;
    geometry->SetName("quad-geometry");
    geometry->SetMesh(mesh);
    for (unsigned int corner : {0u, 1u, 2u, 0u, 2u, 3u}) {
        geometry->AddVertexIndex(corner);
        geometry->AddNormalIndex(0);
        geometry->AddTexCoordIndex(corner);
    }
    mesh->AddGeometry(geometry);
    model->AddMesh(mesh);

    auto* image = new Image(imageFile);
    model->AddImage(image);
    auto* material = new Material;
    material->SetAmbient({1.0f, 1.0f, 1.0f, 1.0f});
    material->SetDiffuse({1.0f, 1.0f, 1.0f, 1.0f});
    material->AddTexture(new Texture(*image, Texture::Diffuse, {1.0f, 1.0f}, {0.0f, 0.0f}, 0.0f));
    model->AddMaterial(material);

    auto* node = new ModelNode(*model);
    auto* meshNode = new MeshNode(*mesh);
    auto* stateNode = new StateNode(*material);
    stateNode->AddChild(new DrawableNode(*geometry));
    meshNode->AddChild(stateNode);
    node->AddChild(meshNode);
    model->SetModelNode(node);
    return model;
}
