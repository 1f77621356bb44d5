#pragma once
// Helpers shared by the plug-in's tests: temporary documents, loading with
// the log captured, and a check that a model is safe to draw.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <nodara/Model.h>
#include <nodara/Node.h>

/// A temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& GetPath() const { return path; }
    /// Writes `content` to `name` (folders made as needed); returns the full path.
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::string path;
};

/// A loaded model and the log lines its load wrote.
struct LoadResult {
    std::unique_ptr<Model> model;
    std::vector<std::string> lines;

    /// How many log lines contain `text`.
    std::size_t Count(const std::string& text) const;
    /// The whole log, for failure messages.
    std::string Log() const;
};

/// Loads `fileName` with a fresh ColladaModelLoader, capturing standard output.
LoadResult LoadCapturing(const std::string& fileName);

/// A COLLADA 1.4.1 document around the given libraries and visual scene
/// content; the visual scene's id is "Scene".
std::string Document(const std::string& libraries, const std::string& sceneNodes);

/// A <geometry> holding a mesh with the given positions (x y z ...) and a
/// primitive element written as is (its inputs refer to "#<id>-vertices").
std::string MeshGeometry(const std::string& id, const std::string& positions, const std::string& primitive);

/// Fails the test unless every index of every geometry lies inside its mesh's
/// arrays, the lists are as long as the draw paths read them, and every node
/// refers to objects the model owns.
void ExpectSafeToDraw(const Model& model);

/// Total triangles over the model's meshes.
std::size_t CountTriangles(const Model& model);
/// Total position elements over the model's meshes.
std::size_t CountVertices(const Model& model);

/// The group nodes' names in depth-first order (mesh, state and drawable
/// nodes left out).
std::vector<std::string> GroupNames(const Model& model);

/// Depth-first search by name below (and including) `node`.
Node* Find(Node* node, const std::string& name);
