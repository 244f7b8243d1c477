// Turns the shader code Direct3D 9 calls receive (a SPIR-V module followed
// by the end token 0x0000FFFF) into the GLSL of the device's context (4.50
// core, 3.30 core or ES 3.00; see GlCaps), and records how the shader meets
// the rest of the device:
//
//  * vertex inputs: their (usage, usage index) from the HLSL semantic, at
//    GL attribute locations 0..n-1;
//  * values passed from the vertex to the pixel shader: every one is a vec4
//    named tv_v<N> for the location N the device's VaryingRegistry gives its
//    semantic (matched by location where GLSL allows it, by that name on
//    3.30 and ES 3.00). The vertex stage pads what it writes to four
//    components; the pixel stage reads the components it declared, or zeros
//    where the vertex shader writes nothing (one GL fragment shader per such
//    combination);
//  * constant registers: each of the shader's uniform blocks (HLSL's
//    $Global, where register(cN) lies at byte 16*N, whatever order the
//    constants are declared in) becomes one array of vec4 registers read
//    from register c0 on: on 4.50 a uniform block at the stage's binding
//    (UniformBindings.h) over the constant ring, elsewhere a plain uniform
//    array the device sets;
//  * samplers: sampler N (HLSL register sN, the SPIR-V binding) is texture
//    unit N; where GLSL has no binding qualifier, the device sets the
//    sampler uniforms after linking;
//  * the vertex stage ends by moving clip positions half a pixel (Direct3D 9
//    puts pixel centres on integer coordinates; the amount comes from the
//    layer's internal constants) and, without clip control, by mapping
//    Direct3D's clip-space depth 0..w onto GL's -w..w;
//  * vertex inputs of D3DCOLOR data, on contexts that cannot read its byte
//    order, are turned round in the vertex stage (one GL vertex shader per
//    set of such inputs).
#pragma once

#include "GlCaps.h"
#include "VaryingRegistry.h"

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

struct ShaderVertexInput {
    int location;
    BYTE usage;
    BYTE usageIndex;
    enum Kind : uint8_t { Float, Int, UInt } kind;
};

// A value passed from the vertex to the pixel stage.
struct ShaderVarying {
    int location;      // in the VaryingRegistry
    int components;    // 1..4, as the shader declares it
    std::string qualifiers;  // pixel stage: interpolation qualifiers to keep ("flat ", ...)
};

// A uniform the device sets by name where GLSL cannot bind it in the source.
struct ShaderSampler {
    std::string name;
    int unit;
};
struct ShaderConstantArray {
    std::string name;
    uint32_t registers;  // from c0
};

struct TranslatedShader {
    bool vertex = true;
    GlCaps target;  // the context the GLSL is for
    // Everything but the entry point, which vertexVariant() / pixelVariant()
    // add.
    std::string glsl;
    std::vector<ShaderVertexInput> inputs;     // vertex stage
    std::vector<ShaderVarying> outputs;        // vertex stage
    std::vector<ShaderVarying> pixelInputs;    // pixel stage
    std::vector<ShaderSampler> samplers;
    std::vector<ShaderConstantArray> constantArrays;
    uint32_t varyingMask = 0;   // locations written (vertex) or read (pixel)
    uint32_t samplerMask = 0;   // texture units the shader samples
    uint32_t constantBytes = 0; // bytes of the register file the shader reads
    bool opaqueColour = false;  // pixel stage: every colour it writes has alpha 1.0
};

class ShaderTranslator {
public:
    static constexpr size_t maxWords = 4u << 20;
    static constexpr uint32_t registerFileBytes = 256 * 16;

    // The length in words of the SPIR-V module at `code`, found by walking
    // its instructions up to the end token; 0 with a reason when the code is
    // no SPIR-V module or no end token comes within maxWords.
    static size_t moduleLength(const DWORD* code, std::string& error);

    // The execution model word of the module's first entry point, or -1.
    static int executionModel(const uint32_t* words, size_t count);

    // Whether every write to the colour output at location 0 stores a whole
    // vector whose last component is the constant 1.0 (and at least one
    // write exists): a colour output that is always opaque.
    static bool writesOpaqueColour(const uint32_t* words, size_t count);

    static bool translate(const uint32_t* words, size_t count, bool vertex, const GlCaps& target,
                          VaryingRegistry& registry, TranslatedShader& result, std::string& error);

    // The complete GLSL of a vertex shader whose inputs at the locations in
    // swappedInputs receive D3DCOLOR data in GL's RGBA order (0 where the
    // context reads D3DCOLOR as it is).
    static std::string vertexVariant(const TranslatedShader& vertex, uint32_t swappedInputs);
    // The complete GLSL of a pixel shader for a vertex stage that writes the
    // varying locations in providedMask.
    static std::string pixelVariant(const TranslatedShader& pixel, uint32_t providedMask);

    // What every generated shader of a context begins with: the version,
    // and on GL ES the precision the shaders are written for.
    static std::string header(const GlCaps& target);
    // Whether the GLSL of `target` takes layout(location) on values passed
    // between stages and layout(binding) on uniforms (4.50; not 3.30 or ES
    // 3.00, where the device matches the one by name and sets the other).
    static bool bindsInSource(const GlCaps& target);
    // The declaration of the value passed at varying `location`, as an
    // output of the vertex stage or an input of the pixel stage.
    static std::string varying(const GlCaps& target, int location, bool output, const std::string& qualifiers = "");
    static std::string varyingName(int location);
    // The declaration of the layer's own constants (the pixel shift, the
    // texture factor), identical in every stage that uses it.
    static std::string internalConstants(const GlCaps& target);
};
