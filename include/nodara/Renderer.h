#pragma once
#include <string>

class Culler;
class Font;
class Geometry;
class Model;
class Projection;
class Scene;
class StateManager;
class View;

/// The abstract rendering back end that the scene graph draws through. The
/// scene graph never includes GL; implementations live in the engine.
class Renderer {
public:
    /// How Draw submits geometry.
    enum RenderMode { VertexBufferObjects = 0, Immediate = 1, DisplayLists = 2 };
    /// Face culling.
    enum CullState { CullBack = 0, CullFront = 1, CullNone = 2 };
    enum PolygonMode { Fill = 0, Wireframe = 1 };

    /// Creates fonts and prints text.
    class FontManager {
    public:
        virtual ~FontManager() = default;
        /// The font of typeface `name` with character height `size`; the same
        /// font for the same pair; null when the typeface cannot be created.
        /// The manager owns the fonts.
        virtual Font* Generate(const std::string& name, int size) = 0;
        /// Draws `text` starting at (x, y, 0) in the current coordinates.
        virtual void Print(Font& font, float x, float y, const std::string& text) = 0;
    };

    /// An extra rendering pass over a scene.
    class Pass {
    public:
        virtual ~Pass() = default;
        virtual void Render(const Scene& scene) = 0;
    };

    virtual ~Renderer() = default;

    /// Owned by the renderer and valid as long as it.
    virtual StateManager& GetStateManager() = 0;
    virtual Renderer::FontManager& GetFontManager() = 0;
    virtual Culler& GetCuller() = 0;

    /// Prepares the graphics context; false when it cannot be used.
    virtual bool Initialize() = 0;
    /// Sets up the camera's viewing and runs the cull traversal.
    virtual void CullScene(Scene& scene) = 0;
    /// Clears, sets up viewing and lighting and runs the render traversal.
    virtual void RenderScene(const Scene& scene) = 0;
    /// Creates buffers, display lists and textures for a model and stores
    /// their handles in its id fields.
    virtual void GenerateRessources(Model& model) = 0;
    /// Releases what GenerateRessources created.
    virtual void DeleteRessources(Model& model) = 0;
    /// Draws one geometry in the current render mode.
    virtual void Draw(const Geometry& geometry) = 0;
    virtual void SetViewport(int width, int height) = 0;
    /// Loads the look-at transform of eye, centre and up.
    virtual void SetViewing(const View& view) = 0;
    /// Loads a perspective or orthographic projection by its type.
    virtual void SetProjection(const Projection& projection) = 0;

    virtual Renderer::RenderMode GetRenderMode() const = 0;
    virtual void SetRenderMode(Renderer::RenderMode mode) = 0;
    virtual Renderer::CullState GetCullFace() const = 0;
    virtual void SetCullFace(Renderer::CullState state) = 0;
    virtual Renderer::PolygonMode GetPolygonMode() const = 0;
    virtual void SetPolygonMode(Renderer::PolygonMode mode) = 0;
    virtual bool GetRenderTransparency() const = 0;
    virtual void SetRenderTransparency(bool value) = 0;
};
