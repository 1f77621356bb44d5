#include "RaceScene.h"

#include <memory>
#include <vector>

#include <lumora/Lumora.h>
#include <lumora/OglEffectPass.h>
#include <lumora/OglRenderer.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Light.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/Perspective.h>

#include "cars/Car.h"
#include "physics/World.h"
#include "track/SceneryBatches.h"
#include "track/TerrainTiles.h"
#include "track/Track.h"

const Perspective RaceScene::LightProjection(65.0, 1.0, 100.0, 5000.0);

namespace {

OglEffectPass::Effect Lit(bool perPixel) { return perPixel ? OglEffectPass::PerPixelLighting : OglEffectPass::Standard; }

}  // namespace

std::string RaceScene::Load(const TrackDescription& description, Track& track, physics::World& world) {
    skyDome = engine.LoadModel(description.GetSkyFile());
    if (!skyDome) return "its sky did not load";
    Model* model = engine.LoadModel(description.GetModelFile());
    if (!model) return "its model did not load";
    Node& top = *model->GetModelNode();
    GroupNode* frame = dynamic_cast<GroupNode*>(Node::Search(top, "Terrain"));
    if (frame) track.terrainMatrix = frame->GetTransform().GetMatrix();
    MeshNode* meshNode = dynamic_cast<MeshNode*>(Node::Search(top, "Terrain-mesh"));
    if (!meshNode) return "its model has no terrain";
    track.model = model;
    // The top-level node the terrain lies in, found before the ground is cut
    // into tiles (a loaded tree's nodes need not know their parents).
    const Node* terrainGroup = nullptr;
    for (unsigned i = 0; i < top.GetChildCount() && !terrainGroup; ++i)
        if (Node* child = top.GetChild(i); child == meshNode || Node::Search(*child, "Terrain-mesh") == meshNode)
            terrainGroup = child;

    const Mesh& mesh = meshNode->GetMesh();
    std::vector<unsigned int> indices;
    for (unsigned i = 0; i < mesh.GetGeometryCount(); ++i) {
        const std::vector<unsigned int>& part = mesh.GetGeometry(i)->GetVertexIndices();
        indices.insert(indices.end(), part.begin(), part.end());
    }
    // Without ground under it the car would fall for ever.
    if (!world.AddStaticMesh(mesh.GetVertexArray(), indices, track.terrainMatrix.ptr()))
        return "its terrain has no usable triangle";

    // Drawn whole, the ground would cost every view all of its triangles;
    // drawn one by one, the scenery would cost a draw per tree.
    OglRenderer* renderer = dynamic_cast<OglRenderer*>(engine.GetRenderer());
    if (!renderer) return "";
    const QualityPreset::Settings settings = QualityPreset::For(quality);
    if (frame)
        if (Mesh* tiles = TerrainTiles::Split(*model, *frame, *meshNode, settings.groundTileM)) {
            // Beyond a draw distance the hills are drawn coarse rather than not at all.
            if (settings.coarseFarGround)
                track.coarseCopies = TerrainTiles::AddCoarseCopies(*frame, *tiles, settings.coarseErrorM);
            renderer->DeleteRessources(const_cast<Mesh&>(mesh));
            renderer->GenerateRessources(*tiles);
        }
    for (unsigned i = 0; i < top.GetChildCount(); ++i) {
        GroupNode* group = dynamic_cast<GroupNode*>(top.GetChild(i));
        // A group holding the terrain (cut into tiles by now) is no scenery:
        // merged, it would take the tiles' nodes with it.
        if (group && group != terrainGroup && group != frame)
            if (Mesh* batches = SceneryBatches::Merge(*model, *group)) {
                if (settings.coarseFarScenery)
                    for (const CoarseCopy& pair : SceneryBatches::AddCoarseCopies(*group, *batches, settings.coarseErrorM))
                        track.coarseCopies.push_back(pair);
                renderer->GenerateRessources(*batches);
            }
    }
    return "";
}

void RaceScene::Light(const TrackDescription& description, const Track& track) {
    ::Light& light = engine.GetScene().GetLight();
    const vmath::vec3<float>& at = description.GetLightPosition();
    light.SetPosition(vmath::vec4<float>(at.x, at.y, at.z, 1.0f));
    const vmath::vec2<double> low = track.road.GetMin(), high = track.road.GetMax();
    light.SetSpotDirection(vmath::vec3<float>(static_cast<float>((low.x + high.x) / 2),
                                              static_cast<float>((low.y + high.y) / 2), 0.0f));
    const vmath::vec3<float>& colour = description.GetLightColour();
    light.SetDiffuse(vmath::vec4<float>(colour.x, colour.y, colour.z, 1.0f));
    light.SetSpecular(vmath::vec4<float>(colour.x, colour.y, colour.z, 1.0f));
}

bool RaceScene::AddEffects(const Track& track, Car& car) {
    OglRenderer* renderer = dynamic_cast<OglRenderer*>(engine.GetRenderer());
    if (!renderer || !skyDome || !track.model) return true;
    std::unique_ptr<OglEffectPass> pass(new OglEffectPass(*renderer));
    QualityPreset::Apply(quality, *pass, LightProjection);
    if (!pass->Initialize(LightProjection)) return false;
    std::vector<GroupNode*> sky;
    ModelNode* skyNode = skyDome->GetModelNode();
    for (unsigned i = 0; i < skyNode->GetChildCount(); ++i)
        if (GroupNode* group = dynamic_cast<GroupNode*>(skyNode->GetChild(i))) {
            sky.push_back(group);
            pass->AddGroup(OglEffectPass::Environment, *group);
        }
    // Lit per vertex, the ground and the car cost a software rasteriser far less.
    const QualityPreset::Settings settings = QualityPreset::For(quality);
    ModelNode* trackNode = track.model->GetModelNode();
    for (unsigned i = 0; i < trackNode->GetChildCount(); ++i)
        if (GroupNode* group = dynamic_cast<GroupNode*>(trackNode->GetChild(i))) {
            pass->AddGroup(Lit(settings.perPixelTrack), *group);
            pass->AddGroup(OglEffectPass::Environment, *group);
        }
    for (const CoarseCopy& pair : track.coarseCopies) pass->AddStandIn(*pair.fine, *pair.coarse);
    pass->AddGroup(Lit(settings.perPixelCar), *car.node);
    pass->AddGroup(OglEffectPass::Reflections, *car.node);
    // Last of its list, behind all: where the ground or the car already
    // stands the depth test spares a software rasteriser the sky's texels
    // (at Low, where everything is in that list).
    for (GroupNode* group : sky) pass->AddGroup(OglEffectPass::Standard, *group);
    effectPass = pass.get();
    engine.AddPass(*pass.release());
    return true;
}

void RaceScene::AddCar(Car& car) {
    if (!effectPass) return;
    effectPass->AddGroup(Lit(QualityPreset::For(quality).perPixelCar), *car.node);
    effectPass->AddGroup(OglEffectPass::Reflections, *car.node);
}
