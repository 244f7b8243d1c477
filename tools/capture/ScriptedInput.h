#pragma once

#include "CaptureOptions.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// The scripted messages of a run (--drag, --mouse-moves, --key), posted into
// the program's queue after the frames they are due, in order. The queue
// holds Windows' 10,000 posted messages; what it cannot take yet is posted
// after later frames, as the program's loop takes messages out (one a
// frame), so no message is lost however many are due at once.
class ScriptedInput {
public:
    explicit ScriptedInput(const std::vector<ScriptedMessage>& messages) : messages(messages) {}

    // Posts to `window` the messages due after `frame` (0: before the first
    // frame) that the queue takes now.
    void postDue(HWND window, uint64_t frame);
    // Whether every message has been posted.
    bool allPosted() const { return next == messages.size(); }
    // Whether postDue(window, frame) would post anything.
    bool postsAfter(uint64_t frame) const { return next < messages.size() && messages[next].afterFrame <= frame; }

private:
    const std::vector<ScriptedMessage>& messages;
    size_t next = 0;  // the first message not yet posted
};
