#pragma once
// Geometry and textures the GL benchmarks build their scenes from.
#include <GL/glew.h>

#include <vector>

#include <nodara/Geometry.h>
#include <nodara/Image.h>
#include <nodara/Mesh.h>

/// A mesh of one geometry from a function of (u, v) in 0..1 giving position
/// and normal, cut into `across` x `down` quads; texture coordinates run
/// 0..`tiling` along both directions.
template <typename Surface>
Mesh* MakeSurface(int across, int down, float tiling, Surface surface) {
    auto* mesh = new Mesh;
    for (int j = 0; j <= down; ++j)
        for (int i = 0; i <= across; ++i) {
            vmath::vec3<float> position, normal;
            surface(float(i) / across, float(j) / down, position, normal);
            mesh->AddVertex(position);
            mesh->AddNormal(normal);
            mesh->AddTexCoord({tiling * i / across, tiling * j / down});
            mesh->GetBoundingVolume().Expand(position);
        }
    auto* geometry = new Geometry;
    geometry->SetMesh(mesh);
    const unsigned int stride = across + 1;
    for (int j = 0; j < down; ++j)
        for (int i = 0; i < across; ++i) {
            const unsigned int a = j * stride + i;
            for (unsigned int corner : {a, a + 1, a + stride + 1, a, a + stride + 1, a + stride}) {
                geometry->AddVertexIndex(corner);
                geometry->AddNormalIndex(corner);
                geometry->AddTexCoordIndex(corner);
            }
        }
    mesh->AddGeometry(geometry);
    return mesh;
}

/// Uploads a 64 x 64 mipmapped checker of 8-texel squares in two RGB colours
/// and puts its texture name into the image.
inline void MakeChecker(Image& image, const unsigned char light[3], const unsigned char dark[3]) {
    std::vector<unsigned char> texels(64 * 64 * 4);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const unsigned char* colour = ((x / 8) + (y / 8)) % 2 == 0 ? light : dark;
            unsigned char* t = &texels[(y * 64 + x) * 4];
            t[0] = colour[0];
            t[1] = colour[1];
            t[2] = colour[2];
            t[3] = 255;
        }
    glGenTextures(1, &image.GetBindId());
    glBindTexture(GL_TEXTURE_2D, image.GetBindId());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glGenerateMipmapEXT(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
}
