#include "CarPool.h"

#include <lumora/Lumora.h>
#include <nodara/GroupNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>

const char* const CarPool::ModelFiles[CarPool::CarCount] = {
    "../data/cars/NissanSkyline/NissanSkyline.dae",
    "../data/cars/BugattiVeyron/BugattiVeyron.dae",
};
const char* const CarPool::NodeNames[CarPool::CarCount] = {"NissanSkyline", "BugattiVeyron"};

CarPool::CarPool(Lumora& engine) : engine(engine) {}

CarPool::~CarPool() = default;

Car* CarPool::GetCar(unsigned index) {
    if (index >= CarCount) return nullptr;
    if (displayCars[index]) return displayCars[index].get();
    Model* model = engine.LoadModel(ModelFiles[index]);
    if (!model) return nullptr;
    GroupNode* node = dynamic_cast<GroupNode*>(Node::Search(*model->GetModelNode(), NodeNames[index]));
    if (!node) {
        // Unloaded again, so a later request does not pile up copies.
        engine.UnLoadModel(model);
        return nullptr;
    }
    displayCars[index].reset(new Car{node, model});
    return displayCars[index].get();
}
