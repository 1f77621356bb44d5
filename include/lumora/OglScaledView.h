#pragma once

/// Draws a view at a fraction of its size and stretches it over the whole
/// viewport: a software rasteriser pays per pixel, so a quarter of the
/// pixels costs about a quarter of the time. Over a window without a depth
/// buffer it also draws the full-size view, into a target of the window's
/// size copied over it.
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

    /// Directs drawing into the target when `scale` is below 1, or at full
    /// size (any other scale) when the frame buffer bound now has no depth
    /// buffer (a window made without one), and the target can be made;
    /// otherwise changes nothing (and, once GL refused a target, for good)
    /// but to delete a target made before.
    /// @return whether drawing now goes into the target; End is due then
    bool Begin(float scale);
    /// Back to the frame buffer and viewport of Begin, and the target
    /// stretched over them. Gives back every other state it changes.
    void End();

    /// Copies what the target holds now, colour and depth, into a kept
    /// picture: a view whose still part is drawn once can put it back each
    /// frame in place of a clear and draw only what moves over it. Between
    /// Begin and End. The picture goes when the target is made anew.
    /// @return false when there is no target or GL cannot copy between frame
    ///         buffers (and, once it could not, for good)
    bool KeepPicture();
    /// Puts the kept picture back into the target, colour and depth. Between
    /// Begin and End; the scissor test is left as it was.
    /// @return false when no picture is kept for the target as it is now
    bool RestorePicture();
    /// Forgets the kept picture: the scene behind it changed.
    void ForgetPicture();
    bool HasPicture() const { return keptFrameBuffer != 0 && pictureKept; }

    /// Pixels across and down the target (0 before a scaled Begin).
    int GetTargetWidth() const { return targetWidth; }
    int GetTargetHeight() const { return targetHeight; }

private:
    /// (Re)makes the target at `width` x `height`; false when incomplete.
    bool MakeTarget(int width, int height);
    void DeleteTarget();
    /// Makes the kept picture's buffers at the target's size; false when incomplete.
    bool MakePicture();
    void DeletePicture();
    /// Copies colour and depth from frame buffer `from` to `to`, both the target's size.
    void Copy(unsigned int from, unsigned int to) const;
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
    unsigned int keptFrameBuffer = 0;
    unsigned int keptColour = 0;
    unsigned int keptDepth = 0;
    bool pictureKept = false;
    bool pictureFailed = false;  ///< GL cannot copy into a kept picture; none is tried again
    bool windowDepthStale = false;  ///< the window's depth is cleared at the next End
    int viewport[4] = {};
};
