#include "DaeSceneNode.h"

#include <cmath>
#include <cstring>

#include "DaeDocument.h"
#include "DaeTextParser.h"

namespace {

using Matrix = vmath::mat4<double>;

constexpr double DegreesToRadians = 3.14159265358979323846 / 180.0;

/// Reads `count` numbers of an element; missing ones stay 0.
void ReadNumbers(pugi::xml_node element, double* out, std::size_t count) {
    float values[16] = {};
    DaeTextParser::ParseFixed(element.child_value(), values, count);
    for (std::size_t i = 0; i < count; ++i) out[i] = values[i];
}

vmath::vec3<double> Normalized(const vmath::vec3<double>& v, bool& ok) {
    const double length = std::sqrt(vmath::dot(v, v));
    ok = length > 0 && std::isfinite(length);
    return ok ? v * (1.0 / length) : v;
}

Matrix Rotation(const double* v) {
    bool ok;
    const vmath::vec3<double> axis = Normalized({v[0], v[1], v[2]}, ok);
    return ok ? vmath::rotation(v[3], axis) : Matrix(1.0);
}

Matrix Scale(const double* v) {
    Matrix m(1.0);
    m(0, 0) = v[0];
    m(1, 1) = v[1];
    m(2, 2) = v[2];
    return m;
}

/// The placement of a camera at `eye` looking at `interest`: its -z axis
/// points at the interest, its y axis as close to `up` as possible.
Matrix LookAt(const double* v) {
    bool okForward, okSide, okUp;
    const vmath::vec3<double> eye(v[0], v[1], v[2]);
    const vmath::vec3<double> forward = Normalized(vmath::vec3<double>(v[3], v[4], v[5]) - eye, okForward);
    const vmath::vec3<double> side = Normalized(vmath::cross(forward, vmath::vec3<double>(v[6], v[7], v[8])), okSide);
    const vmath::vec3<double> up = Normalized(vmath::cross(side, forward), okUp);
    Matrix m = vmath::translation(eye.x, eye.y, eye.z);
    if (!okForward || !okSide || !okUp) return m;
    for (int r = 0; r < 3; ++r) {
        m(r, 0) = side[r];
        m(r, 1) = up[r];
        m(r, 2) = -forward[r];
    }
    return m;
}

/// A shear along the translation axis: the rotation axis turns by `angle`
/// degrees towards it, points keep their distance along everything else.
Matrix Skew(const double* v) {
    bool okRotation, okTranslation, okRight;
    const vmath::vec3<double> along = Normalized({v[4], v[5], v[6]}, okTranslation);
    const vmath::vec3<double> turned = Normalized({v[1], v[2], v[3]}, okRotation);
    if (!okTranslation || !okRotation) return Matrix(1.0);
    const double parallel = vmath::dot(turned, along);
    const vmath::vec3<double> right = Normalized(turned - along * parallel, okRight);
    if (!okRight) return Matrix(1.0);
    const double perpendicular = vmath::dot(turned, right);
    const double phi = std::atan2(parallel, perpendicular);
    const double shear = std::tan(phi + v[0] * DegreesToRadians) - std::tan(phi);
    Matrix m(1.0);
    if (!std::isfinite(shear)) return m;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m(r, c) += shear * along[r] * right[c];
    return m;
}

}  // namespace

vmath::mat4<float> DaeSceneNode::GetLocalMatrix() const {
    Matrix local(1.0);
    for (pugi::xml_node child : element.children()) {
        const char* name = child.name();
        double v[16];
        if (!std::strcmp(name, "matrix")) {
            ReadNumbers(child, v, 16);  // written row by row, translation in the last column
            Matrix m;
            for (int i = 0; i < 16; ++i) m[i] = v[i];
            local *= m;
        } else if (!std::strcmp(name, "translate")) {
            ReadNumbers(child, v, 3);
            local *= vmath::translation(v[0], v[1], v[2]);
        } else if (!std::strcmp(name, "rotate")) {
            ReadNumbers(child, v, 4);
            local *= Rotation(v);
        } else if (!std::strcmp(name, "scale")) {
            ReadNumbers(child, v, 3);
            local *= Scale(v);
        } else if (!std::strcmp(name, "lookat")) {
            ReadNumbers(child, v, 9);
            local *= LookAt(v);
        } else if (!std::strcmp(name, "skew")) {
            ReadNumbers(child, v, 7);
            local *= Skew(v);
        }
    }
    vmath::mat4<float> gl;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) gl[c * 4 + r] = static_cast<float>(local(r, c));
    return gl;
}

std::vector<DaeInstance> DaeSceneNode::GetInstances(DaeDocument& document, std::size_t& elementsRead) const {
    std::vector<DaeInstance> instances;
    for (pugi::xml_node child : element.children()) {
        ++elementsRead;
        const char* name = child.name();
        if (std::strncmp(name, "instance_", 9) != 0 || !std::strcmp(name, "instance_node")) continue;
        DaeInstance instance;
        instance.element = child;
        instance.url = child.attribute("url").value();
        elementsRead += TextReads(instance.url.c_str());
        if (!std::strcmp(name, "instance_geometry")) {
            instance.type = DaeInstance::Geometry;
            instance.geometry = document.GetGeometry(document.ResolveUrl(instance.url.c_str()));
            const pugi::xml_node common = child.child("bind_material").child("technique_common");
            for (pugi::xml_node binding : common.children()) {
                ++elementsRead;
                if (std::strcmp(binding.name(), "instance_material") != 0) continue;
                DaeInstance::MaterialBinding entry;
                entry.element = binding;
                entry.symbol = binding.attribute("symbol").value();
                entry.target = binding.attribute("target").value();
                elementsRead += TextReads(entry.symbol.c_str()) + TextReads(entry.target.c_str());
                entry.material = document.GetMaterial(document.ResolveUrl(entry.target.c_str()));
                instance.bindings.push_back(std::move(entry));
            }
        } else if (!std::strcmp(name, "instance_controller")) {
            instance.type = DaeInstance::Controller;
        }
        instances.push_back(std::move(instance));
    }
    return instances;
}

std::vector<DaeSceneNode> DaeSceneNode::GetChildren(const DaeDocument& document, std::vector<pugi::xml_node>& dangling,
                                                    std::size_t& elementsRead) const {
    std::vector<DaeSceneNode> children;
    for (pugi::xml_node child : element.children()) {
        ++elementsRead;
        const char* name = child.name();
        if (!std::strcmp(name, "node")) {
            children.emplace_back(child);
        } else if (!std::strcmp(name, "instance_node")) {
            const char* url = child.attribute("url").value();
            elementsRead += TextReads(url);
            const pugi::xml_node target = document.ResolveUrl(url);
            if (target && !std::strcmp(target.name(), "node"))
                children.emplace_back(target);
            else
                dangling.push_back(child);
        }
    }
    return children;
}
