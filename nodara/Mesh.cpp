#include <nodara/Mesh.h>

#include <nodara/Geometry.h>

Mesh::Mesh(const Mesh& other)
    : Object(other),
      vertexArray(other.vertexArray),
      normalArray(other.normalArray),
      texCoordArray(other.texCoordArray),
      geometries(other.geometries),
      boundingVolume(other.boundingVolume),
      ownsGeometries(false) {}

Mesh& Mesh::operator=(const Mesh& other) {
    if (this == &other) return *this;
    if (ownsGeometries && geometries != other.geometries) DeleteGeometries();
    Object::operator=(other);
    vertexArray = other.vertexArray;
    normalArray = other.normalArray;
    texCoordArray = other.texCoordArray;
    geometries = other.geometries;
    boundingVolume = other.boundingVolume;
    ownsGeometries = false;
    return *this;
}

Mesh::~Mesh() {
    if (ownsGeometries) DeleteGeometries();
}

void Mesh::DeleteGeometries() {
    for (Geometry* geometry : geometries) delete geometry;
    geometries.clear();
}

void Mesh::AddGeometry(Geometry* geometry) {
    if (geometry) geometries.push_back(geometry);
}

Geometry* Mesh::GetGeometry(unsigned int index) const {
    return index < geometries.size() ? geometries[index] : nullptr;
}
