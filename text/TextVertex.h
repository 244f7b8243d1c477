#pragma once

#include <cstddef>

// One vertex of a text label: screen-space position and sheet coordinates.
struct TextVertex {
    float x, y, z;
    float u, v;
};

static_assert(sizeof(TextVertex) == 20, "TextVertex must be 20 bytes");
static_assert(offsetof(TextVertex, u) == 12, "texture coordinates at byte 12");
