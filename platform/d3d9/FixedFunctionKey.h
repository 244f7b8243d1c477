// The texture-stage states that select a generated fixed-function fragment
// program, packed small enough to hash and compare cheaply.
#pragma once

#include "ByteHash.h"
#include "StateRules.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

struct FixedFunctionStage {
    uint8_t colorOp;       // D3DTOP_*; D3DTOP_DISABLE ends the cascade
    uint8_t colorArg[3];   // D3DTA_* for arguments 0, 1, 2
    uint8_t alphaOp;
    uint8_t alphaArg[3];
    uint8_t texCoordIndex; // 0..7
    uint8_t resultTemp;    // 1 when D3DTSS_RESULTARG is D3DTA_TEMP
    uint8_t padding[2];
    uint32_t constant;     // D3DTSS_CONSTANT, kept only when an argument reads it
};

struct FixedFunctionKey {
    FixedFunctionStage stages[StateRules::stageCount];

    // Builds the key from the texture-stage state arrays. Stages after the
    // first disabled one are left zero, so they do not split the cache.
    static FixedFunctionKey fromStates(const DWORD (&states)[StateRules::stageCount][StateRules::stageStateCount]);

    int activeStages() const;

    bool operator==(const FixedFunctionKey& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
};

using FixedFunctionKeyHash = ByteHash<FixedFunctionKey>;
