#pragma once

/// The still part of a scene kept twice over, with its depths: as its light
/// shows it where nothing stands in the way, and as it is where the light is
/// hidden. A body moving over it casts its shadow there as each pixel's mix
/// of the two by how much of it the shadow map's light sees, which costs a
/// software rasteriser a few texture reads a pixel where lighting the scene
/// again costs its whole shading.
///
/// The mix equals the scene lit with the shadow map where the lighting
/// adds the light's share in proportion to what it sees, as the
/// ShadowMapping program does. OglEffectPass draws it (SetStillPicture);
/// OglEffectPass::SetLightVisibility draws the two pictures to keep.
///
/// Needs the GL context current for every call but the constructor.
class OglShadowedPicture {
public:
    /// Which of the two pictures.
    enum Light {
        Seen = 0,   ///< the light seen by every pixel; kept with the depths
        Hidden = 1  ///< the light hidden from every pixel
    };

    OglShadowedPicture() = default;
    /// Deletes the pictures and the program, if any were made.
    ~OglShadowedPicture();
    OglShadowedPicture(const OglShadowedPicture&) = delete;
    OglShadowedPicture& operator=(const OglShadowedPicture&) = delete;

    /// Whether GL has what the pictures need: OpenGL 2.0, frame buffer
    /// objects and copies between them.
    static bool Supported();

    /// Copies the colour over the viewport of the frame buffer bound now
    /// into the picture of `light` (with Seen, the depths too). The pictures
    /// take the viewport's size: one of another size is forgotten.
    /// @return false when the frame buffer's depths are not 24 bits without
    ///         stencil (with Seen), or GL cannot hold, copy or draw the
    ///         picture (and, once it could not, for good)
    bool Keep(Light light);
    /// Whether both pictures are kept, at `width` x `height`.
    bool IsKept(int width, int height) const;
    /// Forgets both pictures: the scene behind them changed.
    void Forget();

    /// Over the viewport (and within the scissor, when on), each pixel the
    /// mix of the two pictures by what the shadow map's light sees of the
    /// point the depths put there, compared and filtered as the
    /// ShadowMapping program does. Writes colour only; gives back every
    /// state it changes.
    /// @param shadowMap the depth texture, its comparison on
    /// @param mapTexels texels across the map
    /// @param shadowFromEye column-major, as GL reads it: the view's eye
    ///        space to the map's texture space (0..1)
    /// @param projection column-major: the view's projection
    /// @param farthestDepth window depth (0..1) beyond which no shadow can
    ///        fall: pixels whose depth in the frame buffer bound (the
    ///        picture's, put back) lies beyond it are left as they are
    /// @return false, with nothing drawn, when the pictures are not kept at
    ///         the viewport's size
    bool Draw(unsigned int shadowMap, unsigned int mapTexels, const float shadowFromEye[16], const float projection[16],
              float farthestDepth = 1.0f) const;

private:
    /// (Re)makes both pictures' textures and frame buffers at `width` x `height`.
    bool MakePictures(int width, int height);
    void DeletePictures();
    bool MakeProgram() const;

    unsigned int frameBuffers[2] = {};
    unsigned int colours[2] = {};
    unsigned int depth = 0;  ///< the Seen picture's depths, a texture
    bool kept[2] = {};
    int width = 0, height = 0;
    bool failed = false;  ///< GL refused the pictures; none is tried again
    mutable unsigned int program = 0;
    mutable bool programFailed = false;
};
