#version 110
// Per-pixel Blinn-Phong lighting from fixed-function light 0 and the current
// material, with the light's attenuation and spot cone as fixed function
// applies them. A textured material (diffuseStatus 1) modulates the lit
// colour by the diffuse map on unit 2; the highlight is added on top, so it
// stays white on dark textures.

// PLAIN_LIGHT 1: light 0 has no attenuation and no spot cone. The engine
// builds a copy of the program with it for such lights, because a software
// rasteriser runs the code of a branch for every pixel, taken or not.
#ifndef PLAIN_LIGHT
#define PLAIN_LIGHT 0
#endif

uniform sampler2D DiffuseMap;
uniform int diffuseStatus;

varying vec3 positionES;
varying vec3 normalES;

// Distance attenuation times the spot factor of light 0 at `position`;
// `toLight` receives the unit vector towards the light.
float LightFactor(vec3 position, out vec3 toLight)
{
#if PLAIN_LIGHT
    // w is 0 or positive here: a positional light's direction needs no division.
    vec4 light = gl_LightSource[0].position;
    toLight = normalize(light.xyz - light.w * position);
    return 1.0;
#else
    vec4 light = gl_LightSource[0].position;
    if (light.w == 0.0) {
        // Directional: no attenuation, no cone.
        toLight = normalize(light.xyz);
        return 1.0;
    }
    vec3 offset = light.xyz / light.w - position;
    float range = length(offset);
    toLight = range > 0.0 ? offset / range : vec3(0.0, 0.0, 1.0);
    float factor = 1.0 / (gl_LightSource[0].constantAttenuation +
                          gl_LightSource[0].linearAttenuation * range +
                          gl_LightSource[0].quadraticAttenuation * range * range);
    // A cutoff of 180 degrees means no cone; fixed function allows 0..90 otherwise.
    vec3 axis = gl_LightSource[0].spotDirection;
    if (gl_LightSource[0].spotCutoff <= 90.0 && dot(axis, axis) > 0.0) {
        float spot = dot(-toLight, normalize(axis));
        if (spot < gl_LightSource[0].spotCosCutoff)
            factor = 0.0;
        else if (gl_LightSource[0].spotExponent > 0.0)
            factor *= pow(spot, gl_LightSource[0].spotExponent);
    }
    return factor;
#endif
}

void main()
{
    vec3 normal = normalize(normalES);
    vec3 toEye = normalize(-positionES);
    vec3 toLight;
    float factor = LightFactor(positionES, toLight);

    float diffuse = max(dot(normal, toLight), 0.0);
    float specular = 0.0;
    if (diffuse > 0.0) {
        vec3 halfway = normalize(toLight + toEye);
        float shininess = gl_FrontMaterial.shininess;
        // pow(0, 0) is undefined in GLSL; fixed function reads it as 1.
        specular = shininess > 0.0 ? pow(max(dot(normal, halfway), 0.0), shininess) : 1.0;
    }

    vec3 colour = gl_FrontLightModelProduct.sceneColor.rgb +
                  factor * (gl_FrontLightProduct[0].ambient.rgb + diffuse * gl_FrontLightProduct[0].diffuse.rgb);
    float alpha = gl_FrontMaterial.diffuse.a;
    colour = clamp(colour, 0.0, 1.0);
    if (diffuseStatus == 1) {
        vec4 texel = texture2D(DiffuseMap, gl_TexCoord[2].st);
        colour *= texel.rgb;
        alpha *= texel.a;
    }
    colour += factor * specular * gl_FrontLightProduct[0].specular.rgb;
    gl_FragColor = vec4(clamp(colour, 0.0, 1.0), alpha);
}
