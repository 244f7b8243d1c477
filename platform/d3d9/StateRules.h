// The Direct3D 9 render, sampler and texture-stage states this layer knows:
// which numbers are states, which values are acceptable, their defaults on
// a new device, and which part of the derived GL state each render state
// feeds.
#pragma once

#include "DirtyFlags.h"

#include <d3d9.h>

#include <cstdint>

class StateRules {
public:
    static constexpr DWORD renderStateCount = 256;  // every state number is below this
    static constexpr DWORD samplerCount = 16;
    static constexpr DWORD samplerStateCount = 14;  // D3DSAMP_* are 1..13
    static constexpr DWORD stageCount = 8;          // fixed-function texture stages
    static constexpr DWORD stageStateCount = 33;    // D3DTSS_* are 1..32

    static bool isRenderState(DWORD state);
    // False for values the layer would have to translate and cannot (an
    // unknown blend factor, cull mode, comparison...).
    static bool isValidRenderStateValue(DWORD state, DWORD value);
    static void defaultRenderStates(DWORD (&states)[renderStateCount], bool autoDepthStencil);
    // The derived GL state a render state feeds (none for states without effect).
    static DirtyFlags flagsOf(DWORD state);

    static bool isSamplerState(DWORD type);
    static bool isValidSamplerStateValue(DWORD type, DWORD value);
    static void defaultSamplerStates(DWORD (&states)[samplerStateCount]);

    static bool isStageState(DWORD type);
    static bool isValidStageStateValue(DWORD type, DWORD value);
    static void defaultStageStates(DWORD stage, DWORD (&states)[stageStateCount]);
};
