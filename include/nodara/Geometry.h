#pragma once
#include <utility>
#include <vector>

#include <nodara/Drawable.h>

class Mesh;

/// An indexed triangle list into its mesh's arrays: corner i of the list uses
/// vertex, normal and (when present) texture-coordinate index i; three
/// consecutive corners make one triangle. The bind and list ids are the
/// renderer's handles for it, 0 meaning none. A renderer may keep the corners
/// as shared vertices plus an element list; the buffer vertex count says how
/// many vertices its buffers hold.
class Geometry : public Drawable {
public:
    Geometry() = default;

    /// Asks the renderer to draw this geometry in its current render mode.
    void Render(Renderer& renderer) const override;

    void AddVertexIndex(const unsigned int& index) { vertexIndices.push_back(index); }
    void AddNormalIndex(const unsigned int& index) { normalIndices.push_back(index); }
    void AddTexCoordIndex(const unsigned int& index) { texCoordIndices.push_back(index); }

    void SetVertexIndices(const std::vector<unsigned int>& value) { vertexIndices = value; }
    void SetNormalIndices(const std::vector<unsigned int>& value) { normalIndices = value; }
    void SetTexCoordIndices(const std::vector<unsigned int>& value) { texCoordIndices = value; }
    /// Move forms, so a loader hands over large lists without a copy.
    void SetVertexIndices(std::vector<unsigned int>&& value) { vertexIndices = std::move(value); }
    void SetNormalIndices(std::vector<unsigned int>&& value) { normalIndices = std::move(value); }
    void SetTexCoordIndices(std::vector<unsigned int>&& value) { texCoordIndices = std::move(value); }
    const std::vector<unsigned int>& GetVertexIndices() const { return vertexIndices; }
    const std::vector<unsigned int>& GetNormalIndices() const { return normalIndices; }
    const std::vector<unsigned int>& GetTexCoordIndices() const { return texCoordIndices; }
    unsigned int GetVertexIndicesSize() const { return static_cast<unsigned int>(vertexIndices.size()); }
    unsigned int GetNormalIndicesSize() const { return static_cast<unsigned int>(normalIndices.size()); }
    unsigned int GetTexCoordIndicesSize() const { return static_cast<unsigned int>(texCoordIndices.size()); }

    /// The reference forms let the renderer store new buffer handles.
    unsigned int& GetVertexBindId() { return vertexBindId; }
    unsigned int GetVertexBindId() const { return vertexBindId; }
    unsigned int& GetNormalBindId() { return normalBindId; }
    unsigned int GetNormalBindId() const { return normalBindId; }
    unsigned int& GetTexCoordBindId() { return texCoordBindId; }
    unsigned int GetTexCoordBindId() const { return texCoordBindId; }
    unsigned int& GetElementBindId() { return elementBindId; }
    unsigned int GetElementBindId() const { return elementBindId; }
    void SetBufferVertexCount(unsigned int count) { bufferVertexCount = count; }
    unsigned int GetBufferVertexCount() const { return bufferVertexCount; }

    void SetDisplayListId(unsigned int id) { displayListId = id; }
    unsigned int GetDisplayListId() const { return displayListId; }

    /// The mesh whose arrays the indices refer to (not owned); null ignored.
    void SetMesh(Mesh* value);
    const Mesh* GetMesh() const { return mesh; }

private:
    unsigned int vertexBindId = 0;
    unsigned int normalBindId = 0;
    unsigned int texCoordBindId = 0;
    unsigned int elementBindId = 0;
    unsigned int bufferVertexCount = 0;
    unsigned int displayListId = 0;
    Mesh* mesh = nullptr;
    std::vector<unsigned int> vertexIndices;
    std::vector<unsigned int> normalIndices;
    std::vector<unsigned int> texCoordIndices;
};
