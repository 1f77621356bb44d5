#pragma once
#include <initializer_list>
#include <utility>
#include <vector>

#include <nodara/Logger.h>
#include <nodara/Perspective.h>
#include <nodara/Renderer.h>
#include <lumora/OglShaderManager.h>
#include "vmath/vec3.h"

class GroupNode;
class OglRenderer;
class OglShadowedPicture;
class Scene;

/// A whole frame with the engine's effects: a shadow map drawn from the
/// scene's light, one face per frame of a cube environment map centred on
/// the reflective object, and the group nodes it was given drawn with the
/// fixed-function pipeline, per-pixel lighting, shadow mapping and a blended
/// reflection pass. It draws only its groups, never the scene's root node.
///
/// Lifecycle: construct (no GL), Initialize with a current context after the
/// renderer's Initialize, AddGroup, then hand it to Lumora::AddPass, which
/// owns and deletes it while the context is still current.
///
/// Texture units: unit 0 holds the shadow map with the shadow texture matrix
/// (kept after a frame), unit 1 the environment map while reflections draw.
class OglEffectPass : public Renderer::Pass {
public:
    /// What the Shadows groups' pixels take for the light they see.
    enum LightVisibility {
        Mapped = 0,      ///< what the shadow map shows
        Everywhere = 1,  ///< the light, wherever a surface faces it (no map drawn)
        Nowhere = 2      ///< none of it (no map drawn)
    };
    /// Which list a group goes into, and so how it is drawn.
    enum Effect {
        Standard = 0,          ///< fixed function in the main view and in the environment map
        PerPixelLighting = 1,  ///< Lighting program, only in frames without Shadows groups
        Shadows = 2,           ///< into the shadow map, then with the ShadowMapping program
        Environment = 3,       ///< only into the environment map
        Reflections = 4        ///< blended reflection pass; the first one centres the map
    };

    /// Keeps `renderer` for its managers and settings; no GL call.
    explicit OglEffectPass(OglRenderer& renderer);
    OglEffectPass(const OglEffectPass&) = delete;
    OglEffectPass& operator=(const OglEffectPass&) = delete;
    /// Deletes the maps and frame buffers GL still knows. Needs the context current.
    ~OglEffectPass() override;

    /// Makes the shadow map, the environment map and their frame buffers,
    /// builds the shader programs and takes the light's projection. Call it
    /// after the renderer's Initialize; a second call deletes the maps, frame
    /// buffers and programs of the first and makes them anew, at the sizes
    /// set now.
    /// @param lightProjection the projection the shadow map is drawn with
    /// @return false when a frame buffer is incomplete (that map's sub-pass
    ///         is then skipped every frame) or a program failed to build.
    bool Initialize(const Perspective& lightProjection);

    /// Appends `group` (not owned) to the list of `effect`; a group may be in
    /// several lists. An effect outside the enumeration is ignored.
    void AddGroup(OglEffectPass::Effect effect, const GroupNode& group);
    /// Takes `group` out of the list of `effect`, as if never added there.
    /// @return whether it was in the list
    bool RemoveGroup(OglEffectPass::Effect effect, const GroupNode& group);
    /// Has the environment map's faces draw `coarse` (not owned) in place of
    /// `fine` where `fine` lies wholly beyond the stand-in distance, and the
    /// shadow map leave `coarse` out: both groups lie below the pass's
    /// groups, and the main view draws whichever the camera's cull traversal
    /// left in. A reflection shows the far scenery a few texels at a time, so
    /// a copy with fewer triangles looks the same there.
    void AddStandIn(const GroupNode& fine, const GroupNode& coarse);
    /// Depth (m) along a face's axis from the map's centre beyond which the
    /// faces draw the coarse copies; 0: everywhere. Within it the ground a
    /// car stands on is reflected as it is drawn.
    float GetStandInDistance() const { return standInDistance; }
    void SetStandInDistance(float distanceM) { standInDistance = distanceM; }

    /// Draws one frame: shadow map, one environment face (all six in the
    /// first frame after Initialize made the map), the main view and
    /// the reflections, with the viewport and projection the game set. Gives
    /// back the renderer's cull state and transparency flag, the frame buffer
    /// bound when it began (the window's or an off-screen one), and the culled
    /// flags the camera's cull traversal left on the groups. Draws nothing
    /// until Initialize has found OpenGL 2.0 with frame-buffer objects.
    void Render(const Scene& scene) override;

    /// Texels across the shadow map (2048); a new value takes effect at Initialize.
    unsigned int GetShadowMapSize() const { return shadowMapSize; }
    void SetShadowMapSize(unsigned int texels) { shadowMapSize = texels; }
    /// Texels across each environment face (512); a new value takes effect at Initialize.
    unsigned int GetEnvironmentMapSize() const { return environmentMapSize; }
    void SetEnvironmentMapSize(unsigned int texels) { environmentMapSize = texels; }

    /// A Reflections group whose bounding box covers fewer pixels than this
    /// on screen (a far car) is left out of the reflection pass: its second
    /// pass would cost its vertices for a reflection a few pixels wide. 0
    /// (the default) reflects every group in view; a group without a box is
    /// always reflected.
    unsigned int GetMinReflectionPixels() const { return minReflectionPixels; }
    void SetMinReflectionPixels(unsigned int pixels) { minReflectionPixels = pixels; }

    /// How far (in world units) a point of a Shadows group's bounding box
    /// may have moved since the shadow map was drawn before the map is drawn
    /// again; 0 (the default) draws it every frame. The map is drawn again
    /// whatever this is when the light moved, a group was added, or a
    /// group's box or children changed (another car put on the stand). Only
    /// a group's own transform is watched, not those below it. A group
    /// without a box is drawn again on any change of its transform.
    float GetShadowMapTolerance() const { return shadowMapTolerance; }
    void SetShadowMapTolerance(float distance) { shadowMapTolerance = distance; }
    /// Shadow maps drawn since construction (they are skipped while nothing moved enough).
    unsigned long GetShadowMapsDrawn() const { return shadowMapsDrawn; }

    /// How far (in world units) the environment map's centre or a point of
    /// the box of a group its faces show (the Standard and Environment
    /// groups) may have moved since the map's faces were drawn before they
    /// are drawn again; 0 (the default) draws a face every frame. Once six
    /// faces in a row were drawn within it, and the light has not moved, no
    /// face is drawn until something moves: a still scene around a car that
    /// turns in place keeps its map. Groups are watched as for the shadow map.
    float GetEnvironmentMapTolerance() const { return environmentMapTolerance; }
    void SetEnvironmentMapTolerance(float distance) { environmentMapTolerance = distance; }
    /// Environment faces drawn since construction.
    unsigned long GetEnvironmentFacesDrawn() const { return environmentFacesDrawn; }

    /// Whether the environment map is drawn and blended over the Reflections
    /// groups (true). Off, neither costs anything and the cube face stays.
    bool GetReflections() const { return reflections; }
    void SetReflections(bool on) { reflections = on; }

    /// Whether the shadow map is drawn and the Shadows groups are compared
    /// against it (true). Off, the Shadows groups are drawn like the Standard
    /// ones, lit per vertex by the fixed-function pipeline, and the map costs
    /// nothing; it is kept for when they come back on.
    bool GetShadows() const { return shadows; }
    void SetShadows(bool on) { shadows = on; }

    /// Whether Render begins by clearing the view's colour and depth (true).
    /// Off, the frame draws over what the view holds: a caller that put back
    /// a kept picture of the scene's still part draws only the rest.
    bool GetClearsView() const { return clearsView; }
    void SetClearsView(bool on) { clearsView = on; }

    /// With a group (one of the Shadows groups, with a box): the main view is
    /// cleared and drawn only within the rectangle where that group and the
    /// shadow it casts can show, the rest of the view kept as it is. For a
    /// caller that put back a kept picture of the scene drawn without the
    /// group (RemoveGroup) and moves only the group. The receivers are the
    /// other Shadows groups with boxes; the maps are drawn whole. The group's
    /// opaque parts (alpha from 0.99) lay down their depths first, so what
    /// they hide is not shaded. nullptr (the default): the whole view.
    const GroupNode* GetRedrawnAround() const { return redrawnAround; }
    void SetRedrawnAround(const GroupNode* group) { redrawnAround = group; }
    /// With Everywhere or Nowhere the frames draw the two pictures an
    /// OglShadowedPicture keeps of the still part of a scene; Mapped (the
    /// default) is the lighting itself.
    LightVisibility GetLightVisibility() const { return lightVisibility; }
    void SetLightVisibility(LightVisibility visibility) { lightVisibility = visibility; }
    /// With a group to redraw around and the shadow map compared against,
    /// the picture (not owned) gives every pixel of the view but the group's:
    /// the view holds it already (the caller put back a kept picture of the
    /// scene drawn without the group, whose depths are the picture's), the
    /// picture shadows it where the group's shadow can fall now, and the
    /// group alone is drawn over it, with its reflection. Where the picture
    /// is not kept at the viewport's size, the frame is drawn as without it.
    /// nullptr (the default): none.
    const OglShadowedPicture* GetStillPicture() const { return stillPicture; }
    void SetStillPicture(const OglShadowedPicture* picture) { stillPicture = picture; }
    /// The main view's rectangle the last frame drew (x, y, width, height
    /// in the viewport's pixels): the whole viewport unless redrawn around a
    /// group.
    const int* GetRedrawnRegion() const { return redrawnRegion; }

    /// GL name of the depth texture (0 before Initialize).
    unsigned int GetShadowMap() const { return shadowMap; }
    /// GL name of the cube map (0 before Initialize).
    unsigned int GetEnvironmentMap() const { return environmentMap; }
    /// The cube face the next frame with reflections draws, 0 (+X) to 5 (-Z).
    unsigned int GetCurrentCubeFace() const { return currentCubeFace; }

    static Logger logger;  ///< "OglEffectPass"

private:
    /// Groups and the culled flags they had before a sub-view culled them.
    using CullFlags = std::vector<std::pair<GroupNode*, bool>>;
    using GroupList = std::vector<const GroupNode*>;
    /// What a watched group was when a map was last drawn from it.
    struct GroupState {
        const GroupNode* group = nullptr;
        float matrix[16] = {};
        const void* box = nullptr;
        float boxMinimum[3] = {}, boxMaximum[3] = {};
        unsigned int childCount = 0;
        const void* firstChild = nullptr;
        /// Whether `node` is this group, with the same box (the same extent)
        /// and the same children; where it stands is not compared.
        bool SameGroup(const GroupNode& node) const;
    };
    using GroupStates = std::vector<GroupState>;

    bool GenerateRessources();
    /// Deletes the maps and frame buffers GL still knows and forgets them.
    void DeleteRessources();
    void GenerateShadowMap();
    /// Whether the map drawn last still shows the light and casters now;
    /// false also before the first map.
    bool ShadowMapIsCurrent() const;
    void RememberShadowCasters();
    /// With a map drawn from the same light and casters, some of which
    /// moved since: the rectangle of texels (x, y, width, height) where those
    /// were and are, all that changes. False where the whole map is drawn
    /// again (no map yet, the light moved, a caster came, went, or moved
    /// without a box or to beside the light).
    bool FindMovedCastersRegion(int region[4]) const;
    static GroupStates Remember(const GroupList& list);
    /// Whether `list` holds the groups of `then`, with the same boxes and
    /// children, and no corner of a box moved farther than `tolerance`.
    static bool StillWithin(const GroupList& list, const GroupStates& then, float tolerance);
    /// Pixels the box of `group` covers in the main view (the bounding
    /// rectangle of its projected corners); a huge number when it has no box
    /// or a corner lies behind the eye.
    double ScreenPixels(const GroupNode& group) const;
    /// Sets redrawnRegion around `group` and its shadow (`mapped`: the map
    /// is compared against) for the viewport now set.
    void FindRedrawnRegion(const GroupNode& group, bool mapped);
    void GenerateEnvMap(const Scene& scene);
    void UpdateMatrices(const Scene& scene);
    /// The Shadows groups, or only `group`, with the map (or the light
    /// visibility's stand-in).
    void RenderShadows(const Scene& scene, const GroupNode* only = nullptr);
    /// The Reflections groups, or only `group` where it is one of them.
    void RenderReflections(const Scene& scene, const GroupNode* only = nullptr);
    void RenderPerPixelLighting(const Scene& scene);
    /// Logs the status if it names an incomplete frame buffer.
    void CheckFrameBufferStatus(unsigned int status, const char* name);

    /// Draws every group of one list with the renderer.
    void RenderGroups(OglEffectPass::Effect effect) const;
    /// The groups of `effects`, list after list, each group once (the race's
    /// sky is in Standard and Environment: a face would draw it twice).
    GroupList DistinctGroups(std::initializer_list<OglEffectPass::Effect> effects) const;
    /// Culls `list` against the GL matrices now loaded, after saving every
    /// culled flag below its groups into `saved`.
    void CullForSubView(const GroupList& list, CullFlags& saved);
    static void RestoreCullFlags(const CullFlags& saved);
    /// Loads a face's projection (90 degrees, square) reaching `farM`.
    static void SetFaceProjection(float farM);

    /// Cube map face targets, +X, -X, +Y, -Y, +Z, -Z.
    static const unsigned int CubeFace[6];
    /// Direction each face looks along, in world space.
    static const vmath::vec3<double> viewVecs[6];
    /// Up direction of each face, as the cube map's orientation needs it.
    static const vmath::vec3<double> upVecs[6];

    OglRenderer& renderer;
    unsigned int shadowMap = 0;
    unsigned int shadowFrameBuffer = 0;
    unsigned int shadowMapSize = 2048;
    /// 1 x 1 depth textures compared in place of the map: everything seen, nothing seen.
    unsigned int visibilityMaps[2] = {};
    unsigned int environmentMap = 0;
    unsigned int environmentFrameBuffer = 0;
    unsigned int environmentDepthBuffer = 0;
    unsigned int environmentMapSize = 512;
    unsigned int currentCubeFace = 0;
    unsigned int minReflectionPixels = 0;
    int viewportWidth = 0, viewportHeight = 0;  ///< the main view's, while the reflections draw
    float shadowMapTolerance = 0.0f;
    unsigned long shadowMapsDrawn = 0;
    bool shadowMapCurrent = false;  ///< a map was drawn since Initialize
    GroupStates shadowCasters;  ///< as the last map was drawn from them
    float environmentMapTolerance = 0.0f;
    unsigned long environmentFacesDrawn = 0;
    unsigned int environmentFacesCurrent = 0;  ///< faces drawn in a row from what was remembered
    bool environmentMapFilled = false;         ///< every face drawn since the map was made
    double environmentCentre[3] = {};
    float environmentLightView[16] = {};
    GroupStates environmentGroups;  ///< the faces' groups as the first of those faces drew them
    float shadowLightView[16] = {};
    float shadowLightProjection[16] = {};
    unsigned int targetFrameBuffer = 0;  ///< bound when Render began; the sub-passes go back to it
    Perspective lightProjection{85.0, 1.0, 1.0, 20.0};
    std::vector<const GroupNode*> groups[5];
    std::vector<std::pair<const GroupNode*, const GroupNode*>> standIns;  ///< (fine, coarse)
    float standInDistance = 0.0f;
    static constexpr float FaceFarPlaneM = 10000.0f;
    // Matrices in OpenGL's order, read back once per frame.
    float lightViewMatrix[16] = {};
    float lightProjectionMatrix[16] = {};
    float cameraViewMatrix[16] = {};
    float cameraProjectionMatrix[16] = {};
    float shadowTextureMatrix[16] = {};  ///< bias x light projection x light view x inverse camera view
    float inverseCameraViewMatrix[16] = {};
    bool shadowMapReady = false;       ///< its frame buffer is complete
    bool environmentMapReady = false;  ///< its frame buffer is complete
    bool glReady = false;              ///< shader and frame-buffer entry points exist
    bool reflections = true;           ///< SetReflections
    bool shadows = true;               ///< SetShadows
    bool clearsView = true;            ///< SetClearsView
    const GroupNode* redrawnAround = nullptr;  ///< SetRedrawnAround
    const OglShadowedPicture* stillPicture = nullptr;  ///< SetStillPicture
    LightVisibility lightVisibility = Mapped;          ///< SetLightVisibility
    int redrawnRegion[4] = {};
    float farthestShadowDepth = 1.0f;  ///< window depth beyond which the group's shadow cannot fall
    /// The scene's light this frame: a plain one gets the lighting programs' plain copies.
    OglShaderManager::LightKind lightKind = OglShaderManager::AnyLight;
};
