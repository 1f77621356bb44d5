#include <nodara/ModelLoader.h>

const std::string ModelLoader::RegisterFunction = "Register";
const std::string ModelLoader::UnregisterFunction = "Unregister";
