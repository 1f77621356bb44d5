#version 110
// Environment mapping, vertex stage: the eye-space position and normal, from
// which the fragment stage reflects the view ray.

varying vec3 positionES;  // eye space
varying vec3 normalES;    // eye space, not yet normalised

void main()
{
    vec4 position = gl_ModelViewMatrix * gl_Vertex;
    positionES = position.xyz / position.w;
    normalES = gl_NormalMatrix * gl_Normal;
    gl_TexCoord[2] = gl_TextureMatrix[2] * gl_MultiTexCoord2;
    gl_Position = ftransform();
}
