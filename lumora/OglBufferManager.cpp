#include <lumora/OglBufferManager.h>

#include <GL/glew.h>
#include <meshoptimizer.h>

#include <iostream>
#include <string>
#include <vector>

#include <lumora/ImageLoader.h>
#include <lumora/OglRenderer.h>
#include <nodara/Geometry.h>
#include <nodara/Image.h>
#include <nodara/Logger.h>
#include <nodara/Mesh.h>

#include "GlErrorText.h"

namespace {

// Creates, unless `id` already names a buffer, a buffer of `count` entries at
// `target` and lets `fill` write them through a mapping, so no copy of the
// data is held in client memory. `what` names the buffer in the mapping error
// ("vertexbuffer", ...).
template <typename Entry, typename Fill>
void FillBuffer(GLenum target, unsigned int& id, std::size_t count, const char* what, Fill fill) {
    if (glIsBuffer(id)) return;
    glGenBuffers(1, &id);
    glBindBuffer(target, id);
    glBufferData(target, static_cast<GLsizeiptr>(count * sizeof(Entry)), nullptr, GL_STATIC_DRAW);
    void* mapped = glMapBuffer(target, GL_WRITE_ONLY);
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) std::cout << "Opengl Error: " << GlErrorText(error) << std::endl;
    if (mapped)
        fill(static_cast<Entry*>(mapped));
    else
        std::cout << "[ERROR] OglRenderer::OglBufferManager: Cannot map " << what << "!" << std::endl;
    glUnmapBuffer(target);
}

// A geometry's corners as shared vertices: each distinct (vertex, normal,
// texture-coordinate) index triple becomes one vertex, so that the fixed
// function pipeline lights it once rather than once per corner.
struct SharedCorners {
    // Per shared vertex, in buffer order: its index into each mesh array.
    std::vector<unsigned int> vertex, normal, texCoord;
    // Per corner (whole triangles only): its shared vertex, with the
    // triangles reordered for a small post-transform cache.
    std::vector<unsigned int> elements;
};

SharedCorners ShareCorners(const Geometry& geometry, std::size_t corners, bool withTexCoords) {
    // The index lists themselves are the vertex streams: equal triples are
    // equal corners, without de-indexing the mesh arrays.
    const meshopt_Stream streams[3] = {
        {geometry.GetVertexIndices().data(), sizeof(unsigned int), sizeof(unsigned int)},
        {geometry.GetNormalIndices().data(), sizeof(unsigned int), sizeof(unsigned int)},
        {geometry.GetTexCoordIndices().data(), sizeof(unsigned int), sizeof(unsigned int)}};
    SharedCorners shared;
    std::vector<unsigned int> remap(corners);
    const std::size_t unique =
        meshopt_generateVertexRemapMulti(remap.data(), nullptr, corners, corners, streams, withTexCoords ? 3 : 2);
    std::vector<unsigned int> firstVertex(unique), firstNormal(unique), firstTexCoord;
    meshopt_remapVertexBuffer(firstVertex.data(), streams[0].data, corners, sizeof(unsigned int), remap.data());
    meshopt_remapVertexBuffer(firstNormal.data(), streams[1].data, corners, sizeof(unsigned int), remap.data());
    if (withTexCoords) {
        firstTexCoord.resize(unique);
        meshopt_remapVertexBuffer(firstTexCoord.data(), streams[2].data, corners, sizeof(unsigned int),
                                  remap.data());
    }
    // Unindexed input: the remap is the element list.
    shared.elements = std::move(remap);
    meshopt_optimizeVertexCache(shared.elements.data(), shared.elements.data(), corners, unique);
    // Vertices in the order the triangles first use them, for fetch locality.
    std::vector<unsigned int> order(unique);
    meshopt_optimizeVertexFetchRemap(order.data(), shared.elements.data(), corners, unique);
    meshopt_remapIndexBuffer(shared.elements.data(), shared.elements.data(), corners, order.data());
    const auto reorder = [&order, unique](const std::vector<unsigned int>& first, std::vector<unsigned int>& out) {
        if (first.empty()) return;
        out.resize(unique);
        for (std::size_t v = 0; v < unique; ++v) out[order[v]] = first[v];
    };
    reorder(firstVertex, shared.vertex);
    reorder(firstNormal, shared.normal);
    reorder(firstTexCoord, shared.texCoord);
    return shared;
}

// Fills a vertex buffer with array[indices[v]] for every shared vertex v.
template <typename Entry>
void FillArrayBuffer(unsigned int& id, const std::vector<unsigned int>& indices, const std::vector<Entry>& array,
                     const char* what) {
    FillBuffer<Entry>(GL_ARRAY_BUFFER, id, indices.size(), what, [&](Entry* entries) {
        for (std::size_t v = 0; v < indices.size(); ++v) entries[v] = array[indices[v]];
    });
}

template <typename Index>
void FillElementBuffer(unsigned int& id, const std::vector<unsigned int>& elements) {
    FillBuffer<Index>(GL_ELEMENT_ARRAY_BUFFER, id, elements.size(), "elementbuffer", [&](Index* entries) {
        for (std::size_t i = 0; i < elements.size(); ++i) entries[i] = static_cast<Index>(elements[i]);
    });
}

// Why drawing `count` corners through `indices` would read outside `size`
// array entries; empty when it would not.
std::string IndexFault(const std::vector<unsigned int>& indices, std::size_t count, std::size_t size,
                       const char* list, const char* entries) {
    if (indices.size() < count)
        return std::string(list) + " index list shorter than the vertex index list (" +
               std::to_string(indices.size()) + " < " + std::to_string(count) + ")";
    for (std::size_t i = 0; i < count; ++i)
        if (indices[i] >= size)
            return std::string(list) + " index " + std::to_string(indices[i]) + " outside " +
                   std::to_string(size) + " " + entries;
    return std::string();
}

}  // namespace

bool OglBufferManager::CanDraw(const Geometry& geometry, const Mesh& mesh) {
    const std::size_t count = geometry.GetVertexIndicesSize();
    // Checked even where a path would skip them (no buffer yet), so that a
    // broken geometry is left out by all three paths alike.
    const bool withTexCoords = geometry.GetTexCoordIndicesSize() != 0 || geometry.GetTexCoordBindId() != 0;
    std::string fault = IndexFault(geometry.GetVertexIndices(), count, mesh.GetVertexArraySize(), "vertex",
                                   "vertices");
    if (fault.empty())
        fault = IndexFault(geometry.GetNormalIndices(), count, mesh.GetNormalArraySize(), "normal", "normals");
    if (fault.empty() && withTexCoords)
        fault = IndexFault(geometry.GetTexCoordIndices(), count, mesh.GetTexCoordArraySize(),
                           "texture-coordinate", "texture coordinates");
    if (fault.empty()) return true;
    if (reported.insert(&geometry).second)
        std::cout << "[ERROR] OglRenderer::OglBufferManager: Geometry '" << geometry.GetName()
                  << "' not drawn: " << fault << "!" << std::endl;
    return false;
}

void OglBufferManager::Generate(Mesh& mesh) {
    for (unsigned int g = 0; Geometry* geometry = mesh.GetGeometry(g); ++g) {
        // Whole triangles only; with none there is nothing to draw, and a
        // zero-sized buffer cannot be mapped.
        const std::size_t corners = geometry->GetVertexIndicesSize() / 3 * 3;
        if (corners == 0) continue;
        if (!CanDraw(*geometry, mesh)) continue;
        const bool withTexCoords = geometry->GetTexCoordIndicesSize() != 0;
        if (glIsBuffer(geometry->GetVertexBindId()) && glIsBuffer(geometry->GetNormalBindId()) &&
            glIsBuffer(geometry->GetElementBindId()) && (!withTexCoords || glIsBuffer(geometry->GetTexCoordBindId())))
            continue;
        // Held only while this geometry uploads.
        const SharedCorners shared = ShareCorners(*geometry, corners, withTexCoords);
        const auto vertices = static_cast<unsigned int>(shared.vertex.size());
        FillArrayBuffer(geometry->GetVertexBindId(), shared.vertex, mesh.GetVertexArray(), "vertexbuffer");
        FillArrayBuffer(geometry->GetNormalBindId(), shared.normal, mesh.GetNormalArray(), "normalbuffer");
        if (withTexCoords)
            FillArrayBuffer(geometry->GetTexCoordBindId(), shared.texCoord, mesh.GetTexCoordArray(),
                            "texcoordbuffer");
        if (ElementType(vertices) == GL_UNSIGNED_SHORT)
            FillElementBuffer<GLushort>(geometry->GetElementBindId(), shared.elements);
        else
            FillElementBuffer<GLuint>(geometry->GetElementBindId(), shared.elements);
        geometry->SetBufferVertexCount(vertices);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

unsigned int OglBufferManager::ElementType(unsigned int bufferVertexCount) {
    return bufferVertexCount <= 65536 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
}

void OglBufferManager::Delete(Mesh& mesh) {
    for (unsigned int g = 0; Geometry* geometry = mesh.GetGeometry(g); ++g) {
        for (unsigned int* id : {&geometry->GetVertexBindId(), &geometry->GetNormalBindId(),
                                 &geometry->GetTexCoordBindId(), &geometry->GetElementBindId()})
            if (glIsBuffer(*id)) glDeleteBuffers(1, id);
    }
}

void OglBufferManager::Generate(Image& image) {
    ImageLoader& loader = Singleton<ImageLoader>::Instance();
    ImageLoader::ImageFile* file = loader.LoadImageFile(image.GetFilename());
    if (!file) {
        std::cout << "[ERROR] OglRenderer::OglBufferManager: Cannot load image " << image.GetFilename()
                  << std::endl;
        return;
    }
    // A direct line rather than a logger's, but an informative one: it keeps
    // to the process's threshold like every logger.
    if (Logger::GetProcessLevel() <= Logger::Info)
        std::cout << "[INFO] OglRenderer::OglBufferManager: Generate texture " << image.GetFilename() << std::endl;
    if (!glIsTexture(image.GetBindId())) {
        glGenTextures(1, &image.GetBindId());
        glBindTexture(GL_TEXTURE_2D, image.GetBindId());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        // 32-bit rows need no more than 4-byte alignment; someone may have set more.
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(GL_TEXTURE_2D, 0, 4, static_cast<GLsizei>(file->GetWidth()),
                     static_cast<GLsizei>(file->GetHeight()), 0, GL_BGRA, GL_UNSIGNED_BYTE, file->GetPixelData());
        glPopClientAttrib();
        glGenerateMipmapEXT(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    loader.UnLoadImageFile(file);
}

void OglBufferManager::Delete(Image& image) {
    if (glIsTexture(image.GetBindId())) glDeleteTextures(1, &image.GetBindId());
}

void OglBufferManager::GenerateDisplayLists(Geometry& geometry, OglRenderer& renderer) {
    if (glIsList(geometry.GetDisplayListId())) return;
    geometry.SetDisplayListId(glGenLists(1));
    glNewList(geometry.GetDisplayListId(), GL_COMPILE);
    geometry.Render(renderer);
    glEndList();
}

void OglBufferManager::DeleteDisplayLists(Geometry& geometry) {
    if (glIsList(geometry.GetDisplayListId())) glDeleteLists(geometry.GetDisplayListId(), 1);
}
