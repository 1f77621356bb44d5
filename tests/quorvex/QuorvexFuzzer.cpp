// libFuzzer target over the loader's Load: whatever bytes a file holds, Load
// returns null or a model every index of which lies inside its arrays.
// Build with clang (see tests/CMakeLists.txt), then run for example:
//   bin/QuorvexFuzzer -close_fd_mask=1 -dict=../tests/quorvex/collada.dict corpus/ ../tests/quorvex/data/
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <nodara/Geometry.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>

#include "ColladaModelLoader.h"

namespace {

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "QuorvexFuzzer: unsafe model: %s\n", what);
    std::abort();
}

/// The promise every returned model keeps: the draw paths can read it.
void CheckModel(const Model& model) {
    Require(model.GetModelNode() != nullptr, "no model node");
    for (unsigned int m = 0; m < model.GetMeshCount(); ++m) {
        const Mesh& mesh = *model.GetMesh(m);
        for (unsigned int g = 0; g < mesh.GetGeometryCount(); ++g) {
            const Geometry& geometry = *mesh.GetGeometry(g);
            const std::size_t corners = geometry.GetVertexIndicesSize();
            Require(corners % 3 == 0, "partial triangle");
            Require(geometry.GetNormalIndicesSize() >= corners, "normal list too short");
            Require(geometry.GetTexCoordIndicesSize() == 0 || geometry.GetTexCoordIndicesSize() >= corners,
                    "texture-coordinate list too short");
            for (unsigned int i : geometry.GetVertexIndices()) Require(i < mesh.GetVertexArraySize(), "vertex index");
            for (unsigned int i : geometry.GetNormalIndices()) Require(i < mesh.GetNormalArraySize(), "normal index");
            for (unsigned int i : geometry.GetTexCoordIndices())
                Require(i < mesh.GetTexCoordArraySize(), "texture-coordinate index");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Load reads files, so each input is written to one of this process's own.
    static const std::string path = "/tmp/quorvex-fuzz-" + std::to_string(getpid()) + ".dae";
    static const bool cleanup = std::atexit([] { std::remove(path.c_str()); }) == 0;
    (void)cleanup;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
    ColladaModelLoader loader;
    std::unique_ptr<Model> model(loader.Load(path));
    if (model) CheckModel(*model);
    return 0;
}
