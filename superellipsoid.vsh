// Ball vertex shader (vs_2_0, entry point main).
//
// Matrices arrive transposed, one matrix column per register, which is the
// default column-major packing of a float4x4: register base + i is column i,
// so mul(row vector, matrix) is the dot product of the point with each
// register in turn.
//   c0..c3   world * view
//   c8..c11  world * view * projection
//   c12.xyz  the light vector, in view space (only x, y and z are used)
//
// The ball is lit here, once per vertex, in view space: an ambient term,
// diffuse light from the light vector, and a white Blinn-Phong highlight.
// A ball's triangles cover a pixel or two each, so lighting every pixel
// would look the same and cost far more. The pixel shader gets the texture
// coordinate and the two lighting terms in one interpolated register.

float4x4 worldView : register(c0);
float4x4 worldViewProjection : register(c8);
float4 lightVector : register(c12);

struct VS_INPUT
{
    float3 position : POSITION;
    float3 normal : NORMAL;
    float2 texcoord : TEXCOORD0;
};

struct VS_OUTPUT
{
    float4 position : POSITION;
    float4 shading : TEXCOORD0;     // xy: texture coordinate, z: diffuse factor, w: highlight
};

VS_OUTPUT main(VS_INPUT input)
{
    float4 p = float4(input.position, 1.0);

    float3 n = normalize(mul(float4(input.normal, 0.0), worldView).xyz);
    float3 l = normalize(lightVector.xyz);
    float3 e = normalize(-mul(p, worldView).xyz);   // towards the camera
    float3 h = normalize(l + e);

    float diffuse = saturate(dot(n, l));
    float specular = pow(saturate(dot(n, h)), 40.0);

    VS_OUTPUT output;
    output.position = mul(p, worldViewProjection);
    output.shading = float4(input.texcoord, 0.3 + 0.8 * diffuse, 0.5 * specular);
    return output;
}
