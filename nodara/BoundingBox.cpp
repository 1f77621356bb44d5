#include <nodara/BoundingBox.h>

void BoundingBox::Expand(const vmath::vec3<float>& point) {
    for (int i = 0; i < 3; ++i) {
        if (point[i] < minimum[i]) minimum[i] = point[i];
        if (point[i] > maximum[i]) maximum[i] = point[i];
    }
}

void BoundingBox::Expand(const BoundingBox& box) {
    Expand(box.minimum);
    Expand(box.maximum);
}
