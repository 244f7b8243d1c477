#pragma once

#include <cstdint>

// The mouse-drag rotation of the whole rack. Written only by the window
// procedure, read only by the ball rack, on the one program thread.
struct DragRotation {
    int32_t yawDegrees;    // cursor x minus anchorX at the last qualifying move
    int32_t pitchDegrees;  // anchorY minus cursor y at the last qualifying move
    bool dragging;         // from a left press that took an anchor to the next left release
    int32_t anchorX;       // client x of the cursor when the drag began
    int32_t anchorY;       // client y (downwards) when the drag began
};

// The one process-wide instance, zero-initialised.
extern DragRotation dragRotation;
