#version 110
// Per-pixel lighting, vertex stage: hands the eye-space position and normal
// on to the fragment stage, which evaluates light 0 for every pixel.

varying vec3 positionES;  // eye space
varying vec3 normalES;    // eye space, not yet normalised

void main()
{
    vec4 position = gl_ModelViewMatrix * gl_Vertex;
    positionES = position.xyz / position.w;
    normalES = gl_NormalMatrix * gl_Normal;
    // Vertex texture coordinates arrive on unit 2, placed by that unit's matrix.
    gl_TexCoord[2] = gl_TextureMatrix[2] * gl_MultiTexCoord2;
    gl_Position = ftransform();
}
