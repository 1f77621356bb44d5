#pragma once
#include <nodara/View.h>
#include "vmath/vec3.h"
#include "vmath/vec4.h"

/// One light with fixed-function parameters. It can also describe the view
/// from its own position towards the point its spot direction names, for
/// shadow maps.
class Light {
public:
    Light() = default;

    const vmath::vec4<float>& GetPosition() const { return position; }
    void SetPosition(const vmath::vec4<float>& value) { position = value; }
    /// NOTE: used as the point the light looks at, not as a direction.
    const vmath::vec3<float>& GetSpotDirection() const { return spotDirection; }
    void SetSpotDirection(const vmath::vec3<float>& value) { spotDirection = value; }
    const vmath::vec4<float>& GetAmbient() const { return ambient; }
    void SetAmbient(const vmath::vec4<float>& value) { ambient = value; }
    const vmath::vec4<float>& GetDiffuse() const { return diffuse; }
    void SetDiffuse(const vmath::vec4<float>& value) { diffuse = value; }
    const vmath::vec4<float>& GetSpecular() const { return specular; }
    void SetSpecular(const vmath::vec4<float>& value) { specular = value; }
    float GetConstantAttenuation() const { return constantAttenuation; }
    void SetConstantAttenuation(float value) { constantAttenuation = value; }
    float GetLinearAttenuation() const { return linearAttenuation; }
    void SetLinearAttenuation(float value) { linearAttenuation = value; }
    float GetQuadraticAttenuation() const { return quadraticAttenuation; }
    void SetQuadraticAttenuation(float value) { quadraticAttenuation = value; }
    int GetSpotExponent() const { return spotExponent; }
    void SetSpotExponent(int value) { spotExponent = value; }
    /// Degrees; 180 means no cone.
    int GetSpotCutoff() const { return spotCutoff; }
    void SetSpotCutoff(int value) { spotCutoff = value; }

    /// The view from the light's position towards its spot direction, with z
    /// up (y up when the light looks straight along z). Recomputed each call.
    const View& GetView();

private:
    float constantAttenuation = 1.0f;
    float linearAttenuation = 0.0f;
    float quadraticAttenuation = 0.0f;
    int spotExponent = 0;
    int spotCutoff = 180;
    View view{{0.0, 0.0, 1.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    vmath::vec4<float> ambient{0.3f, 0.3f, 0.3f, 1.0f};
    vmath::vec4<float> diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    vmath::vec4<float> specular{1.0f, 1.0f, 1.0f, 1.0f};
    vmath::vec3<float> spotDirection{0.0f, 0.0f, 0.0f};
    vmath::vec4<float> position{0.0f, 0.0f, 1.0f, 1.0f};
};
