#include <lumora/OglBufferManager.h>

#include <GL/glew.h>

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

// Creates, unless `id` already names a buffer, a GL_ARRAY_BUFFER holding
// array[indices[j]] for every j: one de-indexed entry per corner.
// `what` names the buffer in the mapping error ("vertexbuffer", ...).
template <typename Entry>
void FillBuffer(unsigned int& id, const std::vector<unsigned int>& indices, const std::vector<Entry>& array,
                const char* what) {
    if (glIsBuffer(id)) return;
    glGenBuffers(1, &id);
    glBindBuffer(GL_ARRAY_BUFFER, id);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(Entry)), nullptr,
                 GL_STATIC_DRAW);
    void* mapped = glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY);
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) std::cout << "Opengl Error: " << GlErrorText(error) << std::endl;
    if (mapped) {
        auto* entries = static_cast<Entry*>(mapped);
        for (std::size_t j = 0; j < indices.size(); ++j) entries[j] = array[indices[j]];
    } else {
        std::cout << "[ERROR] OglRenderer::OglBufferManager: Cannot map " << what << "!" << std::endl;
    }
    glUnmapBuffer(GL_ARRAY_BUFFER);
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
        // Nothing to draw, and a zero-sized buffer cannot be mapped.
        if (geometry->GetVertexIndicesSize() == 0) continue;
        if (!CanDraw(*geometry, mesh)) continue;
        FillBuffer(geometry->GetVertexBindId(), geometry->GetVertexIndices(), mesh.GetVertexArray(),
                   "vertexbuffer");
        FillBuffer(geometry->GetNormalBindId(), geometry->GetNormalIndices(), mesh.GetNormalArray(),
                   "normalbuffer");
        if (geometry->GetTexCoordIndicesSize() != 0)
            FillBuffer(geometry->GetTexCoordBindId(), geometry->GetTexCoordIndices(), mesh.GetTexCoordArray(),
                       "texcoordbuffer");
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void OglBufferManager::Delete(Mesh& mesh) {
    for (unsigned int g = 0; Geometry* geometry = mesh.GetGeometry(g); ++g) {
        for (unsigned int* id : {&geometry->GetVertexBindId(), &geometry->GetNormalBindId(),
                                 &geometry->GetTexCoordBindId()})
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
