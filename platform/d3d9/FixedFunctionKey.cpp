#include "FixedFunctionKey.h"

FixedFunctionKey FixedFunctionKey::fromStates(
    const DWORD (&states)[StateRules::stageCount][StateRules::stageStateCount])
{
    FixedFunctionKey key;
    std::memset(&key, 0, sizeof key);
    for (DWORD s = 0; s < StateRules::stageCount; ++s) {
        const DWORD* st = states[s];
        if (st[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
        FixedFunctionStage& stage = key.stages[s];
        stage.colorOp = static_cast<uint8_t>(st[D3DTSS_COLOROP]);
        stage.colorArg[0] = static_cast<uint8_t>(st[D3DTSS_COLORARG0]);
        stage.colorArg[1] = static_cast<uint8_t>(st[D3DTSS_COLORARG1]);
        stage.colorArg[2] = static_cast<uint8_t>(st[D3DTSS_COLORARG2]);
        stage.alphaOp = static_cast<uint8_t>(st[D3DTSS_ALPHAOP]);
        stage.alphaArg[0] = static_cast<uint8_t>(st[D3DTSS_ALPHAARG0]);
        stage.alphaArg[1] = static_cast<uint8_t>(st[D3DTSS_ALPHAARG1]);
        stage.alphaArg[2] = static_cast<uint8_t>(st[D3DTSS_ALPHAARG2]);
        stage.texCoordIndex = static_cast<uint8_t>(st[D3DTSS_TEXCOORDINDEX] & 7);
        stage.resultTemp = st[D3DTSS_RESULTARG] == D3DTA_TEMP ? 1 : 0;
        bool readsConstant = false;
        for (int i = 0; i < 3; ++i) {
            if ((stage.colorArg[i] & D3DTA_SELECTMASK) == D3DTA_CONSTANT) readsConstant = true;
            if ((stage.alphaArg[i] & D3DTA_SELECTMASK) == D3DTA_CONSTANT) readsConstant = true;
        }
        stage.constant = readsConstant ? st[D3DTSS_CONSTANT] : 0;
    }
    return key;
}

int FixedFunctionKey::activeStages() const
{
    int count = 0;
    while (count < static_cast<int>(StateRules::stageCount) && stages[count].colorOp != 0) ++count;
    return count;
}
