#include "UniformRing.h"

UniformRing::~UniformRing()
{
    // The device destroys the ring while its context is current; by now
    // there is nothing left to delete.
    destroy(false);
}

bool UniformRing::create(GlStateTracker& stateTracker)
{
    tracker = &stateTracker;
    GLint align = 256;
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &align);
    alignment = align > 0 ? static_cast<size_t>(align) : 256;
    glCreateBuffers(1, &name);
    const GLbitfield flags = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
    glNamedBufferStorage(name, static_cast<GLsizeiptr>(segmentCount * segmentBytes), nullptr, flags);
    mapped = static_cast<uint8_t*>(
        glMapNamedBufferRange(name, 0, static_cast<GLsizeiptr>(segmentCount * segmentBytes), flags));
    position = 0;
    segment = 0;
    return mapped != nullptr;
}

void UniformRing::destroy(bool deleteGlObjects)
{
    if (name && deleteGlObjects) {
        if (mapped) glUnmapNamedBuffer(name);
        glDeleteBuffers(1, &name);
        if (tracker) tracker->forgetBuffer(name);
    }
    name = 0;
    mapped = nullptr;
}

void UniformRing::frameDone(uint64_t presented, uint64_t completed)
{
    framesPresented = presented;
    if (completed > framesCompleted) framesCompleted = completed;
}

uint8_t* UniformRing::allocate(size_t bytes, GLintptr& offset)
{
    size_t start = (position + alignment - 1) / alignment * alignment;
    const size_t segmentEnd = (segment + 1) * segmentBytes;
    if (start + bytes > segmentEnd) {
        // Leave this segment, marked with the frame being recorded, and take
        // the next one once the frame that last wrote to it is finished.
        neededFrames[segment] = framesPresented + 1;
        segment = (segment + 1) % segmentCount;
        ++moves;
        if (neededFrames[segment] > framesCompleted) {
            // Come round too soon: wait for everything drawn so far.
            GLsync fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
            while (glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000ull) == GL_TIMEOUT_EXPIRED) {
            }
            glDeleteSync(fence);
            tracker->countCall();
            tracker->countCall();
            tracker->countCall();
            framesCompleted = framesPresented;
        }
        start = segment * segmentBytes;
    }
    position = start + bytes;
    offset = static_cast<GLintptr>(start);
    return mapped + start;
}
