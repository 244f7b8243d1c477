// HLSL semantic strings ("TEXCOORD1", "position", "COLOR") and the
// Direct3D 9 declaration usages they stand for.
#pragma once

#include <d3d9.h>

#include <string>

class HlslSemantic {
public:
    // Upper-cased name with its index made explicit: "texcoord" -> "TEXCOORD0",
    // "COLOR1" -> "COLOR1", "SV_Position" -> "SV_POSITION0". Empty for an
    // empty semantic.
    static std::string normalize(const std::string& semantic);

    // The declaration usage and usage index of a vertex input semantic.
    // "SV_POSITION" counts as POSITION. False for a name that is no
    // D3DDECLUSAGE or an index above 15.
    static bool usageOf(const std::string& semantic, BYTE& usage, BYTE& usageIndex);
};
