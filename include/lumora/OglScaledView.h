#pragma once

/// Draws a view at a fraction of its size and stretches it over the whole
/// viewport: a software rasteriser pays per pixel, so a quarter of the
/// pixels costs about a quarter of the time.
///
/// Between Begin and End drawing goes into an off-screen colour and depth
/// target the size of the current viewport times the scale, under a viewport
/// of that size; the projection is left alone, the aspect being the same.
/// End binds back the frame buffer and the viewport Begin found and draws
/// the target over that viewport with linear filtering (each texel repeated
/// over its square of pixels where the viewport is a whole multiple of the
/// target, as at a scale of one half), with the depth
/// buffer there cleared, so what is drawn next (the HUD) is drawn at full
/// size on top. The depth buffer is cleared at the first End after the
/// target is made (a frame drawn at full size left its depths there) and
/// then left alone, the target's frames not touching it: an overlay that
/// writes depth there clears it itself. The target follows the viewport's
/// size from frame to frame.
///
/// Needs the GL context current for Begin, End and the destructor.
class OglScaledView {
public:
    OglScaledView() = default;
    /// Deletes the target and the program, if any were made.
    ~OglScaledView();
    OglScaledView(const OglScaledView&) = delete;
    OglScaledView& operator=(const OglScaledView&) = delete;

    /// Whether GL has what the off-screen target needs: OpenGL 2.0 and frame
    /// buffer objects.
    static bool Supported();

    /// Directs drawing into the target when `scale` is below 1 and the target
    /// can be made; otherwise changes nothing (and, once GL refused a
    /// target, for good) but to delete a target made before.
    /// @return whether drawing now goes into the target; End is due then
    bool Begin(float scale);
    /// Back to the frame buffer and viewport of Begin, and the target
    /// stretched over them. Gives back every other state it changes.
    void End();

    /// Pixels across and down the target (0 before a scaled Begin).
    int GetTargetWidth() const { return targetWidth; }
    int GetTargetHeight() const { return targetHeight; }

private:
    /// (Re)makes the target at `width` x `height`; false when incomplete.
    bool MakeTarget(int width, int height);
    void DeleteTarget();
    /// Builds the stretch program once; false when it does not build.
    bool MakeProgram();

    unsigned int frameBuffer = 0;
    unsigned int colour = 0;
    unsigned int depth = 0;
    unsigned int program = 0;
    bool programFailed = false;
    bool targetFailed = false;  ///< GL refused the target; the view stays unscaled
    int targetWidth = 0;
    int targetHeight = 0;
    int filter = 0;  ///< the target's minification and magnification filter now
    int previousFrameBuffer = 0;
    bool windowDepthStale = false;  ///< the window's depth is cleared at the next End
    int viewport[4] = {};
};
