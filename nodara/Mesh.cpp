#include <nodara/Mesh.h>

#include <nodara/Geometry.h>

// Out of line, where Geometry is complete: each of these may destroy some.
Mesh::Mesh() = default;
Mesh::Mesh(const Mesh& other) = default;
Mesh& Mesh::operator=(const Mesh& other) = default;
Mesh::~Mesh() = default;

void Mesh::AddGeometry(Geometry* geometry) { geometries.Add(geometry); }
