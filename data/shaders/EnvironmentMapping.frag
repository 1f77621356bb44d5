#version 110
// Environment mapping: reflects the view ray about the surface normal, takes
// the reflected direction from eye space to world space with
// "InvCameraView" (the cube map was drawn along the world axes) and looks it
// up in "EnvMap" on unit 1. The pass blends the result onto the frame.

uniform samplerCube EnvMap;
uniform mat4 InvCameraView;

varying vec3 positionES;
varying vec3 normalES;

void main()
{
    vec3 normal = normalize(normalES);
    vec3 view = normalize(positionES);  // from the eye towards the pixel
    vec3 reflectedES = reflect(view, normal);
    // w = 0: a direction, the camera's translation takes no part.
    vec3 reflectedWS = (InvCameraView * vec4(reflectedES, 0.0)).xyz;
    gl_FragColor = vec4(textureCube(EnvMap, reflectedWS).rgb, 1.0);
}
