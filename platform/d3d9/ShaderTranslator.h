// Turns the shader code Direct3D 9 calls receive (a SPIR-V module followed
// by the end token 0x0000FFFF) into GLSL 4.50 core for this layer's GL
// pipeline, and records how the shader meets the rest of the device:
//
//  * vertex inputs: their (usage, usage index) from the HLSL semantic, at
//    GL attribute locations 0..n-1;
//  * values passed from the vertex to the pixel shader: every one is a vec4
//    at the location the device's VaryingRegistry gives its semantic. The
//    vertex stage pads what it writes to four components; the pixel stage
//    reads the components it declared, or zeros where the vertex shader
//    writes nothing (one GL fragment shader per such combination);
//  * constant registers: the shader's uniform blocks (HLSL's $Global, where
//    register(cN) lies at byte 16*N) read the stage's register file, bound
//    at its uniform binding (UniformBindings.h);
//  * samplers: sampler N (HLSL register sN, the SPIR-V binding) is texture
//    unit N;
//  * the vertex stage ends by moving clip positions half a pixel (Direct3D 9
//    puts pixel centres on integer coordinates); the amount comes from the
//    internal uniform block.
#pragma once

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

struct ShaderPixelInput {
    int location;      // in the VaryingRegistry
    int components;    // 1..4, as the pixel shader declares it
    std::string qualifiers;  // interpolation qualifiers to keep ("noperspective", ...)
};

struct TranslatedShader {
    bool vertex = true;
    // Vertex stage: the complete GLSL. Pixel stage: everything but the entry
    // point, which pixelVariant() adds.
    std::string glsl;
    std::vector<ShaderVertexInput> inputs;     // vertex stage
    std::vector<ShaderPixelInput> pixelInputs; // pixel stage
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

    static bool translate(const uint32_t* words, size_t count, bool vertex, VaryingRegistry& registry,
                          TranslatedShader& result, std::string& error);

    // The complete GLSL of a pixel shader for a vertex stage that writes the
    // varying locations in providedMask.
    static std::string pixelVariant(const TranslatedShader& pixel, uint32_t providedMask);

    // The declaration of the internal uniform block, identical in every stage
    // that uses it.
    static const std::string& internalBlock();
};
