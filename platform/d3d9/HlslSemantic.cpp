#include "HlslSemantic.h"

#include <cctype>
#include <cstring>

namespace {

// Splits "TEXCOORD12" into "TEXCOORD" and 12 (a missing index is 0). False
// when the index has too many digits to mean anything.
bool split(const std::string& semantic, std::string& name, unsigned& index)
{
    size_t digits = semantic.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(semantic[digits - 1]))) --digits;
    if (semantic.size() - digits > 3) return false;
    name.clear();
    for (size_t i = 0; i < digits; ++i) name += static_cast<char>(std::toupper(static_cast<unsigned char>(semantic[i])));
    index = 0;
    for (size_t i = digits; i < semantic.size(); ++i) index = index * 10 + static_cast<unsigned>(semantic[i] - '0');
    return true;
}

struct UsageName {
    const char* name;
    BYTE usage;
};

const UsageName usageNames[] = {
    {"POSITION", D3DDECLUSAGE_POSITION},   {"SV_POSITION", D3DDECLUSAGE_POSITION},
    {"BLENDWEIGHT", D3DDECLUSAGE_BLENDWEIGHT}, {"BLENDINDICES", D3DDECLUSAGE_BLENDINDICES},
    {"NORMAL", D3DDECLUSAGE_NORMAL},       {"PSIZE", D3DDECLUSAGE_PSIZE},
    {"TEXCOORD", D3DDECLUSAGE_TEXCOORD},   {"TANGENT", D3DDECLUSAGE_TANGENT},
    {"BINORMAL", D3DDECLUSAGE_BINORMAL},   {"TESSFACTOR", D3DDECLUSAGE_TESSFACTOR},
    {"POSITIONT", D3DDECLUSAGE_POSITIONT}, {"COLOR", D3DDECLUSAGE_COLOR},
    {"FOG", D3DDECLUSAGE_FOG},             {"DEPTH", D3DDECLUSAGE_DEPTH},
    {"SAMPLE", D3DDECLUSAGE_SAMPLE},
};

}  // namespace

std::string HlslSemantic::normalize(const std::string& semantic)
{
    std::string name;
    unsigned index = 0;
    if (semantic.empty() || !split(semantic, name, index)) {
        std::string upper;
        for (char c : semantic) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return upper;
    }
    return name + std::to_string(index);
}

bool HlslSemantic::usageOf(const std::string& semantic, BYTE& usage, BYTE& usageIndex)
{
    std::string name;
    unsigned index = 0;
    if (!split(semantic, name, index) || index > 15) return false;
    for (const UsageName& entry : usageNames) {
        if (name == entry.name) {
            usage = entry.usage;
            usageIndex = static_cast<BYTE>(index);
            return true;
        }
    }
    return false;
}
