#version 110
// Shadow mapping, vertex stage: per-pixel lighting inputs plus the position
// in the shadow map's texture space. The texture matrix of unit 0 maps a
// point from the camera's eye space into the light's clip space, biased to
// 0..1 (bias x light projection x light view x inverse camera view).

varying vec3 positionES;  // eye space
varying vec3 normalES;    // eye space, not yet normalised

void main()
{
    vec4 position = gl_ModelViewMatrix * gl_Vertex;
    positionES = position.xyz / position.w;
    normalES = gl_NormalMatrix * gl_Normal;
    gl_TexCoord[0] = gl_TextureMatrix[0] * position;
    gl_TexCoord[2] = gl_TextureMatrix[2] * gl_MultiTexCoord2;
    gl_Position = ftransform();
}
