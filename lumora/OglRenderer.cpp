#include <lumora/OglRenderer.h>

#include <GL/glew.h>
#include <GL/glu.h>

#include <iostream>

#include "GlErrorText.h"
#include <lumora/Scene.h>
#include <nodara/Camera.h>
#include <nodara/Geometry.h>
#include <nodara/Image.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/Ortho3d.h>
#include <nodara/Perspective.h>
#include <nodara/View.h>

Logger OglRenderer::logger("OglRenderer");

bool OglRenderer::Initialize() {
    const GLenum status = glewInit();
    if (status != GLEW_OK) {
        std::cout << "[ERROR] OglRenderer: Initializing Glew failed! "
                  << reinterpret_cast<const char*>(glewGetErrorString(status)) << std::endl;
        return false;
    }
    glReady = true;
    const bool version2 = glewIsSupported("GL_VERSION_2_0");
    if (!version2) {
        std::cout << "[WARN] OglRenderer: OpenGL 2.0 not supported!" << std::endl;
    } else if (logger.IsEnabled(Logger::Info)) {
        Logger::Stream(logger, Logger::Info).GetStream() << "Ready for OpenGL 2.0!";
        Logger::Stream(logger, Logger::Info).GetStream()
            << "Glew Version " << reinterpret_cast<const char*>(glewGetString(GLEW_VERSION)) << "!";
    }

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    SetPolygonMode(Fill);
    SetCullFace(CullBack);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glAlphaFunc(GL_GREATER, 0.0f);
    SetRenderTransparency(true);
    // Configured for whoever enables GL_FOG; off by default.
    const GLfloat fogColour[4] = {0.95f, 0.95f, 1.0f, 1.0f};
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, fogColour);
    glFogf(GL_FOG_START, 1.0f);
    glFogf(GL_FOG_END, 5000.0f);
    glHint(GL_FOG_HINT, GL_NICEST);
    return version2;
}

void OglRenderer::SetViewport(int width, int height) { glViewport(0, 0, width, height == 0 ? 1 : height); }

void OglRenderer::SetViewing(const View& view) {
    const vmath::vec3<double>& eye = view.GetEye();
    const vmath::vec3<double>& center = view.GetCenter();
    const vmath::vec3<double>& up = view.GetUp();
    gluLookAt(eye.x, eye.y, eye.z, center.x, center.y, center.z, up.x, up.y, up.z);
}

void OglRenderer::SetProjection(const Projection& projection) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (projection.GetType() == Projection::PERSPECTIVE) {
        const auto& p = static_cast<const Perspective&>(projection);
        gluPerspective(p.GetFOV(), p.GetAspect(), p.GetNearPlane(), p.GetFarPlane());
    } else if (projection.GetType() == Projection::ORTHO3D) {
        const auto& o = static_cast<const Ortho3d&>(projection);
        glOrtho(o.GetLeft(), o.GetRight(), o.GetBottom(), o.GetTop(), o.GetNearPlane(), o.GetFarPlane());
    }
    glMatrixMode(GL_MODELVIEW);
}

void OglRenderer::SetCullFace(Renderer::CullState state) {
    cullState = state;
    switch (state) {
    case CullBack:
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
        break;
    case CullFront:
        glCullFace(GL_FRONT);
        glEnable(GL_CULL_FACE);
        break;
    case CullNone:
        glDisable(GL_CULL_FACE);
        break;
    }
}

void OglRenderer::SetPolygonMode(Renderer::PolygonMode mode) {
    polygonMode = mode;
    if (mode != Fill && mode != Wireframe) return;
    const GLenum glMode = mode == Fill ? GL_FILL : GL_LINE;
    glPolygonMode(GL_FRONT, glMode);
    glPolygonMode(GL_BACK, glMode);
}

void OglRenderer::SetRenderTransparency(bool value) {
    renderTransparency = value;
    if (value) {
        glEnable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
    } else {
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
    }
}

void OglRenderer::CullScene(Scene& scene) {
    if (!glReady) return;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    SetViewing(scene.GetCamera().GetView());
    scene.Cull(*this);
}

void OglRenderer::RenderScene(const Scene& scene) {
    if (!glReady) return;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    SetViewing(scene.GetCamera().GetView());
    stateManager.SetLightTransform(scene.GetLight());
    scene.Render(*this);
    CheckError();
}

void OglRenderer::GenerateRessources(Model& model) {
    if (!glReady) return;
    for (unsigned int m = 0; Mesh* mesh = model.GetMesh(m); ++m) GenerateRessources(*mesh);
    SetRenderMode(VertexBufferObjects);
    for (unsigned int i = 0; Image* image = model.GetImage(i); ++i) bufferManager.Generate(*image);
}

void OglRenderer::GenerateRessources(Mesh& mesh) {
    if (!glReady) return;
    bufferManager.Generate(mesh);
    // Display lists record the immediate path.
    const RenderMode mode = renderMode;
    SetRenderMode(Immediate);
    for (unsigned int g = 0; Geometry* geometry = mesh.GetGeometry(g); ++g)
        bufferManager.GenerateDisplayLists(*geometry, *this);
    SetRenderMode(mode);
}

void OglRenderer::DeleteRessources(Model& model) {
    if (!glReady) return;
    for (unsigned int m = 0; Mesh* mesh = model.GetMesh(m); ++m) DeleteRessources(*mesh);
    for (unsigned int i = 0; Image* image = model.GetImage(i); ++i) bufferManager.Delete(*image);
}

void OglRenderer::DeleteRessources(Mesh& mesh) {
    if (!glReady) return;
    for (unsigned int g = 0; Geometry* geometry = mesh.GetGeometry(g); ++g) {
        bufferManager.DeleteDisplayLists(*geometry);
        bufferManager.Forget(*geometry);
    }
    bufferManager.Delete(mesh);
}

void OglRenderer::Draw(const Geometry& geometry) {
    if (!glReady) return;
    switch (renderMode) {
    case VertexBufferObjects:
        DrawVertexBufferObject(geometry);
        break;
    case Immediate:
        DrawVertices(geometry);
        break;
    case DisplayLists:
        DrawDisplayList(geometry);
        break;
    }
}

void OglRenderer::DrawVertices(const Geometry& geometry) {
    const Mesh* mesh = geometry.GetMesh();
    if (!mesh) return;
    if (!bufferManager.CanDraw(geometry, *mesh)) return;
    const bool withTexCoords = geometry.GetTexCoordBindId() != 0;
    const auto& vertices = mesh->GetVertexArray();
    const auto& normals = mesh->GetNormalArray();
    const auto& texCoords = mesh->GetTexCoordArray();
    const auto& vertexIndices = geometry.GetVertexIndices();
    const auto& normalIndices = geometry.GetNormalIndices();
    const auto& texCoordIndices = geometry.GetTexCoordIndices();
    glBegin(GL_TRIANGLES);
    for (std::size_t i = 0; i < vertexIndices.size(); ++i) {
        if (withTexCoords) glMultiTexCoord2fv(GL_TEXTURE2, texCoords[texCoordIndices[i]].ptr());
        glNormal3fv(normals[normalIndices[i]].ptr());
        glVertex3fv(vertices[vertexIndices[i]].ptr());
    }
    glEnd();
}

void OglRenderer::DrawDisplayList(const Geometry& geometry) { glCallList(geometry.GetDisplayListId()); }

void OglRenderer::DrawVertexBufferObject(const Geometry& geometry) {
    // WARNING: with buffer 0 bound, the pointers below would be read as client
    // memory at address 0. The buffer manager leaves ids at 0 for geometry it
    // refused, so such geometry is skipped here.
    const unsigned int vertices = geometry.GetBufferVertexCount();
    if (geometry.GetVertexBindId() == 0 || geometry.GetNormalBindId() == 0 || geometry.GetElementBindId() == 0 ||
        vertices == 0)
        return;
    const bool withTexCoords = geometry.GetTexCoordBindId() != 0;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    if (withTexCoords) {
        glClientActiveTexture(GL_TEXTURE2);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glBindBuffer(GL_ARRAY_BUFFER, geometry.GetTexCoordBindId());
        glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
    }
    glBindBuffer(GL_ARRAY_BUFFER, geometry.GetNormalBindId());
    glNormalPointer(GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, geometry.GetVertexBindId());
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, geometry.GetElementBindId());
    // The range spares the driver a scan of the indices for their bounds.
    glDrawRangeElements(GL_TRIANGLES, 0, vertices - 1,
                        static_cast<GLsizei>(geometry.GetVertexIndicesSize() / 3 * 3),
                        OglBufferManager::ElementType(vertices), nullptr);
    // Unbound, so that others' glDrawElements read client-side indices again.
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    if (withTexCoords) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void OglRenderer::CheckError() {
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR && logger.IsEnabled(Logger::Warn))
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "OpenGL Error " << GlErrorText(error);
}
