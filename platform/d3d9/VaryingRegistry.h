// Locations of the values a vertex shader hands to a pixel shader.
//
// On Direct3D 9 the two stages meet by semantic (TEXCOORD0, COLOR1, ...).
// GL matches by location, so every shader of a device takes its varying
// locations from one table: the same semantic always gets the same location.
// TEXCOORD0..7 are 0..7, COLOR0 and COLOR1 are 8 and 9; any other semantic
// takes the next free location the first time a shader uses it.
#pragma once

#include <cstdint>
#include <string>

class VaryingRegistry {
public:
    static constexpr int maxLocations = 32;
    static constexpr int color0 = 8;
    static constexpr int color1 = 9;

    // limit: how many vec4 locations both stages can pass (at most maxLocations).
    explicit VaryingRegistry(int limit = maxLocations);

    // The location of a semantic (normalized by HlslSemantic), assigning one
    // if needed; -1 when the table is full.
    int locationOf(const std::string& normalizedSemantic);
    // The location of "TEXCOORDn" (n < 8).
    static int texcoord(int n) { return n; }

    int size() const { return count; }

private:
    std::string names[maxLocations];
    int count = 0;
    int limit;
};
