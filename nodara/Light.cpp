#include <nodara/Light.h>

const View& Light::GetView() {
    const vmath::vec3<double> eye(position.x, position.y, position.z);
    const vmath::vec3<double> center(spotDirection.x, spotDirection.y, spotDirection.z);
    const vmath::vec3<double> d = center - eye;
    // Looking straight along z, z cannot serve as up.
    const vmath::vec3<double> up = (d.x == 0.0 && d.y == 0.0) ? vmath::vec3<double>(0.0, 1.0, 0.0)
                                                               : vmath::vec3<double>(0.0, 0.0, 1.0);
    view = View(eye, center, up);
    return view;
}
