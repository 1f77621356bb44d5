#pragma once
#include <nodara/Logger.h>
#include <nodara/Renderer.h>

#include <lumora/OglBufferManager.h>
#include <lumora/OglCuller.h>
#include <lumora/OglFontManager.h>
#include <lumora/OglShaderManager.h>
#include <lumora/OglStateManager.h>

/// The OpenGL 2.0 back end: owns the engine's managers and culler, brings up
/// GLEW and the fixed GL state, keeps the four render options and draws each
/// geometry by immediate mode, display lists or vertex buffer objects.
///
/// Vertex texture coordinates always go to texture unit 2, where the state
/// manager binds a material's first texture.
///
/// Until Initialize has brought up GLEW, the operations that need GL entry
/// points beyond OpenGL 1.1 (culling, rendering, drawing, resources) do nothing.
class OglRenderer : public Renderer {
public:
    /// No GL call: the context may not exist yet.
    OglRenderer() = default;
    OglRenderer(const OglRenderer&) = default;
    OglRenderer& operator=(const OglRenderer&) = default;
    ~OglRenderer() override = default;

    OglStateManager& GetStateManager() override { return stateManager; }
    OglFontManager& GetFontManager() override { return fontManager; }
    OglCuller& GetCuller() override { return culler; }

    /// Initialises GLEW on the current context and sets the start state.
    /// @return false when GLEW fails (no GL state set) or OpenGL 2.0 is missing.
    bool Initialize() override;
    /// Loads the camera's view into the model-view matrix and culls the scene.
    void CullScene(Scene& scene) override;
    /// Clears, loads the camera's view, places the light and draws the scene.
    void RenderScene(const Scene& scene) override;
    /// Vertex buffers and display lists for every mesh, textures for every
    /// image. Leaves the render mode at VertexBufferObjects.
    void GenerateRessources(Model& model) override;
    /// Deletes what GenerateRessources made; the render mode is kept.
    void DeleteRessources(Model& model) override;
    /// Vertex buffers and display lists of one mesh, for a mesh made or
    /// changed after its model was loaded. The render mode is kept.
    void GenerateRessources(Mesh& mesh);
    /// Deletes the buffers and display lists of one mesh.
    void DeleteRessources(Mesh& mesh);
    /// Draws by the current render mode. A geometry whose indices would read
    /// outside its mesh arrays is reported once and not drawn.
    void Draw(const Geometry& geometry) override;
    /// A height of 0 counts as 1.
    void SetViewport(int width, int height) override;
    /// gluLookAt onto the current matrix.
    void SetViewing(const View& view) override;
    /// Loads the projection and leaves GL_MODELVIEW selected.
    void SetProjection(const Projection& projection) override;

    Renderer::RenderMode GetRenderMode() const override { return renderMode; }
    void SetRenderMode(Renderer::RenderMode mode) override { renderMode = mode; }
    Renderer::CullState GetCullFace() const override { return cullState; }
    /// Stores the value; CullNone disables face culling.
    void SetCullFace(Renderer::CullState state) override;
    Renderer::PolygonMode GetPolygonMode() const override { return polygonMode; }
    /// Stores the value; an unknown one leaves GL unchanged.
    void SetPolygonMode(Renderer::PolygonMode mode) override;
    bool GetRenderTransparency() const override { return renderTransparency; }
    /// Blending and the alpha test together: with it off, alpha is ignored.
    void SetRenderTransparency(bool value) override;

    OglShaderManager& GetShaderManager() { return shaderManager; }
    /// Reads one pending GL error and logs it at Warn.
    void CheckError();

    static Logger logger;  ///< "OglRenderer"

private:
    void DrawVertices(const Geometry& geometry);
    void DrawDisplayList(const Geometry& geometry);
    void DrawVertexBufferObject(const Geometry& geometry);

    Renderer::RenderMode renderMode = VertexBufferObjects;
    Renderer::CullState cullState = CullBack;
    Renderer::PolygonMode polygonMode = Fill;
    bool renderTransparency = true;
    OglBufferManager bufferManager;
    OglStateManager stateManager;
    OglFontManager fontManager;
    OglShaderManager shaderManager;
    OglCuller culler;
    bool glReady = false;  ///< GLEW's entry points are loaded
};
