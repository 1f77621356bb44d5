#include <nodara/Transform.h>

#include <nodara/Renderer.h>
#include <nodara/StateManager.h>

void Transform::Push(Renderer& renderer) const { renderer.GetStateManager().Push(*this); }

void Transform::Pop(Renderer& renderer) const { renderer.GetStateManager().Pop(*this); }

// The stored matrix is the transpose of its vmath reading, so M <- T * M
// becomes S <- S * transpose(T).
void Transform::Translate(const vmath::vec3<float>& t) {
    matrix = matrix * vmath::transpose(vmath::translation(t.x, t.y, t.z));
}

// M <- M * R becomes S <- transpose(R) * S.
void Transform::Rotate(float angle, const vmath::vec3<float>& axis) {
    matrix = vmath::transpose(vmath::rotation(angle, axis)) * matrix;
}

const vmath::vec3<double>& Transform::GetTranslation() {
    translation = vmath::vec3<double>(matrix[12], matrix[13], matrix[14]);
    return translation;
}
