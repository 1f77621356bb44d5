#pragma once

/// One of the engine's own programs drawn over the whole viewport, each
/// pixel overwritten: for its lifetime the program is in use and the tests
/// and blending that would keep a pixel from being written are off; the
/// destructor gives back the program and every state changed, the texture
/// bindings of every unit included. The program's vertex stage reads the
/// quad's corners in clip coordinates (-1..1) from gl_Vertex.
class ViewQuad {
public:
    /// @param keepScissor whether the scissor test stays as it is (else it is off)
    ViewQuad(unsigned int program, bool keepScissor);
    ~ViewQuad();
    ViewQuad(const ViewQuad&) = delete;
    ViewQuad& operator=(const ViewQuad&) = delete;

    /// Draws the quad with the uniforms and textures set since, at the clip
    /// depth `z` (-1..1) for a caller that turned the depth test back on.
    void Draw(float z = 0.0f) const;

private:
    int previousProgram = 0;
};
