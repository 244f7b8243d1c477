// Text vertex shader (vs_1_1, entry point main).
//
// Registers c0 to c3 hold the overlay's transposed orthographic projection,
// one matrix column per register, so each clip-space component is the dot
// product of one register with the screen-space position (x, y, z, 1).
// The texture coordinate passes through; the diffuse colour is opaque white,
// so the glyph's opacity is the sheet's own alpha.

float4 projection0 : register(c0);
float4 projection1 : register(c1);
float4 projection2 : register(c2);
float4 projection3 : register(c3);

struct VS_INPUT
{
    float3 position : POSITION;
    float2 texcoord : TEXCOORD0;
};

struct VS_OUTPUT
{
    float4 position : POSITION;
    float2 texcoord : TEXCOORD0;
    float4 diffuse  : COLOR0;
};

VS_OUTPUT main(VS_INPUT input)
{
    float4 p = float4(input.position, 1.0);

    VS_OUTPUT output;
    output.position = float4(dot(projection0, p), dot(projection1, p), dot(projection2, p), dot(projection3, p));
    output.texcoord = input.texcoord;
    output.diffuse = float4(1.0, 1.0, 1.0, 1.0);
    return output;
}
