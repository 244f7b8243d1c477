#include "VaryingRegistry.h"

VaryingRegistry::VaryingRegistry(int locationLimit) : limit(locationLimit < maxLocations ? locationLimit : maxLocations)
{
    for (int i = 0; i < 8; ++i) names[count++] = "TEXCOORD" + std::to_string(i);
    names[count++] = "COLOR0";
    names[count++] = "COLOR1";
}

int VaryingRegistry::locationOf(const std::string& semantic)
{
    for (int i = 0; i < count; ++i)
        if (names[i] == semantic) return i;
    if (count >= limit) return -1;
    names[count] = semantic;
    return count++;
}
