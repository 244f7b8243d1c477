// Ball vertex shader (vs_2_0, entry point main).
//
// Matrices arrive transposed, one matrix column per register, which is the
// default column-major packing of a float4x4: register base + i is column i,
// so mul(row vector, matrix) is the dot product of the point with each
// register in turn.
//   c0..c3   world * view
//   c8..c11  world * view * projection
//   c12.xyz  the light vector, in view space (only x, y and z are used)

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
    float2 texcoord : TEXCOORD0;
    float3 normal : TEXCOORD1;      // view space
    float3 toEye : TEXCOORD2;       // view space, from the surface to the camera
    float3 light : TEXCOORD3;       // view space, towards the light
};

VS_OUTPUT main(VS_INPUT input)
{
    float4 p = float4(input.position, 1.0);

    VS_OUTPUT output;
    output.position = mul(p, worldViewProjection);
    output.texcoord = input.texcoord;
    output.normal = mul(float4(input.normal, 0.0), worldView).xyz;
    output.toEye = -mul(p, worldView).xyz;
    output.light = lightVector.xyz;
    return output;
}
