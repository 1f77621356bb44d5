#pragma once
#include <nodara/State.h>
#include "vmath/mat4.h"

/// A model transform. The matrix is kept in OpenGL's column-major order
/// (translation at flat indices 12, 13, 14) and handed to OpenGL unchanged.
class Transform : public State {
public:
    Transform() : matrix(1.0f), translation(0.0, 0.0, 0.0) {}
    /// `m` must already be in OpenGL order.
    explicit Transform(const vmath::mat4<float>& m) : matrix(m), translation(0.0, 0.0, 0.0) {}

    void Push(Renderer& renderer) const override;
    void Pop(Renderer& renderer) const override;

    void SetMatrix(const vmath::mat4<float>& m) { matrix = m; }
    const vmath::mat4<float>& GetMatrix() const { return matrix; }

    /// Applies `t` after the existing transform, along the parent's axes.
    void Translate(const vmath::vec3<float>& t);
    /// Applies a rotation (degrees, right-handed) before the existing
    /// transform: about the node's own origin and axes.
    void Rotate(float angle, const vmath::vec3<float>& axis);

    /// The translation part of the matrix.
    const vmath::vec3<double>& GetTranslation();

private:
    vmath::mat4<float> matrix;
    vmath::vec3<double> translation;  ///< cache filled by GetTranslation
};
