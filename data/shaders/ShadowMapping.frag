#version 110
// Shadow mapping: the per-pixel lighting of Lighting.frag, with the light's
// diffuse and specular share scaled by how much of the pixel the light sees.
// The depth comparison runs on "ShadowMap" (unit 0, compare mode on) at 2 x 2
// taps "Epsilon" (one texel) apart, each filtered bilinearly by the hardware,
// which softens the shadow's edge (percentage-closer filtering).

// PLAIN_LIGHT 1: light 0 has no attenuation and no spot cone. The engine
// builds a copy of the program with it for such lights, because a software
// rasteriser runs the code of a branch for every pixel, taken or not.
#ifndef PLAIN_LIGHT
#define PLAIN_LIGHT 0
#endif

uniform sampler2DShadow ShadowMap;
uniform float Epsilon;
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
        toLight = normalize(light.xyz);
        return 1.0;
    }
    vec3 offset = light.xyz / light.w - position;
    float range = length(offset);
    toLight = range > 0.0 ? offset / range : vec3(0.0, 0.0, 1.0);
    float factor = 1.0 / (gl_LightSource[0].constantAttenuation +
                          gl_LightSource[0].linearAttenuation * range +
                          gl_LightSource[0].quadraticAttenuation * range * range);
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

// 1 where the light sees the pixel, 0 in full shadow.
float Visibility(vec4 shadowCoord)
{
    // Behind the light, or outside the part of the scene the map covers:
    // nothing there can shadow the pixel.
    if (shadowCoord.w <= 0.0)
        return 1.0;
    vec3 coord = shadowCoord.xyz / shadowCoord.w;
    if (coord.x < 0.0 || coord.x > 1.0 || coord.y < 0.0 || coord.y > 1.0 || coord.z > 1.0)
        return 1.0;
    // Four taps half a texel off the pixel's own spot, each compared and
    // filtered bilinearly by the hardware: together a tent over 3 x 3 texels.
    // Nine taps look the same at this map size and cost twice as much.
    float offset = 0.5 * Epsilon;
    float sum = shadow2D(ShadowMap, vec3(coord.x - offset, coord.y - offset, coord.z)).r +
                shadow2D(ShadowMap, vec3(coord.x + offset, coord.y - offset, coord.z)).r +
                shadow2D(ShadowMap, vec3(coord.x - offset, coord.y + offset, coord.z)).r +
                shadow2D(ShadowMap, vec3(coord.x + offset, coord.y + offset, coord.z)).r;
    return 0.25 * sum;
}

void main()
{
    vec3 normal = normalize(normalES);
    vec3 toEye = normalize(-positionES);
    vec3 toLight;
    float factor = LightFactor(positionES, toLight);

    float diffuse = max(dot(normal, toLight), 0.0);
    float specular = 0.0;
    float visibility = 1.0;
    // Surfaces turned away from the light are dark already; not sampling the
    // map there also keeps depth acne off them.
    if (diffuse > 0.0) {
        vec3 halfway = normalize(toLight + toEye);
        float shininess = gl_FrontMaterial.shininess;
        specular = shininess > 0.0 ? pow(max(dot(normal, halfway), 0.0), shininess) : 1.0;
        visibility = Visibility(gl_TexCoord[0]);
    }

    vec3 colour = gl_FrontLightModelProduct.sceneColor.rgb +
                  factor * (gl_FrontLightProduct[0].ambient.rgb +
                            visibility * diffuse * gl_FrontLightProduct[0].diffuse.rgb);
    float alpha = gl_FrontMaterial.diffuse.a;
    colour = clamp(colour, 0.0, 1.0);
    if (diffuseStatus == 1) {
        vec4 texel = texture2D(DiffuseMap, gl_TexCoord[2].st);
        colour *= texel.rgb;
        alpha *= texel.a;
    }
    colour += factor * visibility * specular * gl_FrontLightProduct[0].specular.rgb;
    gl_FragColor = vec4(clamp(colour, 0.0, 1.0), alpha);
}
