// Buffer upload benchmark: the time the buffer manager takes to make the
// vertex buffers of a loaded model (Generate), beside a plain upload of the
// same geometries with one entry per triangle corner and no element list, and
// what each leaves in buffer memory. Load time of a track is what it costs.
//
// Usage: UploadBench model.dae [runs]   (default 5 runs; best CPU time; under Xvfb)
#include <GL/glew.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <lumora/Lumora.h>
#include <lumora/ModelLoaderManager.h>
#include <lumora/OglBufferManager.h>
#include <lumora/Singleton.h>
#include <nodara/Geometry.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>

#include "FrameTimer.h"
#include "GlContext.h"

namespace {

// One corner-per-entry buffer of array[indices[i]], the reference upload.
template <typename Entry>
GLuint CornerBuffer(const std::vector<unsigned int>& indices, const std::vector<Entry>& array) {
    GLuint id = 0;
    glGenBuffers(1, &id);
    glBindBuffer(GL_ARRAY_BUFFER, id);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(Entry)), nullptr, GL_STATIC_DRAW);
    if (auto* entries = static_cast<Entry*>(glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY)))
        for (std::size_t i = 0; i < indices.size(); ++i) entries[i] = array[indices[i]];
    glUnmapBuffer(GL_ARRAY_BUFFER);
    return id;
}

struct Upload {
    double cpuMs = 1e30;
    double bytes = 0.0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: UploadBench model.dae [runs]\n");
        return 1;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    GlContext context(64, 64);
    if (!context.IsValid()) {
        std::printf("UploadBench: no GL context: %s\n", context.Error().c_str());
        return 1;
    }
    Lumora engine;
    if (!engine.Initialize()) {
        std::printf("UploadBench: the engine could not initialise OpenGL 2.0\n");
        return 1;
    }
    ModelLoaderManager& loader = Singleton<ModelLoaderManager>::Instance();
    Model* model = loader.LoadModel(argv[1]);
    if (!model) {
        std::printf("UploadBench: cannot load %s\n", argv[1]);
        return 1;
    }
    std::vector<Mesh*> meshes;
    std::size_t corners = 0;
    for (unsigned int m = 0; Mesh* mesh = model->GetMesh(m); ++m) {
        meshes.push_back(mesh);
        for (unsigned int g = 0; const Geometry* geometry = mesh->GetGeometry(g); ++g)
            corners += geometry->GetVertexIndicesSize();
    }

    Upload indexed, corner;
    std::size_t vertices = 0;
    for (int run = 0; run < runs; ++run) {
        // The buffer manager's upload, deleted again so the next run makes it anew.
        OglBufferManager manager;
        double start = CpuSeconds();
        for (Mesh* mesh : meshes) manager.Generate(*mesh);
        glFinish();
        indexed.cpuMs = std::min(indexed.cpuMs, (CpuSeconds() - start) * 1e3);
        vertices = 0;
        indexed.bytes = 0.0;
        for (Mesh* mesh : meshes)
            for (unsigned int g = 0; const Geometry* geometry = mesh->GetGeometry(g); ++g) {
                if (geometry->GetElementBindId() == 0) continue;
                const unsigned int count = geometry->GetBufferVertexCount();
                vertices += count;
                const bool shortIndices = OglBufferManager::ElementType(count) == GL_UNSIGNED_SHORT;
                indexed.bytes += count * (geometry->GetTexCoordBindId() ? 32.0 : 24.0) +
                                 geometry->GetVertexIndicesSize() / 3 * 3 * (shortIndices ? 2.0 : 4.0);
            }
        for (Mesh* mesh : meshes) manager.Delete(*mesh);

        // The reference: every corner its own entry in three buffers.
        std::vector<GLuint> ids;
        corner.bytes = 0.0;
        start = CpuSeconds();
        for (Mesh* mesh : meshes)
            for (unsigned int g = 0; const Geometry* geometry = mesh->GetGeometry(g); ++g) {
                if (geometry->GetVertexIndicesSize() == 0 || !manager.CanDraw(*geometry, *mesh)) continue;
                ids.push_back(CornerBuffer(geometry->GetVertexIndices(), mesh->GetVertexArray()));
                ids.push_back(CornerBuffer(geometry->GetNormalIndices(), mesh->GetNormalArray()));
                const bool withTexCoords = geometry->GetTexCoordIndicesSize() != 0;
                if (withTexCoords)
                    ids.push_back(CornerBuffer(geometry->GetTexCoordIndices(), mesh->GetTexCoordArray()));
                corner.bytes += geometry->GetVertexIndicesSize() * (withTexCoords ? 32.0 : 24.0);
            }
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glFinish();
        corner.cpuMs = std::min(corner.cpuMs, (CpuSeconds() - start) * 1e3);
        glDeleteBuffers(static_cast<GLsizei>(ids.size()), ids.data());
    }

    std::printf("UploadBench: %s, %zu meshes, %zu corners -> %zu buffer vertices (%.2f corners each)\n", argv[1],
                meshes.size(), corners, vertices, vertices ? double(corners) / vertices : 0.0);
    std::printf("%-34s %10s %10s\n", "upload (best of runs)", "CPU ms", "MiB");
    std::printf("%-34s %10.1f %10.2f\n", "buffer manager (shared vertices)", indexed.cpuMs, indexed.bytes / 1048576.0);
    std::printf("%-34s %10.1f %10.2f\n", "one entry per corner (reference)", corner.cpuMs, corner.bytes / 1048576.0);
    loader.DeleteModel(model);
    return 0;
}
