#pragma once

#include <cstddef>

// One vertex of a ball's triangle list: 32 bytes, no padding.
struct BallVertex {
    float x, y, z;     // position
    float nx, ny, nz;  // normal (the position scaled to unit length)
    float u, v;        // texture coordinates
};

static_assert(sizeof(BallVertex) == 32, "BallVertex must be 32 bytes");
static_assert(offsetof(BallVertex, nx) == 12, "normal at byte 12");
static_assert(offsetof(BallVertex, u) == 24, "texture coordinates at byte 24");
