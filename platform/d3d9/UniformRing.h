// A persistently mapped GL buffer that shader constants are written into,
// each upload to fresh memory, so the CPU never waits for the GPU to finish
// reading the previous values (what glBufferSubData on a buffer still in use
// would cost). The ring is cut into segments; a fence marks the end of each
// segment's use, and the writer waits on it only when it comes round to that
// segment again.
#pragma once

#include "GlStateTracker.h"

#include <epoxy/gl.h>

#include <cstddef>
#include <cstdint>

class UniformRing {
public:
    static constexpr size_t segmentCount = 4;
    static constexpr size_t segmentBytes = 64 * 1024;

    UniformRing() = default;
    UniformRing(const UniformRing&) = delete;
    UniformRing& operator=(const UniformRing&) = delete;
    ~UniformRing();

    bool create(GlStateTracker& tracker);
    // Deletes the GL buffer (context current) or only forgets it.
    void destroy(bool deleteGlObjects = true);

    // Room for `bytes` (at most segmentBytes) at an offset GL accepts for a
    // uniform buffer binding; returns the write pointer and sets `offset`.
    uint8_t* allocate(size_t bytes, GLintptr& offset);

    GLuint buffer() const { return name; }
    // Counts the moves to the next segment. Memory of a segment is written
    // again once the ring comes round to it, so a range bound before the
    // last move must be uploaded afresh before that can happen.
    uint64_t segmentMoves() const { return moves; }

private:
    GlStateTracker* tracker = nullptr;
    GLuint name = 0;
    uint8_t* mapped = nullptr;
    size_t alignment = 256;
    size_t position = 0;
    size_t segment = 0;
    uint64_t moves = 0;
    GLsync fences[segmentCount] = {};
};
