// Generates the GLSL fragment program that stands in for Direct3D 9's
// fixed-function texture stages when no pixel shader is bound.
//
// Arguments: DIFFUSE is the vertex shader's COLOR0 output (opaque white when
// it writes none), SPECULAR its COLOR1 (transparent black when none),
// TEXTURE the stage's texture at the stage's TEXCOORDINDEX set, CURRENT the
// previous stage's result (DIFFUSE in stage 0), TFACTOR D3DRS_TEXTUREFACTOR,
// TEMP the temporary register, CONSTANT the stage's D3DTSS_CONSTANT, with the
// COMPLEMENT and ALPHAREPLICATE modifiers. A stage with no texture bound
// reads TEXTURE as (0, 0, 0, 1), as Direct3D 9 does (GL samples an empty
// texture unit as exactly that). Every stage result is clamped to 0..1.
// Bump-mapping and premodulate operations select argument 1.
#pragma once

#include "FixedFunctionKey.h"
#include "GlCaps.h"

#include <cstdint>
#include <string>

class FixedFunctionShader {
public:
    // vertexOutputs: varying locations the vertex shader writes.
    // samplerMask receives the texture units the program samples, each
    // through the sampler samplerName(unit).
    static std::string generate(const FixedFunctionKey& key, uint32_t vertexOutputs, const GlCaps& target,
                                uint32_t& samplerMask);
    static std::string samplerName(int unit);

    // The part of the vertex shader's outputs a generated program depends on
    // (TEXCOORD0..7, COLOR0, COLOR1).
    static constexpr uint32_t relevantOutputs = 0x3FF;
};
