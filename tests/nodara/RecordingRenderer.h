#pragma once
// A renderer that draws nothing and records every call the scene graph makes,
// so traversal order and push/pop nesting can be checked without a window.
#include <string>
#include <vector>

#include <nodara/Culler.h>
#include <nodara/Font.h>
#include <nodara/Renderer.h>
#include <nodara/StateManager.h>

class RecordingRenderer;

class RecordingStateManager : public StateManager {
public:
    explicit RecordingStateManager(std::vector<std::string>& log) : log(log) {}
    TextureFilter GetTextureFilter() const override { return filter; }
    void SetTextureFilter(TextureFilter f) override { filter = f; }
    AnisotropicFilter GetAnisotropicFilter() const override { return anisotropic; }
    void SetAnisotropicFilter(AnisotropicFilter f) override { anisotropic = f; }
    void Push(const Transform& transform) override;
    void Push(const Material& material) override;
    void Pop(const Transform& transform) override;
    void Pop(const Material& material) override;
    void InitializeLighting(const Light&) override { log.push_back("lighting"); }
    void SetLightTransform(const Light&) override { log.push_back("light transform"); }

    int depth = 0;  ///< current push nesting; never negative in a sound traversal
    int maxDepth = 0;

private:
    std::vector<std::string>& log;
    TextureFilter filter = Nearest;
    AnisotropicFilter anisotropic = AnisotropicOff;
};

/// Culls every group whose name is in `culledNames`; records each decision.
class RecordingCuller : public Culler {
public:
    explicit RecordingCuller(std::vector<std::string>& log) : log(log) {}
    void Cull(GroupNode& group) override;

    std::vector<std::string> culledNames;

private:
    std::vector<std::string>& log;
};

class RecordingFontManager : public Renderer::FontManager {
public:
    Font* Generate(const std::string&, int) override { return nullptr; }
    void Print(Font&, float, float, const std::string&) override {}
};

class RecordingRenderer : public Renderer {
public:
    RecordingRenderer() : stateManager(log), culler(log) {}

    StateManager& GetStateManager() override { return stateManager; }
    FontManager& GetFontManager() override { return fontManager; }
    Culler& GetCuller() override { return culler; }
    bool Initialize() override { return true; }
    void CullScene(Scene&) override {}
    void RenderScene(const Scene&) override {}
    void GenerateRessources(Model&) override {}
    void DeleteRessources(Model&) override {}
    void Draw(const Geometry& geometry) override;
    void SetViewport(int, int) override {}
    void SetViewing(const View&) override {}
    void SetProjection(const Projection&) override {}
    RenderMode GetRenderMode() const override { return VertexBufferObjects; }
    void SetRenderMode(RenderMode) override {}
    CullState GetCullFace() const override { return CullBack; }
    void SetCullFace(CullState) override {}
    PolygonMode GetPolygonMode() const override { return Fill; }
    void SetPolygonMode(PolygonMode) override {}
    bool GetRenderTransparency() const override { return false; }
    void SetRenderTransparency(bool) override {}

    std::vector<std::string> log;
    RecordingStateManager stateManager;
    RecordingCuller culler;
    RecordingFontManager fontManager;
};
