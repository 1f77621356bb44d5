#pragma once
#include <string>
#include <vector>

#include <lumora/Scene.h>
#include <nodara/Renderer.h>

class Camera;
class Model;

/// The graphics engine's front door: owns the OpenGL renderer, the scene,
/// the render passes and the models loaded through it.
///
/// Lifecycle: construct (no GL), Initialize with a current context, load
/// models and add passes, then per frame CullScene and RenderScene. Destroy
/// it while the context is still current: it deletes its passes, models and
/// their GL objects, then the renderer.
class Lumora {
public:
    /// Creates the renderer; no GL call.
    Lumora();
    ~Lumora();
    Lumora(const Lumora&) = delete;
    Lumora& operator=(const Lumora&) = delete;

    /// Initialises the renderer and, only if that succeeded, the scene's lighting.
    /// @return true when both succeeded; the renderer prints why it failed.
    bool Initialize();

    Renderer* GetRenderer() { return renderer; }
    Scene& GetScene() { return scene; }
    Camera& GetCamera() { return scene.GetCamera(); }

    /// Takes ownership of `pass` (made with new); a pass already added is
    /// ignored. With passes,
    /// RenderScene runs them instead of the renderer's own RenderScene.
    void AddPass(const Renderer::Pass& pass);

    /// Loads a model through the plug-in, generates its GL resources and
    /// hangs its node under the scene's root.
    /// @return the model (owned by the engine), or null when no loader reads the file.
    Model* LoadModel(const std::string& filename);
    /// Takes the model out of the scene, deletes its GL resources and
    /// destroys it; null is ignored. The pointer is invalid afterwards.
    void UnLoadModel(Model* model);

    /// The renderer's cull traversal with the scene's camera.
    void CullScene();
    /// One frame: the passes in the order added, or the renderer's RenderScene.
    void RenderScene() const;

private:
    void DeleteModel(Model* model);

    Renderer* renderer;
    Scene scene;
    std::vector<Renderer::Pass*> passes;
    std::vector<Model*> models;
};
