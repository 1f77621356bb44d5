#pragma once

class GroupNode;
class Model;

/// One car of the game as the show room needs it: the car's group node in
/// its loaded model. The race adds the driving state.
struct Car {
    GroupNode* node = nullptr;  ///< the car node inside `model`; owned by the model
    Model* model = nullptr;     ///< the loaded model; owned by the engine that loaded it
};
