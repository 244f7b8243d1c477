// A persistently mapped GL buffer that shader constants are written into,
// each upload to fresh memory, so the CPU never waits for the GPU to finish
// reading the previous values (what glBufferSubData on a buffer still in use
// would cost). The ring is cut into segments. Each segment remembers the
// frame that last wrote to it; the swap chain keeps at most two frames in
// flight, so a segment whose frame is finished is free again, and the writer
// waits only when it comes round to a segment sooner than that (more than the
// ring's size of constants in a few frames).
//
// No fence is made when leaving a segment: on llvmpipe a fence flushes the
// scene being recorded, which would split the frame in two (the second half
// then loads colour and depth back instead of clearing, and two scenes are
// held in memory at once).
#pragma once

#include "GlStateTracker.h"

#include "GlApi.h"

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

    // Called after each Present: `presented` frames have been presented and
    // the first `completed` of them are known to be finished.
    void frameDone(uint64_t presented, uint64_t completed);

private:
    GlStateTracker* tracker = nullptr;
    GLuint name = 0;
    uint8_t* mapped = nullptr;
    size_t alignment = 256;
    size_t position = 0;
    size_t segment = 0;
    uint64_t moves = 0;
    uint64_t framesPresented = 0;
    uint64_t framesCompleted = 0;
    // How many frames must be finished before a segment may be written
    // again: the number of the frame that last wrote to it, counting from 1.
    uint64_t neededFrames[segmentCount] = {};
};
